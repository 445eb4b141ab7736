#include "text/TNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Powers of ten that a double holds exactly.
const double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Clinger's fast path: mantissa 10^exponent is exact when the digits fit in 53 bits and |exponent|
// <= 22, since both operands are then exact doubles and one correctly rounded operation rounds the
// exact value. Returns false, leaving `value` alone, for any other operands.
bool ClingerFastPath(uint64_t mantissa, int exponent, double& value)
{
    if (mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22) return false;
    const double m = static_cast<double>(mantissa);
    value = exponent < 0 ? m / kExactPowers[-exponent] : m * kExactPowers[exponent];
    return true;
}

// ---- General notation by integer arithmetic only ----
//
// A finite double is x = m 2^q with m < 2^53. Its P significant digits are the integer nearest
// y = x 10^k for the k that brings y into [10^(P-1), 10^P), a tie going to the even neighbour: printf
// rounds the exact binary value. y is found as m times a power of ten from a table of their
// leading 128 bits, scaled by a shift. Two roads use it:
// - up to 16 digits, FormatQuickly: the leading 64 bits give (y + 1/2) / 10^P as a binary
//   fraction, whose decimals, taken two at a time, are the digits; values that land too near a
//   midpoint for that precision to tell (ties among them) take the other road;
// - RoundToDigits: exact for every value, using the second 64 bits near a midpoint and an exact
//   comparison where a tie is possible, with std::to_chars for the values it cannot tell (within
//   2^-67 of a midpoint without being one, which no test value has reached).

using TU128 = unsigned __int128;

// floor(log2(10^k)) and floor(log10(2^e)) by fixed-point multiplication, exact for |k| <= 1233 and
// |e| <= 2620 (the first is also checked against every entry of the table below).
constexpr int FloorLog2Pow10(int k) { return (k * 1741647) >> 19; }
constexpr int FloorLog10Pow2(int e) { return (e * 315653) >> 20; }

// Every scale the formatter uses, P - 1 - floor(log10(x)) for P from 1 to 17 over all finite
// doubles, and every power of ten from the smallest subnormal up.
constexpr int kMinTenPower = -324;
constexpr int kMaxTenPower = 340;

// 10^k = (hi 2^64 + lo + theta) 2^(FloorLog2Pow10(k) - 127) with 0 <= theta < 1: the leading 128 bits,
// rounded down. theta = 0 (the entry is exact) for 0 <= k <= 55, lo = 0 as well for 0 <= k <= 27.
struct TTenPower {
    uint64_t hi;
    uint64_t lo;
};
struct TTenPowerTable {
    // Apart, so that the leading words, all that most values need, lie close together.
    uint64_t hi[kMaxTenPower - kMinTenPower + 1];
    uint64_t lo[kMaxTenPower - kMinTenPower + 1];

    constexpr void Set(int k, TTenPower power)
    {
        hi[k - kMinTenPower] = power.hi;
        lo[k - kMinTenPower] = power.lo;
    }
    constexpr TTenPower operator[](int k) const { return TTenPower{hi[k - kMinTenPower], lo[k - kMinTenPower]}; }
};

// An unsigned number of 22 words, least significant first, for building the table at compile time.
struct TBig {
    uint64_t word[22];
};

constexpr int BitLength(const TBig& big)
{
    for (int w = 21; w >= 0; --w)
        if (big.word[w] != 0) return 64 * w + 64 - __builtin_clzll(big.word[w]);
    return 0;
}

constexpr TTenPower Leading128Bits(const TBig& big)
{
    const int shift = BitLength(big) - 128;
    TU128 bits = 0;
    if (shift <= 0) {
        bits = ((TU128(big.word[1]) << 64) | big.word[0]) << -shift;
    } else {
        const int w = shift / 64;
        const int bit = shift % 64;
        bits = ((TU128(big.word[w + 1]) << 64) | big.word[w]) >> bit;
        if (bit != 0) bits |= TU128(big.word[w + 2]) << (128 - bit);
    }
    return TTenPower{static_cast<uint64_t>(bits >> 64), static_cast<uint64_t>(bits)};
}

constexpr TTenPowerTable MakeTenPowers()
{
    TTenPowerTable table{};
    TBig power{};  // 10^k
    power.word[0] = 1;
    for (int k = 0; k <= kMaxTenPower; ++k) {
        if (BitLength(power) - 1 != FloorLog2Pow10(k)) throw "FloorLog2Pow10 is wrong";
        table.Set(k, Leading128Bits(power));
        TU128 carry = 0;
        for (uint64_t& word : power.word) {
            carry += TU128(word) * 10;
            word = static_cast<uint64_t>(carry);
            carry >>= 64;
        }
    }
    // floor(2^1279 / 10^j), by dividing by ten j times (floor of a floor is the floor of the whole
    // quotient); its leading bits are those of 10^-j, rounded down.
    TBig inverse{};
    inverse.word[19] = uint64_t(1) << 63;
    for (int j = 1; j <= -kMinTenPower; ++j) {
        TU128 remainder = 0;
        for (int w = 21; w >= 0; --w) {
            remainder = (remainder << 64) | inverse.word[w];
            inverse.word[w] = static_cast<uint64_t>(remainder / 10);
            remainder %= 10;
        }
        if (BitLength(inverse) - 1280 != FloorLog2Pow10(-j)) throw "FloorLog2Pow10 is wrong";
        table.Set(-j, Leading128Bits(inverse));
    }
    return table;
}

constexpr TTenPowerTable kTenPowers = MakeTenPowers();

// For each binade [2^e, 2^(e+1)), e from -1074 to 1023: the least m with m 2^(e-52) >= 10^n,
// n = FloorLog10Pow2(e) + 1, or 2^53 when 10^n lies above the binade. With it, floor(log10(x))
// of x in the binade is FloorLog10Pow2(e), plus one from that m up.
struct TTenThresholds {
    uint64_t m[1023 + 1074 + 1];
};

constexpr TTenThresholds MakeTenThresholds()
{
    TTenThresholds table{};
    for (int e = -1074; e <= 1023; ++e) {
        const int n = FloorLog10Pow2(e) + 1;
        uint64_t least = uint64_t(1) << 53;
        if (FloorLog2Pow10(n) == e) {
            // 10^n = (hi 2^64 + lo + theta) 2^(e - 127): m = ceil(10^n / 2^(e - 52)).
            const TTenPower power = kTenPowers[n];
            const bool exact = n >= 0 && n <= 55 && (power.hi & 0x7ff) == 0 && power.lo == 0;
            least = (power.hi >> 11) + (exact ? 0 : 1);
        }
        table.m[e + 1074] = least;
    }
    return table;
}

constexpr TTenThresholds kTenThresholds = MakeTenThresholds();

// floor(log10(x)) for x = m 2^q, m in [2^52, 2^53).
inline int DecimalExponent(uint64_t m, int q)
{
    return FloorLog10Pow2(q + 52) + (m >= kTenThresholds.m[q + 52 + 1074] ? 1 : 0);
}

template <int Count>
struct TPowers {
    uint64_t value[Count];
    constexpr uint64_t operator[](int n) const { return value[n]; }
};

template <int Count>
constexpr TPowers<Count> PowersOf(uint64_t base)
{
    TPowers<Count> powers{};
    powers.value[0] = 1;
    for (int n = 1; n < Count; ++n) powers.value[n] = powers.value[n - 1] * base;
    return powers;
}

constexpr TPowers<18> kTenPowersU64 = PowersOf<18>(10);
constexpr TPowers<23> kFivePowers = PowersOf<23>(5);  // up to 5^22, below 2^53

// The sign of m 2^q 10^-j - (whole + 1/2), exactly, for 1 <= j <= 22: the sign of
// m 2^(q - j + 1) - (2 whole + 1) 5^j, where the right side stays below 2^110.
int CompareWithMidpoint(uint64_t m, int q, int j, uint64_t whole)
{
    TU128 right = TU128(2 * whole + 1) * kFivePowers[j];
    TU128 left = m;
    const int shift = q - j + 1;
    if (shift >= 0) {
        if (shift > 74) return 1;  // m 2^shift is at least 2^127
        left <<= shift;
    } else {
        // m 2^shift below 1, or the right side times 2^-shift at least 2^127: either is below it.
        if (-shift > 52 || (right >> (127 + shift)) != 0) return -1;
        right <<= -shift;
    }
    return left > right ? 1 : left < right ? -1 : 0;
}

// Rounds x = m 2^q, m in [2^52, 2^53), to `precision` (1 to 17) significant digits:
// x ~ digits 10^(exponent - precision + 1) with digits in [10^(precision-1), 10^precision).
// Returns false in the cases it leaves to the general path (x within 2^-67 of a midpoint, where
// no tie is possible and a 128-bit scale cannot tell the side).
__attribute__((noinline)) bool RoundToDigits(uint64_t m, int q, int precision, uint64_t& digits, int& exponent)
{
    exponent = DecimalExponent(m, q);
    const int k = precision - 1 - exponent;
    const uint64_t limit = kTenPowersU64[precision];
    const TTenPower power = kTenPowers[k];
    // y ~ m hi / 2^shift, short by less than m / 2^shift < 2^-6, with shift in [59, 117] since y
    // lies in [10^(precision-1), 10^precision).
    const int shift = 63 - q - FloorLog2Pow10(k);
    const TU128 product = TU128(m) * power.hi;
    const uint64_t whole = static_cast<uint64_t>(product >> shift);
    const TU128 half = TU128(1) << 127;
    TU128 fraction = product << (128 - shift);  // in units of 2^-128
    bool up;
    if (k >= 0 && k <= 27) {
        // 10^k = hi 2^(FloorLog2Pow10(k) - 63) exactly, so the fraction is exact too.
        up = fraction > half || (fraction == half && whole % 2 == 1);
    } else if (fraction >= half) {
        up = true;  // the entry is short of 10^k, so y is above the computed value, and above the midpoint
    } else if (fraction < half - (TU128(1) << (181 - shift))) {
        up = false;  // y is below the computed value plus its error bound, so below the midpoint
    } else {
        // Near the midpoint: add the second word of the entry, which leaves an error below 2^-67.
        const TU128 low = TU128(m) * power.lo;
        fraction += shift >= 64 ? low >> (shift - 64) : low << (64 - shift);
        if (fraction >= half) {
            up = true;
        } else if (fraction < half - (TU128(1) << (117 - shift)) - 1) {
            up = false;
        } else if (k < 0 && k >= -22) {
            // A true tie is possible only here (x divisible by 5^-k); decide exactly.
            const int side = CompareWithMidpoint(m, q, -k, whole);
            up = side > 0 || (side == 0 && whole % 2 == 1);
        } else {
            return false;
        }
    }
    digits = whole + (up ? 1 : 0);
    if (digits == limit) {  // rounded up to the next power of ten
        digits = limit / 10;
        ++exponent;
    }
    return digits >= limit / 10;  // y just below 10^(precision-1) always rounds up to it
}

// Stores 8 bytes in the machine's order, so that eight characters of text kept in a register
// (PairText, kZeroText) read in order.
inline void StoreBytes(char* out, uint64_t bytes) { std::memcpy(out, &bytes, sizeof bytes); }

// Eight characters of text in a register, as StoreBytes stores them: the first character, the
// text without its first `count` (0 to 7) characters, and a '0' as the last character.
constexpr bool kBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
inline char FirstChar(uint64_t text) { return static_cast<char>(kBigEndian ? text >> 56 : text); }
inline uint64_t DropBytes(uint64_t text, int count) { return kBigEndian ? text << (8 * count) : text >> (8 * count); }
inline uint64_t LastChar(char c) { return kBigEndian ? uint64_t(uint8_t(c)) : uint64_t(uint8_t(c)) << 56; }
constexpr uint64_t kLastZero = kBigEndian ? 0x30 : uint64_t(0x30) << 56;

// The text of the two digits of pair (below 100), shifted to be the index-th pair of eight
// characters.
inline uint64_t PairText(uint64_t pair, int index)
{
    uint16_t text;
    std::memcpy(&text, kDigitPairs + 2 * pair, sizeof text);
    return uint64_t(text) << (16 * (kBigEndian ? 3 - index : index));
}

// The text of the eight digits of value (below 10^8), leading zeros included.
inline uint64_t EightDigitText(uint32_t value)
{
    const uint32_t millions = value / 1000000;
    const uint32_t tenThousands = value / 10000;
    const uint32_t hundreds = value / 100;
    return PairText(millions, 0) | PairText(tenThousands - 100 * millions, 1) |
        PairText(hundreds - 100 * tenThousands, 2) | PairText(value - 100 * hundreds, 3);
}

constexpr uint64_t kZeroText = 0x3030303030303030;  // "00000000"

// The characters of an eight-character text before its trailing zeros, for a text not all zeros.
inline int KeptChars(uint64_t text)
{
    const uint64_t zeros = text ^ kZeroText;  // zero bytes for the '0' characters
    const int trailing = kBigEndian ? __builtin_ctzll(zeros) : __builtin_clzll(zeros);
    return 8 - static_cast<int>(static_cast<unsigned>(trailing) / 8);
}

__attribute__((noinline)) char* WriteExponent(char* out, int exponent)
{
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    unsigned shown = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
    if (shown >= 100) {
        *out++ = static_cast<char>('0' + shown / 100);
        shown %= 100;
    }
    std::memcpy(out, kDigitPairs + 2 * shown, 2);
    return out + 2;
}

// Writes eight digits of text (as StoreBytes stores them; `precision` of them, then zeros) as
// printf's %g: fixed notation for decimal exponents from -4 to precision - 1, scientific
// otherwise, trailing zeros and a trailing point removed. Stores may run 8 bytes past the end.
inline char* WriteFewText(char* out, uint64_t text, int exponent, int precision)
{
    const int kept = KeptChars(text);
    if (exponent >= 0 && exponent < precision) {
        // The integral digits, a point and the rest, without a branch: the point is scratch when
        // no fraction remains.
        const int integral = exponent + 1;
        StoreBytes(out, text);
        StoreBytes(out + integral, DropBytes(text, integral - 1));
        out[integral] = '.';
        return out + (kept > integral ? kept + 1 : integral);
    }
    if (exponent < 0 && exponent >= -4) {
        std::memcpy(out, "0.000000", 8);
        StoreBytes(out + 1 - exponent, text);
        return out + 1 - exponent + kept;
    }
    StoreBytes(out, text);
    out[1] = '.';
    StoreBytes(out + 2, DropBytes(text, 1));
    return WriteExponent(out + (kept > 1 ? kept + 1 : 1), exponent);
}

// WriteFewText of `digits` (exactly `precision` of them, at most 8).
inline char* WriteFewDigits(char* out, uint64_t digits, int exponent, int precision)
{
    // Left-aligned to eight digits, so that the padding zeros are trailing zeros like any other.
    return WriteFewText(out, EightDigitText(static_cast<uint32_t>(digits * kTenPowersU64[8 - precision])), exponent,
                        precision);
}

// As WriteFewText for 9 to 17 digits: the leading digit, then two texts of eight characters
// (`precision` digits in all, then zeros).
__attribute__((noinline)) char* WriteManyText(char* out, char lead, uint64_t high, uint64_t low, int exponent,
                                              int precision)
{
    const int kept = low != kZeroText ? 9 + KeptChars(low) : high != kZeroText ? 1 + KeptChars(high) : 1;
    if (exponent >= 0 && exponent < precision) {
        const int integral = exponent + 1;
        out[0] = lead;
        StoreBytes(out + 1, high);
        StoreBytes(out + 9, low);
        if (kept <= integral) return out + integral;
        // The digits from `integral` on move one place for the point.
        if (integral <= 8) {
            StoreBytes(out + integral + 1, DropBytes(high, integral - 1));
            StoreBytes(out + 10, low);
        } else {
            StoreBytes(out + integral + 1, DropBytes(low, integral - 9));
        }
        out[integral] = '.';
        return out + kept + 1;
    }
    if (exponent < 0 && exponent >= -4) {
        std::memcpy(out, "0.000000", 8);
        out[1 - exponent] = lead;
        StoreBytes(out + 2 - exponent, high);
        StoreBytes(out + 10 - exponent, low);
        return out + 1 - exponent + kept;
    }
    out[0] = lead;
    out[1] = '.';
    StoreBytes(out + 2, high);
    StoreBytes(out + 10, low);
    return WriteExponent(out + (kept > 1 ? kept + 1 : 1), exponent);
}

// WriteManyText of `digits` (exactly `precision` of them, 9 to 17).
char* WriteManyDigits(char* out, uint64_t digits, int exponent, int precision)
{
    const uint64_t aligned = digits * kTenPowersU64[17 - precision];  // 17 digits, trailing zeros added
    const uint32_t upper = static_cast<uint32_t>(aligned / kTenPowersU64[8]);
    return WriteManyText(out, static_cast<char>('0' + upper / kTenPowersU64[8]),
                         EightDigitText(static_cast<uint32_t>(upper % kTenPowersU64[8])),
                         EightDigitText(static_cast<uint32_t>(aligned % kTenPowersU64[8])), exponent, precision);
}

char* ToChars(char* out, double value, int precision)
{
    return std::to_chars(out, out + TNumberText::kMaxDoubleText, value, std::chars_format::general, precision).ptr;
}

// %.{precision}g for precision 1 to 17, for every double.
__attribute__((noinline)) char* FormatGeneral(char* out, double value, int precision)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0x7ff) return ToChars(out, value, precision);  // infinite or NaN
    uint64_t m = bits & ((uint64_t(1) << 52) - 1);
    int q = biased - 1075;
    if (biased != 0) {
        m |= uint64_t(1) << 52;
    } else {
        if (m == 0) {
            *out = '-';
            out += bits >> 63;
            *out = '0';
            return out + 1;
        }
        // A subnormal: normalized, its value unchanged.
        const int shift = __builtin_clzll(m) - 11;
        m <<= shift;
        q = -1074 - shift;
    }
    uint64_t digits;
    int exponent;
    if (!RoundToDigits(m, q, precision, digits, exponent)) return ToChars(out, value, precision);
    *out = '-';
    out += bits >> 63;
    return precision <= 8 ? WriteFewDigits(out, digits, exponent, precision)
                          : WriteManyDigits(out, digits, exponent, precision);
}

// FormatGeneral for precision up to 16, of the double with the given bits, for all but values
// near a midpoint (ties included), subnormals, infinities and NaN; null for those.
inline char* FormatQuickly(char* out, uint64_t bits, int precision)
{
    const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7ff;
    if (biased - 1 >= 0x7fe) {
        if ((bits << 1) != 0) return nullptr;
        *out = '-';
        out += bits >> 63;
        *out = '0';
        return out + 1;
    }
    const uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int q = static_cast<int>(biased) - 1075;
    const int exponent = DecimalExponent(m, q);
    // The digits come in pairs: `width` is the precision made even, with a leading zero digit when
    // the precision is odd. With y = x 10^(precision - 1 - exponent), whose nearest integer holds
    // the digits, the fraction z = (y + 1/2) / 10^width lies in [0.01, 1); its first `width`
    // decimals are those of y rounded half up.
    const int width = (precision + 1) & ~1;
    const int j = precision - 1 - exponent - width;
    // z 2^64 ~ m hi / 2^shift + 2^63 / 10^width, with shift in [51, 60]: short by less than
    // m / 2^shift + 2 < 6 units.
    const int shift = -1 - q - FloorLog2Pow10(j);
    const TU128 product = TU128(m) * kTenPowers.hi[j - kMinTenPower];
    const uint64_t scaled = (static_cast<uint64_t>(product >> 64) << (64 - shift)) | (static_cast<uint64_t>(product) >> shift);
    uint64_t fraction = scaled + (uint64_t(1) << 63) / kTenPowersU64[width];
    if (fraction < scaled) return nullptr;  // y rounds up to 10^precision
    // Each step takes the next two decimals exactly: fraction 100 = pair 2^64 + next fraction.
    uint64_t text[2] = {kZeroText, kZeroText};  // the first eight digits, the next eight
    for (int pair = 0; pair < width / 2; ++pair) {
        text[pair / 4] |= PairText(static_cast<uint64_t>((TU128(fraction) * 100) >> 64), pair % 4);
        fraction *= 100;
    }
    // What is left is y + 1/2 less its integer part, short by less than 6 10^width units: at
    // zero, or that close below one, y may be a midpoint or on the other side of one.
    if (fraction - 1 >= ~uint64_t(0) - 6 * kTenPowersU64[width]) return nullptr;
    if (width != precision) {
        // Without the leading zero, unless y rounds up to 10^precision and that digit is one.
        if (FirstChar(text[0]) != '0') return nullptr;
        text[0] = DropBytes(text[0], 1) | LastChar(FirstChar(text[1]));
        text[1] = DropBytes(text[1], 1) | kLastZero;
    }
    *out = '-';
    out += bits >> 63;
    if (precision <= 8) return WriteFewText(out, text[0], exponent, precision);
    return WriteManyText(out, FirstChar(text[0]), DropBytes(text[0], 1) | LastChar(FirstChar(text[1])),
                         DropBytes(text[1], 1) | kLastZero, exponent, precision);
}

inline uint64_t BitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

TNumberText::TParse TNumberText::ParseDouble(const char* begin, const char* end, double& value)
{
    const char* p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* numberStart = p;

    // Mantissa: up to 19 significant digits are gathered exactly; more go to the slow path.
    uint64_t mantissa = 0;
    int significant = 0;
    int exponent = 0;      // decimal exponent applied to the gathered mantissa
    int leadExponent = 0;  // position of the leading significant digit, for range decisions
    bool anyDigit = false;
    bool allDigitsKept = true;  // no significant digit was dropped
    for (; p != end && IsDigit(*p); ++p) {
        anyDigit = true;
        if (mantissa == 0 && *p == '0') continue;
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            ++significant;
        } else {
            ++exponent;
            allDigitsKept = false;
        }
        ++leadExponent;
    }
    if (p != end && *p == '.') {
        ++p;
        for (; p != end && IsDigit(*p); ++p) {
            anyDigit = true;
            if (mantissa == 0 && *p == '0') {
                --leadExponent;
                --exponent;
                continue;
            }
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                ++significant;
                --exponent;
            } else {
                allDigitsKept = false;
            }
        }
    }
    if (!anyDigit) return TParse::Invalid;

    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !IsDigit(*p)) return TParse::Invalid;
        long written = 0;
        for (; p != end && IsDigit(*p); ++p)
            if (written < 100000) written = written * 10 + (*p - '0');
        if (negativeExponent) written = -written;
        exponent += static_cast<int>(written);
        leadExponent += static_cast<int>(written);
    }
    if (p != end) return TParse::Invalid;

    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return TParse::Ok;
    }
    double magnitude;
    if (allDigitsKept && ClingerFastPath(mantissa, exponent, magnitude)) {
        value = negative ? -magnitude : magnitude;
        return TParse::Ok;
    }

    double parsed = 0;
    auto result = std::from_chars(numberStart, end, parsed, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // The leading digit's position tells a value too large from one too small.
        if (leadExponent > 0) return TParse::TooLarge;
        parsed = 0;
    } else if (result.ec != std::errc() || result.ptr != end) {
        return TParse::Invalid;
    }
    if (std::isinf(parsed)) return TParse::TooLarge;
    value = negative ? -parsed : parsed;
    return TParse::Ok;
}

TNumberText::TParse TNumberText::ParseDoubleLenient(const char* begin, const char* end, double& value)
{
    const TParse strict = ParseDouble(begin, end, value);
    if (strict != TParse::Invalid) return strict;

    const char* p = begin;
    if (p != end && (*p == '-' || *p == '+')) ++p;
    if (end - p == 3 && (p[0] | 0x20) == 'n' && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 'n') {
        value = std::numeric_limits<double>::quiet_NaN();
        return TParse::Ok;
    }
    // A decimal comma: the same number with a point, in a copy. Longer tokens with a comma are
    // refused rather than copied; no export writes a number of hundreds of digits with one.
    constexpr ptrdiff_t kLongest = 400;
    const char* comma = static_cast<const char*>(std::memchr(begin, ',', static_cast<size_t>(end - begin)));
    if (!comma || end - begin > kLongest || std::memchr(begin, '.', static_cast<size_t>(end - begin)) ||
        std::memchr(comma + 1, ',', static_cast<size_t>(end - comma - 1)))
        return TParse::Invalid;
    char copy[kLongest];
    std::memcpy(copy, begin, static_cast<size_t>(end - begin));
    copy[comma - begin] = '.';
    return ParseDouble(copy, copy + (end - begin), value);
}

TNumberText::TParse TNumberText::ParseLong(const char* begin, const char* end, long& value)
{
    const char* p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end) return TParse::Invalid;
    // Gathered as a negative number, whose range includes the smallest long.
    long result = 0;
    bool tooLarge = false;
    for (; p != end; ++p) {
        if (!IsDigit(*p)) return TParse::Invalid;
        const long digit = *p - '0';
        if (result < (std::numeric_limits<long>::min() + digit) / 10) tooLarge = true;
        if (!tooLarge) result = result * 10 - digit;
    }
    if (tooLarge || (!negative && result == std::numeric_limits<long>::min())) return TParse::TooLarge;
    value = negative ? result : -result;
    return TParse::Ok;
}

char* TNumberText::FormatDouble(char* out, double value, TStyle style, int precision)
{
    if (style == TStyle::General && precision <= 17) {
        if (precision < 1) precision = 1;
        if (precision <= 16) {
            if (char* end = FormatQuickly(out, BitsOf(value), precision)) return end;
        }
        return FormatGeneral(out, value, precision);
    }
    std::chars_format format = std::chars_format::general;
    if (style == TStyle::Fixed) format = std::chars_format::fixed;
    if (style == TStyle::Scientific) format = std::chars_format::scientific;
    const size_t room = style == TStyle::Fixed ? 2 * kMaxDoubleText : kMaxDoubleText;
    return std::to_chars(out, out + room, value, format, precision).ptr;
}

char* TNumberText::FormatDefault(char* out, double value)
{
    if (char* end = FormatQuickly(out, BitsOf(value), 6)) return end;
    return FormatGeneral(out, value, 6);
}

namespace {

// FormatGeneralRun; inlined where the precision is a constant, for the default text.
__attribute__((always_inline)) inline char* FormatRun(char* out, const double* values, size_t count, char separator,
                                                     int precision)
{
    // Each text is at most 24 characters, and the scratch stores end within 26 of its start.
    for (size_t i = 0; i < count; ++i) {
        uint64_t bits;
        std::memcpy(&bits, values + i, sizeof bits);  // straight to an integer register
        char* end = precision <= 16 ? FormatQuickly(out, bits, precision) : nullptr;
        out = end ? end : FormatGeneral(out, values[i], precision);
        *out++ = separator;
    }
    return out;
}

}  // namespace

char* TNumberText::FormatGeneralRun(char* out, const double* values, size_t count, char separator, int precision)
{
    if (precision == 6) return FormatRun(out, values, count, separator, 6);
    return FormatRun(out, values, count, separator, precision < 1 ? 1 : precision);
}

char* TNumberText::FormatLong(char* out, long value) { return std::to_chars(out, out + 24, value).ptr; }
