#include "support/TPointTools.h"

#include "grid/TPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using TCoordinates = std::vector<std::pair<double, double>>;

// Points the test owns, and the raw list the tools take.
struct TPointList {
    explicit TPointList(const TCoordinates& coordinates)
    {
        for (const auto& c : coordinates) {
            Owned.push_back(std::make_unique<TPoint>(c.first, c.second));
            Raw.push_back(Owned.back().get());
        }
    }
    std::vector<std::unique_ptr<TPoint>> Owned;
    std::vector<TPoint*> Raw;
};

TCoordinates HullOf(const TCoordinates& coordinates)
{
    TPointList list(coordinates);
    TCoordinates hull;
    for (TPoint* point : TPointTools::FindConvexHull(list.Raw)) {
        std::unique_ptr<TPoint> owned(point);
        hull.emplace_back(owned->GetX(), owned->GetY());
    }
    return hull;
}

double ThetaOf(double x, double y, double fromX = 0, double fromY = 0)
{
    TPoint a(x, y);
    TPoint b(fromX, fromY);
    return TPointTools::Theta(&a, &b);
}

double AreaOf(const TCoordinates& coordinates) { return TPointTools::FindConvexPolygonArea(TPointList(coordinates).Raw); }

}  // namespace

TEST(PointBounds, EachCoordinateApartAndTheFirstOnTiesOrNaN)
{
    TPoint a(1, 5), b(3, 2);
    std::unique_ptr<TPoint> high(TPointTools::Max(&a, &b)), low(TPointTools::Min(&a, &b));
    EXPECT_EQ(std::make_pair(high->GetX(), high->GetY()), std::make_pair(3.0, 5.0));
    EXPECT_EQ(std::make_pair(low->GetX(), low->GetY()), std::make_pair(1.0, 2.0));

    TPoint c(std::numeric_limits<double>::quiet_NaN(), -0.0), d(2, 0.0);
    std::unique_ptr<TPoint> highNaN(TPointTools::Max(&c, &d)), lowNaN(TPointTools::Min(&c, &d));
    EXPECT_TRUE(std::isnan(highNaN->GetX()) && std::isnan(lowNaN->GetX()));
    EXPECT_TRUE(std::signbit(highNaN->GetY()) && std::signbit(lowNaN->GetY()));
}

TEST(PointCentroid, MeanOfTheCoordinatesAndNaNForNoPoints)
{
    std::unique_ptr<TPoint> centre(TPointTools::FindCentroid(TPointList({{0, 0}, {2, 0}, {2, 2}, {0, 4}}).Raw));
    EXPECT_EQ(std::make_pair(centre->GetX(), centre->GetY()), std::make_pair(1.0, 1.5));
    std::unique_ptr<TPoint> none(TPointTools::FindCentroid({}));
    EXPECT_TRUE(std::isnan(none->GetX()) && std::isnan(none->GetY()));
}

TEST(PseudoAngle, ExactAtAxesAndDiagonalsAndGrowingInBetween)
{
    const TCoordinates directions = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (size_t k = 0; k < directions.size(); ++k)
        EXPECT_EQ(ThetaOf(directions[k].first, directions[k].second), 45.0 * k) << "direction " << k;
    EXPECT_EQ(ThetaOf(0, 0, 1, 1), 225);  // the first point as seen from the second
    EXPECT_EQ(ThetaOf(3, 3, 3, 3), 0);
    EXPECT_EQ(ThetaOf(2, 1), 30);

    double previous = -1;
    for (int step = 0; step < 64; ++step) {
        const double radians = step * 2 * std::acos(-1.0) / 64;
        const double angle = ThetaOf(std::cos(radians), std::sin(radians));
        EXPECT_TRUE(angle > previous && angle < 360) << "step " << step;
        previous = angle;
    }
}

TEST(Areas, HeronAndConvexPolygonWithAndWithoutTheClosingEdge)
{
    TPoint p(0, 0), q(4, 0), r(0, 3), s(2, 0);
    EXPECT_EQ(TPointTools::Heron(&p, &q, &r), 6);
    EXPECT_EQ(TPointTools::Heron(&r, &p, &q), 6);
    EXPECT_EQ(TPointTools::Heron(&p, &s, &q), 0);
    TPoint t(3 * 0.1, 3 * 0.1), u(0.5, 0.5);  // collinear; rounding leaves the product below zero
    EXPECT_TRUE(std::isnan(TPointTools::Heron(&p, &t, &u)));

    EXPECT_NEAR(AreaOf({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}), 4, 1e-12);
    EXPECT_NEAR(AreaOf({{0, 0}, {2, 0}, {2, 2}, {0, 2}}), 3, 1e-12);
    EXPECT_EQ(AreaOf({{5, 7}}), 0);
    EXPECT_EQ(AreaOf({}), 0);
}

TEST(ConvexHull, FromTheLowestPointCounterclockwiseWithoutInnerPoints)
{
    EXPECT_EQ(HullOf({{0, 0}, {2, 1}, {1, 3}, {1, 1}}), (TCoordinates{{0, 0}, {2, 1}, {1, 3}}));
    EXPECT_EQ(HullOf({{1, 3}, {1, 1}, {2, 1}, {0, 0}, {-1, 2}}), (TCoordinates{{0, 0}, {2, 1}, {1, 3}, {-1, 2}}));
    EXPECT_TRUE(HullOf({}).empty());
}

TEST(ConvexHull, LevelAndCollinearPointsFollowTheStrictAngleRule)
{
    // A point level with the start and east of it has angle 0 and is never taken.
    EXPECT_EQ(HullOf({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), (TCoordinates{{0, 0}, {1, 1}, {0, 1}}));
    // The first of equally low points starts; from (0, 0) the way back to it turns below the last
    // edge's angle, so the wrap ends there.
    EXPECT_EQ(HullOf({{2, 0}, {0, 0}, {1, 2}}), (TCoordinates{{2, 0}, {1, 2}, {0, 0}}));
    // Of equal angles the first candidate wins, and a candidate at the last edge's angle is
    // passed over: the far corner is kept only when it comes before the middle point.
    EXPECT_EQ(HullOf({{0, 0}, {2, 2}, {1, 1}, {0, 2}}), (TCoordinates{{0, 0}, {2, 2}, {0, 2}}));
    EXPECT_EQ(HullOf({{0, 0}, {1, 1}, {2, 2}, {0, 2}}), (TCoordinates{{0, 0}, {1, 1}, {0, 2}}));
}

TEST(ConvexHull, ReturnsNewPointsOfTheInputsTypeAndLeavesTheInputAlone)
{
    TMapPoint only(4, 5, 9);
    std::vector<TPoint*> hull = TPointTools::FindConvexHull({&only});
    ASSERT_EQ(hull.size(), 1u);
    std::unique_ptr<TPoint> copy(hull[0]);
    auto* valued = dynamic_cast<TMapPoint*>(copy.get());
    ASSERT_TRUE(valued != nullptr && valued != &only);
    EXPECT_EQ(std::make_tuple(valued->GetX(), valued->GetY(), valued->GetValue()), std::make_tuple(4.0, 5.0, 9.0));

    TPointList list({{1, 3}, {0, 0}, {2, 1}});
    const std::vector<TPoint*> before = list.Raw;
    for (TPoint* point : TPointTools::FindConvexHull(list.Raw)) {
        EXPECT_EQ(std::count(before.begin(), before.end(), point), 0);
        delete point;
    }
    EXPECT_EQ(list.Raw, before);
    EXPECT_EQ(std::make_pair(list.Owned[0]->GetX(), list.Owned[0]->GetY()), std::make_pair(1.0, 3.0));
}
