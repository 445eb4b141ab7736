#pragma once

#include "grid/TMap.h"
#include "ops/TCentreLookup.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

// The two ways the map operations build a result on a source map's geometry, and the ways they
// visit its cells: by index (FillCells); row by row beside the rows of the same index of one or
// two sources (TransformCells, CombineCells), for the operations that pair cells by index; and
// the road of the arithmetic on two maps, which pairs cells through the cell centres and takes
// the rows side by side where that pairing is by index (CombineAtCentres).
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

    // The cell rule of the arithmetic on two maps: combine(a, b) where a differs from aNoData and
    // b from bNoData, noData where either does not.
    template <class TCombine>
    static double CombineData(double a, double b, double aNoData, double bNoData, double noData, TCombine combine)
    {
        return a == aNoData || b == bNoData ? noData : combine(a, b);
    }

    // CombineData of cells a[x] and b[x] into cells[x], for the first `columns` cells of three
    // rows; cells overlaps neither a nor b. Each stretch of cells takes two passes: the
    // combination of every cell, then the no-data value where a source lacks data. Both loops are
    // free of branches, so the compiler vectorises them, which it may not do for one loop that
    // chooses per cell (it would have to compute the combination before knowing it is wanted);
    // the cells come out as CombineData makes them. On Linux on x86-64 with GCC the row is also
    // compiled for AVX2 and the processor's best version is chosen when the program loads.
    template <class TCombine>
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
    __attribute__((target_clones("avx2", "default")))
#endif
    static void CombineRow(double* cells, const double* a, const double* b, size_t columns, double aNoData,
                           double bNoData, double noData, TCombine combine)
    {
        constexpr size_t kStretch = 256;  // three stretches of doubles stay in the first-level cache
        for (size_t start = 0; start < columns; start += kStretch) {
            const size_t end = std::min(columns, start + kStretch);
            for (size_t x = start; x < end; ++x) cells[x] = combine(a[x], b[x]);
            for (size_t x = start; x < end; ++x) cells[x] = ((a[x] == aNoData) | (b[x] == bNoData)) ? noData : cells[x];
        }
    }

    // A base copy of the base whose cell (x, y) is CombineData of the base's cell and the other
    // map's value at the cell's centre, by the base's no-data value: the road of Add, Multiply and
    // Divide. Throws what BaseCopy, TCentreLookup and then its ValueAt throw, cell by cell.
    template <class TCombine>
    static TMap* CombineAtCentres(TMap* base, TMap* other, TCombine combine)
    {
        std::unique_ptr<TMap> result = BaseCopy(base);
        const TCentreLookup otherAt(base, other);
        const double baseNoData = base->GetNoDataValue();
        if (otherAt.PairsByIndex()) {
            // Every centre lies in the other map's cell of the same column and row, where the
            // lookup finds it without failure: the rows of both maps are read side by side.
            CombineCells(result.get(), base, other, baseNoData, combine);
        } else {
            const double otherNoData = other->GetNoDataValue();
            FillCells(result.get(), [&](long x, long y) {
                const double b = CellOf(base, x, y);
                return CombineData(b, otherAt.ValueAt(x, y), baseNoData, otherNoData, baseNoData, combine);
            });
        }
        return result.release();
    }

    // CombineRow over every row of the result, with the two sources' rows of the same index; the
    // sources hold at least the result's rows and columns.
    template <class TCombine>
    static void CombineCells(TMap* result, const TMap* first, const TMap* second, double noData, TCombine combine)
    {
        const size_t columns = static_cast<size_t>(result->GetXDim());
        if (columns == 0) return;  // no cell is read, so no row is fetched either
        const double firstNoData = first->GetNoDataValue();
        const double secondNoData = second->GetNoDataValue();
        for (long y = 0; y < result->GetYDim(); ++y)
            CombineRow(result->GetRowRef(y).data(), first->GetRowRef(y).data(), second->GetRowRef(y).data(), columns,
                       firstNoData, secondNoData, noData, combine);
    }
};
