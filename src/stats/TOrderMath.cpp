#include "stats/TOrderMath.h"

#include <algorithm>
#include <cmath>

namespace {

// The rank below a percentile's position and the fraction towards the next: false where the
// position is at or past the last rank (the percentile is the maximum).
bool Position(size_t n, double percent, size_t& below, double& fraction)
{
    const double position = static_cast<double>(n - 1) * (percent / 100);
    if (position >= static_cast<double>(n - 1)) return false;
    const double floor = std::floor(position);
    fraction = position - floor;
    below = static_cast<size_t>(floor);
    return true;
}

// numpy's interpolation between a <= b at fraction t. Where b - a overflows, its half (exact)
// times twice the fraction (exact) rounds as the full product would: the same result wherever
// that is finite.
double Interpolate(double a, double b, double t)
{
    const double difference = b - a;
    if (std::isinf(difference) && std::isfinite(a) && std::isfinite(b)) {
        const double half = b / 2 - a / 2;
        return t >= 0.5 ? b - half * (2 * (1 - t)) : a + half * (2 * t);
    }
    return t >= 0.5 ? b - difference * (1 - t) : a + difference * t;
}

// The value of the most (most = true) or least frequent run of equal values; the first such
// run, the smallest value, wins a tie.
double ExtremeRun(const double* sorted, size_t n, bool most)
{
    double value = sorted[0];
    size_t count = 0;
    for (size_t start = 0; start < n;) {
        size_t end = start + 1;
        while (end < n && sorted[end] == sorted[start]) ++end;
        const size_t length = end - start;
        if (count == 0 || (most ? length > count : length < count)) {
            value = sorted[start];
            count = length;
        }
        start = end;
    }
    return value;
}

}  // namespace

double TOrderMath::MeanOfTwo(double a, double b)
{
    const double sum = a + b;
    return std::isinf(sum) && std::isfinite(a) && std::isfinite(b) ? a / 2 + b / 2 : sum / 2;
}

double TOrderMath::Median(const double* sorted, size_t n)
{
    const size_t middle = n / 2;
    return n % 2 == 1 ? sorted[middle] : MeanOfTwo(sorted[middle - 1], sorted[middle]);
}

double TOrderMath::Percentile(const double* sorted, size_t n, double percent)
{
    size_t below = 0;
    double t = 0;
    if (!Position(n, percent, below, t)) return sorted[n - 1];
    return t == 0 ? sorted[below] : Interpolate(sorted[below], sorted[below + 1], t);
}

double TOrderMath::Mode(const double* sorted, size_t n) { return ExtremeRun(sorted, n, true); }

double TOrderMath::Minority(const double* sorted, size_t n) { return ExtremeRun(sorted, n, false); }

size_t TOrderMath::Variety(const double* sorted, size_t n)
{
    size_t variety = 1;
    for (size_t i = 1; i < n; ++i) variety += sorted[i] != sorted[i - 1];
    return variety;
}

double TOrderMath::MedianOfUnsorted(double* values, size_t n)
{
    double* middle = values + n / 2;
    std::nth_element(values, middle, values + n);
    return n % 2 == 1 ? *middle : MeanOfTwo(*std::max_element(values, middle), *middle);
}

double TOrderMath::PercentileOfUnsorted(double* values, size_t n, double percent)
{
    size_t below = 0;
    double t = 0;
    if (!Position(n, percent, below, t)) return *std::max_element(values, values + n);
    std::nth_element(values, values + below, values + n);
    if (t == 0) return values[below];
    return Interpolate(values[below], *std::min_element(values + below + 1, values + n), t);
}

void TOrderMath::InsertionSort(double* values, size_t n)
{
    for (size_t i = 1; i < n; ++i) {
        const double value = values[i];
        size_t j = i;
        for (; j > 0 && value < values[j - 1]; --j) values[j] = values[j - 1];
        values[j] = value;
    }
}

void TOrderMath::Sort(double* values, size_t n)
{
    // Up to this many values, insertion takes less time than std::sort.
    constexpr size_t kInsertedAtMost = 48;
    if (n <= kInsertedAtMost) InsertionSort(values, n);
    else std::sort(values, values + n);
}
