// The cell math per cell at 32, 40 and 365 values: a pool of random cells (values of two
// decimals, times 1..n, weights with some zeros) visited in turn, so that every call sees new
// data. Each figure is the time per cell; the forms that reorder their values copy the cell
// first, and BM_Copy is that copy alone. BM_TheilSenNthElement is the same slope median selected
// by std::nth_element, for comparison with the partition TTrendMath uses.
#include "stats/TCountMath.h"
#include "stats/TDistributions.h"
#include "stats/TMomentMath.h"
#include "stats/TOrderMath.h"
#include "stats/TTrendMath.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr size_t kCells = 512;

struct TPool {
    size_t N;
    std::vector<double> Values;
    std::vector<double> Sorted;
    std::vector<double> Weights;
    std::vector<double> Times;
};

const TPool& Pool(size_t n)
{
    static std::vector<TPool> pools;
    for (const TPool& pool : pools)
        if (pool.N == n) return pool;
    TPool pool{n, {}, {}, {}, {}};
    std::mt19937 random(static_cast<unsigned>(n));
    std::normal_distribution<double> normal(0, 1);
    std::uniform_real_distribution<double> weight(0, 5);
    for (size_t c = 0; c < kCells; ++c) {
        for (size_t i = 0; i < n; ++i) {
            pool.Values.push_back(std::round((normal(random) + 0.01 * static_cast<double>(i)) * 10000) / 100);
            pool.Weights.push_back(weight(random) < 1 ? 0 : std::round(weight(random) * 100) / 100);
            pool.Times.push_back(static_cast<double>(i + 1));
        }
        pool.Sorted.insert(pool.Sorted.end(), pool.Values.end() - static_cast<long>(n), pool.Values.end());
        std::sort(pool.Sorted.end() - static_cast<long>(n), pool.Sorted.end());
    }
    pools.push_back(pool);
    return pools.back();
}

// Runs `cell(values, sorted, weights, times, n)` over the pool's cells in turn.
template <class TCell>
void RunCells(benchmark::State& state, TCell cell)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const TPool& pool = Pool(n);
    size_t c = 0;
    for (auto _ : state) {
        const size_t at = c * n;
        benchmark::DoNotOptimize(cell(pool.Values.data() + at, pool.Sorted.data() + at, pool.Weights.data() + at,
                                      pool.Times.data() + at, n));
        c = c + 1 == kCells ? 0 : c + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

std::vector<double>& Work()
{
    static std::vector<double> work(4096);
    return work;
}

std::vector<double>& Scratch()
{
    static std::vector<double> scratch;
    return scratch;
}

double* Copied(const double* values, size_t n)
{
    std::copy(values, values + n, Work().data());
    return Work().data();
}

#define CELL_BENCHMARK(name, body)                                                                          \
    void BM_##name(benchmark::State& state)                                                                 \
    {                                                                                                       \
        RunCells(state, [](const double* x, const double* sorted, const double* w, const double* t, size_t n) { \
            (void)x, (void)sorted, (void)w, (void)t;                                                        \
            body                                                                                            \
        });                                                                                                 \
    }                                                                                                       \
    BENCHMARK(BM_##name)->Arg(32)->Arg(40)->Arg(365)

double Result(bool present, double value) { return present ? value : -1; }

CELL_BENCHMARK(Copy, { return *Copied(x, n); });
CELL_BENCHMARK(Mean, { return TMomentMath::Mean(x, n); });
CELL_BENCHMARK(PopulationVariance, { return TMomentMath::PopulationVariance(x, n); });
CELL_BENCHMARK(SampleStdDev, {
    double r = 0;
    return Result(TMomentMath::SampleStdDev(x, n, r), r);
});
CELL_BENCHMARK(Skewness, {
    double r = 0;
    return Result(TMomentMath::Skewness(x, n, r), r);
});
CELL_BENCHMARK(Kurtosis, {
    double r = 0;
    return Result(TMomentMath::Kurtosis(x, n, r), r);
});
CELL_BENCHMARK(WeightedMean, {
    double r = 0;
    return Result(TMomentMath::WeightedMean(x, w, n, r), r);
});
CELL_BENCHMARK(WeightedVariance, {
    double r = 0;
    return Result(TMomentMath::WeightedVariance(x, w, n, r), r);
});
CELL_BENCHMARK(CopyAndSort, {
    double* work = Copied(x, n);
    std::sort(work, work + n);
    return work[n / 2];
});
CELL_BENCHMARK(MedianOfSorted, { return TOrderMath::Median(sorted, n); });
CELL_BENCHMARK(PercentileOfSorted, { return TOrderMath::Percentile(sorted, n, 90); });
CELL_BENCHMARK(ModeOfSorted, { return TOrderMath::Mode(sorted, n); });
CELL_BENCHMARK(VarietyOfSorted, { return static_cast<double>(TOrderMath::Variety(sorted, n)); });
CELL_BENCHMARK(CopyAndMedianOfUnsorted, { return TOrderMath::MedianOfUnsorted(Copied(x, n), n); });
CELL_BENCHMARK(CopyAndPercentileOfUnsorted, { return TOrderMath::PercentileOfUnsorted(Copied(x, n), n, 90); });
CELL_BENCHMARK(CountAbove, { return static_cast<double>(TCountMath::Count(x, n, TComparison::Above, 0.5)); });
CELL_BENCHMARK(ArgMax, { return static_cast<double>(TCountMath::ArgMax(x, nullptr, n)); });
CELL_BENCHMARK(FitLine, {
    TLineFit fit;
    TTrendMath::FitLine(t, x, nullptr, n, fit);
    return fit.TValue;
});
CELL_BENCHMARK(FitLineWeighted, {
    TLineFit fit;
    TTrendMath::FitLine(t, x, w, n, fit);
    return fit.TValue;
});
CELL_BENCHMARK(FitLineAndPValue, {
    TLineFit fit;
    TTrendMath::FitLine(t, x, nullptr, n, fit);
    double p = 0;
    return Result(TTrendMath::LinePValue(fit, p), p);
});
CELL_BENCHMARK(TheilSen, {
    double slope = 0;
    double offset = 0;
    return Result(TTrendMath::TheilSen(t, x, n, Scratch(), slope, offset), slope + offset);
});
CELL_BENCHMARK(TheilSenNthElement, {
    std::vector<double>& slopes = Scratch();
    slopes.resize(n * (n - 1) / 2 + n);
    size_t count = 0;
    for (size_t i = 0; i + 1 < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (t[j] != t[i]) slopes[count++] = (x[j] - x[i]) / (t[j] - t[i]);
    const double slope = TOrderMath::MedianOfUnsorted(slopes.data(), count);
    return slope - TOrderMath::MedianOfUnsorted(Copied(x, n), n) + slope * TOrderMath::MedianOfUnsorted(Copied(t, n), n);
});
CELL_BENCHMARK(MannKendall, {
    TMannKendall test;
    TTrendMath::MannKendall(t, x, n, Scratch(), test);
    return test.P;
});

// The p-values alone, per call, over |t| from 0 to 8 and the cells' degrees of freedom.
void BM_StudentTwoSided(benchmark::State& state)
{
    const double freedom = static_cast<double>(state.range(0) - 2);
    double t = 0;
    for (auto _ : state) {
        double p = 0;
        TDistributions::StudentTwoSided(t, freedom, p);
        benchmark::DoNotOptimize(p);
        t = t > 8 ? 0 : t + 0.37;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StudentTwoSided)->Arg(32)->Arg(40)->Arg(365);

void BM_NormalTwoSided(benchmark::State& state)
{
    double z = 0;
    for (auto _ : state) {
        double p = 0;
        TDistributions::NormalTwoSided(z, p);
        benchmark::DoNotOptimize(p);
        z = z > 8 ? 0 : z + 0.37;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NormalTwoSided);

}  // namespace
