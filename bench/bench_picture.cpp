// The quick-look picture of a grid, by phase: adding the cells as a run computes them, the
// percentile selection (and the radix selection alone, its fallback), deflating the picture's
// filtered rows (and zlib's Z_RLE on the same rows, for comparison), and writing the whole PNG
// (percentiles, palette indices, deflate, chunks). The grids are
// 2000 x 2000 (the size of the run it rides on: gridmean over 4 inputs of 2000 x 2000) and
// 5000 x 300 (reduced by 3), with two kinds of values: "Noisy", like the mean of 4 of the
// benchmark's synthetic grids (a sawtooth field plus noise, 8 % of cells missing), and "Smooth",
// a smooth surface with a missing corner. "Counts" are the whole numbers 0 to 4 of a count.
// Peak memory is counted by replacing operator new, through which the picture allocates all its
// memory (zlib's included): PeakMemory reports the most the picture held at once.
#include "picture/TFastDeflate.h"
#include "picture/TPixelPercentiles.h"
#include "picture/TQuickLook.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

std::atomic<size_t> gHeld{0};
std::atomic<size_t> gPeak{0};
constexpr size_t kHeader = 16;

void* Allocate(size_t size)
{
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) return nullptr;
    *static_cast<size_t*>(block) = size;
    const size_t held = gHeld += size;
    size_t peak = gPeak;
    while (held > peak && !gPeak.compare_exchange_weak(peak, held)) {
    }
    return static_cast<char*>(block) + kHeader;
}

// Not inlined into the replaced operator delete: GCC would take the header before the block
// for a read outside what operator new handed out.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void Free(void* address)
{
    if (address == nullptr) return;
    char* block = static_cast<char*>(address) - kHeader;
    gHeld -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

}  // namespace

void* operator new(size_t size)
{
    void* address = Allocate(size);
    if (address == nullptr) throw std::bad_alloc();
    return address;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* address) noexcept { Free(address); }
void operator delete[](void* address) noexcept { Free(address); }
void operator delete(void* address, size_t) noexcept { Free(address); }
void operator delete[](void* address, size_t) noexcept { Free(address); }

namespace {

enum class TValues { Noisy, Smooth, Counts };

struct TGrid {
    long Columns;
    long Rows;
    TValues Kind;
    std::vector<double> Values;
    std::vector<unsigned char> Missing;
};

const TGrid& Grid(long columns, long rows, TValues kind)
{
    static std::vector<std::unique_ptr<TGrid>> made;
    for (const auto& grid : made)
        if (grid->Columns == columns && grid->Rows == rows && grid->Kind == kind) return *grid;
    auto grid = std::make_unique<TGrid>();
    grid->Columns = columns;
    grid->Rows = rows;
    grid->Kind = kind;
    const size_t cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    grid->Values.resize(cells);
    grid->Missing.resize(cells);
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> noise(-500, 500);
    std::uniform_real_distribution<double> unit(0, 1);
    for (long y = 0; y < rows; ++y) {
        for (long x = 0; x < columns; ++x) {
            const size_t c = static_cast<size_t>(y) * static_cast<size_t>(columns) + static_cast<size_t>(x);
            switch (kind) {
            case TValues::Noisy: {
                const double base = 100000 + (x * 37 + y * 53) % 90000;
                const int sum = noise(random) + noise(random) + noise(random) + noise(random);
                grid->Values[c] = (base + sum / 4.0) / 100;
                grid->Missing[c] = unit(random) < 1 - std::pow(0.98, 4);
                break;
            }
            case TValues::Smooth:
                grid->Values[c] = 500 + 300 * std::sin(x * 0.003) * std::cos(y * 0.002);
                grid->Missing[c] = x + y < columns / 4;
                break;
            case TValues::Counts: {
                const int count = 4 - (unit(random) < 0.02) - (unit(random) < 0.02) - (unit(random) < 0.02) -
                                  (unit(random) < 0.02);
                grid->Values[c] = count;
                grid->Missing[c] = 0;
                break;
            }
            }
        }
    }
    made.push_back(std::move(grid));
    return *made.back();
}

class TCountingSink : public TByteSink {
public:
    void Write(const char*, size_t size) override { Bytes += size; }
    size_t Bytes = 0;
};

TQuickLookOptions Options(TValues kind, bool range)
{
    TQuickLookOptions options;
    options.Statistic = kind == TValues::Counts ? "count" : "mean";
    options.WholeNumbers = kind == TValues::Counts;
    options.HasRange = range;
    options.RangeLow = 1000;
    options.RangeHigh = 1900;
    options.XllCorner = "440720.5";
    options.YllCorner = "3750120.25";
    options.CellSize = "30";
    options.NoDataValue = "-9999";
    return options;
}

// The cells in runs of one row, as a band of a run hands them on.
std::unique_ptr<TQuickLook> Picture(const TGrid& grid, const TQuickLookOptions& options)
{
    auto picture = std::make_unique<TQuickLook>(grid.Columns, grid.Rows, options);
    const size_t columns = static_cast<size_t>(grid.Columns);
    for (size_t y = 0; y < static_cast<size_t>(grid.Rows); ++y)
        picture->Add(grid.Values.data() + y * columns, grid.Missing.data() + y * columns, columns);
    return picture;
}

void Add(benchmark::State& state, long columns, long rows, TValues kind)
{
    const TGrid& grid = Grid(columns, rows, kind);
    for (auto _ : state) {
        auto picture = Picture(grid, Options(kind, false));
        benchmark::DoNotOptimize(picture.get());
    }
    state.counters["ns_per_cell"] = benchmark::Counter(static_cast<double>(columns * rows),
                                                       benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Write(benchmark::State& state, long columns, long rows, TValues kind, bool range)
{
    const auto picture = Picture(Grid(columns, rows, kind), Options(kind, range));
    size_t bytes = 0;
    for (auto _ : state) {
        TCountingSink sink;
        picture->Write(sink);
        bytes = sink.Bytes;
    }
    state.counters["png_bytes"] = static_cast<double>(bytes);
}

void Percentiles(benchmark::State& state, long columns, long rows, TValues kind, bool radix)
{
    const TGrid& grid = Grid(columns, rows, kind);
    std::vector<float> pixels(grid.Values.size());
    for (size_t c = 0; c < pixels.size(); ++c)
        pixels[c] = grid.Missing[c] ? NAN : static_cast<float>(grid.Values[c]);
    for (auto _ : state) {
        double low = 0;
        double high = 0;
        benchmark::DoNotOptimize(radix ? TPixelPercentiles::SelectByRadix(pixels.data(), pixels.size(), 2, 98, low, high)
                                       : TPixelPercentiles::Select(pixels.data(), pixels.size(), 2, 98, low, high));
        benchmark::DoNotOptimize(low + high);
    }
}

class TStringSink : public TByteSink {
public:
    void Write(const char* data, size_t size) override { Bytes.append(data, size); }
    std::string Bytes;
};

// The filtered rows of the grid's picture, as its deflate sees them: the PNG's IDAT chunks
// inflated by zlib.
std::vector<unsigned char> FilteredRows(long columns, long rows, TValues kind)
{
    TStringSink png;
    Picture(Grid(columns, rows, kind), Options(kind, false))->Write(png);
    std::string stream;
    auto number = [&png](size_t at) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(png.Bytes.data()) + at;
        return size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
    };
    for (size_t at = 8; at + 12 <= png.Bytes.size(); at += 12 + number(at))
        if (png.Bytes.compare(at + 4, 4, "IDAT") == 0) stream.append(png.Bytes, at + 8, number(at));
    std::vector<unsigned char> out(static_cast<size_t>(columns * rows) * 2 + 1000000);
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size())) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

void Deflate(benchmark::State& state, long columns, long rows, TValues kind, bool zlib)
{
    const std::vector<unsigned char> input = FilteredRows(columns, rows, kind);
    size_t bytes = 0;
    for (auto _ : state) {
        if (zlib) {
            // What the pictures were deflated with before: level 1, Z_RLE.
            z_stream z{};
            deflateInit2(&z, 1, Z_DEFLATED, 15, 8, Z_RLE);
            std::vector<unsigned char> out(deflateBound(&z, static_cast<uLong>(input.size())));
            z.next_in = const_cast<Bytef*>(input.data());
            z.avail_in = static_cast<uInt>(input.size());
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, Z_FINISH);
            bytes = z.total_out;
            deflateEnd(&z);
        } else {
            TCountingSink sink;
            TFastDeflate deflate(sink);
            deflate.Write(input.data(), input.size());
            deflate.Finish();
            bytes = sink.Bytes;
        }
    }
    state.counters["in_bytes"] = static_cast<double>(input.size());
    state.counters["out_bytes"] = static_cast<double>(bytes);
    state.counters["ns_per_byte"] = benchmark::Counter(static_cast<double>(input.size()),
                                                       benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void PeakMemory(benchmark::State& state, long columns, long rows, TValues kind)
{
    const TGrid& grid = Grid(columns, rows, kind);
    size_t extra = 0;
    for (auto _ : state) {
        const size_t before = gHeld;
        gPeak = before;
        {
            auto picture = Picture(grid, Options(kind, false));
            TCountingSink sink;
            picture->Write(sink);
        }
        extra = gPeak - before;
    }
    state.counters["peak_MB"] = static_cast<double>(extra) / 1e6;
}

}  // namespace

BENCHMARK_CAPTURE(Add, Noisy2000, 2000, 2000, TValues::Noisy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Add, Smooth2000, 2000, 2000, TValues::Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Add, Counts2000, 2000, 2000, TValues::Counts)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Add, Noisy5000x300, 5000, 300, TValues::Noisy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Percentiles, Noisy2000, 2000, 2000, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Percentiles, Smooth2000, 2000, 2000, TValues::Smooth, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Percentiles, Noisy2000ByRadix, 2000, 2000, TValues::Noisy, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Noisy2000, 2000, 2000, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Smooth2000, 2000, 2000, TValues::Smooth, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Counts2000, 2000, 2000, TValues::Counts, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Noisy5000x300, 5000, 300, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Noisy2000ZlibRle, 2000, 2000, TValues::Noisy, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Smooth2000ZlibRle, 2000, 2000, TValues::Smooth, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Deflate, Counts2000ZlibRle, 2000, 2000, TValues::Counts, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy2000, 2000, 2000, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy2000GivenRange, 2000, 2000, TValues::Noisy, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Smooth2000, 2000, 2000, TValues::Smooth, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Counts2000, 2000, 2000, TValues::Counts, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy5000x300, 5000, 300, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PeakMemory, Noisy2000, 2000, 2000, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, Noisy2048, 2048, 2048, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, Noisy5000x300, 5000, 300, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
