#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The 3-column, 2-row map of cell size 10 with edges x = 100..130 and y = 520..500.
std::unique_ptr<TMap> SampleMap()
{
    return MakeMap({{1, 2, 3}, {4, 5, 6}}, 100, 500, 10);
}

std::unique_ptr<TAxis> Axis(double resolution, const std::vector<std::pair<double, double>>& points)
{
    auto axis = std::make_unique<TAxis>(resolution);
    for (auto [x, y] : points) axis->AddPoint(new TPoint(x, y));
    return axis;
}

}  // namespace

TEST(MapGeometry, PointAxesAreDerivedFromEdges)
{
    auto map = SampleMap();
    TAxis* x = map->GetXAxis();
    TAxis* y = map->GetYAxis();
    ASSERT_EQ(x->GetSize(), 3);
    ASSERT_EQ(y->GetSize(), 2);
    EXPECT_EQ(x->GetPoint(0)->GetX(), 105);
    EXPECT_EQ(x->GetPoint(2)->GetX(), 125);
    EXPECT_EQ(y->GetPoint(0)->GetY(), 515);
    EXPECT_EQ(y->GetPoint(1)->GetY(), 505);
    std::unique_ptr<TPoint> centre(map->GetCoordinates(2, 1));
    EXPECT_EQ(centre->GetX(), 125);
    EXPECT_EQ(centre->GetY(), 505);
}

TEST(MapGeometry, CoordinateToCellUsesHalfOpenEdges)
{
    auto map = SampleMap();
    EXPECT_EQ(map->GetIndex(110, 'X'), 1);
    EXPECT_EQ(map->GetIndex(510, 'Y'), 0);
    EXPECT_EQ(map->GetIndex(500, 'Y'), 1);
    TPoint west(99.9, 505);
    EXPECT_EQ(ThrownMessage([&] { map->GetPointVal(&west); }), "Ordinate is out of range in TAxis::GetIndex");

    TPoint inside(112, 507);
    std::unique_ptr<TMapPoint> found(map->GetPoint(&inside));
    EXPECT_EQ(found->GetX(), 112);
    EXPECT_EQ(found->GetY(), 507);
    EXPECT_EQ(found->GetValue(), 5);
}

TEST(MapGeometry, BoundaryCoordinatesReadTheCellAlongTheBoundary)
{
    auto map = SampleMap();
    TPoint northEast(130, 520);
    EXPECT_EQ(map->GetPointVal(&northEast), 3);
    TPoint southWest(100, 500);
    EXPECT_EQ(map->GetPointVal(&southWest), 4);
    map->SetPoint(&northEast, 30);
    EXPECT_EQ(map->GetPointVal(2, 0), 30);

    auto ascending = MakeMap({{1, 2}, {3, 4}}, 0, 0, 1, -9999, true);  // row 0 south
    TPoint north(0.5, 2);
    EXPECT_EQ(ascending->GetPointVal(&north), 3);
}

TEST(MapGeometry, LookupsOutsideTheCellsAreRefusedWithTheOperationsMessages)
{
    // A caller that lengthens a lent edge axis makes lookups yield cells the map does not hold.
    auto map = MakeMap({{1, 2}, {3, 4}}, 0, 0, 1);
    map->GetXAxisInterval()->AddPoint(new TPoint(3, 2));
    TPoint east(2.5, 1.5);
    EXPECT_EQ(ThrownMessage([&] { map->GetPointVal(&east); }), "LngX is out of range in TMap::GetPointVal");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetPoint(&east); }), "LngX is out of range in TMap::GetPoint (TPoint*)");
    EXPECT_EQ(ThrownMessage([&] { map->SetPoint(&east, 9); }), "LngX is out of range in TMap::SetPoint (TPoint*)");

    map->GetYAxisInterval()->AddPoint(new TPoint(0, -1));
    TPoint south(0.5, -0.5);
    EXPECT_EQ(ThrownMessage([&] { map->GetPointVal(&south); }), "LngY is out of range in TMap::GetPointVal");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetPoint(&south); }), "LngY is out of range in TMap::GetPoint (TPoint*)");
    EXPECT_EQ(ThrownMessage([&] { map->SetPoint(&south, 9); }), "LngY is out of range in TMap::SetPoint (TPoint*)");
    EXPECT_EQ(CellsOf(map.get()), (TRows{{1, 2}, {3, 4}}));

    TPoint inside(0.5, 0.5);
    EXPECT_EQ(map->GetPointValues({&inside, &inside}), (std::vector<double>{3, 3}));
    EXPECT_EQ(ThrownMessage([&] { map->GetPointValues({&inside, &east}); }), "LngX is out of range in TMap::GetPointVal");
}

TEST(MapCells, IndexChecksComeXFirst)
{
    auto map = SampleMap();
    EXPECT_EQ(ThrownMessage([&] { map->GetPointVal(3, 5); }), "X-ordinate is out of range in TMap::GetPointVal");
    EXPECT_EQ(ThrownMessage([&] { map->GetPointVal(0, 2); }), "Y-ordinate is out of range in TMap::GetPointVal");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetPoint(-1, 9); }), "LngX is out of range in TMap::GetPoint (long,long)");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetPoint(0, 2); }), "LngY is out of range in TMap::GetPoint (long,long)");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetCoordinates(3, 0); }),
              "LngX is out of range for the X-axis in TMap::GetCoordinates");
    EXPECT_EQ(ThrownMessage([&] { delete map->GetCoordinates(0, -1); }),
              "LngY is out of range for the Y-axis in TMap::GetCoordinates");
    EXPECT_EQ(ThrownMessage([&] { map->SetPoint(3, 0, 1); }), "LngX is out of range in TMap::SetPoint (long,long)");
    EXPECT_EQ(ThrownMessage([&] { map->GetRow(2); }), "Index is out of bounds in TMap::GetRow");

    std::unique_ptr<TMapPoint> cell(map->GetPoint(1, 1));
    EXPECT_EQ(cell->GetX(), 115);
    EXPECT_EQ(cell->GetY(), 505);
    EXPECT_EQ(cell->GetValue(), 5);
    EXPECT_EQ(map->GetRow(1), (std::vector<double>{4, 5, 6}));
}

TEST(MapConstruction, EmptyFullAndFromAxes)
{
    TMap empty(2.5);
    EXPECT_EQ(empty.GetXDim(), 0);
    EXPECT_EQ(empty.GetYDim(), 0);
    EXPECT_EQ(empty.GetNoDataValue(), -9999);
    EXPECT_EQ(empty.GetXAxis(), nullptr);

    TMap full(10, 3, 2);
    EXPECT_EQ(CellsOf(&full), (TRows{{-9999, -9999, -9999}, {-9999, -9999, -9999}}));
    EXPECT_EQ(full.GetXAxisInterval(), nullptr);
    EXPECT_EQ(ThrownMessage([] { TMap(1, -1, 2); }), "Dimension is out of range in TMap::Init");

    auto x = Axis(10, {{105, 0}, {115, 0}});
    auto y = Axis(10.5, {{0, 5}});
    EXPECT_EQ(ThrownMessage([&] { TMap(x.get(), y.get()); }), "Axes resolutions do not match in TMap::TMap");
    TAxis none(10);
    EXPECT_EQ(ThrownMessage([&] { TMap(&none, x.get()); }), "Index is out of range in TAxis::GetPoint");

    auto single = Axis(10, {{0, 50}});
    TMap fromAxes(x.get(), single.get());
    EXPECT_EQ(fromAxes.GetXDim(), 2);
    EXPECT_EQ(fromAxes.GetYDim(), 1);
    EXPECT_EQ(fromAxes.GetYAxisInterval()->GetPoint(0)->GetY(), 45);
    EXPECT_EQ(fromAxes.GetYAxisInterval()->GetPoint(1)->GetY(), 55);
    EXPECT_NE(fromAxes.GetXAxis(), x.get());
}

TEST(MapRows, AddRowRejectsRowsOfAnotherLength)
{
    TMap map(1);
    map.AddRow({1, 2, 3, 4});
    EXPECT_EQ(map.GetXDim(), 4);
    EXPECT_EQ(map.GetYDim(), 1);
    EXPECT_EQ(ThrownMessage([&] { map.AddRow({1, 2}); }),
              "Row length does not match the X dimension of the map in TMap::AddRow");
    EXPECT_EQ(map.GetYDim(), 1);
    map.AddRow({5, 6, 7, 8});
    EXPECT_EQ(map.GetPointVal(3, 1), 8);

    map.InitValues(0);
    EXPECT_EQ(CellsOf(&map), (TRows{{0, 0, 0, 0}, {0, 0, 0, 0}}));
    EXPECT_EQ(map.GetNoDataValue(), -9999);
}

TEST(MapAxes, FailedSetterLeavesTheMapAsItWas)
{
    auto map = SampleMap();
    TAxis* oldPoints = map->GetXAxis();
    TAxis* oldEdges = map->GetXAxisInterval();
    auto four = Axis(10, {{1, 0}, {2, 0}, {3, 0}, {4, 0}});
    EXPECT_EQ(ThrownMessage([&] { map->SetXAxis(four.get()); }),
              "Length of new X axis does not match the X dimension of the map");
    EXPECT_EQ(map->GetXAxis(), oldPoints);
    EXPECT_EQ(map->GetXAxisInterval(), oldEdges);
    EXPECT_EQ(ThrownMessage([&] { map->SetYAxis(four.get()); }),
              "Length of new Y axis does not match the Y dimension of the map");
    EXPECT_EQ(ThrownMessage([&] { map->SetYAxisInterval(four.get()); }),
              "Length of new Y interval axis does not fit the Y dimension of the map");

    // A conversion that fails part-way (an unset slot) leaves both axes of the direction in place.
    TAxis holey(10, 3);
    holey.SetPoint(0, new TPoint(0, 0));
    EXPECT_EQ(ThrownMessage([&] { map->SetXAxis(&holey); }), "Point is not set in TAxis");
    EXPECT_EQ(map->GetXAxis(), oldPoints);
    EXPECT_EQ(map->GetXAxisInterval(), oldEdges);

    auto edges = Axis(10, {{0, 40}, {0, 30}, {0, 20}});
    map->SetYAxisInterval(edges.get());
    EXPECT_EQ(map->GetYAxis()->GetSize(), 2);
    EXPECT_EQ(map->GetYAxis()->GetPoint(1)->GetY(), 25);
    // The map keeps its own copy, and may be given its own axis back.
    EXPECT_NE(map->GetYAxisInterval(), edges.get());
    map->SetXAxis(map->GetXAxis());
    EXPECT_EQ(map->GetXAxisInterval()->GetPoint(3)->GetX(), 130);
}

TEST(MapAxes, CoordinateOperationsNeedAxes)
{
    TMap bare(1, 2, 2);
    TPoint p(0, 0);
    const std::string message = "Map axes are not set in TMap";
    EXPECT_EQ(ThrownMessage([&] { bare.GetPointVal(&p); }), message);
    EXPECT_EQ(ThrownMessage([&] { bare.SetPoint(&p, 1); }), message);
    EXPECT_EQ(ThrownMessage([&] { bare.GetIndex(0, 'X'); }), message);
    EXPECT_EQ(ThrownMessage([&] { delete bare.GetCoordinates(0, 0); }), message);
    EXPECT_EQ(ThrownMessage([&] { delete bare.GetPoint(0, 0); }), message);
}

TEST(MapGeometry, LocateCellFindsAndFailsAsTheOperationItStandsFor)
{
    // Lengthened edge axes make some lookups yield a column and a row that the map does not hold.
    auto map = MakeMap({{1, 2}, {3, 4}}, 0, 0, 1);
    map->GetXAxisInterval()->AddPoint(new TPoint(3, 2));
    map->GetYAxisInterval()->AddPoint(new TPoint(0, -1));
    using TAccess = TMap::TCellAccess;
    const std::vector<std::pair<TAccess, std::function<double(TPoint*)>>> accesses = {
        {TAccess::GetPointVal, [&](TPoint* p) { return map->GetPointVal(p); }},
        {TAccess::GetPoint, [&](TPoint* p) { return std::unique_ptr<TMapPoint>(map->GetPoint(p))->GetValue(); }},
        {TAccess::SetPoint, [&](TPoint* p) { map->SetPoint(p, 42); return 42.0; }},
    };
    for (const auto& entry : accesses) {
        const TAccess access = entry.first;
        const auto& operation = entry.second;
        for (double x : {-0.5, 0.0, 0.5, 1.0, 2.0, 2.5, 3.0, 3.5}) {
            for (double y : {-1.5, -1.0, -0.5, 0.0, 1.0, 1.5, 2.0, 2.5}) {
                TPoint point(x, y);
                const std::string expected = ThrownMessage([&] { operation(&point); });
                long column = -7, row = -7;
                EXPECT_EQ(ThrownMessage([&] { map->LocateCell(&point, access, column, row); }), expected) << x << "," << y;
                if (expected != "<no throw>") {
                    EXPECT_EQ(column, -7);
                    continue;
                }
                EXPECT_EQ(map->CellFailure(column, row, access), nullptr);
                const double value = operation(&point);
                EXPECT_EQ(map->GetPointVal(column, row), value) << x << "," << y;
            }
        }
    }
    EXPECT_STREQ(map->CellFailure(-1, 5, TAccess::GetPoint), "Ordinate is out of range in TAxis::GetIndex");
    EXPECT_STREQ(map->CellFailure(2, 2, TAccess::SetPoint), "LngX is out of range in TMap::SetPoint (TPoint*)");
    EXPECT_STREQ(map->CellFailure(1, 2, TAccess::GetPointVal), "LngY is out of range in TMap::GetPointVal");
}
