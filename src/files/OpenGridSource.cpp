#include "files/OpenGridSource.h"

#include "files/TGzipSource.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes already taken from a source to look at them, followed by the rest of that source.
class TReplaySource : public TByteSource {
public:
    TReplaySource(std::unique_ptr<TByteSource> source, const char* taken, size_t count)
        : MbrPtrSource(std::move(source)), MbrSizeTaken(count)
    {
        std::memcpy(MbrArrTaken, taken, count);
    }
    size_t Read(char* destination, size_t max) override
    {
        if (MbrSizeNext == MbrSizeTaken) return MbrPtrSource->Read(destination, max);
        const size_t count = std::min(max, MbrSizeTaken - MbrSizeNext);
        std::memcpy(destination, MbrArrTaken + MbrSizeNext, count);
        MbrSizeNext += count;
        return count;
    }
    int Peek() override
    {
        if (MbrSizeNext == MbrSizeTaken) return MbrPtrSource->Peek();
        return static_cast<unsigned char>(MbrArrTaken[MbrSizeNext]);
    }
    bool StopsAfterGrid() const override { return MbrPtrSource->StopsAfterGrid(); }

private:
    std::unique_ptr<TByteSource> MbrPtrSource;
    char MbrArrTaken[2];
    size_t MbrSizeTaken;
    size_t MbrSizeNext = 0;
};

}  // namespace

std::unique_ptr<TByteSource> OpenGridSource(const std::string& name)
{
    std::unique_ptr<TByteSource> file = std::make_unique<TFileSource>(name);
    char magic[2];
    size_t count = 0;
    while (count < sizeof magic) {
        const size_t got = file->Read(magic + count, sizeof magic - count);
        if (got == 0) break;
        count += got;
    }
    const bool gzip = count == 2 && static_cast<unsigned char>(magic[0]) == 0x1f &&
        static_cast<unsigned char>(magic[1]) == 0x8b;
    std::unique_ptr<TByteSource> source = std::make_unique<TReplaySource>(std::move(file), magic, count);
    if (gzip) return std::make_unique<TGzipSource>(std::move(source));
    return source;
}
