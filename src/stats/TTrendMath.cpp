#include "stats/TTrendMath.h"

#include "stats/TDistributions.h"
#include "stats/TOrderMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Residuals whose root mean square is within this many units of the last place of the data's
// scale are taken for the rounding of an exact line (see FitLine).
constexpr double kResidualFloor = 16 * std::numeric_limits<double>::epsilon();

// The power of two that brings the largest magnitude into [0.5, 1), and its exponent.
double ScaleFor(double largest, int& exponent)
{
    std::frexp(largest, &exponent);
    exponent = std::clamp(exponent, -1000, 1000);
    return std::ldexp(1.0, -exponent);
}

// The weights of a fit, scaled by a power of two; without weights, 1 (which the compiler folds).
struct TUnitWeights {
    TUnitWeights(const double*, double) {}
    double operator()(size_t) const { return 1.0; }
};

struct TGivenWeights {
    TGivenWeights(const double* weights, double factor) : Weights(weights), Factor(factor) {}
    double operator()(size_t i) const { return Weights[i] * Factor; }
    const double* Weights;
    double Factor;
};

// The line through the inputs of positive weight, on the inputs scaled by powers of two so that
// the largest |t|, |y| and w lie in [0.5, 1): every sum of squares stays far from overflow and
// the results are those of the unscaled data wherever those are finite.
template <class TWeights>
bool Fit(const double* t, const double* y, const double* raw, size_t n, TLineFit& fit)
{
    fit = TLineFit();
    if (n < 2) return false;
    size_t first = n;
    double largestT = 0;
    double largestY = 0;
    double largestW = 0;
    bool tConstant = true;
    bool yConstant = true;
    for (size_t i = 0; i < n; ++i) {
        const double w = raw ? raw[i] : 1.0;
        if (!(w > 0)) continue;
        if (first == n) first = i;
        largestT = std::max(largestT, std::fabs(t[i]));
        largestY = std::max(largestY, std::fabs(y[i]));
        largestW = std::max(largestW, w);
        tConstant = tConstant && t[i] == t[first];
        yConstant = yConstant && y[i] == y[first];
    }
    if (first == n || tConstant) return false;
    if (!std::isfinite(largestT) || !std::isfinite(largestY) || !std::isfinite(largestW)) return false;
    int kt = 0;
    int ky = 0;
    int kw = 0;
    const double ts = ScaleFor(largestT, kt);
    const double ys = ScaleFor(largestY, ky);
    const TWeights weight(raw, ScaleFor(largestW, kw));

    double total = 0;
    double sumT = 0;
    double sumY = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = weight(i);
        total += w;
        sumT += w * (t[i] * ts);
        sumY += w * (y[i] * ys);
    }
    const double meanT = sumT / total;
    // Constant values: their mean is the value itself, so every deviation is 0 exactly.
    const double meanY = yConstant ? y[first] * ys : sumY / total;
    double shiftT = 0;
    double shiftY = 0;
    double stt = 0;
    double sty = 0;
    double syy = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = weight(i);
        const double dt = t[i] * ts - meanT;
        const double dy = y[i] * ys - meanY;
        shiftT += w * dt;
        shiftY += w * dy;
        stt += w * dt * dt;
        sty += w * dt * dy;
        syy += w * dy * dy;
    }
    const double slope = yConstant ? 0 : sty / stt;
    // The means corrected by the deviations' own sums (a mean may be off by a rounding).
    const double offset = (meanY + shiftY / total) - slope * (meanT + shiftT / total);
    // Residuals about their own weighted mean, which removes what the means' roundings shift.
    double sumR = 0;
    double sumRR = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = weight(i);
        const double r = (y[i] * ys - meanY) - slope * (t[i] * ts - meanT);
        sumR += w * r;
        sumRR += w * r * r;
    }
    const double residual = std::max(0.0, sumRR - sumR * sumR / total);

    fit.HasLine = true;
    fit.Slope = std::ldexp(slope, ky - kt);
    fit.Offset = std::ldexp(offset, ky);
    fit.Freedom = static_cast<double>(n) - 2;
    // largestT and largestY scaled are below 1.
    const double floor = kResidualFloor * (largestY * ys + std::fabs(slope) * (largestT * ts));
    const bool exact = std::sqrt(residual / total) <= floor;
    if (!yConstant) {
        const double r = sty / (std::sqrt(stt) * std::sqrt(syy));
        fit.R2 = exact ? 1 : std::min(1.0, r * r);
        fit.HasR2 = true;
    }
    if (n >= 3 && !yConstant && !exact) {
        const double error = std::sqrt(residual / fit.Freedom / stt);
        fit.TValue = slope / error;
        fit.HasTValue = true;
    }
    return true;
}

// The quotients of one row of pairs, NaN where the times are equal. GCC makes the choice a vector
// blend only where it need not keep the floating-point exception flags of the comparison and of
// the division by 0 it then makes for every pair; nothing reads those flags.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-trapping-math")))
#endif
void RowSlopes(const double* tj, const double* yj, size_t count, double ti, double yi, double* out)
{
    for (size_t k = 0; k < count; ++k) {
        const double dt = tj[k] - ti;
        const double quotient = (yj[k] - yi) / dt;
        out[k] = dt != 0 ? quotient : kNaN;
    }
}

// Writes the values below the pivot to to[0..lows) and those above it to to[size - highs..size),
// without a branch on the data: each value goes to both ends and only the right end advances.
// Returns how many equal the pivot (counted where NaNs, equal to nothing, may be among them).
template <bool CountEquals>
size_t Partition(const double* from, size_t size, double pivot, double* to, size_t& lows, size_t& highs)
{
    size_t equals = 0;
    for (size_t k = 0; k < size; ++k) {
        const double value = from[k];
        to[lows] = value;
        to[size - 1 - highs] = value;
        lows += value < pivot;
        highs += value > pivot;
        if (CountEquals) equals += value == pivot;
    }
    return CountEquals ? equals : size - lows - highs;
}

void InsertionSort(double* values, size_t n)
{
    for (size_t i = 1; i < n; ++i) {
        const double value = values[i];
        size_t j = i;
        for (; j > 0 && value < values[j - 1]; --j) values[j] = values[j - 1];
        values[j] = value;
    }
}

double MedianOfThree(double a, double b, double c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// A value of from[0..size) that is not NaN: from[at], or the next one after it (cyclically);
// false where there is none.
bool Candidate(const double* from, size_t size, size_t at, double& value)
{
    value = from[at];
    if (value == value) return true;
    for (size_t k = at + 1 == size ? 0 : at + 1; k != at; k = k + 1 == size ? 0 : k + 1) {
        value = from[k];
        if (value == value) return true;
    }
    return false;
}

// The median of the values that are not NaN among values[0..n) (MeanOfTwo of the two middle
// ones for an even count), by quickselect through Partition, so a value costs a few cycles
// whatever the order, where std::nth_element would mispredict a branch for one in two. The values and `spare` (n doubles) are overwritten.
// False where every value is NaN.
bool SelectMedian(double* values, size_t n, double* spare, double& median)
{
    double* from = values;
    double* to = spare;
    size_t size = n;
    size_t base = 0;  // the rank of from[0]'s place among the values kept
    size_t lowRank = 0;
    size_t highRank = 0;
    bool ranked = false;  // the ranks are known once the first pass has counted the NaNs
    double above = std::numeric_limits<double>::infinity();  // the least value ranked past `from`
    for (int round = 0;; ++round) {
        if (ranked && (size <= 16 || round > 48)) {
            // Few values left, or a run of poor pivots: finish by sorting what is left (NaN-free).
            if (size <= 16) InsertionSort(from, size);
            else std::sort(from, from + size);
            const double low = from[lowRank - base];
            const double high = highRank - base < size ? from[highRank - base] : above;
            median = lowRank == highRank ? low : TOrderMath::MeanOfTwo(low, high);
            return true;
        }
        // The median of three candidates spread over the range, or of three such medians.
        const size_t spread = size >= 128 ? 9 : 3;
        double candidates[9];
        for (size_t k = 0; k < spread; ++k)
            if (!Candidate(from, size, k * (size - 1) / (spread - 1), candidates[k])) return false;
        double pivot = MedianOfThree(candidates[0], candidates[1], candidates[2]);
        if (spread == 9)
            pivot = MedianOfThree(pivot, MedianOfThree(candidates[3], candidates[4], candidates[5]),
                                  MedianOfThree(candidates[6], candidates[7], candidates[8]));
        size_t lows = 0;
        size_t highs = 0;
        // Once the NaNs are gone, what is neither low nor high equals the pivot.
        const size_t equals = ranked ? Partition<false>(from, size, pivot, to, lows, highs)
                                     : Partition<true>(from, size, pivot, to, lows, highs);
        if (!ranked) {
            const size_t kept = lows + highs + equals;
            lowRank = (kept - 1) / 2;
            highRank = kept / 2;
            ranked = true;
        }
        double* const low = to;
        double* const high = to + size - highs;
        if (lowRank < base + lows) {
            if (highRank >= base + lows) {
                // The low rank is the greatest of the lows, the high one the pivot.
                median = TOrderMath::MeanOfTwo(*std::max_element(low, low + lows), pivot);
                return true;
            }
            above = pivot;
            to = from;
            from = low;
            size = lows;
        } else if (lowRank < base + lows + equals) {
            double next = pivot;
            if (highRank >= base + lows + equals) next = highs > 0 ? *std::min_element(high, high + highs) : above;
            median = lowRank == highRank ? pivot : TOrderMath::MeanOfTwo(pivot, next);
            return true;
        } else {
            base += lows + equals;
            to = from;
            from = high;
            size = highs;
        }
    }
}

}  // namespace

bool TTrendMath::FitLine(const double* t, const double* y, const double* w, size_t n, TLineFit& fit)
{
    return w ? Fit<TGivenWeights>(t, y, w, n, fit) : Fit<TUnitWeights>(t, y, nullptr, n, fit);
}

bool TTrendMath::LinePValue(const TLineFit& fit, double& p)
{
    return fit.HasTValue && TDistributions::StudentTwoSided(fit.TValue, fit.Freedom, p);
}

bool TTrendMath::TheilSen(const double* t, const double* y, size_t n, std::vector<double>& scratch, double& slope,
                          double& offset)
{
    if (n < 2) return false;
    const size_t pairs = n * (n - 1) / 2;
    const size_t half = std::max(pairs, n);
    if (scratch.size() < 2 * half) scratch.resize(2 * half);
    double* const slopes = scratch.data();
    double* const spare = slopes + half;
    // Every pair's quotient, NaN for a pair of equal times.
    double* out = slopes;
    for (size_t i = 0; i + 1 < n; ++i) {
        RowSlopes(t + i + 1, y + i + 1, n - 1 - i, t[i], y[i], out);
        out += n - 1 - i;
    }
    if (!SelectMedian(slopes, pairs, spare, slope)) return false;
    double medianY = 0;
    double medianT = 0;
    std::copy(y, y + n, slopes);
    SelectMedian(slopes, n, spare, medianY);
    std::copy(t, t + n, slopes);
    SelectMedian(slopes, n, spare, medianT);
    offset = medianY - slope * medianT;
    return true;
}

void TTrendMath::MannKendall(const double* t, const double* y, size_t n, std::vector<double>& scratch,
                             TMannKendall& result)
{
    result = TMannKendall();
    if (n < 2) return;
    if (scratch.size() < n) scratch.resize(n);
    // ties[i]: how many other values equal y[i]. A group of g equal values gives each member
    // g - 1, so sum over the values of c (2c + 7) is sum over the groups of g (g - 1) (2g + 5).
    double* const ties = scratch.data();
    std::fill(ties, ties + n, 0.0);
    double s = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        const double ti = t[i];
        const double yi = y[i];
        double row = 0;
        double rowTies = 0;
        for (size_t j = i + 1; j < n; ++j) {
            const double signY = static_cast<double>(y[j] > yi) - static_cast<double>(y[j] < yi);
            const double signT = static_cast<double>(t[j] > ti) - static_cast<double>(t[j] < ti);
            const double tie = y[j] == yi ? 1.0 : 0.0;
            row += signY * signT;
            rowTies += tie;
            ties[j] += tie;
        }
        s += row;
        ties[i] += rowTies;
    }
    double tied = 0;
    for (size_t i = 0; i < n; ++i) tied += ties[i] * (2 * ties[i] + 7);
    const double count = static_cast<double>(n);
    const double variance = (count * (count - 1) * (2 * count + 5) - tied) / 18;
    result.S = s;
    if (!(variance > 0)) return;
    const double sigma = std::sqrt(variance);
    result.Z = s > 0 ? (s - 1) / sigma : s < 0 ? (s + 1) / sigma : 0;
    result.HasZ = TDistributions::NormalTwoSided(result.Z, result.P);
}
