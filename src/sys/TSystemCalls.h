#pragma once

#include <cstddef>
#include <sys/types.h>

#ifdef _WIN32
#include <fcntl.h>
#include <sys/stat.h>

// The POSIX names that the file classes use and Windows' C library lacks. The Windows table
// (TWindowsCalls) gives each the meaning it has on Linux, or refuses it as Linux would where the
// file system cannot do it, so that the file classes and their tests are one code on both systems.
typedef unsigned uid_t;  // Windows files have no POSIX owner: Fchown does nothing
typedef unsigned gid_t;
#define O_CLOEXEC 0  // Windows handles are not inherited unless asked
#define O_DIRECTORY 0x01000000
#define O_NOFOLLOW 0x02000000
#define O_PATH 0x04000000
#define O_TMPFILE (0x08000000 | O_DIRECTORY)  // refused with EOPNOTSUPP: no unnamed files
#define AT_FDCWD (-100)
#define AT_SYMLINK_FOLLOW 0x400
#define S_IFLNK 0xA000  // never reported: Lstat follows links on Windows
#define S_ISLNK(mode) (((mode) & S_IFMT) == S_IFLNK)
#endif

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
    long long (*Seek)(int descriptor, long long offset, int whence);
    int (*Duplicate)(int descriptor);
    int (*StartWriteback)(int descriptor, long long offset, long long size);
};

// The one road from the file classes to the operating system. Every call returns what the system
// call returns (-1 with errno set on failure); a call interrupted by a signal (EINTR) is repeated
// here, once for every caller, except Close, whose descriptor is already released on Linux when
// it reports EINTR. The only cost over a direct call is one indirection through the table.
// On Windows the direct calls are TWindowsCalls': the same calls made through the wide-character
// Windows functions, with UTF-8 names.
class TSystemCalls {
public:
    TSystemCalls() = delete;

#ifdef _WIN32
    // The characters that end the directory part of a path: the slash, the backslash and a drive's
    // colon ("C:name").
    static constexpr char kPathSeparators[] = "/\\:";
#else
    static constexpr char kPathSeparators[] = "/";
#endif

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
    static long long Seek(int descriptor, long long offset, int whence);
    // A new descriptor (closed on exec) for the open file of `descriptor`, sharing its offset
    // and its flags (O_APPEND among them).
    static int Duplicate(int descriptor);
    // Asks the system to start writing the file's bytes [offset, offset + size) to disk without
    // waiting for them, so that a later Fsync has less to wait for (Linux's sync_file_range; 0
    // and nothing done elsewhere). Only a hint: a failure to write surfaces at Fsync.
    static int StartWriteback(int descriptor, long long offset, long long size);

    // Opens /dev/null on each of the standard descriptors 0, 1 and 2 that is closed, so that no
    // file the program opens takes one of their numbers: an input that took descriptor 1 would
    // be what /dev/stdout names, and an output would receive the program's messages. A program
    // calls it first; it does nothing on Windows, nor where /dev/null cannot be opened.
    static void OccupyStandardDescriptors();

    // Raises the soft limit on open descriptors to the hard one, so that many inputs can be open
    // at once; harmless where it cannot.
    static void RaiseDescriptorLimit();
    // The soft limit on open descriptors (a large number where there is none).
    static long DescriptorLimit();

    // Fills `destination` with unpredictable bytes from the kernel (getrandom, else
    // /dev/urandom; on Windows BCryptGenRandom); false when none gives them.
    static bool RandomBytes(void* destination, size_t size);
    // The process's file mode creation mask, read without changing it where the system allows
    // (another thread may be creating files meanwhile). 0 on Windows, which has no such mask.
    static mode_t CurrentUmask();
};
