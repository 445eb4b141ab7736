#pragma once

#include "files/TGzipLibrary.h"

#include <cstddef>
#include <memory>

// One library's decompressor of gzip members, under the gzip source, which feeds it compressed
// bytes, finds where members start and turns its steps into the source's messages.
class TGzipInflater {
public:
    enum class TStep {
        More,       // went on: all input taken or all room filled
        MemberEnd,  // a member ended, its checksum and length matched; the input is left after it
        Damaged,    // the data is not valid gzip, or fails its checksum or length
    };

    // Throws std::bad_alloc when the decompressor cannot be set up, and "gzip through NAME is
    // not in this build" for a library the build lacks. The caller owns the result.
    static std::unique_ptr<TGzipInflater> Make(TGzipLibrary library);
    virtual ~TGzipInflater() = default;

    // Decompresses from `input` into `output`, advancing both past what it used and gave.
    // Throws std::bad_alloc when the library runs out of memory.
    virtual TStep Inflate(const unsigned char*& input, size_t& inputSize, unsigned char*& output, size_t& outputSize) = 0;
    // Readies the decompressor for a member that follows the one that ended; false when it cannot.
    virtual bool Restart() = 0;
};
