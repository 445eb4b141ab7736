#include "support/TOwnership.h"

#include "grid/TPoint.h"

#include <gtest/gtest.h>

#include <memory>

TEST(OwnershipHandOver, ListAndTableKeepOrderAndKeysAndLeaveTheOwnersEmpty)
{
    std::vector<std::unique_ptr<TPoint>> list;
    for (int k = 0; k < 3; ++k) list.push_back(std::make_unique<TPoint>(k, -k));
    const std::vector<TPoint*> held = {list[0].get(), list[1].get(), list[2].get()};
    std::vector<TPoint*> released = TOwnership::ReleaseAll(list);
    EXPECT_EQ(released, held);
    for (const auto& owner : list) EXPECT_EQ(owner, nullptr);
    for (TPoint* point : released) delete point;

    std::map<double, std::unique_ptr<TMapPoint>> table;
    table[2.5] = std::make_unique<TMapPoint>(1, 2, 3);
    table[-1] = std::make_unique<TMapPoint>(4, 5, 6);
    TMapPoint* atTwoAndAHalf = table[2.5].get();
    std::map<double, TMapPoint*> releasedTable = TOwnership::ReleaseAll(table);
    ASSERT_EQ(releasedTable.size(), 2u);
    EXPECT_EQ(releasedTable.at(2.5), atTwoAndAHalf);
    EXPECT_EQ(releasedTable.at(-1)->GetValue(), 6);
    for (const auto& entry : table) EXPECT_EQ(entry.second, nullptr);
    for (const auto& entry : releasedTable) delete entry.second;

    std::vector<std::unique_ptr<TPoint>> none;
    EXPECT_TRUE(TOwnership::ReleaseAll(none).empty());
}
