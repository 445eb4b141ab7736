#include "files/TGzipSink.h"

#include "files/TGzipDeflater.h"
#include "support/TStringTools.h"

#include <algorithm>
#include <cstring>

namespace {

// igzip's output depends on how its input is cut into calls: every call takes one block of the
// text, at the same place in it, whatever the writer's pieces.
constexpr size_t kBlockSize = size_t(1) << 16;
constexpr size_t kOutputSize = size_t(1) << 16;

}  // namespace

TGzipSink::TGzipSink(const std::string& name, TGzipLibrary library)
    : MbrStgName(name),
      MbrFile(name),
      MbrPtrDeflater(TGzipDeflater::Make(library)),
      MbrPtrBlock(new char[kBlockSize]),
      MbrPtrOutput(new unsigned char[kOutputSize])
{
}

TGzipSink::~TGzipSink() = default;

void TGzipSink::Deflate(const char* data, size_t size, bool finish)
{
    const unsigned char* input = reinterpret_cast<const unsigned char*>(data);
    for (;;) {
        unsigned char* output = MbrPtrOutput.get();
        size_t room = kOutputSize;
        const TGzipDeflater::TStep step = MbrPtrDeflater->Deflate(input, size, output, room, finish);
        if (step == TGzipDeflater::TStep::Refused)
            throw "Unable to write file " + TStringTools::EscapeControlCharacters(MbrStgName);
        if (room < kOutputSize) MbrFile.Write(reinterpret_cast<const char*>(MbrPtrOutput.get()), kOutputSize - room);
        if (finish ? step == TGzipDeflater::TStep::Finished : size == 0 && room != 0) return;
    }
}

void TGzipSink::Write(const char* data, size_t size)
{
    while (size > 0) {
        if (MbrSizBlock == 0 && size >= kBlockSize) {
            // A whole block in place, without a copy.
            Deflate(data, kBlockSize, false);
            data += kBlockSize;
            size -= kBlockSize;
            continue;
        }
        const size_t taken = std::min(size, kBlockSize - MbrSizBlock);
        std::memcpy(MbrPtrBlock.get() + MbrSizBlock, data, taken);
        MbrSizBlock += taken;
        data += taken;
        size -= taken;
        if (MbrSizBlock == kBlockSize) {
            Deflate(MbrPtrBlock.get(), kBlockSize, false);
            MbrSizBlock = 0;
        }
    }
}

void TGzipSink::Commit()
{
    if (!MbrBlnFinished) {
        Deflate(MbrPtrBlock.get(), MbrSizBlock, true);
        MbrSizBlock = 0;
        MbrBlnFinished = true;
    }
    MbrFile.Commit();
}
