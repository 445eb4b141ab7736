#include "ops/TMapTools.h"

#include "grid/TMap.h"
#include "ops/TMapFrames.h"
#include "stats/TStackMessages.h"
#include "stats/TStackStatistic.h"
#include "support/TOwnership.h"
#include "grid/TNoData.h"

#include <memory>

namespace {

// Every map of the list has the first map's columns and then rows; the first that differs names
// the message.
void RequireEqualDimensions(const std::vector<TMap*>& maps, const char* xMessage, const char* yMessage)
{
    for (size_t k = 1; k < maps.size(); ++k) {
        if (maps[k]->GetXDim() != maps[0]->GetXDim()) throw xMessage;
        if (maps[k]->GetYDim() != maps[0]->GetYDim()) throw yMessage;
    }
}

// A new map on the first map's geometry whose every cell is the rule over the maps' cells, or
// `noData` (also the result's no-data value) where the rule finds the cell missing.
std::unique_ptr<TMap> ReduceMaps(const std::vector<TMap*>& maps, const TStackRule& rule, double noData)
{
    const TStackStatistic statistic(rule, maps.size());
    std::unique_ptr<TMap> result = TMapFrames::FrameCopy(maps[0]);
    result->SetNoDataValue(noData);
    const size_t columns = static_cast<size_t>(result->GetXDim());
    std::vector<const double*> rows(maps.size());
    std::vector<double> markers;
    for (TMap* map : maps) markers.push_back(map->GetNoDataValue());
    std::vector<double> values(columns);
    std::vector<unsigned char> missing(columns);
    std::vector<double> scratch;
    for (long y = 0; y < result->GetYDim(); ++y) {
        for (size_t k = 0; k < maps.size(); ++k) rows[k] = maps[k]->GetRowRef(y).data();
        statistic.Reduce(rows.data(), markers.data(), columns, values.data(), missing.data(), scratch);
        std::vector<double>& cells = result->GetRowRef(y);
        for (size_t x = 0; x < columns; ++x) cells[x] = missing[x] ? noData : values[x];
    }
    return result;
}

// The stacking of maps in memory: a cell holds data where it differs from its map's no-data value,
// NaN included.
TStackRule MapRule(TStatisticKind kind)
{
    TStackRule rule;
    rule.Kind = kind;
    rule.NaNHoldsData = true;
    rule.FiniteResults = false;  // the sum divided by the count, as it always was
    return rule;
}

}  // namespace

TMap* TMapTools::Sum(std::vector<TMap*> VecMaps)
{
    if (VecMaps.size() < 2) throw TStackMessages::kTooFewMaps;
    RequireEqualDimensions(VecMaps, TStackMessages::kColumnsDiffer, TStackMessages::kRowsDiffer);
    return ReduceMaps(VecMaps, MapRule(TStatisticKind::Sum), TNoData::kDefault).release();
}

TMap* TMapTools::DataCounts(std::vector<TMap*> VecMaps)
{
    if (VecMaps.empty()) throw "No maps to count in TMapTools::DataCounts";
    RequireEqualDimensions(VecMaps, "X-dimension of maps are inconsistent in TMapTools::DataCounts",
                           "Y-dimension of maps are inconsistent in TMapTools::DataCounts");
    return ReduceMaps(VecMaps, MapRule(TStatisticKind::Count), TNoData::kDefault).release();
}

TMap* TMapTools::CellStatistics(std::vector<TMap*> VecMaps, const TStackRule& rule, double DblNoData)
{
    if (VecMaps.empty()) throw "No maps to reduce in TMapTools::CellStatistics";
    RequireEqualDimensions(VecMaps, "X-dimension of maps are inconsistent in TMapTools::CellStatistics",
                           "Y-dimension of maps are inconsistent in TMapTools::CellStatistics");
    return ReduceMaps(VecMaps, rule, DblNoData).release();
}

TMap* TMapTools::Average(std::vector<TMap*> VecMaps)
{
    // Sum's checks and messages; a cell is averaged where every map holds data.
    if (VecMaps.size() < 2) throw TStackMessages::kTooFewMaps;
    RequireEqualDimensions(VecMaps, TStackMessages::kColumnsDiffer, TStackMessages::kRowsDiffer);
    return ReduceMaps(VecMaps, MapRule(TStatisticKind::Mean), TNoData::kDefault).release();
}

std::vector<TMap*> TMapTools::MovingAverage(std::vector<TMap*> VecMaps, int IntWindow)
{
    const long count = static_cast<long>(VecMaps.size());
    std::vector<std::unique_ptr<TMap>> averages;
    for (long start = 0; start <= count - IntWindow; ++start) {
        std::vector<TMap*> run;
        for (long k = start; k < start + IntWindow; ++k) run.push_back(VecMaps[static_cast<size_t>(k)]);
        averages.emplace_back(Average(run));
    }
    return TOwnership::ReleaseAll(averages);
}
