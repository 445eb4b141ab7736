// Cell queries and value series: searches in one map, values collected by key, and the values of
// one cell followed through a list of maps.

#include "ops/TMapTools.h"

#include "grid/TAxisLookup.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapFrames.h"
#include "support/TOwnership.h"
#include "support/TVectorTools.h"
#include "grid/TNoData.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const char* const kRunTooShort = "Stat map number must be less than end map number";

// Visits every cell column by column, column 0 from row 0 down, then column 1, and so on: the
// order in which the first holder of a value is found and in which values are collected.
template <class TVisit>
void ScanColumns(const TMap* map, TVisit visit)
{
    std::vector<const double*> rows;
    rows.reserve(static_cast<size_t>(map->GetYDim()));
    for (long y = 0; y < map->GetYDim(); ++y) rows.push_back(map->GetRowRef(y).data());
    for (long x = 0; x < map->GetXDim(); ++x)
        for (long y = 0; y < map->GetYDim(); ++y) visit(x, y, rows[static_cast<size_t>(y)][x]);
}

// FindNonzeroNeighbourVal for a cell known to lie inside the map. Scanning the block from its
// last column and stopping at the first non-zero cell gives what the full scan keeps: the
// lowest non-zero cell of the highest column that has one.
double NonzeroNeighbour(const TMap* map, long x, long y)
{
    const long firstColumn = std::max(x - 1, 0L);
    const long lastColumn = std::min(x + 1, map->GetXDim() - 1);
    const long firstRow = std::max(y - 1, 0L);
    const long lastRow = std::min(y + 1, map->GetYDim() - 1);
    for (long column = lastColumn; column >= firstColumn; --column) {
        for (long row = firstRow; row <= lastRow; ++row) {
            const double value = map->GetRowRef(row)[static_cast<size_t>(column)];
            if (value != 0.0) return value;  // NaN counts as non-zero
        }
    }
    return 0.0;
}

using TOwnedPoints = std::map<double, std::unique_ptr<TMapPoint>>;

TOwnedPoints FirstValues(TMap* map, const std::vector<double>& excluded)
{
    TOwnedPoints found;
    double previous = map->GetNoDataValue();
    ScanColumns(map, [&](long x, long y, double value) {
        if (value == previous) return;
        previous = value;
        // NaN has no place in the key order of a std::map, so it never becomes a key.
        if (std::isnan(value) || TVectorTools::HasValue(excluded, value) || found.count(value)) return;
        found.emplace(value, std::unique_ptr<TMapPoint>(map->GetPoint(x, y)));
    });
    return found;
}

}  // namespace

void TMapTools::FindPatchExtent(TMap* PtrMap, double DblValue, long& LngNorthRow, long& LngSouthRow,
                                long& LngWestColumn, long& LngEastColumn)
{
    // The bounds do not depend on the order of the visit, so rows are read as they lie in memory.
    long top = PtrMap->GetYDim() - 1, bottom = 0, left = PtrMap->GetXDim() - 1, right = 0;
    bool found = false;
    for (long y = 0; y < PtrMap->GetYDim(); ++y) {
        const std::vector<double>& row = PtrMap->GetRowRef(y);
        for (long x = 0; x < PtrMap->GetXDim(); ++x) {
            if (row[static_cast<size_t>(x)] != DblValue) continue;
            found = true;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    if (!found) top = bottom = left = right = 0;
    LngNorthRow = top;
    LngSouthRow = bottom;
    LngWestColumn = left;
    LngEastColumn = right;
}

double TMapTools::FindNonzeroNeighbourVal(TMap* PtrMap, long LngX, long LngY)
{
    if (LngX < 0 || LngX >= PtrMap->GetXDim()) throw "X-ordinate is out of range in TMapTools::FindNonzeroNeighbourVal";
    if (LngY < 0 || LngY >= PtrMap->GetYDim()) throw "Y-ordinate is out of range in TMapTools::FindNonzeroNeighbourVal";
    return NonzeroNeighbour(PtrMap, LngX, LngY);
}

std::map<double, double> TMapTools::FetchMapValues(TMap* PtrMap, std::map<double, TMapPoint*> MapPoints)
{
    std::map<double, double> values;
    if (MapPoints.empty()) return values;
    if (!PtrMap->GetXAxis() || !PtrMap->GetYAxis() || !PtrMap->GetXAxisInterval() || !PtrMap->GetYAxisInterval())
        throw TGridMessages::kAxesNotSet;
    // Each point is read as TMap::GetPointVal(TPoint*) reads it, with its messages, but through
    // one snapshot per axis instead of a scan of the axis per point.
    const TAxisLookup columns(PtrMap->GetXAxisInterval(), 'X');
    const TAxisLookup rows(PtrMap->GetYAxisInterval(), 'Y');
    for (const auto& entry : MapPoints) {
        const long x = columns.Find(entry.second->GetX());
        const long y = rows.Find(entry.second->GetY());
        if (const char* failure = PtrMap->CellFailure(x, y, TMap::TCellAccess::GetPointVal)) throw failure;
        values.emplace_hint(values.end(), entry.first, TMapFrames::CellOf(PtrMap, x, y));
    }
    return values;
}

std::vector<std::map<double, double>> TMapTools::FetchMapValues(std::vector<TMap*> VecMaps,
                                                                 std::vector<std::map<double, TMapPoint*>> VecPointSets)
{
    if (VecPointSets.size() < VecMaps.size()) throw "Fewer point sets than maps in TMapTools::FetchMapValues";
    std::vector<std::map<double, double>> values;
    values.reserve(VecMaps.size());
    for (size_t m = 0; m < VecMaps.size(); ++m)
        values.push_back(FetchMapValues(VecMaps[m], std::move(VecPointSets[m])));
    return values;
}

std::map<double, TMapPoint*> TMapTools::GetFirstValues(TMap* PtrMap, std::vector<double> VecExcluded)
{
    TOwnedPoints found = FirstValues(PtrMap, VecExcluded);
    return TOwnership::ReleaseAll(found);
}

std::vector<std::map<double, TMapPoint*>> TMapTools::GetFirstValues(std::vector<TMap*> VecMaps,
                                                                    std::vector<double> VecExcluded)
{
    std::vector<TOwnedPoints> found;
    found.reserve(VecMaps.size());
    for (TMap* map : VecMaps) found.push_back(FirstValues(map, VecExcluded));
    std::vector<std::map<double, TMapPoint*>> points;
    points.reserve(found.size());
    for (TOwnedPoints& owned : found) points.push_back(TOwnership::ReleaseAll(owned));
    return points;
}

std::map<double, std::vector<double>> TMapTools::GetValuesOverlay(TMap* PtrValues, TMap* PtrKeys,
                                                                  std::vector<double> VecExcludedKeys)
{
    if (PtrValues->GetXDim() != PtrKeys->GetXDim()) throw "Map X-dimensions do not match";
    if (PtrValues->GetYDim() != PtrKeys->GetYDim()) throw "Map Y-Dimensions do not match";
    std::map<double, std::vector<double>> lists;
    // Keys come in runs, so the decision for the last key is kept: its list, or none if excluded.
    bool known = false;
    double lastKey = 0;
    std::vector<double>* lastList = nullptr;
    ScanColumns(PtrKeys, [&](long x, long y, double key) {
        if (std::isnan(key)) return;  // NaN has no place in the key order of a std::map
        if (!known || key != lastKey) {
            known = true;
            lastKey = key;
            lastList = TVectorTools::HasValue(VecExcludedKeys, key) ? nullptr : &lists[key];
        }
        if (lastList) lastList->push_back(TMapFrames::CellOf(PtrValues, x, y));
    });
    return lists;
}

std::vector<double> TMapTools::GetValuesVector(std::vector<TMap*> VecMaps, long LngX, long LngY, int IntStartMap,
                                               int IntEndMap)
{
    const long count = static_cast<long>(VecMaps.size());
    if (IntStartMap < 0 || IntStartMap >= count) throw "Start map number is out of range in TMapTools::GetValuesVector";
    if (IntEndMap < 0 || IntEndMap >= count) throw "End map number is out of range in TMapTools::GetValuesVector";
    if (IntStartMap >= IntEndMap) throw kRunTooShort;
    std::vector<double> values;
    values.reserve(static_cast<size_t>(IntEndMap - IntStartMap + 1));
    for (int m = IntStartMap; m <= IntEndMap; ++m)
        values.push_back(VecMaps[static_cast<size_t>(m)]->GetPointVal(LngX, LngY));
    return values;
}

std::vector<TMap*> TMapTools::ValueGradients(std::vector<TMap*> VecMaps, int IntWindow)
{
    if (IntWindow < 0) throw "Window size must not be negative in TMapTools::ValueGradients";
    const long count = static_cast<long>(VecMaps.size());
    if (IntWindow >= count) throw "Window size must be < number of maps in TMapTools::ValueGradients";
    for (long m = 1; m < count; ++m) {
        if (VecMaps[static_cast<size_t>(m)]->GetXDim() != VecMaps[0]->GetXDim() ||
            VecMaps[static_cast<size_t>(m)]->GetYDim() != VecMaps[0]->GetYDim())
            throw "Map dimensions do not match in TMapTools::ValueGradients";
    }

    // Every map of a window has map 0's dimensions, so no cell read below can fail; the cells are
    // read through the rows of the window's maps instead of one range-checked read at a time.
    const size_t span = static_cast<size_t>(IntWindow) + 1;
    std::vector<const double*> rows(span);
    std::vector<double> noData(span), abscissae, fitX(span), fitY(span);
    std::vector<std::unique_ptr<TMap>> results;
    for (long i = 0; i + IntWindow < count; ++i) {
        TMap* const* windowMaps = VecMaps.data() + i;
        abscissae = TVectorTools::VectorSeries(static_cast<double>(i), static_cast<double>(i + IntWindow), 1);
        std::unique_ptr<TMap> result = TMapFrames::FrameCopy(VecMaps[0]);
        for (size_t l = 0; l < span; ++l) noData[l] = windowMaps[l]->GetNoDataValue();
        long rowsOf = -1;
        TMapFrames::FillCells(result.get(), [&](long x, long y) {
            if (y != rowsOf) {
                for (size_t l = 0; l < span; ++l) rows[l] = windowMaps[l]->GetRowRef(y).data();
                rowsOf = y;
            }
            // A cell that is zero in the window's first map is not computed and keeps -9999.
            if (rows[0][x] == 0.0) return TNoData::kDefault;
            if (IntWindow == 0) throw kRunTooShort;  // a run of one map, refused as GetValuesVector does
            size_t fitted = 0;
            for (size_t l = 0; l < span; ++l) {
                double value = rows[l][x];
                // The window's last value is never replaced, even when it is zero.
                if (value == 0.0 && l + 1 < span) value = NonzeroNeighbour(windowMaps[l], x, y);
                if (!TNoData::Holds(value, noData[l])) continue;
                fitX[fitted] = abscissae[l];
                fitY[fitted] = value;
                ++fitted;
            }
            return TVectorTools::Slope(fitX.data(), fitY.data(), fitted);
        });
        results.push_back(std::move(result));
    }

    return TOwnership::ReleaseAll(results);
}
