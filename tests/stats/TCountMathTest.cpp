#include "stats/TCountMath.h"

#include "TCellReference.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

TEST(CountMath, HandWorkedCells)
{
    const std::vector<double> cell = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3};
    struct TCase {
        TComparison Comparison;
        double Threshold;
        size_t Expected;
    };
    const std::vector<TCase> cases = {
        {TComparison::Above, 3, 5},  {TComparison::AtLeast, 3, 7}, {TComparison::Below, 3, 3},
        {TComparison::AtMost, 3, 5}, {TComparison::Equal, 3, 2},   {TComparison::Equal, 7, 0},
        {TComparison::Above, 9, 0},  {TComparison::AtMost, 9, 10},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(TCountMath::Count(cell.data(), cell.size(), test.Comparison, test.Threshold), test.Expected)
            << static_cast<int>(test.Comparison) << " " << test.Threshold;
    // Ties go to the first input: 1 stands at inputs 2 and 4, 9 at input 6.
    EXPECT_EQ(TCountMath::ArgMin(cell.data(), nullptr, cell.size()), 2u);
    EXPECT_EQ(TCountMath::ArgMax(cell.data(), nullptr, cell.size()), 6u);
    // Inputs 2, 5 and 7 hold data at this cell (the others are skipped).
    const std::vector<double> held = {8, 8, 1};
    const std::vector<size_t> inputs = {2, 5, 7};
    EXPECT_EQ(TCountMath::ArgMax(held.data(), inputs.data(), 3), 2u);
    EXPECT_EQ(TCountMath::ArgMin(held.data(), inputs.data(), 3), 7u);
    EXPECT_EQ(TCountMath::ArgMin(held.data(), inputs.data(), 1), 2u);
    // NaN (a value where NaN holds data) is never counted, nor least nor greatest.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> withNaN = {nan, 4, nan, 2};
    EXPECT_EQ(TCountMath::ArgMin(withNaN.data(), nullptr, 4), 4u);
    EXPECT_EQ(TCountMath::ArgMax(withNaN.data(), nullptr, 4), 2u);
    EXPECT_EQ(TCountMath::Count(withNaN.data(), 4, TComparison::AtMost, 10), 2u);
}

TEST(CountMath, AgreesWithNumpy)
{
    if (!TCellReference::Available()) GTEST_SKIP() << "python3 with numpy and scipy is missing";
    std::mt19937 random(31);
    TCellReference reference;
    std::vector<std::pair<std::vector<double>, double>> cells;
    for (size_t n : CellSizes()) {
        for (int kind = 0; kind < 4; ++kind) {
            const std::vector<double> x = RandomValues(random, n, kind);
            // A threshold that is one of the values, so that = counts something.
            cells.push_back({x, x[n / 2]});
            reference.Add("counts", {x, {x[n / 2]}});
        }
    }
    const std::vector<std::vector<double>> rows = reference.Run();
    ASSERT_EQ(rows.size(), cells.size());
    const TComparison comparisons[] = {TComparison::Above, TComparison::AtLeast, TComparison::Below,
                                       TComparison::AtMost, TComparison::Equal};
    for (size_t c = 0; c < cells.size(); ++c) {
        const std::vector<double>& x = cells[c].first;
        ASSERT_EQ(rows[c].size(), 7u);
        for (size_t k = 0; k < 5; ++k)
            EXPECT_EQ(static_cast<double>(TCountMath::Count(x.data(), x.size(), comparisons[k], cells[c].second)),
                      rows[c][k])
                << "cell " << c << " comparison " << k;
        EXPECT_EQ(static_cast<double>(TCountMath::ArgMin(x.data(), nullptr, x.size())), rows[c][5]) << c;
        EXPECT_EQ(static_cast<double>(TCountMath::ArgMax(x.data(), nullptr, x.size())), rows[c][6]) << c;
    }
}
