#include "files/TGridHeaderText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

TEST(GridHeaderText, ExactNumberIsTheShortestTextFromSixDigitsThatReadsBack)
{
    // The oracle: printf's %.Pg for the least P from 6 on whose text strtod reads back as the
    // value. Near the largest double the shorter texts round up past it and do not read at all.
    const double largest = std::numeric_limits<double>::max();
    std::vector<double> values = {-9999, 0, 500000.01, 0.1, 1e-300, largest, -largest,
                                  std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min()};
    double below = largest;
    for (int i = 0; i < 40; ++i) values.push_back(below = std::nextafter(below, 0.0));
    for (double subnormal = std::numeric_limits<double>::min(); subnormal > 0; subnormal /= 3.7)
        values.push_back(std::nextafter(subnormal, 0.0));
    std::mt19937_64 random(31);
    for (int i = 0; i < 300; ++i) values.push_back(std::ldexp(static_cast<double>(random() >> 11), -52 + 1023 - i % 5));
    for (double value : values) {
        std::string expected;
        for (int precision = 6; precision <= 17; ++precision) {
            char text[64];
            std::snprintf(text, sizeof text, "%.*g", precision, value);
            expected = text;
            if (std::strtod(text, nullptr) == value) break;
        }
        const std::string text = TGridHeaderText::ExactNumber(value);
        EXPECT_EQ(text, expected);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
    EXPECT_EQ(TGridHeaderText::ExactNumber(1.7976931348623157e308), "1.7976931348623157e+308");
    EXPECT_EQ(TGridHeaderText::ExactNumber(-9999), "-9999");
}
