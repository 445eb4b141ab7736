#pragma once

#include "grid/TAxisLookup.h"

#include <vector>

class TMap;

// Where the cell centres of a base map fall in another map. A centre's column depends only on
// its x and its row only on its y, so one lookup per base column and per base row serves every
// cell, with the result and the failures of TMap::GetPointVal(TPoint*) on each centre.
class TCentreLookup {
public:
    // Throws "Map axes are not set in TMap" when the base lacks its point axes or the other map
    // its interval axes.
    TCentreLookup(TMap* PtrBase, TMap* PtrOther);

    // The other map's value at the centre of base cell (x, y): what
    // other->GetPointVal(base->GetCoordinates(x, y)) gives or throws.
    double ValueAt(long x, long y) const;
    // The other map's column and row holding that centre, or the same failure.
    void CellAt(long x, long y, long& column, long& row) const;

    // True when the centre of every base cell (x, y) lies in the other map's cell (x, y): then
    // ValueAt(x, y) is the other map's cell (x, y) and never throws for a cell of the base, so an
    // operation may pair the two maps' rows by index.
    bool PairsByIndex() const { return MbrBlnByIndex; }

private:
    TMap* MbrPtrOther;
    std::vector<long> MbrVecColumns;
    std::vector<long> MbrVecRows;
    bool MbrBlnByIndex = false;
};
