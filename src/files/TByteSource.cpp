#include "files/TByteSource.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t TStreamSource::Read(char* destination, size_t max)
{
    const std::streamsize got = MbrPtrBuffer->sgetn(destination, static_cast<std::streamsize>(max));
    if (got <= 0) {
        MbrBlnEnd = true;
        return 0;
    }
    return static_cast<size_t>(got);
}

int TStreamSource::Peek()
{
    const auto c = MbrPtrBuffer->sgetc();
    if (std::streambuf::traits_type::eq_int_type(c, std::streambuf::traits_type::eof())) {
        MbrBlnEnd = true;
        return -1;
    }
    return std::streambuf::traits_type::to_int_type(std::streambuf::traits_type::to_char_type(c));
}

TFileSource::TFileSource(const std::string& name) : MbrStgName(name)
{
    MbrIntDescriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (MbrIntDescriptor >= 0 && (::fstat(MbrIntDescriptor, &status) != 0 || S_ISDIR(status.st_mode))) {
        ::close(MbrIntDescriptor);
        MbrIntDescriptor = -1;
    }
    if (MbrIntDescriptor < 0) throw std::string("Unable to open file ") + name;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(MbrIntDescriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

TFileSource::~TFileSource()
{
    if (MbrIntDescriptor >= 0) ::close(MbrIntDescriptor);
}

size_t TFileSource::Read(char* destination, size_t max)
{
    for (;;) {
        const ssize_t got = ::read(MbrIntDescriptor, destination, max);
        if (got >= 0) return static_cast<size_t>(got);
        if (errno != EINTR) throw std::string("Unable to read file ") + MbrStgName;
    }
}
