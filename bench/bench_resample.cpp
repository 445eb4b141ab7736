// Bilinear interpolation of a 1000 x 1000 map to half its cell size (a 2000 x 2000 result), and
// the empty frame of that size alone, to show what the interpolation adds to building the result.
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapTools.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr long kSide = 1000;
constexpr double kCellSize = 25.0;

// A UTM-like grid of 25 m cells with smoothly varying values and some no-data cells.
TMap* SampleMap()
{
    static std::unique_ptr<TMap> map = [] {
        auto grid = std::make_unique<TMap>(kCellSize, kSide, kSide);
        for (long y = 0; y < kSide; ++y) {
            std::vector<double>& row = grid->GetRowRef(y);
            for (long x = 0; x < kSide; ++x)
                row[static_cast<size_t>(x)] = (x * 7 + y * 13) % 997 == 0 ? -9999 : 100.0 + x * 0.37 - y * 0.011;
        }
        TAxis xEdges(kCellSize);
        TAxis yEdges(kCellSize);
        for (long i = 0; i <= kSide; ++i) xEdges.AddPoint(new TPoint(430000.0 + kCellSize * i, 5250000.0));
        for (long i = 0; i <= kSide; ++i) yEdges.AddPoint(new TPoint(430000.0, 5250000.0 - kCellSize * i));
        grid->SetXAxisInterval(&xEdges);
        grid->SetYAxisInterval(&yEdges);
        return grid;
    }();
    return map.get();
}

void BM_BilinearInterpolateToHalfResolution(benchmark::State& state)
{
    TMap* source = SampleMap();
    for (auto _ : state) {
        std::unique_ptr<TMap> result(TMapTools::BilinearInterpolate(source, source->GetResolution() / 2));
        benchmark::DoNotOptimize(result->GetRowRef(kSide)[static_cast<size_t>(kSide)]);
    }
    state.SetItemsProcessed(state.iterations() * 4 * kSide * kSide);
}
BENCHMARK(BM_BilinearInterpolateToHalfResolution)->Unit(benchmark::kMillisecond);

void BM_DownscaleToHalfResolution(benchmark::State& state)
{
    TMap* source = SampleMap();
    for (auto _ : state) {
        std::unique_ptr<TMap> result(TMapTools::Downscale(source, source->GetResolution() / 2));
        benchmark::DoNotOptimize(result->GetRowRef(0)[0]);
    }
}
BENCHMARK(BM_DownscaleToHalfResolution)->Unit(benchmark::kMillisecond);

}  // namespace
