#include "sys/TSystemCalls.h"

#include "TestSupport.h"
#include "sys/SystemCallFaults.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>

namespace {

#ifdef _WIN32
int MakePipe(int ends[2]) { return ::_pipe(ends, 4096, _O_BINARY); }
#else
int MakePipe(int ends[2]) { return ::pipe(ends); }
#endif

}  // namespace

TEST(SystemCalls, InterruptedCallsAreRepeatedButCloseIsNot)
{
    int ends[2];
    ASSERT_EQ(MakePipe(ends), 0);
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
#ifndef _WIN32
    ::close(ends[0]);  // Windows' C library rejects a descriptor closed already
#endif
    TSystemCalls::Direct().Close(ends[1]);
}

TEST(SystemCalls, RandomBytesFallBackToTheDevice)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no /dev/urandom; BCryptGenRandom is the only source there";
#endif
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
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file mode creation mask";
#else
    const mode_t saved = ::umask(027);
    EXPECT_EQ(TSystemCalls::CurrentUmask(), 027u);
    EXPECT_EQ(::umask(saved), 027u);
#endif
}

TEST(SystemCalls, DirectFileCallsKeepTheirLinuxMeaning)
{
    // On Linux these are the kernel's calls, the oracle; on Windows TWindowsCalls', which must
    // give the file classes the same results.
    const TSystemCallTable& direct = TSystemCalls::Direct();
    TScratchDir dir;
    struct stat status;
    const int directory = direct.Open(dir.Root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    ASSERT_GE(directory, 0);
    ASSERT_EQ(direct.Fstat(directory, &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(direct.Fsync(directory), 0);

    // An exclusive creation beside the directory descriptor, under a UTF-8 name; bytes pass
    // unchanged (no text mode).
    const char* name = "Zürich 雨 🌧.asc";
    const int file = direct.OpenAt(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    errno = 0;
    EXPECT_EQ(direct.OpenAt(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(direct.Write(file, "a\nb\r\n", 5), 5);
    EXPECT_EQ(direct.Fsync(file), 0);
    ASSERT_EQ(direct.Fstat(file, &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(direct.Close(file), 0);
    EXPECT_EQ(DirectoryEntries(dir.Root()), std::vector<std::string>{name});
    EXPECT_EQ(ReadText(dir.Path(name)), "a\nb\r\n");
    ASSERT_EQ(direct.Lstat(dir.Path(name).c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_size, 5);

    struct TRefused {
        std::string Path;
        int Flags;
        int Error;
    };
    const std::vector<TRefused> refused = {
        {dir.Path("missing.asc"), O_RDONLY, ENOENT},
        {dir.Path("missing/x.asc"), O_RDONLY, ENOENT},
        {dir.Path("missing/x.asc"), O_WRONLY | O_CREAT | O_EXCL, ENOENT},
        {dir.Path(name), O_RDONLY | O_DIRECTORY, ENOTDIR},
    };
    for (const TRefused& test : refused) {
        errno = 0;
        EXPECT_EQ(direct.Open(test.Path.c_str(), test.Flags | O_CLOEXEC, 0600), -1) << test.Path;
        EXPECT_EQ(errno, test.Error) << test.Path;
    }
    errno = 0;
    EXPECT_EQ(direct.Lstat(dir.Path("missing.asc").c_str(), &status), -1);
    EXPECT_EQ(errno, ENOENT);

    char buffer[16];
    const int input = direct.Open(dir.Path(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
    ASSERT_GE(input, 0);
    EXPECT_EQ(direct.Read(input, buffer, sizeof buffer), 5);
    EXPECT_EQ(direct.Read(input, buffer, sizeof buffer), 0);
    EXPECT_EQ(direct.Close(input), 0);

    // A rename replaces the other name's file; a second unlink finds nothing.
    dir.Write("old.asc", "old");
    EXPECT_EQ(direct.RenameAt(directory, name, directory, "old.asc"), 0);
    EXPECT_EQ(DirectoryEntries(dir.Root()), std::vector<std::string>{"old.asc"});
    EXPECT_EQ(ReadText(dir.Path("old.asc")), "a\nb\r\n");
    EXPECT_EQ(direct.UnlinkAt(directory, "old.asc", 0), 0);
    errno = 0;
    EXPECT_EQ(direct.UnlinkAt(directory, "old.asc", 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(direct.Close(directory), 0);

    // A pipe cannot be synced, and reads 0 once its writer has closed it.
    int ends[2];
    ASSERT_EQ(MakePipe(ends), 0);
    errno = 0;
    EXPECT_EQ(direct.Fsync(ends[1]), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(direct.Write(ends[1], "xyz", 3), 3);
    EXPECT_EQ(direct.Close(ends[1]), 0);
    EXPECT_EQ(direct.Read(ends[0], buffer, sizeof buffer), 3);
    EXPECT_EQ(direct.Read(ends[0], buffer, sizeof buffer), 0);
    EXPECT_EQ(direct.Close(ends[0]), 0);
}

TEST(SystemCalls, ClosedStandardDescriptorsGetTheNullDevice)
{
#ifdef _WIN32
    GTEST_SKIP() << "does nothing on Windows";
#else
    // In a child, since it closes this process's own standard descriptors: every combination of
    // closed ones ends with all three open, the closed ones on /dev/null, the others untouched.
    struct stat null;
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    for (int closed = 1; closed < 8; ++closed) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int kept = ::open("/proc/self/exe", O_RDONLY);  // a file that is not /dev/null
            for (int descriptor = 0; descriptor <= 2; ++descriptor) ::dup2(kept, descriptor);
            ::close(kept);
            // The lowest number free above the standard ones (the test runner may hold others).
            const int free = ::open("/dev/null", O_RDONLY);
            ::close(free);
            for (int descriptor = 0; descriptor <= 2; ++descriptor)
                if (closed & (1 << descriptor)) ::close(descriptor);
            TSystemCalls::OccupyStandardDescriptors();
            int wrong = 0;
            for (int descriptor = 0; descriptor <= 2; ++descriptor) {
                struct stat status;
                const bool isNull = ::fstat(descriptor, &status) == 0 && status.st_rdev == null.st_rdev &&
                    S_ISCHR(status.st_mode);
                if (isNull != ((closed & (1 << descriptor)) != 0)) wrong |= 1 << descriptor;
            }
            // Nothing else was left open.
            const int next = ::open("/dev/null", O_RDONLY);
            ::_exit(next == free ? wrong : 64 + wrong);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << closed;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "closed " << closed << ": wrong descriptors (bits) or 64 for a leak";
    }
#endif
}
