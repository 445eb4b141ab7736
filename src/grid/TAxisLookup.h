#pragma once

#include <vector>

class TAxis;

// A snapshot of one coordinate of an axis that answers many lookups quickly.
// Find gives exactly what TAxis::FindSegment gave on the axis when the snapshot was taken:
// a binary search on a monotonic axis, the axis's own first-match scan otherwise.
// Operations that look up every cell of a map take one snapshot per axis, since nothing
// changes the axis while they run.
class TAxisLookup {
public:
    TAxisLookup(const TAxis* axis, char mode);

    // The segment index holding the ordinate, or -1 where TAxis::GetIndex would throw.
    long Find(double ordinate) const;

private:
    long Boundary(double ordinate) const;
    long Scan(double ordinate) const;

    std::vector<double> MbrVecOrdinates;
    bool MbrBlnAscending = false;
    bool MbrBlnDescending = false;
};
