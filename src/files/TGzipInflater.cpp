#include "files/TGzipInflater.h"

#include "files/TGzipStreams.h"

#include <zlib.h>
#ifdef GRIDMEAN_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <cstdint>
#include <new>

namespace {

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

    TStep Inflate(const unsigned char*& input, size_t& inputSize, unsigned char*& output, size_t& outputSize) override
    {
        const int result = TGzipStreams::Step(MbrStream, input, inputSize, output, outputSize,
                                              [this] { return inflate(&MbrStream, Z_NO_FLUSH); });
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

    TStep Inflate(const unsigned char*& input, size_t& inputSize, unsigned char*& output, size_t& outputSize) override
    {
        inflate_state& state = *MbrPtrState;
        const int result = TGzipStreams::Step(state, input, inputSize, output, outputSize, [&state] { return isal_inflate(&state); });
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

#else
using TIsalInflater = TZlibInflater;  // never made: the build has no isal, which Make refuses
#endif

}  // namespace

std::unique_ptr<TGzipInflater> TGzipInflater::Make(TGzipLibrary library)
{
    return TGzipStreams::Make<TGzipInflater, TZlibInflater, TIsalInflater>(library);
}
