#include "text/TNumberFormatter.h"

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

std::string Printf(const char* format, int precision, double value)
{
#ifdef _WIN32
    // The oracle is glibc's printf; MinGW's writes every NaN as "nan", whatever its sign.
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
#endif
    char text[512];
    std::snprintf(text, sizeof text, format, precision, value);
    return text;
}

std::string Formatted(double value, TNumberFormatter::TStyle style, int precision)
{
    char text[2 * TNumberFormatter::kMaxDoubleText];
    return std::string(text, TNumberFormatter::FormatDouble(text, value, style, precision));
}

}  // namespace

TEST(NumberFormat, MatchesPrintfForEveryStyle)
{
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::vector<double> values = {0.0, -0.0, 0.5, 1234567.0, 123456.75, -9999, 1e-5, 0.0001, 999999.5, 9999995,
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  0.125, 2.5, 3.5, 1e21, 1e22, 5e-324};
    for (int i = 0; i < 3000; ++i) values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    for (double value : values) {
        for (int precision : {0, 1, 6, 10, 15, 17}) {
            EXPECT_EQ(Formatted(value, TNumberFormatter::TStyle::General, precision), Printf("%.*g", precision, value));
            EXPECT_EQ(Formatted(value, TNumberFormatter::TStyle::Scientific, precision), Printf("%.*e", precision, value));
            if (std::fabs(value) < 1e30) {
                EXPECT_EQ(Formatted(value, TNumberFormatter::TStyle::Fixed, precision), Printf("%.*f", precision, value));
            }
        }
        char text[TNumberFormatter::kMaxDoubleText];
        EXPECT_EQ(std::string(text, TNumberFormatter::FormatDefault(text, value)), Printf("%.*g", 6, value));
    }
}

TEST(NumberFormat, DefaultTextExamples)
{
    char text[TNumberFormatter::kMaxDoubleText];
    auto format = [&](double value) { return std::string(text, TNumberFormatter::FormatDefault(text, value)); };
    EXPECT_EQ(format(-9999), "-9999");
    EXPECT_EQ(format(0.5), "0.5");
    EXPECT_EQ(format(1234567.0), "1.23457e+06");
    EXPECT_EQ(format(123456.75), "123457");
    EXPECT_EQ(format(0.000012345), "1.2345e-05");
    EXPECT_EQ(std::string(text, TNumberFormatter::FormatLong(text, -42)), "-42");
}

namespace {

double FromBits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A P-digit decimal number d.dd..d in scientific text with `suffix` appended to its digits.
std::string RandomDigits(std::mt19937_64& random, int count, const std::string& suffix, int exponent)
{
    std::string text(1, static_cast<char>('1' + random() % 9));
    for (int d = 1; d < count; ++d) text += static_cast<char>('0' + random() % 10);
    return text.substr(0, 1) + "." + text.substr(1) + suffix + "e" + std::to_string(exponent);
}

struct TValueFamily {
    const char* name;
    std::vector<double> values;
};

// Doubles where general notation goes wrong first, in families. Each is checked with its
// neighbours where that matters, and later with its negative.
std::vector<TValueFamily> HardGeneralValues()
{
    std::mt19937_64 random(11);
    const double infinity = std::numeric_limits<double>::infinity();
    auto withNeighbours = [](std::vector<double>& values, double value) {
        values.push_back(value);
        values.push_back(std::nextafter(value, 0.0));
        values.push_back(std::nextafter(value, std::numeric_limits<double>::infinity()));
    };
    std::vector<TValueFamily> families;

    TValueFamily bitPatterns{"bit patterns over the whole range", {}};
    for (int i = 0; i < 60000; ++i) bitPatterns.values.push_back(FromBits(random()));
    families.push_back(bitPatterns);

    // The double nearest to each midpoint between two P-digit decimals, and its neighbours.
    TValueFamily midpoints{"midpoints d.dd..d5 x 10^e", {}};
    for (int count = 1; count <= 17; ++count)
        for (int i = 0; i < 300; ++i) {
            const int exponent = static_cast<int>(random() % 630) - 320;
            withNeighbours(midpoints.values, std::strtod(RandomDigits(random, count, "5", exponent).c_str(), nullptr));
        }
    families.push_back(midpoints);

    // Exact midpoints: a dyadic o 2^-t has a decimal expansion ending in 5, and so has
    // a 10^j for an odd multiple a of 5; both are ties at the precision one short of their digits.
    TValueFamily ties{"exact ties", {}};
    for (int i = 0; i < 15000; ++i) {
        const uint64_t odd = (random() >> (11 + random() % 52)) | 1;
        ties.values.push_back(std::ldexp(static_cast<double>(odd), -static_cast<int>(random() % 64)));
    }
    uint64_t fives = 1;
    for (int j = 0; j <= 22; ++j, fives *= 5) {
        for (int i = 0; i < 150; ++i) {
            // a 5^j 2^j with a = 5 (2r + 1), below 2^53 so that the double holds it exactly.
            const uint64_t range = (uint64_t(1) << 53) / (5 * fives) / 2;
            if (range == 0) break;
            const uint64_t a = 5 * (2 * (random() % range) + 1);
            ties.values.push_back(std::ldexp(static_cast<double>(a * fives), j));
        }
    }
    families.push_back(ties);

    // Powers of ten, and the values just below that round up to them: 9.99..95 x 10^e.
    TValueFamily powers{"powers of ten and values rounding up to them", {}};
    for (int exponent = -323; exponent <= 308; ++exponent) {
        withNeighbours(powers.values, std::strtod(("1e" + std::to_string(exponent)).c_str(), nullptr));
        if (exponent % 3 != 0) continue;
        for (int count = 1; count <= 17; ++count) {
            const std::string nines = "9." + std::string(static_cast<size_t>(count - 1), '9') + "5e";
            withNeighbours(powers.values, std::strtod((nines + std::to_string(exponent - 1)).c_str(), nullptr));
        }
    }
    families.push_back(powers);

    TValueFamily edges{"subnormals and the ends of the range", {}};
    for (double value : {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                         std::numeric_limits<double>::max(), 0.0, infinity})
        withNeighbours(edges.values, value);
    edges.values.push_back(std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < 5000; ++i) edges.values.push_back(FromBits(random() >> (12 + random() % 52)));
    families.push_back(edges);

    TValueFamily integers{"integers up to 2^53", {}};
    for (int i = 0; i < 15000; ++i) integers.values.push_back(static_cast<double>(random() >> (11 + random() % 53)));
    withNeighbours(integers.values, 9007199254740992.0);
    families.push_back(integers);

    // Values as grids hold them, and values near a tie in the sixth digit.
    TValueFamily decimals{"short decimals",
                          {100000.5, 100001.5, 1234565, 1234575, 999999.5, 9999995, 0.00010000005, 0.0001,
                           0.000099999995, 99999.95, 9.9999995, 1e-5, 1e15, 123456789012.0, 0.30000000000000004, 2.5,
                           0.125, 1.0000005, 7e-310}};
    for (int i = 0; i < 20000; ++i)
        decimals.values.push_back(static_cast<double>(static_cast<int>(random() % 20000001) - 10000000) / 100.0 /
                                  static_cast<double>(1 + random() % 64));
    for (int power = -30; power <= 30; ++power)
        for (double factor : {1.0, 9.999995, 9.9999949999, 9.99999500001, 1.000005, 5.0, 1.2345650})
            withNeighbours(decimals.values, std::pow(10.0, power) * factor);
    families.push_back(decimals);
    return families;
}

}  // namespace


TEST(NumberFormat, GeneralTextMatchesPrintfForEveryPrecision)
{
    // Every family, every precision up to 17 (where the fast road ends), both signs, against printf.
    int mismatches = 0;
    for (const TValueFamily& family : HardGeneralValues()) {
        for (double magnitude : family.values) {
            for (double value : {magnitude, -magnitude}) {
                for (int precision = 0; precision <= 17; ++precision) {
                    char text[TNumberFormatter::kMaxDoubleText];
                    char* end =
                        TNumberFormatter::FormatDouble(text, value, TNumberFormatter::TStyle::General, precision);
                    const std::string expected = Printf("%.*g", precision, value);
                    if (std::string(text, end) != expected && ++mismatches <= 10) {
                        char bits[64];
                        std::snprintf(bits, sizeof bits, "%a", value);
                        ADD_FAILURE() << family.name << ": " << bits << " at precision " << precision << " gives "
                                      << std::string(text, end) << ", printf " << expected;
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberFormat, DefaultTextAndRunsMatchPrintf)
{
    // FormatDefault gives %.6g; FormatGeneralRun (the writer's road) gives %.*g with each value
    // followed by the separator, whatever road each value takes (specials and ties included).
    for (const TValueFamily& family : HardGeneralValues()) {
        std::vector<double> values = family.values;
        for (double magnitude : family.values) values.push_back(-magnitude);
        for (double value : values) {
            char text[TNumberFormatter::kMaxDoubleText];
            ASSERT_EQ(std::string(text, TNumberFormatter::FormatDefault(text, value)), Printf("%.*g", 6, value))
                << family.name;
        }
        for (int precision : {0, 1, 5, 6, 8, 9, 17}) {
            std::string expected;
            for (double value : values) expected += Printf("%.*g", precision, value) + ' ';
            std::vector<char> buffer(values.size() * TNumberFormatter::kRunRoom);
            char* end = TNumberFormatter::FormatGeneralRun(buffer.data(), values.data(), values.size(), ' ', precision);
            EXPECT_TRUE(std::string(buffer.data(), end) == expected) << family.name << " at precision " << precision;
        }
    }
}
