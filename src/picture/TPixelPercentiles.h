#pragma once

#include <cstddef>

// Exact percentiles of a picture's pixel values without sorting them: a radix selection over the
// bits of the floats in two passes whatever their number (the top 16 bits of each value, then the
// low 16 bits of those in the few bins that hold the ranks sought), in about 1 MB.
class TPixelPercentiles {
public:
    TPixelPercentiles() = delete;

    // The `low` and `high` percents (0 to 100) of the finite values among values[0..count), as
    // numpy's default percentile computes them: linear interpolation between the closest ranks.
    // Returns how many values are finite; with none, low and high are left as they were.
    // Throws "Too many values in TPixelPercentiles" for count >= 2^32.
    static size_t Select(const float* values, size_t count, double lowPercent, double highPercent, double& low,
                         double& high);
};
