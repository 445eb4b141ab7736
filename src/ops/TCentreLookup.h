#pragma once

#include "grid/TAxisLookup.h"

#include <vector>

class TMap;

// Where the cell centres of a base map fall in another map. A centre's column depends only on
// its x and its row only on its y, so one lookup per base column and per base row serves every
// cell, with the result and the failures of TMap::GetPointVal(TPoint*) on each centre.
class TCentreLookup {
public:
    TCentreLookup(TMap* base, TMap* other);

    // The other map's value at the centre of base cell (x, y): what
    // other->GetPointVal(base->GetCoordinates(x, y)) gives or throws.
    double ValueAt(long x, long y) const;
    // The other map's column and row holding that centre, or the same failure.
    void CellAt(long x, long y, long& column, long& row) const;

private:
    TMap* MbrPtrOther;
    std::vector<long> MbrVecColumns;
    std::vector<long> MbrVecRows;
};
