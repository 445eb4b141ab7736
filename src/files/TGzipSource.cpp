#include "files/TGzipSource.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <new>

const char* const TGzipSource::kDamaged = "File format error: corrupt or truncated gzip data";

namespace {

constexpr size_t kInputSize = size_t(1) << 16;
// 15-bit window, gzip wrapper only.
constexpr int kGzipWindow = 15 + 16;

}  // namespace

TGzipSource::TGzipSource(std::unique_ptr<TByteSource> compressed)
    : MbrPtrCompressed(std::move(compressed)), MbrPtrStream(new z_stream_s()), MbrPtrInput(new unsigned char[kInputSize])
{
    MbrPtrStream->next_in = MbrPtrInput.get();
    MbrPtrStream->avail_in = 0;
    if (inflateInit2(MbrPtrStream.get(), kGzipWindow) != Z_OK) throw std::bad_alloc();
}

TGzipSource::~TGzipSource() { inflateEnd(MbrPtrStream.get()); }

bool TGzipSource::Fill(size_t wanted)
{
    z_stream_s& stream = *MbrPtrStream;
    if (stream.avail_in >= wanted) return true;
    // Keep what is left at the front of the buffer and read after it.
    if (stream.avail_in > 0 && stream.next_in != MbrPtrInput.get())
        std::memmove(MbrPtrInput.get(), stream.next_in, stream.avail_in);
    stream.next_in = MbrPtrInput.get();
    while (stream.avail_in < wanted) {
        const size_t got = MbrPtrCompressed->Read(reinterpret_cast<char*>(MbrPtrInput.get()) + stream.avail_in,
                                                  kInputSize - stream.avail_in);
        if (got == 0) return false;
        stream.avail_in += static_cast<uInt>(got);
    }
    return true;
}

size_t TGzipSource::Read(char* destination, size_t max)
{
    z_stream_s& stream = *MbrPtrStream;
    stream.next_out = reinterpret_cast<Bytef*>(destination);
    stream.avail_out = static_cast<uInt>(max < UINT_MAX ? max : UINT_MAX);
    const uInt room = stream.avail_out;
    // The whole room is filled while data lasts: a member's checksum, after its last byte, is
    // then checked in the same call that hands out that byte, before the reader is done.
    while (!MbrBlnEnded && stream.avail_out > 0) {
        if (MbrBlnBetweenMembers) {
            if (!Fill(2) || stream.next_in[0] != 0x1f || stream.next_in[1] != 0x8b) {
                MbrBlnEnded = true;
                break;
            }
            if (inflateReset(&stream) != Z_OK) throw kDamaged;
            MbrBlnBetweenMembers = false;
        }
        if (stream.avail_in == 0 && !Fill(1)) throw kDamaged;  // the data ends inside a member
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END)
            MbrBlnBetweenMembers = true;
        else if (result == Z_MEM_ERROR)
            throw std::bad_alloc();
        else if (result != Z_OK && result != Z_BUF_ERROR)
            throw kDamaged;
    }
    return room - stream.avail_out;
}
