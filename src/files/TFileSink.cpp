#include "files/TFileSink.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    if (slash == std::string::npos) return "";
    return name.substr(0, slash + 1);
}

std::string BaseOf(const std::string& name)
{
    // Short enough that the temporary name stays within the file system's limit.
    const size_t slash = name.find_last_of('/');
    return (slash == std::string::npos ? name : name.substr(slash + 1)).substr(0, 200);
}

}  // namespace

TFileSink::TFileSink(const std::string& name) : MbrStgName(name)
{
    struct stat status;
    const bool exists = ::lstat(name.c_str(), &status) == 0;
    const bool replaceable = !name.empty() && name.back() != '/';
    if (replaceable && ((exists && S_ISREG(status.st_mode)) || (!exists && errno == ENOENT))) {
        if (OpenTemporary(exists ? &status : nullptr)) return;
        // In a directory we may not write in, an existing file we may write is still written, in place.
        const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
        if (!exists || !denied) throw std::string("Unable to open file ") + name;
    }
    MbrIntDescriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (MbrIntDescriptor < 0) throw std::string("Unable to open file ") + name;
}

bool TFileSink::OpenTemporary(const struct stat* replaced)
{
    // A fresh name beside the target, created with 0666 less the umask like any new file.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = DirectoryOf(MbrStgName) + "." + BaseOf(MbrStgName) + ".tmp" +
            std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
            std::to_string(static_cast<long>(std::time(nullptr)));
        MbrIntDescriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (MbrIntDescriptor >= 0) {
            MbrStgTemporary = temporary;
            break;
        }
        if (errno != EEXIST) return false;
    }
    if (MbrIntDescriptor < 0) return false;
    if (replaced) {
        // The replacement keeps the replaced file's permissions and, where we may, its owner.
        if (::fchown(MbrIntDescriptor, replaced->st_uid, replaced->st_gid) != 0) {
            // Only a privileged process may give a file away; the permissions still follow.
        }
        if (::fchmod(MbrIntDescriptor, replaced->st_mode & 07777) != 0) {
            const int error = errno;
            Discard();
            errno = error;
            return false;
        }
    }
    return true;
}

TFileSink::~TFileSink() { Discard(); }

void TFileSink::Discard()
{
    if (MbrIntDescriptor >= 0) ::close(MbrIntDescriptor);
    MbrIntDescriptor = -1;
    if (!MbrStgTemporary.empty()) ::unlink(MbrStgTemporary.c_str());
    MbrStgTemporary.clear();
}

void TFileSink::FailWrite()
{
    Discard();
    throw std::string("Unable to write file ") + MbrStgName;
}

void TFileSink::Write(const char* data, size_t size)
{
    if (MbrIntDescriptor < 0) FailWrite();
    while (size > 0) {
        const ssize_t written = ::write(MbrIntDescriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            FailWrite();
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void TFileSink::Commit()
{
    if (MbrIntDescriptor < 0) FailWrite();
    const int descriptor = MbrIntDescriptor;
    MbrIntDescriptor = -1;
    if (::close(descriptor) != 0) FailWrite();
    if (!MbrStgTemporary.empty()) {
        if (::rename(MbrStgTemporary.c_str(), MbrStgName.c_str()) != 0) FailWrite();
        MbrStgTemporary.clear();
    }
}
