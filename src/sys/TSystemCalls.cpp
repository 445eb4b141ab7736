#include "sys/TSystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include "sys/TWindowsCalls.h"
#include <io.h>
#else
#include <sys/random.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
const TSystemCallTable kDirect = {
    TWindowsCalls::Open,     TWindowsCalls::OpenAt, TWindowsCalls::Read,     TWindowsCalls::Write,
    TWindowsCalls::Fchmod,   TWindowsCalls::Fchown, TWindowsCalls::Fsync,    TWindowsCalls::Close,
    TWindowsCalls::RenameAt, TWindowsCalls::LinkAt, TWindowsCalls::UnlinkAt, TWindowsCalls::Lstat,
    TWindowsCalls::Fstat,    TWindowsCalls::ReadLink, TWindowsCalls::GetRandom, TWindowsCalls::Seek,
    ::_dup,                  TWindowsCalls::StartWriteback,
};
#else

// open and openat take their mode through a variable argument list; the table needs fixed ones.
int DirectOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int DirectOpenAt(int directory, const char* path, int flags, mode_t mode)
{
    return ::openat(directory, path, flags, mode);
}
ssize_t DirectGetRandom(void* destination, size_t size, unsigned flags)
{
    return ::getrandom(destination, size, flags);
}
long long DirectSeek(int descriptor, long long offset, int whence) { return ::lseek(descriptor, offset, whence); }
int DirectDuplicate(int descriptor) { return ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0); }
int DirectStartWriteback(int descriptor, long long offset, long long size)
{
#if defined(__linux__)
    return ::sync_file_range(descriptor, offset, size, SYNC_FILE_RANGE_WRITE);
#else
    (void)descriptor;
    (void)offset;
    (void)size;
    return 0;
#endif
}

const TSystemCallTable kDirect = {
    DirectOpen, DirectOpenAt, ::read,     ::write,    ::fchmod, ::fchown,   ::fsync,          ::close,
    ::renameat, ::linkat,     ::unlinkat, ::lstat,    ::fstat,  ::readlink, DirectGetRandom, DirectSeek,
    DirectDuplicate, DirectStartWriteback,
};
#endif

TSystemCallTable gTable = kDirect;

// The one place where an interrupted call is repeated.
template <class TCall>
auto RetryOnInterrupt(TCall call) -> decltype(call())
{
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

}  // namespace

TSystemCallTable& TSystemCalls::Table() { return gTable; }

const TSystemCallTable& TSystemCalls::Direct() { return kDirect; }

int TSystemCalls::Open(const char* path, int flags, mode_t mode)
{
    return RetryOnInterrupt([&] { return gTable.Open(path, flags, mode); });
}

int TSystemCalls::OpenAt(int directory, const char* path, int flags, mode_t mode)
{
    return RetryOnInterrupt([&] { return gTable.OpenAt(directory, path, flags, mode); });
}

ssize_t TSystemCalls::Read(int descriptor, void* destination, size_t size)
{
    return RetryOnInterrupt([&] { return gTable.Read(descriptor, destination, size); });
}

ssize_t TSystemCalls::Write(int descriptor, const void* source, size_t size)
{
    return RetryOnInterrupt([&] { return gTable.Write(descriptor, source, size); });
}

int TSystemCalls::Fchmod(int descriptor, mode_t mode)
{
    return RetryOnInterrupt([&] { return gTable.Fchmod(descriptor, mode); });
}

int TSystemCalls::Fchown(int descriptor, uid_t owner, gid_t group)
{
    return RetryOnInterrupt([&] { return gTable.Fchown(descriptor, owner, group); });
}

int TSystemCalls::Fsync(int descriptor)
{
    return RetryOnInterrupt([&] { return gTable.Fsync(descriptor); });
}

int TSystemCalls::Close(int descriptor) { return gTable.Close(descriptor); }

int TSystemCalls::StartWriteback(int descriptor, long long offset, long long size)
{
    return RetryOnInterrupt([&] { return gTable.StartWriteback(descriptor, offset, size); });
}

int TSystemCalls::RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    return RetryOnInterrupt([&] { return gTable.RenameAt(fromDirectory, from, toDirectory, to); });
}

int TSystemCalls::LinkAt(int fromDirectory, const char* from, int toDirectory, const char* to, int flags)
{
    return RetryOnInterrupt([&] { return gTable.LinkAt(fromDirectory, from, toDirectory, to, flags); });
}

int TSystemCalls::UnlinkAt(int directory, const char* path, int flags)
{
    return RetryOnInterrupt([&] { return gTable.UnlinkAt(directory, path, flags); });
}

int TSystemCalls::Lstat(const char* path, struct stat* status)
{
    return RetryOnInterrupt([&] { return gTable.Lstat(path, status); });
}

int TSystemCalls::Fstat(int descriptor, struct stat* status)
{
    return RetryOnInterrupt([&] { return gTable.Fstat(descriptor, status); });
}

ssize_t TSystemCalls::ReadLink(const char* path, char* destination, size_t size)
{
    return RetryOnInterrupt([&] { return gTable.ReadLink(path, destination, size); });
}

long long TSystemCalls::Seek(int descriptor, long long offset, int whence)
{
    return gTable.Seek(descriptor, offset, whence);
}

int TSystemCalls::Duplicate(int descriptor)
{
    return RetryOnInterrupt([&] { return gTable.Duplicate(descriptor); });
}

#ifdef _WIN32
void TSystemCalls::OccupyStandardDescriptors() {}
#else
void TSystemCalls::OccupyStandardDescriptors()
{
    // Opened in order, each takes the lowest free number: the one that is closed.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        struct stat status;
        if (Fstat(descriptor, &status) == 0 || errno != EBADF) continue;
        const int null = Open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
        if (null < 0) return;
        if (null != descriptor) {
            ::dup2(null, descriptor);
            Close(null);
        }
    }
}
#endif

#ifdef _WIN32
// The C library's descriptors, which the file classes use, number at most 2048 there.
void TSystemCalls::RaiseDescriptorLimit() {}

long TSystemCalls::DescriptorLimit() { return 2048; }
#else
void TSystemCalls::RaiseDescriptorLimit()
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

long TSystemCalls::DescriptorLimit()
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > (1L << 30))
        return 1L << 30;
    return static_cast<long>(limit.rlim_cur);
}
#endif

bool TSystemCalls::RandomBytes(void* destination, size_t size)
{
    // A few bytes from getrandom never come back short once the pool is initialised; a kernel
    // without the call (ENOSYS) or a filter that refuses it leaves /dev/urandom.
    char* bytes = static_cast<char*>(destination);
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = RetryOnInterrupt([&] { return gTable.GetRandom(bytes + filled, size - filled, 0); });
        if (got <= 0) break;
        filled += static_cast<size_t>(got);
    }
    if (filled == size) return true;
#ifdef _WIN32
    return false;
#else
    const int device = Open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (device < 0) return false;
    while (filled < size) {
        const ssize_t got = Read(device, bytes + filled, size - filled);
        if (got <= 0) break;
        filled += static_cast<size_t>(got);
    }
    Close(device);
    return filled == size;
#endif
}

mode_t TSystemCalls::CurrentUmask()
{
#ifdef _WIN32
    return 0;
#else
    // Linux shows the mask in /proc/self/status ("Umask:\t0022"); setting it to learn it would
    // briefly give another thread's new files the wrong mode.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return mask;
#endif
}
