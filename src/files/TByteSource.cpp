#include "files/TByteSource.h"

#include "support/TStringTools.h"
#include "sys/TSystemCalls.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

std::string FileMessage(const char* what, const std::string& name)
{
    return what + TStringTools::EscapeControlCharacters(name);
}

}  // namespace

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
    MbrIntDescriptor = TSystemCalls::Open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (MbrIntDescriptor >= 0 &&
        (TSystemCalls::Fstat(MbrIntDescriptor, &status) != 0 || S_ISDIR(status.st_mode))) {
        TSystemCalls::Close(MbrIntDescriptor);
        MbrIntDescriptor = -1;
    }
    if (MbrIntDescriptor < 0) throw FileMessage("Unable to open file ", name);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(MbrIntDescriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

TFileSource::~TFileSource()
{
    if (MbrIntDescriptor >= 0) TSystemCalls::Close(MbrIntDescriptor);
}

size_t TFileSource::Read(char* destination, size_t max)
{
    const ssize_t got = TSystemCalls::Read(MbrIntDescriptor, destination, max);
    if (got < 0) throw FileMessage("Unable to read file ", MbrStgName);
    return static_cast<size_t>(got);
}
