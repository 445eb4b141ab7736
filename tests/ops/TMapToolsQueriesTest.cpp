#include "ops/TMapTools.h"

#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

using TCentre = std::tuple<double, double, double>;  // x, y, value of a TMapPoint

// The points' coordinates and values; the points are released.
std::map<double, TCentre> Described(const std::map<double, TMapPoint*>& points)
{
    std::map<double, TCentre> described;
    for (const auto& [key, point] : points) {
        std::unique_ptr<TMapPoint> owned(point);
        described[key] = TCentre(owned->GetX(), owned->GetY(), owned->GetValue());
    }
    return described;
}

using TStack = std::vector<std::unique_ptr<TMap>>;

std::vector<TMap*> Pointers(const TStack& stack)
{
    std::vector<TMap*> maps;
    for (const auto& map : stack) maps.push_back(map.get());
    return maps;
}

// Maps of one row each, holding the given rows.
TStack RowMaps(const std::vector<std::vector<double>>& rows)
{
    TStack stack;
    for (const auto& row : rows) stack.push_back(MakeMap({row}));
    return stack;
}

// One 1 x 1 map per value.
TStack CellMaps(const std::vector<double>& values)
{
    TStack stack;
    for (double value : values) stack.push_back(MakeMap({{value}}));
    return stack;
}

// The result maps, owned, and their cells.
std::vector<TRows> Gradients(const TStack& stack, int window)
{
    std::vector<TRows> cells;
    for (TMap* map : TMapTools::ValueGradients(Pointers(stack), window)) {
        std::unique_ptr<TMap> owned(map);
        cells.push_back(CellsOf(map));
    }
    return cells;
}

}  // namespace

// ---- FindPatchExtent --------------------------------------------------------------------------

TEST(PatchExtent, BoundsEveryCellHoldingTheValue)
{
    auto map = MakeMap({{0, 0, 0, 7}, {0, 0, 0, 0}, {0, 7, 0, 0}});
    long top = 99, bottom = 99, left = 99, right = 99;
    TMapTools::FindPatchExtent(map.get(), 7, top, bottom, left, right);
    EXPECT_EQ(std::vector<long>({top, bottom, left, right}), std::vector<long>({0, 2, 1, 3}));

    auto single = MakeMap({{0, 0, 0}, {0, 0, 5}, {0, 0, 0}});
    TMapTools::FindPatchExtent(single.get(), 5, top, bottom, left, right);
    EXPECT_EQ(std::vector<long>({top, bottom, left, right}), std::vector<long>({1, 1, 2, 2}));
}

TEST(PatchExtent, AbsentValueGivesZeros)
{
    auto map = MakeMap({{0, 0, 0, 7}, {0, 0, 0, 0}, {kNaN, 7, 0, 0}});
    for (double value : {8.0, kNaN}) {
        long top = 99, bottom = 99, left = 99, right = 99;
        TMapTools::FindPatchExtent(map.get(), value, top, bottom, left, right);
        EXPECT_EQ(std::vector<long>({top, bottom, left, right}), std::vector<long>({0, 0, 0, 0}));
    }
    TMap empty(1.0);
    long top = 99, bottom = 99, left = 99, right = 99;
    TMapTools::FindPatchExtent(&empty, 0, top, bottom, left, right);
    EXPECT_EQ(std::vector<long>({top, bottom, left, right}), std::vector<long>({0, 0, 0, 0}));
}

// ---- FindNonzeroNeighbourVal ------------------------------------------------------------------

TEST(NonzeroNeighbour, HighestColumnThenLowestRowOfTheBlockWins)
{
    auto map = MakeMap({{0, 0, 7}, {0, 0, 0}, {5, 0, 0}});
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(map.get(), 1, 1), 7.0);
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(map.get(), 0, 0), 0.0);
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(map.get(), 0, 1), 5.0);

    auto rows = MakeMap({{4, 0, 0}, {0, 3, 0}, {0, 2, 0}});
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(rows.get(), 1, 1), 3.0);
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(rows.get(), 0, 0), 3.0);
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(rows.get(), 2, 2), 3.0);

    auto cell = MakeMap({{6}});
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(cell.get(), 0, 0), 6.0);
}

TEST(NonzeroNeighbour, NoDataAndNaNCountAsNonzero)
{
    auto map = MakeMap({{0, -9999}, {0, 0}});
    EXPECT_EQ(TMapTools::FindNonzeroNeighbourVal(map.get(), 0, 1), -9999.0);
    auto nan = MakeMap({{0, 0}, {kNaN, 0}});
    EXPECT_TRUE(std::isnan(TMapTools::FindNonzeroNeighbourVal(nan.get(), 0, 0)));
}

TEST(NonzeroNeighbour, CellOutsideTheMap)
{
    auto map = MakeMap({{0, 0, 7}, {0, 0, 0}, {5, 0, 0}});
    const std::string x = "X-ordinate is out of range in TMapTools::FindNonzeroNeighbourVal";
    const std::string y = "Y-ordinate is out of range in TMapTools::FindNonzeroNeighbourVal";
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FindNonzeroNeighbourVal(map.get(), 3, 0); }), x);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FindNonzeroNeighbourVal(map.get(), -1, 0); }), x);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FindNonzeroNeighbourVal(map.get(), 3, 5); }), x);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FindNonzeroNeighbourVal(map.get(), 0, 3); }), y);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FindNonzeroNeighbourVal(map.get(), 0, -1); }), y);
}

// ---- FetchMapValues ---------------------------------------------------------------------------

TEST(FetchValues, ReadsTheCellHoldingEachPointNoDataIncluded)
{
    // Edges x = 10, 11, 12 and y = 22, 21, 20.
    auto map = MakeMap({{1, 2}, {3, -9999}}, 10, 20);
    TMapPoint west(10.5, 21.5), southEast(11.5, 20.5), northEastCorner(12, 22);
    const std::map<double, double> values =
        TMapTools::FetchMapValues(map.get(), {{5, &west}, {2, &southEast}, {9, &northEastCorner}});
    EXPECT_EQ(values, (std::map<double, double>{{5, 1}, {2, -9999}, {9, 2}}));
    EXPECT_TRUE(TMapTools::FetchMapValues(map.get(), {}).empty());
}

TEST(FetchValues, AgreesWithPointReadsOnEdgesAndCorners)
{
    for (bool ascending : {false, true}) {
        auto map = MakeMap({{1, 2, 3}, {4, 5, 6}}, 10, 20, 1, -9999, ascending);
        std::vector<std::unique_ptr<TMapPoint>> points;
        std::map<double, TMapPoint*> set;
        for (double x = 10; x <= 13; x += 0.5) {
            for (double y = 20; y <= 22; y += 0.5) {
                points.push_back(std::make_unique<TMapPoint>(x, y));
                set[static_cast<double>(set.size())] = points.back().get();
            }
        }
        const std::map<double, double> values = TMapTools::FetchMapValues(map.get(), set);
        ASSERT_EQ(values.size(), set.size());
        for (const auto& [key, point] : set) EXPECT_EQ(values.at(key), map->GetPointVal(point)) << key;
    }
}

TEST(FetchValues, PointOutsideTheMap)
{
    auto map = MakeMap({{1, 2}, {3, 4}}, 10, 20);
    TMapPoint inside(10.5, 20.5), west(9.9, 21), north(10.5, 22.1), nan(kNaN, 21);
    const std::string range = "Ordinate is out of range in TAxis::GetIndex";
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FetchMapValues(map.get(), {{1, &inside}, {2, &west}}); }), range);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FetchMapValues(map.get(), {{1, &north}}); }), range);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FetchMapValues(map.get(), {{1, &nan}}); }), range);
    TMap bare(1.0, 2, 2);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FetchMapValues(&bare, {{1, &inside}}); }), "Map axes are not set in TMap");
}

TEST(FetchValues, ListFormPairsMapsWithPointSets)
{
    auto first = MakeMap({{1, 2}});
    auto second = MakeMap({{3, 4}});
    TMapPoint west(0.5, 0.5), east(1.5, 0.5);
    const std::vector<std::map<double, double>> values =
        TMapTools::FetchMapValues({first.get(), second.get()}, {{{1, &west}}, {{1, &east}, {2, &west}}, {{7, &east}}});
    EXPECT_EQ(values, (std::vector<std::map<double, double>>{{{1, 1}}, {{1, 4}, {2, 3}}}));
    EXPECT_TRUE(TMapTools::FetchMapValues(std::vector<TMap*>{}, {}).empty());
    EXPECT_EQ(ThrownMessage([&] { TMapTools::FetchMapValues({first.get(), second.get()}, {{{1, &west}}}); }),
              "Fewer point sets than maps in TMapTools::FetchMapValues");
}

// ---- GetFirstValues ---------------------------------------------------------------------------

TEST(FirstValues, FirstHolderInColumnOrderAfterLeadingNoData)
{
    // Column 0 holds (-9999, 5), column 1 holds (5, -9999); centres x 0.5, 1.5 and y 1.5, 0.5.
    auto map = MakeMap({{-9999, 5}, {5, -9999}});
    EXPECT_EQ(Described(TMapTools::GetFirstValues(map.get(), {})),
              (std::map<double, TCentre>{{-9999, {1.5, 0.5, -9999}}, {5, {0.5, 0.5, 5}}}));
    EXPECT_EQ(Described(TMapTools::GetFirstValues(map.get(), {-9999})),
              (std::map<double, TCentre>{{5, {0.5, 0.5, 5}}}));

    // Row by row, 2 would first be found at (column 1, row 0).
    auto order = MakeMap({{1, 2}, {2, 3}});
    EXPECT_EQ(Described(TMapTools::GetFirstValues(order.get(), {})),
              (std::map<double, TCentre>{{1, {0.5, 1.5, 1}}, {2, {0.5, 0.5, 2}}, {3, {1.5, 0.5, 3}}}));
}

TEST(FirstValues, ExcludedValuesAndNaNCellsNeverBecomeKeys)
{
    auto map = MakeMap({{kNaN, 4, 1}, {kNaN, kNaN, 4}, {6, 1, kNaN}});
    EXPECT_EQ(Described(TMapTools::GetFirstValues(map.get(), {1, kNaN})),
              (std::map<double, TCentre>{{4, {1.5, 2.5, 4}}, {6, {0.5, 0.5, 6}}}));

    // With a NaN no-data value no cell repeats the start value, and NaN cells are still passed over.
    auto nanNoData = MakeMap({{kNaN, 3}, {3, kNaN}}, 0, 0, 1, kNaN);
    EXPECT_EQ(Described(TMapTools::GetFirstValues(nanNoData.get(), {})),
              (std::map<double, TCentre>{{3, {0.5, 0.5, 3}}}));
}

TEST(FirstValues, ListFormOnePerMap)
{
    auto first = MakeMap({{-9999, 2}});
    auto second = MakeMap({{3, -9999}});
    std::vector<std::map<double, TMapPoint*>> found = TMapTools::GetFirstValues({first.get(), second.get()}, {-9999});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(Described(found[0]), (std::map<double, TCentre>{{2, {1.5, 0.5, 2}}}));
    EXPECT_EQ(Described(found[1]), (std::map<double, TCentre>{{3, {0.5, 0.5, 3}}}));
}

TEST(FirstValues, MapWithoutAxesFailsWithoutHandingBackPoints)
{
    auto good = MakeMap({{1, 2}});
    TMap bare(1.0, 2, 1);
    bare.SetPoint(1, 0, 8);
    const std::string message = "Map axes are not set in TMap";
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetFirstValues(&bare, {}); }), message);
    // The points found in the first map are released when the second fails.
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetFirstValues({good.get(), &bare}, {}); }), message);
}

// ---- GetValuesOverlay -------------------------------------------------------------------------

TEST(ValuesOverlay, ValuesGroupedByKeyInColumnOrder)
{
    auto values = MakeMap({{1, 2}, {3, 4}});
    auto ones = MakeMap({{1, 1}, {1, 1}});
    EXPECT_EQ(TMapTools::GetValuesOverlay(values.get(), ones.get(), {}),
              (std::map<double, std::vector<double>>{{1, {1, 3, 2, 4}}}));
    EXPECT_TRUE(TMapTools::GetValuesOverlay(values.get(), ones.get(), {1}).empty());

    auto alternating = MakeMap({{0, 2}, {2, 0}});
    EXPECT_EQ(TMapTools::GetValuesOverlay(values.get(), alternating.get(), {}),
              (std::map<double, std::vector<double>>{{0, {1, 4}}, {2, {3, 2}}}));
}

TEST(ValuesOverlay, NoDataKeysFormAListAndNaNKeysArePassedOver)
{
    auto values = MakeMap({{1, 2}, {kNaN, -9999}});
    auto keys = MakeMap({{7, kNaN}, {-9999, 7}});
    const auto lists = TMapTools::GetValuesOverlay(values.get(), keys.get(), {});
    ASSERT_EQ(lists.size(), 2u);
    ASSERT_EQ(lists.at(-9999).size(), 1u);
    EXPECT_TRUE(std::isnan(lists.at(-9999)[0]));
    EXPECT_EQ(lists.at(7), (std::vector<double>{1, -9999}));
    EXPECT_EQ(TMapTools::GetValuesOverlay(values.get(), keys.get(), {-9999, kNaN}),
              (std::map<double, std::vector<double>>{{7, {1, -9999}}}));
}

TEST(ValuesOverlay, DimensionsMustMatch)
{
    auto values = MakeMap({{1, 2}, {3, 4}});
    auto wider = MakeMap({{1, 2, 3}});
    auto shorter = MakeMap({{1, 2}});
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesOverlay(values.get(), wider.get(), {}); }),
              "Map X-dimensions do not match");
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesOverlay(values.get(), shorter.get(), {}); }),
              "Map Y-Dimensions do not match");
}

// ---- GetValuesVector --------------------------------------------------------------------------

TEST(ValuesVector, OneValuePerMapOfTheRun)
{
    TStack stack = RowMaps({{1, 2}, {3, -9999}, {5, 6}, {7, 8}});
    EXPECT_EQ(TMapTools::GetValuesVector(Pointers(stack), 1, 0, 0, 2), (std::vector<double>{2, -9999, 6}));
    EXPECT_EQ(TMapTools::GetValuesVector(Pointers(stack), 0, 0, 2, 3), (std::vector<double>{5, 7}));
}

TEST(ValuesVector, RunOutsideTheListOrShorterThanTwoMaps)
{
    TStack stack = CellMaps({1, 2, 3});
    const std::vector<TMap*> maps = Pointers(stack);
    const std::string start = "Start map number is out of range in TMapTools::GetValuesVector";
    const std::string end = "End map number is out of range in TMapTools::GetValuesVector";
    const std::string order = "Stat map number must be less than end map number";
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, -1, 5); }), start);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, 3, 1); }), start);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, 0, 3); }), end);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, 1, -1); }), end);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, 1, 1); }), order);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector(maps, 0, 0, 2, 1); }), order);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector({}, 0, 0, 0, 1); }), start);
}

TEST(ValuesVector, CellOutsideOneOfTheMaps)
{
    auto wide = MakeMap({{1, 2}, {3, 4}});
    auto small = MakeMap({{5}});
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector({wide.get(), small.get()}, 1, 0, 0, 1); }),
              "X-ordinate is out of range in TMap::GetPointVal");
    EXPECT_EQ(ThrownMessage([&] { TMapTools::GetValuesVector({wide.get(), small.get()}, 0, 1, 0, 1); }),
              "Y-ordinate is out of range in TMap::GetPointVal");
}

// ---- ValueGradients ---------------------------------------------------------------------------

TEST(ValueGradients, OneSlopeMapPerWindowPosition)
{
    TStack stack = CellMaps({1, 2, 4});
    EXPECT_EQ(Gradients(stack, 1), (std::vector<TRows>{{{1}}, {{2}}}));
    EXPECT_EQ(Gradients(stack, 2), (std::vector<TRows>{{{1.5}}}));
    TStack four = CellMaps({1, 2, 4, 8});
    EXPECT_EQ(Gradients(four, 2), (std::vector<TRows>{{{1.5}}, {{3}}}));
}

TEST(ValueGradients, NoDataPairsLeaveTheFitWithTheirAbscissae)
{
    // Pairs (0, 1) and (2, 3): slope 1; closing the gap would give 2.
    EXPECT_EQ(Gradients(CellMaps({1, -9999, 3}), 2), (std::vector<TRows>{{{1}}}));
    // No-data is judged by the map the value came from: -9999 is data in a map whose no-data is -1.
    TStack stack = CellMaps({1, 2, -9999});
    EXPECT_EQ(Gradients(stack, 2), (std::vector<TRows>{{{1}}}));
    stack[2]->SetNoDataValue(-1);
    EXPECT_EQ(Gradients(stack, 2), (std::vector<TRows>{{{-5000}}}));
    stack[1]->SetPoint(0, 0, -1);
    stack[1]->SetNoDataValue(-1);
    stack[2]->SetPoint(0, 0, 3);
    EXPECT_EQ(Gradients(stack, 2), (std::vector<TRows>{{{1}}}));
}

TEST(ValueGradients, ZerosTakeANeighbourOfTheirOwnMapExceptTheLast)
{
    // Cell 0: the 0 of map 1 becomes 6 (its neighbour in map 1): y = (1, 6, 2, 3), slope 0.2.
    // Cell 1: the 0 of map 3 closes the window and stays: y = (1, 6, 2, 0), slope -0.7.
    TStack stack = RowMaps({{1, 1}, {0, 6}, {2, 2}, {3, 0}});
    const std::vector<TRows> before = {CellsOf(stack[1].get()), CellsOf(stack[3].get())};
    EXPECT_EQ(Gradients(stack, 3), (std::vector<TRows>{{{0.2, -0.7}}}));
    EXPECT_EQ((std::vector<TRows>{CellsOf(stack[1].get()), CellsOf(stack[3].get())}), before);

    // A zero without a non-zero neighbour stays 0 and enters the fit.
    EXPECT_EQ(Gradients(CellMaps({1, 0, 3}), 2), (std::vector<TRows>{{{1}}}));
    // A zero replaced by a no-data neighbour leaves the fit: pairs (0, 1), (2, 2), (3, 3).
    EXPECT_EQ(Gradients(RowMaps({{1, 1}, {0, -9999}, {2, 2}, {3, 0}}), 3),
              (std::vector<TRows>{{{9.0 / 14.0, -3.0 / 14.0}}}));
}

TEST(ValueGradients, ZeroInTheWindowsFirstMapKeepsTheCellUnset)
{
    // Window 0 starts at map 0, window 1 at map 1; the last value of a window is never replaced.
    EXPECT_EQ(Gradients(RowMaps({{0, 1}, {5, 0}, {7, 4}}), 1), (std::vector<TRows>{{{-9999, -1}}, {{2, -9999}}}));
}

TEST(ValueGradients, DegenerateFitsGiveNaN)
{
    for (const std::vector<double>& values : {std::vector<double>{1, -9999, -9999}, {-9999, -9999, 5}, {kNaN, 1, 2}}) {
        const std::vector<TRows> result = Gradients(CellMaps(values), 2);
        ASSERT_EQ(result.size(), 1u);
        EXPECT_TRUE(std::isnan(result[0][0][0]));
    }
}

TEST(ValueGradients, ResultsAreFrameCopiesOfMapZero)
{
    TStack stack;
    stack.push_back(MakeMap({{1, 2}}, 100, 50, 1, -1));
    stack.push_back(MakeMap({{3, 5}}, 700, 80, 1, -1));
    std::vector<TMap*> result = TMapTools::ValueGradients(Pointers(stack), 1);
    ASSERT_EQ(result.size(), 1u);
    std::unique_ptr<TMap> owned(result[0]);
    EXPECT_EQ(owned->GetNoDataValue(), -9999);
    EXPECT_EQ(CellsOf(owned.get()), (TRows{{2, 3}}));
    for (long x = 0; x < 2; ++x) EXPECT_EQ(owned->GetXAxis()->GetOrdinate(x, 'X'), 100.5 + x);
    EXPECT_EQ(owned->GetYAxis()->GetOrdinate(0, 'Y'), 50.5);
}

TEST(ValueGradients, WindowMustFitTheList)
{
    const std::string size = "Window size must be < number of maps in TMapTools::ValueGradients";
    TStack stack = CellMaps({1, 2, 4});
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients(Pointers(stack), 3); }), size);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients(Pointers(stack), 7); }), size);
    EXPECT_EQ(ThrownMessage([] { TMapTools::ValueGradients({}, 0); }), size);
    const std::string negative = "Window size must not be negative in TMapTools::ValueGradients";
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients(Pointers(stack), -1); }), negative);
    EXPECT_EQ(ThrownMessage([] { TMapTools::ValueGradients({}, -1); }), negative);
}

TEST(ValueGradients, WindowOfOneMapFailsAtTheFirstComputedCell)
{
    const std::string order = "Stat map number must be less than end map number";
    EXPECT_EQ(ThrownMessage([] { Gradients(CellMaps({1, 2}), 0); }), order);
    // No cell is computed where every map is zero; the window 0 map is released when window 1 fails.
    EXPECT_EQ(Gradients(CellMaps({0, 0}), 0), (std::vector<TRows>{{{-9999}}, {{-9999}}}));
    EXPECT_EQ(ThrownMessage([] { Gradients(CellMaps({0, 3}), 0); }), order);
}

TEST(ValueGradients, MapsMustShareDimensionsAndMapZeroItsResolution)
{
    const std::string dimensions = "Map dimensions do not match in TMapTools::ValueGradients";
    TStack stack = RowMaps({{1, 2}, {3}});
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients(Pointers(stack), 1); }), dimensions);
    stack = RowMaps({{1, 2}, {3, 4}, {5, 6}});
    stack.push_back(MakeMap({{1, 2}, {3, 4}}));
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients(Pointers(stack), 1); }), dimensions);

    TMap mixed(1.0, 2, 2);
    TAxis xAxis(1.0), yAxis(2.0);
    xAxis.AddPoint(new TPoint(0.5, 0));
    xAxis.AddPoint(new TPoint(1.5, 0));
    yAxis.AddPoint(new TPoint(0, 3));
    yAxis.AddPoint(new TPoint(0, 1));
    mixed.SetXAxis(&xAxis);
    mixed.SetYAxis(&yAxis);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients({&mixed, &mixed}, 1); }),
              "Axes resolutions do not match in TMap::TMap");
    TMap bare(1.0, 1, 1);
    EXPECT_EQ(ThrownMessage([&] { TMapTools::ValueGradients({&bare, &bare}, 1); }), "Map axes are not set in TMap");
}
