#include "stats/TTrendMath.h"

#include "stats/TDistributions.h"
#include "stats/TOrderMath.h"

#include "TCellReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TLineFit Line(const std::vector<double>& t, const std::vector<double>& y, const std::vector<double>& w = {})
{
    TLineFit fit;
    EXPECT_EQ(TTrendMath::FitLine(t.data(), y.data(), w.empty() ? nullptr : w.data(), t.size(), fit), fit.HasLine);
    return fit;
}

// The median of the pairwise slopes by sorting all of them: the selection's other road.
double SortedSen(const std::vector<double>& t, const std::vector<double>& y)
{
    std::vector<double> slopes;
    for (size_t i = 0; i < t.size(); ++i)
        for (size_t j = i + 1; j < t.size(); ++j)
            if (t[j] != t[i]) slopes.push_back((y[j] - y[i]) / (t[j] - t[i]));
    std::sort(slopes.begin(), slopes.end());
    return TOrderMath::Median(slopes.data(), slopes.size());
}

// Every result and flag of two fits, bit for bit.
void ExpectSameFit(const TLineFit& got, const TLineFit& expected, const std::string& where)
{
    EXPECT_EQ(std::vector<double>({got.Slope, got.Offset, got.R2, got.TValue, got.Freedom}),
              std::vector<double>({expected.Slope, expected.Offset, expected.R2, expected.TValue, expected.Freedom}))
        << where;
    EXPECT_EQ(std::vector<bool>({got.HasLine, got.HasR2, got.HasTValue}),
              std::vector<bool>({expected.HasLine, expected.HasR2, expected.HasTValue}))
        << where;
}

// The line through values read where they lie, one band per input with the cell in the middle,
// is the line through the same values side by side, bit for bit.
void ExpectSameInPlace(const std::vector<double>& t, const std::vector<double>& y, const std::vector<double>& w,
                       const std::string& where)
{
    TLineDesign design;
    ASSERT_TRUE(TTrendMath::PrepareLine(t.data(), w.empty() ? nullptr : w.data(), t.size(), design)) << where;
    std::vector<std::vector<double>> bands;
    std::vector<const double*> values;
    for (double value : y) bands.push_back({-1, value, -2});
    for (const std::vector<double>& band : bands) values.push_back(band.data());
    TLineFit together;
    TLineFit inPlace;
    EXPECT_EQ(TTrendMath::FitLine(design, y.data(), together), TTrendMath::FitLine(design, values.data(), 1, inPlace))
        << where;
    ExpectSameFit(inPlace, together, where);
}

}  // namespace

TEST(TrendMath, LineThroughASeriesWithAGap)
{
    // Times 1 2 4 5 (3 missing): deviations -2 -1 1 2, values' deviations -2.25 -1.25 0.75 2.75
    // about 4.25; Stt 10, Sty 12, Syy 14.75; residuals 0.15 -0.05 -0.45 0.35, 0.35 squared.
    const TLineFit fit = Line({1, 2, 4, 5}, {2, 3, 5, 7});
    ASSERT_TRUE(fit.HasLine && fit.HasR2 && fit.HasTValue);
    EXPECT_DOUBLE_EQ(fit.Slope, 1.2);
    EXPECT_DOUBLE_EQ(fit.Offset, 0.65);
    EXPECT_DOUBLE_EQ(fit.R2, 144 / (10 * 14.75));
    EXPECT_DOUBLE_EQ(fit.TValue, 1.2 / std::sqrt(0.35 / 2 / 10));
    EXPECT_EQ(fit.Freedom, 2);
    double p = 0;
    ASSERT_TRUE(TTrendMath::LinePValue(fit, p));
    double expected = 0;
    ASSERT_TRUE(TDistributions::StudentTwoSided(fit.TValue, 2, expected));
    EXPECT_EQ(p, expected);
    // Two degrees of freedom: p = 1 - |t| / sqrt(2 + t^2).
    EXPECT_NEAR(p, 1 - fit.TValue / std::sqrt(2 + fit.TValue * fit.TValue), 1e-15);
}

TEST(TrendMath, LineMissingRulesAtTheirEdges)
{
    EXPECT_FALSE(Line({3}, {1}).HasLine);                    // n = 1
    EXPECT_FALSE(Line({2, 2, 2}, {1, 5, 3}).HasLine);        // constant times
    EXPECT_FALSE(Line({1, 2}, {1, 5}, {0, 0}).HasLine);      // weights sum to 0
    EXPECT_FALSE(Line({1, 2, 3}, {1, 5, 3}, {0, 4, 0}).HasLine);  // one time of positive weight
    const TLineFit two = Line({1, 3}, {2, 6});               // n = 2: a line, no t-value
    EXPECT_TRUE(two.HasLine && two.HasR2 && !two.HasTValue);
    EXPECT_EQ(two.Slope, 2);
    EXPECT_EQ(two.Offset, 0);
    EXPECT_EQ(two.R2, 1);
    const TLineFit flat = Line({1, 2, 3, 9}, {0.7, 0.7, 0.7, 0.7});  // constant values
    EXPECT_TRUE(flat.HasLine && !flat.HasR2 && !flat.HasTValue);
    EXPECT_EQ(flat.Slope, 0);
    EXPECT_EQ(flat.Offset, 0.7);
    // n = 3 with a residual: a t-value of one degree of freedom.
    EXPECT_TRUE(Line({1, 2, 3}, {1, 3, 2}).HasTValue);
    // Perfect lines in doubles: 0.1 t + 0.3 (rounded values), and a steep one at years 2001..2040.
    std::vector<double> t;
    std::vector<double> y;
    std::vector<double> years;
    std::vector<double> steep;
    for (int i = 1; i <= 40; ++i) {
        t.push_back(i);
        y.push_back(0.1 * i + 0.3);
        years.push_back(2000 + i);
        steep.push_back(-3.7e6 + 1234.5678 * (2000 + i));
    }
    for (const auto& pair : {std::make_pair(t, y), std::make_pair(years, steep)}) {
        const TLineFit perfect = Line(pair.first, pair.second);
        EXPECT_TRUE(perfect.HasLine && perfect.HasR2);
        EXPECT_FALSE(perfect.HasTValue) << perfect.TValue;
        EXPECT_NEAR(perfect.R2, 1, 1e-15);
    }
    // One residual of a millionth of the values' scale is data, not rounding.
    y[7] += 1e-6;
    EXPECT_TRUE(Line(t, y).HasTValue);
}

TEST(TrendMath, WeightsFollowTheWlsConvention)
{
    // A zero weight takes its point out of the line but not out of n.
    const TLineFit three = Line({1, 2, 4}, {1, 2, 3});
    const TLineFit weighted = Line({1, 2, 3, 4}, {1, 2, 100, 3}, {1, 1, 0, 1});
    ASSERT_TRUE(weighted.HasTValue);
    EXPECT_DOUBLE_EQ(weighted.Slope, three.Slope);
    EXPECT_DOUBLE_EQ(weighted.Offset, three.Offset);
    EXPECT_DOUBLE_EQ(weighted.R2, three.R2);
    EXPECT_DOUBLE_EQ(weighted.TValue, three.TValue * std::sqrt(2.0));  // s^2 over n - 2 = 2, not 1
    // Weights scaled by one factor change nothing.
    const std::vector<double> t = {1, 2, 3, 5, 8};
    const std::vector<double> y = {2, 1, 4, 3, 7};
    const TLineFit unit = Line(t, y, {1, 2, 0.5, 1, 3});
    const TLineFit large = Line(t, y, {1e300, 2e300, 0.5e300, 1e300, 3e300});
    EXPECT_DOUBLE_EQ(unit.Slope, large.Slope);
    EXPECT_DOUBLE_EQ(unit.TValue, large.TValue);
    // Equal weights are the unweighted line.
    const TLineFit plain = Line(t, y);
    const TLineFit equal = Line(t, y, {3, 3, 3, 3, 3});
    EXPECT_DOUBLE_EQ(plain.Slope, equal.Slope);
    EXPECT_DOUBLE_EQ(plain.R2, equal.R2);
    EXPECT_DOUBLE_EQ(plain.TValue, equal.TValue);
    // Values whose squares overflow: the line scales.
    const TLineFit huge = Line(t, {2e300, 1e300, 4e300, 3e300, 7e300});
    EXPECT_DOUBLE_EQ(huge.Slope, plain.Slope * 1e300);
    EXPECT_DOUBLE_EQ(huge.TValue, plain.TValue);
}

TEST(TrendMath, OnePassAndPassesAboutTheMeanAgreeWithALongDoubleLine)
{
    // Series on either side of where the fit leaves its one pass for the passes about the mean:
    // r2 below and above 3/4, a first value near and far from the mean, a large common offset,
    // magnitudes beyond 2^400 and a spread below 2^-400.
    struct TFamily {
        double Trend;   // per step, against noise of sd 1
        double Offset;  // added to every value
        double First;   // added to the first value
        double Scale;   // every value multiplied by it
    };
    const std::vector<TFamily> families = {
        {0, 0, 0, 1},      {0.05, 0, 0, 1},      {0.2, 0, 0, 1},      {1, 0, 0, 1},
        {100, 0, 0, 1},    {0.05, 0, 6, 1},      {0.05, 1e6, 0, 1},   {0.05, 1e6, 1000, 1},
        {0.1, 0, 0, 1e300}, {0.1, 0, 0, 0x1p500}, {0.1, 1, 0, 0x1p-450},
    };
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1);
    for (size_t f = 0; f < families.size(); ++f) {
        for (int repeat = 0; repeat < 20; ++repeat) {
            const TFamily& family = families[f];
            const size_t n = 12 + static_cast<size_t>(repeat);
            std::vector<double> t(n);
            std::vector<double> y(n);
            for (size_t i = 0; i < n; ++i) {
                t[i] = 1990 + static_cast<double>(i);
                y[i] = (family.Offset + family.Trend * static_cast<double>(i) + noise(random) +
                        (i == 0 ? family.First : 0)) * family.Scale;
            }
            // The line about the means in long double, from values brought to a unit scale.
            long double tm = 0;
            long double ym = 0;
            for (size_t i = 0; i < n; ++i) {
                tm += t[i];
                ym += y[i] / family.Scale;
            }
            tm /= n;
            ym /= n;
            long double stt = 0;
            long double sty = 0;
            long double syy = 0;
            for (size_t i = 0; i < n; ++i) {
                const long double dt = t[i] - tm;
                const long double dy = y[i] / family.Scale - ym;
                stt += dt * dt;
                sty += dt * dy;
                syy += dy * dy;
            }
            const long double slope = sty / stt;
            const long double residual = syy - slope * sty;
            const double tvalue = static_cast<double>(slope / std::sqrt(residual / (n - 2) / stt));
            const TLineFit fit = Line(t, y);
            const std::string where = "family " + std::to_string(f) + " n " + std::to_string(n);
            ExpectSameInPlace(t, y, {}, where);
            std::vector<double> w(n);
            for (size_t i = 0; i < n; ++i) w[i] = i % 3 == 1 ? 0 : 0.5 + static_cast<double>(i % 4);
            ExpectSameInPlace(t, y, w, where + " weighted");
            ASSERT_TRUE(fit.HasLine && fit.HasR2 && fit.HasTValue) << where;
            const double slopeScale = static_cast<double>(std::sqrt(syy / stt)) * family.Scale;
            EXPECT_TRUE(Near(fit.Slope, static_cast<double>(slope) * family.Scale, 1e-14, slopeScale)) << where;
            EXPECT_TRUE(Near(fit.Offset, static_cast<double>(ym - slope * tm) * family.Scale, 1e-14,
                             slopeScale * 2000 + std::fabs(static_cast<double>(ym)) * family.Scale))
                << where;
            EXPECT_TRUE(Near(fit.R2, static_cast<double>(slope * sty / syy), 1e-14, 1)) << where;
            // The residuals of a strong line are a small difference: a fit about the mean loses a
            // rounding times sqrt(syy / residual) in them, one that subtracts sums its square.
            const double amplification = static_cast<double>(std::sqrt(syy / residual));
            EXPECT_TRUE(Near(fit.TValue, tvalue, 1e-14 + 1e-15 * amplification, std::fabs(tvalue) + 1))
                << where << " " << fit.TValue << " " << tvalue;
        }
    }
}

TEST(TrendMath, StretchOfCellsIsEachCellsOwnLine)
{
    // Stretches of cells fitted two at a time give, where they fit a cell, its own line bit for
    // bit; a marker anywhere in a cell marks it; a value that is not finite leaves it aside; and
    // the cells of ordinary values are fitted. Cells of every kind side by side, in stretches of
    // odd and even sizes and runs longer than the kernel's, times uneven and repeated.
    struct TKind {
        double Scale, Trend, Noise;
        bool Ordinary;  // the one pass may fit it (neither constant, nor a near-perfect line, nor extreme)
    };
    const std::vector<TKind> kinds = {{1, 0, 1, true},     {1e3, 0.1, 1, true},  {1, 0, 0, false},
                                      {1, 1e9, 1, false},  {1e300, 0, 1, false}, {1e-300, 0, 1, false},
                                      {1e-5, 0.01, 1, true},  {1e4, 0, 1e-14, false} /* within rounding: exact */,
                                      {1e4, 0, 3e-13, false} /* about the rounding: exact or not */};
    std::mt19937 random(23);
    std::normal_distribution<double> noise(0, 1);
    std::uniform_real_distribution<double> draw(0, 1);
    for (const size_t inputs : {2, 3, 7, 32}) {
        std::vector<double> t(inputs);
        for (size_t k = 0; k < inputs; ++k) t[k] = 1990 + static_cast<double>(k * k % 11) * 0.5;
        if (inputs >= 3) t[inputs - 1] = t[0];  // a repeated time
        TLineDesign design;
        ASSERT_TRUE(TTrendMath::PrepareLine(t.data(), nullptr, inputs, design));
        std::vector<double> markers(inputs, -9999);
        markers[1] = 0.5;
        for (const size_t count : {1, 2, 3, 63, 64, 65, 131}) {
            const size_t start = 5;  // within a band that begins earlier
            std::vector<std::vector<double>> bands(inputs, std::vector<double>(start + count, -1));
            std::vector<size_t> kindOf(start + count);
            std::vector<bool> marked(start + count, false);
            std::vector<bool> finite(start + count, true);
            for (size_t c = start; c < start + count; ++c) {
                kindOf[c] = static_cast<size_t>(draw(random) * static_cast<double>(kinds.size()));
                const TKind& kind = kinds[kindOf[c]];
                for (size_t k = 0; k < inputs; ++k) {
                    double& y = bands[k][c];
                    y = kind.Scale * (100 + kind.Trend * t[k] + kind.Noise * noise(random));
                    const double odd = draw(random);
                    if (odd < 0.01) y = markers[k];
                    else if (odd < 0.015) y = kNaN;
                    else if (odd < 0.02) y = -kInfinity;
                    marked[c] = marked[c] || y == markers[k];
                    finite[c] = finite[c] && std::isfinite(y);
                }
            }
            std::vector<const double*> values;
            for (const std::vector<double>& band : bands) values.push_back(band.data());
            std::vector<TLineFit> fits(count);
            std::vector<TTrendMath::TCellFit> states(count);
            TTrendMath::FitStretch(design, values.data(), markers.data(), start, count, fits.data(), states.data());
            size_t ordinary = 0;
            size_t fitted = 0;
            for (size_t c = start; c < start + count; ++c) {
                const std::string where = std::to_string(inputs) + " inputs, cell " + std::to_string(c) + " of " +
                    std::to_string(count) + ", kind " + std::to_string(kindOf[c]);
                const TTrendMath::TCellFit state = states[c - start];
                if (marked[c]) {
                    EXPECT_EQ(state, TTrendMath::TCellFit::Marked) << where;
                    continue;
                }
                EXPECT_NE(state, TTrendMath::TCellFit::Marked) << where;
                if (!finite[c]) {
                    EXPECT_EQ(state, TTrendMath::TCellFit::Aside) << where;
                    continue;
                }
                ordinary += kinds[kindOf[c]].Ordinary;
                if (state != TTrendMath::TCellFit::Fitted) continue;
                fitted += kinds[kindOf[c]].Ordinary;
                TLineFit own;
                EXPECT_TRUE(TTrendMath::FitLine(design, values.data(), c, own)) << where;
                ExpectSameFit(fits[c - start], own, where);
            }
            // The one pass leaves aside a cell whose first value lies far out (about one in ten).
            if (inputs >= 7) {
                EXPECT_GE(2 * fitted, ordinary) << inputs << " inputs, " << count << " cells";
            }
        }
    }
}

TEST(TrendMath, TheilSenAndMannKendallWithTiesAndRepeatedTimes)
{
    std::vector<double> scratch;
    // Times 1 1 2 3: the first pair has equal times; slopes 1 2 -1 1 3, median 1;
    // medians 2.5 of the values and 1.5 of the times: offset 2.5 - 1.5.
    const std::vector<double> t = {1, 1, 2, 3};
    const std::vector<double> y = {1, 3, 2, 5};
    double slope = 0;
    double offset = 0;
    ASSERT_TRUE(TTrendMath::TheilSen(t.data(), y.data(), 4, scratch, slope, offset));
    EXPECT_EQ(slope, 1);
    EXPECT_EQ(offset, 1);
    EXPECT_FALSE(TTrendMath::TheilSen(t.data(), y.data(), 2, scratch, slope, offset));  // one pair, equal times
    EXPECT_FALSE(TTrendMath::TheilSen(t.data(), y.data(), 1, scratch, slope, offset));
    // Signs: 0 (equal times) +1 +1 -1 +1 +1: S = 3; no ties in y: sigma^2 = 4 3 13 / 18.
    TMannKendall test;
    TTrendMath::MannKendall(t.data(), y.data(), 4, scratch, test);
    EXPECT_EQ(test.S, 3);
    ASSERT_TRUE(test.HasZ);
    EXPECT_DOUBLE_EQ(test.Z, 2 / std::sqrt(156.0 / 18));
    EXPECT_DOUBLE_EQ(test.P, std::erfc(test.Z / std::sqrt(2.0)));
    // Three equal values: S = 3 from the fourth; the group of 3 takes 3 2 11 from 4 3 13.
    const std::vector<double> tied = {1, 1, 1, 2};
    const std::vector<double> times = {1, 2, 3, 4};
    TTrendMath::MannKendall(times.data(), tied.data(), 4, scratch, test);
    EXPECT_EQ(test.S, 3);
    EXPECT_DOUBLE_EQ(test.Z, 2 / std::sqrt(5.0));
    const std::vector<double> downward = {4, 3, 2, 1};
    TTrendMath::MannKendall(times.data(), downward.data(), 4, scratch, test);
    EXPECT_EQ(test.S, -6);
    EXPECT_DOUBLE_EQ(test.Z, -5 / std::sqrt(156.0 / 18));
    // All values equal, or one input: S = 0 and no z.
    TTrendMath::MannKendall(times.data(), std::vector<double>(4, 2.5).data(), 4, scratch, test);
    EXPECT_EQ(test.S, 0);
    EXPECT_FALSE(test.HasZ);
    TTrendMath::MannKendall(times.data(), tied.data(), 1, scratch, test);
    EXPECT_FALSE(test.HasZ);
}

TEST(TrendMath, TheilSenSelectsWhatASortGives)
{
    // Sizes through the small-sort and partition roads, with many equal slopes and equal times.
    std::mt19937 random(41);
    std::vector<double> scratch;
    for (size_t n = 2; n <= 120; n += (n < 20 ? 1 : 7)) {
        for (int kind = 0; kind < 4; ++kind) {
            const std::vector<double> t = RandomTimes(random, n, kind);
            const std::vector<double> y = RandomValues(random, n, kind == 3 ? 1 : kind);
            double slope = 0;
            double offset = 0;
            const bool any = TTrendMath::TheilSen(t.data(), y.data(), n, scratch, slope, offset);
            if (!any) {
                EXPECT_TRUE(std::all_of(t.begin(), t.end(), [&](double v) { return v == t[0]; }));
                continue;
            }
            EXPECT_EQ(slope, SortedSen(t, y)) << "n " << n << " kind " << kind;
        }
    }
}

TEST(TrendMath, AgreesWithScipyAndNumpy)
{
    if (!TCellReference::Available()) GTEST_SKIP() << "python3 with numpy and scipy is missing";
    std::mt19937 random(43);
    struct TCell {
        std::vector<double> T;
        std::vector<double> Y;
        std::vector<double> W;
    };
    std::vector<TCell> cells;
    TCellReference reference;
    for (size_t n : CellSizes()) {
        for (int times = 0; times < 4; ++times) {
            for (int values = 0; values < 3; ++values) {
                for (int weighted = 0; weighted < 2; ++weighted) {
                    TCell cell = {RandomTimes(random, n, times), RandomValues(random, n, values), {}};
                    // A trend under the noise, so t-values are not all small.
                    for (size_t i = 0; i < n; ++i) cell.Y[i] += 0.01 * (values == 2 ? 1e-3 : 1) * cell.T[i];
                    if (weighted) cell.W = RandomWeights(random, n);
                    reference.Add("line", weighted ? std::vector<std::vector<double>>{cell.T, cell.Y, cell.W}
                                                   : std::vector<std::vector<double>>{cell.T, cell.Y});
                    reference.Add("sen", {cell.T, cell.Y});
                    reference.Add("mannkendall", {cell.T, cell.Y});
                    cells.push_back(cell);
                }
            }
        }
    }
    const std::vector<std::vector<double>> rows = reference.Run();
    ASSERT_EQ(rows.size(), 3 * cells.size());
    std::vector<double> scratch;
    for (size_t c = 0; c < cells.size(); ++c) {
        const TCell& cell = cells[c];
        const size_t n = cell.T.size();
        const std::vector<double>& line = rows[3 * c];
        const std::vector<double>& sen = rows[3 * c + 1];
        const std::vector<double>& mk = rows[3 * c + 2];
        ASSERT_EQ(line.size(), 5u);
        const std::string where = "cell " + std::to_string(c) + " n " + std::to_string(n);
        const TLineFit fit = Line(cell.T, cell.Y, cell.W);
        EXPECT_EQ(fit.HasLine, !std::isnan(line[0])) << where;
        if (fit.HasLine) {
            // The slope's scale is sd(y) / sd(t); the offset's adds what the slope carries to t = 0.
            double tm = 0;
            double ym = 0;
            for (size_t i = 0; i < n; ++i) {
                tm += cell.T[i] / n;
                ym += cell.Y[i] / n;
            }
            double stt = 0;
            double syy = 0;
            for (size_t i = 0; i < n; ++i) {
                stt += (cell.T[i] - tm) * (cell.T[i] - tm);
                syy += (cell.Y[i] - ym) * (cell.Y[i] - ym);
            }
            const double slopeScale = std::sqrt(syy / stt) + std::fabs(line[0]);
            EXPECT_TRUE(Near(fit.Slope, line[0], 1e-13, slopeScale)) << where << " " << fit.Slope << " " << line[0];
            EXPECT_TRUE(Near(fit.Offset, line[1], 1e-13, std::fabs(ym) + slopeScale * (std::fabs(tm) + 1)))
                << where << " " << fit.Offset << " " << line[1];
        }
        EXPECT_EQ(fit.HasR2, !std::isnan(line[2])) << where;
        if (fit.HasR2) {
            EXPECT_TRUE(Near(fit.R2, line[2], 1e-13, line[2] + 1e-3)) << where << " " << fit.R2 << " " << line[2];
        }
        // A perfect line gives numpy a t-value of rounding noise (1e13 or an infinity), this side none.
        const bool noise = std::fabs(line[3]) > 1e12;
        EXPECT_EQ(fit.HasTValue, !std::isnan(line[3]) && !noise) << where << " numpy's t " << line[3];
        if (fit.HasTValue) {
            EXPECT_TRUE(Near(fit.TValue, line[3], 1e-12, std::fabs(line[3]) + 1e-3)) << where << " " << fit.TValue << " " << line[3];
            double p = 0;
            ASSERT_TRUE(TTrendMath::LinePValue(fit, p));
            // The t-value's own rounding moves p by |d log p / dt| ~ |t| times it.
            EXPECT_TRUE(Near(p, line[4], 1e-12 * (1 + line[3] * line[3]))) << where << " " << p << " " << line[4];
        }
        double slope = 0;
        double offset = 0;
        const bool any = TTrendMath::TheilSen(cell.T.data(), cell.Y.data(), n, scratch, slope, offset);
        EXPECT_EQ(any, !std::isnan(sen[0])) << where;
        if (any) {
            EXPECT_EQ(slope, sen[0]) << where;
            EXPECT_EQ(offset, sen[1]) << where;
        }
        TMannKendall test;
        TTrendMath::MannKendall(cell.T.data(), cell.Y.data(), n, scratch, test);
        EXPECT_EQ(test.S, mk[0]) << where;
        EXPECT_EQ(test.HasZ, !std::isnan(mk[1])) << where;
        if (test.HasZ) {
            EXPECT_TRUE(Near(test.Z, mk[1], 1e-14)) << where;
            EXPECT_TRUE(Near(test.P, mk[2], 1e-12)) << where << " " << test.P << " " << mk[2];
        }
    }
}
