// The output file under failure: every system call of the writer is made to fail in turn, and
// what is left on disk is checked.

#include "files/TARCGISFileTools.h"
#include "files/TFileSink.h"
#include "grid/TMap.h"
#include "sys/TSignalCleanup.h"

#include "TestSupport.h"
#include "sys/SystemCallFaults.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include "sys/TWindowsCalls.h"
#include <io.h>
#include "sys/TWindowsApi.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>
#include <sstream>
#include <thread>

namespace {

const std::string kOld = "the previous grid\n";

std::unique_ptr<TMap> Sample() { return MakeMap({{1.5, 2}, {-9999, 4}}, 500000, 4100000, 250); }

// What the in-memory road writes for the map: the text every file must hold after a success.
std::string TextOf(TMap* map)
{
    std::ostringstream text;
    TARCGISFileTools::WriteARCGISFile(map, text);
    return text.str();
}

std::string WriteMessage(TMap* map, const std::string& name)
{
    return ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(map, name); });
}

#ifdef _WIN32
// The lowest free descriptor, which a descriptor left open would have taken.
size_t OpenDescriptors()
{
    const int probe = ::_open("NUL", _O_RDONLY);
    ::_close(probe);
    return static_cast<size_t>(probe);
}
#else
size_t OpenDescriptors() { return DirectoryEntries("/proc/self/fd").size(); }

mode_t ModeOf(const std::string& path)
{
    struct stat status = {};
    ::lstat(path.c_str(), &status);
    return status.st_mode;
}
#endif

// A file system without unnamed temporary files: the writer falls back to a named one.
int OpenAtWithoutTmpfile(int directory, const char* path, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return TSystemCalls::Direct().OpenAt(directory, path, flags, mode);
}

enum class TRoute { Unnamed, Named };
#ifdef _WIN32
const TRoute kRoutes[] = {TRoute::Named};  // Windows has no unnamed files
#else
const TRoute kRoutes[] = {TRoute::Unnamed, TRoute::Named};
#endif
const char* RouteName(TRoute route) { return route == TRoute::Unnamed ? "unnamed" : "named"; }

void UseRoute(TRoute route)
{
    if (route == TRoute::Named) TSystemCalls::Table().OpenAt = OpenAtWithoutTmpfile;
}

// Where the output goes: an existing file, a new one, or an existing file behind a link.
enum class TTargetKind { Existing, New, Linked };
#ifdef _WIN32
const TTargetKind kTargetKinds[] = {TTargetKind::Existing, TTargetKind::New};  // links need rights there
#else
const TTargetKind kTargetKinds[] = {TTargetKind::Existing, TTargetKind::New, TTargetKind::Linked};
#endif

struct TSetup {
    std::string Name;    // what the writer is given
    std::string Target;  // the file that is replaced
    std::vector<std::string> Entries;  // the scratch directory's names when the old state holds
};

TSetup Prepare(const TScratchDir& dir, TTargetKind kind)
{
    if (kind == TTargetKind::New) return {dir.Path("out.asc"), dir.Path("out.asc"), {}};
    const std::string target = dir.Write("out.asc", kOld);
    ::chmod(target.c_str(), 0640);
    if (kind == TTargetKind::Existing) return {target, target, {"out.asc"}};
#ifndef _WIN32
    ::symlink("out.asc", dir.Path("link.asc").c_str());
#endif
    return {dir.Path("link.asc"), target, {"link.asc", "out.asc"}};
}

// Fails each call of the kind in turn. After every failure the output is the old file or the
// whole new one (the latter only when the directory sync after the rename failed), nothing else
// is left in the directory and no descriptor stays open.
template <auto Member>
void FailEachCall(const char* call)
{
    auto map = Sample();
    const std::string fresh = TextOf(map.get());
    for (TRoute route : kRoutes) {
        for (TTargetKind kind : kTargetKinds) {
            long calls = 0;
            {
                TScratchDir dir;
                const TSetup setup = Prepare(dir, kind);
                TSystemCallFaults faults;
                UseRoute(route);
                const long& counted = faults.Calls<Member>();
                TARCGISFileTools::WriteARCGISFile(map.get(), setup.Name);
                calls = counted;
            }
            for (long k = 0; k < calls; ++k) {
                TScratchDir dir;
                const TSetup setup = Prepare(dir, kind);
                const size_t descriptors = OpenDescriptors();
                std::string message;
                {
                    TSystemCallFaults faults;
                    UseRoute(route);
                    faults.Fail<Member>(EIO, k);
                    message = WriteMessage(map.get(), setup.Name);
                }
                const std::string context = std::string(call) + " #" + std::to_string(k + 1) + ", " + RouteName(route) +
                    ", kind " + std::to_string(static_cast<int>(kind)) + ": " + message;
                const std::string now = FileExists(setup.Target) ? ReadText(setup.Target) : "<none>";
                std::vector<std::string> entries = setup.Entries;
                if (kind == TTargetKind::New && now != "<none>") entries = {"out.asc"};
                EXPECT_EQ(DirectoryEntries(dir.Root()), entries) << context;
                EXPECT_EQ(OpenDescriptors(), descriptors) << context;
                if (message == "<no throw>") {
                    EXPECT_EQ(now, fresh) << context;
                    continue;
                }
                EXPECT_TRUE(message == "Unable to open file " + setup.Name || message == "Unable to write file " + setup.Name)
                    << context;
                if (now == fresh)
                    EXPECT_EQ(std::string(call), "Fsync") << context;
                else
                    EXPECT_EQ(now, kind == TTargetKind::New ? "<none>" : kOld) << context;
            }
        }
    }
}

}  // namespace

TEST(FileSink, EveryFailingCallLeavesTheOldFileOrTheWholeNewOne)
{
    FailEachCall<&TSystemCallTable::Open>("Open");
    FailEachCall<&TSystemCallTable::OpenAt>("OpenAt");
    FailEachCall<&TSystemCallTable::Write>("Write");
    FailEachCall<&TSystemCallTable::Fchown>("Fchown");
    FailEachCall<&TSystemCallTable::Fchmod>("Fchmod");
    FailEachCall<&TSystemCallTable::Fsync>("Fsync");
    FailEachCall<&TSystemCallTable::LinkAt>("LinkAt");
    FailEachCall<&TSystemCallTable::Close>("Close");
    FailEachCall<&TSystemCallTable::RenameAt>("RenameAt");
    FailEachCall<&TSystemCallTable::Lstat>("Lstat");
    FailEachCall<&TSystemCallTable::ReadLink>("ReadLink");
    FailEachCall<&TSystemCallTable::GetRandom>("GetRandom");
    // Every failure released its slot for signal cleanup.
    const int slot = TSignalCleanup::Register(-1, "probe");
    EXPECT_GE(slot, 0);
    TSignalCleanup::Unregister(slot);
}

TEST(FileSink, EachFailurePathGivesItsMessage)
{
    using TFaults = TSystemCallFaults;
    const std::string kOpen = "Unable to open file ";
    const std::string kWrite = "Unable to write file ";
    struct TCase {
        const char* Path;
        std::function<void(TFaults&)> Arrange;
        std::string Message;  // empty: the write succeeds
        bool NewInPlace;      // the new grid is in place
        bool UnnamedOnly;
    };
    const std::vector<TCase> cases = {
        {"temporary refused", [](TFaults& f) { f.Fail<&TSystemCallTable::OpenAt>(EACCES, 0, -1); }, kOpen, false, false},
        {"directory missing", [](TFaults& f) { f.Fail<&TSystemCallTable::Open>(ENOENT); }, kOpen, false, false},
        {"target unreadable", [](TFaults& f) { f.Fail<&TSystemCallTable::Lstat>(EACCES); }, kOpen, false, false},
        {"disk full", [](TFaults& f) { f.Fail<&TSystemCallTable::Write>(ENOSPC); }, kWrite, false, false},
        {"mode refused", [](TFaults& f) { f.Fail<&TSystemCallTable::Fchmod>(EPERM); }, kWrite, false, false},
        {"file sync", [](TFaults& f) { f.Fail<&TSystemCallTable::Fsync>(EIO); }, kWrite, false, false},
        {"naming", [](TFaults& f) { f.Fail<&TSystemCallTable::LinkAt>(ENOSPC); }, kWrite, false, true},
        {"close", [](TFaults& f) { f.Fail<&TSystemCallTable::Close>(EIO); }, kWrite, false, false},
        {"rename", [](TFaults& f) { f.Fail<&TSystemCallTable::RenameAt>(EXDEV); }, kWrite, false, false},
        {"directory sync", [](TFaults& f) { f.Fail<&TSystemCallTable::Fsync>(EIO, 1); }, kWrite, true, false},
        // Paths that must not fail the write:
        {"owner refused", [](TFaults& f) { f.Fail<&TSystemCallTable::Fchown>(EPERM); }, "", true, false},
        {"interrupted writes", [](TFaults& f) { f.Fail<&TSystemCallTable::Write>(EINTR, 0, 3); }, "", true, false},
#ifndef _WIN32  // Windows has no second source of random bytes
        {"no getrandom", [](TFaults& f) { f.Fail<&TSystemCallTable::GetRandom>(ENOSYS, 0, -1); }, "", true, false},
#endif
        {"sync unsupported", [](TFaults& f) { f.Fail<&TSystemCallTable::Fsync>(EINVAL, 0, -1); }, "", true, false},
        {"directory not listable", [](TFaults& f) { f.Fail<&TSystemCallTable::Open>(EACCES); }, "", true, false},
        {"no /proc", [](TFaults& f) { f.Fail<&TSystemCallTable::Lstat>(ENOENT, 1); }, "", true, true},
    };
    auto map = Sample();
    const std::string fresh = TextOf(map.get());
    for (TRoute route : kRoutes) {
        for (const TCase& test : cases) {
            if (test.UnnamedOnly && route == TRoute::Named) continue;
            TScratchDir dir;
            const std::string target = dir.Write("out.asc", kOld);
            std::string message;
            {
                TFaults faults;
                UseRoute(route);
                test.Arrange(faults);
                message = WriteMessage(map.get(), target);
            }
            const std::string context = std::string(test.Path) + ", " + RouteName(route);
            EXPECT_EQ(message, test.Message.empty() ? "<no throw>" : test.Message + target) << context;
            EXPECT_EQ(ReadText(target), test.NewInPlace ? fresh : kOld) << context;
            EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"out.asc"})) << context;
        }
    }
}

namespace {

std::vector<std::string> gCalls;

std::string Kind(int descriptor)
{
    struct stat status;
    return TSystemCalls::Direct().Fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode) ? "directory" : "file";
}
int LoggedFchown(int d, uid_t u, gid_t g) { gCalls.push_back("fchown"); return TSystemCalls::Direct().Fchown(d, u, g); }
int LoggedFchmod(int d, mode_t m) { gCalls.push_back("fchmod"); return TSystemCalls::Direct().Fchmod(d, m); }
int LoggedFsync(int d) { gCalls.push_back("fsync " + Kind(d)); return TSystemCalls::Direct().Fsync(d); }
int LoggedClose(int d) { gCalls.push_back("close " + Kind(d)); return TSystemCalls::Direct().Close(d); }
int LoggedLinkAt(int fd, const char* f, int td, const char* t, int flags)
{
    gCalls.push_back("link");
    return TSystemCalls::Direct().LinkAt(fd, f, td, t, flags);
}
int LoggedRenameAt(int fd, const char* f, int td, const char* t)
{
    gCalls.push_back("rename");
    return TSystemCalls::Direct().RenameAt(fd, f, td, t);
}

}  // namespace

TEST(FileSink, DataAndThenNameReachTheDiskInOrder)
{
    auto map = Sample();
    for (TRoute route : kRoutes) {
        TScratchDir dir;
        const std::string target = dir.Write("out.asc", kOld);
        gCalls.clear();
        {
            TSystemCallFaults faults;
            UseRoute(route);
            TSystemCallTable& table = TSystemCalls::Table();
            table.Fchown = LoggedFchown;
            table.Fchmod = LoggedFchmod;
            table.Fsync = LoggedFsync;
            table.Close = LoggedClose;
            table.LinkAt = LoggedLinkAt;
            table.RenameAt = LoggedRenameAt;
            TARCGISFileTools::WriteARCGISFile(map.get(), target);
        }
        std::vector<std::string> expected = {"fchown", "fchmod", "fsync file", "close file", "rename", "fsync directory",
                                             "close directory"};
        if (route == TRoute::Unnamed) expected.insert(expected.begin() + 3, "link");
        EXPECT_EQ(gCalls, expected) << RouteName(route);
    }
}

namespace {

std::vector<std::pair<long long, long long>> gWritebacks;  // offset and size of each hint

int LoggedStartWriteback(int descriptor, long long offset, long long size)
{
    gWritebacks.push_back({offset, size});
    return TSystemCalls::Direct().StartWriteback(descriptor, offset, size);
}

int RefusedStartWriteback(int, long long offset, long long size)
{
    gWritebacks.push_back({offset, size});
    errno = EIO;
    return -1;
}

}  // namespace

TEST(FileSink, WritebackStartsAsTheBytesComeAndIsOnlyAHint)
{
    // 5 MiB in pieces of 96 KiB: hints in order over the bytes written, at least 1 MiB each, the
    // last within 1 MiB of the end; a refused hint changes nothing of the file.
    const std::string piece(96 * 1024, '7');
    const size_t pieces = 5 * 1024 * 1024 / piece.size() + 1;
    for (auto hint : {LoggedStartWriteback, RefusedStartWriteback}) {
        TScratchDir dir;
        const std::string target = dir.Write("out.asc", kOld);
        gWritebacks.clear();
        {
            TSystemCallFaults faults;
            TSystemCalls::Table().StartWriteback = hint;
            TFileSink sink(target);
            for (size_t i = 0; i < pieces; ++i) sink.Write(piece.data(), piece.size());
            sink.Commit();
        }
        const long long total = static_cast<long long>(pieces * piece.size());
        EXPECT_EQ(ReadText(target).size(), static_cast<size_t>(total));
        ASSERT_FALSE(gWritebacks.empty());
        long long next = 0;
        for (const auto& range : gWritebacks) {
            EXPECT_EQ(range.first, next);
            EXPECT_GE(range.second, 1 << 20);
            next = range.first + range.second;
        }
        EXPECT_GT(next, total - (1 << 20));
        EXPECT_LE(next, total);
    }
#ifndef _WIN32
    // Written in place: nothing to force to disk before a rename, so no hint.
    gWritebacks.clear();
    {
        TSystemCallFaults faults;
        TSystemCalls::Table().StartWriteback = LoggedStartWriteback;
        TFileSink sink("/dev/null");
        for (size_t i = 0; i < pieces; ++i) sink.Write(piece.data(), piece.size());
        sink.Commit();
    }
    EXPECT_TRUE(gWritebacks.empty());
#endif
}

#ifndef _WIN32

namespace {

std::vector<mode_t> gCreatedModes;  // the mode a file is created with
std::vector<mode_t> gWrittenModes;  // the file's mode at each write
std::vector<mode_t> gNamedModes;    // its mode each time it is given a name

int (*gOpenAt)(int, const char*, int, mode_t) = nullptr;

int OpenAtNotingMode(int directory, const char* path, int flags, mode_t mode)
{
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) gCreatedModes.push_back(mode);
    return gOpenAt(directory, path, flags, mode);
}
ssize_t WriteNotingMode(int descriptor, const void* data, size_t size)
{
    struct stat status;
    ::fstat(descriptor, &status);
    gWrittenModes.push_back(status.st_mode & 07777);
    return TSystemCalls::Direct().Write(descriptor, data, size);
}
int LinkNotingMode(int fromDirectory, const char* from, int toDirectory, const char* to, int flags)
{
    struct stat status;
    ::stat(from, &status);
    gNamedModes.push_back(status.st_mode & 07777);
    return TSystemCalls::Direct().LinkAt(fromDirectory, from, toDirectory, to, flags);
}
int RenameNotingMode(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    struct stat status;
    ::fstatat(fromDirectory, from, &status, AT_SYMLINK_NOFOLLOW);
    gNamedModes.push_back(status.st_mode & 07777);
    return TSystemCalls::Direct().RenameAt(fromDirectory, from, toDirectory, to);
}

}  // namespace

#endif

TEST(FileSink, TemporaryFileIsPrivateUntilItHasTheFinalMode)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no POSIX permission bits, mask or owners";
#else
    auto map = MakeMap(TRows(300, std::vector<double>(1000, 1234.5)));  // several writes
    const mode_t savedMask = ::umask(027);
    struct TCase {
        mode_t Existing;  // 0: a new file
        mode_t Final;
    };
    for (TRoute route : kRoutes) {
        for (const TCase& test : {TCase{0600, 0600}, TCase{0644, 0644}, TCase{04750, 04750}, TCase{0, 0640}}) {
            TScratchDir dir;
            const std::string target = dir.Path("out.asc");
            if (test.Existing) {
                dir.Write("out.asc", kOld);
                ::chmod(target.c_str(), test.Existing);
            }
            gCreatedModes.clear();
            gWrittenModes.clear();
            gNamedModes.clear();
            {
                TSystemCallFaults faults;
                UseRoute(route);
                gOpenAt = TSystemCalls::Table().OpenAt;
                TSystemCalls::Table().OpenAt = OpenAtNotingMode;
                TSystemCalls::Table().Write = WriteNotingMode;
                TSystemCalls::Table().LinkAt = LinkNotingMode;
                TSystemCalls::Table().RenameAt = RenameNotingMode;
                TARCGISFileTools::WriteARCGISFile(map.get(), target);
            }
            const std::string context = std::string(RouteName(route)) + " " + std::to_string(test.Final);
            EXPECT_EQ(gCreatedModes, std::vector<mode_t>(route == TRoute::Unnamed ? 1 : 2, 0600)) << context;
            ASSERT_GT(gWrittenModes.size(), 1u) << context;
            EXPECT_EQ(gWrittenModes, std::vector<mode_t>(gWrittenModes.size(), 0600)) << context;
            EXPECT_EQ(gNamedModes, std::vector<mode_t>(route == TRoute::Unnamed ? 2 : 1, test.Final)) << context;
            EXPECT_EQ(ModeOf(target) & 07777, test.Final) << context;
        }
    }
    ::umask(savedMask);

    // A privileged writer also gives the replacement the replaced file's owner and group.
    if (::geteuid() == 0) {
        TScratchDir dir;
        const std::string target = dir.Write("out.asc", kOld);
        ASSERT_EQ(::chown(target.c_str(), 65534, 65533), 0);
        TARCGISFileTools::WriteARCGISFile(map.get(), target);
        struct stat status;
        ASSERT_EQ(::stat(target.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 65534u);
        EXPECT_EQ(status.st_gid, 65533u);
    }
#endif
}

TEST(FileSink, RefusedTemporaryFileFailsBeforeAnythingIsTruncated)
{
    // A directory that refuses new files (as 0555 does for anyone but root) while the output
    // itself is writable: the old output must survive, so nothing is written at all.
    auto map = Sample();
#ifdef EDQUOT
    const int errors[] = {EACCES, EROFS, EDQUOT};
#else
    const int errors[] = {EACCES, EROFS};
#endif
    for (int error : errors) {
        TScratchDir dir;
        const std::string target = dir.Write("out.asc", kOld);
        TSystemCallFaults faults;
        const long& opens = faults.Calls<&TSystemCallTable::Open>();
        const long& writes = faults.Calls<&TSystemCallTable::Write>();
        faults.Fail<&TSystemCallTable::OpenAt>(error, 0, -1);
        EXPECT_EQ(WriteMessage(map.get(), target), "Unable to open file " + target);
        EXPECT_EQ(opens, 1);  // the directory, never the target
        EXPECT_EQ(writes, 0);
        EXPECT_EQ(ReadText(target), kOld);
    }
}

TEST(FileSink, SymbolicLinksStayAndTheirFinalTargetIsReplaced)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need rights on Windows that few users have; there a link is replaced like a file";
#else
    auto map = Sample();
    const std::string fresh = TextOf(map.get());
    struct TCase {
        const char* Shape;
        std::vector<std::pair<std::string, std::string>> Links;  // name, link text (ROOT: the scratch root)
        std::string Target;                                      // relative to the scratch root
        bool Exists;
    };
    const std::vector<TCase> cases = {
        {"relative", {{"out.asc", "real.asc"}}, "real.asc", true},
        {"absolute into another directory", {{"out.asc", "ROOT/sub/real.asc"}}, "sub/real.asc", true},
        {"chain with a relative step up", {{"out.asc", "sub/hop"}, {"sub/hop", "../real.asc"}}, "real.asc", true},
        {"dangling", {{"out.asc", "sub/new.asc"}}, "sub/new.asc", false},
        {"dangling through a chain", {{"out.asc", "sub/hop"}, {"sub/hop", "new.asc"}}, "sub/new.asc", false},
    };
    for (const TCase& test : cases) {
        TScratchDir dir;
        ::mkdir(dir.Path("sub").c_str(), 0755);
        if (test.Exists) dir.Write(test.Target, kOld);
        for (const auto& [name, text] : test.Links) {
            std::string target = text;
            if (target.rfind("ROOT", 0) == 0) target = dir.Root() + target.substr(4);
            ASSERT_EQ(::symlink(target.c_str(), dir.Path(name).c_str()), 0);
        }
        const std::vector<std::string> top = DirectoryEntries(dir.Root());
        const std::vector<std::string> sub = DirectoryEntries(dir.Path("sub"));
        const std::string name = dir.Path("out.asc");
        const std::string target = dir.Path(test.Target);

        {
            TSystemCallFaults faults;
            faults.Fail<&TSystemCallTable::Write>(ENOSPC);
            EXPECT_EQ(WriteMessage(map.get(), name), "Unable to write file " + name) << test.Shape;
        }
        EXPECT_EQ(FileExists(target) ? ReadText(target) : "<none>", test.Exists ? kOld : "<none>") << test.Shape;
        EXPECT_EQ(DirectoryEntries(dir.Root()), top) << test.Shape;
        EXPECT_EQ(DirectoryEntries(dir.Path("sub")), sub) << test.Shape;

        struct stat before = {};
        ::stat(target.c_str(), &before);
        TARCGISFileTools::WriteARCGISFile(map.get(), name);
        struct stat after = {};
        ASSERT_EQ(::stat(target.c_str(), &after), 0) << test.Shape;
        EXPECT_TRUE(S_ISLNK(ModeOf(name))) << test.Shape;
        EXPECT_EQ(ReadText(target), fresh) << test.Shape;
        if (test.Exists) {
            EXPECT_NE(after.st_ino, before.st_ino) << test.Shape;  // renamed over, not rewritten
        }
        EXPECT_EQ(DirectoryEntries(dir.Root()).size() + DirectoryEntries(dir.Path("sub")).size(),
                  top.size() + sub.size() + (test.Exists ? 0 : 1))
            << test.Shape;
    }

    TScratchDir dir;
    ASSERT_EQ(::symlink("loop", dir.Path("loop").c_str()), 0);
    EXPECT_EQ(WriteMessage(map.get(), dir.Path("loop")), "Unable to open file " + dir.Path("loop"));
#endif
}

TEST(FileSink, DevicesPipesAndOwnDescriptorsAreWrittenInPlace)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no /dev, /proc or FIFOs; its devices and pipes are tested on their own";
#else
    auto map = Sample();
    const std::string fresh = TextOf(map.get());
    TScratchDir dir;
    TSystemCallFaults faults;
    const long& renames = faults.Calls<&TSystemCallTable::RenameAt>();

    TARCGISFileTools::WriteARCGISFile(map.get(), std::string("/dev/null"));
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));

    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = ReadText(fifo); });
    TARCGISFileTools::WriteARCGISFile(map.get(), fifo);
    reader.join();
    EXPECT_EQ(fromFifo, fresh);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

    // /dev/fd/N and /dev/stdout name a descriptor of this process: a pipe, or a file the caller
    // opened, which keeps its inode.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string fromPipe;
    std::thread drain([&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;) fromPipe.append(buffer, got);
    });
    TARCGISFileTools::WriteARCGISFile(map.get(), "/dev/fd/" + std::to_string(ends[1]));
    ::close(ends[1]);
    drain.join();
    ::close(ends[0]);
    EXPECT_EQ(fromPipe, fresh);

    // A file the caller opened keeps its inode and is written as it was opened: from its
    // offset, or after what it holds when opened for appending, never truncated.
    struct TOpened {
        int Flags;
        std::string Text;
    };
    for (const TOpened& opened : {TOpened{O_WRONLY | O_APPEND, kOld + fresh}, TOpened{O_WRONLY | O_TRUNC, fresh}}) {
        for (const std::string prefix : {"/proc/self/fd/", "/dev/fd/"}) {
            const std::string file = dir.Write("opened.asc", kOld);
            const int descriptor = ::open(file.c_str(), opened.Flags);
            struct stat before = {};
            ::fstat(descriptor, &before);
            TARCGISFileTools::WriteARCGISFile(map.get(), prefix + std::to_string(descriptor));
            ::close(descriptor);
            struct stat after = {};
            ::stat(file.c_str(), &after);
            EXPECT_EQ(after.st_ino, before.st_ino) << prefix;
            EXPECT_EQ(ReadText(file), opened.Text) << prefix;
        }
    }
    EXPECT_EQ(renames, 0);

    // A descriptor that cannot be duplicated fails before anything is written.
    const int descriptor = ::open(dir.Write("opened.asc", kOld).c_str(), O_WRONLY);
    faults.Fail<&TSystemCallTable::Duplicate>(EMFILE);
    const std::string name = "/dev/fd/" + std::to_string(descriptor);
    EXPECT_EQ(WriteMessage(map.get(), name), "Unable to open file " + name);
    ::close(descriptor);
    EXPECT_EQ(ReadText(dir.Path("opened.asc")), kOld);
#endif
}

#ifndef _WIN32

namespace {

int gSignal = 0;

ssize_t SignalThenWrite(int descriptor, const void* data, size_t size)
{
    ::raise(gSignal);
    return TSystemCalls::Direct().Write(descriptor, data, size);
}
int SignalThenRename(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    ::raise(gSignal);
    return TSystemCalls::Direct().RenameAt(fromDirectory, from, toDirectory, to);
}

}  // namespace

#endif

TEST(FileSink, StopSignalsRemoveTheTemporaryFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no signals; Ctrl-C there is an event of the console";
#else
    auto map = Sample();
    for (TRoute route : kRoutes) {
        for (bool beforeRename : {false, true}) {
            for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
                TScratchDir dir;
                const std::string target = dir.Write("out.asc", kOld);
                const pid_t child = ::fork();
                if (child == 0) {
                    TSignalCleanup::Install();
                    gSignal = signalNumber;
                    UseRoute(route);
                    if (beforeRename)
                        TSystemCalls::Table().RenameAt = SignalThenRename;
                    else
                        TSystemCalls::Table().Write = SignalThenWrite;
                    WriteMessage(map.get(), target);
                    ::_exit(0);
                }
                int status = 0;
                ::waitpid(child, &status, 0);
                const std::string context = std::string(RouteName(route)) + (beforeRename ? " before rename" : " writing") +
                    ", signal " + std::to_string(signalNumber);
                ASSERT_TRUE(WIFSIGNALED(status)) << context;
                EXPECT_EQ(WTERMSIG(status), signalNumber) << context;
                EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"out.asc"})) << context;
                EXPECT_EQ(ReadText(target), kOld) << context;
            }
        }
    }
#endif
}

TEST(FileSink, MessagesShowControlCharactersEscaped)
{
    auto map = Sample();
    TScratchDir dir;
    const std::string odd = std::string("a\nb\tc\x01") + "d\x7f\\e";
    const std::string shown = "a\\nb\\tc\\x01d\\x7f\\e";

    const std::string missing = dir.Path(odd + "/out.asc");
    EXPECT_EQ(WriteMessage(map.get(), missing), "Unable to open file " + dir.Path(shown + "/out.asc"));
    EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(missing); }),
              "Unable to open file " + dir.Path(shown + "/out.asc"));

#ifdef _WIN32
    GTEST_SKIP() << "Windows file names cannot hold control characters or backslashes";
#else
    const std::string target = dir.Path(odd);
    {
        TSystemCallFaults faults;
        faults.Fail<&TSystemCallTable::Write>(EIO);
        EXPECT_EQ(WriteMessage(map.get(), target), "Unable to write file " + dir.Path(shown));
    }
    TARCGISFileTools::WriteARCGISFile(map.get(), target);
    TSystemCallFaults faults;
    faults.Fail<&TSystemCallTable::Read>(EIO);
    EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(target); }),
              "Unable to read file " + dir.Path(shown));
#endif
}

TEST(FileSink, AnUncommittedSinkLeavesNothing)
{
    TScratchDir dir;
    const std::string target = dir.Write("out.asc", kOld);
    for (TRoute route : kRoutes) {
        TSystemCallFaults faults;
        UseRoute(route);
        {
            TFileSink sink(target);
            sink.Write("partial", 7);
        }
        EXPECT_EQ(ReadText(target), kOld);
        EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"out.asc"}));
        TFileSink sink(dir.Path("new.asc"));
        sink.Write("x", 1);
        sink.Commit();
        EXPECT_EQ(ThrownMessage([&] { sink.Commit(); }), "Unable to write file " + dir.Path("new.asc"));
        EXPECT_EQ(ReadText(dir.Path("new.asc")), "x");
        ::unlink(dir.Path("new.asc").c_str());
    }
}

#ifdef _WIN32

TEST(FileSink, WindowsDevicesAndPipesAreWrittenInPlace)
{
    auto map = Sample();
    const std::string fresh = TextOf(map.get());
    TSystemCallFaults faults;
    const long& renames = faults.Calls<&TSystemCallTable::RenameAt>();
    TARCGISFileTools::WriteARCGISFile(map.get(), std::string("NUL"));

    // A named pipe is opened once, by the writer: looking at it first would take its connection.
    const std::string pipe = "\\\\.\\pipe\\gridmean-sink-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(TWindowsCalls::Wide(pipe).c_str(), PIPE_ACCESS_INBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::string fromPipe;
    std::thread reader([&] {
        ConnectNamedPipe(server, nullptr);  // fails when the writer came, or even went, first
        char buffer[4096];
        for (DWORD got = 0; ReadFile(server, buffer, sizeof buffer, &got, nullptr) && got > 0;) fromPipe.append(buffer, got);
    });
    const std::string message = WriteMessage(map.get(), pipe);
    reader.join();
    CloseHandle(server);
    EXPECT_EQ(message, "<no throw>");
    EXPECT_EQ(fromPipe, fresh);
    EXPECT_EQ(renames, 0);
}

TEST(FileSink, AReadOnlyFileIsRefusedBeforeAnythingIsWritten)
{
    // Windows does not rename over a read-only file; the writer says so before it starts.
    auto map = Sample();
    TScratchDir dir;
    const std::string target = dir.Write("out.asc", kOld);
    const std::wstring wide = TWindowsCalls::Wide(target);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    TSystemCallFaults faults;
    const long& writes = faults.Calls<&TSystemCallTable::Write>();
    const std::string message = WriteMessage(map.get(), target);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(message, "Unable to open file " + target);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(ReadText(target), kOld);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"out.asc"}));
}

#endif
