// Writes a generated ORV source of a given size for the benchmarks:
//   make_source [--breaks-only] SIZE OUTPUT
// SIZE is a byte count, or a number followed by K, M or G (binary units).

#include "bench/text_like_source.h"
#include "io/byte_files.h"
#include "io/conversion_error.h"

#include <charconv>
#include <cstdio>
#include <optional>
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
    std::fputs("usage: make_source [--breaks-only] SIZE OUTPUT\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
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
        orv::OutputFile out(path);
        out.write(source);
        out.close();
    } catch (const orv::ConversionError& failure) {
        std::fprintf(stderr, "make_source: %s\n", failure.what());
        return 1;
    }
    return 0;
}
