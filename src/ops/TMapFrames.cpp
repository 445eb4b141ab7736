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
    auto copy = std::make_unique<TMap>(source->GetResolution(), source->GetXDim(), source->GetYDim());
    copy->SetNoDataValue(source->GetNoDataValue());
    copy->InitValues(source->GetNoDataValue());
    copy->SetXAxis(source->GetXAxis());
    copy->SetYAxis(source->GetYAxis());
    return copy;
}
