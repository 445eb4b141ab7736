#pragma once

#include "files/TFileSink.h"
#include "files/TGzipLibrary.h"
#include "text/TByteSink.h"

#include <cstddef>
#include <memory>
#include <string>

class TGzipDeflater;

// A named output file written gzip-compressed at the library's fastest level, through a
// TFileSink: the file is replaced only on Commit, and a sink released without Commit leaves the
// target as it was. The header carries no name and no time, and the compressor always takes the
// text in the same blocks however it is written, so that one build always writes the same bytes
// for the same text; builds with other libraries write other bytes that decompress to the same text.
class TGzipSink : public TByteSink {
public:
    // Throws "Unable to open file " and the name, std::bad_alloc when the compressor cannot be
    // set up, and "gzip through NAME is not in this build" for a library the build lacks.
    explicit TGzipSink(const std::string& name, TGzipLibrary library = TGzipLibraries::Fastest());
    ~TGzipSink();
    TGzipSink(const TGzipSink&) = delete;
    TGzipSink& operator=(const TGzipSink&) = delete;

    // Throws "Unable to write file " and the name.
    void Write(const char* data, size_t size) override;
    // Ends the gzip data and puts the file in place. Throws "Unable to write file " and the name.
    void Commit();

private:
    // Compresses one block of the text (the last with `finish`) and writes what it gives.
    void Deflate(const char* data, size_t size, bool finish);

    std::string MbrStgName;
    TFileSink MbrFile;
    std::unique_ptr<TGzipDeflater> MbrPtrDeflater;
    std::unique_ptr<char[]> MbrPtrBlock;  // the text since the last whole block
    size_t MbrSizBlock = 0;
    std::unique_ptr<unsigned char[]> MbrPtrOutput;
    bool MbrBlnFinished = false;
};
