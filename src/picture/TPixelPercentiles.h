#pragma once

#include <cstddef>

// Exact percentiles of a picture's pixel values without sorting them. A sample of 8192 values
// gives, for each percent, an interval of values that should hold its ranks; one pass over the
// values then counts those below each interval (and at its ends, where those repeat) and keeps
// those inside, about 1 % of them for the 2nd and 98th percentiles, among which the ranks are
// selected. Where the sample misled (an interval missed its ranks, or held more than 1/32 of
// the values, as it does around the median of millions), a radix selection takes over, whatever
// the values: two passes over the bits of the floats, the top 16, then the low 16 of those in the
// bins that hold the ranks sought, in about 1 MB. Fewer than 65536 values are selected among
// directly.
class TPixelPercentiles {
public:
    TPixelPercentiles() = delete;

    // The `low` and `high` percents (0 to 100) of the finite values among values[0..count), as
    // numpy's default percentile computes them: linear interpolation between the closest ranks.
    // Returns how many values are finite; with none, low and high are left as they were.
    // Throws "Too many values in TPixelPercentiles" for count >= 2^32.
    static size_t Select(const float* values, size_t count, double lowPercent, double highPercent, double& low,
                         double& high);
    // The same by the radix selection alone (the road Select takes when its sample misleads it).
    static size_t SelectByRadix(const float* values, size_t count, double lowPercent, double highPercent, double& low,
                                double& high);
};
