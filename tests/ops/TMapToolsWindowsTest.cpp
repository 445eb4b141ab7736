#include "ops/TMapTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

// 3 x 3 cells of size 1 over x 0..3, y 0..3; row 0 is the north row (y 2..3).
const TRows kNine = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
const TRows kTeens = {{11, 12, 13}, {14, 15, 16}, {17, 18, 19}};
const std::string kOutside = "Ordinate is out of range in TAxis::GetIndex";

std::unique_ptr<TMap> Cut(TMap* map, double x1, double y1, double x2, double y2)
{
    TPoint a(x1, y1), b(x2, y2);
    return std::unique_ptr<TMap>(TMapTools::Extract(map, &a, &b));
}

TRows CutCells(TMap* map, double x1, double y1, double x2, double y2) { return CellsOf(Cut(map, x1, y1, x2, y2).get()); }

std::vector<double> Ordinates(TAxis* axis, char mode)
{
    std::vector<double> values;
    for (long i = 0; i < axis->GetSize(); ++i) values.push_back(axis->GetOrdinate(i, mode));
    return values;
}

// The cells of both parts of the intersection.
std::pair<TRows, TRows> Common(TMap* first, TMap* second)
{
    TMap* a = nullptr;
    TMap* b = nullptr;
    TMapTools::Intersection(first, second, a, b);
    std::unique_ptr<TMap> ownedA(a), ownedB(b);
    return {CellsOf(a), CellsOf(b)};
}

TRows Zeros(size_t columns, size_t rows) { return TRows(rows, std::vector<double>(columns, 0)); }

TRows InsertedInto(TRows destinationCells, double cellSize, TMap* inserted)
{
    auto destination = MakeMap(destinationCells, 0, 0, cellSize);
    TMapTools::Insert(destination.get(), inserted);
    return CellsOf(destination.get());
}

}  // namespace

TEST(Extract, AnyTwoOppositeCornersGiveTheSameBlockOnTheSourceCentres)
{
    auto map = MakeMap(kNine, 100, 500, 10);
    const TRows block = {{2, 3}, {5, 6}};
    EXPECT_EQ(CutCells(map.get(), 115, 525, 125, 515), block);
    EXPECT_EQ(CutCells(map.get(), 125, 515, 115, 525), block);
    EXPECT_EQ(CutCells(map.get(), 115, 515, 125, 525), block);
    auto part = Cut(map.get(), 125, 525, 115, 515);
    EXPECT_EQ(CellsOf(part.get()), block);
    EXPECT_EQ(part->GetResolution(), 10);
    EXPECT_EQ(Ordinates(part->GetXAxis(), 'X'), (std::vector<double>{115, 125}));
    EXPECT_EQ(Ordinates(part->GetYAxisInterval(), 'Y'), (std::vector<double>{530, 520, 510}));
}

TEST(Extract, BoundaryAndInnerEdgeCoordinates)
{
    auto map = MakeMap(kNine);
    // The east and north boundaries yield the cells along them, so the corners cut the whole map.
    EXPECT_EQ(CutCells(map.get(), 3, 3, 0, 0), kNine);
    EXPECT_EQ(CutCells(map.get(), 3, 3, 2.5, 2.5), (TRows{{3}}));
    // An inner edge belongs to the column east of it and the row north of it.
    EXPECT_EQ(CutCells(map.get(), 1, 1, 2, 2), (TRows{{2, 3}, {5, 6}}));
    EXPECT_EQ(CutCells(map.get(), 1.2, 1.3, 1.8, 1.9), (TRows{{5}}));
}

TEST(Extract, SourceNoDataBecomesTheResultsNoDataAndOutsideCornersFail)
{
    auto map = MakeMap({{-1, 2, 3}, {4, -1, 6}, {7, 8, -1}}, 0, 0, 1, -1);
    auto part = Cut(map.get(), 0.5, 2.5, 1.5, 1.5);
    EXPECT_EQ(part->GetNoDataValue(), -9999);
    EXPECT_EQ(CellsOf(part.get()), (TRows{{-9999, 2}, {4, -9999}}));

    EXPECT_EQ(ThrownMessage([&] { Cut(map.get(), -0.5, 1, 2, 2); }), kOutside);
    EXPECT_EQ(ThrownMessage([&] { Cut(map.get(), 1, 1, 2, 3.5); }), kOutside);
    TMap bare(1, 2, 2);
    EXPECT_EQ(ThrownMessage([&] { Cut(&bare, 0, 0, 1, 1); }), "Map axes are not set in TMap");
}

TEST(Intersection, SameGridDropsTheFirstColumnAndWithAscendingYTheFirstRow)
{
    auto first = MakeMap(kNine);
    auto second = MakeMap(kTeens);
    EXPECT_EQ(Common(first.get(), second.get()),
              std::make_pair(TRows{{2, 3}, {5, 6}, {8, 9}}, TRows{{12, 13}, {15, 16}, {18, 19}}));
    auto firstUp = MakeMap(kNine, 0, 0, 1, -9999, true);
    auto secondUp = MakeMap(kTeens, 0, 0, 1, -9999, true);
    EXPECT_EQ(Common(firstUp.get(), secondUp.get()), std::make_pair(TRows{{5, 6}, {8, 9}}, TRows{{15, 16}, {18, 19}}));
}

TEST(Intersection, PartlyOverlappingGridsCanGiveBlocksOfDifferentSizes)
{
    // One cell east and south: the window (2, 1)..(3, 0) ends on the first map's east boundary
    // (its last column) but on an inner edge of the second, which yields the column east of it.
    auto first = MakeMap(kNine);
    auto southEast = MakeMap(kTeens, 1, -1);
    EXPECT_EQ(Common(first.get(), southEast.get()), std::make_pair(TRows{{6}, {9}}, TRows{{12, 13}, {15, 16}}));
    // Ascending Y, the first map one row further north: the window runs from its inset y 2 to
    // the second's north boundary y 3.
    auto northUp = MakeMap(kNine, 0, 1, 1, -9999, true);
    auto southUp = MakeMap(kTeens, 0, 0, 1, -9999, true);
    EXPECT_EQ(Common(northUp.get(), southUp.get()), std::make_pair(TRows{{5, 6}, {8, 9}}, TRows{{18, 19}}));
    // One whole cell of overlap is enough.
    auto touching = MakeMap(kTeens, 2, 0);
    EXPECT_EQ(Common(first.get(), touching.get()), std::make_pair(TRows{{3}, {6}, {9}}, TRows{{12}, {15}, {18}}));
}

TEST(Intersection, MapsApartOrOverlappingByLessThanACellDoNotIntersect)
{
    auto first = MakeMap(kNine);
    auto east = MakeMap(kNine, 5, 0), halfCell = MakeMap(kNine, 2.5, 0), south = MakeMap(kNine, 0, -2.5);
    for (auto pair : {std::make_pair(first.get(), east.get()), std::make_pair(first.get(), halfCell.get()),
                      std::make_pair(halfCell.get(), first.get()), std::make_pair(first.get(), south.get())})
        EXPECT_EQ(ThrownMessage([&] { Common(pair.first, pair.second); }),
                  "Maps do not intersect in TMapTools::Intersection");
}

TEST(Intersection, FailuresSetNeitherReference)
{
    auto first = MakeMap(kNine);
    auto ascending = MakeMap(kNine, 0, 0, 1, -9999, true);
    auto noColumns = MakeMap({{}, {}, {}}, 1, 0);  // passes the overlap test, cannot be cut
    TMap sentinel(1);
    TMap* a = &sentinel;
    TMap* b = &sentinel;
    EXPECT_EQ(ThrownMessage([&] { TMapTools::Intersection(first.get(), ascending.get(), a, b); }),
              "Maps have opposite Y directions in TMapTools::Intersection");
    EXPECT_EQ(ThrownMessage([&] { TMapTools::Intersection(first.get(), noColumns.get(), a, b); }), kOutside);
    EXPECT_TRUE(a == &sentinel && b == &sentinel);
}

TEST(Insert, SameFinerAndCoarserGrids)
{
    auto block = MakeMap({{1, 2}, {3, 4}}, 1, 0);
    EXPECT_EQ(InsertedInto(Zeros(3, 3), 1, block.get()), (TRows{{0, 0, 0}, {0, 1, 2}, {0, 3, 4}}));
    // Finer: the last inserted cell (greatest row, then column) in each destination cell remains.
    auto finer = MakeMap({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
    EXPECT_EQ(InsertedInto(Zeros(2, 2), 2, finer.get()), (TRows{{6, 8}, {14, 16}}));
    // Coarser: centres on inner edges go to the column east and the row north of the edge.
    auto coarser = MakeMap({{1, 2}, {3, 4}}, 0, 0, 2);
    EXPECT_EQ(InsertedInto(Zeros(4, 4), 1, coarser.get()),
              (TRows{{0, 1, 0, 2}, {0, 0, 0, 0}, {0, 3, 0, 4}, {0, 0, 0, 0}}));
}

TEST(Insert, NoDataCellsWriteTheDestinationsNoData)
{
    auto destination = MakeMap(Zeros(2, 2), 0, 0, 1, -5);
    auto inserted = MakeMap({{-1, 2}, {3, -1}}, 0, 0, 1, -1);
    TMapTools::Insert(destination.get(), inserted.get());
    EXPECT_EQ(CellsOf(destination.get()), (TRows{{-5, 2}, {3, -5}}));
}

TEST(Insert, MatchesSetPointOnEveryCentreOfAMisalignedMap)
{
    TRows values(5);
    for (size_t y = 0; y < 5; ++y)
        for (size_t x = 0; x < 6; ++x) values[y].push_back(10.0 * y + x);
    auto inserted = MakeMap(values, 0.3, 0.45, 0.7);
    auto expected = MakeMap(Zeros(5, 4));
    for (long y = 0; y < inserted->GetYDim(); ++y)
        for (long x = 0; x < inserted->GetXDim(); ++x) {
            std::unique_ptr<TMapPoint> cell(inserted->GetPoint(x, y));
            expected->SetPoint(cell.get(), cell->GetValue());
        }
    EXPECT_EQ(InsertedInto(Zeros(5, 4), 1, inserted.get()), CellsOf(expected.get()));
}

TEST(Insert, FailuresWriteNothing)
{
    auto destination = MakeMap(kNine);
    auto insert = [&](TMap* inserted) { return ThrownMessage([&] { TMapTools::Insert(destination.get(), inserted); }); };
    const std::string nw = "Insert map's NW corner is outside of the destination map in TMapTools::Insert";
    const std::string se = "Insert map's SE corner is outside of the destination map in TMapTools::Insert";
    const TRows four = {{1, 1}, {1, 1}};
    EXPECT_EQ(insert(MakeMap(four, 2, 0).get()), se);  // one cell beyond the east boundary
    EXPECT_EQ(insert(MakeMap(four, 0, -0.5).get()), se);
    EXPECT_EQ(insert(MakeMap(four, 0, 1.5).get()), nw);  // beyond the north boundary
    EXPECT_EQ(insert(MakeMap(four, -1, 0).get()), nw);
    EXPECT_EQ(insert(MakeMap(four, 0, 0, 1, -9999, true).get()), "Maps have opposite Y directions in TMapTools::Insert");

    // Edges 0..3 but a last centre at 9.5: the corners pass, the third column's centre has no
    // cell, and the two columns before it must not have been written.
    TAxis xCentres(1), yCentres(1);
    for (double x : {0.5, 1.5, 9.5}) xCentres.AddPoint(new TPoint(x, 0));
    yCentres.AddPoint(new TPoint(0, 2.5));
    TMap strayCentre(&xCentres, &yCentres);
    strayCentre.InitValues(0);
    EXPECT_EQ(insert(&strayCentre), kOutside);
    EXPECT_EQ(CellsOf(destination.get()), kNine);
}

TEST(Windows, SingleRowCutHasAscendingEdgesYetMeetsAndReturnsToItsSource)
{
    auto map = MakeMap(kNine);
    auto row = Cut(map.get(), 0.5, 1.5, 2.5, 1.5);
    ASSERT_LT(row->GetYAxisInterval()->GetOrdinate(0, 'Y'), row->GetYAxisInterval()->GetOrdinate(1, 'Y'));
    EXPECT_EQ(Common(map.get(), row.get()), std::make_pair(TRows{{5, 6}}, TRows{{5, 6}}));
    EXPECT_EQ(InsertedInto(Zeros(3, 3), 1, row.get()), (TRows{{0, 0, 0}, {4, 5, 6}, {0, 0, 0}}));
}

TEST(FillBlock, FillsBothBoundsIncluded)
{
    auto map = MakeMap(Zeros(4, 4));
    TMapTools::FillBlock(map.get(), 7, 1, 2, 1, 3);
    TMapTools::FillBlock(map.get(), 5, 3, 3, 0, 0);
    EXPECT_EQ(CellsOf(map.get()), (TRows{{0, 0, 0, 0}, {0, 7, 7, 7}, {0, 7, 7, 7}, {5, 0, 0, 0}}));
}

TEST(FillBlock, ChecksInOrderAndWritesNothingOnFailure)
{
    auto map = MakeMap(kNine);
    auto fill = [&](long firstRow, long lastRow, long firstColumn, long lastColumn) {
        return ThrownMessage([&] { TMapTools::FillBlock(map.get(), 0, firstRow, lastRow, firstColumn, lastColumn); });
    };
    EXPECT_EQ(fill(3, 2, 5, 4), "Northern edge must be less than southern edge in TMapTools::FillBlock");
    EXPECT_EQ(fill(0, 2, 2, 1), "Western edge must be less than eastern edge in TMapTools::FillBlock");
    EXPECT_EQ(fill(-1, 9, 0, 9), "Northern ordinate is out of range in TMapTools::FillBlock");
    EXPECT_EQ(fill(1, 3, 0, 9), "Southern ordinate is out of range in TMapTools::FillBlock");
    EXPECT_EQ(fill(0, 2, -1, 2), "Western ordinate is out of range in TMapTools::FillBlock");
    EXPECT_EQ(fill(0, 2, 3, 4), "Western ordinate is out of range in TMapTools::FillBlock");
    EXPECT_EQ(fill(0, 2, 0, 3), "Eastern ordinate is out of range in TMapTools::FillBlock");
    EXPECT_EQ(CellsOf(map.get()), kNine);
}

TEST(BufferIndices, WidensOrNarrowsByTheMarginClippedToTheMap)
{
    TMap map(1, 10, 10);
    long firstRow = 1, lastRow = 8, firstColumn = 5, lastColumn = 6;
    TMapTools::BufferIndices(&map, 2, firstRow, lastRow, firstColumn, lastColumn);
    EXPECT_EQ((std::vector<long>{firstRow, lastRow, firstColumn, lastColumn}), (std::vector<long>{0, 9, 3, 8}));
    TMapTools::BufferIndices(&map, -2, firstRow, lastRow, firstColumn, lastColumn);
    EXPECT_EQ((std::vector<long>{firstRow, lastRow, firstColumn, lastColumn}), (std::vector<long>{2, 7, 5, 6}));
    TMapTools::BufferIndices(&map, std::numeric_limits<long>::max(), firstRow, lastRow, firstColumn, lastColumn);
    EXPECT_EQ((std::vector<long>{firstRow, lastRow, firstColumn, lastColumn}), (std::vector<long>{0, 9, 0, 9}));
}
