#include "picture/TFastDeflate.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Room before the block (its last byte holds the byte before the block) and after it, where the
// parse's reads of 64 bytes may reach.
constexpr size_t kRoom = 8;
constexpr size_t kSlack = 64;
// The most a block's output can take: stored, in two pieces (a piece holds at most 65535
// bytes), with a pending byte, the stream's header and check, and room for word-wide writes.
constexpr size_t kOutputSize = TFastDeflate::kBlockSize + 64;

// Deflate allows codes of up to 15 bits; ours stop at 12, which costs the pictures next to
// nothing and lets three tokens of at most 18 bits (a length code, 5 extra bits, a distance code
// of 1 bit, or of 5 in the fixed code with its length codes of 8) go into a word at a time.
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kCodeLimit = 12;
constexpr unsigned kMaxLengthCodeLength = 7;
constexpr unsigned kLiteralSymbols = 286;  // literals, end of block, 29 length symbols
// The fixed code has two more, never used, which take their place among its codes.
constexpr unsigned kFixedLiteralSymbols = 288;
constexpr unsigned kDistanceSymbols = 30;
constexpr unsigned kLengthCodeSymbols = 19;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kTokenKinds = 512;  // 256 literals, then runs of 3 to 258
constexpr unsigned kMinRun = 3;
constexpr unsigned kMaxRun = 258;
constexpr size_t kMaxStoredPiece = 65535;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which a dynamic block's header gives the lengths of the code-length code.
constexpr uint8_t kLengthCodeOrder[kLengthCodeSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// Symbols 16, 17 and 18 of the code-length code: how many extra bits they take.
constexpr uint8_t kRepeatExtra[3] = {2, 3, 7};

// Each run length's length symbol (0 for symbol 257), by length - 3.
struct TLengthSymbols {
    uint8_t Of[kMaxRun - kMinRun + 1];
};

constexpr TLengthSymbols MakeLengthSymbols()
{
    TLengthSymbols table{};
    unsigned symbol = 0;
    for (unsigned length = kMinRun; length <= kMaxRun; ++length) {
        while (symbol < 28 && kLengthBase[symbol + 1] <= length) ++symbol;
        table.Of[length - kMinRun] = static_cast<uint8_t>(symbol);
    }
    return table;
}

constexpr TLengthSymbols kLengthSymbols = MakeLengthSymbols();

// Little-endian words, whatever the machine's order; the compilers make each one load or store.
#ifndef __SSE2__
inline uint64_t Load64(const unsigned char* p)
{
    return uint64_t(p[0]) | uint64_t(p[1]) << 8 | uint64_t(p[2]) << 16 | uint64_t(p[3]) << 24 | uint64_t(p[4]) << 32 |
           uint64_t(p[5]) << 40 | uint64_t(p[6]) << 48 | uint64_t(p[7]) << 56;
}
#endif

inline void Store64(unsigned char* p, uint64_t value)
{
    for (int k = 0; k < 8; ++k) p[k] = static_cast<unsigned char>(value >> (8 * k));
}

// For value != 0.
inline unsigned TrailingZeros(uint64_t value)
{
#if defined(__GNUC__) || defined(__clang__)
    return static_cast<unsigned>(__builtin_ctzll(value));
#else
    unsigned count = 0;
    for (; (value & 1) == 0; value >>= 1) ++count;
    return count;
#endif
}

// Bit j says whether p[j] repeats p[j - 1], for j = 0 to 15.
inline uint32_t RepeatMask(const unsigned char* p)
{
#ifdef __SSE2__
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, before)));
#else
    // 0x80 in each byte of a word that equals the one before it, gathered into the top byte.
    constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    uint32_t mask = 0;
    for (int half = 0; half < 2; ++half) {
        const uint64_t differences = Load64(p + 8 * half) ^ Load64(p + 8 * half - 1);
        const uint64_t same = ~(((differences & kLow7) + kLow7) | differences | kLow7);
        mask |= static_cast<uint32_t>(((same >> 7) * 0x0102040810204080ULL) >> 56) << (8 * half);
    }
    return mask;
#endif
}

// The 16 bytes as 16 tokens.
inline void Widen(const unsigned char* p, uint16_t* out)
{
#ifdef __SSE2__
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, _mm_setzero_si128()));
#else
    for (int k = 0; k < 16; ++k) out[k] = p[k];
#endif
}

// The Adler-32 check of the bytes after those it is of (RFC 1950): a, 1 plus the sum of the
// bytes, and b, the sum of the a after each byte, both modulo 65521.
uint32_t Adler32(uint32_t adler, const unsigned char* data, size_t size)
{
    constexpr uint32_t kBase = 65521;
    // The most bytes after which b, from values below kBase, still fits in 32 bits.
    constexpr size_t kMostBytes = 5552;
    uint32_t a = adler & 0xffff;
    uint32_t b = adler >> 16;
    while (size > 0) {
        size_t n = std::min(size, kMostBytes);
        size -= n;
#ifdef __SSE2__
        // Blocks of 32 bytes d[0..31]: a gains their sum, b gains 32 a + the sum of (32 - j) d[j].
        // The lanes sum the blocks, the sums of the blocks before each, and the weighted bytes.
        const size_t blocks = n / 32;
        if (blocks > 0) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i weights0 = _mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25);
            const __m128i weights1 = _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17);
            const __m128i weights2 = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
            const __m128i weights3 = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
            __m128i sums = zero;
            __m128i sumsBefore = zero;
            __m128i weighted = zero;
            for (size_t k = 0; k < blocks; ++k, data += 32) {
                const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
                const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16));
                sumsBefore = _mm_add_epi32(sumsBefore, sums);
                sums = _mm_add_epi32(sums, _mm_add_epi32(_mm_sad_epu8(first, zero), _mm_sad_epu8(second, zero)));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(first, zero), weights0));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(first, zero), weights1));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(second, zero), weights2));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(second, zero), weights3));
            }
            auto sum = [](__m128i lanes) {
                uint32_t part[4];
                _mm_storeu_si128(reinterpret_cast<__m128i*>(part), lanes);
                return part[0] + part[1] + part[2] + part[3];
            };
            b += static_cast<uint32_t>(32 * blocks) * a + 32 * sum(sumsBefore) + sum(weighted);
            a += sum(sums);
            n -= 32 * blocks;
        }
#endif
        for (; n > 0; --n) {
            a += *data++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return b << 16 | a;
}

// Each byte with its bits in reverse order.
struct TReversedBytes {
    uint8_t Of[256];
};

constexpr TReversedBytes MakeReversedBytes()
{
    TReversedBytes table{};
    for (unsigned byte = 0; byte < 256; ++byte)
        for (unsigned bit = 0; bit < 8; ++bit)
            if (byte & (1u << bit)) table.Of[byte] |= static_cast<uint8_t>(0x80u >> bit);
    return table;
}

constexpr TReversedBytes kReversedBytes = MakeReversedBytes();

// The `length` low bits of the code in reverse order (length at most 16).
inline uint32_t Reversed(uint32_t code, unsigned length)
{
    const uint32_t reversed = uint32_t(kReversedBytes.Of[code & 0xff]) << 8 | kReversedBytes.Of[(code >> 8) & 0xff];
    return reversed >> (16 - length);
}

// Code lengths of at most `limit` bits for symbols [0, count): a minimal prefix code, computed in
// place (Moffat and Katajainen) over the symbols sorted by frequency, then with its longest codes
// shortened where they pass the limit, the rest lengthened as little as keeps it a prefix code.
// At least two symbols get a code, so that every code is complete, as inflaters ask.
void CodeLengths(const uint32_t* frequencies, unsigned count, unsigned limit, uint8_t* lengths)
{
    // The used symbols (fewer than two: the first unused ones too, counted once) sorted by
    // frequency, those of one frequency by number: a stable radix sort of the frequencies, a
    // byte at a time, of symbols taken in order.
    uint32_t symbols[kLiteralSymbols];
    uint32_t sorted[kLiteralSymbols];
    uint32_t work[kLiteralSymbols];
    unsigned used = 0;
    uint32_t most = 0;
    for (unsigned s = 0; s < count; ++s)
        if (frequencies[s] > 0) {
            symbols[used++] = s;
            most = std::max(most, frequencies[s]);
        }
    for (unsigned s = 0; used < 2; ++s)
        if (frequencies[s] == 0) symbols[used++] = s;
    auto frequency = [frequencies](uint32_t s) { return std::max<uint32_t>(frequencies[s], 1); };
    for (unsigned shift = 0; shift == 0 || (most >> shift) != 0; shift += 8) {
        unsigned places[257] = {};
        for (unsigned k = 0; k < used; ++k) ++places[((frequency(symbols[k]) >> shift) & 255) + 1];
        for (unsigned digit = 1; digit < 257; ++digit) places[digit] += places[digit - 1];
        for (unsigned k = 0; k < used; ++k) sorted[places[(frequency(symbols[k]) >> shift) & 255]++] = symbols[k];
        std::copy(sorted, sorted + used, symbols);
    }
    for (unsigned k = 0; k < used; ++k) work[k] = frequency(symbols[k]);

    // The tree's internal nodes take the places of the leaves they join, each pointing to its
    // parent; then the depths of the internal nodes, then those of the leaves.
    const unsigned n = used;
    work[0] += work[1];
    unsigned root = 0;
    unsigned leaf = 2;
    for (unsigned next = 1; next + 1 < n; ++next) {
        if (leaf >= n || work[root] < work[leaf]) {
            work[next] = work[root];
            work[root++] = next;
        } else {
            work[next] = work[leaf++];
        }
        if (leaf >= n || (root < next && work[root] < work[leaf])) {
            work[next] += work[root];
            work[root++] = next;
        } else {
            work[next] += work[leaf++];
        }
    }
    work[n - 2] = 0;
    for (unsigned next = n - 2; next-- > 0;) work[next] = work[work[next]] + 1;
    unsigned available = 1;
    unsigned depth = 0;
    int internal = static_cast<int>(n) - 2;
    int place = static_cast<int>(n) - 1;
    while (available > 0) {
        unsigned inner = 0;
        while (internal >= 0 && work[internal] == depth) {
            ++inner;
            --internal;
        }
        for (; available > inner; --available) work[place--] = depth;
        available = 2 * inner;
        ++depth;
    }

    // Lengths by number of codes, the long ones cut to the limit, then as many short codes one
    // bit longer as it takes for the lengths to fit a prefix code again.
    unsigned codesOfLength[kMaxCodeLength + 1] = {};
    for (unsigned k = 0; k < n; ++k) ++codesOfLength[std::min(work[k], uint32_t(limit))];
    uint32_t room = 0;
    for (unsigned length = 1; length <= limit; ++length) room += codesOfLength[length] << (limit - length);
    for (; room > (uint32_t(1) << limit); --room) {
        --codesOfLength[limit];
        for (unsigned length = limit - 1; length > 0; --length)
            if (codesOfLength[length] > 0) {
                --codesOfLength[length];
                codesOfLength[length + 1] += 2;
                break;
            }
    }
    std::fill(lengths, lengths + count, uint8_t(0));
    unsigned k = 0;
    for (unsigned length = limit; length > 0; --length)
        for (unsigned c = 0; c < codesOfLength[length]; ++c) lengths[symbols[k++]] = static_cast<uint8_t>(length);
}

// The canonical codes of the lengths, bit-reversed: deflate sends a code from its first bit on,
// which goes into the lowest free bit.
void CanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes)
{
    unsigned codesOfLength[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < count; ++s) ++codesOfLength[lengths[s]];
    codesOfLength[0] = 0;
    uint32_t next[kMaxCodeLength + 1] = {};
    uint32_t code = 0;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        code = (code + codesOfLength[length - 1]) << 1;
        next[length] = code;
    }
    for (unsigned s = 0; s < count; ++s)
        codes[s] = lengths[s] > 0 ? static_cast<uint16_t>(Reversed(next[lengths[s]]++, lengths[s])) : 0;
}

// One symbol of the code-length code and the value of its extra bits.
struct TLengthRun {
    uint8_t Symbol;
    uint8_t Extra;
};

// The lengths as the code-length code spells them: runs of zeros as 17 or 18, repeats of the
// length before as 16. Returns the number of symbols.
unsigned SpellLengths(const uint8_t* lengths, unsigned count, TLengthRun* out)
{
    unsigned symbols = 0;
    for (unsigned i = 0; i < count;) {
        const uint8_t length = lengths[i];
        unsigned run = 1;
        while (i + run < count && lengths[i + run] == length) ++run;
        i += run;
        if (length == 0) {
            for (; run >= 11; run -= std::min(run, 138u))
                out[symbols++] = TLengthRun{18, static_cast<uint8_t>(std::min(run, 138u) - 11)};
            if (run >= 3) {
                out[symbols++] = TLengthRun{17, static_cast<uint8_t>(run - 3)};
                run = 0;
            }
        } else {
            out[symbols++] = TLengthRun{length, 0};
            --run;
            for (; run >= 3; run -= std::min(run, 6u)) out[symbols++] = TLengthRun{16, static_cast<uint8_t>(std::min(run, 6u) - 3)};
        }
        for (; run > 0; --run) out[symbols++] = TLengthRun{length, 0};
    }
    return symbols;
}

}  // namespace

// A block's code: the bits of each token (its length symbol, extra bits and distance for a run)
// and their count; the end of block; and, for a dynamic code, its header.
struct TFastDeflate::TCode {
    uint32_t TokenBits[kTokenKinds];
    uint8_t TokenCounts[kTokenKinds];
    uint16_t EndBits;
    uint8_t EndCount;
    bool Dynamic;
    uint8_t Lengths[kLiteralSymbols + kDistanceSymbols];  // as the header gives them, one code after the other
    unsigned Literals;   // lengths given for the literal and length code
    unsigned Distances;  // and for the distance code
    TLengthRun Spelled[kLiteralSymbols + kDistanceSymbols];
    unsigned SpelledCount;
    uint8_t LengthCodeLengths[kLengthCodeSymbols];
    uint16_t LengthCodeCodes[kLengthCodeSymbols];
    unsigned LengthCodeCount;  // lengths given for the code-length code, in its order
};

namespace {

// The token frequencies of a block, gathered by symbol.
struct TFrequencies {
    uint32_t Literals[kLiteralSymbols];
    uint32_t Distances[kDistanceSymbols];
    uint64_t ExtraBits;  // the runs' extra length bits
};

// Sizes in bits of the block's tokens under a code's lengths.
uint64_t TokenBits(const TFrequencies& frequencies, const uint8_t* literalLengths, const uint8_t* distanceLengths)
{
    uint64_t bits = frequencies.ExtraBits;
    for (unsigned s = 0; s < kLiteralSymbols; ++s) bits += uint64_t(frequencies.Literals[s]) * literalLengths[s];
    for (unsigned s = 0; s < kDistanceSymbols; ++s) bits += uint64_t(frequencies.Distances[s]) * distanceLengths[s];
    return bits;
}

// The lengths of the fixed code, for its kFixedLiteralSymbols and kDistanceSymbols.
void FixedLengths(uint8_t* literalLengths, uint8_t* distanceLengths)
{
    for (unsigned s = 0; s < kFixedLiteralSymbols; ++s) literalLengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    std::fill(distanceLengths, distanceLengths + kDistanceSymbols, uint8_t(5));
}

// About how many bytes repeat the one before them (the first's is the byte before the block),
// from the first 16 of every 64: four times those that do.
size_t Repeats(const unsigned char* data, size_t size)
{
    size_t repeats = 0;
    size_t i = 0;
#ifdef __SSE2__
    // Sixteen byte counters, each taking at most 255 comparisons before they are summed.
    while (i + 16 <= size) {
        const size_t end = std::min(size - 15, i + 255 * 64);
        __m128i counters = _mm_setzero_si128();
        for (; i < end; i += 64) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 1));
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(here, before));
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        repeats += static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#else
    for (; i + 16 <= size; i += 64)
        for (size_t k = i; k < i + 16; ++k) repeats += data[k] == data[k - 1];
#endif
    return 4 * repeats;
}

// Counts of each token kind (literals or tokens), in four lanes so that neighbours' counts need
// not wait on each other.
template <typename TItem>
void CountKinds(const TItem* items, size_t count, uint32_t (&lanes)[4][kTokenKinds])
{
    size_t t = 0;
    for (; t + 4 <= count; t += 4) {
        ++lanes[0][items[t]];
        ++lanes[1][items[t + 1]];
        ++lanes[2][items[t + 2]];
        ++lanes[3][items[t + 3]];
    }
    for (; t < count; ++t) ++lanes[0][items[t]];
}

// The items' codes after the bits not yet out (bits, count), kPerWord at a time into the word,
// which is then written out whole; the pointer moves on by the whole bytes in it. Returns where
// the output goes on. The codes are short enough for the word: literals of at most 12 bits (4 of
// them and 7 bits before take 55), tokens of at most 18 (3 take 61): a length code of 12 with 5
// extra bits and a distance code of 1, or in the fixed code, of 8 with 5 and 5.
template <unsigned kPerWord, typename TItem>
unsigned char* PutTokens(const uint32_t* codeBits, const uint8_t* codeCounts, const TItem* items, size_t size,
                         unsigned char* out, uint64_t& bits, unsigned& count)
{
    uint64_t word = bits;
    unsigned filled = count;
    auto put = [&word, &filled, codeBits, codeCounts](unsigned kind) {
        word |= uint64_t(codeBits[kind]) << filled;
        filled += codeCounts[kind];
    };
    auto flush = [&word, &filled, &out]() {
        Store64(out, word);
        out += filled >> 3;
        word >>= filled & 56;
        filled &= 7;
    };
    size_t t = 0;
    for (; t + kPerWord <= size; t += kPerWord) {
        for (unsigned k = 0; k < kPerWord; ++k) put(items[t + k]);
        flush();
    }
    for (; t < size; ++t) {
        put(items[t]);
        flush();
    }
    bits = word;
    count = filled;
    return out;
}

}  // namespace

TFastDeflate::TFastDeflate(TByteSink& sink)
    : MbrSink(sink),
      MbrPtrInput(new unsigned char[kRoom + kBlockSize + kSlack]()),
      MbrPtrTokens(new uint16_t[kBlockSize + 16]),
      MbrPtrOutput(new unsigned char[kOutputSize])
{
    // The header: deflate with a 32 KiB window, the fastest level; 0x7801 is a multiple of 31.
    MbrPtrOutput[0] = 0x78;
    MbrPtrOutput[1] = 0x01;
    MbrSizOutput = 2;
}

void TFastDeflate::Write(const unsigned char* data, size_t size)
{
    if (MbrBlnFinished) throw "Data after the end of the stream in TFastDeflate";
    while (size > 0) {
        if (MbrSizFill == kBlockSize) CompressBlock(false);
        const size_t take = std::min(size, kBlockSize - MbrSizFill);
        std::memcpy(MbrPtrInput.get() + kRoom + MbrSizFill, data, take);
        MbrSizFill += take;
        data += take;
        size -= take;
    }
}

void TFastDeflate::Finish()
{
    if (MbrBlnFinished) throw "Data after the end of the stream in TFastDeflate";
    MbrBlnFinished = true;
    CompressBlock(true);
    if (MbrLngBitCount > 0) SendBits(0, 8 - MbrLngBitCount);
    for (int shift = 24; shift >= 0; shift -= 8) MbrPtrOutput[MbrSizOutput++] = static_cast<unsigned char>(MbrLngAdler >> shift);
    SendOutput();
}

void TFastDeflate::SendBits(uint32_t value, unsigned count)
{
    MbrLngBits |= uint64_t(value) << MbrLngBitCount;
    MbrLngBitCount += count;
    for (; MbrLngBitCount >= 8; MbrLngBitCount -= 8) {
        MbrPtrOutput[MbrSizOutput++] = static_cast<unsigned char>(MbrLngBits);
        MbrLngBits >>= 8;
    }
}

void TFastDeflate::SendOutput()
{
    MbrSink.Write(reinterpret_cast<const char*>(MbrPtrOutput.get()), MbrSizOutput);
    MbrSizOutput = 0;
}

size_t TFastDeflate::Parse()
{
    const unsigned char* in = MbrPtrInput.get() + kRoom;
    uint16_t* tokens = MbrPtrTokens.get();
    const size_t size = MbrSizFill;
    size_t k = 0;
    size_t from = 0;
    if (MbrBlnFirst && size > 0) {
        tokens[k++] = in[0];
        from = 1;
    }
    // The literals [pending, end) as tokens, widened 16 at a time (the last perhaps past `end`:
    // the token buffer has room for it, the input's reads stay in the room after the block).
    size_t pending = from;
    auto putLiterals = [in, tokens, &k, &pending](size_t end) {
        for (size_t q = pending; q < end; q += 16) Widen(in + q, tokens + k + (q - pending));
        k += end - pending;
        pending = end;
    };
    // A run of the bytes [start, end), each the same as the one before, after the literals
    // before it: run tokens of at most kMaxRun, none shorter than kMinRun.
    auto putRun = [tokens, &k, &pending, &putLiterals](size_t start, size_t end) {
        putLiterals(start);
        size_t length = end - start;
        while (length >= kMinRun) {
            size_t part = length;
            if (part > kMaxRun) part = length - kMaxRun < kMinRun ? length - kMinRun : kMaxRun;
            tokens[k++] = static_cast<uint16_t>(256 + part - kMinRun);
            length -= part;
        }
        pending = end;
    };
    // Windows of 64 bytes at fixed places, so that finding each window's repeats waits on
    // nothing before it: bit p of a mask says whether the byte at the window's p repeats the one
    // before it (0 past the block's end, whose reads stay in the room after it). The runs are
    // the stretches of at least kMinRun such bytes; one still open at a window's end goes on.
    auto repeatsAt = [in, size](size_t base) -> uint64_t {
        if (base >= size) return 0;
        const uint64_t repeats = uint64_t(RepeatMask(in + base)) | uint64_t(RepeatMask(in + base + 16)) << 16 |
                                 uint64_t(RepeatMask(in + base + 32)) << 32 | uint64_t(RepeatMask(in + base + 48)) << 48;
        return size - base >= 64 ? repeats : repeats & ((uint64_t(1) << (size - base)) - 1);
    };
    bool open = false;
    size_t openStart = 0;
    uint64_t before = 0;  // whether the byte before the window repeats the one before it
    uint64_t repeats = repeatsAt(from);
    for (size_t base = from; base < size; base += 64) {
        const uint64_t next = repeatsAt(base + 64);
        uint64_t unseen = ~uint64_t(0);  // the bits not yet part of a run
        if (open) {
            const uint64_t ends = ~repeats;
            if (ends == 0) {
                before = 1;
                repeats = next;
                continue;
            }
            const unsigned length = TrailingZeros(ends);
            putRun(openStart, base + length);
            open = false;
            unseen = ~uint64_t(0) << length;
        }
        // Where three repeats begin, and of those the ones that begin a stretch.
        const uint64_t threes = repeats & (repeats >> 1 | next << 63) & (repeats >> 2 | next << 62);
        uint64_t starts = threes & ~(repeats << 1 | before) & unseen;
        while (starts != 0) {
            const unsigned start = TrailingZeros(starts);
            const uint64_t ends = ~(repeats >> start);
            const unsigned length = ends != 0 ? TrailingZeros(ends) : 64;
            if (start + length >= 64) {
                // To the window's end, and perhaps beyond.
                open = true;
                openStart = base + start;
                break;
            }
            putRun(base + start, base + start + length);
            starts &= ~uint64_t(0) << (start + length);
        }
        before = repeats >> 63;
        repeats = next;
    }
    if (open) putRun(openStart, size);
    putLiterals(size);
    return k;
}

void TFastDeflate::CompressBlock(bool last)
{
    unsigned char* input = MbrPtrInput.get() + kRoom;
    const size_t size = MbrSizFill;
    MbrLngAdler = Adler32(MbrLngAdler, input, size);
    // Where fewer than half the bytes repeat the one before, runs save less than they cost (the
    // common bytes then have short codes): the bytes go as literals, without looking for runs.
    const bool literalsOnly = 2 * Repeats(input, size) < size;
    const size_t tokens = literalsOnly ? size : Parse();

    // Frequencies of the tokens, then by symbol.
    uint32_t lanes[4][kTokenKinds] = {};
    if (literalsOnly)
        CountKinds(input, size, lanes);
    else
        CountKinds(MbrPtrTokens.get(), tokens, lanes);
    TFrequencies frequencies{};
    for (unsigned kind = 0; kind < kTokenKinds; ++kind) {
        const uint32_t count = lanes[0][kind] + lanes[1][kind] + lanes[2][kind] + lanes[3][kind];
        if (kind < 256) {
            frequencies.Literals[kind] = count;
        } else {
            const unsigned symbol = kLengthSymbols.Of[kind - 256];
            frequencies.Literals[257 + symbol] += count;
            frequencies.Distances[0] += count;
            frequencies.ExtraBits += uint64_t(count) * kLengthExtra[symbol];
        }
    }
    frequencies.Literals[kEndOfBlock] = 1;

    // The dynamic code and its header's size.
    TCode code;
    uint8_t literalLengths[kLiteralSymbols];
    uint8_t distanceLengths[kDistanceSymbols];
    CodeLengths(frequencies.Literals, kLiteralSymbols, kCodeLimit, literalLengths);
    CodeLengths(frequencies.Distances, kDistanceSymbols, kCodeLimit, distanceLengths);
    code.Literals = kLiteralSymbols;
    while (code.Literals > 257 && literalLengths[code.Literals - 1] == 0) --code.Literals;
    code.Distances = kDistanceSymbols;
    while (code.Distances > 1 && distanceLengths[code.Distances - 1] == 0) --code.Distances;
    std::memcpy(code.Lengths, literalLengths, code.Literals);
    std::memcpy(code.Lengths + code.Literals, distanceLengths, code.Distances);
    code.SpelledCount = SpellLengths(code.Lengths, code.Literals + code.Distances, code.Spelled);
    uint32_t spelledFrequencies[kLengthCodeSymbols] = {};
    for (unsigned k = 0; k < code.SpelledCount; ++k) ++spelledFrequencies[code.Spelled[k].Symbol];
    CodeLengths(spelledFrequencies, kLengthCodeSymbols, kMaxLengthCodeLength, code.LengthCodeLengths);
    CanonicalCodes(code.LengthCodeLengths, kLengthCodeSymbols, code.LengthCodeCodes);
    code.LengthCodeCount = kLengthCodeSymbols;
    while (code.LengthCodeCount > 4 && code.LengthCodeLengths[kLengthCodeOrder[code.LengthCodeCount - 1]] == 0) --code.LengthCodeCount;
    uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * code.LengthCodeCount + TokenBits(frequencies, literalLengths, distanceLengths);
    for (unsigned k = 0; k < code.SpelledCount; ++k) {
        const uint8_t symbol = code.Spelled[k].Symbol;
        dynamicBits += code.LengthCodeLengths[symbol] + (symbol >= 16 ? kRepeatExtra[symbol - 16] : 0);
    }

    uint8_t fixedLiteralLengths[kFixedLiteralSymbols];
    uint8_t fixedDistanceLengths[kDistanceSymbols];
    FixedLengths(fixedLiteralLengths, fixedDistanceLengths);
    const uint64_t fixedBits = 3 + TokenBits(frequencies, fixedLiteralLengths, fixedDistanceLengths);

    // Stored, in pieces as SendStored makes them, each header's bits padded to a whole byte.
    uint64_t storedBits = 0;
    unsigned pending = MbrLngBitCount;
    size_t done = 0;
    do {
        const size_t piece = std::min(kMaxStoredPiece, size - done);
        storedBits += 3 + (8 - (pending + 3) % 8) % 8 + 32 + 8 * uint64_t(piece);
        pending = 0;
        done += piece;
    } while (done < size);

    if (storedBits < dynamicBits && storedBits < fixedBits) {
        SendStored(input, size, last);
    } else {
        code.Dynamic = dynamicBits <= fixedBits;
        const uint8_t* lengths = code.Dynamic ? literalLengths : fixedLiteralLengths;
        const uint8_t* distances = code.Dynamic ? distanceLengths : fixedDistanceLengths;
        uint16_t literalCodes[kFixedLiteralSymbols];
        uint16_t distanceCodes[kDistanceSymbols];
        CanonicalCodes(lengths, code.Dynamic ? kLiteralSymbols : kFixedLiteralSymbols, literalCodes);
        CanonicalCodes(distances, kDistanceSymbols, distanceCodes);
        for (unsigned kind = 0; kind < kTokenKinds; ++kind) {
            uint64_t bits;
            unsigned count;
            if (kind < 256) {
                bits = literalCodes[kind];
                count = lengths[kind];
            } else {
                const unsigned symbol = kLengthSymbols.Of[kind - 256];
                const unsigned extra = kLengthExtra[symbol];
                bits = literalCodes[257 + symbol] | uint64_t(kind - 256 + kMinRun - kLengthBase[symbol]) << lengths[257 + symbol] |
                       uint64_t(distanceCodes[0]) << (lengths[257 + symbol] + extra);
                count = lengths[257 + symbol] + extra + distances[0];
            }
            code.TokenBits[kind] = static_cast<uint32_t>(bits);
            code.TokenCounts[kind] = static_cast<uint8_t>(count);
        }
        code.EndBits = literalCodes[kEndOfBlock];
        code.EndCount = lengths[kEndOfBlock];
        SendBits(last ? 1 : 0, 1);
        SendBits(code.Dynamic ? 2 : 1, 2);
        if (code.Dynamic) {
            SendBits(code.Literals - 257, 5);
            SendBits(code.Distances - 1, 5);
            SendBits(code.LengthCodeCount - 4, 4);
            for (unsigned k = 0; k < code.LengthCodeCount; ++k) SendBits(code.LengthCodeLengths[kLengthCodeOrder[k]], 3);
            for (unsigned k = 0; k < code.SpelledCount; ++k) {
                const TLengthRun& run = code.Spelled[k];
                SendBits(code.LengthCodeCodes[run.Symbol], code.LengthCodeLengths[run.Symbol]);
                if (run.Symbol >= 16) SendBits(run.Extra, kRepeatExtra[run.Symbol - 16]);
            }
        }
        if (literalsOnly)
            SendTokens(code, input, size);
        else
            SendTokens(code, MbrPtrTokens.get(), tokens);
        SendBits(code.EndBits, code.EndCount);
    }
    SendOutput();

    if (size > 0) {
        input[-1] = input[size - 1];
        MbrBlnFirst = false;
    }
    MbrSizFill = 0;
}

void TFastDeflate::SendTokens(const TCode& code, const unsigned char* literals, size_t count)
{
    MbrSizOutput = static_cast<size_t>(PutTokens<4>(code.TokenBits, code.TokenCounts, literals, count,
                                                    MbrPtrOutput.get() + MbrSizOutput, MbrLngBits, MbrLngBitCount) -
                                       MbrPtrOutput.get());
}

void TFastDeflate::SendTokens(const TCode& code, const uint16_t* tokens, size_t count)
{
    MbrSizOutput = static_cast<size_t>(PutTokens<3>(code.TokenBits, code.TokenCounts, tokens, count,
                                                    MbrPtrOutput.get() + MbrSizOutput, MbrLngBits, MbrLngBitCount) -
                                       MbrPtrOutput.get());
}

void TFastDeflate::SendStored(const unsigned char* data, size_t size, bool last)
{
    size_t done = 0;
    do {
        const size_t piece = std::min(kMaxStoredPiece, size - done);
        SendBits(last && done + piece == size ? 1 : 0, 1);
        SendBits(0, 2);
        if (MbrLngBitCount > 0) SendBits(0, 8 - MbrLngBitCount);
        SendBits(static_cast<uint32_t>(piece), 16);
        SendBits(static_cast<uint32_t>(~piece & 0xffff), 16);
        std::memcpy(MbrPtrOutput.get() + MbrSizOutput, data + done, piece);
        MbrSizOutput += piece;
        done += piece;
    } while (done < size);
}
