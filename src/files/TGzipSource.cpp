#include "files/TGzipSource.h"

#include "files/TGzipInflater.h"

#include <cstring>

const char* const TGzipSource::kDamaged = "File format error: corrupt or truncated gzip data";

namespace {

constexpr size_t kInputSize = size_t(1) << 16;
// The header's flags byte and the bits of it that no gzip version defines.
constexpr size_t kFlagsOffset = 3;
constexpr unsigned char kReservedFlags = 0xe0;

}  // namespace

TGzipSource::TGzipSource(std::unique_ptr<TByteSource> compressed, TGzipLibrary library)
    : MbrPtrCompressed(std::move(compressed)),
      MbrPtrInflater(TGzipInflater::Make(library)),
      MbrPtrInput(new unsigned char[kInputSize]),
      MbrPtrNext(MbrPtrInput.get())
{
}

TGzipSource::~TGzipSource() = default;

bool TGzipSource::Fill(size_t wanted)
{
    if (MbrSizAvailable >= wanted) return true;
    // Keep what is left at the front of the buffer and read after it.
    if (MbrSizAvailable > 0 && MbrPtrNext != MbrPtrInput.get()) std::memmove(MbrPtrInput.get(), MbrPtrNext, MbrSizAvailable);
    MbrPtrNext = MbrPtrInput.get();
    while (MbrSizAvailable < wanted) {
        const size_t got =
            MbrPtrCompressed->Read(reinterpret_cast<char*>(MbrPtrInput.get()) + MbrSizAvailable, kInputSize - MbrSizAvailable);
        if (got == 0) return false;
        MbrSizAvailable += got;
    }
    return true;
}

void TGzipSource::StartMember()
{
    // zlib refuses such a header and igzip would skip the flags; both refuse it here, first.
    if (!Fill(kFlagsOffset + 1) || (MbrPtrNext[kFlagsOffset] & kReservedFlags) != 0) throw kDamaged;
    MbrBlnInMember = true;
}

size_t TGzipSource::Read(char* destination, size_t max)
{
    unsigned char* next = reinterpret_cast<unsigned char*>(destination);
    size_t room = max;
    // The whole room is filled while data lasts: a member's checksum, after its last byte, is
    // then checked in the same call that hands out that byte, before the reader is done.
    while (!MbrBlnEnded && room > 0) {
        if (MbrBlnBetweenMembers) {
            if (!Fill(2) || MbrPtrNext[0] != 0x1f || MbrPtrNext[1] != 0x8b) {
                MbrBlnEnded = true;
                break;
            }
            if (!MbrPtrInflater->Restart()) throw kDamaged;
            MbrBlnBetweenMembers = false;
        }
        if (!MbrBlnInMember) StartMember();
        if (MbrSizAvailable == 0 && !Fill(1)) throw kDamaged;  // the data ends inside a member
        const size_t before = MbrSizAvailable + room;
        const TGzipInflater::TStep step = MbrPtrInflater->Inflate(MbrPtrNext, MbrSizAvailable, next, room);
        if (step == TGzipInflater::TStep::Damaged) throw kDamaged;
        if (step == TGzipInflater::TStep::MemberEnd) {
            MbrBlnInMember = false;
            MbrBlnBetweenMembers = true;
        } else if (MbrSizAvailable + room == before) {
            // Nothing taken and nothing given: the decompressor needs more bytes than are at hand.
            if (MbrSizAvailable == kInputSize || !Fill(MbrSizAvailable + 1)) throw kDamaged;
        }
    }
    return max - room;
}
