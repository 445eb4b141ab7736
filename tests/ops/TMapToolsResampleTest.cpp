#include "ops/TMapTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double N = -9999;

using TOwned = std::unique_ptr<TMap>;

std::vector<double> Ordinates(TAxis* axis, char mode)
{
    std::vector<double> ordinates;
    for (long k = 0; k < axis->GetSize(); ++k) ordinates.push_back(axis->GetOrdinate(k, mode));
    return ordinates;
}

// A map of the given resolution on the given edges (which need not be that resolution apart),
// every cell holding the value.
TOwned MapOnEdges(double resolution, const std::vector<double>& xEdges, const std::vector<double>& yEdges,
                  double value = 1)
{
    auto map = std::make_unique<TMap>(resolution, static_cast<long>(xEdges.size()) - 1,
                                      static_cast<long>(yEdges.size()) - 1);
    map->InitValues(value);
    TAxis xs(resolution);
    for (double x : xEdges) xs.AddPoint(new TPoint(x, yEdges.front()));
    TAxis ys(resolution);
    for (double y : yEdges) ys.AddPoint(new TPoint(xEdges.front(), y));
    map->SetXAxisInterval(&xs);
    map->SetYAxisInterval(&ys);
    return map;
}

TRows Filled(long columns, long rows, double value) { return TRows(rows, std::vector<double>(columns, value)); }

std::string InterpolationFailure(TMap* map, double resolution)
{
    return ThrownMessage([&] { TOwned(TMapTools::BilinearInterpolate(map, resolution)); });
}

}  // namespace

// ---- Downscale -----------------------------------------------------------------------------------

TEST(MapDownscale, TruncatesCountsAndStartsAtTheFirstCorner)
{
    auto source = MakeMap(Filled(10, 10, 1), 0, 0, 1, -1);
    TOwned coarse(TMapTools::Downscale(source.get(), 3));
    EXPECT_EQ(CellsOf(coarse.get()), Filled(3, 3, N));
    EXPECT_EQ(coarse->GetNoDataValue(), N);
    EXPECT_EQ(coarse->GetResolution(), 3);
    EXPECT_EQ(Ordinates(coarse->GetXAxis(), 'X'), (std::vector<double>{1.5, 4.5, 7.5}));
    EXPECT_EQ(Ordinates(coarse->GetYAxis(), 'Y'), (std::vector<double>{8.5, 5.5, 2.5}));
    EXPECT_EQ(Ordinates(coarse->GetYAxisInterval(), 'Y'), (std::vector<double>{10, 7, 4, 1}));

    TOwned fine(TMapTools::Downscale(source.get(), 0.5));
    EXPECT_EQ(fine->GetXDim(), 20);
    EXPECT_EQ(fine->GetYDim(), 20);
}

TEST(MapDownscale, RunsInTheSourcesYDirection)
{
    auto descending = MakeMap(Filled(2, 2, 1), 0, 98);
    TOwned down(TMapTools::Downscale(descending.get(), 0.5));
    EXPECT_EQ(Ordinates(down->GetYAxis(), 'Y'), (std::vector<double>{99.75, 99.25, 98.75, 98.25}));

    auto ascending = MakeMap(Filled(2, 2, 1), 0, 100, 1, -9999, true);
    TOwned up(TMapTools::Downscale(ascending.get(), 0.5));
    EXPECT_EQ(Ordinates(up->GetYAxis(), 'Y'), (std::vector<double>{100.25, 100.75, 101.25, 101.75}));
}

TEST(MapDownscale, RejectsResolutionsThatGiveNoGrid)
{
    auto source = MakeMap(Filled(10, 10, 1));
    for (double resolution : {0.0, -1.0, kNaN})
        EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Downscale(source.get(), resolution)); }),
                  "New resolution must be a positive number in TMapTools::Downscale");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Downscale(source.get(), 1e-300)); }),
              "Number of cells at the new resolution is out of range in TMapTools::Downscale");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Downscale(source.get(), 11)); }),
              "Index is out of range in TAxis::GetPoint");
    TMap bare(1, 2, 2);
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Downscale(&bare, 1)); }), "Map axes are not set in TMap");
}

// ---- Bilinear interpolation of a map -------------------------------------------------------------

TEST(MapInterpolation, RejectsNonPositiveAndNaNResolutions)
{
    auto source = MakeMap(Filled(4, 4, 1));
    EXPECT_EQ(InterpolationFailure(source.get(), 0), "New resolution cannot be <= 0.0 in TMapTools::BilinearInterpolate");
    EXPECT_EQ(InterpolationFailure(source.get(), -1), "New resolution cannot be <= 0.0 in TMapTools::BilinearInterpolate");
    EXPECT_EQ(InterpolationFailure(source.get(), kNaN), "New resolution is not a number in TMapTools::BilinearInterpolate");
}

TEST(MapInterpolation, HalfResolutionFillsTheInnerBlockFromTheEnclosingCentres)
{
    // Cell (x, y) holds x² + 10 y², so each position shows which columns and rows it was drawn from:
    // x² is interpolated over 0, 1, 4, 9 and 10 y² over 0, 10, 40, 90, each on its own.
    auto source = MakeMap({{0, 1, 4, 9}, {10, 11, 14, 19}, {40, 41, 44, 49}, {90, 91, 94, 99}}, 0, 0, 1, -1);
    TOwned result(TMapTools::BilinearInterpolate(source.get(), 0.5));
    // Cell (2, 2) at position (1, 2.5) is the mean of source cells (0, 1) and (1, 1).
    EXPECT_EQ(CellsOf(result.get()), (TRows{{N, N, N, N, N, N, N, N},
                                            {N, N, N, N, N, N, N, N},
                                            {N, N, 10.5, 11, 12.5, 14, N, N},
                                            {N, N, 25.5, 26, 27.5, 29, N, N},
                                            {N, N, 40.5, 41, 42.5, 44, N, N},
                                            {N, N, 65.5, 66, 67.5, 69, N, N},
                                            {N, N, N, N, N, N, N, N},
                                            {N, N, N, N, N, N, N, N}}));
    EXPECT_EQ(result->GetNoDataValue(), N);
}

TEST(MapInterpolation, WeightsFollowTheDistanceToTheNeighbourCentres)
{
    // Rows alike; at quarter cells x = 1.25 takes 1/4 of column 0 and 3/4 of column 1, x = 1.75
    // takes 3/4 of column 1 and 1/4 of column 2.
    auto source = MakeMap(TRows(4, std::vector<double>{0, 4, 16, 0}));
    TOwned result(TMapTools::BilinearInterpolate(source.get(), 0.25));
    ASSERT_EQ(result->GetXDim(), 16);
    EXPECT_EQ(result->GetRow(4), (std::vector<double>{N, N, N, N, 2, 3, 4, 7, 10, 13, 16, 12, N, N, N, N}));
}

TEST(MapInterpolation, AscendingSourceTakesNeighbourRowsOnTheirOwnSide)
{
    // Centres 0.5 .. 3.5 both ways, Y ascending (row 0 south); rows hold 0, 10, 40, 90.
    TAxis xs(1);
    TAxis ys(1);
    for (int k = 0; k < 4; ++k) {
        xs.AddPoint(new TPoint(0.5 + k, 0.5));
        ys.AddPoint(new TPoint(0.5, 0.5 + k));
    }
    TMap source(&xs, &ys);
    const double rowValues[] = {0, 10, 40, 90};
    for (long y = 0; y < 4; ++y) source.GetRowRef(y).assign(4, rowValues[y]);

    TOwned result(TMapTools::BilinearInterpolate(&source, 0.5));
    const std::vector<double> border(8, N);
    const auto inner = [](double v) { return std::vector<double>{N, N, v, v, v, v, N, N}; };
    EXPECT_EQ(CellsOf(result.get()), (TRows{border, border, inner(5), inner(10), inner(25), inner(40), inner(65), border}));
}

TEST(MapInterpolation, SourceOfTwoByTwoCellsGivesOnlyNoData)
{
    auto source = MakeMap({{1, 2}, {3, 4}}, 0, 0, 1, -1);
    for (double resolution : {1.0, 0.5, 0.25}) {
        TOwned result(TMapTools::BilinearInterpolate(source.get(), resolution));
        const long cells = static_cast<long>(2 / resolution);
        EXPECT_EQ(CellsOf(result.get()), Filled(cells, cells, N));
    }
}

TEST(MapInterpolation, ThreeByThreeSourceFillsOnlyTheCentreCell)
{
    auto source = MakeMap({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 0, 0, 1, -1);
    TOwned result(TMapTools::BilinearInterpolate(source.get(), 1));
    EXPECT_EQ(CellsOf(result.get()), (TRows{{N, N, N}, {N, 6, N}, {N, N, N}}));  // mean of 4, 5, 7, 8

    // A no-data neighbour gives no data; -9999 is data in this source and is interpolated as such.
    source->SetPoint(0, 2, -1);
    TOwned lacking(TMapTools::BilinearInterpolate(source.get(), 1));
    EXPECT_EQ(lacking->GetPointVal(1, 1), N);
    source->SetPoint(0, 2, -9999);
    TOwned pulled(TMapTools::BilinearInterpolate(source.get(), 1));
    EXPECT_EQ(pulled->GetPointVal(1, 1), (4 + 5 - 9999 + 8) / 4.0);
}

TEST(MapInterpolation, NeighboursOutsideTheSourceFail)
{
    // Edges twice the resolution apart: the first position sits on column 0's centre.
    auto wideCells = MapOnEdges(1, {0, 2, 4, 6, 8}, {8, 6, 4, 2, 0});
    EXPECT_EQ(InterpolationFailure(wideCells.get(), 0.5), "LngGetX1 is out of range in TMapTools::BilinearInterpolate");
    // The fourth column of positions reaches the east boundary, east of the last centre.
    auto narrowEast = MapOnEdges(1, {0, 1, 2, 2.25, 2.5}, {4, 3, 2, 1, 0});
    EXPECT_EQ(InterpolationFailure(narrowEast.get(), 0.5), "LngGetX2 is out of range in TMapTools::BilinearInterpolate");
    // The first row of positions lies north of row 0's centre.
    auto tallRows = MapOnEdges(1, {0, 1, 2, 3, 4}, {16, 12, 8, 4, 0});
    EXPECT_EQ(InterpolationFailure(tallRows.get(), 0.5), "LngGetY1 is out of range in TMapTools::BilinearInterpolate");
    // Two rows: the only row of positions lies on the south boundary.
    auto shallow = MakeMap(Filled(10, 2, 1));
    EXPECT_EQ(InterpolationFailure(shallow.get(), 1), "LngGetY2 is out of range in TMapTools::BilinearInterpolate");
    // One row: the first position lies south of the new grid.
    auto single = MakeMap(Filled(10, 1, 1));
    EXPECT_EQ(InterpolationFailure(single.get(), 0.5), "Ordinate is out of range in TAxis::GetIndex");
}

TEST(MapInterpolation, FirstFailingPositionInColumnOrderNamesTheMessage)
{
    // Column 3 of positions fails on its east neighbour, row 3 on its south neighbour; positions
    // run a column at a time, so (column 0, row 3) fails first.
    auto source = MapOnEdges(1, {0, 1, 2, 2.25, 2.5}, {4, 3, 2, 1.5, 0.9});
    EXPECT_EQ(InterpolationFailure(source.get(), 0.5), "LngGetY2 is out of range in TMapTools::BilinearInterpolate");

    // Rows added after the axes have no centre to interpolate from.
    auto grown = MakeMap(Filled(10, 2, 1));
    grown->AddRow(std::vector<double>(10, 1));
    EXPECT_EQ(InterpolationFailure(grown.get(), 1), "LngY is out of range for the Y-axis in TMap::GetCoordinates");
}

TEST(MapInterpolation, StepBelowThePrecisionOfTheCoordinatesFails)
{
    // Near 2^52 doubles lie 0.5 apart: x + 0.25 rounds back to x, and so does the bound.
    const double x0 = 4503599627370484.0;
    auto source = MapOnEdges(0.1, {x0, x0 + 1, x0 + 2, x0 + 3, x0 + 4, x0 + 5, x0 + 6}, {6, 5, 4, 3, 2, 1, 0});
    EXPECT_EQ(InterpolationFailure(source.get(), 0.25),
              "New resolution is too fine for the coordinates of the map in TMapTools::BilinearInterpolate");
}

// ---- The bilinear formula ------------------------------------------------------------------------

TEST(BilinearFormula, MatchesWorkedValuesAndExtrapolates)
{
    EXPECT_EQ(TMapTools::BilinearInterpolate(1, 2, 3, 4, 0.5, 0, 1, 0.5, 0, 1), 2.5);
    EXPECT_EQ(TMapTools::BilinearInterpolate(1, 2, 3, 4, 0, 0, 1, 0, 0, 1), 1);
    EXPECT_EQ(TMapTools::BilinearInterpolate(1, 2, 3, 4, 2, 0, 1, 0, 0, 1), 3);
    EXPECT_EQ(TMapTools::BilinearInterpolate(1, 2, 3, 4, 0.25, 0, 1, 0.75, 0, 1), 2.75);
    // Corners given the other way round describe the same surface.
    EXPECT_EQ(TMapTools::BilinearInterpolate(4, 3, 2, 1, 0.25, 1, 0, 0.75, 1, 0), 2.75);
    // Coincident corners are not checked.
    EXPECT_TRUE(std::isnan(TMapTools::BilinearInterpolate(1, 2, 3, 4, 0.5, 1, 1, 0.5, 0, 1)));
}

TEST(BilinearFormula, PointFormReadsOnlyTheNamedCoordinatesAndWritesOnlyTheTarget)
{
    TMapPoint q11(0, 0, 1);
    TMapPoint q21(1, 55, 2);   // only x2 and the value are read
    TMapPoint q12(-7, 1, 3);   // only y2 and the value are read
    TMapPoint q22(77, -3, 4);  // only the value is read
    TMapPoint target(0.25, 0.75, 99);
    TMapTools::BilinearInterpolate(&q11, &q21, &q12, &q22, &target);
    EXPECT_EQ(target.GetValue(), 2.75);
    EXPECT_EQ(target.GetX(), 0.25);
    EXPECT_EQ(target.GetY(), 0.75);
    EXPECT_EQ(q21.GetValue(), 2);
    EXPECT_EQ(q22.GetX(), 77);
}

// ---- Subdivide -----------------------------------------------------------------------------------

TEST(MapSubdivide, SplitsCellsKeepingExtentAndOrientation)
{
    for (bool ascending : {false, true}) {
        auto source = MakeMap({{5, 7}}, 0, 0, 1, -9999, ascending);
        TOwned halves(TMapTools::Subdivide(source.get(), 2));
        EXPECT_EQ(CellsOf(halves.get()), (TRows{{5, 5, 7, 7}, {5, 5, 7, 7}}));
        EXPECT_EQ(halves->GetResolution(), 0.5);
        EXPECT_EQ(Ordinates(halves->GetXAxisInterval(), 'X'), (std::vector<double>{0, 0.5, 1, 1.5, 2}));
        EXPECT_EQ(Ordinates(halves->GetYAxisInterval(), 'Y'),
                  ascending ? (std::vector<double>{0, 0.5, 1}) : (std::vector<double>{1, 0.5, 0}));
    }
}

TEST(MapSubdivide, SourceNoDataBecomesResultNoData)
{
    auto source = MakeMap({{5, -1}, {-9999, 2}}, 10, 20, 4, -1);
    TOwned copy(TMapTools::Subdivide(source.get(), 1));
    EXPECT_EQ(CellsOf(copy.get()), (TRows{{5, -9999}, {-9999, 2}}));
    EXPECT_EQ(copy->GetNoDataValue(), -9999);
    EXPECT_EQ(Ordinates(copy->GetXAxis(), 'X'), Ordinates(source->GetXAxis(), 'X'));
    EXPECT_EQ(Ordinates(copy->GetYAxis(), 'Y'), Ordinates(source->GetYAxis(), 'Y'));
}

TEST(MapSubdivide, RejectsFactorsThatGiveNoGrid)
{
    auto source = MakeMap({{5, 7}});
    for (int factor : {0, -2})
        EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Subdivide(source.get(), factor)); }),
                  "Factor must be a positive number in TMapTools::Subdivide");
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Subdivide(source.get(), INT_MAX)); }),
              "Number of cells at the new resolution is out of range in TMapTools::Subdivide");
    TMap bare(1, 2, 2);
    EXPECT_EQ(ThrownMessage([&] { TOwned(TMapTools::Subdivide(&bare, 2)); }), "Map axes are not set in TMap");
}
