// Throughput of the decoder and the writers on generated sources, in bytes
// of input per second.

#include "bench/text_like_source.h"
#include "decode/source_decoder.h"
#include "io/byte_files.h"
#include "writers/accent_writer.h"
#include "writers/rtf_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

enum class Shape { textLike, breakOnly };

// Where the file benchmarks write; made by main, removed when all is done.
fs::path workDir;

std::string workFile(const std::string& name) {
    return (workDir / name).string();
}

std::string sizedName(Shape shape, std::size_t size, const char* ext) {
    return workFile("source-" + std::to_string(static_cast<int>(shape)) + "-" +
                    std::to_string(size) + ext);
}

// Generating is slower than decoding; each source file is made once.
std::string sourceFile(Shape shape, std::size_t size) {
    const std::string path = sizedName(shape, size, ".ORV");
    if (!fs::exists(path)) {
        const std::string bytes = shape == Shape::textLike ? orv::bench::makeTextLikeSource(size)
                                                           : orv::bench::makeBreakOnlySource(size);
        std::ofstream(path, std::ios::binary) << bytes;
    }
    return path;
}

// A decoded text file of the given source, for the writers to read.
std::string decodedTextFile(Shape shape, std::size_t size) {
    const std::string path = sizedName(shape, size, ".txt");
    if (!fs::exists(path))
        orv::decodeSourceToTextFile(sourceFile(shape, size), path);
    return path;
}

class Discard final : public orv::ByteSink {
public:
    void write(std::string_view bytes) override { benchmark::DoNotOptimize(bytes.data()); }
};

void BM_decodeSource(benchmark::State& state, Shape shape) {
    const std::string source = sourceFile(shape, static_cast<std::size_t>(state.range(0)));
    Discard sink;
    for (auto _ : state) {
        orv::InputFile file(source);
        orv::decodeSourceToTextFile(file, sink);
        file.close();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(source)));
}

void BM_decodeSourceToTextFile(benchmark::State& state, Shape shape) {
    const std::string source = sourceFile(shape, static_cast<std::size_t>(state.range(0)));
    const std::string path = workFile("decodeSourceToTextFile.txt");
    for (auto _ : state)
        orv::decodeSourceToTextFile(source, path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(source)));
    fs::remove(path);
}

using Writer = void (*)(orv::InputFile&, orv::OutputFile&);

void runWriter(benchmark::State& state, Shape shape, Writer writer) {
    const std::string input = decodedTextFile(shape, static_cast<std::size_t>(state.range(0)));
    const std::string output = workFile("writer.out");
    for (auto _ : state) {
        orv::InputFile text(input);
        orv::OutputFile out(output);
        writer(text, out);
        out.publish();
        text.close();
    }
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

BENCHMARK_CAPTURE(BM_decodeSource, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeSource, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeSourceToTextFile, textLike, Shape::textLike)->Arg(small)->Arg(large);
BENCHMARK_CAPTURE(BM_decodeSourceToTextFile, breakOnly, Shape::breakOnly)->Arg(small)->Arg(large);
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
