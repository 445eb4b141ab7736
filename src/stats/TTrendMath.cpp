#include "stats/TTrendMath.h"

#include "stats/TDistributions.h"
#include "stats/TDoublePair.h"
#include "stats/TOrderMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Residuals whose root mean square is within this many units of the last place of the data's
// scale are taken for the rounding of an exact line (see FitLine).
constexpr double kResidualFloor = 16 * std::numeric_limits<double>::epsilon();

// 2^e for e in [-1022, 1023], built from its bits.
double PowerOfTwo(int e)
{
    const uint64_t bits = static_cast<uint64_t>(e + 1023) << 52;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The power of two that brings the largest magnitude (finite, >= 0) into [0.5, 1), and its
// exponent (frexp's, clamped to +-1000).
double ScaleFor(double largest, int& exponent)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &largest, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    if (biased == 0) std::frexp(largest, &exponent);  // 0 or subnormal
    else exponent = biased - 1022;
    exponent = std::clamp(exponent, -1000, 1000);
    return PowerOfTwo(-exponent);
}

// value * 2^e, rounded once (as ldexp).
double Scaled(double value, int e)
{
    return e >= -1022 && e <= 1023 ? value * PowerOfTwo(e) : std::ldexp(value, e);
}

// Sums over the inputs in four interleaved lanes, which the compiler keeps in vector registers
// (one chain of additions would wait on each add); the lanes are added pairwise at the end.
constexpr size_t kLanes = 2;

struct TLanes {
    double Lane[kLanes] = {};
    double Sum() const { return Lane[0] + Lane[1]; }
};

// Calls step(i, lane) for i in [from, n), input i on lane (i - from) % kLanes.
template <class TStep>
inline __attribute__((always_inline)) void InLanes(size_t from, size_t n, TStep step)
{
    size_t i = from;
    for (; i + kLanes <= n; i += kLanes)
        for (size_t lane = 0; lane < kLanes; ++lane) step(i + lane, lane);
    for (size_t lane = 0; i < n; ++i, ++lane) step(i, lane);
}

// The weights of a fit, scaled by a power of two; without weights, 1 (which the compiler folds).
struct TUnitWeights {
    static constexpr bool kGiven = false;
    TUnitWeights(const double*, double) {}
    double operator()(size_t) const { return 1.0; }
};

struct TGivenWeights {
    static constexpr bool kGiven = true;
    TGivenWeights(const double* weights, double factor) : Weights(weights), Factor(factor) {}
    double operator()(size_t i) const { return Weights[i] * Factor; }
    const double* Weights;
    double Factor;
};

double Largest(const TLanes& lanes) { return std::max(lanes.Lane[0], lanes.Lane[1]); }

void Raise(TLanes& lanes, size_t lane, double value) { lanes.Lane[lane] = std::max(lanes.Lane[lane], value); }

// The design of the inputs of positive weight, scaled by powers of two so that the largest |t|
// and w lie in [0.5, 1): with the values scaled alike (in FitValues), every sum of squares stays
// far from overflow and the results are those of the unscaled data wherever those are finite.
template <class TWeights>
bool Prepare(const double* t, const double* raw, size_t n, TLineDesign& design)
{
    design = TLineDesign();
    design.T = t;
    design.W = raw;
    design.N = n;
    if (n < 2) return false;
    size_t first = 0;
    if (TWeights::kGiven)
        while (first < n && !(raw[first] > 0)) ++first;
    if (first == n) return false;
    // The largest |t| and w, and the largest distance from the first t (0 where constant),
    // without a branch on the data where there are no weights.
    const double t0 = t[first];
    TLanes largestT;
    TLanes largestW;
    TLanes distanceT;
    InLanes(first, n, [&](size_t i, size_t lane) {
        const bool used = !TWeights::kGiven || raw[i] > 0;
        Raise(largestT, lane, used ? std::fabs(t[i]) : 0.0);
        Raise(distanceT, lane, used ? std::fabs(t[i] - t0) : 0.0);
        if (TWeights::kGiven) Raise(largestW, lane, used ? raw[i] : 0.0);
    });
    const double largestWeight = TWeights::kGiven ? Largest(largestW) : 1.0;
    design.First = first;
    design.LargestT = Largest(largestT);
    if (Largest(distanceT) == 0 || !std::isfinite(design.LargestT) || !std::isfinite(largestWeight)) return false;
    int kw = 0;
    design.TScale = ScaleFor(design.LargestT, design.TExponent);
    design.WScale = ScaleFor(largestWeight, kw);
    const double ts = design.TScale;
    const TWeights weight(raw, design.WScale);
    TLanes total;
    TLanes sumT;
    InLanes(0, n, [&](size_t i, size_t lane) {
        const double w = weight(i);
        total.Lane[lane] += w;
        sumT.Lane[lane] += w * (t[i] * ts);
    });
    design.Total = total.Sum();
    design.MeanT = sumT.Sum() / design.Total;
    TLanes shiftT;
    TLanes tt;
    InLanes(0, n, [&](size_t i, size_t lane) {
        const double w = weight(i);
        const double dt = t[i] * ts - design.MeanT;
        shiftT.Lane[lane] += w * dt;
        tt.Lane[lane] += w * dt * dt;
    });
    design.ShiftT = shiftT.Sum();
    design.Stt = tt.Sum();
    return true;
}

// Magnitudes between these bounds sum unscaled to the scaled sum times the scale exactly: no
// term nor sum of a few thousand million of them leaves the normal range.
constexpr double kUnscaledLow = 0x1p-900;
constexpr double kUnscaledHigh = 0x1p900;

// The sums a line is made of, in the units of the scaled times and of the values scaled by ys,
// with what the results need beside them.
struct TLineSums {
    double MeanY = 0;   // the weighted mean of the values
    double ShiftY = 0;  // sum of w (y - MeanY), the mean's rounding
    double Sty = 0;     // sum of w (t - MeanT)(y - MeanY)
    double Syy = 0;     // sum of w (y - MeanY)^2
    double Residual = 0;  // sum of w r^2 about the line, r about its own weighted mean
    double LargestY = 0;  // the largest |y|
    int YExponent = 0;    // ys = 2^-YExponent
    bool YConstant = false;
};

// The results of a line from its sums.
void FillFit(const TLineDesign& design, const TLineSums& sums, TLineFit& fit)
{
    const double stt = design.Stt;
    const double slope = sums.YConstant ? 0 : sums.Sty / stt;
    const double total = design.Total;
    fit.HasLine = true;
    // The means corrected by the deviations' own sums (a mean may be off by a rounding).
    const double offset = (sums.MeanY + sums.ShiftY / total) - slope * (design.MeanT + design.ShiftT / total);
    fit.Slope = Scaled(slope, sums.YExponent - design.TExponent);
    fit.Offset = Scaled(offset, sums.YExponent);
    fit.Freedom = static_cast<double>(design.N) - 2;
    // The largest |t| and |y| scaled are below 1 (below 2^400 where the values are not scaled).
    const double floor = kResidualFloor * (sums.LargestY + std::fabs(slope) * (design.LargestT * design.TScale));
    const bool exact = std::sqrt(sums.Residual / total) <= floor;
    if (!sums.YConstant) {
        // (sty / stt) (sty / syy): three roundings where r = sty / sqrt(stt syy) squared takes five.
        fit.R2 = exact ? 1 : std::min(1.0, slope * (sums.Sty / sums.Syy));
        fit.HasR2 = true;
    }
    if (design.N >= 3 && !sums.YConstant && !exact) {
        const double error = std::sqrt(sums.Residual / fit.Freedom / stt);
        fit.TValue = slope / error;
        fit.HasTValue = true;
    }
}

// Values whose magnitudes lie within these bounds are summed unscaled: no square of a deviation
// nor a sum of a few thousand million of them leaves the normal range.
constexpr double kOnePassLow = 0x1p-400;
constexpr double kOnePassHigh = 0x1p400;
// The one-pass sums are taken where a subtraction cancels at most this share of what it starts
// from, which keeps the results within a few units of the last place of the passes about the
// mean: the first value lies within sqrt(3) standard deviations of the mean, and the line leaves
// at least a quarter of the values' spread to the residuals (r2 <= 3/4). Elsewhere the passes.
constexpr double kOnePassShare = 1.0 / 4;

// Sums of the deviations from the first value y0, unscaled, from one pass over the values.
struct TShiftedSums {
    double D = 0;   // sum of w d, d = y - y0
    double TD = 0;  // sum of w (t - MeanT) d
    double DD = 0;  // sum of w d^2
};

// The line's sums from the shifted sums, or false where their subtractions would cancel too much
// (the caller then makes them in passes about the mean).
bool SumsFromShifted(const TLineDesign& design, double y0, const TShiftedSums& shifted, TLineSums& sums)
{
    const double total = design.Total;
    const double meanD = shifted.D / total;
    sums.Syy = shifted.DD - shifted.D * meanD;
    if (!(sums.Syy >= kOnePassShare * shifted.DD)) return false;
    // sum of w (t - MeanT) is ShiftT, not 0.
    sums.Sty = shifted.TD - meanD * design.ShiftT;
    sums.Residual = sums.Syy - (sums.Sty / design.Stt) * sums.Sty;
    if (!(sums.Residual >= kOnePassShare * sums.Syy)) return false;
    sums.MeanY = y0 + meanD;
    sums.ShiftY = 0;
    return true;
}

#if defined(GRIDMEAN_DOUBLE_PAIRS)
using TDoublePair::TMask;
using TDoublePair::TPair;

inline TPair PairFromLanes(const TLanes& lanes) { return TPair{lanes.Lane[0], lanes.Lane[1]}; }

inline void PairToLanes(TPair pair, TLanes& lanes)
{
    lanes.Lane[0] = pair[0];
    lanes.Lane[1] = pair[1];
}
#endif

// The values of a line: a cell's own, side by side, or each input's value of cell c in bands of
// their own (read where they lie, without gathering them first).
struct TValuesInOrder {
    const double* Y;
    double operator[](size_t i) const { return Y[i]; }
#if defined(GRIDMEAN_DOUBLE_PAIRS)
    TPair Pair(size_t i) const { return TDoublePair::Load(Y + i); }
#endif
};

struct TValuesOfCell {
    const double* const* Values;
    size_t Cell;
    double operator[](size_t i) const { return Values[i][Cell]; }
#if defined(GRIDMEAN_DOUBLE_PAIRS)
    TPair Pair(size_t i) const { return TPair{Values[i][Cell], Values[i + 1][Cell]}; }
#endif
};

#if defined(GRIDMEAN_DOUBLE_PAIRS)
// OnePass over the pairs of inputs from `from` on, its two lanes as one vector: the same
// operations, lane by lane, in half the instructions. Returns the first input not taken.
template <class TWeights, class TValues>
inline __attribute__((always_inline)) size_t OnePassInPairs(const TWeights& weight, const double* raw, const double* t,
                                                            double ts, double meanT, const TValues& y, double y0,
                                                            size_t from, size_t n, TLanes* lanes)
{
    using namespace TDoublePair;
    static_assert(kLanes == 2, "a pair holds the two lanes");
    TPair largest = PairFromLanes(lanes[0]);
    TPair distance = PairFromLanes(lanes[1]);
    TPair sumY = PairFromLanes(lanes[2]);
    TPair sumD = PairFromLanes(lanes[3]);
    TPair sumTD = PairFromLanes(lanes[4]);
    TPair sumDD = PairFromLanes(lanes[5]);
    const TPair pairY0 = {y0, y0};
    size_t i = from;
    for (; i + 2 <= n; i += 2) {
        const TMask used = TWeights::kGiven ? (TMask)(Load(raw + i) > 0) : TMask{-1, -1};
        const TPair w = {weight(i), weight(i + 1)};
        const TPair value = y.Pair(i);
        const TPair d = value - pairY0;
        largest = TDoublePair::Raise(largest, Magnitude(value, used));
        distance = TDoublePair::Raise(distance, Magnitude(d, used));
        sumY += w * value;
        const TPair wd = w * d;
        sumD += wd;
        sumTD += wd * (Load(t + i) * ts - meanT);
        sumDD += wd * d;
    }
    const TPair pairs[] = {largest, distance, sumY, sumD, sumTD, sumDD};
    for (size_t k = 0; k < 6; ++k) PairToLanes(pairs[k], lanes[k]);
    return i;
}
#endif

// The one pass of FitValues over inputs [from, n) into the lanes (input i on lane (i - from) % 2):
// the largest |y| and distance from y0 of the inputs used, and the sums of w y, w d, w d (t - meanT)
// and w d^2 with d = y - y0, t scaled by ts; lanes[0..6) in that order.
template <class TWeights, class TValues>
inline __attribute__((always_inline)) void OnePass(const TWeights& weight, const double* raw, const double* t,
                                                   double ts, double meanT, const TValues& y, double y0, size_t from,
                                                   size_t n, TLanes* lanes)
{
    const auto step = [&](size_t i, size_t lane) {
        const bool used = !TWeights::kGiven || raw[i] > 0;
        const double w = weight(i);
        const double d = y[i] - y0;
        Raise(lanes[0], lane, used ? std::fabs(y[i]) : 0.0);
        Raise(lanes[1], lane, used ? std::fabs(d) : 0.0);
        lanes[2].Lane[lane] += w * y[i];
        const double wd = w * d;
        lanes[3].Lane[lane] += wd;
        lanes[4].Lane[lane] += wd * (t[i] * ts - meanT);
        lanes[5].Lane[lane] += wd * d;
    };
#if defined(GRIDMEAN_DOUBLE_PAIRS)
    const size_t i = OnePassInPairs(weight, raw, t, ts, meanT, y, y0, from, n, lanes);
    if (i < n) step(i, 0);
#else
    InLanes(from, n, step);
#endif
}

// The line through values y of the design's inputs of positive weight. Where the values' scale
// allows, one pass gives every sum; otherwise the values are scaled by the power of two that
// brings the largest |y| into [0.5, 1) and summed about their mean in two more passes.
template <class TWeights, class TValues>
bool FitValues(const TLineDesign& design, const TValues& y, TLineFit& fit)
{
    fit = TLineFit();
    const size_t n = design.N;
    const double* const t = design.T;
    const double* const raw = design.W;
    const TWeights weight(raw, design.WScale);
    const double ts = design.TScale;
    const double meanT = design.MeanT;
    const double total = design.Total;
    // The largest |y|, the largest distance from the first y, the weighted sum, and the sums of
    // the deviations from the first y, unscaled.
    const double y0 = y[design.First];
    TLanes lanes[6];
    OnePass(weight, raw, t, ts, meanT, y, y0, design.First, n, lanes);
    const TLanes& largestY = lanes[0];
    const TLanes& distanceY = lanes[1];
    const TLanes& sumY = lanes[2];
    const TLanes& sumD = lanes[3];
    const TLanes& sumTD = lanes[4];
    const TLanes& sumDD = lanes[5];
    const double largest = Largest(largestY);
    if (!std::isfinite(largest)) return false;
    TLineSums sums;
    sums.YConstant = Largest(distanceY) == 0;
    if (!sums.YConstant && largest <= kOnePassHigh && Largest(distanceY) >= kOnePassLow &&
        SumsFromShifted(design, y0, TShiftedSums{sumD.Sum(), sumTD.Sum(), sumDD.Sum()}, sums)) {
        sums.LargestY = largest;
        FillFit(design, sums, fit);
        return true;
    }
    const double ys = ScaleFor(largest, sums.YExponent);
    sums.LargestY = largest * ys;
    double weightedY = sumY.Sum() * ys;
    if (!sums.YConstant && (largest > kUnscaledHigh || largest < kUnscaledLow)) {
        TLanes scaled;
        InLanes(design.First, n, [&](size_t i, size_t lane) { scaled.Lane[lane] += weight(i) * (y[i] * ys); });
        weightedY = scaled.Sum();
    }
    // Constant values: their mean is the value itself, so every deviation is 0 exactly.
    const double meanY = sums.YConstant ? y0 * ys : weightedY / total;
    TLanes shiftY;
    TLanes ty;
    TLanes yy;
    InLanes(0, n, [&](size_t i, size_t lane) {
        const double w = weight(i);
        const double dt = t[i] * ts - meanT;
        const double dy = y[i] * ys - meanY;
        shiftY.Lane[lane] += w * dy;
        ty.Lane[lane] += w * dt * dy;
        yy.Lane[lane] += w * dy * dy;
    });
    sums.MeanY = meanY;
    sums.ShiftY = shiftY.Sum();
    sums.Sty = ty.Sum();
    sums.Syy = yy.Sum();
    const double slope = sums.YConstant ? 0 : sums.Sty / design.Stt;
    // Residuals about their own weighted mean, which removes what the means' roundings shift.
    TLanes sumR;
    TLanes sumRR;
    InLanes(0, n, [&](size_t i, size_t lane) {
        const double w = weight(i);
        const double r = (y[i] * ys - meanY) - slope * (t[i] * ts - meanT);
        sumR.Lane[lane] += w * r;
        sumRR.Lane[lane] += w * r * r;
    });
    const double sumOfR = sumR.Sum();
    sums.Residual = std::max(0.0, sumRR.Sum() - sumOfR * sumOfR / total);
    FillFit(design, sums, fit);
    return true;
}

#if defined(GRIDMEAN_DOUBLE_PAIRS)
// The sums of FitValues's one pass for two neighbouring cells at once (a cell per vector lane),
// input by input, the inputs split over two lanes of sums as OnePass splits them, so that each sum
// is made of the same operations in the same order. The extremes FitValues keeps beside them are
// bounded from the sums instead (see FinishCellPair).
struct TCellPairSums {
    TPair Y0;
    TPair D[2], TD[2], DD[2];
    TMask Marked;
};

inline __attribute__((always_inline)) void SumCellPair(const TLineDesign& design, const double* const* values,
                                                       const TPair* markers, const TPair* times, size_t c,
                                                       TCellPairSums& sums)
{
    using namespace TDoublePair;
    const size_t n = design.N;
    const TPair y0 = Load(values[0] + c);
    TPair d0 = {}, d1 = {}, td0 = {}, td1 = {}, dd0 = {}, dd1 = {};
    TMask marked = {};
    const auto step = [&](size_t i, TPair y, TPair& d, TPair& td, TPair& dd) {
        const TPair delta = y - y0;
        d += delta;
        td += delta * times[i];
        dd += delta * delta;
    };
    size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        const TPair first = Load(values[i] + c);
        const TPair second = Load(values[i + 1] + c);
        marked |= Lacks<false>(first, markers[i]) | Lacks<false>(second, markers[i + 1]);
        step(i, first, d0, td0, dd0);
        step(i + 1, second, d1, td1, dd1);
    }
    if (i < n) {
        const TPair last = Load(values[i] + c);
        marked |= Lacks<false>(last, markers[i]);
        step(i, last, d0, td0, dd0);
    }
    sums.Y0 = y0;
    sums.D[0] = d0;
    sums.D[1] = d1;
    sums.TD[0] = td0;
    sums.TD[1] = td1;
    sums.DD[0] = dd0;
    sums.DD[1] = dd1;
    sums.Marked = marked;
}

// What FinishCellPair takes of the design, in pairs.
struct TPairedDesign {
    TPair Total, Stt, ShiftT, CentreT, SpreadT, Freedom, SlopeScale, Inputs;
};

TPairedDesign PairDesign(const TLineDesign& design)
{
    const auto pair = [](double value) { return TPair{value, value}; };
    return TPairedDesign{pair(design.Total),
                         pair(design.Stt),
                         pair(design.ShiftT),
                         pair(design.MeanT + design.ShiftT / design.Total),
                         pair(design.LargestT * design.TScale),
                         pair(static_cast<double>(design.N) - 2),
                         pair(Scaled(1.0, -design.TExponent)),
                         pair(static_cast<double>(design.N))};
}

// SumsFromShifted and FillFit for two cells at once, the same operations lane by lane; returns
// the mask of the lanes whose one-pass sums FitValues takes and whose line is not exact (the
// others go cell by cell). FitValues's checks on the largest |y| and |y - y0| are made on bounds
// of them from the sum of squares: |y_i - y0| <= sqrt(dd) and max |y_i - y0| >= sqrt(dd / n), each
// within some n units of the last place, which the factors kBelow and kAbove cover. A lane whose
// bounds cannot settle a check goes cell by cell.
inline __attribute__((always_inline)) TMask FinishCellPair(const TPairedDesign& design, const TCellPairSums& sums,
                                                           TLineFit* fits)
{
    using namespace TDoublePair;
    constexpr double kAbove = 1 + 0x1p-30;
    constexpr double kBelow = 1 - 0x1p-30;
    const TMask magnitude = ~(TMask{1, 1} << 63);
    const TPair d = sums.D[0] + sums.D[1];
    const TPair dd = sums.DD[0] + sums.DD[1];
    const TPair largest = ((TPair)((TMask)sums.Y0 & magnitude) + Sqrt(dd) * kAbove) * kAbove;
    const TPair distance = Sqrt(dd / design.Inputs) * kBelow;
    const TPair meanD = d / design.Total;
    const TPair syy = dd - d * meanD;
    const TPair sty = (sums.TD[0] + sums.TD[1]) - meanD * design.ShiftT;
    const TPair slope = sty / design.Stt;
    const TPair residual = syy - slope * sty;
    const TMask usable = (TMask)(largest <= kOnePassHigh) & (TMask)(distance >= kOnePassLow) &
        (TMask)(syy >= kOnePassShare * dd) & (TMask)(residual >= kOnePassShare * syy);
    // The values' mean corrected by its deviations' sum, which is 0 here (0 / total is +0).
    const TPair offset = ((sums.Y0 + meanD) + TPair{}) - slope * design.CentreT;
    // Above FitValues's floor, which takes the largest |y| itself: not an exact line.
    const TPair floor = kResidualFloor * (largest + (TPair)((TMask)slope & magnitude) * design.SpreadT);
    const TMask inexact = (TMask)(Sqrt(residual / design.Total) > floor);
    const TPair one = {1, 1};
    const TPair correlation = slope * (sty / syy);
    const TPair r2 = Select((TMask)(correlation < one), correlation, one);
    const TPair tvalue = slope / Sqrt(residual / design.Freedom / design.Stt);
    const TPair scaledSlope = slope * design.SlopeScale;
    for (size_t lane = 0; lane < 2; ++lane) {
        TLineFit& fit = fits[lane];
        fit.HasLine = true;
        fit.Slope = scaledSlope[lane];
        fit.Offset = offset[lane];
        fit.HasR2 = true;
        fit.R2 = r2[lane];
        fit.HasTValue = design.Inputs[lane] >= 3;
        fit.TValue = fit.HasTValue ? tvalue[lane] : 0;
        fit.Freedom = design.Freedom[lane];
    }
    return usable & inexact;
}
#endif

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
            if (size <= 16) TOrderMath::InsertionSort(from, size);
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

bool TTrendMath::PrepareLine(const double* t, const double* w, size_t n, TLineDesign& design)
{
    return w ? Prepare<TGivenWeights>(t, w, n, design) : Prepare<TUnitWeights>(t, nullptr, n, design);
}

bool TTrendMath::FitLine(const TLineDesign& design, const double* y, TLineFit& fit)
{
    const TValuesInOrder values{y};
    return design.W ? FitValues<TGivenWeights>(design, values, fit) : FitValues<TUnitWeights>(design, values, fit);
}

bool TTrendMath::FitLine(const TLineDesign& design, const double* const* values, size_t c, TLineFit& fit)
{
    const TValuesOfCell cell{values, c};
    return design.W ? FitValues<TGivenWeights>(design, cell, fit) : FitValues<TUnitWeights>(design, cell, fit);
}

void TTrendMath::FitStretch(const TLineDesign& design, const double* const* values, const double* markers,
                            size_t start, size_t count, TLineFit* fits, TCellFit* states)
{
    const auto one = [&](size_t c) {
        TCellFit& state = states[c - start];
        state = TCellFit::Fitted;
        for (size_t k = 0; k < design.N; ++k) {
            const double y = values[k][c];
            if (y == markers[k]) {
                state = TCellFit::Marked;
                return;
            }
            if (!std::isfinite(y)) state = TCellFit::Aside;
        }
        if (state == TCellFit::Fitted) FitLine(design, values, c, fits[c - start]);
    };
    size_t c = start;
#if defined(GRIDMEAN_DOUBLE_PAIRS)
    if (!design.W && design.N >= 2 && design.N <= kMaxStretchInputs) {
        using TDoublePair::TPair;
        TPair pairedMarkers[kMaxStretchInputs];
        TPair pairedTimes[kMaxStretchInputs];
        for (size_t k = 0; k < design.N; ++k) {
            pairedMarkers[k] = TPair{markers[k], markers[k]};
            const double t = design.T[k] * design.TScale - design.MeanT;
            pairedTimes[k] = TPair{t, t};
        }
        const TPairedDesign paired = PairDesign(design);
        // The sums of a run of pairs first, then their results: each pair's chain of divisions
        // and roots overlaps the next pair's, which it would not after a pass over every input.
        constexpr size_t kRun = 32;
        TCellPairSums sums[kRun];
        while (c + 2 <= start + count) {
            const size_t pairs = std::min(kRun, (start + count - c) / 2);
            for (size_t p = 0; p < pairs; ++p) {
                const size_t at = c + 2 * p;
                // No prefetcher follows as many streams as there are inputs: at each cache line,
                // the lines a few ahead are asked for.
                if (at % 8 == 0 && at + 40 <= start + count)
                    for (size_t k = 0; k < design.N; ++k) __builtin_prefetch(values[k] + at + 32);
                SumCellPair(design, values, pairedMarkers, pairedTimes, at, sums[p]);
            }
            for (size_t p = 0; p < pairs; ++p) {
                const TMask usable = FinishCellPair(paired, sums[p], fits + (c - start) + 2 * p);
                for (size_t lane = 0; lane < 2; ++lane)
                    states[c - start + 2 * p + lane] = sums[p].Marked[lane] ? TCellFit::Marked
                        : usable[lane]                                      ? TCellFit::Fitted
                                                                            : TCellFit::Aside;
            }
            c += 2 * pairs;
        }
    }
#endif
    for (; c < start + count; ++c) one(c);
}

bool TTrendMath::FitLine(const double* t, const double* y, const double* w, size_t n, TLineFit& fit)
{
    TLineDesign design;
    if (!PrepareLine(t, w, n, design)) {
        fit = TLineFit();
        return false;
    }
    return FitLine(design, y, fit);
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
