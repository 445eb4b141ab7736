#include "grid/TPoint.h"

#include <gtest/gtest.h>

#include <memory>

TEST(Point, CloneKeepsDynamicTypeAndValue)
{
    TMapPoint original(1.5, -2, 7);
    std::unique_ptr<TPoint> copy(original.Clone());
    auto* valued = dynamic_cast<TMapPoint*>(copy.get());
    ASSERT_NE(valued, nullptr);
    EXPECT_EQ(valued->GetX(), 1.5);
    EXPECT_EQ(valued->GetY(), -2);
    EXPECT_EQ(valued->GetValue(), 7);
    EXPECT_NE(copy.get(), &original);

    TPoint plain(3, 4);
    std::unique_ptr<TPoint> plainCopy(plain.Clone());
    EXPECT_EQ(dynamic_cast<TMapPoint*>(plainCopy.get()), nullptr);
    EXPECT_EQ(TMapPoint(1, 2).GetValue(), 0);
}

TEST(Point, DistanceIsSymmetric)
{
    TPoint a(0, 0);
    TPoint b(3, 4);
    EXPECT_EQ(a.Distance(&b), 5);
    EXPECT_EQ(b.Distance(&a), 5);
}
