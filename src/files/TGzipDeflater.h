#pragma once

#include "files/TGzipLibrary.h"

#include <cstddef>
#include <memory>

// One library's compressor of one gzip member at its fastest level (zlib's 1; igzip's 2, as fast
// as its 1 and smaller), under the gzip sink. The member's header is the same for every library:
// no name, no time, "fastest" in the extra flags and Unix as the system (as gzip -1 -n writes it
// on Linux).
class TGzipDeflater {
public:
    // Throws std::bad_alloc when the compressor cannot be set up, and "gzip through NAME is not
    // in this build" for a library the build lacks. The caller owns the result.
    static std::unique_ptr<TGzipDeflater> Make(TGzipLibrary library);
    virtual ~TGzipDeflater() = default;

    enum class TStep {
        More,      // the input is all taken or the room is full
        Finished,  // with `finish`: the member is complete
        Refused,   // the library refused its state (a fault of the program)
    };

    // Compresses from `input` into `output`, advancing both past what it used and gave. With
    // `finish` the input is the last; call again with more room until the member is Finished.
    virtual TStep Deflate(const unsigned char*& input, size_t& inputSize, unsigned char*& output, size_t& outputSize,
                          bool finish) = 0;

    // The 10 bytes every member starts with.
    static const unsigned char kHeader[10];
};
