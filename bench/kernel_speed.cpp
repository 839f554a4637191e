// Speed of the byte kernels on each SIMD target this processor has, in GB/s
// of input on one thread, beside the loops a converter cannot beat: one
// pass through a 256-byte table, and memcpy.
//
//   kernel_speed [SIZE...]        sizes in MiB (default 1 and 96)
//   kernel_speed --targets        the targets this processor has, best first
//   kernel_speed --once KERNEL SIZE
//                                 one pass of one kernel (decode, accent,
//                                 rtf, table) over SIZE MiB, for counting
//                                 instructions under callgrind
//
// ORV_SIMD_TARGET=name limits the run to that target (see kernelTargets()).

#include "bench/text_like_source.h"
#include "simd/byte_kernels.h"
#include "simd/byte_tables.h"
#include "simd/kernel_targets.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Byte = unsigned char;

// Input of the decode kernel: the source; of the line kernels: its decoded
// text, as the decoder writes it.
struct Inputs {
    std::string source;
    std::string decoded;
    std::vector<char> out;
};

// The whole source through decodeWholeSegments, as the decoder calls it.
std::size_t decodeAll(const std::string& source, std::vector<char>& out) {
    const auto* p = reinterpret_cast<const Byte*>(source.data());
    const auto* end = p + source.size();
    const orv::DecodedRun r = orv::decodeWholeSegments(p, end, out.data(), out.size(), false);
    return r.written;
}

std::size_t linesAll(const std::string& decoded, std::vector<char>& out, orv::LineForm form) {
    const char* p = decoded.data();
    const orv::LineRun r = orv::writeWholeLines(p, p + decoded.size(), out.data(), out.size(), form,
                                                "</P><P><NL>\r\n");
    return r.written;
}

std::size_t tablePass(const std::string& source, std::vector<char>& out) {
    const auto& table = orv::translationTable();
    const auto* p = reinterpret_cast<const Byte*>(source.data());
    for (std::size_t i = 0; i < source.size(); ++i)
        out[i] = table[p[i]];
    return source.size();
}

std::size_t copyPass(const std::string& source, std::vector<char>& out) {
    std::memcpy(out.data(), source.data(), source.size());
    return source.size();
}

// Not inlined: callgrind counts the instructions of this call alone.
[[gnu::noinline]] std::size_t runOnce(std::string_view kernel, Inputs& in) {
    if (kernel == "decode")
        return decodeAll(in.source, in.out);
    if (kernel == "accent")
        return linesAll(in.decoded, in.out, orv::LineForm::reversed);
    if (kernel == "rtf")
        return linesAll(in.decoded, in.out, orv::LineForm::rtfEscaped);
    if (kernel == "table")
        return tablePass(in.source, in.out);
    return copyPass(in.source, in.out);
}

// The median of 7 timings, each of enough passes to take 50 ms.
double gigabytesPerSecond(std::string_view kernel, Inputs& in, std::size_t bytes) {
    std::vector<double> rates;
    for (int round = 0; round < 7; ++round) {
        std::size_t passes = 0;
        const auto start = Clock::now();
        double seconds = 0;
        do {
            volatile std::size_t sink = runOnce(kernel, in);
            (void)sink;
            ++passes;
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        } while (seconds < 0.05);
        rates.push_back(static_cast<double>(bytes * passes) / seconds / 1e9);
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

Inputs makeInputs(std::size_t mib) {
    Inputs in;
    in.source = orv::bench::makeTextLikeSource(mib << 20);
    in.out.resize(in.source.size() * 3 + 4096);
    in.decoded.assign(in.out.data(), decodeAll(in.source, in.out));
    return in;
}

std::vector<std::string_view> targetsToRun() {
    std::vector<std::string_view> targets = orv::kernelTargets();
    if (const char* only = std::getenv("ORV_SIMD_TARGET"); only != nullptr && *only != '\0') {
        // Any case, as the kernels' own dispatch takes it.
        std::erase_if(targets, [&](std::string_view t) {
            return !std::equal(t.begin(), t.end(), only, only + std::strlen(only),
                               [](char a, char b) {
                                   return std::tolower(static_cast<unsigned char>(a)) ==
                                          std::tolower(static_cast<unsigned char>(b));
                               });
        });
        if (targets.empty())
            std::fprintf(stderr, "kernel_speed: this processor has no target %s\n", only);
    }
    return targets;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> targets = targetsToRun();
    if (targets.empty())
        return 1;
    if (argc == 2 && std::string_view(argv[1]) == "--targets") {
        for (const std::string_view target : targets)
            std::printf("%.*s\n", static_cast<int>(target.size()), target.data());
        return 0;
    }
    if (argc == 4 && std::string_view(argv[1]) == "--once") {
        Inputs in = makeInputs(std::strtoul(argv[3], nullptr, 10));
        orv::useKernelTarget(targets.front());
        runOnce(argv[2], in);
        return 0;
    }
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty())
        sizes = {1, 96};
    std::printf("%-10s %6s %10s %10s %10s\n", "target", "MiB", "decode", "accent", "rtf");
    for (const std::size_t mib : sizes) {
        Inputs in = makeInputs(mib);
        for (const std::string_view target : targets) {
            orv::useKernelTarget(target);
            std::printf("%-10.*s %6zu", static_cast<int>(target.size()), target.data(), mib);
            for (const char* kernel : {"decode", "accent", "rtf"}) {
                const std::size_t bytes = kernel[0] == 'd' ? in.source.size() : in.decoded.size();
                std::printf(" %10.2f", gigabytesPerSecond(kernel, in, bytes));
            }
            std::printf("\n");
        }
        std::printf("%-10s %6zu %10.2f (a 256-byte table pass)\n", "table", mib,
                    gigabytesPerSecond("table", in, in.source.size()));
        std::printf("%-10s %6zu %10.2f (memcpy)\n", "memcpy", mib,
                    gigabytesPerSecond("memcpy", in, in.source.size()));
    }
    return 0;
}
