#include "stats/TOrderMath.h"

#include "stats/TStackStatistic.h"

#include "TCellReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

constexpr double kBig = 1.7e308;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<double> Sorted(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

// Today's cell rule over one cell of these values: median or percentile.
double StackRule(const std::string& name, const std::vector<double>& x)
{
    TStackRule rule;
    EXPECT_TRUE(TStackStatistic::ParseName(name, rule));
    return StackRuleOf(rule, x, -123456);
}

}  // namespace

TEST(OrderMath, HandWorkedCells)
{
    const std::vector<double> cell = Sorted({6, 1, 3, 2});
    EXPECT_EQ(TOrderMath::Median(cell.data(), 4), 2.5);
    EXPECT_EQ(TOrderMath::Median(cell.data(), 3), 2);
    EXPECT_EQ(TOrderMath::Median(cell.data(), 1), 1);
    struct TCase {
        double Percent;
        double Expected;
    };
    // Positions 3 p / 100 over 1 2 3 6.
    for (const TCase& test : std::vector<TCase>{{0, 1}, {25, 1.75}, {50, 2.5}, {90, 5.1}, {100, 6}, {99.99, 5.9991}})
        EXPECT_DOUBLE_EQ(TOrderMath::Percentile(cell.data(), 4, test.Percent), test.Expected) << test.Percent;
    EXPECT_EQ(TOrderMath::Percentile(cell.data(), 1, 30), 1);

    // Ties: 2 twice, 5 twice, 7 three times, 9 once; the tie between 2 and 5 goes to 2.
    const std::vector<double> ties = Sorted({5, 7, 2, 9, 7, 2, 7, 5});
    EXPECT_EQ(TOrderMath::Mode(ties.data(), ties.size()), 7);
    EXPECT_EQ(TOrderMath::Minority(ties.data(), ties.size()), 9);
    EXPECT_EQ(TOrderMath::Variety(ties.data(), ties.size()), 4u);
    const std::vector<double> pairs = Sorted({4, 3, 4, 3});
    EXPECT_EQ(TOrderMath::Mode(pairs.data(), 4), 3);
    EXPECT_EQ(TOrderMath::Minority(pairs.data(), 4), 3);
    EXPECT_EQ(TOrderMath::Mode(pairs.data(), 1), 3);
    EXPECT_EQ(TOrderMath::Variety(pairs.data(), 1), 1u);
}

TEST(OrderMath, StaysFiniteWhereTheDifferenceOverflows)
{
    const std::vector<double> wide = {-kBig, kBig};
    EXPECT_EQ(TOrderMath::Median(wide.data(), 2), 0);
    EXPECT_EQ(TOrderMath::Percentile(wide.data(), 2, 50), 0);
    EXPECT_DOUBLE_EQ(TOrderMath::Percentile(wide.data(), 2, 25), -kBig / 2);
    EXPECT_DOUBLE_EQ(TOrderMath::Percentile(wide.data(), 2, 75), kBig / 2);
    EXPECT_DOUBLE_EQ(TOrderMath::Percentile(wide.data(), 2, 10), -0.8 * kBig);
    EXPECT_EQ(TOrderMath::MeanOfTwo(kBig, kBig), kBig);
    std::vector<double> unsorted = {kBig, -kBig, kBig};
    EXPECT_DOUBLE_EQ(TOrderMath::PercentileOfUnsorted(unsorted.data(), 3, 25), 0);
}

TEST(OrderMath, SortedAndUnsortedFormsAreTodaysCellRule)
{
    std::mt19937 random(23);
    for (size_t n : CellSizes()) {
        for (int kind = 0; kind < 4; ++kind) {
            const std::vector<double> x = RandomValues(random, n, kind);
            const std::vector<double> sorted = Sorted(x);
            std::vector<double> copy = x;
            EXPECT_TRUE(SameBits(TOrderMath::Median(sorted.data(), n), StackRule("median", x))) << n << " " << kind;
            EXPECT_TRUE(SameBits(TOrderMath::MedianOfUnsorted(copy.data(), n), StackRule("median", x)));
            for (const std::string percent : {"0", "2.5", "33.3", "50", "90", "99.9", "100"}) {
                copy = x;
                const double expected = StackRule("p" + percent, x);
                EXPECT_TRUE(SameBits(TOrderMath::Percentile(sorted.data(), n, std::stod(percent)), expected)) << percent;
                EXPECT_TRUE(SameBits(TOrderMath::PercentileOfUnsorted(copy.data(), n, std::stod(percent)), expected));
            }
        }
    }
}

TEST(OrderMath, AgreesWithNumpyAndScipyExactly)
{
    if (!TCellReference::Available()) GTEST_SKIP() << "python3 with numpy and scipy is missing";
    std::mt19937 random(29);
    std::uniform_real_distribution<double> percent(0, 100);
    TCellReference reference;
    std::vector<std::pair<std::vector<double>, double>> cells;
    for (size_t n : CellSizes()) {
        for (int kind = 0; kind < 4; ++kind) {
            for (int repeat = 0; repeat < 4; ++repeat) {
                cells.push_back({RandomValues(random, n, kind), repeat == 0 ? 50.0 : percent(random)});
                reference.Add("order", {cells.back().first, {cells.back().second}});
            }
        }
    }
    const std::vector<std::vector<double>> rows = reference.Run();
    ASSERT_EQ(rows.size(), cells.size());
    for (size_t c = 0; c < cells.size(); ++c) {
        const std::vector<double> sorted = Sorted(cells[c].first);
        const size_t n = sorted.size();
        ASSERT_EQ(rows[c].size(), 5u);
        const std::string where = "n " + std::to_string(n) + " cell " + std::to_string(c);
        EXPECT_EQ(TOrderMath::Median(sorted.data(), n), rows[c][0]) << where;
        EXPECT_EQ(TOrderMath::Percentile(sorted.data(), n, cells[c].second), rows[c][1]) << where << " p " << cells[c].second;
        EXPECT_EQ(TOrderMath::Mode(sorted.data(), n), rows[c][2]) << where;
        EXPECT_EQ(TOrderMath::Minority(sorted.data(), n), rows[c][3]) << where;
        EXPECT_EQ(static_cast<double>(TOrderMath::Variety(sorted.data(), n)), rows[c][4]) << where;
    }
}

TEST(OrderMath, SortAgreesWithStdSortOnEitherSideOfTheInsertionLimit)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-50, 50);  // many ties
    for (size_t n : {0, 1, 2, 3, 47, 48, 49, 200}) {
        std::vector<double> values(n);
        for (double& v : values) v = value(random) / 4.0;
        std::vector<double> expected = values;
        std::sort(expected.begin(), expected.end());
        TOrderMath::Sort(values.data(), n);
        EXPECT_EQ(values, expected) << n;
    }
}
