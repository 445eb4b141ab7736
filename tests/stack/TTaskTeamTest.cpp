#include "stack/TTaskTeam.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

TEST(TaskTeam, AFailingTaskEndsItsBatchOnlyOnceEveryTaskHasEnded)
{
    // The batch's first failure is thrown after all its tasks ran, on teams of every size, and
    // the team runs the next batch as before.
    for (unsigned members : {1u, 2u, 4u}) {
        TTaskTeam team(members);
        std::vector<std::atomic<int>> ran(64);
        const std::string message = ThrownMessage([&] {
            team.Run(ran.size(), [&](size_t i) {
                ran[i]++;
                if (i % 9 == 3) throw "task failed";
            });
        });
        EXPECT_EQ(message, "task failed");
        if (members > 1) {
            for (const auto& count : ran) EXPECT_EQ(count.load(), 1);
        }
        std::atomic<int> next{0};
        team.Run(10, [&](size_t) { next++; });
        EXPECT_EQ(next.load(), 10);
    }
}
