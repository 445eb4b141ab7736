#pragma once

#include "text/TByteSink.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// A zlib stream (deflate data behind a two-byte header, an Adler-32 check at the end) made in one
// quick pass for picture rows, whose long stretches are runs of one byte. Each block of up to
// kBlockSize input bytes becomes literals and runs of the byte before (distance 1, lengths 3 to
// 258), or, where fewer than half its bytes repeat the one before, literals alone; these are
// coded in whichever deflate block is smallest: with a Huffman code of at most 12 bits made for
// the block, with the fixed code, or stored. The bytes depend only on the input, never on the
// system or on a library's version; memory is bounded by one block of input, its tokens and its
// output (about 256 KB).
class TFastDeflate {
public:
    static constexpr size_t kBlockSize = size_t(1) << 16;

    // A stream sending its bytes to the sink, a block at a time. Throws std::bad_alloc.
    explicit TFastDeflate(TByteSink& sink);
    TFastDeflate(const TFastDeflate&) = delete;
    TFastDeflate& operator=(const TFastDeflate&) = delete;

    // Takes the bytes; each full block is compressed and sent on once more input follows. Throws
    // "Data after the end of the stream in TFastDeflate", and what the sink throws.
    void Write(const unsigned char* data, size_t size);
    // Sends the last block and the check. Throws "Data after the end of the stream in
    // TFastDeflate" when called twice, and what the sink throws.
    void Finish();

private:
    struct TCode;
    void CompressBlock(bool last);
    size_t Parse();
    void SendBits(uint32_t value, unsigned count);
    void SendStored(const unsigned char* data, size_t size, bool last);
    void SendTokens(const TCode& code, const unsigned char* literals, size_t count);
    void SendTokens(const TCode& code, const uint16_t* tokens, size_t count);
    void SendOutput();

    TByteSink& MbrSink;
    // The block being filled, after a few bytes of room whose last holds the byte before it.
    std::unique_ptr<unsigned char[]> MbrPtrInput;
    size_t MbrSizFill = 0;
    bool MbrBlnFirst = true;  // no byte before the block yet
    bool MbrBlnFinished = false;
    // The block as literals (0 to 255) and runs (256 + length - 3).
    std::unique_ptr<uint16_t[]> MbrPtrTokens;
    std::unique_ptr<unsigned char[]> MbrPtrOutput;
    size_t MbrSizOutput = 0;
    // Bits not yet a whole byte of output, the first in the lowest bit.
    uint64_t MbrLngBits = 0;
    unsigned MbrLngBitCount = 0;
    uint32_t MbrLngAdler = 1;
};
