// Throughput of the decoder and the writers on generated sources, in bytes
// of input per second.

#include "bench/text_like_source.h"
#include "decode/decoded_text_file.h"
#include "decode/decoder.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;

enum class Shape { textLike, breakOnly };

// Generating is slower than decoding; each source is made once.
const std::string& source(Shape shape, std::size_t size) {
    static std::map<std::pair<Shape, std::size_t>, std::string> made;
    auto& entry = made[{shape, size}];
    if (entry.empty())
        entry = shape == Shape::textLike ? orv::bench::makeTextLikeSource(size)
                                         : orv::bench::makeBreakOnlySource(size);
    return entry;
}

// Where the file benchmarks write; made by main, removed when all is done.
fs::path workDir;

std::string workFile(const std::string& name) {
    return (workDir / name).string();
}

// A decoded text file of the given source, for the writers to read.
std::string decodedTextFile(Shape shape, std::size_t size) {
    const std::string path = workFile("decoded-" + std::to_string(static_cast<int>(shape)) + "-" +
                                      std::to_string(size) + ".txt");
    if (!fs::exists(path))
        orv::decodeToTextFile(source(shape, size), path);
    return path;
}

void BM_decodeContent(benchmark::State& state, Shape shape) {
    const std::string& content = source(shape, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string decoded = orv::decodeContent(content);
        benchmark::DoNotOptimize(decoded.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * content.size()));
}

void BM_decodeToTextFile(benchmark::State& state, Shape shape) {
    const std::string& content = source(shape, static_cast<std::size_t>(state.range(0)));
    const std::string path = workFile("decodeToTextFile.txt");
    for (auto _ : state)
        orv::decodeToTextFile(content, path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * content.size()));
    fs::remove(path);
}

using Writer = void (*)(const std::string&, const std::string&);

void runWriter(benchmark::State& state, Shape shape, Writer writer) {
    const std::string input = decodedTextFile(shape, static_cast<std::size_t>(state.range(0)));
    const std::string output = workFile("writer.out");
    for (auto _ : state)
        writer(input, output);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(input)));
    fs::remove(output);
}

void BM_writeAccentDocument(benchmark::State& state, Shape shape) {
    runWriter(state, shape, orv::writeAccentDocument);
}

void BM_writeRtfDocument(benchmark::State& state, Shape shape) {
    runWriter(state, shape, orv::writeRtfDocument);
}

constexpr std::int64_t small = std::int64_t{1} << 20;
constexpr std::int64_t large = std::int64_t{16} << 20;

BENCHMARK_CAPTURE(BM_decodeContent, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeContent, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeToTextFile, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeToTextFile, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_writeAccentDocument, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_writeAccentDocument, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_writeRtfDocument, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_writeRtfDocument, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::string pattern = (fs::temp_directory_path() / "orv-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror(pattern.c_str());
        return 1;
    }
    workDir = pattern;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(workDir);
    return 0;
}
