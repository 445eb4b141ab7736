#pragma once

#include "grid/TMap.h"
#include "ops/TCentreLookup.h"
#include "grid/TNoData.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

// The ways the map operations build a result on a source map's geometry, and the ways they fill
// its cells: by index (FillCells); row by row from the rows of the same index of one or two
// sources (RowOf, FrameOfRows, BaseOfRows, CombinedRow), for the operations that pair cells by
// index; and the road of the arithmetic on two maps, which pairs cells through the cell centres
// and takes the rows side by side where that pairing is by index (CombineAtCentres).
//
// A row made from its cells (RowOf) is made in one pass, not filled first and written over, and
// a result whose rows are made so gets its axes after them. The axes' many small blocks then tend
// to lie above the rows on the heap, which makes it less likely that freeing the result hands the
// rows' memory back to the system (the next result made in a loop would then take a page fault on
// every page); the allocator decides, so this is a likelihood, not a promise.
class TMapFrames {
public:
    TMapFrames() = delete;

    // The no-data value, and the value of every cell, of a frame copy.
    static constexpr double kFrameNoData = TNoData::kDefault;

    // A map on copies of the source's point axes: same dimensions and cell size, every cell and
    // the no-data value kFrameNoData. Throws what TMap(TAxis*, TAxis*) throws on the source's axes.
    static std::unique_ptr<TMap> FrameCopy(TMap* source);

    // FrameCopy(source) whose row y is makeRow(y, columns), a row of the frame's columns, made
    // without the fill; the frame has a row per point of the source's Y axis, and the source holds
    // at least as many. Throws what FrameCopy throws (the axes' own failures once the rows are made).
    template <class TMakeRow>
    static std::unique_ptr<TMap> FrameOfRows(TMap* source, TMakeRow makeRow)
    {
        long rows = 0;
        std::unique_ptr<TMap> map = EmptyFrame(source, rows);
        return WithRowsThenAxes(std::move(map), rows, source, makeRow);
    }

    // FrameOfRows(frameOf) whose cell (x, y) is rule(v), v the source's cell (x, y); the source
    // holds at least the frame's rows and columns. The row's rule holds the row and `rule` by value
    // (and so should `rule` its own values): read through references, they kept GCC from
    // vectorising the loop (the README's performance section has the figures).
    template <class TRule>
    static std::unique_ptr<TMap> TransformedFrame(TMap* frameOf, const TMap* source, TRule rule)
    {
        return FrameOfRows(frameOf, [&](long y, size_t columns) {
            const double* cells = source->GetRowRef(y).data();
            return RowOf(columns, [cells, rule](size_t x) { return rule(cells[x]); });
        });
    }

    // A map of the source's resolution and dimensions whose no-data value and every cell are the
    // source's no-data value, on copies of the source's point axes.
    static std::unique_ptr<TMap> BaseCopy(TMap* source);
    // BaseCopy(source) whose row y is makeRow(y, columns), a row of the source's columns, made
    // without the fill. Throws what BaseCopy throws (the axes' own failures once the rows are made).
    template <class TMakeRow>
    static std::unique_ptr<TMap> BaseOfRows(TMap* source, TMakeRow makeRow)
    {
        std::unique_ptr<TMap> map = EmptyBase(source);
        return WithRowsThenAxes(std::move(map), source->GetYDim(), source, makeRow);
    }
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

    // The row rule(0), rule(1), ..., rule(columns - 1), made in one pass by std::vector's range
    // constructor over an iterator of the values. On Linux on x86-64 with GCC it is also compiled
    // for AVX2, and the processor's best version is chosen when the program loads.
    template <class TRule>
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
    __attribute__((target_clones("avx2", "default")))
#endif
    static std::vector<double> RowOf(size_t columns, TRule rule)
    {
        return std::vector<double>(TIndexedCells<TRule>(0, &rule), TIndexedCells<TRule>(columns, &rule));
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
        const bool lacking = !TNoData::Holds(a, aNoData) | !TNoData::Holds(b, bNoData);
        return lacking ? noData : combined;
    }

    // The row of CombineData of cells a[x] and b[x] for x below `columns`.
    template <class TCombine>
    static std::vector<double> CombinedRow(const double* a, const double* b, size_t columns, double aNoData,
                                           double bNoData, double noData, TCombine combine)
    {
        return RowOf(columns, [=](size_t x) { return CombineData(a[x], b[x], aNoData, bNoData, noData, combine); });
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
            // lookup finds it without failure: the rows of both maps are read side by side. Only
            // the copy's axes can fail now, and they are set after the rows.
            return BaseOfRows(base, [&](long y, size_t columns) {
                       return CombinedRow(base->GetRowRef(y).data(), other->GetRowRef(y).data(), columns, baseNoData,
                                          otherNoData, baseNoData, combine);
                   })
                .release();
        }
        std::unique_ptr<TMap> result = BaseCopy(base);
        FillCells(result.get(), [&](long x, long y) {
            return CombineData(CellOf(base, x, y), otherAt.ValueAt(x, y), baseNoData, otherNoData, baseNoData, combine);
        });
        return result.release();
    }

private:
    // The values rule(k) of an index k as a random-access iterator: what RowOf makes a row from.
    template <class TRule>
    class TIndexedCells {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = double;
        using difference_type = std::ptrdiff_t;
        using pointer = const double*;
        using reference = double;

        TIndexedCells(size_t index, const TRule* rule) : MbrIndex(index), MbrRule(rule) {}

        double operator*() const { return (*MbrRule)(MbrIndex); }
        double operator[](difference_type n) const { return *(*this + n); }

        TIndexedCells& operator+=(difference_type n)
        {
            MbrIndex += static_cast<size_t>(n);
            return *this;
        }
        TIndexedCells& operator-=(difference_type n) { return *this += -n; }
        TIndexedCells& operator++() { return *this += 1; }
        TIndexedCells& operator--() { return *this += -1; }
        TIndexedCells operator++(int) { TIndexedCells before = *this; ++*this; return before; }
        TIndexedCells operator--(int) { TIndexedCells before = *this; --*this; return before; }
        TIndexedCells operator+(difference_type n) const { TIndexedCells moved = *this; return moved += n; }
        TIndexedCells operator-(difference_type n) const { TIndexedCells moved = *this; return moved -= n; }
        difference_type operator-(const TIndexedCells& other) const
        {
            return static_cast<difference_type>(MbrIndex) - static_cast<difference_type>(other.MbrIndex);
        }

        bool operator==(const TIndexedCells& other) const { return MbrIndex == other.MbrIndex; }
        bool operator!=(const TIndexedCells& other) const { return MbrIndex != other.MbrIndex; }
        bool operator<(const TIndexedCells& other) const { return MbrIndex < other.MbrIndex; }
        bool operator>(const TIndexedCells& other) const { return MbrIndex > other.MbrIndex; }
        bool operator<=(const TIndexedCells& other) const { return MbrIndex <= other.MbrIndex; }
        bool operator>=(const TIndexedCells& other) const { return MbrIndex >= other.MbrIndex; }

    private:
        size_t MbrIndex;
        const TRule* MbrRule;
    };

    // FrameCopy's checks, and a map of its resolution and columns without rows or axes; `rows` is
    // set to the number of rows it is to have.
    static std::unique_ptr<TMap> EmptyFrame(TMap* source, long& rows);
    // BaseCopy's first check, and a map of its resolution, columns and no-data value without rows
    // or axes.
    static std::unique_ptr<TMap> EmptyBase(TMap* source);

    // The map, made without rows or axes, with its rows makeRow(y, columns) for y below `rows` and
    // then copies of the source's point axes.
    template <class TMakeRow>
    static std::unique_ptr<TMap> WithRowsThenAxes(std::unique_ptr<TMap> map, long rows, TMap* source,
                                                  TMakeRow makeRow)
    {
        const size_t columns = static_cast<size_t>(map->GetXDim());
        for (long y = 0; y < rows; ++y)
            map->AddRow(columns == 0 ? std::vector<double>() : makeRow(y, columns));  // no cell, no row fetched
        map->SetXAxis(source->GetXAxis());
        map->SetYAxis(source->GetYAxis());
        return map;
    }
};
