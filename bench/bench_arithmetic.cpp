// Cell-wise operations on two 2000 x 2000 maps. "Aligned" maps share their axes, so each cell pairs
// with the cell of the same column and row; the "Shifted" ones are offset by whole cells, so the
// pairing runs through the coordinate lookup. numpy_arithmetic.py times numpy on the same arrays.
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapTools.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr long kSide = 2000;
constexpr double kCellSize = 25.0;

// A UTM-like grid of 25 m cells with smoothly varying values, some no-data cells, and its west
// edge `columnsEast` cells east of the first map's.
std::unique_ptr<TMap> MakeMap(double scale, long columnsEast, long side)
{
    auto grid = std::make_unique<TMap>(kCellSize, side, side);
    for (long y = 0; y < side; ++y) {
        std::vector<double>& row = grid->GetRowRef(y);
        for (long x = 0; x < side; ++x)
            row[static_cast<size_t>(x)] = (x * 7 + y * 13) % 997 == 0 ? -9999 : scale + x * 0.37 - y * 0.011;
    }
    TAxis xEdges(kCellSize);
    TAxis yEdges(kCellSize);
    const double west = 430000.0 + kCellSize * static_cast<double>(columnsEast);
    for (long i = 0; i <= side; ++i) xEdges.AddPoint(new TPoint(west + kCellSize * static_cast<double>(i), 5250000.0));
    for (long i = 0; i <= side; ++i) yEdges.AddPoint(new TPoint(west, 5250000.0 - kCellSize * static_cast<double>(i)));
    grid->SetXAxisInterval(&xEdges);
    grid->SetYAxisInterval(&yEdges);
    return grid;
}

TMap* First()
{
    static std::unique_ptr<TMap> map = MakeMap(100.0, 0, kSide);
    return map.get();
}

TMap* Second()
{
    static std::unique_ptr<TMap> map = MakeMap(3.0, 0, kSide);
    return map.get();
}

// A map one column wider than the first whose cells pair with the first map's cells one column
// over: the same pairing work for every cell, through the coordinate lookup.
TMap* Shifted()
{
    static std::unique_ptr<TMap> map = MakeMap(3.0, -1, kSide + 1);
    return map.get();
}

template <class TOperation>
void Run(benchmark::State& state, TOperation operation)
{
    for (auto _ : state) {
        std::unique_ptr<TMap> result(operation());
        benchmark::DoNotOptimize(result->GetRowRef(kSide - 1)[static_cast<size_t>(kSide - 1)]);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_AddAligned(benchmark::State& state) { Run(state, [] { return TMapTools::Add(First(), Second()); }); }
BENCHMARK(BM_AddAligned)->Unit(benchmark::kMillisecond);

void BM_MultiplyAligned(benchmark::State& state) { Run(state, [] { return TMapTools::Multiply(First(), Second()); }); }
BENCHMARK(BM_MultiplyAligned)->Unit(benchmark::kMillisecond);

void BM_DivideAligned(benchmark::State& state) { Run(state, [] { return TMapTools::Divide(First(), Second()); }); }
BENCHMARK(BM_DivideAligned)->Unit(benchmark::kMillisecond);

void BM_SubtractAligned(benchmark::State& state) { Run(state, [] { return TMapTools::Subtract(First(), Second()); }); }
BENCHMARK(BM_SubtractAligned)->Unit(benchmark::kMillisecond);

void BM_MaskAligned(benchmark::State& state)
{
    Run(state, [] { return TMapTools::Mask(First(), Second(), 3.0, 0.0); });
}
BENCHMARK(BM_MaskAligned)->Unit(benchmark::kMillisecond);

void BM_AddShifted(benchmark::State& state) { Run(state, [] { return TMapTools::Add(First(), Shifted()); }); }
BENCHMARK(BM_AddShifted)->Unit(benchmark::kMillisecond);

}  // namespace
