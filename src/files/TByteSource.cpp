#include "files/TByteSource.h"

#include "support/TFileMessages.h"
#include "sys/TSystemCalls.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Descriptors held by file sources, over every thread.
std::atomic<long> gHeld{0};
// Left for the output, the standard streams and whatever else the program opens.
constexpr long kReservedDescriptors = 64;

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
    if (MbrIntDescriptor < 0) throw TFileMessages::UnableToOpen(name);
    ++gHeld;
    MbrBlnRegular = S_ISREG(status.st_mode);
    MbrLngDevice = status.st_dev;
    MbrLngInode = status.st_ino;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(MbrIntDescriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (MbrBlnRegular && gHeld.load(std::memory_order_relaxed) > DescriptorBudget()) Release();
}

TFileSource::~TFileSource() { Release(); }

void TFileSource::Release()
{
    if (MbrIntDescriptor < 0) return;
    TSystemCalls::Close(MbrIntDescriptor);
    MbrIntDescriptor = -1;
    --gHeld;
}

void TFileSource::Reopen()
{
    const int descriptor = TSystemCalls::Open(MbrStgName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    const bool same = descriptor >= 0 && TSystemCalls::Fstat(descriptor, &status) == 0 &&
        static_cast<unsigned long long>(status.st_dev) == MbrLngDevice &&
        static_cast<unsigned long long>(status.st_ino) == MbrLngInode &&
        TSystemCalls::Seek(descriptor, MbrLngOffset, SEEK_SET) == MbrLngOffset;
    if (!same) {
        if (descriptor >= 0) TSystemCalls::Close(descriptor);
        throw TFileMessages::UnableToRead(MbrStgName);
    }
    MbrIntDescriptor = descriptor;
    ++gHeld;
}

size_t TFileSource::Read(char* destination, size_t max)
{
    if (MbrIntDescriptor < 0) Reopen();
    const ssize_t got = TSystemCalls::Read(MbrIntDescriptor, destination, max);
    if (got < 0) throw TFileMessages::UnableToRead(MbrStgName);
    MbrLngOffset += got;
    if (MbrBlnRegular && gHeld.load(std::memory_order_relaxed) > DescriptorBudget()) Release();
    return static_cast<size_t>(got);
}

long TFileSource::DescriptorBudget()
{
    return std::max(TSystemCalls::DescriptorLimit() - kReservedDescriptors, 8L);
}

bool TFileSource::NamesRegularFile(const std::string& name)
{
    struct stat status;
    if (TSystemCalls::Lstat(name.c_str(), &status) != 0) return false;
#ifndef _WIN32
    // Windows' Lstat follows links already.
    if (S_ISLNK(status.st_mode) && ::stat(name.c_str(), &status) != 0) return false;
#endif
    return S_ISREG(status.st_mode);
}
