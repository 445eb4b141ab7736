#include "grid/TAxisLookup.h"

#include "grid/TAxis.h"

#include <algorithm>

TAxisLookup::TAxisLookup(const TAxis* axis, char mode)
{
    const long n = axis->GetSize();
    MbrVecOrdinates.reserve(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) MbrVecOrdinates.push_back(axis->GetOrdinate(i, mode));

    // Monotonic (ties allowed) and free of NaN: then the half-open segments are disjoint, the
    // first match is the only match, and a binary search finds it.
    MbrBlnAscending = MbrBlnDescending = true;
    for (size_t i = 0; i < MbrVecOrdinates.size(); ++i) {
        const double c = MbrVecOrdinates[i];
        if (c != c) MbrBlnAscending = MbrBlnDescending = false;
        if (i == 0) continue;
        const double p = MbrVecOrdinates[i - 1];
        if (!(p <= c)) MbrBlnAscending = false;
        if (!(p >= c)) MbrBlnDescending = false;
    }
}

long TAxisLookup::Boundary(double ordinate) const
{
    // The range check passed and no segment holds the ordinate: only the upper end remains.
    const double first = MbrVecOrdinates.front();
    const double last = MbrVecOrdinates.back();
    const double hi = std::max(first, last);
    const long n = static_cast<long>(MbrVecOrdinates.size());
    if (ordinate == hi && last == hi) return n - 2;
    if (ordinate == hi && first == hi) return 0;
    return -1;
}

long TAxisLookup::Scan(double ordinate) const
{
    const size_t n = MbrVecOrdinates.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const double a = MbrVecOrdinates[i];
        const double b = MbrVecOrdinates[i + 1];
        if (std::min(a, b) <= ordinate && ordinate < std::max(a, b)) return static_cast<long>(i);
    }
    return Boundary(ordinate);
}

long TAxisLookup::Find(double ordinate) const
{
    const size_t n = MbrVecOrdinates.size();
    if (n < 2) return -1;
    const double first = MbrVecOrdinates.front();
    const double last = MbrVecOrdinates.back();
    if (!(ordinate >= std::min(first, last) && ordinate <= std::max(first, last))) return -1;

    if (MbrBlnAscending && !MbrBlnDescending) {
        // Segment i holds c[i] <= ordinate < c[i+1]; i + 1 is the first point above the ordinate.
        auto above = std::upper_bound(MbrVecOrdinates.begin(), MbrVecOrdinates.end(), ordinate);
        const size_t next = static_cast<size_t>(above - MbrVecOrdinates.begin());
        if (next < n) return static_cast<long>(next) - 1;
        return Boundary(ordinate);
    }
    if (MbrBlnDescending && !MbrBlnAscending) {
        // Segment i holds c[i+1] <= ordinate < c[i]; i + 1 is the first point not above it.
        auto notAbove = std::partition_point(MbrVecOrdinates.begin(), MbrVecOrdinates.end(),
                                             [ordinate](double c) { return c > ordinate; });
        const size_t next = static_cast<size_t>(notAbove - MbrVecOrdinates.begin());
        if (next > 0) return static_cast<long>(next) - 1;
        return Boundary(ordinate);
    }
    return Scan(ordinate);
}
