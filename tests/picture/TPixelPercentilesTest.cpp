#include "picture/TPixelPercentiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Another road: sort the finite values and interpolate as numpy's default percentile does.
std::vector<double> SortedFinite(const std::vector<float>& values)
{
    std::vector<double> finite;
    for (float value : values)
        if (std::isfinite(value)) finite.push_back(value);
    std::sort(finite.begin(), finite.end());
    return finite;
}

double SortedPercentile(const std::vector<double>& finite, double percent)
{
    const double position = double(finite.size() - 1) * (percent / 100);
    const size_t below = size_t(std::floor(position));
    if (below + 1 >= finite.size()) return finite.back();
    const double t = position - double(below);
    if (t == 0) return finite[below];
    const double a = finite[below];
    const double b = finite[below + 1];
    return t >= 0.5 ? b - (b - a) * (1 - t) : a + (b - a) * t;
}

std::vector<float> Drawn(size_t count, const std::function<float(std::mt19937&)>& draw)
{
    std::mt19937 random(11);
    std::vector<float> values(count);
    for (float& value : values) value = draw(random);
    return values;
}

}  // namespace

TEST(PixelPercentiles, EqualSortingAndInterpolatingAsNumpyDoes)
{
    std::uniform_real_distribution<float> wide(-1e6f, 1e6f);
    std::uniform_int_distribution<int> few(0, 6);
    std::uniform_real_distribution<float> unit(0, 1);
    // Below 65536 values the ranks are selected among all; from there on through the intervals
    // of a sample, or the radix selection where the sample misleads.
    constexpr size_t kMany = 200000;
    struct TCase {
        std::string Name;
        std::vector<float> Values;
    };
    const std::vector<TCase> cases = {
        {"one", {42.5f}},
        {"two", {3, -1}},
        {"three with NaN and infinities", {kNaN, 2, kInfinity, -kInfinity, 7, 1}},
        {"signed zeros", {-0.0f, 0.0f, -0.0f, 1, -1}},
        {"extremes and subnormals", {FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_MIN, 1e-45f, -1e-45f, 0, 3}},
        {"wide", Drawn(100001, [&](std::mt19937& r) { return wide(r); })},
        {"few distinct", Drawn(5000, [&](std::mt19937& r) { return float(few(r)); })},
        // All in one bin of the top 16 bits: the low 16 decide.
        {"narrow", Drawn(70000, [&](std::mt19937& r) { return 1024 + unit(r) * 0.01f; })},
        {"mostly missing", Drawn(3000, [&](std::mt19937& r) { return unit(r) < 0.99 ? kNaN : unit(r) - 0.5f; })},
        {"one outlier", Drawn(1000, [&](std::mt19937& r) { return unit(r) < 0.001 ? 1e30f : unit(r); })},
        {"many equal", std::vector<float>(kMany, -3.5f)},
        {"many of two values", Drawn(kMany, [&](std::mt19937& r) { return unit(r) < 0.3 ? 1.0f : 2.0f; })},
        {"many few distinct", Drawn(kMany, [&](std::mt19937& r) { return float(few(r)); })},
        {"many signed zeros", Drawn(kMany, [&](std::mt19937& r) { return unit(r) < 0.5 ? -0.0f : unit(r) < 0.5 ? 0.0f : unit(r); })},
        {"many subnormals", Drawn(kMany, [&](std::mt19937& r) { return (unit(r) - 0.5f) * 1e-40f; })},
        {"many huge", Drawn(kMany, [&](std::mt19937& r) { return unit(r) < 0.5 ? FLT_MAX * unit(r) : -FLT_MAX * unit(r); })},
        {"many mostly missing", Drawn(kMany, [&](std::mt19937& r) { return unit(r) < 0.999 ? kNaN : unit(r); })},
        {"many with NaN of both signs and infinities", Drawn(kMany, [&](std::mt19937& r) {
             const float u = unit(r);
             return u < 0.1 ? -kNaN : u < 0.2 ? kNaN : u < 0.25 ? -kInfinity : u < 0.3 ? kInfinity : unit(r) * 100;
         })},
        {"many ascending", Drawn(kMany, [n = 0.0f](std::mt19937&) mutable { return n += 0.25f; })},
        {"many heavy at the ends", Drawn(kMany, [&](std::mt19937& r) { return unit(r) < 0.04 ? -7.0f : unit(r) < 0.04 ? 9.0f : unit(r); })},
        {"many narrow", Drawn(kMany, [&](std::mt19937& r) { return 1024 + unit(r) * 0.01f; })},
    };
    const std::pair<double, double> percents[] = {{2, 98}, {0, 100}, {50, 50}, {2.5, 97.5}, {33.3, 66.6}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<double> sorted = SortedFinite(c.Values);
        for (const auto& p : percents) {
            for (const bool radix : {false, true}) {
                double low = -1;
                double high = -1;
                const size_t finite = radix ? TPixelPercentiles::SelectByRadix(c.Values.data(), c.Values.size(), p.first, p.second, low, high)
                                            : TPixelPercentiles::Select(c.Values.data(), c.Values.size(), p.first, p.second, low, high);
                EXPECT_EQ(finite, sorted.size());
                EXPECT_EQ(low, SortedPercentile(sorted, p.first)) << p.first << (radix ? " by radix" : "");
                EXPECT_EQ(high, SortedPercentile(sorted, p.second)) << p.second << (radix ? " by radix" : "");
            }
        }
    }
}

TEST(PixelPercentiles, MiddlePercentsOfManyValuesAreExactToo)
{
    // Around the median of a million values a sample's interval holds more than the selection
    // keeps (about 3 % of them): the radix selection takes over.
    std::uniform_real_distribution<float> unit(0, 1);
    const std::vector<float> values = Drawn(1000000, [&](std::mt19937& r) { return unit(r) < 0.1 ? kNaN : unit(r) * 1000; });
    const std::vector<double> sorted = SortedFinite(values);
    double low = 0;
    double high = 0;
    EXPECT_EQ(TPixelPercentiles::Select(values.data(), values.size(), 45, 55, low, high), sorted.size());
    EXPECT_EQ(low, SortedPercentile(sorted, 45));
    EXPECT_EQ(high, SortedPercentile(sorted, 55));
}

TEST(PixelPercentiles, NoFiniteValueLeavesTheResultsAlone)
{
    for (const size_t count : {size_t(3), size_t(100000)}) {
        std::vector<float> values;
        for (size_t i = 0; i < count; ++i) values.push_back(i % 3 == 0 ? kNaN : i % 3 == 1 ? kInfinity : -kInfinity);
        double low = 5;
        double high = 6;
        EXPECT_EQ(TPixelPercentiles::Select(values.data(), values.size(), 2, 98, low, high), 0u);
        EXPECT_EQ(TPixelPercentiles::SelectByRadix(values.data(), values.size(), 2, 98, low, high), 0u);
        EXPECT_EQ(TPixelPercentiles::Select(values.data(), 0, 2, 98, low, high), 0u);
        EXPECT_EQ(low, 5);
        EXPECT_EQ(high, 6);
    }
}
