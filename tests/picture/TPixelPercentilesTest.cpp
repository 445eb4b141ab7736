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
double SortedPercentile(const std::vector<float>& values, double percent)
{
    std::vector<double> finite;
    for (float value : values)
        if (std::isfinite(value)) finite.push_back(value);
    std::sort(finite.begin(), finite.end());
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
    };
    const std::pair<double, double> percents[] = {{2, 98}, {0, 100}, {50, 50}, {2.5, 97.5}, {33.3, 66.6}};
    for (const TCase& c : cases) {
        for (const auto& p : percents) {
            double low = -1;
            double high = -1;
            const size_t finite = TPixelPercentiles::Select(c.Values.data(), c.Values.size(), p.first, p.second, low, high);
            EXPECT_EQ(finite, size_t(std::count_if(c.Values.begin(), c.Values.end(), [](float v) { return std::isfinite(v); })));
            EXPECT_EQ(low, SortedPercentile(c.Values, p.first)) << c.Name << " at " << p.first;
            EXPECT_EQ(high, SortedPercentile(c.Values, p.second)) << c.Name << " at " << p.second;
        }
    }
}

TEST(PixelPercentiles, NoFiniteValueLeavesTheResultsAlone)
{
    const std::vector<float> values = {kNaN, kInfinity, -kInfinity};
    double low = 5;
    double high = 6;
    EXPECT_EQ(TPixelPercentiles::Select(values.data(), values.size(), 2, 98, low, high), 0u);
    EXPECT_EQ(TPixelPercentiles::Select(values.data(), 0, 2, 98, low, high), 0u);
    EXPECT_EQ(low, 5);
    EXPECT_EQ(high, 6);
}
