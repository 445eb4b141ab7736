#pragma once

#include "grid/TMap.h"

#include <memory>
#include <vector>

// The two ways the map operations build a result on a source map's geometry, and the one way
// they visit its cells.
class TMapFrames {
public:
    TMapFrames() = delete;

    // A map on copies of the source's point axes: same dimensions and cell size, every cell
    // -9999, no-data value -9999.
    static std::unique_ptr<TMap> FrameCopy(TMap* source);
    // A map of the source's resolution and dimensions whose no-data value and every cell are the
    // source's no-data value, on copies of the source's point axes.
    static std::unique_ptr<TMap> BaseCopy(TMap* source);

    // Cell (x, y) of a map whose loop already keeps x and y inside it.
    static double CellOf(const TMap* map, long x, long y) { return map->GetRowRef(y)[static_cast<size_t>(x)]; }

    // Sets every cell (x, y) of the map, row by row from row 0, to rule(x, y).
    template <class TRule>
    static void FillCells(TMap* map, TRule rule)
    {
        for (long y = 0; y < map->GetYDim(); ++y) {
            std::vector<double>& row = map->GetRowRef(y);
            for (long x = 0; x < map->GetXDim(); ++x) row[static_cast<size_t>(x)] = rule(x, y);
        }
    }
};
