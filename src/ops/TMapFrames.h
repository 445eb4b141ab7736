#pragma once

#include "grid/TMap.h"
#include "ops/TCentreLookup.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
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
    // The lookup of the other map's cells at the base's cell centres; where both fail, what
    // BaseCopy(base) throws comes first, as when the copy is made before the lookup.
    static TCentreLookup LookupAfterBaseCopy(TMap* base, TMap* other);

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
    // b from bNoData, noData where either does not. The combination is computed for every cell and
    // then kept or replaced, without a branch, so that a loop over cells vectorises (the sources of
    // the arithmetic build with -fno-trapping-math, which lets the compiler compute a combination
    // that may not be wanted).
    template <class TCombine>
    static double CombineData(double a, double b, double aNoData, double bNoData, double noData, TCombine combine)
    {
        const double combined = combine(a, b);
        const bool lacking = (a == aNoData) | (b == bNoData);
        return lacking ? noData : combined;
    }

    // The cells CombineData makes of cells a[x] and b[x], x = 0, 1, ..., as an iterator, so that a
    // row is made from them directly (std::vector's range constructor) instead of being filled
    // first and written over.
    template <class TCombine>
    class TCombinedCells {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = double;
        using difference_type = std::ptrdiff_t;
        using pointer = const double*;
        using reference = double;

        TCombinedCells(const double* a, const double* b, double aNoData, double bNoData, double noData,
                       TCombine combine)
            : MbrPtrA(a), MbrPtrB(b), MbrDblANoData(aNoData), MbrDblBNoData(bNoData), MbrDblNoData(noData),
              MbrCombine(combine)
        {
        }

        double operator*() const
        {
            return CombineData(*MbrPtrA, *MbrPtrB, MbrDblANoData, MbrDblBNoData, MbrDblNoData, MbrCombine);
        }
        double operator[](difference_type n) const { return *(*this + n); }

        TCombinedCells& operator+=(difference_type n)
        {
            MbrPtrA += n;
            MbrPtrB += n;
            return *this;
        }
        TCombinedCells& operator-=(difference_type n) { return *this += -n; }
        TCombinedCells& operator++() { return *this += 1; }
        TCombinedCells& operator--() { return *this += -1; }
        TCombinedCells operator++(int) { TCombinedCells before = *this; ++*this; return before; }
        TCombinedCells operator--(int) { TCombinedCells before = *this; --*this; return before; }
        TCombinedCells operator+(difference_type n) const { TCombinedCells moved = *this; return moved += n; }
        TCombinedCells operator-(difference_type n) const { TCombinedCells moved = *this; return moved -= n; }
        difference_type operator-(const TCombinedCells& other) const { return MbrPtrA - other.MbrPtrA; }

        bool operator==(const TCombinedCells& other) const { return MbrPtrA == other.MbrPtrA; }
        bool operator!=(const TCombinedCells& other) const { return MbrPtrA != other.MbrPtrA; }
        bool operator<(const TCombinedCells& other) const { return MbrPtrA < other.MbrPtrA; }
        bool operator>(const TCombinedCells& other) const { return MbrPtrA > other.MbrPtrA; }
        bool operator<=(const TCombinedCells& other) const { return MbrPtrA <= other.MbrPtrA; }
        bool operator>=(const TCombinedCells& other) const { return MbrPtrA >= other.MbrPtrA; }

    private:
        const double* MbrPtrA;
        const double* MbrPtrB;
        double MbrDblANoData;
        double MbrDblBNoData;
        double MbrDblNoData;
        TCombine MbrCombine;
    };

    // The row of CombineData of cells a[x] and b[x] for x below `columns`, made in one pass. On
    // Linux on x86-64 with GCC it is also compiled for AVX2, and the processor's best version is
    // chosen when the program loads.
    template <class TCombine>
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
    __attribute__((target_clones("avx2", "default")))
#endif
    static std::vector<double> CombinedRow(const double* a, const double* b, size_t columns, double aNoData,
                                           double bNoData, double noData, TCombine combine)
    {
        const TCombinedCells<TCombine> first(a, b, aNoData, bNoData, noData, combine);
        return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(columns));
    }

    // A base copy of the base whose cell (x, y) is CombineData of the base's cell and the other
    // map's value at the cell's centre, by the base's no-data value: the road of Add, Multiply and
    // Divide. Throws what BaseCopy, TCentreLookup and then its ValueAt throw, cell by cell.
    template <class TCombine>
    static TMap* CombineAtCentres(TMap* base, TMap* other, TCombine combine)
    {
        const TCentreLookup otherAt = LookupAfterBaseCopy(base, other);
        const double baseNoData = base->GetNoDataValue();
        const double otherNoData = other->GetNoDataValue();
        if (otherAt.PairsByIndex()) {
            // Every centre lies in the other map's cell of the same column and row, where the
            // lookup finds it without failure: the rows of both maps are read side by side, and
            // each result row is made as it is combined, not filled first. The axes are set
            // after the rows (only they can fail now), so that their many small blocks lie above
            // the rows on the heap and freeing the result does not hand the rows' memory back to
            // the system at once: a result made and freed in a loop would take a page fault on
            // every page of the next.
            const size_t columns = static_cast<size_t>(base->GetXDim());
            auto result = std::make_unique<TMap>(base->GetResolution());
            result->Init(base->GetResolution(), base->GetXDim(), 0, baseNoData);
            for (long y = 0; y < base->GetYDim(); ++y)
                result->AddRow(CombinedRow(base->GetRowRef(y).data(), other->GetRowRef(y).data(), columns, baseNoData,
                                           otherNoData, baseNoData, combine));
            result->SetXAxis(base->GetXAxis());
            result->SetYAxis(base->GetYAxis());
            return result.release();
        }
        std::unique_ptr<TMap> result = BaseCopy(base);
        FillCells(result.get(), [&](long x, long y) {
            return CombineData(CellOf(base, x, y), otherAt.ValueAt(x, y), baseNoData, otherNoData, baseNoData, combine);
        });
        return result.release();
    }

    // Each row of the result replaced by CombinedRow of the two sources' rows of the same index; the
    // sources hold at least the result's rows and columns.
    template <class TCombine>
    static void CombineCells(TMap* result, const TMap* first, const TMap* second, double noData, TCombine combine)
    {
        const size_t columns = static_cast<size_t>(result->GetXDim());
        if (columns == 0) return;  // no cell is read, so no row is fetched either
        const double firstNoData = first->GetNoDataValue();
        const double secondNoData = second->GetNoDataValue();
        for (long y = 0; y < result->GetYDim(); ++y)
            result->GetRowRef(y) = CombinedRow(first->GetRowRef(y).data(), second->GetRowRef(y).data(), columns,
                                               firstNoData, secondNoData, noData, combine);
    }
};
