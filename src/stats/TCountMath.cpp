#include "stats/TCountMath.h"

namespace {

// One loop per comparison, each a plain reduction; GCC vectorises it with a count kept as a
// double (exact to 2^53), not with an integer count.
template <class TTest>
size_t CountWhere(const double* values, size_t n, TTest test)
{
    double count = 0;
    for (size_t i = 0; i < n; ++i) count += test(values[i]) ? 1.0 : 0.0;
    return static_cast<size_t>(count);
}

// The position of the first value that `better` prefers to every earlier one, NaN aside.
template <class TBetter>
size_t FirstBest(const double* values, size_t n, TBetter better)
{
    size_t best = 0;
    while (best + 1 < n && values[best] != values[best]) ++best;
    if (values[best] != values[best]) return 0;
    for (size_t i = best + 1; i < n; ++i)
        if (better(values[i], values[best])) best = i;
    return best;
}

}  // namespace

size_t TCountMath::Count(const double* values, size_t n, TComparison comparison, double threshold)
{
    switch (comparison) {
    case TComparison::Above:
        return CountWhere(values, n, [threshold](double v) { return v > threshold; });
    case TComparison::AtLeast:
        return CountWhere(values, n, [threshold](double v) { return v >= threshold; });
    case TComparison::Below:
        return CountWhere(values, n, [threshold](double v) { return v < threshold; });
    case TComparison::AtMost:
        return CountWhere(values, n, [threshold](double v) { return v <= threshold; });
    case TComparison::Equal:
        break;
    }
    return CountWhere(values, n, [threshold](double v) { return v == threshold; });
}

size_t TCountMath::ArgMin(const double* values, const size_t* inputs, size_t n)
{
    const size_t best = FirstBest(values, n, [](double a, double b) { return a < b; });
    return inputs ? inputs[best] : best + 1;
}

size_t TCountMath::ArgMax(const double* values, const size_t* inputs, size_t n)
{
    const size_t best = FirstBest(values, n, [](double a, double b) { return a > b; });
    return inputs ? inputs[best] : best + 1;
}
