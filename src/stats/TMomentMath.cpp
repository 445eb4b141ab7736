#include "stats/TMomentMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The least b with 2^b >= n.
int BitsFor(size_t n)
{
    int bits = 0;
    while ((size_t(1) << bits) < n) ++bits;
    return bits;
}

bool AllFinite(const double* x, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(x[i])) return false;
    return true;
}

bool AllEqual(const double* x, size_t n)
{
    for (size_t i = 1; i < n; ++i)
        if (x[i] != x[0]) return false;
    return true;
}

// Whether every value of positive weight equals the first such value.
bool AllEqualWhereWeighted(const double* x, const double* w, size_t n)
{
    const double* first = nullptr;
    for (size_t i = 0; i < n; ++i) {
        if (!(w[i] > 0)) continue;
        if (!first) first = x + i;
        else if (x[i] != *first) return false;
    }
    return true;
}

double Largest(const double* x, size_t n)
{
    double largest = 0;
    for (size_t i = 0; i < n; ++i) largest = std::max(largest, std::fabs(x[i]));
    return largest;
}

// The exponent k for which largest * 2^-k lies below 2^target (largest finite); kept within
// [-1000, 1024] so that 2^-k is a double, which leaves subnormal values short of the target.
int ScaleExponent(double largest, int target)
{
    int exponent = 0;
    std::frexp(largest, &exponent);
    return std::clamp(exponent - target, -1000, 1024);
}

// A sum of squares of deviations and the binary exponent it is scaled by: the true sum is
// Sum * 4^Exponent.
struct TScaledSquares {
    double Sum;
    int Exponent;
};

TScaledSquares SquaresAboutMean(const double* x, size_t n)
{
    const double mean = TMomentMath::Sum(x, n) / static_cast<double>(n);
    double squares = 0;
    for (size_t i = 0; i < n; ++i) {
        const double deviation = x[i] - mean;
        squares += deviation * deviation;
    }
    if (std::isfinite(squares) || !AllFinite(x, n)) return {squares, 0};
    // The mean of equal values may differ from them by a rounding, which scaled back would
    // overflow: their spread is 0.
    if (AllEqual(x, n)) return {0, 0};
    // Values below 2^(500 - b) with 2^b >= n: no sum, deviation or sum of squares can overflow.
    const int k = ScaleExponent(Largest(x, n), 500 - BitsFor(n));
    const double factor = std::ldexp(1.0, -k);
    double sum = x[0] * factor;
    for (size_t i = 1; i < n; ++i) sum += x[i] * factor;
    const double scaledMean = sum / static_cast<double>(n);
    squares = 0;
    for (size_t i = 0; i < n; ++i) {
        const double deviation = x[i] * factor - scaledMean;
        squares += deviation * deviation;
    }
    return {squares, k};
}

// The weighted sum and the weight total, in input order from the first term.
void WeightedSums(const double* x, const double* w, size_t n, double& weighted, double& total)
{
    weighted = x[0] * w[0];
    total = w[0];
    for (size_t i = 1; i < n; ++i) {
        weighted += x[i] * w[i];
        total += w[i];
    }
}

// The weights scaled to below 1 and the values to below 2^target, each by a power of two (true
// values = scaled * 2^ValueExponent), with the scaled weighted sum and weight total.
struct TScaledWeighting {
    double WeightFactor;
    double ValueFactor;
    int ValueExponent;
    int WeightExponent;
    double Weighted;
    double Total;
};

TScaledWeighting ScaledWeighting(const double* x, const double* w, size_t n, int target)
{
    const int kw = ScaleExponent(Largest(w, n), 0);
    const int kx = ScaleExponent(Largest(x, n), target);
    TScaledWeighting scale = {std::ldexp(1.0, -kw), std::ldexp(1.0, -kx), kx, kw, 0, 0};
    for (size_t i = 0; i < n; ++i) {
        const double weight = w[i] * scale.WeightFactor;
        scale.Weighted += x[i] * scale.ValueFactor * weight;
        scale.Total += weight;
    }
    return scale;
}

// The weighted mean without its checks: today's road, then the scaled one where that is not finite.
double WeightedMeanOf(const double* x, const double* w, size_t n, double total, double weighted)
{
    const double mean = weighted / total;
    if (std::isfinite(mean) || !AllFinite(x, n) || !AllFinite(w, n)) return mean;
    // Weights below 1 and values below 2^(1021 - b): the weighted sum stays below 2^1021.
    const TScaledWeighting scale = ScaledWeighting(x, w, n, 1021 - BitsFor(n));
    return std::ldexp(scale.Weighted / scale.Total, scale.ValueExponent);
}

// The weighted variance as a value and its binary exponent (true variance = Sum * 4^Exponent).
bool WeightedSquares(const double* x, const double* w, size_t n, TScaledSquares& result)
{
    double weighted = 0;
    double total = 0;
    WeightedSums(x, w, n, weighted, total);
    if (total == 0) return false;
    const double mean = WeightedMeanOf(x, w, n, total, weighted);
    double squares = 0;
    for (size_t i = 0; i < n; ++i) {
        const double deviation = x[i] - mean;
        squares += w[i] * (deviation * deviation);
    }
    result = {squares / total, 0};
    if (std::isfinite(result.Sum) || !AllFinite(x, n) || !AllFinite(w, n)) return true;
    if (AllEqualWhereWeighted(x, w, n)) {
        result = {0, 0};
        return true;
    }
    const TScaledWeighting scale = ScaledWeighting(x, w, n, 500 - BitsFor(n));
    const double scaledMean = scale.Weighted / scale.Total;
    squares = 0;
    for (size_t i = 0; i < n; ++i) {
        const double deviation = x[i] * scale.ValueFactor - scaledMean;
        squares += w[i] * scale.WeightFactor * (deviation * deviation);
    }
    result = {squares / scale.Total, scale.ValueExponent};
    return true;
}

// The central moments m2, m3, m4 of the values scaled to magnitudes below 1 (skewness and
// kurtosis are ratios of them, so the scale drops out). False where n < 2 or all values are equal.
struct TShape {
    double M2 = 0;
    double M3 = 0;
    double M4 = 0;
};

bool ShapeMoments(const double* x, size_t n, TShape& shape)
{
    if (n < 2 || AllEqual(x, n)) return false;
    if (!AllFinite(x, n)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        shape = {nan, nan, nan};
        return true;
    }
    const double count = static_cast<double>(n);
    const double factor = std::ldexp(1.0, -ScaleExponent(Largest(x, n), 0));
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += x[i] * factor;
    const double mean = sum / count;
    // A mean off by a rounding biases the third moment by 3 m2 times it, and values near 4000
    // varying by millimetres have a mean that no double holds to better than a ten-millionth of
    // their spread: the rest of the mean, the deviations' own mean, is kept apart from it.
    double rest = 0;
    for (size_t i = 0; i < n; ++i) rest += x[i] * factor - mean;
    rest /= count;
    double s2 = 0;
    double s3 = 0;
    double s4 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double deviation = (x[i] * factor - mean) - rest;
        const double square = deviation * deviation;
        s2 += square;
        s3 += square * deviation;
        s4 += square * square;
    }
    shape = {s2 / count, s3 / count, s4 / count};
    return true;
}

}  // namespace

double TMomentMath::Sum(const double* x, size_t n)
{
    double sum = x[0];
    for (size_t i = 1; i < n; ++i) sum += x[i];
    return sum;
}

double TMomentMath::Mean(const double* x, size_t n)
{
    const double count = static_cast<double>(n);
    const double mean = Sum(x, n) / count;
    if (std::isfinite(mean) || !AllFinite(x, n)) return mean;
    // Each value divided by 2^k >= 2n: no partial sum can overflow, and the division is exact.
    const int k = BitsFor(n) + 1;
    const double factor = std::ldexp(1.0, -k);
    double sum = x[0] * factor;
    for (size_t i = 1; i < n; ++i) sum += x[i] * factor;
    return std::ldexp(sum / count, k);
}

double TMomentMath::PopulationVariance(const double* x, size_t n)
{
    const TScaledSquares squares = SquaresAboutMean(x, n);
    return std::ldexp(squares.Sum / static_cast<double>(n), 2 * squares.Exponent);
}

double TMomentMath::PopulationStdDev(const double* x, size_t n)
{
    const TScaledSquares squares = SquaresAboutMean(x, n);
    return std::ldexp(std::sqrt(squares.Sum / static_cast<double>(n)), squares.Exponent);
}

bool TMomentMath::SampleVariance(const double* x, size_t n, double& result)
{
    if (n < 2) return false;
    const TScaledSquares squares = SquaresAboutMean(x, n);
    result = std::ldexp(squares.Sum / static_cast<double>(n - 1), 2 * squares.Exponent);
    return true;
}

bool TMomentMath::SampleStdDev(const double* x, size_t n, double& result)
{
    if (n < 2) return false;
    const TScaledSquares squares = SquaresAboutMean(x, n);
    result = std::ldexp(std::sqrt(squares.Sum / static_cast<double>(n - 1)), squares.Exponent);
    return true;
}

bool TMomentMath::Skewness(const double* x, size_t n, double& result)
{
    TShape shape;
    if (!ShapeMoments(x, n, shape)) return false;
    result = shape.M3 / (shape.M2 * std::sqrt(shape.M2));
    return true;
}

bool TMomentMath::Kurtosis(const double* x, size_t n, double& result)
{
    TShape shape;
    if (!ShapeMoments(x, n, shape)) return false;
    result = shape.M4 / (shape.M2 * shape.M2) - 3;
    return true;
}

bool TMomentMath::WeightedMean(const double* x, const double* w, size_t n, double& result)
{
    double weighted = 0;
    double total = 0;
    WeightedSums(x, w, n, weighted, total);
    if (total == 0) return false;
    result = WeightedMeanOf(x, w, n, total, weighted);
    return true;
}

bool TMomentMath::WeightedSum(const double* x, const double* w, size_t n, double& result)
{
    double total = 0;
    WeightedSums(x, w, n, result, total);
    if (total == 0) return false;
    if (std::isfinite(result) || !AllFinite(x, n) || !AllFinite(w, n)) return true;
    // Weights below 1, values below 2^(1021 - b): no partial sum overflows; scaled back, the sum
    // is finite where it fits.
    const TScaledWeighting scale = ScaledWeighting(x, w, n, 1021 - BitsFor(n));
    result = std::ldexp(scale.Weighted, scale.ValueExponent + scale.WeightExponent);
    return true;
}

bool TMomentMath::WeightedVariance(const double* x, const double* w, size_t n, double& result)
{
    TScaledSquares variance = {0, 0};
    if (!WeightedSquares(x, w, n, variance)) return false;
    result = std::ldexp(variance.Sum, 2 * variance.Exponent);
    return true;
}

bool TMomentMath::WeightedStdDev(const double* x, const double* w, size_t n, double& result)
{
    TScaledSquares variance = {0, 0};
    if (!WeightedSquares(x, w, n, variance)) return false;
    result = std::ldexp(std::sqrt(variance.Sum), variance.Exponent);
    return true;
}
