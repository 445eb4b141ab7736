#include "stats/TStackStatistic.h"

#include "grid/TNoData.h"
#include "stats/TCountMath.h"
#include "stats/TDoublePair.h"
#include "stats/TMomentMath.h"
#include "stats/TOrderMath.h"
#include "stats/TTrendMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The cells whose gaps are counted at a time: a few kilobytes, in the first-level cache.
constexpr size_t kGapStretch = 256;

// What each kind is, in the order of TStatisticKind: a count of inputs holding data (always a
// value), a whole number, a statistic that takes weights, one signed around 0 by nature, a
// threshold count, a trend against the times, an order statistic.
enum : unsigned { kCounts = 1, kWhole = 2, kWeighted = 4, kSigned = 8, kThreshold = 16, kTrend = 32, kOrder = 64 };
constexpr unsigned kTraits[] = {
    kWeighted,                   // Mean
    kWeighted,                   // Sum
    kCounts | kWhole,            // Count
    0, 0, 0,                     // Min, Max, Range
    kOrder,                      // Median
    kWeighted, kWeighted,        // StdDev, Variance
    kOrder,                      // Percentile
    0, 0,                        // SampleStdDev, SampleVariance
    kSigned, kSigned,            // Skewness, Kurtosis
    kOrder, kOrder,              // Mode, Minority
    kCounts | kWhole | kOrder,   // Variety
    kWhole, kWhole,              // ArgMin, ArgMax
    kCounts | kWhole | kThreshold, kCounts | kWhole | kThreshold, kCounts | kWhole | kThreshold,
    kCounts | kWhole | kThreshold, kCounts | kWhole | kThreshold,  // Above ... Equal
    kTrend | kWeighted | kSigned,  // Slope
    kTrend | kWeighted,            // Offset
    kTrend | kWeighted,            // R2
    kTrend | kWeighted | kSigned,  // TValue
    kTrend | kWeighted,            // PValue
    kTrend | kSigned, kTrend,      // Sen, SenOffset
    kTrend | kSigned, kTrend | kSigned, kTrend,  // MkS, MkZ, MkP
};
static_assert(sizeof kTraits / sizeof kTraits[0] == static_cast<size_t>(TStatisticKind::MkP) + 1,
              "one entry of traits per kind of statistic");

bool Has(TStatisticKind kind, unsigned trait) { return (kTraits[static_cast<size_t>(kind)] & trait) != 0; }

bool IsNegativeZero(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == (uint64_t(1) << 63);
}

// An order of every double: -0 before +0, NaN after all numbers; only for the cells that hold a
// -0 or a NaN, where < alone would leave the sign of a zero result to the sort, or give no order.
bool TotalLess(double a, double b)
{
    if (a != a) return false;
    if (b != b) return true;
    if (a == b) return IsNegativeZero(a) && !IsNegativeZero(b);
    return a < b;
}

bool ParseFiniteDecimal(const char* begin, const char* end, double& value)
{
    // Digits with an optional sign, point and exponent; from_chars alone would take inf and nan.
    for (const char* p = begin; p != end; ++p)
        if (!std::strchr("0123456789+-.eE", *p)) return false;
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    return begin != end && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

#if defined(GRIDMEAN_DOUBLE_PAIRS)
// Without a range, a gap is marked by or-ing masks, two cells and two inputs at a time: counted[c]
// becomes nonzero for the cells [start, end) where an input of the pairs lacks data. Returns how
// many inputs it took (an even number), whose gaps the caller adds to for the last one.
template <bool NaNIsMissing>
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-trapping-math")))
#endif
size_t MarkGapsInPairs(const double* const* values, const double* noData, size_t inputs, size_t start, size_t end,
                       double* counted)
{
    using namespace TDoublePair;
    TMask marks[kGapStretch / 2] = {};
    const size_t cells = end - start;
    const size_t pairs = cells / 2;
    size_t k = 0;
    for (; k + 2 <= inputs; k += 2) {
        const double* first = values[k] + start;
        const double* second = values[k + 1] + start;
        const TPair firstMarker = {noData[k], noData[k]};
        const TPair secondMarker = {noData[k + 1], noData[k + 1]};
        for (size_t p = 0; p < pairs; ++p)
            marks[p] |= Lacks<NaNIsMissing>(Load(first + 2 * p), firstMarker) |
                Lacks<NaNIsMissing>(Load(second + 2 * p), secondMarker);
        if (cells % 2)
            counted[cells - 1] += TNoData::Holds(first[cells - 1], noData[k], NaNIsMissing) &&
                    TNoData::Holds(second[cells - 1], noData[k + 1], NaNIsMissing) ? 0.0 : 1.0;
    }
    for (size_t p = 0; p < pairs; ++p) {
        counted[2 * p] = marks[p][0] != 0;
        counted[2 * p + 1] = marks[p][1] != 0;
    }
    return k;
}
#endif

}  // namespace

// The values of the cell being reduced that hold data, in input order, with what the statistics
// computed of them so far (each computed once for all the statistics that share it).
struct TStackStatistic::TCell {
    double* Values;
    const double* Weights;  // null without weights
    const double* Times;
    const double* Inputs;  // the inputs' numbers, from 1
    double* Sorted;
    size_t Count = 0;
    bool Special = false;  // a -0 or a NaN among the values
    bool SortedReady = false;
    bool FitDone = false;
    bool SenDone = false;
    bool SenFound = false;
    bool KendallDone = false;
    TLineFit Fit;
    double Sen = 0;
    double SenOffset = 0;
    TMannKendall Kendall;
    std::vector<double>* Work;
    double Result = 0;
};

TStackStatistic::TStackStatistic(const TStackRule& rule, size_t inputs)
    : MbrRule(rule),
      MbrSizInputs(inputs),
      MbrVecSpecs(rule.Statistics.empty()
                      ? std::vector<TStatisticSpec>{{rule.Kind, IsThreshold(rule.Kind) ? rule.Threshold : rule.Percentile}}
                      : rule.Statistics)
{
    bool trends = false;
    for (const TStatisticSpec& chosen : MbrVecSpecs) {
        if (!rule.Weights.empty() && !TakesWeights(chosen.Kind))
            throw "Weights apply to the mean, the sum, the variance, the standard deviation and the least-squares "
                  "trends only in TStackStatistic";
        if (chosen.Kind == TStatisticKind::Percentile && !(chosen.Parameter >= 0 && chosen.Parameter <= 100))
            throw "Percentile is out of range in TStackStatistic";
        if (IsThreshold(chosen.Kind) && !std::isfinite(chosen.Parameter)) throw "Threshold is not finite in TStackStatistic";
        trends |= IsTrend(chosen.Kind);
        MbrBlnOrder |= Has(chosen.Kind, kOrder);
    }
    if (!rule.Weights.empty()) {
        if (rule.Weights.size() != inputs) throw "Number of weights does not match the number of maps in TStackStatistic";
        for (double weight : rule.Weights)
            if (!std::isfinite(weight) || weight < 0) throw "Weight is negative or not finite in TStackStatistic";
    }
    if (rule.MinCount < 0 || static_cast<size_t>(rule.MinCount) > inputs)
        throw "Minimum count is out of range in TStackStatistic";
    if ((rule.HasLow && !std::isfinite(rule.Low)) || (rule.HasHigh && !std::isfinite(rule.High)) ||
        (rule.HasLow && rule.HasHigh && rule.Low > rule.High))
        throw "Range is empty or not finite in TStackStatistic";
    if (trends && !rule.Times.empty()) {
        if (rule.Times.size() != inputs) throw "Number of times does not match the number of maps in TStackStatistic";
        for (double time : rule.Times)
            if (!std::isfinite(time)) throw "Time is not finite in TStackStatistic";
        MbrVecTimes = rule.Times;
    } else {
        for (size_t k = 0; k < inputs; ++k) MbrVecTimes.push_back(static_cast<double>(k));
    }
    for (const TStatisticSpec& chosen : MbrVecSpecs) {
        MbrBlnCounts |= Counts(chosen.Kind);
        MbrBlnInputs |= chosen.Kind == TStatisticKind::ArgMin || chosen.Kind == TStatisticKind::ArgMax;
    }
    MbrBlnTimes = trends;
    if (trends) {
        auto design = std::make_unique<TLineDesign>();
        if (TTrendMath::PrepareLine(MbrVecTimes.data(), MbrRule.Weights.empty() ? nullptr : MbrRule.Weights.data(), inputs,
                                    *design))
            MbrPtrWholeLine = std::move(design);
    }
    for (size_t k = 0; k < inputs; ++k) MbrVecInputNumbers.push_back(static_cast<double>(k + 1));
    // The least-squares line's statistics are the trends that take weights.
    const auto line = [](const TStatisticSpec& chosen) { return IsTrend(chosen.Kind) && TakesWeights(chosen.Kind); };
    MbrBlnLineOnly = MbrPtrWholeLine != nullptr && std::all_of(MbrVecSpecs.begin(), MbrVecSpecs.end(), line);
    // One median or percentile alone selects from the values as they are; anything more sorts.
    MbrBlnSortOnce = MbrBlnOrder && !(MbrVecSpecs.size() == 1 && (MbrVecSpecs[0].Kind == TStatisticKind::Median ||
                                                                   MbrVecSpecs[0].Kind == TStatisticKind::Percentile));
    const TStatisticKind kind = MbrVecSpecs[0].Kind;
    MbrBlnSumOfAll = MbrVecSpecs.size() == 1 && (kind == TStatisticKind::Mean || kind == TStatisticKind::Sum) &&
        !rule.SkipNoData && rule.Weights.empty() && rule.MinCount == 0 && !rule.HasLow && !rule.HasHigh && inputs > 0;
}

TStackStatistic::~TStackStatistic() = default;

bool TStackStatistic::IsThreshold(TStatisticKind kind) { return Has(kind, kThreshold); }
bool TStackStatistic::Counts(TStatisticKind kind) { return Has(kind, kCounts); }
bool TStackStatistic::WholeNumbers(TStatisticKind kind) { return Has(kind, kWhole); }
bool TStackStatistic::TakesWeights(TStatisticKind kind) { return Has(kind, kWeighted); }
bool TStackStatistic::IsTrend(TStatisticKind kind) { return Has(kind, kTrend); }
bool TStackStatistic::Signed(TStatisticKind kind) { return Has(kind, kSigned); }

size_t TStackStatistic::Gather(const double* const* values, const double* noData, size_t c, TCell& cell) const
{
    const bool weighted = cell.Weights != nullptr;
    const bool nanIsMissing = !MbrRule.NaNHoldsData;
    const bool range = MbrRule.HasLow || MbrRule.HasHigh;
    // Where a gap makes the cell missing for every statistic, the first gap settles it.
    const bool gapEnds = !MbrRule.SkipNoData && !MbrBlnCounts;
    // The buffers behind the cell's views, as ReduceCell lays them out after the values.
    double* weights = cell.Values + MbrSizInputs;
    double* times = weights + MbrSizInputs;
    double* numbers = times + MbrSizInputs;
    size_t held = 0;
    bool special = false;
    for (size_t k = 0; k < MbrSizInputs; ++k) {
        const double value = values[k][c];
        if (!TNoData::Holds(value, noData[k], nanIsMissing) ||
            (range && ((MbrRule.HasLow && value < MbrRule.Low) || (MbrRule.HasHigh && value > MbrRule.High)))) {
            if (gapEnds) break;
            continue;
        }
        if (weighted) weights[held] = MbrRule.Weights[k];
        if (MbrBlnTimes) times[held] = MbrVecTimes[k];
        if (MbrBlnInputs) numbers[held] = static_cast<double>(k + 1);
        if (MbrBlnOrder) special |= value != value || IsNegativeZero(value);
        cell.Values[held++] = value;
    }
    cell.Count = held;
    cell.Special = special;
    cell.SortedReady = cell.FitDone = cell.SenDone = cell.KendallDone = false;
    return held;
}

size_t TStackStatistic::GatherWhole(const double* const* values, size_t c, TCell& cell) const
{
    // Every input holds data: the times, weights and input numbers are the inputs' own.
    bool special = false;
    for (size_t k = 0; k < MbrSizInputs; ++k) {
        const double value = values[k][c];
        if (MbrBlnOrder) special |= value != value || IsNegativeZero(value);
        cell.Values[k] = value;
    }
    if (cell.Weights) cell.Weights = MbrRule.Weights.data();
    cell.Times = MbrVecTimes.data();
    cell.Inputs = MbrVecInputNumbers.data();
    cell.Count = MbrSizInputs;
    cell.Special = special;
    cell.SortedReady = cell.FitDone = cell.SenDone = cell.KendallDone = false;
    return MbrSizInputs;
}

bool TStackStatistic::ComputeOrder(const TStatisticSpec& chosen, TCell& cell) const
{
    const size_t n = cell.Count;
    if (n == 0) {
        cell.Result = 0;  // the variety of no values
        return true;
    }
    if (!MbrBlnSortOnce && !cell.Special) {
        cell.Result = chosen.Kind == TStatisticKind::Median ? TOrderMath::MedianOfUnsorted(cell.Values, n)
                                                          : TOrderMath::PercentileOfUnsorted(cell.Values, n, chosen.Parameter);
        return true;
    }
    if (!cell.SortedReady) {
        std::copy(cell.Values, cell.Values + n, cell.Sorted);
        if (cell.Special)
            std::sort(cell.Sorted, cell.Sorted + n, TotalLess);
        else
            TOrderMath::Sort(cell.Sorted, n);
        cell.SortedReady = true;
    }
    const double* sorted = cell.Sorted;
    switch (chosen.Kind) {
    case TStatisticKind::Median:
        cell.Result = TOrderMath::Median(sorted, n);
        break;
    case TStatisticKind::Percentile:
        cell.Result = TOrderMath::Percentile(sorted, n, chosen.Parameter);
        break;
    case TStatisticKind::Mode:
        cell.Result = TOrderMath::Mode(sorted, n);
        break;
    case TStatisticKind::Minority:
        cell.Result = TOrderMath::Minority(sorted, n);
        break;
    default:
        cell.Result = static_cast<double>(TOrderMath::Variety(sorted, n));
        break;
    }
    return true;
}

bool TStackStatistic::ComputeTrend(const TStatisticSpec& chosen, TCell& cell) const
{
    const size_t n = cell.Count;
    switch (chosen.Kind) {
    case TStatisticKind::Sen:
    case TStatisticKind::SenOffset:
        if (!cell.SenDone) {
            cell.SenFound = TTrendMath::TheilSen(cell.Times, cell.Values, n, *cell.Work, cell.Sen, cell.SenOffset);
            cell.SenDone = true;
        }
        cell.Result = chosen.Kind == TStatisticKind::Sen ? cell.Sen : cell.SenOffset;
        return cell.SenFound;
    case TStatisticKind::MkS:
    case TStatisticKind::MkZ:
    case TStatisticKind::MkP:
        if (!cell.KendallDone) {
            TTrendMath::MannKendall(cell.Times, cell.Values, n, *cell.Work, cell.Kendall);
            cell.KendallDone = true;
        }
        cell.Result = chosen.Kind == TStatisticKind::MkS ? cell.Kendall.S
            : chosen.Kind == TStatisticKind::MkZ         ? cell.Kendall.Z
                                                       : cell.Kendall.P;
        return chosen.Kind == TStatisticKind::MkS || cell.Kendall.HasZ;
    default:
        break;
    }
    if (!cell.FitDone) {
        // A cell where every input holds data shares the inputs' design.
        if (cell.Times != MbrVecTimes.data()) TTrendMath::FitLine(cell.Times, cell.Values, cell.Weights, n, cell.Fit);
        else if (MbrPtrWholeLine) TTrendMath::FitLine(*MbrPtrWholeLine, cell.Values, cell.Fit);
        else cell.Fit = TLineFit();
        cell.FitDone = true;
    }
    return LineResult(chosen.Kind, cell.Fit, cell.Result);
}

bool TStackStatistic::LineResult(TStatisticKind kind, const TLineFit& fit, double& result)
{
    switch (kind) {
    case TStatisticKind::Slope:
        result = fit.Slope;
        return fit.HasLine;
    case TStatisticKind::Offset:
        result = fit.Offset;
        return fit.HasLine;
    case TStatisticKind::R2:
        result = fit.R2;
        return fit.HasR2;
    case TStatisticKind::TValue:
        result = fit.TValue;
        return fit.HasTValue;
    default:
        return TTrendMath::LinePValue(fit, result);
    }
}

void TStackStatistic::ReduceWholeLine(const double* const* values, size_t c, double* const* out,
                                      unsigned char* const* missing) const
{
    TLineFit fit;
    TTrendMath::FitLine(*MbrPtrWholeLine, values, c, fit);
    for (size_t s = 0; s < MbrVecSpecs.size(); ++s) missing[s][c] = !LineResult(MbrVecSpecs[s].Kind, fit, out[s][c]);
}

bool TStackStatistic::Compute(const TStatisticSpec& chosen, TCell& cell) const
{
    const double* v = cell.Values;
    const double* w = cell.Weights;
    const size_t n = cell.Count;
    double& r = cell.Result;
    switch (chosen.Kind) {
    case TStatisticKind::Mean:
        if (w) return TMomentMath::WeightedMean(v, w, n, r);
        r = MbrRule.FiniteResults ? TMomentMath::Mean(v, n) : TMomentMath::Sum(v, n) / static_cast<double>(n);
        return true;
    case TStatisticKind::Sum:
        if (w) return TMomentMath::WeightedSum(v, w, n, r);
        r = TMomentMath::Sum(v, n);
        return true;
    case TStatisticKind::Count:
        r = static_cast<double>(n);
        return true;
    case TStatisticKind::Min:
        r = *std::min_element(v, v + n);
        return true;
    case TStatisticKind::Max:
        r = *std::max_element(v, v + n);
        return true;
    case TStatisticKind::Range: {
        const auto extremes = std::minmax_element(v, v + n);
        r = *extremes.second - *extremes.first;
        return true;
    }
    case TStatisticKind::StdDev:
        if (w) return TMomentMath::WeightedStdDev(v, w, n, r);
        r = TMomentMath::PopulationStdDev(v, n);
        return true;
    case TStatisticKind::Variance:
        if (w) return TMomentMath::WeightedVariance(v, w, n, r);
        r = TMomentMath::PopulationVariance(v, n);
        return true;
    case TStatisticKind::SampleStdDev:
        return TMomentMath::SampleStdDev(v, n, r);
    case TStatisticKind::SampleVariance:
        return TMomentMath::SampleVariance(v, n, r);
    case TStatisticKind::Skewness:
        return TMomentMath::Skewness(v, n, r);
    case TStatisticKind::Kurtosis:
        return TMomentMath::Kurtosis(v, n, r);
    case TStatisticKind::ArgMin:
    case TStatisticKind::ArgMax: {
        const size_t at = chosen.Kind == TStatisticKind::ArgMin ? TCountMath::ArgMin(v, nullptr, n)
                                                              : TCountMath::ArgMax(v, nullptr, n);
        r = cell.Inputs[at - 1];
        return true;
    }
    case TStatisticKind::Above:
    case TStatisticKind::AtLeast:
    case TStatisticKind::Below:
    case TStatisticKind::AtMost:
    case TStatisticKind::Equal: {
        const auto comparison = static_cast<TComparison>(static_cast<int>(chosen.Kind) - static_cast<int>(TStatisticKind::Above));
        r = n == 0 ? 0 : static_cast<double>(TCountMath::Count(v, n, comparison, chosen.Parameter));
        return true;
    }
    default:
        return Has(chosen.Kind, kOrder) ? ComputeOrder(chosen, cell) : ComputeTrend(chosen, cell);
    }
}

// The choices between a sum and the mark compare doubles, which GCC will not turn into vector
// blends while it must keep the floating-point exception flags of a comparison it would then
// make for every cell; the program reads no such flag, so it may.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-trapping-math")))
#endif
bool TStackStatistic::ReduceSumOfAll(const double* const* values, const double* noData, size_t count, double* out,
                                     unsigned char* missing) const
{
    const double infinity = std::numeric_limits<double>::infinity();
    bool overflowed = false;
    // Input by input over short stretches that stay in the first-level cache, so that the loops
    // vectorize and the running sums are not fetched again for every input; the sums run in
    // argument order. Where NaN lacks data, a cell lacking data is marked NaN in its sum: a sum
    // of finite values never becomes NaN (once infinite it stays so), so the mark is safe. Where
    // NaN is a value, the marks go beside the sums.
    constexpr size_t kStretch = 512;
    const bool nanHoldsData = MbrRule.NaNHoldsData;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double all = static_cast<double>(MbrSizInputs);
    const bool mean = MbrVecSpecs[0].Kind != TStatisticKind::Sum;
    for (size_t start = 0; start < count; start += kStretch) {
        const size_t end = std::min(count, start + kStretch);
        const double* first = values[0];
        if (nanHoldsData) {
            for (size_t c = start; c < end; ++c) {
                out[c] = first[c];
                missing[c] = !TNoData::Holds(first[c], noData[0]);
            }
            for (size_t k = 1; k < MbrSizInputs; ++k) {
                const double* row = values[k];
                const double marker = noData[k];
                for (size_t c = start; c < end; ++c) {
                    out[c] += row[c];
                    missing[c] |= !TNoData::Holds(row[c], marker);
                }
            }
        } else {
            for (size_t c = start; c < end; ++c) out[c] = TNoData::Holds(first[c], noData[0]) ? first[c] : nan;
            for (size_t k = 1; k < MbrSizInputs; ++k) {
                const double* row = values[k];
                const double marker = noData[k];
                for (size_t c = start; c < end; ++c) out[c] = TNoData::Holds(row[c], marker) ? out[c] + row[c] : nan;
            }
            for (size_t c = start; c < end; ++c) missing[c] = out[c] != out[c];
        }
        if (mean)
            for (size_t c = start; c < end; ++c) out[c] /= all;
        for (size_t c = start; c < end; ++c) overflowed |= std::fabs(out[c]) == infinity;
    }
    return overflowed;
}

void TStackStatistic::ReduceCell(const double* const* values, const double* noData, size_t c, double* const* out,
                                 unsigned char* const* missing, TScratch& scratch, bool whole) const
{
    const size_t inputs = MbrSizInputs;
    double* cells = scratch.Cells.data();
    TCell cell;
    cell.Values = cells;
    cell.Weights = MbrRule.Weights.empty() ? nullptr : cells + inputs;
    cell.Times = cells + 2 * inputs;
    cell.Inputs = cells + 3 * inputs;
    cell.Sorted = cells + 4 * inputs;
    cell.Work = &scratch.Work;
    const size_t held = whole ? GatherWhole(values, c, cell) : Gather(values, noData, c, cell);
    const bool lacking = held < inputs && !MbrRule.SkipNoData;
    const bool tooFew = MbrRule.MinCount > 0 && held < static_cast<size_t>(MbrRule.MinCount);
    for (size_t s = 0; s < MbrVecSpecs.size(); ++s) {
        const TStatisticSpec& chosen = MbrVecSpecs[s];
        if (tooFew || (!Counts(chosen.Kind) && (lacking || held == 0))) {
            missing[s][c] = 1;
            continue;
        }
        missing[s][c] = !Compute(chosen, cell);
        out[s][c] = cell.Result;
    }
}

void TStackStatistic::Reduce(const double* const* values, const double* noData, size_t count, double* const* out,
                             unsigned char* const* missing, TScratch& scratch) const
{
    if (MbrBlnSumOfAll) {
        const bool overflowed = ReduceSumOfAll(values, noData, count, out[0], missing[0]);
        if (!overflowed || !MbrRule.FiniteResults || MbrVecSpecs[0].Kind != TStatisticKind::Mean) return;
        // A mean whose sum overflowed stays finite by the scaled road, cell by cell.
        for (size_t c = 0; c < count; ++c) {
            if (missing[0][c] || std::isfinite(out[0][c])) continue;
            scratch.Cells.resize(5 * MbrSizInputs);
            ReduceCell(values, noData, c, out, missing, scratch);
        }
        return;
    }
    scratch.Cells.resize(5 * MbrSizInputs);
    if (MbrRule.SkipNoData) {
        for (size_t c = 0; c < count; ++c) {
            FetchAhead(values, c, count);
            ReduceCell(values, noData, c, out, missing, scratch);
        }
        return;
    }
    if (MbrBlnLineOnly && !MbrRule.HasLow && !MbrRule.HasHigh) {
        ReduceLines(values, noData, count, out, missing);
        return;
    }
    // Without skipping, the gaps are counted first, input by input over short stretches (a loop
    // that vectorises): the cells without one are gathered whole, those with one only where a
    // count still has a value there, and missing otherwise.
    unsigned char gaps[kGapStretch];
    for (size_t start = 0; start < count; start += kGapStretch) {
        const size_t end = std::min(count, start + kGapStretch);
        CountGaps(values, noData, start, end, gaps);
        for (size_t c = start; c < end; ++c) {
            FetchAhead(values, c, count);
            if (gaps[c - start] == 0 && MbrBlnLineOnly) {
                ReduceWholeLine(values, c, out, missing);
                continue;
            }
            if (gaps[c - start] == 0 || MbrBlnCounts) {
                ReduceCell(values, noData, c, out, missing, scratch, gaps[c - start] == 0);
                continue;
            }
            for (size_t s = 0; s < MbrVecSpecs.size(); ++s) missing[s][c] = 1;
        }
    }
}

void TStackStatistic::ReduceLines(const double* const* values, const double* noData, size_t count, double* const* out,
                                  unsigned char* const* missing) const
{
    TLineFit fits[kGapStretch];
    TTrendMath::TCellFit states[kGapStretch];
    for (size_t start = 0; start < count; start += kGapStretch) {
        const size_t end = std::min(count, start + kGapStretch);
        TTrendMath::FitStretch(*MbrPtrWholeLine, values, noData, start, end - start, fits, states);
        for (size_t c = start; c < end; ++c) {
            bool held = states[c - start] == TTrendMath::TCellFit::Fitted;
            if (states[c - start] == TTrendMath::TCellFit::Aside) {
                // A value that is not finite may be a gap (NaN), or data the cell's own fit takes.
                unsigned char gap = 0;
                CountGaps(values, noData, c, c + 1, &gap);
                held = gap == 0;
                if (held) {
                    ReduceWholeLine(values, c, out, missing);
                    continue;
                }
            }
            for (size_t s = 0; s < MbrVecSpecs.size(); ++s)
                missing[s][c] = !held || !LineResult(MbrVecSpecs[s].Kind, fits[c - start], out[s][c]);
        }
    }
}

void TStackStatistic::FetchAhead(const double* const* values, size_t c, size_t count) const
{
    // A cell takes one value of every input, one input's band after another: at the first cell
    // of each cache line the lines a few ahead are asked for, as no prefetcher follows as many
    // streams as there are inputs.
    constexpr size_t kLine = 64 / sizeof(double);
    constexpr size_t kAhead = 4 * kLine;
    if (c % kLine != 0 || c + kAhead >= count) return;
#if defined(__GNUC__)
    for (size_t k = 0; k < MbrSizInputs; ++k) __builtin_prefetch(values[k] + c + kAhead);
#else
    (void)values;
#endif
}

#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-trapping-math")))
#endif
void TStackStatistic::CountGaps(const double* const* values, const double* noData, size_t start, size_t end,
                                unsigned char* gaps) const
{
    const bool nanIsMissing = !MbrRule.NaNHoldsData;
    const double low = MbrRule.HasLow ? MbrRule.Low : -std::numeric_limits<double>::infinity();
    const double high = MbrRule.HasHigh ? MbrRule.High : std::numeric_limits<double>::infinity();
    // Counted in doubles, whose comparisons the loops turn into vector blends.
    double counted[kGapStretch];
    std::fill(counted, counted + (end - start), 0.0);
    size_t k = 0;
#if defined(GRIDMEAN_DOUBLE_PAIRS)
    if (!MbrRule.HasLow && !MbrRule.HasHigh)
        k = nanIsMissing ? MarkGapsInPairs<true>(values, noData, MbrSizInputs, start, end, counted)
                         : MarkGapsInPairs<false>(values, noData, MbrSizInputs, start, end, counted);
#endif
    for (; k < MbrSizInputs; ++k) {
        const double* row = values[k] + start;
        const double marker = noData[k];
        if (nanIsMissing) {
            // NaN fails the bounds, and lacks data anyway.
            for (size_t c = 0; c < end - start; ++c)
                counted[c] += (TNoData::Holds(row[c], marker) && row[c] >= low && row[c] <= high) ? 0.0 : 1.0;
        } else {
            for (size_t c = 0; c < end - start; ++c)
                counted[c] += (TNoData::Holds(row[c], marker) && !(row[c] < low) && !(row[c] > high)) ? 0.0 : 1.0;
        }
    }
    for (size_t c = 0; c < end - start; ++c) gaps[c] = counted[c] != 0;
}

void TStackStatistic::Reduce(const double* const* values, const double* noData, size_t count, double* out,
                             unsigned char* missing, std::vector<double>& scratch) const
{
    TScratch working;
    working.Cells.swap(scratch);
    double* outs[] = {out};
    unsigned char* marks[] = {missing};
    Reduce(values, noData, count, outs, marks, working);
    scratch.swap(working.Cells);
}

const std::vector<TStatisticName>& TStackStatistic::Names()
{
    static const std::vector<TStatisticName> kNames = {
        {"mean", TStatisticKind::Mean, "default"},
        {"sum", TStatisticKind::Sum, ""},
        {"count", TStatisticKind::Count, ""},
        {"min", TStatisticKind::Min, ""},
        {"max", TStatisticKind::Max, ""},
        {"range", TStatisticKind::Range, ""},
        {"median", TStatisticKind::Median, ""},
        {"stddev", TStatisticKind::StdDev, ""},
        {"variance", TStatisticKind::Variance, "population"},
        {"stddev-sample", TStatisticKind::SampleStdDev, ""},
        {"variance-sample", TStatisticKind::SampleVariance, "divisor n - 1"},
        {"skewness", TStatisticKind::Skewness, ""},
        {"kurtosis", TStatisticKind::Kurtosis, "excess"},
        {"mode", TStatisticKind::Mode, ""},
        {"minority", TStatisticKind::Minority, ""},
        {"variety", TStatisticKind::Variety, ""},
        {"argmin", TStatisticKind::ArgMin, ""},
        {"argmax", TStatisticKind::ArgMax, "input numbers"},
        {"slope", TStatisticKind::Slope, ""},
        {"offset", TStatisticKind::Offset, ""},
        {"r2", TStatisticKind::R2, ""},
        {"tvalue", TStatisticKind::TValue, ""},
        {"pvalue", TStatisticKind::PValue, "least squares"},
        {"sen", TStatisticKind::Sen, ""},
        {"sen-offset", TStatisticKind::SenOffset, "Theil-Sen"},
        {"mk-s", TStatisticKind::MkS, ""},
        {"mk-z", TStatisticKind::MkZ, ""},
        {"mk-p", TStatisticKind::MkP, "Mann-Kendall"},
        {"pNN", TStatisticKind::Percentile, "percentile NN, p90, p2.5"},
        {"gt:T", TStatisticKind::Above, ""},
        {"ge:T", TStatisticKind::AtLeast, ""},
        {"lt:T", TStatisticKind::Below, ""},
        {"le:T", TStatisticKind::AtMost, ""},
        {"eq:T", TStatisticKind::Equal, "inputs whose value is >, >=, <, <=, = T"},
    };
    return kNames;
}

bool TStackStatistic::IsFamily(const std::string& name)
{
    return name.size() > 2 && (name.compare(name.size() - 2, 2, "NN") == 0 || name.compare(name.size() - 2, 2, ":T") == 0);
}

std::string TStackStatistic::NameList()
{
    std::string list;
    for (const TStatisticName& name : Names())
        if (!IsFamily(name.Name)) list += std::string(name.Name) + ", ";
    return list + "pNN from p0 to p100, or gt:T, ge:T, lt:T, le:T, eq:T with T a finite decimal number";
}

bool TStackStatistic::ParseName(const std::string& name, TStatisticSpec& chosen)
{
    for (const TStatisticName& entry : Names()) {
        if (IsFamily(entry.Name)) {
            const std::string prefix(entry.Name, std::strlen(entry.Name) - (entry.Kind == TStatisticKind::Percentile ? 2 : 1));
            if (entry.Kind == TStatisticKind::Percentile || name.compare(0, prefix.size(), prefix) != 0) continue;
            double threshold;
            if (!ParseFiniteDecimal(name.data() + prefix.size(), name.data() + name.size(), threshold)) return false;
            chosen = TStatisticSpec{entry.Kind, threshold};
            return true;
        }
        if (name == entry.Name) {
            chosen = TStatisticSpec{entry.Kind, 50};
            return true;
        }
    }
    // pNN: digits with at most one decimal point, 0 to 100.
    if (name.size() < 2 || name[0] != 'p') return false;
    bool point = false;
    bool digit = false;
    for (size_t i = 1; i < name.size(); ++i) {
        if (name[i] == '.' && !point) {
            point = true;
        } else if (name[i] >= '0' && name[i] <= '9') {
            digit = true;
        } else {
            return false;
        }
    }
    if (!digit) return false;
    double percent = -1;
    std::from_chars(name.data() + 1, name.data() + name.size(), percent);
    if (!(percent >= 0 && percent <= 100)) return false;
    chosen = TStatisticSpec{TStatisticKind::Percentile, percent};
    return true;
}

bool TStackStatistic::ParseName(const std::string& name, TStackRule& rule)
{
    TStatisticSpec chosen;
    if (!ParseName(name, chosen)) return false;
    rule.Kind = chosen.Kind;
    if (chosen.Kind == TStatisticKind::Percentile) rule.Percentile = chosen.Parameter;
    if (IsThreshold(chosen.Kind)) rule.Threshold = chosen.Parameter;
    return true;
}

std::string TStackStatistic::NameOf(const TStatisticSpec& chosen)
{
    for (const TStatisticName& entry : Names()) {
        if (entry.Kind != chosen.Kind) continue;
        std::string name = entry.Name;
        if (!IsFamily(name)) return name;
        name.resize(name.size() - (chosen.Kind == TStatisticKind::Percentile ? 2 : 1));
        char number[32];
        const auto end = std::to_chars(number, number + sizeof number, chosen.Parameter).ptr;
        return name + std::string(number, end);
    }
    return "";
}
