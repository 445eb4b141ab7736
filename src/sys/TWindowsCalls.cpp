#include "sys/TWindowsCalls.h"

#ifdef _WIN32

#include "sys/TWindowsApi.h"

#include <bcrypt.h>
#include <io.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// ReadFile and WriteFile count in DWORDs; larger requests are served in part, as read(2) may.
constexpr DWORD kMaxTransfer = DWORD(1) << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_DELETE_PENDING:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
        return EPIPE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return EINVAL;
    default:
        return EIO;
    }
}

int Fail(DWORD error)
{
    errno = ErrnoOf(error);
    return -1;
}

int FailWith(int error)
{
    errno = error;
    return -1;
}

// The handle behind a descriptor, or INVALID_HANDLE_VALUE with errno EBADF.
HANDLE HandleOf(int descriptor)
{
    const HANDLE handle = descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) errno = EBADF;
    return handle;
}

// The name as UTF-16; false with errno set for an empty name or one that is not UTF-8.
bool ToWide(const char* text, std::wstring& wide)
{
    wide = TWindowsCalls::Wide(text);
    if (!wide.empty()) return true;
    errno = *text == '\0' ? ENOENT : EINVAL;
    return false;
}

bool IsAbsolute(const std::wstring& path)
{
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return true;
    return path.size() >= 2 && path[1] == L':';  // a drive, even "C:name", which is not relative to a directory
}

bool IsDevicePath(const std::wstring& path) { return path.rfind(L"\\\\.\\", 0) == 0 || path.rfind(L"//./", 0) == 0; }

// The path of the directory open as the descriptor, as the file system names it now (so that a
// directory renamed since it was opened is still found), in the form names are given in: without
// the \\?\ prefix, which would take the names joined to it literally (trailing dots and blanks
// included) where the names the user gives are normalised.
bool DirectoryPath(int directory, std::wstring& path)
{
    const HANDLE handle = HandleOf(directory);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    path.assign(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFinalPathNameByHandleW(handle, &path[0], size, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= size) {
        Fail(length == 0 ? GetLastError() : ERROR_INVALID_HANDLE);
        return false;
    }
    path.resize(length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path.replace(0, 8, L"\\\\");
    else if (path.rfind(L"\\\\?\\", 0) == 0)
        path.erase(0, 4);
    return true;
}

// The name relative to the directory descriptor (or the working directory for AT_FDCWD), as
// the wide-character calls take it.
bool PathAt(int directory, const char* name, std::wstring& path)
{
    std::wstring wide;
    if (!ToWide(name, wide)) return false;
    if (directory == AT_FDCWD || IsAbsolute(wide)) {
        path = wide;
        return true;
    }
    if (!DirectoryPath(directory, path)) return false;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += wide;
    return true;
}

int OpenWide(const std::wstring& path, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) return FailWith(EOPNOTSUPP);
    const bool directory = (flags & (O_DIRECTORY | O_PATH)) != 0;
    DWORD access = 0;
    if (!directory) {
        const int accessMode = flags & (O_WRONLY | O_RDWR);
        access = accessMode == O_WRONLY ? GENERIC_WRITE : accessMode == O_RDWR ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    }
    DWORD creation = OPEN_EXISTING;
    if (flags & O_CREAT)
        creation = (flags & O_EXCL) ? CREATE_NEW : (flags & O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
    else if (flags & O_TRUNC)
        creation = TRUNCATE_EXISTING;
    // A device or pipe is opened as it is: a pipe's client may not ask to create or truncate it.
    if (IsDevicePath(path)) creation = OPEN_EXISTING;
    DWORD attributes = (flags & O_CREAT) && (mode & 0200) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (directory) attributes |= FILE_FLAG_BACKUP_SEMANTICS;  // the only way to open a directory
    if (flags & O_NOFOLLOW) attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
    if (access == GENERIC_READ) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    const HANDLE handle = CreateFileW(path.c_str(), access, kShareAll, nullptr, creation, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Fail(GetLastError());
    if (directory) {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CloseHandle(handle);
            return FailWith(ENOTDIR);
        }
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), access == GENERIC_READ ? _O_RDONLY : 0);
    if (descriptor < 0) {
        CloseHandle(handle);
        return FailWith(EMFILE);
    }
    return descriptor;
}

int StatOf(HANDLE handle, struct stat* status)
{
    std::memset(status, 0, sizeof *status);
    switch (GetFileType(handle)) {
    case FILE_TYPE_CHAR:
        status->st_mode = S_IFCHR | 0666;
        return 0;
    case FILE_TYPE_PIPE:
        status->st_mode = S_IFIFO | 0666;
        return 0;
    case FILE_TYPE_DISK:
        break;
    default:
        return Fail(GetLastError() == NO_ERROR ? ERROR_INVALID_FUNCTION : GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return Fail(GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        status->st_mode = S_IFDIR | 0777;
    else
        status->st_mode = S_IFREG | ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666);
    status->st_dev = info.dwVolumeSerialNumber;
    status->st_ino = static_cast<decltype(status->st_ino)>(info.nFileIndexLow);
    status->st_nlink = static_cast<decltype(status->st_nlink)>(info.nNumberOfLinks);
    // The C library's st_size may be 32 bits wide: larger sizes are shown as its largest value.
    using TSize = decltype(status->st_size);
    const unsigned long long size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const auto largest = static_cast<unsigned long long>(std::numeric_limits<TSize>::max());
    status->st_size = static_cast<TSize>(size < largest ? size : largest);
    return 0;
}

}  // namespace

std::wstring TWindowsCalls::Wide(const std::string& text)
{
    if (text.empty() || text.size() > INT_MAX) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, &wide[0], size);
    return wide;
}

std::string TWindowsCalls::Utf8(const std::wstring& text)
{
    if (text.empty() || text.size() > INT_MAX) return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

int TWindowsCalls::Open(const char* path, int flags, mode_t mode)
{
    std::wstring wide;
    if (!ToWide(path, wide)) return -1;
    return OpenWide(wide, flags, mode);
}

int TWindowsCalls::OpenAt(int directory, const char* path, int flags, mode_t mode)
{
    std::wstring wide;
    if (!PathAt(directory, path, wide)) return -1;
    return OpenWide(wide, flags, mode);
}

ssize_t TWindowsCalls::Read(int descriptor, void* destination, size_t size)
{
    const HANDLE handle = HandleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    if (!ReadFile(handle, destination, size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer, &got, nullptr)) {
        const DWORD error = GetLastError();
        // A pipe whose writer has gone, and a read past the end: the end of the data.
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
        return Fail(error);
    }
    return static_cast<ssize_t>(got);
}

ssize_t TWindowsCalls::Write(int descriptor, const void* source, size_t size)
{
    const HANDLE handle = HandleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    DWORD written = 0;
    if (!WriteFile(handle, source, size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer, &written, nullptr))
        return Fail(GetLastError());
    return static_cast<ssize_t>(written);
}

int TWindowsCalls::Fchmod(int, mode_t) { return 0; }

int TWindowsCalls::Fchown(int, uid_t, gid_t) { return 0; }

int TWindowsCalls::Fsync(int descriptor)
{
    const HANDLE handle = HandleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    // Pipes and devices cannot be synced, as on Linux (EINVAL).
    if (GetFileType(handle) != FILE_TYPE_DISK) return FailWith(EINVAL);
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return FlushFileBuffers(handle) ? 0 : Fail(GetLastError());
}

int TWindowsCalls::Close(int descriptor) { return _close(descriptor); }

int TWindowsCalls::RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to)
{
    std::wstring fromPath;
    std::wstring toPath;
    if (!PathAt(fromDirectory, from, fromPath) || !PathAt(toDirectory, to, toPath)) return -1;
    if (!MoveFileExW(fromPath.c_str(), toPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Fail(GetLastError());
    return 0;
}

int TWindowsCalls::LinkAt(int, const char*, int, const char*, int) { return FailWith(ENOSYS); }

int TWindowsCalls::UnlinkAt(int directory, const char* path, int)
{
    std::wstring wide;
    if (!PathAt(directory, path, wide)) return -1;
    return DeleteFileW(wide.c_str()) ? 0 : Fail(GetLastError());
}

int TWindowsCalls::Lstat(const char* path, struct stat* status)
{
    std::wstring wide;
    if (!ToWide(path, wide)) return -1;
    if (IsDevicePath(wide)) {
        std::memset(status, 0, sizeof *status);
        status->st_mode = S_IFCHR | 0666;
        return 0;
    }
    // No access asked: the file's type and attributes can be read whoever holds it open.
    const HANDLE handle =
        CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Fail(GetLastError());
    const int result = StatOf(handle, status);
    CloseHandle(handle);
    return result;
}

int TWindowsCalls::Fstat(int descriptor, struct stat* status)
{
    const HANDLE handle = HandleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    return StatOf(handle, status);
}

ssize_t TWindowsCalls::ReadLink(const char*, char*, size_t) { return FailWith(EINVAL); }

ssize_t TWindowsCalls::GetRandom(void* destination, size_t size, unsigned)
{
    const ULONG count = size < ULONG_MAX ? static_cast<ULONG>(size) : ULONG_MAX;
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, static_cast<PUCHAR>(destination), count, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return FailWith(EIO);
    return static_cast<ssize_t>(count);
}

long long TWindowsCalls::Seek(int descriptor, long long offset, int whence)
{
    return ::_lseeki64(descriptor, offset, whence);
}

#endif
