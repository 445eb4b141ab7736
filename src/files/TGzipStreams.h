#pragma once

#include "files/TGzipLibrary.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <type_traits>

// What the inflaters and deflaters of the gzip libraries share: how one is made, and how a span
// of input and a span of room are offered to a library's stream.
class TGzipStreams {
public:
    TGzipStreams() = delete;

    // A new TZlib or TIsal as a TKind (caller owns). Throws "gzip through NAME is not in this
    // build" for a library the build lacks, and what the constructors throw.
    template <class TKind, class TZlib, class TIsal>
    static std::unique_ptr<TKind> Make(TGzipLibrary library)
    {
        TGzipLibraries::Require(library);
        if (library == TGzipLibrary::Isal) return std::make_unique<TIsal>();
        return std::make_unique<TZlib>();
    }

    // Offers the spans to a library's stream (its next_in, avail_in, next_out and avail_out;
    // counts of 32 bits, so a larger span is offered in part), runs `call` and advances the spans
    // past what it took and gave. Returns what `call` returns.
    template <class TStream, class TCall>
    static auto Step(TStream& stream, const unsigned char*& input, size_t& inputSize, unsigned char*& output,
                     size_t& outputSize, TCall call)
    {
        using TCount = decltype(stream.avail_in);
        using TByte = std::remove_pointer_t<decltype(stream.next_in)>;
        constexpr size_t kMost = std::numeric_limits<TCount>::max();
        stream.next_in = const_cast<TByte*>(reinterpret_cast<const TByte*>(input));
        stream.avail_in = static_cast<TCount>(std::min(inputSize, kMost));
        stream.next_out = reinterpret_cast<TByte*>(output);
        stream.avail_out = static_cast<TCount>(std::min(outputSize, kMost));
        const size_t offered = stream.avail_in;
        const size_t room = stream.avail_out;
        const auto result = call();
        input += offered - stream.avail_in;
        inputSize -= offered - stream.avail_in;
        output += room - stream.avail_out;
        outputSize -= room - stream.avail_out;
        return result;
    }
};
