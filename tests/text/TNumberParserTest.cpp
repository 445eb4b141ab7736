#include "text/TNumberParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

TNumberParser::TParse Parse(const std::string& text, double& value)
{
    return TNumberParser::ParseDouble(text.data(), text.data() + text.size(), value);
}

double Parsed(const std::string& text)
{
    double value = 12345;
    EXPECT_EQ(Parse(text, value), TNumberParser::TParse::Ok) << text;
    return value;
}

}  // namespace

TEST(NumberParse, AcceptsDecimalForms)
{
    EXPECT_EQ(Parsed("12"), 12);
    EXPECT_EQ(Parsed("+12.5"), 12.5);
    EXPECT_EQ(Parsed("-0.25"), -0.25);
    EXPECT_EQ(Parsed(".5"), 0.5);
    EXPECT_EQ(Parsed("5."), 5);
    EXPECT_EQ(Parsed("1e3"), 1000);
    EXPECT_EQ(Parsed("1E+3"), 1000);
    EXPECT_EQ(Parsed("2.5e-1"), 0.25);
    EXPECT_EQ(Parsed("-9999"), -9999);
    EXPECT_EQ(Parsed("0000000000000000000000000012.5000000000000000000000000"), 12.5);
    EXPECT_TRUE(std::signbit(Parsed("-0")));
}

TEST(NumberParse, RejectsAnythingButAWholeFiniteNumber)
{
    for (const char* text : {"", "+", "-", ".", "abc", "1,5", "12x", "nan", "inf", "-inf", "1e", "1e+", "e5",
                             "0x10", "1.2.3", "--1", "+-1", "1 ", " 1", "1e5.5", "١"}) {
        double value = 7;
        EXPECT_EQ(Parse(text, value), TNumberParser::TParse::Invalid) << text;
        EXPECT_EQ(value, 7);
    }
    std::string withNul("1\0", 2);
    double value;
    EXPECT_EQ(Parse(withNul, value), TNumberParser::TParse::Invalid);
}

TEST(NumberParse, RangeEdges)
{
    double value;
    EXPECT_EQ(Parse("1e309", value), TNumberParser::TParse::TooLarge);
    EXPECT_EQ(Parse("-1e309", value), TNumberParser::TParse::TooLarge);
    EXPECT_EQ(Parse("1" + std::string(400, '0'), value), TNumberParser::TParse::TooLarge);
    EXPECT_EQ(Parsed("1.7976931348623157e308"), std::numeric_limits<double>::max());
    EXPECT_EQ(Parsed("1e-400"), 0);
    EXPECT_TRUE(std::signbit(Parsed("-1e-400")));
    EXPECT_EQ(Parsed("4.9e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(Parsed("1e-310"), 1e-310);
    EXPECT_EQ(Parsed("0e999999"), 0);
    EXPECT_EQ(Parsed("1e-99999999999"), 0);
    EXPECT_EQ(Parse("1e99999999999", value), TNumberParser::TParse::TooLarge);
}

TEST(NumberParse, CorrectlyRoundedLikeStrtod)
{
    // Short values take the exact fast path, long ones the general one: both must round exactly.
    std::mt19937_64 random(42);
    std::uniform_int_distribution<int> digits(1, 20);
    std::uniform_int_distribution<int> exponent(-330, 310);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int count = digits(random);
        for (int d = 0; d < count; ++d) text += static_cast<char>('0' + digit(random));
        if (i % 3 == 0) text.insert(text.size() / 2, ".");
        if (i % 2 == 0) text += "e" + std::to_string(exponent(random) / (i % 4 == 0 ? 1 : 20));
        const double expected = std::strtod(text.c_str(), nullptr);
        double value;
        const auto result = Parse(text, value);
        if (std::isinf(expected)) {
            EXPECT_EQ(result, TNumberParser::TParse::TooLarge) << text;
        } else {
            ASSERT_EQ(result, TNumberParser::TParse::Ok) << text;
            EXPECT_EQ(value, expected) << text;
        }
    }
}

namespace {

double FromBits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The exact decimal digits of (2 m + 1) 2^(q - 1), the midpoint between m 2^q and (m + 1) 2^q,
// by arithmetic on limbs of nine digits (independent of the parser); `scale` is the power of ten
// of the last digit, which is not zero.
std::string ExactMidpoint(uint64_t m, int q, int& scale)
{
    std::vector<uint64_t> limbs;  // least significant first, base 10^9
    for (uint64_t odd = 2 * m + 1; odd != 0; odd /= 1000000000) limbs.push_back(odd % 1000000000);
    auto multiply = [&limbs](uint64_t factor) {
        uint64_t carry = 0;
        for (uint64_t& limb : limbs) {
            carry += limb * factor;
            limb = carry % 1000000000;
            carry /= 1000000000;
        }
        for (; carry != 0; carry /= 1000000000) limbs.push_back(carry % 1000000000);
    };
    // Times 2^(q - 1), or times 5^(1 - q) with the point moved 1 - q places.
    for (int left = q - 1; left > 0; left -= std::min(left, 29)) multiply(uint64_t(1) << std::min(left, 29));
    for (int left = 1 - q; left > 0; left -= std::min(left, 13)) {
        uint64_t power = 1;
        for (int i = 0; i < std::min(left, 13); ++i) power *= 5;
        multiply(power);
    }
    scale = std::min(q - 1, 0);
    std::string digits = std::to_string(limbs.back());
    for (size_t i = limbs.size() - 1; i-- > 0;) {
        const std::string limb = std::to_string(limbs[i]);
        digits += std::string(9 - limb.size(), '0') + limb;
    }
    // Without trailing zeros, so that the last digit is nonzero (a 5 below the units).
    while (digits.back() == '0') {
        digits.pop_back();
        ++scale;
    }
    return digits;
}

// Digits d1 d2 .. dn times 10^scale in scientific notation, and in plain notation where that is
// not too long (empty otherwise).
std::string Scientific(const std::string& digits, int scale)
{
    return digits.substr(0, 1) + "." + digits.substr(1) + "e" +
        std::to_string(static_cast<long>(digits.size()) - 1 + scale);
}

std::string Plain(const std::string& digits, int scale)
{
    const long point = static_cast<long>(digits.size()) + scale;  // digits before the point
    if (point > 400 || point < -400) return std::string();
    if (scale >= 0) return digits + std::string(static_cast<size_t>(scale), '0');
    if (point <= 0) return "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    return digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
}

// ParseDouble on the text (and ParseDecimal, the reader's road, on its plain forms) against the
// expected value: infinity for TooLarge, with the sign on both.
void ExpectParsed(const std::string& text, double expected, int& fastMisses)
{
    for (const bool negative : {false, true}) {
        const std::string signed_ = negative ? "-" + text : text;
        const double want = negative ? -expected : expected;
        double value = 12345;
        const auto result = Parse(signed_, value);
        if (std::isinf(want)) {
            EXPECT_EQ(result, TNumberParser::TParse::TooLarge) << signed_;
            continue;
        }
        ASSERT_EQ(result, TNumberParser::TParse::Ok) << signed_;
        EXPECT_EQ(std::memcmp(&value, &want, sizeof value), 0) << signed_ << " gives " << value;
        if (signed_.find('e') != std::string::npos) continue;
        const std::string token = signed_ + " ";
        double fast = 12345;
        const char* end = TNumberParser::ParseDecimal(token.c_str(), token.c_str() + token.size(), fast);
        if (!end) {
            ++fastMisses;
            continue;
        }
        EXPECT_EQ(end, token.c_str() + signed_.size()) << signed_;
        EXPECT_EQ(std::memcmp(&fast, &want, sizeof fast), 0) << signed_ << " gives " << fast << " on the fast road";
    }
}

// A double's significand and the exponent of its last place (m 2^q), for a positive finite one.
void Decompose(double value, uint64_t& m, int& q)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    m = bits & ((uint64_t(1) << 52) - 1);
    q = biased == 0 ? -1074 : biased - 1075;
    if (biased != 0) m |= uint64_t(1) << 52;
}

}  // namespace

TEST(NumberParse, MidpointsBetweenDoublesRoundToEvenAndTheirNeighboursAway)
{
    // Each midpoint between two neighbouring doubles a < b written out in full is a tie (even
    // wins); the same digits with one more nonzero digit lie above it (b), with the last digit
    // dropped or lowered below it (a). The expected double follows from the construction; strtod
    // agrees (checked where it is glibc's).
    std::mt19937_64 random(17);
    std::vector<double> lows;
    for (int i = 0; i < 400; ++i) lows.push_back(FromBits(random() >> 1));  // anywhere
    for (int i = 0; i < 300; ++i) lows.push_back(static_cast<double>(random() >> (random() % 11)));  // 2^53 to 2^64
    for (int i = 0; i < 300; ++i)  // few bits after the point: midpoints of 17 to 30 digits
        lows.push_back(std::ldexp(static_cast<double>((random() >> 11) | 1), -52 - static_cast<int>(random() % 24)));
    for (int i = 0; i < 200; ++i) lows.push_back(FromBits(random() >> (12 + random() % 52)));  // subnormals
    for (int e = -1074; e <= 1023; e += 1 + static_cast<int>(random() % 40)) {
        lows.push_back(std::ldexp(1.0, e));                                                    // a power of two
        lows.push_back(std::nextafter(std::ldexp(1.0, e), 0.0));                               // and below it
    }
    for (double edge : {std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                        std::numeric_limits<double>::denorm_min(), 9007199254740992.0, 1.0, 0.1})
        for (double value : {edge, std::nextafter(edge, 0.0), std::nextafter(std::nextafter(edge, 0.0), 0.0)})
            lows.push_back(value);

    int fastMisses = 0;
    int checked = 0;
    for (double low : lows) {
        if (!(low > 0) || std::isinf(low)) continue;
        uint64_t m;
        int q;
        Decompose(low, m, q);
        const double high = std::nextafter(low, std::numeric_limits<double>::infinity());
        int scale;
        const std::string tie = ExactMidpoint(m, q, scale);
        std::string lowered = tie;
        --lowered.back();
        // Each variant lies less than 10^reach from the midpoint, which stays on its side of it
        // only when that is less than half the gap, 2^(q - 1).
        const struct {
            std::string digits;
            int scale;
            double expected;
            int reach;
        } cases[] = {
            {tie, scale, m % 2 == 0 ? low : high, -9999},
            {tie + "000", scale - 3, m % 2 == 0 ? low : high, -9999},
            {tie + "1", scale - 1, high, scale},
            {tie + std::string(30, '0') + "1", scale - 31, high, scale - 30},
            {tie.substr(0, tie.size() - 1), scale + 1, low, scale + 1},
            {lowered, scale, low, scale + 1},
            {lowered + std::string(40, '9'), scale - 40, low, scale + 1},
        };
        for (const auto& c : cases) {
            if (c.digits.empty() || c.reach * 3.3219280948873626 >= q - 1) continue;
            const std::string scientific = Scientific(c.digits, c.scale);
            ExpectParsed(scientific, c.expected, fastMisses);
#ifndef _WIN32
            const double oracle = std::strtod(scientific.c_str(), nullptr);
            EXPECT_EQ(std::memcmp(&oracle, &c.expected, sizeof oracle), 0) << scientific;
#endif
            const std::string plain = Plain(c.digits, c.scale);
            if (!plain.empty()) ExpectParsed(plain, c.expected, fastMisses);
            ++checked;
        }
    }
    EXPECT_GT(checked, 8000);
}

TEST(NumberParse, LongMantissasMatchStrtod)
{
    // 19, 20, 21, 40 and 800 digits, with leading zeros, a point anywhere and exponents across the
    // whole range: where the 19 digits kept decide the rounding and where they do not.
    std::mt19937_64 random(23);
    int fastMisses = 0;
    for (int count : {19, 20, 21, 40, 800}) {
        for (int i = 0; i < 3000; ++i) {
            std::string digits(1, static_cast<char>('1' + random() % 9));
            for (int d = 1; d < count; ++d) digits += static_cast<char>('0' + random() % 10);
            // Now and then a run of nines or zeros after the 17th digit, where roundings turn.
            if (i % 4 == 1) digits.replace(17, std::string::npos, static_cast<size_t>(count - 17), '9');
            if (i % 4 == 2) digits.replace(17, std::string::npos, static_cast<size_t>(count - 17), '0');
            const int scale = static_cast<int>(random() % 660) - 345 - count;
            std::string text = i % 3 == 0 ? Scientific(digits, scale) : Plain(digits, scale);
            if (text.empty()) text = Scientific(digits, scale);
            if (i % 5 == 0) text = std::string(1 + random() % 30, '0') + text;
            const double expected = std::strtod(text.c_str(), nullptr);
            ExpectParsed(text, expected, fastMisses);
        }
    }
    for (const char* text : {"0.000000000000000000000000000000000000000000000000", "00000000000000000000000.0",
                             "1e-0000000000000000000000000000005", "17976931348623157081452742373170435679807056752584"
                             "49965989174768031572607800285387605895586327668781715404589535143824642343213268894641827"
                             "68471682019199999999999999999999999999999999999999999999999999999999999999999"})
        ExpectParsed(text, std::strtod(text, nullptr), fastMisses);
}

TEST(NumberParse, FloatsWrittenWithTwentyDigitsReadBackOnTheFastRoad)
{
    // GDAL's text of Float32 cells, printf("%.20g", (double)f): it reads back as that double, and
    // the reader's road takes nearly every one of them without the exact fallback.
    std::mt19937 random(29);
    int fastMisses = 0;
    int plain = 0;
    for (int i = 0; i < 200000; ++i) {
        uint32_t bits = static_cast<uint32_t>(random());
        if (i % 2 == 0) bits = (bits & 0x807fffff) | ((120 + random() % 16) << 23);  // grid-like magnitudes
        float single;
        std::memcpy(&single, &bits, sizeof single);
        if (!std::isfinite(single) || single == 0) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%.20g", static_cast<double>(single));
        const double expected = std::fabs(static_cast<double>(single));
        const std::string magnitude = text[0] == '-' ? text + 1 : text;
        EXPECT_EQ(std::strtod(magnitude.c_str(), nullptr), expected) << text;
        ExpectParsed(magnitude, expected, fastMisses);
        plain += magnitude.find('e') == std::string::npos;
    }
    EXPECT_GT(plain, 100000);
    EXPECT_LT(fastMisses, plain / 1000);
}

TEST(NumberParse, Integers)
{
    auto parse = [](const std::string& text, long& value) {
        return TNumberParser::ParseLong(text.data(), text.data() + text.size(), value);
    };
    long value = 0;
    EXPECT_EQ(parse("42", value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(parse("+7", value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(parse("-3", value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, -3);
    // The ends of long (64 bits on Linux, 32 on Windows), and one beyond each: both ends of
    // either width end in 7 or 8, so the next number differs in the last digit only.
    std::string largest = std::to_string(std::numeric_limits<long>::max());
    std::string smallest = std::to_string(std::numeric_limits<long>::min());
    EXPECT_EQ(parse(largest, value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, std::numeric_limits<long>::max());
    EXPECT_EQ(parse(smallest, value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, std::numeric_limits<long>::min());
    ++largest.back();
    ++smallest.back();
    EXPECT_EQ(parse(largest, value), TNumberParser::TParse::TooLarge) << largest;
    EXPECT_EQ(parse(smallest, value), TNumberParser::TParse::TooLarge) << smallest;
    for (const char* text : {"", "-", "1.5", "1e3", "12x", "+-1", " 1", "0x1"})
        EXPECT_EQ(parse(text, value), TNumberParser::TParse::Invalid) << text;
}

TEST(NumberParse, ShortDecimalsStopAtTheFirstOtherCharacter)
{
    std::mt19937_64 random(3);
    std::uniform_int_distribution<int> length(1, 15);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? "-" : "";
        const int count = length(random);
        const int point = std::uniform_int_distribution<int>(0, count)(random);
        for (int d = 0; d < count; ++d) {
            if (d == point) text += '.';
            text += static_cast<char>('0' + digit(random));
        }
        const std::string token = text + " ";
        double value = 0;
        const char* end = TNumberParser::ParseShortDecimal(token.c_str(), value);
        ASSERT_EQ(end, token.c_str() + text.size()) << text;
        EXPECT_EQ(value, std::strtod(text.c_str(), nullptr)) << text;
    }
    double value = 0;
    for (const char* other : {"1e5 ", ". ", "- ", "1234567890123456 ", "x "})
        EXPECT_TRUE(TNumberParser::ParseShortDecimal(other, value) == nullptr ||
                    *TNumberParser::ParseShortDecimal(other, value) != ' ')
            << other;
    const char* partial = "12,5 ";
    EXPECT_EQ(TNumberParser::ParseShortDecimal(partial, value), partial + 2);
}

TEST(NumberParse, LenientFormsAddNanAndTheDecimalComma)
{
    auto lenient = [](const std::string& text, double& value) {
        return TNumberParser::ParseDoubleLenient(text.data(), text.data() + text.size(), value);
    };
    // A decimal comma reads as the point would, compared with strtod on the point form.
    std::mt19937_64 random(11);
    for (int i = 0; i < 2000; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*g", 1 + static_cast<int>(random() % 17),
                      std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 60));
        std::string comma = text;
        const size_t point = comma.find('.');
        if (point == std::string::npos) continue;
        comma[point] = ',';
        double value = 0;
        ASSERT_EQ(lenient(comma, value), TNumberParser::TParse::Ok) << comma;
        EXPECT_EQ(value, std::strtod(text, nullptr)) << comma;
    }
    for (const char* nan : {"nan", "NaN", "-nan", "+NAN"}) {
        double value = 0;
        EXPECT_EQ(lenient(nan, value), TNumberParser::TParse::Ok) << nan;
        EXPECT_TRUE(std::isnan(value)) << nan;
    }
    double value = 0;
    EXPECT_EQ(lenient("1,5e999", value), TNumberParser::TParse::TooLarge);
    for (const char* bad : {"1,2,3", "1.2,3", ",", "nan1", "nana", "-", "inf", "+-nan"})
        EXPECT_EQ(lenient(bad, value), TNumberParser::TParse::Invalid) << bad;
    // "1," is "1." with a comma, which strict reading accepts.
    EXPECT_EQ(lenient("1,", value), TNumberParser::TParse::Ok);
    EXPECT_EQ(value, 1);
    // The comma is the parser's separator, not a copy's: tokens of any length read as their point
    // form does (beyond 768 digits only whether any later digit is nonzero counts).
    for (size_t length : {390, 401, 770, 5000}) {
        for (const char* lead : {"0", "1", "7205759403792793", "4"}) {
            std::string digits;
            for (size_t d = 0; d < length; ++d) digits += static_cast<char>('0' + random() % (d < 20 ? 10 : 2));
            for (const std::string& tail : {std::string(), std::string("e-300"), std::string("e-320")}) {
                const std::string point = std::string(lead) + "." + digits + tail;
                std::string comma = point;
                comma[comma.find('.')] = ',';
                ASSERT_EQ(lenient(comma, value), TNumberParser::TParse::Ok) << comma;
                EXPECT_EQ(value, std::strtod(point.c_str(), nullptr)) << point;
                EXPECT_EQ(TNumberParser::ParseDouble(point.data(), point.data() + point.size(), value, ','),
                          TNumberParser::TParse::Invalid);
            }
        }
    }
}
