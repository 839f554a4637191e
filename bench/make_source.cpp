// Writes a generated ORV source of a given size for the benchmarks:
//   make_source [--breaks-only] SIZE OUTPUT
//   make_source --many COUNT FOLDER
// SIZE is a byte count, or a number followed by K, M or G (binary units).
// --many writes COUNT text-like sources of 1 to 8 KiB into FOLDER (which
// must exist), named DOC00001.ORV and on.

#include "bench/text_like_source.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace {

std::optional<std::size_t> parseSize(std::string_view text) {
    std::size_t value = 0;
    const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || rest == text.data())
        return std::nullopt;
    const std::string_view unit(rest, text.data() + text.size() - rest);
    int shift = 0;
    if (unit == "K")
        shift = 10;
    else if (unit == "M")
        shift = 20;
    else if (unit == "G")
        shift = 30;
    else if (!unit.empty())
        return std::nullopt;
    return value << shift;
}

int usage() {
    std::fputs("usage: make_source [--breaks-only] SIZE OUTPUT\n"
               "       make_source --many COUNT FOLDER\n",
               stderr);
    return 2;
}

void writeSource(const std::string& path, std::string_view bytes) {
    orv::OutputFile out(path);
    out.write(bytes);
    out.close();
}

// Small documents cut from one long text-like stream, so each has its own text.
void writeMany(std::size_t count, const std::string& folder) {
    constexpr std::size_t smallest = 1024, largest = 8192;
    std::mt19937_64 random(orv::bench::fixedSeed);
    const std::string stream = orv::bench::makeTextLikeSource(count * largest);
    std::size_t at = 0;
    char name[32];
    for (std::size_t i = 1; i <= count; ++i) {
        const std::size_t size = smallest + random() % (largest - smallest + 1);
        std::snprintf(name, sizeof name, "/DOC%05zu.ORV", i);
        writeSource(folder + name, std::string_view(stream).substr(at, size));
        at += size;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--many") {
        const std::optional<std::size_t> count = parseSize(argv[2]);
        if (!count)
            return usage();
        try {
            writeMany(*count, argv[3]);
        } catch (const orv::ConversionError& failure) {
            std::fprintf(stderr, "make_source: %s\n", failure.what());
            return 1;
        }
        return 0;
    }
    int next = 1;
    bool breaksOnly = false;
    if (next < argc && std::string_view(argv[next]) == "--breaks-only") {
        breaksOnly = true;
        ++next;
    }
    if (argc - next != 2)
        return usage();
    const std::optional<std::size_t> size = parseSize(argv[next]);
    if (!size)
        return usage();
    const std::string path = argv[next + 1];

    const std::string source =
        breaksOnly ? orv::bench::makeBreakOnlySource(*size) : orv::bench::makeTextLikeSource(*size);
    try {
        writeSource(path, source);
    } catch (const orv::ConversionError& failure) {
        std::fprintf(stderr, "make_source: %s\n", failure.what());
        return 1;
    }
    return 0;
}
