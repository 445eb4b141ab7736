#include "text/TNumberFormatter.h"

#include "text/TTenPowers.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

using namespace TTenPowers;

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

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
    return std::to_chars(out, out + TNumberFormatter::kMaxDoubleText, value, std::chars_format::general, precision).ptr;
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

char* TNumberFormatter::FormatDouble(char* out, double value, TStyle style, int precision)
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

char* TNumberFormatter::FormatDefault(char* out, double value)
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

char* TNumberFormatter::FormatGeneralRun(char* out, const double* values, size_t count, char separator, int precision)
{
    if (precision == 6) return FormatRun(out, values, count, separator, 6);
    return FormatRun(out, values, count, separator, precision < 1 ? 1 : precision);
}

char* TNumberFormatter::FormatLong(char* out, long value) { return std::to_chars(out, out + 24, value).ptr; }
