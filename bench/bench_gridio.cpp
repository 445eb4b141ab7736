// Read and write throughput of the grid file reader and writer on a 2000 x 2000 grid (~30 MB),
// plain and gzip-compressed with each gzip library of the build (bytes per second count the
// uncompressed text; the argument of a gzip benchmark is the library: 0 zlib, 1 isal).

#include "BenchSample.h"
#include "files/TARCGISFileTools.h"
#include "files/TByteSource.h"
#include "files/TGridTextReader.h"
#include "files/TGzipLibrary.h"
#include "files/TGzipSink.h"
#include "text/TNumberFormatter.h"
#include "files/TGzipSource.h"
#include "grid/TMap.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Per process, so that runs side by side never share a file; the samples go at exit.
std::string BenchPath(const std::string& suffix)
{
    return "/tmp/gridmean-bench-gridio-" + std::to_string(::getpid()) + suffix;
}

void RemoveSamples()
{
    std::remove(BenchPath(".asc").c_str());
    std::remove(BenchPath(".asc.gz").c_str());
}

const std::string& SampleFile()
{
    static const std::string path = [] {
        std::string name = BenchPath(".asc");
        std::atexit(RemoveSamples);
        WriteSampleGrid(name, 0, "xllcorner 440720\nyllcorner 3750120");
        return name;
    }();
    return path;
}

double FileBytes(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 ? static_cast<double>(status.st_size) : 0;
}

void ReadGrid(benchmark::State& state)
{
    const std::string& path = SampleFile();
    for (auto _ : state) {
        std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(path));
        benchmark::DoNotOptimize(map.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(path)));
}
BENCHMARK(ReadGrid)->Unit(benchmark::kMillisecond);

void WriteGrid(benchmark::State& state)
{
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(SampleFile()));
    const std::string out = BenchPath("-out.asc");
    for (auto _ : state) TARCGISFileTools::WriteARCGISFile(map.get(), out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(out)));
    std::remove(out.c_str());
}
BENCHMARK(WriteGrid)->Unit(benchmark::kMillisecond);

// The sample grid compressed by the zlib sink (zlib's level 1, about what gzip -1 writes).
const std::string& SampleGzipFile()
{
    static const std::string path = [] {
        const std::string name = BenchPath(".asc.gz");
        std::FILE* in = std::fopen(SampleFile().c_str(), "rb");
        TGzipSink sink(name, TGzipLibrary::Zlib);
        char block[1 << 16];
        while (const size_t got = std::fread(block, 1, sizeof block, in)) sink.Write(block, got);
        std::fclose(in);
        sink.Commit();
        return name;
    }();
    return path;
}

// The benchmark's library, or false (with the benchmark skipped) when the build lacks it.
bool LibraryOf(benchmark::State& state, TGzipLibrary& library)
{
    library = state.range(0) == 1 ? TGzipLibrary::Isal : TGzipLibrary::Zlib;
    state.SetLabel(TGzipLibraries::Name(library));
    if (TGzipLibraries::Has(library)) return true;
    state.SkipWithError("not in this build");
    return false;
}

// Decompression alone, into a reader's block of 1 MB.
void InflateGzip(benchmark::State& state)
{
    TGzipLibrary library;
    if (!LibraryOf(state, library)) return;
    const std::string& path = SampleGzipFile();
    std::vector<char> block(size_t(1) << 20);
    for (auto _ : state) {
        TGzipSource source(std::make_unique<TFileSource>(path), library);
        while (source.Read(block.data(), block.size()) > 0) {
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(SampleFile())));
}
BENCHMARK(InflateGzip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void ReadGzipGrid(benchmark::State& state)
{
    TGzipLibrary library;
    if (!LibraryOf(state, library)) return;
    const std::string& path = SampleGzipFile();
    for (auto _ : state) {
        TGzipSource source(std::make_unique<TFileSource>(path), library);
        std::unique_ptr<TMap> map(TGridTextReader(source).ReadMap());
        benchmark::DoNotOptimize(map.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(SampleFile())));
    state.counters["compressed_MB"] = FileBytes(path) / 1e6;
}
BENCHMARK(ReadGzipGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Compression alone: the plain file's text through the sink, in the writer's 64 KB pieces, to
// /dev/null (written in place, no file system); then once to a file for its size.
void DeflateGzip(benchmark::State& state)
{
    TGzipLibrary library;
    if (!LibraryOf(state, library)) return;
    std::string text;
    {
        std::FILE* in = std::fopen(SampleFile().c_str(), "rb");
        char block[1 << 16];
        while (const size_t got = std::fread(block, 1, sizeof block, in)) text.append(block, got);
        std::fclose(in);
    }
    auto deflate = [&](const std::string& out) {
        TGzipSink sink(out, library);
        for (size_t at = 0; at < text.size(); at += 65536) sink.Write(text.data() + at, std::min<size_t>(65536, text.size() - at));
        sink.Commit();
    };
    for (auto _ : state) deflate("/dev/null");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    const std::string out = BenchPath("-deflated.gz");
    deflate(out);
    state.counters["compressed_MB"] = FileBytes(out) / 1e6;
    std::remove(out.c_str());
}
// Wall time: the sink compresses on a thread of its own.
BENCHMARK(DeflateGzip)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The whole writer: formatting, compression (the fastest library), the file and its sync.
void WriteGzipGrid(benchmark::State& state)
{
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(SampleFile()));
    const std::string plain = BenchPath("-out.asc");
    TARCGISFileTools::WriteARCGISFile(map.get(), plain);
    const std::string out = plain + ".gz";
    for (auto _ : state) TARCGISFileTools::WriteARCGISFile(map.get(), out);
    state.SetLabel(TGzipLibraries::Name(TGzipLibraries::Fastest()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileBytes(plain)));
    state.counters["compressed_MB"] = FileBytes(out) / 1e6;
    std::remove(plain.c_str());
    std::remove(out.c_str());
}
BENCHMARK(WriteGzipGrid)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same text written to /dev/null: the writer's own cost, without the file system's.
void WriteGridDiscarded(benchmark::State& state)
{
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(SampleFile()));
    for (auto _ : state) TARCGISFileTools::WriteARCGISFile(map.get(), "/dev/null");
    state.counters["ns_per_cell"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 2000 * 2000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(WriteGridDiscarded)->Unit(benchmark::kMillisecond);

// The grid's cells in general notation with 1 to 17 significant digits, into memory.
void FormatGeneral(benchmark::State& state)
{
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(SampleFile()));
    const int precision = static_cast<int>(state.range(0));
    std::vector<char> text(TNumberFormatter::kMaxDoubleText + 64);
    for (auto _ : state) {
        for (long y = 0; y < map->GetYDim(); ++y)
            for (double value : map->GetRowRef(y))
                benchmark::DoNotOptimize(TNumberFormatter::FormatDouble(text.data(), value, TNumberFormatter::TStyle::General, precision));
    }
    state.counters["ns_per_cell"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2000 * 2000,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(FormatGeneral)->DenseRange(1, 17)->Unit(benchmark::kMillisecond);

}  // namespace
