#pragma once

#ifdef _WIN32

#include "sys/TSystemCalls.h"

#include <string>

// The system calls of TSystemCalls on Windows, with the meaning the file classes rely on from
// Linux, made through the wide-character Windows functions: names are UTF-8 and reach the file
// system intact whatever the ANSI code page. Descriptors are the C library's (_open_osfhandle)
// around Windows handles, read and written with ReadFile and WriteFile, so bytes pass unchanged
// (no text mode). Each call returns -1 with errno set on failure, the Windows error mapped to
// the nearest errno value (ERROR_ACCESS_DENIED and sharing violations: EACCES, a missing file or
// directory: ENOENT, a full disk: ENOSPC, a closed pipe: EPIPE, anything else: EIO).
//   Open and OpenAt: CreateFileW, sharing read, write and delete with others as POSIX files do;
//     O_DIRECTORY opens a directory (ENOTDIR for anything else); O_TMPFILE fails (EOPNOTSUPP).
//     A relative name in OpenAt, RenameAt and UnlinkAt is taken in the directory open as the
//     descriptor, found again by its handle (GetFinalPathNameByHandleW).
//   Fsync: FlushFileBuffers; nothing on a directory, since renames are written through; EINVAL on
//     a pipe or device, as on Linux.
//   RenameAt: MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH, an atomic
//     replacement that returns only once the new name is on disk.
//   Lstat and Fstat: the file type (directory, regular file, character device such as NUL, pipe)
//     and, for a read-only file, 0444 rather than 0666. Lstat follows symbolic links, which need
//     rights on Windows that few users have, so ReadLink and LinkAt always fail (EINVAL, ENOSYS).
//     Names under \\.\ (pipes, devices) are reported as character devices without being opened,
//     since opening a pipe to look at it would take one of its connections, and Open opens them
//     as they are (a pipe's client may not create or truncate it).
//   Fchmod and Fchown do nothing: Windows files have neither POSIX permission bits nor owners;
//     a new file takes the permissions its directory passes on.
//   GetRandom: BCryptGenRandom.
class TWindowsCalls {
public:
    TWindowsCalls() = delete;

    static int Open(const char* path, int flags, mode_t mode);
    static int OpenAt(int directory, const char* path, int flags, mode_t mode);
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
    static ssize_t GetRandom(void* destination, size_t size, unsigned flags);
    // _lseeki64: 64-bit offsets, where off_t has 32 bits.
    static long long Seek(int descriptor, long long offset, int whence);
    // Nothing: Windows has no hint to start writing a range back; FlushFileBuffers does it all.
    static int StartWriteback(int, long long, long long) { return 0; }

    // UTF-8 as UTF-16 and back. Invalid UTF-8 gives an empty string, which names no file; an
    // unpaired surrogate becomes U+FFFD.
    static std::wstring Wide(const std::string& text);
    static std::string Utf8(const std::wstring& text);
};

#endif
