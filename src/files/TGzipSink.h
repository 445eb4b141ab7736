#pragma once

#include "files/TFileSink.h"
#include "files/TGzipLibrary.h"
#include "text/TByteSink.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TGzipDeflater;

// A named output file written gzip-compressed at the library's fastest level, through a
// TFileSink: the file is replaced only on Commit, and a sink released without Commit leaves the
// target as it was. The header carries no name and no time, and the compressor always takes the
// text in the same blocks however it is written, so that one build always writes the same bytes
// for the same text; builds with other libraries write other bytes that decompress to the same
// text. The text is compressed and written on a thread of the sink's own, a bounded number of
// blocks (1 MB) behind the writer, so that compressing overlaps with making the text.
class TGzipSink : public TByteSink {
public:
    // Throws "Unable to open file " and the name, std::bad_alloc when the compressor cannot be
    // set up, and "gzip through NAME is not in this build" for a library the build lacks.
    explicit TGzipSink(const std::string& name, TGzipLibrary library = TGzipLibraries::Fastest());
    // Discards an output that was not committed, and what was not yet compressed.
    ~TGzipSink();
    TGzipSink(const TGzipSink&) = delete;
    TGzipSink& operator=(const TGzipSink&) = delete;

    // Throws "Unable to write file " and the name, here or at a later Write or Commit when the
    // failure comes while earlier text is written.
    void Write(const char* data, size_t size) override;
    // Ends the gzip data and puts the file in place. Throws "Unable to write file " and the name.
    void Commit();
    // Commit in two steps, as TFileSink's: the gzip data ended and the file made whole, then put
    // in place.
    void Prepare();
    void Publish();
    bool InPlace() const { return MbrFile.InPlace(); }

private:
    struct TBlock {
        std::unique_ptr<char[]> Bytes;
        size_t Size = 0;
    };

    // Hands the block being filled to the compressor (the last one with `last`).
    void Hand(bool last);
    // The compressor thread: compresses and writes the blocks handed to it, in order.
    void Compress();
    // Compresses one block and writes what it gives.
    void Deflate(const TBlock& block, bool last);
    void ThrowFailure();

    std::string MbrStgName;
    TFileSink MbrFile;
    std::unique_ptr<TGzipDeflater> MbrPtrDeflater;
    std::unique_ptr<unsigned char[]> MbrPtrOutput;
    TBlock MbrBlkFilling;  // the text since the last whole block

    // Shared with the compressor thread, under the lock.
    std::mutex MbrMtxLock;
    std::condition_variable MbrCndChanged;
    std::deque<TBlock> MbrDeqHanded;  // waiting for the compressor, in order
    std::vector<TBlock> MbrVecFree;   // compressed, to be filled again
    std::exception_ptr MbrPtrFailure;
    bool MbrBlnLastHanded = false;
    bool MbrBlnCompressed = false;  // the last block is compressed and written
    bool MbrBlnStop = false;

    std::thread MbrThrCompressor;
    bool MbrBlnInline = false;  // no thread could be started: the writer compresses
    bool MbrBlnFinished = false;
};
