#include "files/TGzipInflater.h"

#include <zlib.h>
#ifdef GRIDMEAN_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace {

// The libraries count bytes in 32 bits; a larger span is taken in parts.
template <class TCount>
TCount Part(size_t size)
{
    return static_cast<TCount>(std::min<size_t>(size, std::numeric_limits<TCount>::max()));
}

class TZlibInflater : public TGzipInflater {
public:
    TZlibInflater()
    {
        // A 15-bit window and the gzip wrapper only.
        if (inflateInit2(&MbrStream, 15 + 16) != Z_OK) throw std::bad_alloc();
    }
    ~TZlibInflater() override { inflateEnd(&MbrStream); }
    TZlibInflater(const TZlibInflater&) = delete;
    TZlibInflater& operator=(const TZlibInflater&) = delete;

    TStep Inflate(const unsigned char*& input, size_t& inputSize, char*& output, size_t& outputSize) override
    {
        MbrStream.next_in = const_cast<Bytef*>(input);
        MbrStream.avail_in = Part<uInt>(inputSize);
        MbrStream.next_out = reinterpret_cast<Bytef*>(output);
        MbrStream.avail_out = Part<uInt>(outputSize);
        const uInt offered = MbrStream.avail_in;
        const uInt room = MbrStream.avail_out;
        const int result = inflate(&MbrStream, Z_NO_FLUSH);
        input += offered - MbrStream.avail_in;
        inputSize -= offered - MbrStream.avail_in;
        output += room - MbrStream.avail_out;
        outputSize -= room - MbrStream.avail_out;
        if (result == Z_STREAM_END) return TStep::MemberEnd;
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        return result == Z_OK || result == Z_BUF_ERROR ? TStep::More : TStep::Damaged;
    }
    bool Restart() override { return inflateReset(&MbrStream) == Z_OK; }

private:
    z_stream MbrStream = {};
};

#ifdef GRIDMEAN_HAVE_ISAL

class TIsalInflater : public TGzipInflater {
public:
    // The state holds the window and the decoding tables (about 90 KB): on the heap.
    TIsalInflater() : MbrPtrState(new inflate_state) { Restart(); }

    TStep Inflate(const unsigned char*& input, size_t& inputSize, char*& output, size_t& outputSize) override
    {
        inflate_state& state = *MbrPtrState;
        state.next_in = const_cast<uint8_t*>(input);
        state.avail_in = Part<uint32_t>(inputSize);
        state.next_out = reinterpret_cast<uint8_t*>(output);
        state.avail_out = Part<uint32_t>(outputSize);
        const uint32_t offered = state.avail_in;
        const uint32_t room = state.avail_out;
        const int result = isal_inflate(&state);
        input += offered - state.avail_in;
        inputSize -= offered - state.avail_in;
        output += room - state.avail_out;
        outputSize -= room - state.avail_out;
        // Negative results are faults of the data; ISAL_NEED_DICT cannot come from gzip data.
        if (result != ISAL_DECOMP_OK && result != ISAL_END_INPUT && result != ISAL_OUT_OVERFLOW) return TStep::Damaged;
        // The trailer is read and checked (checksum and length) before the state is finished.
        return state.block_state == ISAL_BLOCK_FINISH ? TStep::MemberEnd : TStep::More;
    }
    bool Restart() override
    {
        isal_inflate_init(MbrPtrState.get());
        MbrPtrState->crc_flag = ISAL_GZIP;
        return true;
    }

private:
    std::unique_ptr<inflate_state> MbrPtrState;
};

#endif

}  // namespace

std::unique_ptr<TGzipInflater> TGzipInflater::Make(TGzipLibrary library)
{
    if (library == TGzipLibrary::Zlib) return std::make_unique<TZlibInflater>();
#ifdef GRIDMEAN_HAVE_ISAL
    return std::make_unique<TIsalInflater>();
#else
    throw "gzip through isal is not in this build";
#endif
}
