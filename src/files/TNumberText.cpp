#include "files/TNumberText.h"

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

// Whether |value| x 10^power lies above (+1), at (0) or below (-1) the midpoint `twiceHalf` / 2,
// computed exactly: |value| = m 2^q, and 10^power = 5^power 2^power.
int CompareWithMidpoint(double value, int power, uint64_t twiceHalf)
{
    int binary;
    const double fraction = std::frexp(std::fabs(value), &binary);
    const uint64_t m = static_cast<uint64_t>(std::ldexp(fraction, 53));
    const int q = binary - 53;
    uint64_t five = 1;
    for (int i = 0; i < (power < 0 ? -power : power); ++i) five *= 5;
    // Compare m 5^power 2^(q + power + 1) with twiceHalf when power >= 0, and
    // m 2^(q + power + 1) with twiceHalf 5^-power when power < 0.
    unsigned __int128 left = static_cast<unsigned __int128>(m) * (power >= 0 ? five : 1);
    unsigned __int128 right = static_cast<unsigned __int128>(twiceHalf) * (power >= 0 ? 1 : five);
    int shift = q + power + 1;
    if (shift >= 0) {
        if (shift > 20) return 1;  // far above any midpoint of a few digits
        left <<= shift;
    } else {
        if (-shift >= 100) return -1;
        right <<= -shift;
    }
    return left > right ? 1 : left < right ? -1 : 0;
}

// The P significant digits of %.{P}g for P up to 9, found by scaling in double arithmetic. The
// scaled value is within a few units of 1e-16 relative of the exact one, so its rounding to an
// integer is certain unless its fraction lies very near one half; then the exact value decides,
// a tie going to the even neighbour as printf has it. Exponents whose power of ten a double does
// not hold exactly return null and take the general path.
// The digits are written as printf's %g writes them: fixed notation for decimal exponents from
// -4 to P - 1, scientific otherwise, trailing zeros and a trailing point removed.
char* FormatFewDigits(char* out, double value, int precision)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0 || biased == 0x7ff) return nullptr;  // zero, subnormal, infinite or NaN
    const double magnitude = std::fabs(value);

    // The decimal exponent of the leading digit, from the binary one: exact or one too small.
    int exponent = static_cast<int>(std::floor((biased - 1023) * 0.30102999566398119521));
    auto scale = [magnitude](int power) {
        return power >= 0 ? magnitude * kExactPowers[power] : magnitude / kExactPowers[-power];
    };
    int power = precision - 1 - exponent;
    if (power < -22 || power > 22) return nullptr;
    double digits = scale(power);
    const double limit = kExactPowers[precision];
    if (digits >= limit) {
        ++exponent;
        if (--power < -22) return nullptr;
        digits = scale(power);
    }
    if (digits < limit / 10) return nullptr;
    const uint64_t whole = static_cast<uint64_t>(digits);
    const double fraction = digits - static_cast<double>(whole);
    uint64_t rounded = whole + (fraction > 0.5 ? 1 : 0);
    if (std::fabs(fraction - 0.5) < limit * 1e-14) {
        // Too near the midpoint between `whole` and `whole + 1` to trust the scaled value.
        const int side = CompareWithMidpoint(value, power, 2 * whole + 1);
        rounded = whole + (side > 0 || (side == 0 && whole % 2 == 1) ? 1 : 0);
    }
    if (static_cast<double>(rounded) >= limit) {
        rounded /= 10;
        ++exponent;
    }

    char text[16];
    char* end = text + precision;
    char* p = end;
    uint32_t rest = static_cast<uint32_t>(rounded);
    while (p - text >= 2) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (p != text) *--p = static_cast<char>('0' + rest);
    while (end > text + 1 && end[-1] == '0') --end;  // trailing zeros go
    const int kept = static_cast<int>(end - text);

    if (value < 0) *out++ = '-';
    if (exponent < -4 || exponent >= precision) {
        *out++ = text[0];
        if (kept > 1) {
            *out++ = '.';
            std::memcpy(out, text + 1, static_cast<size_t>(kept - 1));
            out += kept - 1;
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        int shown = exponent < 0 ? -exponent : exponent;
        if (shown >= 100) {
            *out++ = static_cast<char>('0' + shown / 100);
            shown %= 100;
        }
        std::memcpy(out, kDigitPairs + 2 * shown, 2);
        return out + 2;
    }
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int zero = -1; zero > exponent; --zero) *out++ = '0';
        std::memcpy(out, text, static_cast<size_t>(kept));
        return out + kept;
    }
    const int integral = exponent + 1;
    if (kept <= integral) {
        std::memcpy(out, text, static_cast<size_t>(kept));
        out += kept;
        for (int zero = kept; zero < integral; ++zero) *out++ = '0';
        return out;
    }
    std::memcpy(out, text, static_cast<size_t>(integral));
    out += integral;
    *out++ = '.';
    std::memcpy(out, text + integral, static_cast<size_t>(kept - integral));
    return out + (kept - integral);
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
    bool exact = true;
    for (; p != end && IsDigit(*p); ++p) {
        anyDigit = true;
        if (mantissa == 0 && *p == '0') continue;
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            ++significant;
        } else {
            ++exponent;
            exact = false;
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
                exact = false;
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
    // Both operands exact, so one correctly rounded operation gives the correctly rounded value.
    if (exact && mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        double m = static_cast<double>(mantissa);
        m = exponent < 0 ? m / kExactPowers[-exponent] : m * kExactPowers[exponent];
        value = negative ? -m : m;
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
    std::chars_format format = std::chars_format::general;
    if (style == TStyle::Fixed) format = std::chars_format::fixed;
    if (style == TStyle::Scientific) format = std::chars_format::scientific;
    if (style == TStyle::General && precision <= 9) {
        if (char* end = FormatFewDigits(out, value, precision < 1 ? 1 : precision)) return end;
    }
    const size_t room = style == TStyle::Fixed ? 2 * kMaxDoubleText : kMaxDoubleText;
    return std::to_chars(out, out + room, value, format, precision).ptr;
}

char* TNumberText::FormatDefault(char* out, double value)
{
    if (char* end = FormatFewDigits(out, value, 6)) return end;
    return std::to_chars(out, out + kMaxDoubleText, value, std::chars_format::general, 6).ptr;
}

char* TNumberText::FormatLong(char* out, long value) { return std::to_chars(out, out + 24, value).ptr; }
