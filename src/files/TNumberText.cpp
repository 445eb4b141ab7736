#include "files/TNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace {

inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Powers of ten that a double holds exactly.
const double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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
    const size_t room = style == TStyle::Fixed ? 2 * kMaxDoubleText : kMaxDoubleText;
    return std::to_chars(out, out + room, value, format, precision).ptr;
}

char* TNumberText::FormatDefault(char* out, double value)
{
    return std::to_chars(out, out + kMaxDoubleText, value, std::chars_format::general, 6).ptr;
}

char* TNumberText::FormatLong(char* out, long value) { return std::to_chars(out, out + 24, value).ptr; }
