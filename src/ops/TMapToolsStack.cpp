#include "ops/TMapTools.h"

#include "grid/TMap.h"
#include "ops/TMapFrames.h"
#include "ops/TStackMessages.h"
#include "support/TOwnership.h"

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

}  // namespace

TMap* TMapTools::Sum(std::vector<TMap*> maps)
{
    if (maps.size() < 2) throw TStackMessages::kTooFewMaps;
    RequireEqualDimensions(maps, TStackMessages::kColumnsDiffer, TStackMessages::kRowsDiffer);
    std::unique_ptr<TMap> result = TMapFrames::FrameCopy(maps[0]);
    const double noData = result->GetNoDataValue();
    const size_t columns = static_cast<size_t>(result->GetXDim());
    std::vector<char> lacking(columns);
    for (long y = 0; y < result->GetYDim(); ++y) {
        std::vector<double>& sums = result->GetRowRef(y);
        lacking.assign(columns, 0);
        // Added in list order; a cell where any map lacks data (by its own no-data value) is
        // no-data in the sum, whatever that map's marker is.
        for (size_t k = 0; k < maps.size(); ++k) {
            const std::vector<double>& row = maps[k]->GetRowRef(y);
            const double mapNoData = maps[k]->GetNoDataValue();
            for (size_t x = 0; x < columns; ++x) {
                if (row[x] == mapNoData) lacking[x] = 1;
                sums[x] = k == 0 ? row[x] : sums[x] + row[x];
            }
        }
        for (size_t x = 0; x < columns; ++x)
            if (lacking[x]) sums[x] = noData;
    }
    return result.release();
}

TMap* TMapTools::DataCounts(std::vector<TMap*> maps)
{
    if (maps.empty()) throw "No maps to count in TMapTools::DataCounts";
    RequireEqualDimensions(maps, "X-dimension of maps are inconsistent in TMapTools::DataCounts",
                           "Y-dimension of maps are inconsistent in TMapTools::DataCounts");
    std::unique_ptr<TMap> result = TMapFrames::FrameCopy(maps[0]);
    TMapFrames::FillCells(result.get(), [&maps](long x, long y) {
        double count = 0;
        for (TMap* map : maps)
            if (TMapFrames::CellOf(map, x, y) != map->GetNoDataValue()) count += 1;
        return count;
    });
    return result.release();
}

TMap* TMapTools::Divide(TMap* PtrDividend, TMap* PtrDivisor)
{
    if (PtrDividend->GetResolution() > PtrDivisor->GetResolution())
        throw "Divisor must be of equal of coarser resolution than the dividend in TMapTools::Divide";
    return TMapFrames::CombineAtCentres(PtrDividend, PtrDivisor,
                                        [](double numerator, double denominator) { return numerator / denominator; });
}

TMap* TMapTools::Average(std::vector<TMap*> maps)
{
    std::unique_ptr<TMap> sums(Sum(maps));
    std::unique_ptr<TMap> counts(DataCounts(maps));
    // Sums and counts share the first map's cells, so they pair by index; a cell is averaged where
    // every map holds data, which the count tells whatever value the sum happens to hold.
    std::unique_ptr<TMap> result = TMapFrames::BaseCopy(sums.get());
    const double all = static_cast<double>(maps.size());
    const double noData = result->GetNoDataValue();
    TMapFrames::FillCells(result.get(), [&](long x, long y) {
        const double count = TMapFrames::CellOf(counts.get(), x, y);
        return count == all ? TMapFrames::CellOf(sums.get(), x, y) / count : noData;
    });
    return result.release();
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
