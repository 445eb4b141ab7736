#include "sys/TSignalCleanup.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `body` in a child process and returns its wait status.
template <class TBody>
int InChild(TBody body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

}  // namespace

#endif

TEST(SignalCleanup, StopSignalsRemoveRegisteredFilesAndEndWithTheSignal)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no signals; Ctrl-C there is an event of the console";
#else
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        TScratchDir dir;
        dir.Write("registered", "x");
        dir.Write("released", "x");
        dir.Write("other", "x");
        const int status = InChild([&] {
            const int directory = ::open(dir.Root().c_str(), O_RDONLY | O_DIRECTORY);
            TSignalCleanup::Install();
            TSignalCleanup::Register(directory, "registered");
            TSignalCleanup::Unregister(TSignalCleanup::Register(directory, "released"));
            ::raise(signalNumber);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << signalNumber;
        EXPECT_EQ(WTERMSIG(status), signalNumber);
        EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"other", "released"})) << signalNumber;
    }
#endif
}

TEST(SignalCleanup, IgnoredHangupStaysIgnoredAndBrokenPipesAreErrors)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither SIGHUP nor SIGPIPE";
#else
    TScratchDir dir;
    dir.Write("registered", "x");
    const int status = InChild([&] {
        ::signal(SIGHUP, SIG_IGN);  // as under nohup
        TSignalCleanup::Install();
        TSignalCleanup::Register(::open(dir.Root().c_str(), O_RDONLY | O_DIRECTORY), "registered");
        ::raise(SIGHUP);
        int ends[2];
        if (::pipe(ends) != 0) ::_exit(2);
        ::close(ends[0]);
        const bool broken = ::write(ends[1], "x", 1) == -1 && errno == EPIPE;
        ::_exit(broken ? 0 : 3);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"registered"}));
#endif
}
