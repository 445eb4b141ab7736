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

std::unique_ptr<TMap> TMapFrames::BaseCopy(TMap* source)
{
    if (!source->GetXAxis() || !source->GetYAxis()) throw TGridMessages::kAxesNotSet;
    // Init fills the cells with the no-data value as it makes them: one pass over the cells
    // instead of a fill with -9999 and a second with the no-data value.
    auto copy = std::make_unique<TMap>(source->GetResolution());
    copy->Init(source->GetResolution(), source->GetXDim(), source->GetYDim(), source->GetNoDataValue());
    copy->SetXAxis(source->GetXAxis());
    copy->SetYAxis(source->GetYAxis());
    return copy;
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
