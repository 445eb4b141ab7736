#include "grid/TAxis.h"
#include "grid/TAxisTools.h"
#include "grid/TPoint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::vector<std::pair<double, double>> PointsOf(TAxis* axis)
{
    std::vector<std::pair<double, double>> points;
    for (long i = 0; i < axis->GetSize(); ++i) points.emplace_back(axis->GetPoint(i)->GetX(), axis->GetPoint(i)->GetY());
    return points;
}

using TPairs = std::vector<std::pair<double, double>>;

}  // namespace

TEST(AxisConversion, CentresToEdgesAlongX)
{
    TAxis centres(1);
    for (double x : {0.5, 1.5, 2.5}) centres.AddPoint(new TPoint(x, 7));
    std::unique_ptr<TAxis> edges(TAxisTools::PointsToIntervals(&centres, 'X'));
    EXPECT_EQ(PointsOf(edges.get()), (TPairs{{0, 6.5}, {1, 6.5}, {2, 6.5}, {3, 6.5}}));
    EXPECT_EQ(edges->GetResolution(), 1);
}

TEST(AxisConversion, CentresToEdgesAlongYDescendOrAscend)
{
    TAxis centres(1);
    centres.AddPoint(new TPoint(0.5, 9.5));
    centres.AddPoint(new TPoint(0.5, 8.5));
    std::unique_ptr<TAxis> edges(TAxisTools::PointsToIntervals(&centres, 'Y'));
    EXPECT_EQ(PointsOf(edges.get()), (TPairs{{0, 10}, {0, 9}, {0, 8}}));
    std::unique_ptr<TAxis> alongX(TAxisTools::PointsToIntervals(&centres, 'X'));
    EXPECT_EQ(PointsOf(alongX.get()), (TPairs{{0, 10}, {1, 10}, {2, 10}}));

    // A single centre gives ascending edges.
    TAxis single(2);
    single.AddPoint(new TPoint(1, 5));
    std::unique_ptr<TAxis> around(TAxisTools::PointsToIntervals(&single, 'Y'));
    EXPECT_EQ(PointsOf(around.get()), (TPairs{{0, 4}, {0, 6}}));
}

TEST(AxisConversion, EdgesToCentres)
{
    TAxis xEdges(1);
    for (double x : {0, 1, 2, 3}) xEdges.AddPoint(new TPoint(x, 6.5));
    std::unique_ptr<TAxis> xCentres(TAxisTools::IntervalsToPoints(&xEdges, 'X'));
    EXPECT_EQ(PointsOf(xCentres.get()), (TPairs{{0.5, 6.5}, {1.5, 6.5}, {2.5, 6.5}}));

    TAxis yEdges(1);
    for (double y : {10, 9, 8}) yEdges.AddPoint(new TPoint(0, y));
    std::unique_ptr<TAxis> yCentres(TAxisTools::IntervalsToPoints(&yEdges, 'Y'));
    EXPECT_EQ(PointsOf(yCentres.get()), (TPairs{{0, 9.5}, {0, 8.5}}));

    // Ascending Y edges put each centre half a cell south of the edge that begins its cell.
    TAxis ascending(1);
    for (double y : {0, 1, 2}) ascending.AddPoint(new TPoint(0, y));
    std::unique_ptr<TAxis> below(TAxisTools::IntervalsToPoints(&ascending, 'Y'));
    EXPECT_EQ(PointsOf(below.get()), (TPairs{{0, -0.5}, {0, 0.5}}));

    TAxis lone(3);
    lone.AddPoint(new TPoint(1, 1));
    std::unique_ptr<TAxis> none(TAxisTools::IntervalsToPoints(&lone, 'X'));
    EXPECT_EQ(none->GetSize(), 0);
    EXPECT_EQ(none->GetResolution(), 3);
}

TEST(AxisConversion, EmptyOrUnsetAxesFail)
{
    TAxis empty(1);
    EXPECT_EQ(ThrownMessage([&] { delete TAxisTools::PointsToIntervals(&empty, 'X'); }),
              "Index is out of range in TAxis::GetPoint");
    EXPECT_EQ(ThrownMessage([&] { delete TAxisTools::IntervalsToPoints(&empty, 'X'); }),
              "Index is out of range in TAxis::GetPoint");
    TAxis unset(1, 2);
    EXPECT_EQ(ThrownMessage([&] { delete TAxisTools::PointsToIntervals(&unset, 'X'); }), "Point is not set in TAxis");
}
