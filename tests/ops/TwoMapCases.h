#pragma once

// Random pairs of maps that meet in each of the ways the two-map operations must handle, and the
// reference those operations are checked against: the coordinate road written out cell by cell
// through the map's own lookup, TMap::GetPointVal(TPoint*).

#include "TestSupport.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace TwoMapCases {

// How the second map of a pair lies against the first (the base).
enum class TPartner {
    SameAxes,             // the same edges: each cell pairs with its namesake
    LargerEastAndSouth,   // extra columns east and rows beyond the last row: still its namesake
    ShiftedInsideTheCell, // edges moved by less than half a cell: still its namesake
    OneCellBorder,        // one more cell on every side: cell (x, y) pairs with (x + 1, y + 1)
    ShiftedOneCellWest,   // the base's east column lies outside: the lookup fails there
    Coarser,              // cells twice the size: four base cells share one cell
};
inline const TPartner kPartners[] = {TPartner::SameAxes,      TPartner::LargerEastAndSouth,
                                     TPartner::ShiftedInsideTheCell, TPartner::OneCellBorder,
                                     TPartner::ShiftedOneCellWest,   TPartner::Coarser};

// A cell value among those every road must treat alike: data, the map's no-data value, NaN,
// signed zeros and infinities.
inline double RandomCell(std::mt19937& random, double noData)
{
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
    case 0: return noData;
    case 1: return std::numeric_limits<double>::quiet_NaN();
    case 2: return -0.0;
    case 3: return std::numeric_limits<double>::infinity();
    case 4: return 0.0;
    default: return std::uniform_real_distribution<double>(-1e3, 1e3)(random);
    }
}

inline TRows RandomRows(std::mt19937& random, long columns, long rows, double noData)
{
    TRows cells(static_cast<size_t>(rows), std::vector<double>(static_cast<size_t>(columns)));
    for (auto& row : cells)
        for (double& cell : row) cell = RandomCell(random, noData);
    return cells;
}

inline double RandomNoData(std::mt19937& random)
{
    const double markers[] = {-9999, -1, 0, std::numeric_limits<double>::quiet_NaN()};
    return markers[std::uniform_int_distribution<int>(0, 3)(random)];
}

struct TPair {
    std::unique_ptr<TMap> Base;
    std::unique_ptr<TMap> Other;
    // Y edges ascending with the row. The centres of such a map lie half a cell south of its
    // cells' south edges (cell centres are derived going south), so no base centre of an
    // ascending pair lies in its namesake.
    bool Ascending;
};

// A base map of random size (up to maxColumns columns), cell size, origin and Y direction, and a
// partner laid as asked.
inline TPair RandomPair(std::mt19937& random, TPartner partner, long maxColumns = 9)
{
    const double sizes[] = {1, 0.1, 25, 0.3};
    const double origins[] = {0, -3.7, 430000, 1e-3};
    const double cell = sizes[std::uniform_int_distribution<int>(0, 3)(random)];
    const double x0 = origins[std::uniform_int_distribution<int>(0, 3)(random)];
    const double y0 = origins[std::uniform_int_distribution<int>(0, 3)(random)];
    const long columns = std::uniform_int_distribution<long>(1, maxColumns)(random);
    const long rows = std::uniform_int_distribution<long>(1, 9)(random);
    const bool ascending = std::uniform_int_distribution<int>(0, 3)(random) == 0;
    const double baseNoData = RandomNoData(random);
    const double otherNoData = RandomNoData(random);

    TPair pair;
    pair.Ascending = ascending;
    pair.Base = MakeMap(RandomRows(random, columns, rows, baseNoData), x0, y0, cell, baseNoData, ascending);
    // Rows beyond the last row lie south of a descending map and north of an ascending one.
    auto other = [&](long otherColumns, long otherRows, double west, double south, double otherCell) {
        return MakeMap(RandomRows(random, otherColumns, otherRows, otherNoData), west, south, otherCell, otherNoData,
                       ascending);
    };
    switch (partner) {
    case TPartner::SameAxes: pair.Other = other(columns, rows, x0, y0, cell); break;
    case TPartner::LargerEastAndSouth: {
        const long more = std::uniform_int_distribution<long>(1, 3)(random);
        pair.Other = other(columns + more, rows + more, x0, ascending ? y0 : y0 - more * cell, cell);
        break;
    }
    case TPartner::ShiftedInsideTheCell:
        pair.Other = other(columns, rows, x0 + 0.3 * cell, y0 - 0.2 * cell, cell);
        break;
    case TPartner::OneCellBorder: pair.Other = other(columns + 2, rows + 2, x0 - cell, y0 - cell, cell); break;
    case TPartner::ShiftedOneCellWest: pair.Other = other(columns, rows, x0 - cell, y0, cell); break;
    case TPartner::Coarser: {
        const long coarseRows = (rows + 1) / 2;
        // The north edges meet on a descending map, the south edges on an ascending one.
        const double south = ascending ? y0 : y0 + rows * cell - coarseRows * 2 * cell;
        pair.Other = other((columns + 1) / 2, coarseRows, x0, south, 2 * cell);
        break;
    }
    }
    return pair;
}

// The result of an operation on a base map's frame, computed cell by cell through the coordinate
// lookup, or the message of the first cell (row by row) whose lookup fails.
struct TReference {
    TRows Cells;
    std::string Message = "<no throw>";
};

template <class TRule>
TReference CellByCell(TMap* base, TMap* other, TRule rule)
{
    TReference reference;
    for (long y = 0; y < base->GetYDim(); ++y) {
        reference.Cells.emplace_back();
        for (long x = 0; x < base->GetXDim(); ++x) {
            std::unique_ptr<TPoint> centre(base->GetCoordinates(x, y));
            double o = 0;
            reference.Message = ThrownMessage([&] { o = other->GetPointVal(centre.get()); });
            if (reference.Message != "<no throw>") return reference;
            reference.Cells.back().push_back(rule(base->GetPointVal(x, y), o));
        }
    }
    return reference;
}

// The same bits, so that NaN equals NaN and -0 differs from +0.
inline bool SameCells(const TRows& a, const TRows& b)
{
    if (a.size() != b.size()) return false;
    for (size_t y = 0; y < a.size(); ++y) {
        if (a[y].size() != b[y].size()) return false;
        if (!a[y].empty() && std::memcmp(a[y].data(), b[y].data(), a[y].size() * sizeof(double)) != 0) return false;
    }
    return true;
}

}  // namespace TwoMapCases
