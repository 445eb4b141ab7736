// TMapTools::ValueGradients on a stack of ten 1000 x 1000 maps with window 3 (seven result maps).

#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapTools.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr long kSide = 1000;
constexpr int kMaps = 10;
constexpr int kWindow = 3;

// A map of kSide x kSide cells of size 1 from (0, 0), with values that vary from cell to cell and
// from map to map, about 2% zeros (which take a neighbour's value) and 1% no-data.
std::unique_ptr<TMap> StackMap(int number)
{
    auto map = std::make_unique<TMap>(1.0, kSide, kSide);
    uint32_t state = 2654435761u * static_cast<uint32_t>(number + 1);
    for (long y = 0; y < kSide; ++y) {
        std::vector<double>& row = map->GetRowRef(y);
        for (long x = 0; x < kSide; ++x) {
            state = state * 1664525u + 1013904223u;
            const uint32_t draw = state >> 8;
            if (draw % 100 == 0) row[x] = -9999;
            else if (draw % 50 == 1) row[x] = 0;
            else row[x] = static_cast<double>(draw % 1000) / 10 + number;
        }
    }
    TAxis columns(1.0), rows(1.0);
    for (long x = 0; x < kSide; ++x) columns.AddPoint(new TPoint(x + 0.5, kSide - 0.5));
    for (long y = 0; y < kSide; ++y) rows.AddPoint(new TPoint(0.5, kSide - y - 0.5));
    map->SetXAxis(&columns);
    map->SetYAxis(&rows);
    return map;
}

void ValueGradientsTenMapsWindowThree(benchmark::State& state)
{
    std::vector<std::unique_ptr<TMap>> stack;
    std::vector<TMap*> maps;
    for (int m = 0; m < kMaps; ++m) {
        stack.push_back(StackMap(m));
        maps.push_back(stack.back().get());
    }
    for (auto _ : state) {
        std::vector<TMap*> result = TMapTools::ValueGradients(maps, kWindow);
        benchmark::DoNotOptimize(result.data());
        state.PauseTiming();
        for (TMap* map : result) delete map;
        state.ResumeTiming();
    }
    state.counters["cells/s"] =
        benchmark::Counter(static_cast<double>(kSide * kSide * (kMaps - kWindow)), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(ValueGradientsTenMapsWindowThree)->Unit(benchmark::kMillisecond);
