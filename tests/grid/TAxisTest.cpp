#include "grid/TAxis.h"
#include "grid/TPoint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

// An axis along x (mode 'X') or y (other modes) holding the given ordinates.
std::unique_ptr<TAxis> AxisOf(const std::vector<double>& ordinates, char mode, double resolution = 10)
{
    auto axis = std::make_unique<TAxis>(resolution);
    for (double c : ordinates) axis->AddPoint(mode == 'X' ? new TPoint(c, 7) : new TPoint(3, c));
    return axis;
}

const char* const kOrdinate = "Ordinate is out of range in TAxis::GetIndex";

}  // namespace

TEST(AxisIndex, HalfOpenSegmentsOnAscendingAxis)
{
    auto axis = AxisOf({0, 10, 20}, 'X');
    EXPECT_EQ(axis->GetIndex(0, 'X'), 0);
    EXPECT_EQ(axis->GetIndex(9.999, 'X'), 0);
    EXPECT_EQ(axis->GetIndex(10, 'X'), 1);
    EXPECT_EQ(axis->GetIndex(19.9, 'X'), 1);
    EXPECT_EQ(ThrownMessage([&] { axis->GetIndex(-0.1, 'X'); }), kOrdinate);
    EXPECT_EQ(ThrownMessage([&] { axis->GetIndex(20.1, 'X'); }), kOrdinate);
}

TEST(AxisIndex, InnerPointOfDescendingAxisBelongsToTheEarlierSegment)
{
    auto axis = AxisOf({20, 10, 0}, 'Y');
    EXPECT_EQ(axis->GetIndex(15, 'Y'), 0);
    EXPECT_EQ(axis->GetIndex(10, 'Y'), 0);
    EXPECT_EQ(axis->GetIndex(0, 'Y'), 1);
    EXPECT_EQ(axis->GetIndex(0.5, 'Y'), 1);
}

TEST(AxisIndex, UpperEndYieldsBoundaryCell)
{
    // The east boundary (and the north boundary of ascending Y edges) reads the last cell.
    EXPECT_EQ(AxisOf({0, 10, 20}, 'X')->GetIndex(20, 'X'), 1);
    EXPECT_EQ(AxisOf({0, 10, 20}, 'Y')->GetIndex(20, 'Y'), 1);
    // The north boundary of descending Y edges reads the first cell.
    EXPECT_EQ(AxisOf({20, 10, 0}, 'Y')->GetIndex(20, 'Y'), 0);
}

TEST(AxisIndex, NaNAndShortAxesFail)
{
    EXPECT_EQ(ThrownMessage([] { AxisOf({0, 10}, 'X')->GetIndex(std::nan(""), 'X'); }), kOrdinate);
    EXPECT_EQ(ThrownMessage([] { AxisOf({5}, 'X')->GetIndex(5, 'X'); }), kOrdinate);
    EXPECT_EQ(ThrownMessage([] { AxisOf({}, 'X')->GetIndex(0, 'X'); }), kOrdinate);
}

TEST(AxisIndex, ModeOtherThanXComparesY)
{
    auto axis = std::make_unique<TAxis>(1);
    axis->AddPoint(new TPoint(0, 100));
    axis->AddPoint(new TPoint(1, 50));
    EXPECT_EQ(axis->GetIndex(0.5, 'X'), 0);
    EXPECT_EQ(ThrownMessage([&] { axis->GetIndex(0.5, 'Q'); }), kOrdinate);
    EXPECT_EQ(axis->GetIndex(60, 'q'), 0);
}

TEST(AxisIndex, FirstMatchingSegmentWinsOnNonMonotonicAxis)
{
    auto axis = AxisOf({0, 10, 5, 20}, 'X');
    EXPECT_EQ(axis->GetIndex(7, 'X'), 0);
    EXPECT_EQ(axis->GetIndex(12, 'X'), 2);
    EXPECT_EQ(axis->GetIndex(20, 'X'), 2);
}

TEST(AxisPoints, RangeChecksAndOwnership)
{
    TAxis axis(1, 2);
    EXPECT_EQ(axis.GetSize(), 2);
    EXPECT_EQ(axis.GetPoint(0), nullptr);
    EXPECT_EQ(ThrownMessage([&] { axis.GetPoint(2); }), "Index is out of range in TAxis::GetPoint");
    EXPECT_EQ(ThrownMessage([&] { axis.GetPoint(-1); }), "Index is out of range in TAxis::GetPoint");
    EXPECT_EQ(ThrownMessage([&] { axis.SetPoint(2, nullptr); }), "Index is out of range in TAxis::SetPoint");
    TPoint* point = new TPoint(1, 2);
    axis.SetPoint(0, point);
    axis.SetPoint(0, point);  // storing the held point again must not release it
    EXPECT_EQ(axis.GetPoint(0)->GetX(), 1);
    axis.SetPoint(0, new TPoint(3, 4));
    EXPECT_EQ(axis.GetPoint(0)->GetX(), 3);
    EXPECT_EQ(ThrownMessage([] { TAxis(1, -1); }), "Size is out of range in TAxis::TAxis");
}

TEST(AxisSegment, ChecksInOrderAndClonesPoints)
{
    auto axis = AxisOf({0, 10, 20}, 'X');
    std::unique_ptr<TAxis> one(axis->GetSegment(1, 1));
    ASSERT_EQ(one->GetSize(), 1);
    EXPECT_EQ(one->GetPoint(0)->GetX(), 10);
    EXPECT_NE(one->GetPoint(0), axis->GetPoint(1));
    EXPECT_EQ(one->GetResolution(), 10);
    EXPECT_EQ(ThrownMessage([&] { delete axis->GetSegment(2, 1); }),
              "Start index is greater than end index in TAxis::GetSegment");
    EXPECT_EQ(ThrownMessage([&] { delete axis->GetSegment(-1, 5); }), "Start index is out of range in TAxis::GetSegment");
    EXPECT_EQ(ThrownMessage([&] { delete axis->GetSegment(0, 3); }), "End index is out of range in TAxis::GetSegment");

    TPoint from(12, 0);
    TPoint to(3, 0);
    EXPECT_EQ(ThrownMessage([&] { delete axis->GetSegment(&from, &to, 'X'); }),
              "Start index is greater than end index in TAxis::GetSegment");
    std::unique_ptr<TAxis> byPoints(axis->GetSegment(&to, &from, 'X'));
    EXPECT_EQ(byPoints->GetSize(), 2);
    TPoint outside(25, 0);
    EXPECT_EQ(ThrownMessage([&] { delete axis->GetSegment(&outside, &from, 'X'); }), kOrdinate);
}

TEST(AxisClone, DeepCopyKeepsValuedPoints)
{
    TAxis axis(2.5);
    axis.AddPoint(new TMapPoint(1, 2, 3));
    axis.AddPoint(new TPoint(4, 5));
    std::unique_ptr<TAxis> copy(axis.Clone());
    EXPECT_EQ(copy->GetResolution(), 2.5);
    ASSERT_EQ(copy->GetSize(), 2);
    auto* valued = dynamic_cast<TMapPoint*>(copy->GetPoint(0));
    ASSERT_NE(valued, nullptr);
    EXPECT_EQ(valued->GetValue(), 3);
    EXPECT_NE(copy->GetPoint(1), axis.GetPoint(1));
    EXPECT_EQ(dynamic_cast<TMapPoint*>(copy->GetPoint(1)), nullptr);
}
