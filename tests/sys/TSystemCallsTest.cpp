#include "sys/TSystemCalls.h"

#include "sys/SystemCallFaults.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

TEST(SystemCalls, InterruptedCallsAreRepeatedButCloseIsNot)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    TSystemCallFaults faults;
    faults.Fail<&TSystemCallTable::Write>(EINTR, 0, 3);
    faults.Fail<&TSystemCallTable::Read>(EINTR, 0, 2);
    EXPECT_EQ(TSystemCalls::Write(ends[1], "abc", 3), 3);
    char text[4] = {};
    EXPECT_EQ(TSystemCalls::Read(ends[0], text, 3), 3);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(faults.Calls<&TSystemCallTable::Write>(), 4);
    EXPECT_EQ(faults.Calls<&TSystemCallTable::Read>(), 3);

    // Other errors come back at once, and after the countdown the call works again.
    faults.Fail<&TSystemCallTable::Write>(ENOSPC, 1);
    EXPECT_EQ(TSystemCalls::Write(ends[1], "x", 1), 1);
    EXPECT_EQ(TSystemCalls::Write(ends[1], "y", 1), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(TSystemCalls::Write(ends[1], "z", 1), 1);

    // Linux releases the descriptor even when close reports EINTR: a retry could close another.
    faults.Fail<&TSystemCallTable::Close>(EINTR);
    EXPECT_EQ(TSystemCalls::Close(ends[0]), -1);
    EXPECT_EQ(faults.Calls<&TSystemCallTable::Close>(), 1);
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(SystemCalls, RandomBytesFallBackToTheDevice)
{
    unsigned char first[16] = {};
    unsigned char second[16] = {};
    {
        TSystemCallFaults faults;
        const long& opens = faults.Calls<&TSystemCallTable::Open>();
        faults.Fail<&TSystemCallTable::GetRandom>(ENOSYS, 0, -1);
        EXPECT_TRUE(TSystemCalls::RandomBytes(first, sizeof first));
        EXPECT_EQ(opens, 1);  // /dev/urandom
        faults.Fail<&TSystemCallTable::Open>(EACCES, 0, -1);
        EXPECT_FALSE(TSystemCalls::RandomBytes(second, sizeof second));
    }
    EXPECT_TRUE(TSystemCalls::RandomBytes(second, sizeof second));
    EXPECT_NE(std::memcmp(first, second, sizeof first), 0);
}

TEST(SystemCalls, CurrentUmaskIsReadWithoutChangingIt)
{
    const mode_t saved = ::umask(027);
    EXPECT_EQ(TSystemCalls::CurrentUmask(), 027u);
    EXPECT_EQ(::umask(saved), 027u);
}
