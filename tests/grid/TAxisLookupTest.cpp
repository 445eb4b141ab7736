#include "grid/TAxisLookup.h"

#include "grid/TAxis.h"
#include "grid/TPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

// An axis along x (mode 'X') or y (other modes) holding the given ordinates.
std::unique_ptr<TAxis> AxisOf(const std::vector<double>& ordinates, char mode, double resolution = 10)
{
    auto axis = std::make_unique<TAxis>(resolution);
    for (double c : ordinates) axis->AddPoint(mode == 'X' ? new TPoint(c, 7) : new TPoint(3, c));
    return axis;
}

}  // namespace

TEST(AxisLookup, AgreesWithTheAxisOnEveryKindOfAxis)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-50, 150);
    const std::vector<std::vector<double>> axes = {
        {0, 10, 20, 30},     {30, 20, 10, 0},   {0, 10, 10, 20},         {20, 10, 10, 0},
        {0, 10, 5, 20},      {5, 5, 5},         {0, 1},                  {1, 0},
        {0, 0.1, 0.2, 0.30000000000000004}, {7}, {},
    };
    for (const auto& ordinates : axes) {
        auto axis = AxisOf(ordinates, 'X');
        const TAxisLookup lookup(axis.get(), 'X');
        std::vector<double> probes = ordinates;
        for (double c : ordinates) {
            probes.push_back(std::nextafter(c, -1e9));
            probes.push_back(std::nextafter(c, 1e9));
        }
        for (int i = 0; i < 200; ++i) probes.push_back(spread(random) / 5);
        probes.push_back(std::numeric_limits<double>::quiet_NaN());
        for (double probe : probes) EXPECT_EQ(lookup.Find(probe), axis->FindSegment(probe, 'X')) << probe;
    }
}
