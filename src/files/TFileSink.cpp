#include "files/TFileSink.h"

#include "support/TFileMessages.h"
#include "sys/TSignalCleanup.h"
#include "sys/TSystemCalls.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Link chains longer than this fail, as the kernel's own resolution does (ELOOP).
constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 100;
// The bytes written between two hints to start writing them back.
constexpr long long kWritebackBytes = 1 << 20;

bool IsSeparator(char c) { return c != '\0' && std::strchr(TSystemCalls::kPathSeparators, c) != nullptr; }

// The path up to and with its last slash; empty for a name in the working directory.
std::string PrefixOf(const std::string& path)
{
    const size_t slash = path.find_last_of(TSystemCalls::kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string DirectoryOf(const std::string& path)
{
    const std::string prefix = PrefixOf(path);
    return prefix.empty() ? std::string(".") : prefix;
}

std::string BaseOf(const std::string& path)
{
    const size_t slash = path.find_last_of(TSystemCalls::kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DescriptorPath(int descriptor) { return "/proc/self/fd/" + std::to_string(descriptor); }

enum class TTarget { Missing, Regular, InPlace, Failed };

// Follows symbolic links from `path` to the file that is to be replaced, leaving its path in
// `path` and its status in `status`. A link on /proc (/dev/stdout, /dev/fd/N) names one of
// this process's descriptors, which may be a pipe or a terminal: that is written in place.
TTarget Resolve(std::string& path, struct stat& status)
{
    bool procKnown = false;
    dev_t procDevice = 0;
    for (int links = 0;; ++links) {
        if (path.empty() || IsSeparator(path.back())) return TTarget::InPlace;  // the kernel's open decides
        if (TSystemCalls::Lstat(path.c_str(), &status) != 0) return errno == ENOENT ? TTarget::Missing : TTarget::Failed;
        if (S_ISREG(status.st_mode)) return TTarget::Regular;
        if (!S_ISLNK(status.st_mode)) return TTarget::InPlace;
        if (!procKnown) {
            struct stat proc;
            procKnown = TSystemCalls::Lstat("/proc/self", &proc) == 0;
            if (procKnown) procDevice = proc.st_dev;
        }
        if (procKnown && status.st_dev == procDevice) return TTarget::InPlace;
        if (links == kMaxLinks) return TTarget::Failed;
        char text[PATH_MAX];
        const ssize_t length = TSystemCalls::ReadLink(path.c_str(), text, sizeof text);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof text) return TTarget::Failed;
        const std::string target(text, static_cast<size_t>(length));
        path = IsSeparator(target[0]) ? target : PrefixOf(path) + target;
    }
}

// The descriptor of this process that `path` (a link in its descriptor directory, as
// /proc/self/fd/N, /dev/fd/N or /dev/stdout lead to) stands for, or -1 for any other path.
int OwnDescriptor(const std::string& path)
{
    const std::string number = BaseOf(path);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) return -1;
    struct stat directory;
    struct stat own;
    if (TSystemCalls::Lstat((DirectoryOf(path) + "/.").c_str(), &directory) != 0 ||
        TSystemCalls::Lstat("/proc/self/fd/.", &own) != 0 || directory.st_dev != own.st_dev || directory.st_ino != own.st_ino)
        return -1;
    return std::stoi(number);
}

}  // namespace

TFileSink::TFileSink(const std::string& name, TSinkTargets targets) : MbrStgName(name)
{
    std::string path = name;
    struct stat status;
    const TTarget target = Resolve(path, status);
    if (target == TTarget::Failed || (target == TTarget::InPlace && targets == TSinkTargets::FilesOnly)) FailOpen();
    if (target == TTarget::InPlace) {
        MbrBlnInPlace = true;
        // One of the process's own descriptors is written as it was given: opened again it would
        // be truncated, and a file opened for appending (>> log) would lose what it held.
        const int own = OwnDescriptor(path);
        MbrIntDescriptor = own >= 0 ? TSystemCalls::Duplicate(own)
                                    : TSystemCalls::Open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (MbrIntDescriptor < 0) FailOpen();
        return;
    }
    MbrBlnReplacing = target == TTarget::Regular;
    if (MbrBlnReplacing) {
        MbrModFinal = status.st_mode & 07777;
        MbrUidOwner = status.st_uid;
        MbrGidGroup = status.st_gid;
#ifdef _WIN32
        // Windows refuses to rename over a read-only file: say so before anything is written.
        if ((MbrModFinal & 0200) == 0) FailOpen();
#endif
    } else {
        MbrModFinal = 0666 & ~TSystemCalls::CurrentUmask();
    }
    MbrStgTarget = BaseOf(path);
    if (!OpenDirectory(DirectoryOf(path)) || !OpenTemporary()) FailOpen();
}

bool TFileSink::OpenDirectory(const std::string& directory)
{
    // Every later step names files relative to this descriptor, so a directory renamed meanwhile
    // still receives the output, and the descriptor is what is forced to disk after the rename.
    MbrIntDirectory = TSystemCalls::Open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (MbrIntDirectory < 0 && errno == EACCES) {
        // A directory we may write in but not list still takes the file; it cannot be synced.
        MbrIntDirectory = TSystemCalls::Open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        MbrBlnSyncDirectory = false;
    }
    return MbrIntDirectory >= 0;
}

bool TFileSink::OpenTemporary()
{
    // An unnamed file is invisible to others and vanishes even after kill -9; it is named later
    // through /proc/self/fd, so that must be there.
    const int unnamed = TSystemCalls::OpenAt(MbrIntDirectory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        struct stat status;
        if (TSystemCalls::Lstat(DescriptorPath(unnamed).c_str(), &status) == 0) {
            MbrIntDescriptor = unnamed;
            MbrBlnUnnamed = true;
            return true;
        }
        TSystemCalls::Close(unnamed);
    }
    // O_EXCL and O_NOFOLLOW: a name someone else made first, a link planted there included, is
    // never opened; the random suffix keeps them from making it first on purpose.
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        if (temporary.empty()) return false;
        // Registered before it exists, so that no moment passes in which a signal would leave it.
        MbrIntCleanupSlot = TSignalCleanup::Register(MbrIntDirectory, temporary.c_str());
        MbrIntDescriptor = TSystemCalls::OpenAt(MbrIntDirectory, temporary.c_str(),
                                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (MbrIntDescriptor >= 0) {
            MbrStgTemporary = temporary;
            return true;
        }
        const int error = errno;
        TSignalCleanup::Unregister(MbrIntCleanupSlot);
        MbrIntCleanupSlot = -1;
        errno = error;
        if (error != EEXIST) return false;
    }
    return false;
}

bool TFileSink::NameTemporary()
{
    const std::string source = DescriptorPath(MbrIntDescriptor);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryName();
        if (temporary.empty()) return false;
        MbrIntCleanupSlot = TSignalCleanup::Register(MbrIntDirectory, temporary.c_str());
        if (TSystemCalls::LinkAt(AT_FDCWD, source.c_str(), MbrIntDirectory, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            MbrStgTemporary = temporary;
            return true;
        }
        const int error = errno;
        TSignalCleanup::Unregister(MbrIntCleanupSlot);
        MbrIntCleanupSlot = -1;
        if (error != EEXIST) return false;
    }
    return false;
}

std::string TFileSink::TemporaryName() const
{
    // ".NAME.tmp" and 16 random hexadecimal digits; the name is cut so that this stays within
    // the file system's 255 bytes.
    unsigned char random[8];
    if (!TSystemCalls::RandomBytes(random, sizeof random)) return "";
    static const char kDigits[] = "0123456789abcdef";
    std::string name = "." + MbrStgTarget.substr(0, 200) + ".tmp";
    for (unsigned char byte : random) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 15];
    }
    return name;
}

TFileSink::~TFileSink() { Discard(); }

void TFileSink::Discard()
{
    if (MbrIntDescriptor >= 0) TSystemCalls::Close(MbrIntDescriptor);
    MbrIntDescriptor = -1;
    if (!MbrStgTemporary.empty()) TSystemCalls::UnlinkAt(MbrIntDirectory, MbrStgTemporary.c_str(), 0);
    MbrStgTemporary.clear();
    TSignalCleanup::Unregister(MbrIntCleanupSlot);
    MbrIntCleanupSlot = -1;
    if (MbrIntDirectory >= 0) TSystemCalls::Close(MbrIntDirectory);
    MbrIntDirectory = -1;
}

void TFileSink::FailOpen()
{
    Discard();
    throw TFileMessages::UnableToOpen(MbrStgName);
}

void TFileSink::FailWrite()
{
    Discard();
    throw TFileMessages::UnableToWrite(MbrStgName);
}

void TFileSink::Write(const char* data, size_t size)
{
    if (MbrIntDescriptor < 0) FailWrite();
    while (size > 0) {
        const ssize_t written = TSystemCalls::Write(MbrIntDescriptor, data, size);
        if (written < 0) FailWrite();
        data += written;
        size -= static_cast<size_t>(written);
        MbrWriteback.Written += written;
    }
    // A file to be replaced is forced to disk before the rename: its bytes start on their way as
    // they come, beside the work that makes the rest, so that the sync waits for little.
    const long long pending = MbrWriteback.Written - MbrWriteback.Started;
    if (!MbrBlnInPlace && pending >= kWritebackBytes) {
        TSystemCalls::StartWriteback(MbrIntDescriptor, MbrWriteback.Started, pending);
        MbrWriteback.Started = MbrWriteback.Written;
    }
}

void TFileSink::Commit()
{
    Prepare();
    Publish();
}

void TFileSink::Prepare()
{
    if (MbrIntDescriptor < 0) FailWrite();
    if (MbrBlnInPlace) {
        const int descriptor = MbrIntDescriptor;
        MbrIntDescriptor = -1;
        if (TSystemCalls::Close(descriptor) != 0) FailWrite();
        MbrBlnPrepared = true;
        return;
    }
    // Owner first: giving a file away clears its set-user-ID and set-group-ID bits, which the
    // mode then restores. Only a privileged process may give a file away; a refusal leaves the
    // file ours, with the replaced file's permission bits.
    if (MbrBlnReplacing) TSystemCalls::Fchown(MbrIntDescriptor, MbrUidOwner, MbrGidGroup);
    if (TSystemCalls::Fchmod(MbrIntDescriptor, MbrModFinal) != 0) FailWrite();
    // The data reaches the disk before the name does, so that a power loss after the rename
    // cannot leave an empty file under it. EINVAL: a file system that cannot sync.
    if (TSystemCalls::Fsync(MbrIntDescriptor) != 0 && errno != EINVAL) FailWrite();
    if (MbrBlnUnnamed && !NameTemporary()) FailWrite();
    const int descriptor = MbrIntDescriptor;
    MbrIntDescriptor = -1;
    if (TSystemCalls::Close(descriptor) != 0) FailWrite();
    MbrBlnPrepared = true;
}

void TFileSink::Publish()
{
    if (!MbrBlnPrepared) FailWrite();
    MbrBlnPrepared = false;
    if (MbrBlnInPlace) return;
    if (TSystemCalls::RenameAt(MbrIntDirectory, MbrStgTemporary.c_str(), MbrIntDirectory, MbrStgTarget.c_str()) != 0)
        FailWrite();
    MbrStgTemporary.clear();
    TSignalCleanup::Unregister(MbrIntCleanupSlot);
    MbrIntCleanupSlot = -1;
    // The rename itself reaches the disk with the directory.
    if (MbrBlnSyncDirectory && TSystemCalls::Fsync(MbrIntDirectory) != 0 && errno != EINVAL) FailWrite();
    Discard();
}
