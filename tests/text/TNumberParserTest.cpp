#include "text/TNumberParser.h"

#include <gtest/gtest.h>

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
