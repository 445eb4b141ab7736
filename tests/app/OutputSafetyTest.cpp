// The real gridmean executable when its output is under attack: a directory that refuses new
// files, a private output, links, a closed pipe, stop signals and file names with line breaks.
// Every failure is one line, status 1 (or the signal's own status), and leaves the old output.
// On Windows: an output held open by another program, a read-only output and a closed pipe.

#include "CommandRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kOld = "the previous mean\n";

using TRun = TCommandRun;

TRun Gridmean(const TScratchDir& dir, const std::vector<std::string>& arguments, const std::function<void()>& prepare = {})
{
    return RunCommand(dir, arguments, prepare);
}

#ifndef _WIN32

// Starts gridmean with standard output going to `captured`; `prepare` runs in the child just
// before the program replaces it.
pid_t Start(const std::vector<std::string>& arguments, const std::string& captured,
            const std::function<void()>& prepare = {})
{
    return StartCommand(arguments, captured, "/dev/null", prepare);
}

int Finish(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return ShellStatus(status);
}

void LimitFileSize(rlim_t bytes)
{
    struct rlimit limit = {bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

#endif

std::string Grid(long cols, long rows, const std::string& value = "1234.5",
                 const std::string& corner = "xllcorner 500000\nyllcorner 4100000\ncellsize 250")
{
    std::string text = "ncols " + std::to_string(cols) + "\nnrows " + std::to_string(rows) + "\n" + corner +
        "\nNODATA_value -9999\n";
    std::string row;
    for (long x = 0; x < cols; ++x) row += value + " ";
    row += "\n";
    text.reserve(text.size() + row.size() * rows);
    for (long y = 0; y < rows; ++y) text += row;
    return text;
}

}  // namespace

TEST(OutputSafety, ADirectoryThatRefusesNewFilesKeepsTheOldOutput)
{
    // The writable output in a 0555 directory, as a user that is not root: with a file size
    // limit that a write would hit, the old output must still be whole afterwards.
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX permission bits, other users to run as, or file size limits";
#else
    TScratchDir dir;
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(dir.Root().c_str(), 0755), 0);
    const std::string input = dir.Write("big.asc", Grid(500, 40));
    ASSERT_EQ(::mkdir(dir.Path("readonly").c_str(), 0755), 0);
    const std::string out = dir.Write("readonly/out.asc", kOld);
    if (root) {
        ASSERT_EQ(::chown(dir.Path("readonly").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(dir.Path("readonly").c_str(), 0555), 0);
    const TRun run = Gridmean(dir, {input, input, out}, [root] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
        // A build under a private directory (root's home, mode 0700) cannot be run as nobody.
        if (::access(GRIDMEAN_EXECUTABLE, X_OK) != 0) ::_exit(125);
        LimitFileSize(4096);
    });
    ::chmod(dir.Path("readonly").c_str(), 0755);
    if (run.Status == 125) GTEST_SKIP() << GRIDMEAN_EXECUTABLE << " cannot be run by an unprivileged user";
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "Unable to open file " + out + "\n");
    EXPECT_EQ(ReadText(out), kOld);
    EXPECT_EQ(DirectoryEntries(dir.Path("readonly")), (std::vector<std::string>{"out.asc"}));
#endif
}

TEST(OutputSafety, ALinkStaysAndItsTargetIsWholeOrUntouched)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need rights on Windows that few users have; there a link is replaced like a file";
#else
    TScratchDir dir;
    const std::string input = dir.Write("big.asc", Grid(500, 40));
    ASSERT_EQ(::mkdir(dir.Path("real").c_str(), 0755), 0);
    const std::string target = dir.Write("real/out.asc", kOld);
    const std::string link = dir.Path("out.asc");
    const std::string dangling = dir.Path("new.asc");
    ASSERT_EQ(::symlink("real/out.asc", link.c_str()), 0);
    ASSERT_EQ(::symlink("real/new.asc", dangling.c_str()), 0);
    for (const std::string& name : {link, dangling}) {
        const TRun failed = Gridmean(dir, {input, input, name}, [] { LimitFileSize(4096); });
        EXPECT_EQ(failed.Status, 1);
        EXPECT_EQ(failed.Output, "Unable to write file " + name + "\n");
    }
    EXPECT_EQ(ReadText(target), kOld);
    EXPECT_EQ(DirectoryEntries(dir.Path("real")), (std::vector<std::string>{"out.asc"}));

    for (const std::string& name : {link, dangling}) {
        const TRun run = Gridmean(dir, {input, input, name});
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Output, "");
        struct stat status;
        ASSERT_EQ(::lstat(name.c_str(), &status), 0);
        EXPECT_TRUE(S_ISLNK(status.st_mode));
    }
    EXPECT_EQ(ReadText(target).substr(0, 19), "ncols 500\nnrows 40\n");
    EXPECT_EQ(ReadText(dir.Path("real/new.asc")), ReadText(target));
#endif
}

TEST(OutputSafety, AClosedPipeGivesStatusOneAndTheMessage)
{
    TScratchDir dir;
    const std::string input = dir.Write("a.asc", Grid(200, 200));  // far more than a pipe holds
    const std::string captured = dir.Root() + ".stdout";
#ifdef _WIN32
    // A named pipe whose reader goes away after the first bytes, as a pager that quits early.
    const std::string pipe = "\\\\.\\pipe\\gridmean-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(TWindowsCalls::Wide(pipe).c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const TStartedProcess child = StartProcess(GRIDMEAN_EXECUTABLE, {input, input, pipe}, captured);
    ASSERT_NE(child.Process, nullptr);
    // Overlapped, so that a program that never connects fails the test instead of hanging it.
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto Await = [&](BOOL started, DWORD& count) {
        count = 0;
        if (!started) {
            const DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED) return true;
            if (error != ERROR_IO_PENDING || WaitForSingleObject(overlapped.hEvent, 30000) != WAIT_OBJECT_0) return false;
        }
        return GetOverlappedResult(server, &overlapped, &count, FALSE) != 0;
    };
    std::string head;
    DWORD count = 0;
    if (Await(ConnectNamedPipe(server, &overlapped), count)) {
        char buffer[10];
        while (head.size() < sizeof buffer) {
            ResetEvent(overlapped.hEvent);
            const DWORD wanted = static_cast<DWORD>(sizeof buffer - head.size());
            if (!Await(ReadFile(server, buffer, wanted, nullptr, &overlapped), count) || count == 0) break;
            head.append(buffer, count);
        }
    }
    CloseHandle(server);
    CloseHandle(overlapped.hEvent);
    EXPECT_EQ(head, "ncols 200\n");
    EXPECT_EQ(FinishProcess(child).Status, 1);
    EXPECT_EQ(ReadText(captured), "Unable to write file " + pipe + "\n");
    std::remove(captured.c_str());
#else
    // The grid to descriptor 3 and the message to standard output; then the grid to standard
    // output itself, where the message is lost with the pipe but the status remains.
    for (const std::string output : {"/dev/fd/3", "/dev/stdout"}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const pid_t child = Start({input, input, output}, captured, [&] {
            ::close(ends[0]);  // the process must not hold the reading end itself
            ::dup2(ends[1], output == "/dev/stdout" ? 1 : 3);
        });
        ::close(ends[1]);
        char head[10];
        size_t got = 0;
        for (ssize_t n; got < sizeof head && (n = ::read(ends[0], head + got, sizeof head - got)) > 0;) got += n;
        ::close(ends[0]);
        EXPECT_EQ(std::string(head, got), "ncols 200\n");
        EXPECT_EQ(Finish(child), 1) << output;
        if (output == "/dev/fd/3") {
            EXPECT_EQ(ReadText(captured), "Unable to write file /dev/fd/3\n");
        }
    }
    std::remove(captured.c_str());
#endif
}

#ifndef _WIN32

namespace {

// The descriptor through which the process writes a file in `directory` that is not one of the
// named inputs (its temporary output, named or not), or an empty string while there is none.
std::string TemporaryDescriptor(pid_t process, const std::string& directory, const std::string& input)
{
    const std::string fds = "/proc/" + std::to_string(process) + "/fd";
    for (const std::string& fd : DirectoryEntries(fds)) {
        char target[4096];
        const ssize_t length = ::readlink((fds + "/" + fd).c_str(), target, sizeof target);
        if (length <= 0) continue;
        const std::string path(target, length);
        if (path.rfind(directory + "/", 0) == 0 && path != input) return fds + "/" + fd;
    }
    return "";
}

}  // namespace

#endif

TEST(OutputSafety, StopSignalsDuringTheWriteLeaveNoTemporaryFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no signals to send to a process; Ctrl-C there is an event of the console";
#else
    TScratchDir dir;
    const std::string input = dir.Write("big.asc", Grid(1500, 1500));
    const std::string out = dir.Path("out.asc");
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            dir.Write("out.asc", kOld);
            ::chmod(out.c_str(), 0600);
            const std::string captured = dir.Root() + ".stdout";
            const pid_t child = Start({input, input, out}, captured);
            std::string temporary;
            mode_t mode = 0;
            for (int status = 0; temporary.empty() && ::waitpid(child, &status, WNOHANG) == 0;) {
                temporary = TemporaryDescriptor(child, dir.Root(), input);
                struct stat file;
                if (!temporary.empty() && ::stat(temporary.c_str(), &file) == 0) mode = file.st_mode & 07777;
            }
            if (temporary.empty()) continue;  // it finished first; try again
            ::kill(child, signalNumber);
            const int status = Finish(child);
            if (status == 0) continue;  // the signal came after the rename
            caught = true;
            EXPECT_EQ(status, 128 + signalNumber);
            EXPECT_EQ(mode, 0600u) << "the temporary file of a private output was readable by others";
            EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"big.asc", "out.asc"}));
            EXPECT_EQ(ReadText(out), kOld);
            std::remove(captured.c_str());
        }
        EXPECT_TRUE(caught) << "signal " << signalNumber << " never arrived during the write";
    }
#endif
}

TEST(OutputSafety, StandardOutputIsWrittenAsTheCallerOpenedIt)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no /dev/stdout";
#else
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", Grid(3, 2, "1"));
    const std::string b = dir.Write("b.asc", Grid(3, 2, "3"));
    ASSERT_EQ(Gridmean(dir, {a, b, dir.Path("mean.asc")}).Status, 0);
    const std::string expected = ReadText(dir.Path("mean.asc"));  // the grid as a file receives it
    const std::string log = dir.Path("log");
    struct TCase {
        const char* Shape;
        int Flags;  // how the caller opened standard output on the log
        std::string Output;
    };
    const std::vector<TCase> cases = {
        {">> log: appended after what it held", O_WRONLY | O_APPEND, "earlier lines\n" + expected},
        {"> log: the grid alone", O_WRONLY | O_TRUNC, expected},
    };
    for (const std::string output : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        for (const TCase& test : cases) {
            dir.Write("log", "earlier lines\n");
            const TRun run = Gridmean(dir, {a, b, output}, [&] {
                const int descriptor = ::open(log.c_str(), test.Flags);
                ::dup2(descriptor, 1);
                ::close(descriptor);
            });
            EXPECT_EQ(run.Status, 0) << output << ", " << test.Shape;
            EXPECT_EQ(ReadText(log), test.Output) << output << ", " << test.Shape;
        }
    }
#endif
}

TEST(OutputSafety, ClosedStandardDescriptorsAreNotTakenByInputs)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no /dev/stdout and no descriptors to close before a program starts";
#else
    // With descriptor 1 closed, the first input opened would take it, and /dev/stdout would then
    // name that input. Standard output is /dev/null instead: the grid and any message go there,
    // and the status tells.
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", Grid(3, 2, "1"));
    const std::string b = dir.Write("b.asc", Grid(3, 2, "3"));
    for (const std::vector<int>& closed : {std::vector<int>{1}, std::vector<int>{0, 1, 2}}) {
        for (const std::string output : {"/dev/stdout", "/dev/fd/1"}) {
            const std::string context = output + " with " + std::to_string(closed.size()) + " closed";
            const TRun run = Gridmean(dir, {a, b, output}, [&] {
                for (int descriptor : closed) ::close(descriptor);
            });
            EXPECT_EQ(run.Status, 0) << context;
            EXPECT_EQ(run.Output, "") << context;
            EXPECT_EQ(ReadText(a), Grid(3, 2, "1")) << context;
            EXPECT_EQ(ReadText(b), Grid(3, 2, "3")) << context;
        }
        // A failure still gives status 1, its message lost with standard output.
        const TRun failed = Gridmean(dir, {a, dir.Path("missing.asc"), "/dev/stdout"}, [&] {
            for (int descriptor : closed) ::close(descriptor);
        });
        EXPECT_EQ(failed.Status, 1);
        EXPECT_EQ(ReadText(a), Grid(3, 2, "1"));
        EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"a.asc", "b.asc"}));
    }
#endif
}

TEST(OutputSafety, FileNamesWithControlCharactersGiveOneLine)
{
    // Every failure that names a file, with a name holding a line feed, a tab and an escape
    // character: one line on standard output naming it escaped, status 1, and at most one line on
    // standard error.
    TScratchDir dir;
    const std::string odd = "\n\t\x1b";
    const std::string shown = "\\n\\t\\x1b";
    const std::string a = dir.Write("a.asc", Grid(2, 2));
    const std::string out = dir.Path("out.asc");
    struct TCase {
        std::vector<std::string> Arguments;  // NAME stands for the odd name's path
        std::string Name;                    // the odd file's name in the directory
        std::string Expected;                // the message, NAME for the escaped path
        std::function<void(const std::string& path)> Make;
    };
    std::vector<TCase> cases = {
        {{a, "NAME", out}, "m" + odd + ".asc", "Unable to open file NAME", {}},
        {{a, a, "NAME/out.asc"}, "d" + odd, "Unable to open file NAME/out.asc", {}},
    };
#ifndef _WIN32
    // Files whose names hold control characters, which Windows' file systems refuse.
    const std::string shifted = Grid(2, 2, "1", "xllcorner 600000\nyllcorner 4100000\ncellsize 250");
    const auto text = [](const std::string& content) {
        return [content](const std::string& path) { std::ofstream(TestPath(path), std::ios::binary) << content; };
    };
    cases.push_back({{a, "NAME", out}, "f" + odd + ".asc", "File format error: expected to find ncols tag",
                     text("nothing\n")});
    cases.push_back({{"--check-geometry", a, "NAME", out}, "g" + odd + ".asc",
                     "Geometry differs: NAME has xllcorner 600000, " + a + " has 500000", text(shifted)});
    const auto link = [](const std::string& target) {
        return [target](const std::string& path) { ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0); };
    };
    // /proc/self/mem fails to read at its start; /dev/full takes no byte.
    cases.push_back({{a, "NAME", out}, "r" + odd + ".asc", "Unable to read file NAME", link("/proc/self/mem")});
    cases.push_back({{a, a, "NAME"}, "w" + odd + ".asc", "Unable to write file NAME", link("/dev/full")});
    cases.push_back({{a, a, "NAME"}, "z" + odd + ".asc.gz", "Unable to write file NAME", link("/dev/full")});
#endif
    for (TCase& test : cases) {
        const std::string path = dir.Path(test.Name);
        if (test.Make) test.Make(path);
        std::vector<std::string> arguments;
        for (const std::string& argument : test.Arguments) {
            const size_t at = argument.find("NAME");
            arguments.push_back(at == std::string::npos ? argument : argument.substr(0, at) + path + argument.substr(at + 4));
        }
        std::string expected = test.Expected;
        const size_t at = expected.find("NAME");
        if (at != std::string::npos) expected.replace(at, 4, dir.Path(test.Name.substr(0, 1) + shown + test.Name.substr(1 + odd.size())));
        const TRun run = Gridmean(dir, arguments);
        EXPECT_EQ(run.Status, 1) << expected;
        EXPECT_EQ(run.Output, expected + "\n");
        EXPECT_LE(std::count(run.Errors.begin(), run.Errors.end(), '\n'), 1) << run.Errors;
    }
}

TEST(OutputSafety, ProjectionFilesWithControlCharactersGiveOneLine)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows' file systems refuse names with control characters";
#endif
    // The projection files' failures: too large to compare, and differing coordinate systems.
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", Grid(2, 2));
    dir.Write("a.prj", "GEOGCS[1]");
    const std::string b = dir.Write("b\n\t\x1b.asc", Grid(2, 2));
    const std::string shownPrj = dir.Path("b\\n\\t\\x1b.prj");
    const std::string out = dir.Path("out.asc");
    dir.Write("b\n\t\x1b.prj", "GEOGCS[2]");
    TRun run = Gridmean(dir, {"--check-geometry", a, b, out});
    EXPECT_EQ(run.Output, "Geometry differs: " + dir.Path("b\\n\\t\\x1b.asc") + " has another coordinate system (" +
                              shownPrj + ") than " + a + "\n");
    dir.Write("b\n\t\x1b.prj", std::string(2 << 20, 'x'));
    run = Gridmean(dir, {"--check-geometry", a, b, out});
    EXPECT_EQ(run.Output, "File format error: " + shownPrj + " is too large for a projection file\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(FileExists(out));
#ifndef _WIN32
    // The first input's projection file, copied beside the output, fails to read.
    ::unlink(dir.Path("b\n\t\x1b.prj").c_str());
    ASSERT_EQ(::symlink("/proc/self/mem", dir.Path("b\n\t\x1b.prj").c_str()), 0);
    run = Gridmean(dir, {b, a, out});
    EXPECT_EQ(run.Output, "Unable to read file " + shownPrj + "\n");
    EXPECT_FALSE(FileExists(out));
#endif
}

TEST(OutputSafety, LaterInputsWithFewerRowsOrColumns)
{
    TScratchDir dir;
    const std::string first = dir.Write("first.asc", Grid(3, 2));
    const std::string out = dir.Path("out.asc");
    struct TCase {
        std::string Text;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {Grid(3, 1), "Y-dimension of maps are inconsistent in TMapTools::Sum\n"},
        {Grid(2, 2), "X-dimension of maps are inconsistent in TMapTools::Sum\n"},
        // Enough values for the first grid's shape do not make up for the header.
        {Grid(3, 1) + "1 2 3\n", "Y-dimension of maps are inconsistent in TMapTools::Sum\n"},
        {Grid(2, 3), "X-dimension of maps are inconsistent in TMapTools::Sum\n"},
    };
    for (const TCase& test : cases) {
        const std::string later = dir.Write("later.asc", test.Text);
        const TRun run = Gridmean(dir, {first, later, out});
        EXPECT_EQ(run.Status, 1) << test.Text;
        EXPECT_EQ(run.Output, test.Message) << test.Text;
        EXPECT_FALSE(FileExists(out));
    }
}

TEST(OutputSafety, FifteenDigitGeoreferencingIsWrittenBackExactly)
{
    TScratchDir dir;
    const std::string corner = "xllcorner 512345.123456789\nyllcorner 4072345.98765432\ncellsize 0.000277777777777778";
    const std::string a = dir.Write("a.asc", Grid(3, 2, "1", corner));
    const std::string b = dir.Write("b.asc", Grid(3, 2, "3", corner));
    const TRun run = Gridmean(dir, {a, b, dir.Path("out.asc")});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(ReadText(dir.Path("out.asc")), Grid(3, 2, "2", corner));
}

#ifdef _WIN32

TEST(OutputSafety, AnOutputHeldOpenByAnotherProgramKeepsItsOldContent)
{
    // Windows programs commonly open a file without letting others rename or delete it; the
    // replacement then fails, and the old output stays whole with no temporary file beside it.
    TScratchDir dir;
    const std::string input = dir.Write("a.asc", Grid(3, 2));
    const std::string out = dir.Write("out.asc", kOld);
    const HANDLE holder = CreateFileW(TWindowsCalls::Wide(out).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const TRun held = Gridmean(dir, {input, input, out});
    CloseHandle(holder);
    EXPECT_EQ(held.Status, 1);
    EXPECT_EQ(held.Output, "Unable to write file " + out + "\n");
    EXPECT_EQ(ReadText(out), kOld);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"a.asc", "out.asc"}));

    const TRun freed = Gridmean(dir, {input, input, out});
    EXPECT_EQ(freed.Status, 0);
    EXPECT_NE(ReadText(out).find("\n1234.5 1234.5 1234.5 \n"), std::string::npos);
}

TEST(OutputSafety, AReadOnlyOutputIsRefusedBeforeAnythingIsWritten)
{
    TScratchDir dir;
    const std::string input = dir.Write("a.asc", Grid(3, 2));
    const std::string out = dir.Write("out.asc", kOld);
    const std::wstring wide = TWindowsCalls::Wide(out);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    const TRun run = Gridmean(dir, {input, input, out});
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "Unable to open file " + out + "\n");
    EXPECT_EQ(ReadText(out), kOld);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"a.asc", "out.asc"}));
}

TEST(OutputSafety, TheNullDeviceIsWrittenInPlace)
{
    TScratchDir dir;
    const std::string input = dir.Write("a.asc", Grid(3, 2));
    for (const std::string device : {"NUL", "nul"}) {
        const TRun run = Gridmean(dir, {input, input, device});
        EXPECT_EQ(run.Status, 0) << device;
        EXPECT_EQ(run.Output, "") << device;
    }
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"a.asc"}));
}

#endif

#ifndef _WIN32
TEST(OutputSafety, AFailedProjectionFileChangesNoOutput)
{
    // The projection file is read before anything is written and renamed right after the grid,
    // so that a run that fails for it leaves the old grid and the old projection file.
    struct TCase {
        std::string Label;
        std::function<void(const TScratchDir& dir)> Make;
        std::string Message;  // PRJ for the input's projection file, OUT for the output's
        long SizeLimit;
    };
    const std::vector<TCase> cases = {
        {"unreadable", [](const TScratchDir& dir) { ASSERT_EQ(::symlink("/proc/self/mem", dir.Path("a.prj").c_str()), 0); },
         "Unable to read file PRJ", -1},
        {"too large", [](const TScratchDir& dir) { ASSERT_EQ(::truncate(dir.Write("a.prj", "x").c_str(), 2L << 30), 0); },
         "File format error: PRJ is too large for a projection file", -1},
        {"beyond the file size limit", [](const TScratchDir& dir) { dir.Write("a.prj", std::string(600000, 'x')); },
         "Unable to write file OUT", 100000},
        {"a directory at the output's", [](const TScratchDir& dir) {
             dir.Write("a.prj", "GEOGCS[1]");
             ::unlink(dir.Path("o.prj").c_str());
             ASSERT_EQ(::mkdir(dir.Path("o.prj").c_str(), 0700), 0);
         },
         "Unable to open file OUT", -1},
        {"a FIFO at the output's", [](const TScratchDir& dir) {
             dir.Write("a.prj", "GEOGCS[1]");
             ::unlink(dir.Path("o.prj").c_str());
             ASSERT_EQ(::mkfifo(dir.Path("o.prj").c_str(), 0600), 0);
         },
         "Unable to open file OUT", -1},
    };
    for (const TCase& test : cases) {
        TScratchDir dir;
        const std::string a = dir.Write("a.asc", Grid(3, 2));
        const std::string out = dir.Write("o.asc", kOld);
        dir.Write("o.prj", "old projection");
        test.Make(dir);
        const std::vector<std::string> before = DirectoryEntries(dir.Root());
        const TRun run = Gridmean(dir, {a, a, out}, [&test] {
            if (test.SizeLimit > 0) LimitFileSize(static_cast<rlim_t>(test.SizeLimit));
        });
        std::string message = test.Message;
        message.replace(message.find(message.find("PRJ") != std::string::npos ? "PRJ" : "OUT"), 3,
                        message.find("PRJ") != std::string::npos ? dir.Path("a.prj") : dir.Path("o.prj"));
        EXPECT_EQ(run.Status, 1) << test.Label;
        EXPECT_EQ(run.Output, message + "\n") << test.Label;
        EXPECT_EQ(ReadText(out), kOld) << test.Label;
        EXPECT_EQ(DirectoryEntries(dir.Root()), before) << test.Label;
        struct stat status;
        if (::stat(dir.Path("o.prj").c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            EXPECT_EQ(ReadText(dir.Path("o.prj")), "old projection") << test.Label;
        }
    }
}
#endif
