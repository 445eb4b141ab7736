#pragma once

#include <cstddef>

// Moments of the values of one cell: the n values that hold data there, in input order (n >= 1),
// with weights parallel to them where weighted (finite, >= 0). Nothing is allocated; nothing is
// reordered.
//
// The plain forms are today's cell rule bit for bit wherever that gives a finite result: the
// mean is the sum in input order divided by n; the variance is taken about that mean in a second
// pass. Where that road overflows although the inputs are finite (the sum of 1.7e308 and 1.7e308,
// the squares of values near 1e155), the same computation runs again on the values scaled by a
// power of two (exact) and the result is scaled back, so that a result that fits in a double is
// given as one. A result is not finite only where an input is not finite or where the exact
// result lies beyond the range of doubles (the variance of -1e200 and 1e200); the caller writes
// such a result as missing.
class TMomentMath {
public:
    TMomentMath() = delete;

    // x[0] + x[1] + ... in input order, from x[0] (so that -0 stays -0): today's sum, bit for
    // bit, overflow included (no scaled road: an overflowing sum is not finite).
    static double Sum(const double* x, size_t n);
    // Sum(x, n) / n, or, where that overflows, the mean of the values scaled down.
    static double Mean(const double* x, size_t n);
    // sum (x - mean)^2 / n about Mean's mean. Where the plain road overflows, 0 if all the values
    // are equal, else the variance of the scaled values scaled back (it may overflow all the same).
    static double PopulationVariance(const double* x, size_t n);
    // sqrt(PopulationVariance), finite wherever the standard deviation fits in a double.
    static double PopulationStdDev(const double* x, size_t n);
    // The same sum of squares divided by n - 1; false where n < 2.
    static bool SampleVariance(const double* x, size_t n, double& result);
    static bool SampleStdDev(const double* x, size_t n, double& result);

    // sum (x - m)^3 / (n sigma^3) with the population sigma (scipy.stats.skew with bias). False
    // where n < 2 or where all the values are equal (compared exactly, so that a mean that differs
    // from equal values by a rounding makes no skewness out of noise). Computed on the values
    // scaled to magnitudes below 1 by a power of two, so no power overflows or underflows.
    static bool Skewness(const double* x, size_t n, double& result);
    // sum (x - m)^4 / (n sigma^4) - 3 (scipy.stats.kurtosis, Fisher's, with bias); missing as
    // Skewness is.
    static bool Kurtosis(const double* x, size_t n, double& result);

    // sum w x / sum w, both sums in input order from the first term, then one division: today's
    // weighted mean bit for bit. False where sum w = 0. Where the plain road does not give a finite
    // result (w x or a sum overflows), the weights are scaled to at most 1 and the values down by
    // a power of two.
    static bool WeightedMean(const double* x, const double* w, size_t n, double& result);
    // sum w x in input order (scaled where it overflows on the way); false where sum w = 0.
    static bool WeightedSum(const double* x, const double* w, size_t n, double& result);
    // sum w (x - m)^2 / sum w about WeightedMean's m; false where sum w = 0. Where the plain road
    // overflows, 0 if all the values of positive weight are equal, else scaled as the mean is.
    static bool WeightedVariance(const double* x, const double* w, size_t n, double& result);
    static bool WeightedStdDev(const double* x, const double* w, size_t n, double& result);
};
