#include "ops/TMapFrames.h"

#include "grid/TGridMessages.h"

std::unique_ptr<TMap> TMapFrames::FrameCopy(TMap* source)
{
    if (!source->GetXAxis() || !source->GetYAxis()) throw TGridMessages::kAxesNotSet;
    return std::make_unique<TMap>(source->GetXAxis(), source->GetYAxis());
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
        // The copy's axes on maps without cells: the same failures, without the cells' memory.
        auto columns = std::make_unique<TMap>(base->GetResolution());
        auto rows = std::make_unique<TMap>(base->GetResolution());
        if (!base->GetXAxis() || !base->GetYAxis()) throw TGridMessages::kAxesNotSet;
        columns->Init(base->GetResolution(), base->GetXDim(), 0, base->GetNoDataValue());
        columns->SetXAxis(base->GetXAxis());
        rows->Init(base->GetResolution(), 0, base->GetYDim(), base->GetNoDataValue());
        rows->SetYAxis(base->GetYAxis());
        throw;
    }
}
