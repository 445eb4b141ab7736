#include "files/TGridFileAverager.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TGridTextReader.h"
#include "grid/TMap.h"
#include "stats/TStackMessages.h"

#include <limits>
#include <memory>

namespace {

const char* const kNoCells = "File format error: ncols and nrows must be greater than 0";

// Adds a grid's values into the running sums; a value equal to that grid's no-data value marks
// the cell as lacking data with NaN, which no later addition can undo. Sums of finite values
// never become NaN (an infinity plus a finite value stays that infinity), so the mark is safe.
class TFoldSink {
public:
    TFoldSink(TMap* sums, double noData) : MbrPtrSums(sums), MbrDblNoData(noData) {}
    void BeginRow(long y) { MbrPtrRow = MbrPtrSums->GetRowRef(y).data(); }
    void Value(long x, double value)
    {
        double& sum = MbrPtrRow[x];
        sum = value == MbrDblNoData ? std::numeric_limits<double>::quiet_NaN() : sum + value;
    }
    void EndRow(long) {}

private:
    TMap* MbrPtrSums;
    double MbrDblNoData;
    double* MbrPtrRow = nullptr;
};

// Reads a grid only to find its load failures, once its dimensions already rule it out.
struct TCheckSink {
    void BeginRow(long) {}
    void Value(long, double) {}
    void EndRow(long) {}
};

template <class TOpen>
TMap* Fold(size_t count, TOpen open)
{
    if (count == 0) throw TStackMessages::kTooFewMaps;
    std::unique_ptr<TMap> sums;
    {
        std::unique_ptr<TByteSource> source = open(0);
        sums.reset(TGridTextReader(*source).ReadMap());
    }
    if (sums->GetXDim() == 0 || sums->GetYDim() == 0) throw kNoCells;
    const double firstNoData = sums->GetNoDataValue();
    for (long y = 0; y < sums->GetYDim(); ++y)
        for (double& value : sums->GetRowRef(y))
            if (value == firstNoData) value = std::numeric_limits<double>::quiet_NaN();

    const char* mismatch = nullptr;
    for (size_t k = 1; k < count; ++k) {
        std::unique_ptr<TByteSource> source = open(k);
        TGridTextReader reader(*source);
        const TGridHeader header = reader.ReadHeader();
        if (header.Columns == 0 || header.Rows == 0) throw kNoCells;
        if (!mismatch && header.Columns != sums->GetXDim())
            mismatch = TStackMessages::kColumnsDiffer;
        if (!mismatch && header.Rows != sums->GetYDim())
            mismatch = TStackMessages::kRowsDiffer;
        if (mismatch) {
            TCheckSink check;
            reader.ReadCells(header, check);
        } else {
            TFoldSink fold(sums.get(), header.NoData);
            reader.ReadCells(header, fold);
        }
    }
    if (count < 2) throw TStackMessages::kTooFewMaps;
    if (mismatch) throw mismatch;

    const double all = static_cast<double>(count);
    for (long y = 0; y < sums->GetYDim(); ++y)
        for (double& value : sums->GetRowRef(y)) value = value != value ? -9999 : value / all;
    sums->SetNoDataValue(-9999);
    // The mean lies on the first grid's cell centres, with edges derived from them, as a map
    // built from those centres has them.
    sums->SetXAxis(sums->GetXAxis());
    sums->SetYAxis(sums->GetYAxis());
    return sums.release();
}

}  // namespace

TMap* TGridFileAverager::AverageFiles(const std::vector<std::string>& names)
{
    return Fold(names.size(), [&names](size_t k) { return OpenGridSource(names[k]); });
}

TMap* TGridFileAverager::AverageStreams(const std::vector<std::istream*>& streams)
{
    return Fold(streams.size(), [&streams](size_t k) -> std::unique_ptr<TByteSource> {
        if (!*streams[k] || !streams[k]->rdbuf()) throw "File format error: expected to find ncols tag";
        return std::make_unique<TStreamSource>(streams[k]->rdbuf());
    });
}
