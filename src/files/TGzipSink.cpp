#include "files/TGzipSink.h"

#include "files/TGzipDeflater.h"
#include "support/TFileMessages.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

// igzip's output depends on how its input is cut into calls: every call takes one block of the
// text, at the same place in it, whatever the writer's pieces.
constexpr size_t kBlockSize = size_t(1) << 16;
// Blocks handed to the compressor and not yet taken: more than a band of the engine's text, so
// that the engine's writing task hands a band over and goes on.
constexpr size_t kHandedBlocks = 16;
constexpr size_t kOutputSize = size_t(1) << 16;

}  // namespace

TGzipSink::TGzipSink(const std::string& name, TGzipLibrary library)
    : MbrStgName(name),
      MbrFile(name),
      MbrPtrDeflater(TGzipDeflater::Make(library)),
      MbrPtrOutput(new unsigned char[kOutputSize])
{
    MbrBlkFilling.Bytes.reset(new char[kBlockSize]);
}

TGzipSink::~TGzipSink()
{
    if (MbrThrCompressor.joinable()) {
        {
            std::lock_guard<std::mutex> lock(MbrMtxLock);
            MbrBlnStop = true;
        }
        MbrCndChanged.notify_all();
        MbrThrCompressor.join();
    }
}

void TGzipSink::Deflate(const TBlock& block, bool last)
{
    const unsigned char* input = reinterpret_cast<const unsigned char*>(block.Bytes.get());
    size_t size = block.Size;
    for (;;) {
        unsigned char* output = MbrPtrOutput.get();
        size_t room = kOutputSize;
        const TGzipDeflater::TStep step = MbrPtrDeflater->Deflate(input, size, output, room, last);
        if (step == TGzipDeflater::TStep::Refused)
            throw TFileMessages::UnableToWrite(MbrStgName);
        if (room < kOutputSize) MbrFile.Write(reinterpret_cast<const char*>(MbrPtrOutput.get()), kOutputSize - room);
        if (last ? step == TGzipDeflater::TStep::Finished : size == 0 && room != 0) return;
    }
}

void TGzipSink::Compress()
{
    for (;;) {
        TBlock block;
        bool last = false;
        {
            std::unique_lock<std::mutex> lock(MbrMtxLock);
            MbrCndChanged.wait(lock, [this] { return MbrBlnStop || !MbrDeqHanded.empty(); });
            if (MbrBlnStop) return;
            block = std::move(MbrDeqHanded.front());
            MbrDeqHanded.pop_front();
            last = MbrBlnLastHanded && MbrDeqHanded.empty();
        }
        try {
            Deflate(block, last);
        } catch (...) {
            {
                std::lock_guard<std::mutex> lock(MbrMtxLock);
                MbrPtrFailure = std::current_exception();
            }
            MbrCndChanged.notify_all();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(MbrMtxLock);
            block.Size = 0;
            MbrVecFree.push_back(std::move(block));
            MbrBlnCompressed = last;
        }
        MbrCndChanged.notify_all();
        if (last) return;
    }
}

void TGzipSink::ThrowFailure() { std::rethrow_exception(MbrPtrFailure); }

void TGzipSink::Hand(bool last)
{
    if (!MbrBlnInline && !MbrThrCompressor.joinable()) {
        try {
            MbrThrCompressor = std::thread([this] { Compress(); });
        } catch (const std::system_error&) {
            MbrBlnInline = true;
        }
    }
    if (MbrBlnInline) {
        Deflate(MbrBlkFilling, last);
        MbrBlkFilling.Size = 0;
        return;
    }
    std::unique_lock<std::mutex> lock(MbrMtxLock);
    MbrCndChanged.wait(lock, [this] { return MbrPtrFailure || MbrDeqHanded.size() < kHandedBlocks; });
    if (MbrPtrFailure) ThrowFailure();
    MbrDeqHanded.push_back(std::move(MbrBlkFilling));
    MbrBlkFilling = TBlock();
    MbrBlnLastHanded = last;
    if (!MbrVecFree.empty()) {
        MbrBlkFilling = std::move(MbrVecFree.back());
        MbrVecFree.pop_back();
    }
    lock.unlock();
    MbrCndChanged.notify_all();
    if (!last && !MbrBlkFilling.Bytes) MbrBlkFilling.Bytes.reset(new char[kBlockSize]);
}

void TGzipSink::Write(const char* data, size_t size)
{
    while (size > 0) {
        const size_t taken = std::min(size, kBlockSize - MbrBlkFilling.Size);
        std::memcpy(MbrBlkFilling.Bytes.get() + MbrBlkFilling.Size, data, taken);
        MbrBlkFilling.Size += taken;
        data += taken;
        size -= taken;
        if (MbrBlkFilling.Size == kBlockSize) Hand(false);
    }
}

void TGzipSink::Commit()
{
    Prepare();
    Publish();
}

void TGzipSink::Publish() { MbrFile.Publish(); }

void TGzipSink::Prepare()
{
    if (!MbrBlnFinished) {
        Hand(true);
        if (MbrThrCompressor.joinable()) {
            {
                std::unique_lock<std::mutex> lock(MbrMtxLock);
                MbrCndChanged.wait(lock, [this] { return MbrPtrFailure || MbrBlnCompressed; });
            }
            MbrThrCompressor.join();
            if (MbrPtrFailure) ThrowFailure();
        }
        MbrBlnFinished = true;
    }
    MbrFile.Prepare();
}
