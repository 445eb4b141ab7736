#include "stats/TMomentMath.h"

#include "stats/TStackStatistic.h"

#include "TCellReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

constexpr double kMissing = -123456;  // stands for "missing" in the tables
constexpr double kBig = 1.7e308;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What today's cell rule gives for one cell of these values (every input holding data).
double StackRule(TStatisticKind kind, const std::vector<double>& x, const std::vector<double>& weights = {})
{
    TStackRule rule;
    rule.Kind = kind;
    rule.Weights = weights;
    return StackRuleOf(rule, x, kMissing);
}

using TBoolMoment = bool (*)(const double*, size_t, double&);
using TWeighted = bool (*)(const double*, const double*, size_t, double&);

double Of(TBoolMoment moment, const std::vector<double>& x)
{
    double result = 0;
    return moment(x.data(), x.size(), result) ? result : kMissing;
}

double Of(TWeighted moment, const std::vector<double>& x, const std::vector<double>& w)
{
    double result = 0;
    return moment(x.data(), w.data(), x.size(), result) ? result : kMissing;
}

}  // namespace

TEST(MomentMath, HandWorkedCellsAndTheirMissingRules)
{
    const std::vector<double> cell = {1, 2, 6, 3};  // deviations -2, -1, 3, 0 about 3
    EXPECT_EQ(TMomentMath::Mean(cell.data(), 4), 3);
    EXPECT_EQ(TMomentMath::Sum(cell.data(), 4), 12);
    EXPECT_EQ(TMomentMath::PopulationVariance(cell.data(), 4), 3.5);
    EXPECT_EQ(TMomentMath::PopulationStdDev(cell.data(), 4), std::sqrt(3.5));
    EXPECT_DOUBLE_EQ(Of(TMomentMath::SampleVariance, cell), 14.0 / 3);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::SampleStdDev, cell), std::sqrt(14.0 / 3));
    EXPECT_DOUBLE_EQ(Of(TMomentMath::Skewness, cell), 4.5 / std::pow(3.5, 1.5));  // sum d^3 / 4 = 4.5
    EXPECT_DOUBLE_EQ(Of(TMomentMath::Kurtosis, cell), -1);                      // 24.5 / 3.5^2 - 3
    // Two values: no skew, kurtosis -2.
    EXPECT_EQ(Of(TMomentMath::Skewness, {1, 3}), 0);
    EXPECT_EQ(Of(TMomentMath::Kurtosis, {1, 3}), -2);
    // One value: the sample forms and the shape are missing.
    for (TBoolMoment moment : {TMomentMath::SampleVariance, TMomentMath::SampleStdDev, TMomentMath::Skewness,
                               TMomentMath::Kurtosis})
        EXPECT_EQ(Of(moment, {7}), kMissing);
    EXPECT_EQ(TMomentMath::PopulationVariance(cell.data(), 1), 0);
    // Equal values whose mean is off by a rounding (0.1 * 3 / 3 is not 0.1): the variance is
    // today's (not 0), but no skewness or kurtosis is made of that noise.
    const std::vector<double> equal = {0.1, 0.1, 0.1};
    EXPECT_EQ(TMomentMath::PopulationVariance(equal.data(), 3), StackRule(TStatisticKind::Variance, equal));
    EXPECT_EQ(Of(TMomentMath::Skewness, equal), kMissing);
    EXPECT_EQ(Of(TMomentMath::Kurtosis, equal), kMissing);
    EXPECT_EQ(Of(TMomentMath::Skewness, {1e-300, 1e-300}), kMissing);

    const std::vector<double> weights = {1, 1, 2, 0};  // sum 4, weighted sum 15
    EXPECT_EQ(Of(TMomentMath::WeightedMean, cell, weights), 3.75);
    EXPECT_EQ(Of(TMomentMath::WeightedSum, cell, weights), 15);
    EXPECT_EQ(Of(TMomentMath::WeightedVariance, cell, weights), 20.75 / 4);  // 2.75^2 + 1.75^2 + 2 2.25^2
    EXPECT_EQ(Of(TMomentMath::WeightedStdDev, cell, weights), std::sqrt(20.75 / 4));
    for (TWeighted moment : {TMomentMath::WeightedMean, TMomentMath::WeightedSum, TMomentMath::WeightedVariance,
                             TMomentMath::WeightedStdDev})
        EXPECT_EQ(Of(moment, cell, {0, 0, 0, 0}), kMissing);
}

TEST(MomentMath, StaysFiniteWhereTheResultFits)
{
    // Where today's road overflows on the way, the scaled road gives what fits.
    const std::vector<double> twice = {kBig, kBig};
    EXPECT_EQ(TMomentMath::Mean(twice.data(), 2), kBig);
    const std::vector<double> cancelling = {kBig, kBig, -kBig, -kBig, 3};
    EXPECT_DOUBLE_EQ(TMomentMath::Mean(cancelling.data(), 5), 0.6);
    const std::vector<double> equal = {kBig, kBig, kBig};
    EXPECT_EQ(TMomentMath::PopulationVariance(equal.data(), 3), 0);
    EXPECT_EQ(TMomentMath::PopulationStdDev(equal.data(), 3), 0);
    EXPECT_EQ(Of(TMomentMath::SampleStdDev, equal), 0);
    EXPECT_EQ(Of(TMomentMath::Skewness, equal), kMissing);
    // Squares near 1e308 overflow in the sum, not in the variance.
    const std::vector<double> wide = {1e154, -1e154};
    EXPECT_DOUBLE_EQ(TMomentMath::PopulationVariance(wide.data(), 2), 1e308);
    // The variance of -1e200 and 1e200 is beyond doubles; its square root is not.
    const std::vector<double> wider = {-1e200, 1e200};
    EXPECT_TRUE(std::isinf(TMomentMath::PopulationVariance(wider.data(), 2)));
    EXPECT_DOUBLE_EQ(TMomentMath::PopulationStdDev(wider.data(), 2), 1e200);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::SampleStdDev, wider), std::sqrt(2.0) * 1e200);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::Skewness, {-1e200, 1e200, 3e200}), Of(TMomentMath::Skewness, {-1, 1, 3}));
    EXPECT_DOUBLE_EQ(Of(TMomentMath::Kurtosis, {-1e300, 1e300, 3e300, 0}), Of(TMomentMath::Kurtosis, {-1, 1, 3, 0}));
    // Weights whose sum overflows (today NaN), products that overflow, a sum that overflows
    // on the way only.
    EXPECT_EQ(Of(TMomentMath::WeightedMean, {2, 4}, {1e308, 1e308}), 3);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::WeightedMean, {1e300, 3e300}, {1e100, 1e100}), 2e300);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::WeightedSum, {kBig, kBig, -kBig}, {1, 1, 1}), kBig);
    EXPECT_EQ(Of(TMomentMath::WeightedVariance, {kBig, kBig, 5}, {1, 1, 0}), 0);
    EXPECT_DOUBLE_EQ(Of(TMomentMath::WeightedStdDev, {-1e200, 1e200}, {1e308, 1e308}), 1e200);
    // Only the plain sum keeps today's overflow.
    EXPECT_TRUE(std::isinf(TMomentMath::Sum(twice.data(), 2)));
    // Non-finite inputs give non-finite results, as today.
    const std::vector<double> infinite = {1, std::numeric_limits<double>::infinity()};
    EXPECT_TRUE(std::isinf(TMomentMath::Mean(infinite.data(), 2)));
    EXPECT_TRUE(std::isnan(TMomentMath::PopulationVariance(infinite.data(), 2)));
}

TEST(MomentMath, TodaysCellRuleBitForBit)
{
    std::mt19937 random(17);
    for (size_t n : CellSizes()) {
        for (int kind = 0; kind < 4; ++kind) {
            const std::vector<double> x = RandomValues(random, n, kind);
            const std::vector<double> w = RandomWeights(random, n);
            EXPECT_TRUE(SameBits(TMomentMath::Mean(x.data(), n), StackRule(TStatisticKind::Mean, x))) << n << kind;
            EXPECT_TRUE(SameBits(TMomentMath::Sum(x.data(), n), StackRule(TStatisticKind::Sum, x))) << n << kind;
            EXPECT_TRUE(SameBits(TMomentMath::PopulationVariance(x.data(), n), StackRule(TStatisticKind::Variance, x)));
            EXPECT_TRUE(SameBits(TMomentMath::PopulationStdDev(x.data(), n), StackRule(TStatisticKind::StdDev, x)));
            EXPECT_TRUE(SameBits(Of(TMomentMath::WeightedMean, x, w), StackRule(TStatisticKind::Mean, x, w)));
        }
    }
    EXPECT_TRUE(SameBits(TMomentMath::Sum(std::vector<double>{-0.0}.data(), 1), -0.0));
}

TEST(MomentMath, AgreesWithNumpyAndScipy)
{
    if (!TCellReference::Available()) GTEST_SKIP() << "python3 with numpy and scipy is missing";
    std::mt19937 random(3);
    TCellReference reference;
    std::vector<std::pair<std::vector<double>, std::vector<double>>> cells;
    for (size_t n : CellSizes()) {
        for (int kind = 0; kind < 4; ++kind) {
            for (int repeat = 0; repeat < 3; ++repeat) {
                cells.push_back({RandomValues(random, n, kind), RandomWeights(random, n)});
                reference.Add("moments", {cells.back().first});
                reference.Add("weighted", {cells.back().first, cells.back().second});
            }
        }
    }
    const std::vector<std::vector<double>> rows = reference.Run();
    ASSERT_EQ(rows.size(), 2 * cells.size());
    for (size_t c = 0; c < cells.size(); ++c) {
        const std::vector<double>& x = cells[c].first;
        const std::vector<double>& w = cells[c].second;
        const size_t n = x.size();
        const std::vector<double>& moments = rows[2 * c];
        const std::vector<double>& weighted = rows[2 * c + 1];
        ASSERT_EQ(moments.size(), 8u);
        ASSERT_EQ(weighted.size(), 4u);
        // numpy sums pairwise, the cell rule in order: a few ulps of the sum of magnitudes apart.
        double magnitude = 0;
        for (double v : x) magnitude += std::fabs(v);
        const double tolerance = 1e-13;
        const std::string where = "n " + std::to_string(n) + " cell " + std::to_string(c);
        EXPECT_TRUE(Near(TMomentMath::Mean(x.data(), n), moments[0], tolerance, magnitude / n)) << where;
        // Both take the squares about a mean in a second pass, so a common offset costs no digits.
        const double squareScale = moments[1];
        EXPECT_TRUE(Near(TMomentMath::PopulationVariance(x.data(), n), moments[1], tolerance, squareScale)) << where;
        EXPECT_TRUE(Near(TMomentMath::PopulationStdDev(x.data(), n), moments[2], tolerance, std::sqrt(squareScale)))
            << where;
        if (n > 1) {
            EXPECT_TRUE(Near(Of(TMomentMath::SampleVariance, x), moments[3], tolerance, squareScale)) << where;
            EXPECT_TRUE(Near(Of(TMomentMath::SampleStdDev, x), moments[4], tolerance, std::sqrt(squareScale))) << where;
        }
        if (std::isnan(moments[5])) {
            EXPECT_EQ(Of(TMomentMath::Skewness, x), kMissing) << where;
            EXPECT_EQ(Of(TMomentMath::Kurtosis, x), kMissing) << where;
        } else {
            // scipy's mean carries the rounding this side corrects: that moves the skewness by
            // up to 3 (mean error / sigma) times sum |d|^3 / (n sigma^3).
            EXPECT_TRUE(Near(Of(TMomentMath::Skewness, x), moments[5], 1e-12, moments[7]))
                << where << " got " << Of(TMomentMath::Skewness, x) << " scipy " << moments[5] << " x0 " << x[0] << " x1 " << x[1];
            EXPECT_TRUE(Near(Of(TMomentMath::Kurtosis, x) + 3, moments[6] + 3, 1e-12)) << where;
        }
        if (std::isnan(weighted[0])) {
            EXPECT_EQ(Of(TMomentMath::WeightedMean, x, w), kMissing);
            continue;
        }
        double weightedMagnitude = 0;
        double total = 0;
        for (size_t i = 0; i < n; ++i) {
            weightedMagnitude += w[i] * std::fabs(x[i]);
            total += w[i];
        }
        EXPECT_TRUE(Near(Of(TMomentMath::WeightedMean, x, w), weighted[0], tolerance, weightedMagnitude / total)) << where;
        EXPECT_TRUE(Near(Of(TMomentMath::WeightedSum, x, w), weighted[1], tolerance, weightedMagnitude)) << where;
        const double weightedSquares = weighted[2];
        EXPECT_TRUE(Near(Of(TMomentMath::WeightedVariance, x, w), weighted[2], tolerance, weightedSquares)) << where;
        EXPECT_TRUE(Near(Of(TMomentMath::WeightedStdDev, x, w), weighted[3], tolerance, std::sqrt(weightedSquares)))
            << where;
    }
}
