// The quick-look picture of a grid, by phase: adding the cells as a run computes them, the
// percentile selection, and writing the PNG (palette indices, deflate, chunks). The grids are
// 2000 x 2000 (the size of the run it rides on: gridmean over 4 inputs of 2000 x 2000) and
// 5000 x 300 (reduced by 3), with two kinds of values: "Noisy", like the mean of 4 of the
// benchmark's synthetic grids (a sawtooth field plus noise, 8 % of cells missing), and "Smooth",
// a smooth surface with a missing corner. "Counts" are the whole numbers 0 to 4 of a count.
// Peak memory is counted by replacing operator new, through which the picture allocates all its
// memory (zlib's included): PeakMemory reports the most the picture held at once.
#include "picture/TPixelPercentiles.h"
#include "picture/TQuickLook.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
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

void Percentiles(benchmark::State& state, long columns, long rows, TValues kind)
{
    const TGrid& grid = Grid(columns, rows, kind);
    std::vector<float> pixels(grid.Values.size());
    for (size_t c = 0; c < pixels.size(); ++c)
        pixels[c] = grid.Missing[c] ? NAN : static_cast<float>(grid.Values[c]);
    for (auto _ : state) {
        double low = 0;
        double high = 0;
        benchmark::DoNotOptimize(TPixelPercentiles::Select(pixels.data(), pixels.size(), 2, 98, low, high));
        benchmark::DoNotOptimize(low + high);
    }
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
BENCHMARK_CAPTURE(Percentiles, Noisy2000, 2000, 2000, TValues::Noisy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy2000, 2000, 2000, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy2000GivenRange, 2000, 2000, TValues::Noisy, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Smooth2000, 2000, 2000, TValues::Smooth, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Counts2000, 2000, 2000, TValues::Counts, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Add, Noisy5000x300, 5000, 300, TValues::Noisy)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, Noisy5000x300, 5000, 300, TValues::Noisy, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PeakMemory, Noisy2000, 2000, 2000, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, Noisy2048, 2048, 2048, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, Noisy5000x300, 5000, 300, TValues::Noisy)->Unit(benchmark::kMillisecond)->Iterations(1);
