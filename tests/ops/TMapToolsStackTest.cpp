#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"

#include "TestSupport.h"
#include "ops/TwoMapCases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>

namespace {

using TMapPtr = std::unique_ptr<TMap>;

TMapPtr Cell(double value, double noData = -9999) { return MakeMap({{value}}, 0, 0, 1, noData); }

double Only(TMap* map) { return map->GetPointVal(0, 0); }

const char* const kTooFew = "Must have more than 2 maps to sum in TMapTools::Sum";

}  // namespace

TEST(Sum, AddsInListOrderWhereEveryMapHoldsData)
{
    auto a = MakeMap({{1, 2}, {3, -9999}});
    auto b = MakeMap({{10, -9999}, {30, 40}});
    auto c = MakeMap({{100, 200}, {300, 400}});
    TMapPtr sum(TMapTools::Sum({a.get(), b.get(), c.get()}));
    EXPECT_EQ(CellsOf(sum.get()), (TRows{{111, -9999}, {333, -9999}}));
    EXPECT_EQ(sum->GetNoDataValue(), -9999);
}

TEST(Sum, MissingDataIsNoDataWhateverTheInputsMarker)
{
    // Inputs whose no-data value is -1 or 0: a missing cell must not come out as data.
    auto a = Cell(-1, -1);
    auto b = Cell(5, -1);
    TMapPtr sum(TMapTools::Sum({a.get(), b.get()}));
    EXPECT_EQ(Only(sum.get()), -9999);
    auto zero = Cell(0, 0);
    TMapPtr second(TMapTools::Sum({b.get(), zero.get()}));
    EXPECT_EQ(Only(second.get()), -9999);
    // -9999 is data in a map whose marker is -1.
    auto data = Cell(-9999, -1);
    TMapPtr third(TMapTools::Sum({data.get(), b.get()}));
    EXPECT_EQ(Only(third.get()), -9994);
}

TEST(Sum, MessagesInOrder)
{
    auto a = MakeMap({{1, 2, 3}});
    auto wide = MakeMap({{1, 2, 3, 4}});
    auto tall = MakeMap({{1, 2, 3}, {4, 5, 6}});
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Sum({a.get()}); }), kTooFew);
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Sum({}); }), kTooFew);
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Sum({a.get(), tall.get(), wide.get()}); }),
              "Y-dimension of maps are inconsistent in TMapTools::Sum");
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Sum({a.get(), wide.get(), tall.get()}); }),
              "X-dimension of maps are inconsistent in TMapTools::Sum");
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::DataCounts({a.get(), wide.get()}); }),
              "X-dimension of maps are inconsistent in TMapTools::DataCounts");
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::DataCounts({a.get(), tall.get()}); }),
              "Y-dimension of maps are inconsistent in TMapTools::DataCounts");
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::DataCounts({}); }), "No maps to count in TMapTools::DataCounts");
}

TEST(DataCounts, CountsMapsHoldingDataByTheirOwnMarker)
{
    auto a = MakeMap({{1, -9999, -9999}});
    auto b = MakeMap({{-1, 7, -9999}}, 0, 0, 1, -1);
    TMapPtr counts(TMapTools::DataCounts({a.get(), b.get()}));
    EXPECT_EQ(CellsOf(counts.get()), (TRows{{1, 1, 1}}));
    TMapPtr single(TMapTools::DataCounts({a.get()}));
    EXPECT_EQ(CellsOf(single.get()), (TRows{{1, 0, 0}}));
}

TEST(Divide, LooksUpTheDivisorAtEachCentre)
{
    auto fine = MakeMap({{2, 4, 6, 8}, {10, 12, -9999, 16}}, 0, 0, 1);
    auto coarse = MakeMap({{2, -5}}, 0, 0, 2, -5);
    TMapPtr quotient(TMapTools::Divide(fine.get(), coarse.get()));
    EXPECT_EQ(CellsOf(quotient.get()), (TRows{{1, 2, -9999, -9999}, {5, 6, -9999, -9999}}));
    EXPECT_EQ(quotient->GetResolution(), 1);

    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Divide(coarse.get(), fine.get()); }),
              "Divisor must be of equal of coarser resolution than the dividend in TMapTools::Divide");
    auto small = MakeMap({{1}}, 0, 0, 2);
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Divide(fine.get(), small.get()); }),
              "Ordinate is out of range in TAxis::GetIndex");

    auto zeros = MakeMap({{0, 0}}, 0, 0, 1);
    auto signs = MakeMap({{3, 0}}, 0, 0, 1);
    TMapPtr infinite(TMapTools::Divide(signs.get(), zeros.get()));
    EXPECT_TRUE(std::isinf(infinite->GetPointVal(0, 0)));
    EXPECT_TRUE(std::isnan(infinite->GetPointVal(1, 0)));

    // The result keeps the dividend's no-data value.
    auto marked = MakeMap({{-1, 4}}, 0, 0, 1, -1);
    auto twos = MakeMap({{2, 2}}, 0, 0, 1);
    TMapPtr halves(TMapTools::Divide(marked.get(), twos.get()));
    EXPECT_EQ(CellsOf(halves.get()), (TRows{{-1, 2}}));
    EXPECT_EQ(halves->GetNoDataValue(), -1);
}

TEST(Divide, EveryPairingGivesWhatTheCoordinateLookupGivesCellByCell)
{
    using namespace TwoMapCases;
    std::mt19937 random(7);
    for (TPartner partner : kPartners) {
        for (int trial = 0; trial < 30; ++trial) {
            TPair pair = RandomPair(random, partner);
            for (bool swapped : {false, true}) {
                TMap* dividend = swapped ? pair.Other.get() : pair.Base.get();
                TMap* divisor = swapped ? pair.Base.get() : pair.Other.get();
                const double dividendNoData = dividend->GetNoDataValue();
                const double divisorNoData = divisor->GetNoDataValue();
                TReference reference = CellByCell(dividend, divisor, [&](double n, double d) {
                    return n == dividendNoData || d == divisorNoData ? dividendNoData : n / d;
                });
                if (dividend->GetResolution() > divisor->GetResolution())
                    reference.Message =
                        "Divisor must be of equal of coarser resolution than the dividend in TMapTools::Divide";
                TMapPtr quotient;
                const std::string message =
                    ThrownMessage([&] { quotient.reset(TMapTools::Divide(dividend, divisor)); });
                ASSERT_EQ(message, reference.Message) << static_cast<int>(partner) << " " << swapped;
                if (quotient) {
                    EXPECT_TRUE(SameCells(CellsOf(quotient.get()), reference.Cells));
                }
            }
        }
    }
}

TEST(Average, MeanWhereEveryMapHoldsData)
{
    auto a = Cell(1);
    auto b = Cell(2);
    auto c = Cell(6);
    TMapPtr mean(TMapTools::Average({a.get(), b.get(), c.get()}));
    EXPECT_EQ(Only(mean.get()), 3);
    auto gap = Cell(-9999);
    TMapPtr missing(TMapTools::Average({a.get(), gap.get(), c.get()}));
    EXPECT_EQ(Only(missing.get()), -9999);
    EXPECT_EQ(ThrownMessage([&] { delete TMapTools::Average({a.get()}); }), kTooFew);
}

TEST(Average, ASumThatEqualsTheMarkerIsStillData)
{
    auto a = Cell(-5000);
    auto b = Cell(-4999);
    TMapPtr mean(TMapTools::Average({a.get(), b.get()}));
    EXPECT_EQ(Only(mean.get()), -4999.5);
}

TEST(Average, InputsWithOtherMarkersGiveNoDataNotAFraction)
{
    auto a = Cell(-1, -1);
    auto b = Cell(5, -1);
    auto c = Cell(7, -1);
    TMapPtr two(TMapTools::Average({a.get(), b.get()}));
    EXPECT_EQ(Only(two.get()), -9999);
    TMapPtr three(TMapTools::Average({a.get(), b.get(), c.get()}));
    EXPECT_EQ(Only(three.get()), -9999);
    EXPECT_EQ(three->GetNoDataValue(), -9999);
    auto zeroMarked = Cell(0, 0);
    TMapPtr zero(TMapTools::Average({b.get(), zeroMarked.get()}));
    EXPECT_EQ(Only(zero.get()), -9999);
}

TEST(Average, TakesTheFirstMapsGeometry)
{
    auto first = MakeMap({{1, 2}, {3, 4}}, 100, 200, 10);
    auto elsewhere = MakeMap({{3, 4}, {5, 6}}, 0, 0, 5);
    TMapPtr mean(TMapTools::Average({first.get(), elsewhere.get()}));
    EXPECT_EQ(CellsOf(mean.get()), (TRows{{2, 3}, {4, 5}}));
    EXPECT_EQ(mean->GetResolution(), 10);
    EXPECT_EQ(mean->GetXAxisInterval()->GetOrdinate(0, 'X'), 100);
    EXPECT_EQ(mean->GetYAxisInterval()->GetOrdinate(2, 'Y'), 200);
    EXPECT_EQ(mean->GetYAxis()->GetOrdinate(0, 'Y'), 215);
}

TEST(MovingAverage, OneMeanPerWindow)
{
    std::vector<TMapPtr> owned;
    std::vector<TMap*> maps;
    for (double v : {1, 2, 3, 4, 10}) {
        owned.push_back(Cell(v));
        maps.push_back(owned.back().get());
    }
    std::vector<TMap*> means = TMapTools::MovingAverage(maps, 3);
    ASSERT_EQ(means.size(), 3u);
    EXPECT_EQ(Only(means[0]), 2);
    EXPECT_EQ(Only(means[1]), 3);
    EXPECT_EQ(Only(means[2]), 17.0 / 3);
    for (TMap* mean : means) delete mean;
    EXPECT_TRUE(TMapTools::MovingAverage(maps, 6).empty());
    EXPECT_EQ(ThrownMessage([&] { TMapTools::MovingAverage(maps, 1); }), kTooFew);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::MovingAverage(maps, 0); }), kTooFew);

    // A failure in a later window releases the windows already made (checked under the leak checker).
    auto odd = MakeMap({{1, 2}});
    maps.push_back(odd.get());
    EXPECT_EQ(ThrownMessage([&] { TMapTools::MovingAverage(maps, 2); }),
              "X-dimension of maps are inconsistent in TMapTools::Sum");
}
