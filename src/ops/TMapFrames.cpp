#include "ops/TMapFrames.h"

#include "grid/TAxis.h"
#include "grid/TGridMessages.h"

std::unique_ptr<TMap> TMapFrames::FrameCopy(TMap* source)
{
    return FrameOfRows(source, [](long, size_t columns) { return std::vector<double>(columns, kFrameNoData); });
}

std::unique_ptr<TMap> TMapFrames::EmptyFrame(TMap* source, long& rows)
{
    TAxis* xAxis = source->GetXAxis();
    TAxis* yAxis = source->GetYAxis();
    // The checks of TMap(TAxis*, TAxis*), which makes the same frame with its cells.
    if (!xAxis || !yAxis) throw TGridMessages::kAxesNotSet;
    if (xAxis->GetResolution() != yAxis->GetResolution()) throw TGridMessages::kAxesResolutions;
    auto map = std::make_unique<TMap>(xAxis->GetResolution());
    map->Init(xAxis->GetResolution(), xAxis->GetSize(), 0, kFrameNoData);
    rows = yAxis->GetSize();
    return map;
}

std::unique_ptr<TMap> TMapFrames::EmptyBase(TMap* source)
{
    if (!source->GetXAxis() || !source->GetYAxis()) throw TGridMessages::kAxesNotSet;
    auto map = std::make_unique<TMap>(source->GetResolution());
    map->Init(source->GetResolution(), source->GetXDim(), 0, source->GetNoDataValue());
    return map;
}

std::unique_ptr<TMap> TMapFrames::BaseCopy(TMap* source)
{
    const double noData = source->GetNoDataValue();
    return BaseOfRows(source, [noData](long, size_t columns) { return std::vector<double>(columns, noData); });
}

TCentreLookup TMapFrames::LookupAfterBaseCopy(TMap* base, TMap* other)
{
    try {
        return TCentreLookup(base, other);
    } catch (...) {
        // The copy's failure, if it has one, comes first; the copy costs no more memory than it
        // did when it was made before every lookup.
        BaseCopy(base);
        throw;
    }
}
