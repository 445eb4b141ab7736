#include "ops/TMapTools.h"

#include "grid/TMap.h"
#include "ops/TMapFrames.h"
#include "support/TOwnership.h"
#include "grid/TNoData.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>

namespace {

void RequireEqualDimensions(const TMap* first, const TMap* second, const char* xMessage, const char* yMessage)
{
    if (first->GetXDim() != second->GetXDim()) throw xMessage;
    if (first->GetYDim() != second->GetYDim()) throw yMessage;
}

// Add and Multiply: the finer map is the base and gives the result its frame and no-data value;
// the other map is sampled at each base cell centre, also where the base holds no data, so a base
// reaching beyond the other map fails even there.
template <class TCombine>
TMap* CombineOnFinerMap(TMap* first, TMap* second, TCombine combine)
{
    const double firstResolution = first->GetResolution();
    const double secondResolution = second->GetResolution();
    const bool secondIsBase =
        secondResolution < firstResolution || std::isnan(firstResolution) || std::isnan(secondResolution);
    TMap* base = secondIsBase ? second : first;
    TMap* other = secondIsBase ? first : second;
    return TMapFrames::CombineAtCentres(base, other, combine);
}

// A frame copy of the map whose cells are rule(v) of its cells v, except that a cell holding the
// map's no-data value holds the result's: a source's marker is never carried over as data.
template <class TRule>
TMap* TransformData(TMap* map, TRule rule)
{
    const double noData = map->GetNoDataValue();
    return TMapFrames::TransformedFrame(map, map, [noData, rule](double v) {
               return TNoData::Holds(v, noData) ? rule(v) : TMapFrames::kFrameNoData;
           })
        .release();
}

// Truncates toward zero, then adds 1 when the fraction is at least 0.5, so negative values are
// truncated. Within the 32-bit range the truncation goes through an integer, which also makes
// -0.5 < v < 0 round to +0 rather than -0; beyond it the same rule runs in double arithmetic, and
// NaN and the infinities come out unchanged.
double RoundHalfUp(double v)
{
    const double t = v > -2147483649.0 && v < 2147483648.0 ? static_cast<double>(static_cast<std::int32_t>(v))
                                                             : std::trunc(v);
    return v - t < 0.5 ? t : t + 1;
}

}  // namespace

TMap* TMapTools::Add(TMap* PtrFirst, TMap* PtrSecond)
{
    return CombineOnFinerMap(PtrFirst, PtrSecond, [](double b, double o) { return b + o; });
}

TMap* TMapTools::Multiply(TMap* PtrFirst, TMap* PtrSecond)
{
    return CombineOnFinerMap(PtrFirst, PtrSecond, [](double b, double o) { return b * o; });
}

TMap* TMapTools::Divide(TMap* PtrDividend, TMap* PtrDivisor)
{
    if (PtrDividend->GetResolution() > PtrDivisor->GetResolution())
        throw "Divisor must be of equal of coarser resolution than the dividend in TMapTools::Divide";
    return TMapFrames::CombineAtCentres(PtrDividend, PtrDivisor,
                                        [](double numerator, double denominator) { return numerator / denominator; });
}

TMap* TMapTools::Subtract(TMap* PtrFirst, TMap* PtrSecond)
{
    RequireEqualDimensions(PtrFirst, PtrSecond, "X dimensions do not match in TMapTools::Subtract",
                           "Y dimensions do not match in TMapTools::Subtract");
    const double firstNoData = PtrFirst->GetNoDataValue();
    const double secondNoData = PtrSecond->GetNoDataValue();
    std::unique_ptr<TMap> result = TMapFrames::FrameOfRows(PtrFirst, [&](long y, size_t columns) {
        return TMapFrames::CombinedRow(PtrFirst->GetRowRef(y).data(), PtrSecond->GetRowRef(y).data(), columns,
                                       firstNoData, secondNoData, firstNoData,
                                       [](double a, double b) { return a - b; });
    });
    result->SetNoDataValue(firstNoData);
    return result.release();
}

TMap* TMapTools::Multiply(TMap* PtrMap, double DblFactor)
{
    return TransformData(PtrMap, [DblFactor](double v) { return v * DblFactor; });
}

TMap* TMapTools::Divide(TMap* PtrMap, double DblDivisor)
{
    return TransformData(PtrMap, [DblDivisor](double v) { return v / DblDivisor; });
}

TMap* TMapTools::RoundContents(TMap* PtrMap) { return TransformData(PtrMap, RoundHalfUp); }

TMap* TMapTools::Threshold(TMap* PtrMap, double DblThreshold)
{
    return TransformData(PtrMap, [DblThreshold](double v) { return v >= DblThreshold ? v : 0.0; });
}

std::vector<TMap*> TMapTools::Threshold(std::vector<TMap*> VecMaps, double DblThreshold)
{
    std::vector<std::unique_ptr<TMap>> made;
    made.reserve(VecMaps.size());
    for (TMap* map : VecMaps) made.emplace_back(Threshold(map, DblThreshold));
    return TOwnership::ReleaseAll(made);
}

TMap* TMapTools::ThresholdReplace(TMap* PtrMap, double DblThreshold, double DblReplacement)
{
    return TransformData(PtrMap,
                         [DblThreshold, DblReplacement](double v) { return v >= DblThreshold ? DblReplacement : v; });
}

TMap* TMapTools::ReplaceValue(TMap* PtrMap, std::map<double, double> MapTable, double DblDefault)
{
    // An ordered map cannot look up NaN (it compares equivalent to every key), and a NaN key
    // disturbs every other lookup, so the search runs on the keys that can equal a cell value.
    std::vector<std::pair<double, double>> entries;
    for (const auto& entry : MapTable)
        if (!std::isnan(entry.first)) entries.push_back(entry);
    std::sort(entries.begin(), entries.end(),
              [](const std::pair<double, double>& a, const std::pair<double, double>& b) { return a.first < b.first; });

    std::unique_ptr<TMap> result = TMapFrames::FrameCopy(PtrMap);
    TMapFrames::FillCells(result.get(), [&](long x, long y) {
        const double v = TMapFrames::CellOf(PtrMap, x, y);
        auto hit = std::lower_bound(entries.begin(), entries.end(), v,
                                    [](const std::pair<double, double>& entry, double key) { return entry.first < key; });
        return hit != entries.end() && hit->first == v ? hit->second : DblDefault;
    });
    return result.release();
}

TMap* TMapTools::Mask(TMap* PtrFirst, TMap* PtrSecond, double DblMatch, double DblReplacement)
{
    RequireEqualDimensions(PtrFirst, PtrSecond, "X dimensions do not match in TMapTools::Mask",
                           "Y dimensions do not match in TMapTools::Mask");
    const double secondNoData = PtrSecond->GetNoDataValue();
    return TMapFrames::TransformedFrame(PtrFirst, PtrSecond, [=](double w) {
               if (w == DblMatch) return DblReplacement;
               return TNoData::Holds(w, secondNoData) ? w : TMapFrames::kFrameNoData;
           })
        .release();
}

std::map<double, long> TMapTools::CountValues(TMap* PtrMap)
{
    std::map<double, long> counts;
    auto current = counts.end();
    for (long y = 0; y < PtrMap->GetYDim(); ++y) {
        for (double v : PtrMap->GetRowRef(y)) {
            // NaN equals no value, not even itself, and no ordered table can hold it.
            if (std::isnan(v)) continue;
            // Neighbouring cells mostly share a value, so the last entry is tried first.
            if (current == counts.end() || current->first != v) current = counts.try_emplace(v, 0).first;
            ++current->second;
        }
    }
    return counts;
}

long TMapTools::CountValues(TMap* PtrMap, double DblValue)
{
    long count = 0;
    for (long y = 0; y < PtrMap->GetYDim(); ++y) {
        const std::vector<double>& row = PtrMap->GetRowRef(y);
        count += static_cast<long>(std::count(row.begin(), row.end(), DblValue));
    }
    return count;
}
