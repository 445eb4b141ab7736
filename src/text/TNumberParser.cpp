#include "text/TNumberParser.h"

#include "text/TTenPowers.h"

#include <algorithm>
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

// Eisel and Lemire's method: the double nearest to w 10^k (w from 1 to 10^19), from the 192-bit
// product of w, shifted up to its top bit, with the leading 128 bits of 10^k. Exact entries
// (0 <= k <= 55) give the exact product; the others a product short of the exact one by less than
// one unit of its lowest word, which decides the rounding unless the bits below the double's last
// place lie within that unit below one half of it. Returns false there (an exact tie among them,
// possible from 17 digits on), leaving `value` alone; gives infinity for a value too large and zero
// for one below half the smallest subnormal.
inline bool EiselLemire(uint64_t w, int k, double& value)
{
    using namespace TTenPowers;
    if (k < kMinTenPower) {
        value = 0;
        return true;
    }
    if (k > 308) {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    const int shift = __builtin_clzll(w);
    const uint64_t m = w << shift;
    const TTenPower power = kTenPowers[k];
    const TU128 low = TU128(m) * power.lo;
    const TU128 top = TU128(m) * power.hi + (low >> 64);  // the product less its lowest word
    const uint64_t bottom = static_cast<uint64_t>(low);
    // w 10^k = product 2^base, the product in [2^(190 + upper), 2^(191 + upper)).
    const int base = FloorLog2Pow10(k) - 127 - shift;
    const int lead = 190 + static_cast<int>(top >> 127) + base;
    const int last = std::max(lead - 52, -1074);  // the exponent of the double's last place
    if (last > 971) {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    // The product's bits below the last place: those of `top` below `split`, then `bottom`.
    const int split = last - base - 64;  // 74 to 128 for a value that may round to a subnormal
    if (split > 128) {
        value = 0;  // the product is below 2^192, half the last place
        return true;
    }
    const uint64_t mantissa = split == 128 ? 0 : static_cast<uint64_t>(top >> split);
    const TU128 rest = split == 128 ? top : top & ((TU128(1) << split) - 1);
    const TU128 half = TU128(1) << (split - 1);
    bool up;
    if (k >= 0 && k <= 55) {
        up = rest > half || (rest == half && (bottom != 0 || (mantissa & 1) != 0));
    } else {
        if (rest == half - 1 && bottom != 0) return false;
        up = rest >= half;
    }
    // Biased exponent and mantissa in one: a carry out of the mantissa raises the exponent, and a
    // subnormal's (last = -1074) is its mantissa alone.
    const uint64_t bits = (uint64_t(last + 1074) << 52) + mantissa + (up ? 1 : 0);
    if (bits >= uint64_t(0x7ff) << 52) {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

// The double nearest to the decimal whose first 19 significant digits are w, times 10^k, the digits
// after them all zeros (`truncated` false) or not known: then w 10^k and (w + 1) 10^k, between
// which the value lies, must round alike. False where that does not decide it.
inline bool NearestDouble(uint64_t w, int k, bool truncated, double& value)
{
    if (!truncated && ClingerFastPath(w, k, value)) return true;
    if (!EiselLemire(w, k, value)) return false;
    double above;
    return !truncated || (EiselLemire(w + 1, k, above) && above == value);
}

// The correctly rounded magnitude of the digits [digits, digitsEnd), with at most one separator,
// times 10^written: infinity when it is too large for a double, zero when too small. Every
// midpoint between two doubles (and the threshold of overflow) has at most 768 significant
// digits, so the digits after the first kKept tell only whether they are all zeros, which one
// nonzero digit after them stands for. std::from_chars rounds that text, which always uses a point.
__attribute__((noinline)) double ExactMagnitude(const char* digits, const char* digitsEnd, char separator,
                                                long written)
{
    constexpr int kKept = 800;
    char text[kKept + 1 + 24];
    int count = 0;
    long scale = written;  // the value is text's digits times 10^scale
    bool inFraction = false;
    bool dropped = false;  // a nonzero digit beyond the kept ones
    for (const char* p = digits; p != digitsEnd; ++p) {
        if (*p == separator) {
            inFraction = true;
        } else if (count == 0 && *p == '0') {
            scale -= inFraction;
        } else if (count < kKept) {
            text[count++] = *p;
            scale -= inFraction;
        } else {
            scale += !inFraction;
            dropped |= *p != '0';
        }
    }
    if (dropped) {
        text[count++] = '1';
        --scale;
    }
    text[count] = 'e';
    const char* textEnd = std::to_chars(text + count + 1, text + sizeof text, scale).ptr;
    double magnitude = 0;
    if (std::from_chars(text, textEnd, magnitude).ec == std::errc::result_out_of_range) {
        // The leading digit's position tells a value too large from one too small.
        magnitude = count - 1 + scale > 0 ? std::numeric_limits<double>::infinity() : 0;
    }
    return magnitude;
}

}  // namespace

TNumberParser::TParse TNumberParser::ParseDouble(const char* begin, const char* end, double& value,
                                                 char decimalSeparator)
{
    const char* p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* numberStart = p;

    // Mantissa: up to 19 significant digits are gathered exactly; more go to the exact road.
    uint64_t mantissa = 0;
    int significant = 0;
    int exponent = 0;      // decimal exponent applied to the gathered mantissa
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
    }
    if (p != end && *p == decimalSeparator) {
        ++p;
        for (; p != end && IsDigit(*p); ++p) {
            anyDigit = true;
            if (mantissa == 0 && *p == '0') {
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

    const char* mantissaEnd = p;
    long written = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
        if (p == end || !IsDigit(*p)) return TParse::Invalid;
        for (; p != end && IsDigit(*p); ++p)
            if (written < 100000) written = written * 10 + (*p - '0');
        if (negativeExponent) written = -written;
        exponent += static_cast<int>(written);
    }
    if (p != end) return TParse::Invalid;

    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return TParse::Ok;
    }
    double magnitude;
    if (!NearestDouble(mantissa, exponent, !allDigitsKept, magnitude))
        magnitude = ExactMagnitude(numberStart, mantissaEnd, decimalSeparator, written);
    if (std::isinf(magnitude)) return TParse::TooLarge;
    value = negative ? -magnitude : magnitude;
    return TParse::Ok;
}

const char* TNumberParser::ParseLongDecimal(const TDecimalScan& scan, double& value)
{
    uint64_t w = scan.Value;
    int k = -static_cast<int>(scan.Decimals);
    bool truncated = false;
    if (scan.Count > 19) {
        // Again from the first significant digit, keeping 19; the point lies `integral` digits in.
        const long integral = scan.Count - scan.Decimals;
        const char* p = scan.Digits;
        long index = 0;  // of the digit at p, the point not counted
        for (; index < scan.Count && (*p == '0' || *p == '.'); ++p) index += *p != '.';
        if (index == scan.Count) {
            value = scan.Negative ? -0.0 : 0.0;
            return scan.End;
        }
        const long kept = std::min(scan.Count - index, 19L);
        w = 0;
        for (long taken = 0; taken < kept; ++p) {
            if (*p == '.') continue;
            w = w * 10 + static_cast<unsigned>(*p - '0');
            ++taken;
        }
        // The last digit kept has the place value 10^(integral - 1 - its index).
        k = static_cast<int>(integral - index - kept);
        truncated = index + kept < scan.Count;
    }
    double magnitude;
    if (!NearestDouble(w, k, truncated, magnitude) || std::isinf(magnitude)) return nullptr;
    value = scan.Negative ? -magnitude : magnitude;
    return scan.End;
}

TNumberParser::TParse TNumberParser::ParseDoubleLenient(const char* begin, const char* end, double& value)
{
    const TParse strict = ParseDouble(begin, end, value);
    if (strict != TParse::Invalid) return strict;

    const char* p = begin;
    if (p != end && (*p == '-' || *p == '+')) ++p;
    if (end - p == 3 && (p[0] | 0x20) == 'n' && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 'n') {
        value = std::numeric_limits<double>::quiet_NaN();
        return TParse::Ok;
    }
    if (!std::memchr(begin, ',', static_cast<size_t>(end - begin))) return TParse::Invalid;
    return ParseDouble(begin, end, value, ',');
}

TNumberParser::TParse TNumberParser::ParseLong(const char* begin, const char* end, long& value)
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