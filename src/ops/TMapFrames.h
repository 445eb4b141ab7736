#pragma once

#include "grid/TMap.h"

#include <memory>
#include <vector>

// The two ways the map operations build a result on a source map's geometry, and the ways they
// visit its cells: by index (FillCells), and row by row beside the cells of the same column and
// row of one or two sources, for the operations that pair cells by index.
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

    // Sets every cell (x, y) of the result to rule(v), v the source's cell (x, y), row by row from
    // row 0. The source holds at least the result's rows and columns. Each row is fetched once, not
    // once per cell, which is most of the cost of FillCells on a large map.
    template <class TRule>
    static void TransformCells(TMap* result, const TMap* source, TRule rule)
    {
        const size_t columns = static_cast<size_t>(result->GetXDim());
        if (columns == 0) return;  // no cell is read, so no row is fetched either
        for (long y = 0; y < result->GetYDim(); ++y) {
            double* cells = result->GetRowRef(y).data();
            const double* from = source->GetRowRef(y).data();
            for (size_t x = 0; x < columns; ++x) cells[x] = rule(from[x]);
        }
    }

    // Sets every cell (x, y) of the result to rule(a, b), a and b the two sources' cells (x, y),
    // as TransformCells does.
    template <class TRule>
    static void CombineCells(TMap* result, const TMap* first, const TMap* second, TRule rule)
    {
        const size_t columns = static_cast<size_t>(result->GetXDim());
        if (columns == 0) return;  // no cell is read, so no row is fetched either
        for (long y = 0; y < result->GetYDim(); ++y) {
            double* cells = result->GetRowRef(y).data();
            const double* a = first->GetRowRef(y).data();
            const double* b = second->GetRowRef(y).data();
            for (size_t x = 0; x < columns; ++x) cells[x] = rule(a[x], b[x]);
        }
    }
};
