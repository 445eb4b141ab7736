#pragma once

#include "files/TFileSink.h"
#include "text/TByteSink.h"

#include <cstddef>
#include <memory>
#include <string>

struct z_stream_s;
struct gz_header_s;

// A named output file written gzip-compressed, through a TFileSink: the file is replaced only on
// Commit, and a sink released without Commit leaves the target as it was. The gzip header carries
// no name and no time, so the same grid always compresses to the same bytes.
class TGzipSink : public TByteSink {
public:
    // Throws "Unable to open file " and the name, or std::bad_alloc when the compressor cannot be
    // set up.
    explicit TGzipSink(const std::string& name);
    ~TGzipSink();
    TGzipSink(const TGzipSink&) = delete;
    TGzipSink& operator=(const TGzipSink&) = delete;

    // Throws "Unable to write file " and the name.
    void Write(const char* data, size_t size) override;
    // Ends the gzip data and puts the file in place. Throws "Unable to write file " and the name.
    void Commit();

private:
    void Deflate(int flush);

    std::string MbrStgName;
    TFileSink MbrFile;
    std::unique_ptr<z_stream_s> MbrPtrStream;
    std::unique_ptr<gz_header_s> MbrPtrHeader;
    std::unique_ptr<unsigned char[]> MbrPtrOutput;
    bool MbrBlnFinished = false;
};
