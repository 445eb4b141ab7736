#include "ops/TMapTools.h"

#include "TestSupport.h"
#include "ops/TwoMapCases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

using TOwned = std::unique_ptr<TMap>;

double FirstXEdge(TMap* map) { return map->GetXAxisInterval()->GetOrdinate(0, 'X'); }
double FirstYEdge(TMap* map) { return map->GetYAxisInterval()->GetOrdinate(0, 'Y'); }

// Unit cells over x 0..4 and y 4..0 (centres 0.5 .. 3.5), but a map resolution that is NaN.
TOwned UnitGridWithNaNResolution(const TRows& rows, double noData)
{
    auto map = std::make_unique<TMap>(kNaN, 4, 4);
    map->SetNoDataValue(noData);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x) map->SetPoint(x, y, rows[y][x]);
    TAxis xs(1);
    TAxis ys(1);
    for (int k = 0; k < 4; ++k) {
        xs.AddPoint(new TPoint(0.5 + k, 3.5));
        ys.AddPoint(new TPoint(0.5, 3.5 - k));
    }
    map->SetXAxis(&xs);
    map->SetYAxis(&ys);
    return map;
}

}  // namespace

// ---- Two maps on the finer one -------------------------------------------------------------------

TEST(CellwiseTwoMaps, EqualResolutionsMakeTheFirstMapTheBase)
{
    auto small = MakeMap({{1, 2}, {3, 4}}, 1, 1, 1, -1);  // x 1..3, y 1..3
    auto large = MakeMap({{10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120}, {130, 140, 150, 160}});

    TOwned sum(TMapTools::Add(small.get(), large.get()));
    EXPECT_EQ(CellsOf(sum.get()), (TRows{{61, 72}, {103, 114}}));
    EXPECT_EQ(sum->GetNoDataValue(), -1);
    EXPECT_EQ(FirstXEdge(sum.get()), 1);
    EXPECT_EQ(FirstYEdge(sum.get()), 3);

    TOwned product(TMapTools::Multiply(small.get(), large.get()));
    EXPECT_EQ(CellsOf(product.get()), (TRows{{60, 140}, {300, 440}}));
    EXPECT_EQ(product->GetNoDataValue(), -1);

    // Swapped, the larger map is the base and its outer centres lie outside the smaller one.
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Add(large.get(), small.get())); }),
              "Ordinate is out of range in TAxis::GetIndex");
}

TEST(CellwiseTwoMaps, FinerMapIsTheBaseInEitherOrderAndCoarseCellsServeFourCells)
{
    auto fine = MakeMap({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}, 0, 0, 1, -5);
    auto coarse = MakeMap({{100, 200}, {300, 400}}, 0, 0, 2);
    const TRows sums{{101, 102, 203, 204}, {105, 106, 207, 208}, {309, 310, 411, 412}, {313, 314, 415, 416}};
    const TRows products{{100, 200, 600, 800}, {500, 600, 1400, 1600}, {2700, 3000, 4400, 4800}, {3900, 4200, 6000, 6400}};

    for (auto [first, second] : {std::pair{fine.get(), coarse.get()}, std::pair{coarse.get(), fine.get()}}) {
        TOwned sum(TMapTools::Add(first, second));
        EXPECT_EQ(CellsOf(sum.get()), sums);
        EXPECT_EQ(sum->GetNoDataValue(), -5);
        EXPECT_EQ(sum->GetResolution(), 1);
        TOwned product(TMapTools::Multiply(first, second));
        EXPECT_EQ(CellsOf(product.get()), products);
    }
}

TEST(CellwiseTwoMaps, NaNResolutionMakesTheSecondMapTheBase)
{
    auto coarse = MakeMap({{100, 200}, {300, 400}}, 0, 0, 2);
    auto unresolved = UnitGridWithNaNResolution({{0, 1, 2, 3}, {10, 11, 12, 13}, {20, 21, 22, 23}, {30, 31, 32, 33}}, -7);

    // Second NaN: the 4 x 4 map is the base although the comparison alone would keep the first.
    TOwned onUnresolved(TMapTools::Add(coarse.get(), unresolved.get()));
    ASSERT_EQ(onUnresolved->GetYDim(), 4);
    EXPECT_EQ(onUnresolved->GetNoDataValue(), -7);
    EXPECT_EQ(CellsOf(onUnresolved.get())[3], (std::vector<double>{330, 331, 432, 433}));

    // First NaN: the coarse second map is the base; its centres fall on inner edges of the first.
    TOwned onCoarse(TMapTools::Add(unresolved.get(), coarse.get()));
    EXPECT_EQ(CellsOf(onCoarse.get()), (TRows{{101, 203}, {321, 423}}));
    EXPECT_EQ(onCoarse->GetNoDataValue(), -9999);
}

TEST(CellwiseTwoMaps, NoDataInEitherMapGivesTheBaseNoData)
{
    // -9999 is data in the base, whose own marker is -1.
    auto base = MakeMap({{1, -1}, {3, -9999}}, 0, 0, 1, -1);
    auto other = MakeMap({{10, 20}, {-9999, 40}});
    TOwned sum(TMapTools::Add(base.get(), other.get()));
    EXPECT_EQ(CellsOf(sum.get()), (TRows{{11, -1}, {-1, -9959}}));
    TOwned product(TMapTools::Multiply(base.get(), other.get()));
    EXPECT_EQ(CellsOf(product.get()), (TRows{{10, -1}, {-1, -399960}}));
}

TEST(CellwiseTwoMaps, BaseCentreOutsideTheOtherMapFailsEvenOnNoData)
{
    auto base = MakeMap({{5, -9999}});  // x 0..2
    auto other = MakeMap({{1}});        // x 0..1
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Add(base.get(), other.get())); }),
              "Ordinate is out of range in TAxis::GetIndex");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Multiply(base.get(), other.get())); }),
              "Ordinate is out of range in TAxis::GetIndex");
}

TEST(CellwiseTwoMaps, EveryPairingGivesWhatTheCoordinateLookupGivesCellByCell)
{
    using namespace TwoMapCases;
    // Maps whose cells pair with their namesakes take the rows side by side, the others the lookup
    // per centre; both must give the lookup's cells and messages, no-data and NaN cells included.
    std::mt19937 random(2024);
    for (TPartner partner : kPartners) {
        for (int trial = 0; trial < 30; ++trial) {
            TPair pair = RandomPair(random, partner);
            for (bool swapped : {false, true}) {
                TMap* first = swapped ? pair.Other.get() : pair.Base.get();
                TMap* second = swapped ? pair.Base.get() : pair.Other.get();
                const bool secondIsBase = second->GetResolution() < first->GetResolution();
                TMap* base = secondIsBase ? second : first;
                TMap* other = secondIsBase ? first : second;
                const double baseNoData = base->GetNoDataValue();
                const double otherNoData = other->GetNoDataValue();
                for (bool add : {true, false}) {
                    const TReference reference = CellByCell(base, other, [&](double b, double o) {
                        if (b == baseNoData || o == otherNoData) return baseNoData;
                        return add ? b + o : b * o;
                    });
                    TOwned result;
                    const std::string message = ThrownMessage([&] {
                        result.reset(add ? TMapTools::Add(first, second) : TMapTools::Multiply(first, second));
                    });
                    ASSERT_EQ(message, reference.Message) << static_cast<int>(partner) << " " << swapped;
                    if (!result) continue;
                    EXPECT_TRUE(SameCells(CellsOf(result.get()), reference.Cells)) << static_cast<int>(partner);
                    const double resultNoData = result->GetNoDataValue();
                    EXPECT_EQ(std::memcmp(&baseNoData, &resultNoData, sizeof(double)), 0);
                    EXPECT_EQ(result->GetXAxis()->GetOrdinate(0, 'X'), base->GetXAxis()->GetOrdinate(0, 'X'));
                }
            }
        }
    }
}

TEST(CellwiseTwoMaps, RowsPairedByIndexGiveTheLookupsCellsWhateverTheirLength)
{
    using namespace TwoMapCases;
    // Rows of up to 40 cells on maps whose cells pair with their namesakes: such rows are made
    // several cells at a time and the rest one by one, and every split between the two must give
    // what the lookup gives cell by cell.
    using TOperation = TMap* (*)(TMap*, TMap*);
    using TRule = double (*)(double, double);
    const struct {
        TOperation Operation;
        TRule Rule;
    } operations[] = {
        {TMapTools::Add, [](double b, double o) { return b + o; }},
        {static_cast<TOperation>(TMapTools::Multiply), [](double b, double o) { return b * o; }},
        {static_cast<TOperation>(TMapTools::Divide), [](double b, double o) { return b / o; }},
    };
    std::mt19937 random(7);
    for (TPartner partner : {TPartner::SameAxes, TPartner::LargerEastAndSouth, TPartner::ShiftedInsideTheCell}) {
        for (int trial = 0; trial < 40; ++trial) {
            const TPair pair = RandomPair(random, partner, 40);
            TMap* base = pair.Base.get();
            TMap* other = pair.Other.get();
            const double baseNoData = base->GetNoDataValue();
            const double otherNoData = other->GetNoDataValue();
            for (const auto& operation : operations) {
                const TReference reference = CellByCell(base, other, [&](double b, double o) {
                    return b == baseNoData || o == otherNoData ? baseNoData : operation.Rule(b, o);
                });
                TOwned result;
                const std::string message = ThrownMessage([&] { result.reset(operation.Operation(base, other)); });
                ASSERT_EQ(message, reference.Message) << static_cast<int>(partner) << " trial " << trial;
                if (!result) continue;  // an ascending pair: no centre lies in its namesake
                EXPECT_TRUE(SameCells(CellsOf(result.get()), reference.Cells))
                    << static_cast<int>(partner) << " trial " << trial << " width " << base->GetXDim();
            }
            if (partner != TPartner::SameAxes) continue;
            // Subtract and Mask pair cells by index on maps of the same size, and so may be checked
            // cell by cell through GetPointVal(x, y).
            const TOwned difference(TMapTools::Subtract(base, other));
            const TOwned masked(TMapTools::Mask(base, other, 0.0, 42.0));
            TRows differences = CellsOf(base);
            TRows maskings = differences;
            for (long y = 0; y < base->GetYDim(); ++y) {
                for (long x = 0; x < base->GetXDim(); ++x) {
                    const double b = base->GetPointVal(x, y);
                    const double o = other->GetPointVal(x, y);
                    differences[y][x] = b == baseNoData || o == otherNoData ? baseNoData : b - o;
                    maskings[y][x] = o == 0.0 ? 42.0 : o == otherNoData ? -9999 : o;
                }
            }
            EXPECT_TRUE(SameCells(CellsOf(difference.get()), differences)) << "trial " << trial;
            EXPECT_TRUE(SameCells(CellsOf(masked.get()), maskings)) << "trial " << trial;
        }
    }
}

TEST(CellwiseTwoMaps, IncompleteMapsFailWithTheMessageOfTheFirstStepThatFails)
{
    // Maps with the same edges, each spoiled in one way; the base copy of the first map is made
    // before the lookup in the second, so its failure wins when both would fail.
    auto grid = [] { return MakeMap({{1, 2}, {3, 4}}); };
    auto noAxes = std::make_unique<TMap>(1, 2, 2);
    auto rowAdded = grid();
    rowAdded->AddRow({5, 6});  // three rows on a Y axis of two points
    TAxis holed(1, 3);         // an X axis whose middle point is not set
    holed.SetPoint(0, new TPoint(0.5, 1.5));
    holed.SetPoint(2, new TPoint(2.5, 1.5));
    TAxis rowCentres(1);
    rowCentres.AddPoint(new TPoint(0.5, 1.5));
    rowCentres.AddPoint(new TPoint(0.5, 0.5));
    auto holedMap = std::make_unique<TMap>(&holed, &rowCentres);
    auto whole = grid();

    const struct {
        TMap* First;
        TMap* Second;
        const char* Message;
    } cases[] = {
        {whole.get(), noAxes.get(), "Map axes are not set in TMap"},
        {noAxes.get(), whole.get(), "Map axes are not set in TMap"},
        {rowAdded.get(), noAxes.get(), "Length of new Y axis does not match the Y dimension of the map"},
        {rowAdded.get(), whole.get(), "Length of new Y axis does not match the Y dimension of the map"},
        {holedMap.get(), whole.get(), "Point is not set in TAxis"},
        {holedMap.get(), noAxes.get(), "Map axes are not set in TMap"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Add(c.First, c.Second)); }), c.Message);
        EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Divide(c.First, c.Second)); }), c.Message);
    }
}

// ---- Two maps by index ---------------------------------------------------------------------------

TEST(CellwiseTwoMaps, SubtractAndMaskPairRowsByIndexWhateverTheAxes)
{
    using namespace TwoMapCases;
    std::mt19937 random(77);
    for (TPartner partner : {TPartner::SameAxes, TPartner::ShiftedInsideTheCell, TPartner::ShiftedOneCellWest}) {
        for (int trial = 0; trial < 30; ++trial) {
            TPair pair = RandomPair(random, partner);
            TMap* first = pair.Base.get();
            TMap* second = pair.Other.get();
            const double firstNoData = first->GetNoDataValue();
            const double secondNoData = second->GetNoDataValue();
            const double match = second->GetPointVal(0, 0);
            TRows differences, masked;
            for (long y = 0; y < first->GetYDim(); ++y) {
                differences.emplace_back();
                masked.emplace_back();
                for (long x = 0; x < first->GetXDim(); ++x) {
                    const double a = first->GetPointVal(x, y);
                    const double w = second->GetPointVal(x, y);
                    differences.back().push_back(a == firstNoData || w == secondNoData ? firstNoData : a - w);
                    masked.back().push_back(w == match ? 42.0 : w == secondNoData ? -9999.0 : w);
                }
            }
            TOwned difference(TMapTools::Subtract(first, second));
            EXPECT_TRUE(SameCells(CellsOf(difference.get()), differences));
            TOwned mask(TMapTools::Mask(first, second, match, 42));
            EXPECT_TRUE(SameCells(CellsOf(mask.get()), masked));
        }
    }
}


TEST(CellwiseSubtract, PairsCellsByIndexOnTheFirstMapsFrame)
{
    auto first = MakeMap({{5, 7}, {9, -1}}, 0, 0, 1, -1);
    auto second = MakeMap({{1, 2}, {-9999, 4}}, 100, 50, 3);  // other origin and cell size
    TOwned difference(TMapTools::Subtract(first.get(), second.get()));
    EXPECT_EQ(CellsOf(difference.get()), (TRows{{4, 5}, {-1, -1}}));
    EXPECT_EQ(difference->GetNoDataValue(), -1);
    EXPECT_EQ(difference->GetResolution(), 1);
    EXPECT_EQ(FirstXEdge(difference.get()), 0);
}

TEST(CellwiseSubtract, DimensionMismatchNamesColumnsBeforeRows)
{
    auto threeByFour = MakeMap(TRows(4, std::vector<double>(3, 1)));
    auto fourByThree = MakeMap(TRows(3, std::vector<double>(4, 1)));
    auto threeByThree = MakeMap(TRows(3, std::vector<double>(3, 1)));
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Subtract(threeByFour.get(), fourByThree.get())); }),
              "X dimensions do not match in TMapTools::Subtract");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Subtract(threeByFour.get(), threeByThree.get())); }),
              "Y dimensions do not match in TMapTools::Subtract");
}

// ---- One map and a number ------------------------------------------------------------------------

TEST(CellwiseOneMap, MultiplyAndDivideTurnSourceNoDataIntoResultNoData)
{
    auto map = MakeMap({{-1, -9999, 2}}, 3, 4, 1, -1);
    TOwned tripled(TMapTools::Multiply(map.get(), 3));
    EXPECT_EQ(CellsOf(tripled.get()), (TRows{{-9999, -29997, 6}}));
    EXPECT_EQ(tripled->GetNoDataValue(), -9999);
    EXPECT_EQ(FirstXEdge(tripled.get()), 3);
    EXPECT_EQ(tripled->GetYAxis()->GetOrdinate(0, 'Y'), 4.5);

    TOwned halved(TMapTools::Divide(map.get(), 2));
    EXPECT_EQ(CellsOf(halved.get()), (TRows{{-9999, -4999.5, 1}}));
    EXPECT_EQ(halved->GetNoDataValue(), -9999);

    // A zero divisor is not checked; no-data cells stay no-data.
    auto signs = MakeMap({{2, -2, -9999, 0}});
    const std::vector<double> quotients = TOwned(TMapTools::Divide(signs.get(), 0.0))->GetRow(0);
    EXPECT_EQ(std::vector<double>(quotients.begin(), quotients.end() - 1), (std::vector<double>{kInf, -kInf, -9999}));
    EXPECT_TRUE(std::isnan(quotients.back()));
}

TEST(CellwiseOneMap, RoundContentsRoundsHalfUpAfterTruncation)
{
    auto map = MakeMap({{0.5, 1.49, -0.5, -1.5, 2.5, -2.7, -1},
                        {-9999, 3000000000.5, -3000000000.7, 1e20, 2147483647.5, -kInf, kInf}},
                       0, 0, 1, -1);
    TOwned rounded(TMapTools::RoundContents(map.get()));
    EXPECT_EQ(CellsOf(rounded.get()), (TRows{{1, 1, 0, -1, 3, -2, -9999},
                                             {-9999, 3000000001, -3000000000, 1e20, 2147483648, -kInf, kInf}}));
    EXPECT_FALSE(std::signbit(rounded->GetPointVal(2, 0)));  // -0.5 gives 0, not -0
    EXPECT_EQ(rounded->GetNoDataValue(), -9999);

    auto notANumber = MakeMap({{kNaN}});
    TOwned stillNaN(TMapTools::RoundContents(notANumber.get()));
    EXPECT_TRUE(std::isnan(stillNaN->GetPointVal(0, 0)));
}

TEST(CellwiseOneMap, ThresholdKeepsPassingCellsAndZeroesTheRest)
{
    auto map = MakeMap({{10, 9.99, 11, -1, -9999, kNaN}}, 0, 0, 1, -1);
    TOwned kept(TMapTools::Threshold(map.get(), 10));
    EXPECT_EQ(CellsOf(kept.get()), (TRows{{10, 0, 11, -9999, 0, 0}}));
    EXPECT_EQ(kept->GetNoDataValue(), -9999);

    TOwned replaced(TMapTools::ThresholdReplace(map.get(), 10, 1));
    const std::vector<double> row = replaced->GetRow(0);
    EXPECT_EQ(std::vector<double>(row.begin(), row.end() - 1), (std::vector<double>{1, 9.99, 1, -9999, -9999}));
    EXPECT_TRUE(std::isnan(row.back()));
    EXPECT_EQ(replaced->GetNoDataValue(), -9999);
}

TEST(CellwiseOneMap, ThresholdOfAListGivesOneNewMapPerMapInOrder)
{
    auto low = MakeMap({{1, 5}});
    auto high = MakeMap({{7, 3}});
    std::vector<TMap*> result = TMapTools::Threshold(std::vector<TMap*>{low.get(), high.get()}, 4);
    std::vector<TOwned> owned(result.begin(), result.end());
    ASSERT_EQ(owned.size(), 2u);
    EXPECT_EQ(CellsOf(owned[0].get()), (TRows{{0, 5}}));
    EXPECT_EQ(CellsOf(owned[1].get()), (TRows{{7, 0}}));
    EXPECT_TRUE(TMapTools::Threshold(std::vector<TMap*>{}, 4).empty());
}

TEST(CellwiseOneMap, ReplaceValueLooksUpEveryCellIncludingNoDataAndNaN)
{
    auto map = MakeMap({{1, 2, 3, -9999, kNaN}});
    TOwned replaced(TMapTools::ReplaceValue(map.get(), {{1, 10}, {2, 20}}, 0));
    EXPECT_EQ(CellsOf(replaced.get()), (TRows{{10, 20, 0, 0, 0}}));
    EXPECT_EQ(replaced->GetNoDataValue(), -9999);

    TOwned marked(TMapTools::ReplaceValue(map.get(), {{-9999, -1}}, 5));
    EXPECT_EQ(CellsOf(marked.get()), (TRows{{5, 5, 5, -1, 5}}));
    TOwned defaulted(TMapTools::ReplaceValue(map.get(), {}, 7));
    EXPECT_EQ(CellsOf(defaulted.get()), (TRows{{7, 7, 7, 7, 7}}));
}

TEST(CellwiseOneMap, AxesOfDifferentResolutionsFailInTheFrame)
{
    TMap mixed(1, 1, 1);
    TAxis xs(1);
    xs.AddPoint(new TPoint(0.5, 0.5));
    TAxis ys(2);
    ys.AddPoint(new TPoint(0.5, 0.5));
    mixed.SetXAxis(&xs);
    mixed.SetYAxis(&ys);
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::RoundContents(&mixed)); }),
              "Axes resolutions do not match in TMap::TMap");
}

// ---- Masks and counts ----------------------------------------------------------------------------

TEST(CellwiseMask, TakesTheSecondMapsValuesOnTheFirstMapsFrame)
{
    auto frame = MakeMap({{-9999, -9999}, {-9999, -9999}}, 5, 5, 2);
    auto values = MakeMap({{1, 2}, {3, -1}}, 0, 0, 1, -1);
    TOwned masked(TMapTools::Mask(frame.get(), values.get(), 2, 20));
    EXPECT_EQ(CellsOf(masked.get()), (TRows{{1, 20}, {3, -9999}}));
    EXPECT_EQ(masked->GetNoDataValue(), -9999);
    EXPECT_EQ(masked->GetResolution(), 2);
    EXPECT_EQ(FirstXEdge(masked.get()), 5);

    // A match on the no-data value is still replaced.
    TOwned filled(TMapTools::Mask(frame.get(), values.get(), -1, 0));
    EXPECT_EQ(CellsOf(filled.get()), (TRows{{1, 2}, {3, 0}}));
}

TEST(CellwiseMask, DimensionMismatchNamesColumnsBeforeRows)
{
    auto twoByTwo = MakeMap({{1, 2}, {3, 4}});
    auto threeByOne = MakeMap({{1, 2, 3}});
    auto twoByOne = MakeMap({{1, 2}});
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Mask(twoByTwo.get(), threeByOne.get(), 0, 0)); }),
              "X dimensions do not match in TMapTools::Mask");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Mask(twoByTwo.get(), twoByOne.get(), 0, 0)); }),
              "Y dimensions do not match in TMapTools::Mask");
}

TEST(CellwiseCount, CountsEveryValueIncludingNoData)
{
    auto map = MakeMap({{1, 1}, {-9999, 3}});
    EXPECT_EQ(TMapTools::CountValues(map.get()), (std::map<double, long>{{-9999, 1}, {1, 2}, {3, 1}}));
    EXPECT_EQ(TMapTools::CountValues(map.get(), 1), 2);
    EXPECT_EQ(TMapTools::CountValues(map.get(), -9999), 1);
    EXPECT_EQ(TMapTools::CountValues(map.get(), 5), 0);

    TMap empty(1);
    EXPECT_TRUE(TMapTools::CountValues(&empty).empty());
    EXPECT_EQ(TMapTools::CountValues(&empty, 0), 0);
}

TEST(CellwiseCount, NaNCellsEqualNoValue)
{
    auto map = MakeMap({{kNaN, 2, kNaN, 2}});
    EXPECT_EQ(TMapTools::CountValues(map.get()), (std::map<double, long>{{2, 2}}));
    EXPECT_EQ(TMapTools::CountValues(map.get(), kNaN), 0);
}
