#include "stats/TStackStatistic.h"

#include "grid/TNoData.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// The sum of the values in order, starting from the first (so that -0 stays -0).
double SumInOrder(const double* values, size_t count)
{
    double sum = values[0];
    for (size_t i = 1; i < count; ++i) sum += values[i];
    return sum;
}

double MeanOfTwo(double a, double b)
{
    const double sum = a + b;
    return std::isinf(sum) && std::isfinite(a) && std::isfinite(b) ? a / 2 + b / 2 : sum / 2;
}

// Linear interpolation between closest ranks, computed as numpy's default percentile computes it,
// so that both give the same double.
double Percentile(double* values, size_t count, double percent)
{
    const double position = static_cast<double>(count - 1) * (percent / 100);
    if (position >= static_cast<double>(count - 1)) return *std::max_element(values, values + count);
    const double below = std::floor(position);
    const double t = position - below;
    const size_t low = static_cast<size_t>(below);
    std::nth_element(values, values + low, values + count);
    const double a = values[low];
    if (t == 0) return a;
    const double b = *std::min_element(values + low + 1, values + count);
    const double difference = b - a;
    return t >= 0.5 ? b - difference * (1 - t) : a + difference * t;
}

double Median(double* values, size_t count)
{
    const size_t middle = count / 2;
    std::nth_element(values, values + middle, values + count);
    if (count % 2 == 1) return values[middle];
    const double below = *std::max_element(values, values + middle);
    return MeanOfTwo(below, values[middle]);
}

double Variance(const double* values, size_t count)
{
    const double n = static_cast<double>(count);
    const double mean = SumInOrder(values, count) / n;
    double squares = 0;
    for (size_t i = 0; i < count; ++i) {
        const double deviation = values[i] - mean;
        squares += deviation * deviation;
    }
    return squares / n;
}

}  // namespace

TStackStatistic::TStackStatistic(const TStackRule& rule, size_t inputs) : MbrRule(rule), MbrSizInputs(inputs)
{
    if (!rule.Weights.empty()) {
        if (rule.Weights.size() != inputs) throw "Number of weights does not match the number of maps in TStackStatistic";
        for (double weight : rule.Weights)
            if (!std::isfinite(weight) || weight < 0) throw "Weight is negative or not finite in TStackStatistic";
        if (rule.Kind != TStatisticKind::Mean) throw "Weights apply to the mean only in TStackStatistic";
    }
    if (rule.MinCount < 0 || static_cast<size_t>(rule.MinCount) > inputs)
        throw "Minimum count is out of range in TStackStatistic";
    if (rule.Kind == TStatisticKind::Percentile && !(rule.Percentile >= 0 && rule.Percentile <= 100))
        throw "Percentile is out of range in TStackStatistic";
}

bool TStackStatistic::Compute(double* used, size_t count, const double* weights, double& result) const
{
    switch (MbrRule.Kind) {
    case TStatisticKind::Mean: {
        if (!weights) {
            result = SumInOrder(used, count) / static_cast<double>(count);
            return true;
        }
        double weighted = used[0] * weights[0];
        double total = weights[0];
        for (size_t i = 1; i < count; ++i) {
            weighted += used[i] * weights[i];
            total += weights[i];
        }
        result = weighted / total;
        return total != 0;
    }
    case TStatisticKind::Sum:
        result = SumInOrder(used, count);
        break;
    case TStatisticKind::Count:
        result = static_cast<double>(count);
        break;
    case TStatisticKind::Min:
        result = *std::min_element(used, used + count);
        break;
    case TStatisticKind::Max:
        result = *std::max_element(used, used + count);
        break;
    case TStatisticKind::Range: {
        const auto extremes = std::minmax_element(used, used + count);
        result = *extremes.second - *extremes.first;
        break;
    }
    case TStatisticKind::Median:
        result = Median(used, count);
        break;
    case TStatisticKind::StdDev:
        result = std::sqrt(Variance(used, count));
        break;
    case TStatisticKind::Variance:
        result = Variance(used, count);
        break;
    case TStatisticKind::Percentile:
        result = Percentile(used, count, MbrRule.Percentile);
        break;
    }
    return true;
}

// The choices between a sum and the mark compare doubles, which GCC will not turn into vector
// blends while it must keep the floating-point exception flags of a comparison it would then
// make for every cell; the program reads no such flag, so it may.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-trapping-math")))
#endif
void TStackStatistic::ReduceSumOfAll(const double* const* values, const double* noData, size_t count, double* out,
                                     unsigned char* missing) const
{
    // Input by input over short stretches that stay in the first-level cache, so that the loops
    // vectorize and the running sums are not fetched again for every input; the sums run in
    // argument order. Where NaN lacks data, a cell lacking data is marked NaN in its sum: a sum
    // of finite values never becomes NaN (once infinite it stays so), so the mark is safe. Where
    // NaN is a value, the marks go beside the sums.
    constexpr size_t kStretch = 512;
    const bool nanHoldsData = MbrRule.NaNHoldsData;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double all = static_cast<double>(MbrSizInputs);
    const bool mean = MbrRule.Kind != TStatisticKind::Sum;
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
    }
}

void TStackStatistic::Reduce(const double* const* values, const double* noData, size_t count, double* out,
                             unsigned char* missing, std::vector<double>& scratch) const
{
    const bool plain = MbrRule.Kind == TStatisticKind::Mean || MbrRule.Kind == TStatisticKind::Sum;
    if (plain && !MbrRule.SkipNoData && MbrRule.Weights.empty() && MbrRule.MinCount == 0 && MbrSizInputs > 0) {
        ReduceSumOfAll(values, noData, count, out, missing);
        return;
    }
    const size_t inputs = MbrSizInputs;
    const bool weighted = !MbrRule.Weights.empty();
    const bool counting = MbrRule.Kind == TStatisticKind::Count;
    const size_t least = MbrRule.MinCount > 0 ? static_cast<size_t>(MbrRule.MinCount) : 0;
    scratch.resize(2 * inputs);
    double* used = scratch.data();
    double* weights = used + inputs;
    for (size_t c = 0; c < count; ++c) {
        size_t held = 0;
        for (size_t k = 0; k < inputs; ++k) {
            const double value = values[k][c];
            if (!TNoData::Holds(value, noData[k], !MbrRule.NaNHoldsData)) continue;
            if (weighted) weights[held] = MbrRule.Weights[k];
            used[held++] = value;
        }
        const bool lacking = held < inputs && !MbrRule.SkipNoData && !counting;
        if (lacking || held < least || (held == 0 && !counting)) {
            missing[c] = 1;
            continue;
        }
        if (counting) {
            missing[c] = 0;
            out[c] = static_cast<double>(held);
        } else {
            missing[c] = !Compute(used, held, weighted ? weights : nullptr, out[c]);
        }
    }
}

const std::vector<TStatisticName>& TStackStatistic::Names()
{
    static const std::vector<TStatisticName> kNames = {
        {"mean", TStatisticKind::Mean, "default"}, {"sum", TStatisticKind::Sum, ""},
        {"count", TStatisticKind::Count, ""},      {"min", TStatisticKind::Min, ""},
        {"max", TStatisticKind::Max, ""},          {"range", TStatisticKind::Range, ""},
        {"median", TStatisticKind::Median, ""},    {"stddev", TStatisticKind::StdDev, ""},
        {"variance", TStatisticKind::Variance, "population"},
    };
    return kNames;
}

std::string TStackStatistic::NameList()
{
    std::string list;
    for (const TStatisticName& name : Names()) list += std::string(name.Name) + ", ";
    return list + "or pNN from p0 to p100";
}

bool TStackStatistic::ParseName(const std::string& name, TStackRule& rule)
{
    for (const TStatisticName& kind : Names()) {
        if (name == kind.Name) {
            rule.Kind = kind.Kind;
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
    rule.Kind = TStatisticKind::Percentile;
    rule.Percentile = percent;
    return true;
}
