#pragma once

#include <cstddef>
#include <sys/types.h>

struct stat;

// The system calls that the file readers and writers make, as replaceable function pointers.
// Production code never changes them; a test replaces an entry to make that call fail or to
// watch its arguments, and puts the saved table back afterwards.
struct TSystemCallTable {
    int (*Open)(const char* path, int flags, mode_t mode);
    int (*OpenAt)(int directory, const char* path, int flags, mode_t mode);
    ssize_t (*Read)(int descriptor, void* destination, size_t size);
    ssize_t (*Write)(int descriptor, const void* source, size_t size);
    int (*Fchmod)(int descriptor, mode_t mode);
    int (*Fchown)(int descriptor, uid_t owner, gid_t group);
    int (*Fsync)(int descriptor);
    int (*Close)(int descriptor);
    int (*RenameAt)(int fromDirectory, const char* from, int toDirectory, const char* to);
    int (*LinkAt)(int fromDirectory, const char* from, int toDirectory, const char* to, int flags);
    int (*UnlinkAt)(int directory, const char* path, int flags);
    int (*Lstat)(const char* path, struct stat* status);
    int (*Fstat)(int descriptor, struct stat* status);
    ssize_t (*ReadLink)(const char* path, char* destination, size_t size);
    ssize_t (*GetRandom)(void* destination, size_t size, unsigned flags);
    off_t (*Seek)(int descriptor, off_t offset, int whence);
};

// The one road from the file classes to the operating system. Every call returns what the system
// call returns (-1 with errno set on failure); a call interrupted by a signal (EINTR) is repeated
// here, once for every caller, except Close, whose descriptor is already released on Linux when
// it reports EINTR. The only cost over a direct call is one indirection through the table.
class TSystemCalls {
public:
    TSystemCalls() = delete;

    // The table in use, to be replaced entry by entry (tests only), and the direct calls.
    static TSystemCallTable& Table();
    static const TSystemCallTable& Direct();

    static int Open(const char* path, int flags, mode_t mode = 0);
    static int OpenAt(int directory, const char* path, int flags, mode_t mode = 0);
    static ssize_t Read(int descriptor, void* destination, size_t size);
    static ssize_t Write(int descriptor, const void* source, size_t size);
    static int Fchmod(int descriptor, mode_t mode);
    static int Fchown(int descriptor, uid_t owner, gid_t group);
    static int Fsync(int descriptor);
    static int Close(int descriptor);
    static int RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to);
    static int LinkAt(int fromDirectory, const char* from, int toDirectory, const char* to, int flags);
    static int UnlinkAt(int directory, const char* path, int flags);
    static int Lstat(const char* path, struct stat* status);
    static int Fstat(int descriptor, struct stat* status);
    static ssize_t ReadLink(const char* path, char* destination, size_t size);
    static off_t Seek(int descriptor, off_t offset, int whence);

    // Raises the soft limit on open descriptors to the hard one, so that many inputs can be open
    // at once; harmless where it cannot.
    static void RaiseDescriptorLimit();
    // The soft limit on open descriptors (a large number where there is none).
    static long DescriptorLimit();

    // Fills `destination` with unpredictable bytes from the kernel (getrandom, else
    // /dev/urandom); false when neither gives them.
    static bool RandomBytes(void* destination, size_t size);
    // The process's file mode creation mask, read without changing it where the system allows
    // (another thread may be creating files meanwhile).
    static mode_t CurrentUmask();
};
