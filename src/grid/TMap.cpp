#include "grid/TMap.h"

#include "grid/TAxis.h"
#include "grid/TAxisTools.h"
#include "grid/TGridMessages.h"
#include "grid/TPoint.h"
#include "grid/TNoData.h"

#include <cassert>

using namespace TGridMessages;

TMap::TMap(double DblResolution) : MbrDblResolution(DblResolution) {}

TMap::TMap(double DblResolution, long LngXDim, long LngYDim) : MbrDblResolution(DblResolution)
{
    Init(DblResolution, LngXDim, LngYDim, TNoData::kDefault);
}

TMap::TMap(TAxis* PtrXAxis, TAxis* PtrYAxis) : MbrDblResolution(0)
{
    if (!PtrXAxis || !PtrYAxis) throw kAxesNotSet;
    if (PtrXAxis->GetResolution() != PtrYAxis->GetResolution()) throw kAxesResolutions;
    Init(PtrXAxis->GetResolution(), PtrXAxis->GetSize(), PtrYAxis->GetSize(), TNoData::kDefault);
    SetXAxis(PtrXAxis);
    SetYAxis(PtrYAxis);
}

TMap::~TMap() = default;

void TMap::Init(double DblResolution, long LngXDim, long LngYDim, double DblNoData)
{
    if (LngXDim < 0 || LngYDim < 0) throw kInitDimension;
    // Row by row: a map without rows allocates nothing, whatever its X dimension.
    std::vector<std::vector<double>> rows;
    rows.reserve(static_cast<size_t>(LngYDim));
    for (long y = 0; y < LngYDim; ++y) rows.emplace_back(static_cast<size_t>(LngXDim), DblNoData);
    MbrDblResolution = DblResolution;
    MbrLngXDim = LngXDim;
    MbrLngYDim = LngYDim;
    MbrDblNoDataValue = DblNoData;
    MbrVecRows.swap(rows);
    MbrPtrXAxis.reset();
    MbrPtrYAxis.reset();
    MbrPtrXAxisInterval.reset();
    MbrPtrYAxisInterval.reset();
}

double TMap::GetPointVal(long LngX, long LngY) const
{
    if (LngX < 0 || LngX >= MbrLngXDim) throw kGetPointValX;
    if (LngY < 0 || LngY >= MbrLngYDim) throw kGetPointValY;
    return MbrVecRows[static_cast<size_t>(LngY)][static_cast<size_t>(LngX)];
}

void TMap::SetPoint(long LngX, long LngY, double DblValue)
{
    if (LngX < 0 || LngX >= MbrLngXDim) throw kSetPointX;
    if (LngY < 0 || LngY >= MbrLngYDim) throw kSetPointY;
    MbrVecRows[static_cast<size_t>(LngY)][static_cast<size_t>(LngX)] = DblValue;
}

void TMap::RequireAxes() const
{
    if (!MbrPtrXAxis || !MbrPtrYAxis || !MbrPtrXAxisInterval || !MbrPtrYAxisInterval)
        throw kAxesNotSet;
}

TPoint* TMap::GetCoordinates(long LngX, long LngY)
{
    RequireAxes();
    if (LngX < 0 || LngX >= MbrPtrXAxis->GetSize()) throw kGetCoordinatesX;
    if (LngY < 0 || LngY >= MbrPtrYAxis->GetSize()) throw kGetCoordinatesY;
    return new TPoint(MbrPtrXAxis->GetOrdinate(LngX, 'X'), MbrPtrYAxis->GetOrdinate(LngY, 'Y'));
}

TMapPoint* TMap::GetPoint(long LngX, long LngY)
{
    if (LngX < 0 || LngX >= MbrLngXDim) throw kGetPointX;
    if (LngY < 0 || LngY >= MbrLngYDim) throw kGetPointY;
    std::unique_ptr<TPoint> centre(GetCoordinates(LngX, LngY));
    return new TMapPoint(centre->GetX(), centre->GetY(), GetPointVal(LngX, LngY));
}

std::vector<double> TMap::GetRow(long LngY) const { return GetRowRef(LngY); }

const std::vector<double>& TMap::GetRowRef(long LngY) const
{
    if (LngY < 0 || LngY >= static_cast<long>(MbrVecRows.size())) throw kRowIndex;
    return MbrVecRows[static_cast<size_t>(LngY)];
}

std::vector<double>& TMap::GetRowRef(long LngY)
{
    if (LngY < 0 || LngY >= static_cast<long>(MbrVecRows.size())) throw kRowIndex;
    return MbrVecRows[static_cast<size_t>(LngY)];
}

void TMap::AddRow(std::vector<double> VecRow)
{
    const long length = static_cast<long>(VecRow.size());
    if (MbrVecRows.empty()) {
        MbrLngXDim = length;
    } else if (length != MbrLngXDim) {
        throw kRowLength;
    }
    MbrVecRows.push_back(std::move(VecRow));
    ++MbrLngYDim;
}

void TMap::InitValues(double DblValue)
{
    for (auto& row : MbrVecRows) row.assign(row.size(), DblValue);
}

long TMap::GetIndex(double DblOrdinate, char ChrMode)
{
    RequireAxes();
    if (ChrMode == 'X') return MbrPtrXAxisInterval->GetIndex(DblOrdinate, 'X');
    return MbrPtrYAxisInterval->GetIndex(DblOrdinate, ChrMode);
}

const char* TMap::CellFailure(long LngX, long LngY, TCellAccess EnmAccess) const
{
    if (LngX < 0 || LngY < 0) return kOrdinateRange;
    if (LngX >= MbrLngXDim) {
        if (EnmAccess == TCellAccess::GetPointVal) return kPointValAtX;
        return EnmAccess == TCellAccess::GetPoint ? kPointAtX : kSetPointAtX;
    }
    if (LngY >= MbrLngYDim) {
        if (EnmAccess == TCellAccess::GetPointVal) return kPointValAtY;
        return EnmAccess == TCellAccess::GetPoint ? kPointAtY : kSetPointAtY;
    }
    return nullptr;
}

void TMap::LocateCell(TPoint* PtrPoint, TCellAccess EnmAccess, long& LngX, long& LngY)
{
    RequireAxes();
    // Both lookups come before the range checks, and either may throw first.
    const long column = MbrPtrXAxisInterval->GetIndex(PtrPoint->GetX(), 'X');
    const long row = MbrPtrYAxisInterval->GetIndex(PtrPoint->GetY(), 'Y');
    if (const char* failure = CellFailure(column, row, EnmAccess)) throw failure;
    LngX = column;
    LngY = row;
}

double TMap::GetPointVal(TPoint* PtrPoint)
{
    long x, y;
    LocateCell(PtrPoint, TCellAccess::GetPointVal, x, y);
    return MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)];
}

TMapPoint* TMap::GetPoint(TPoint* PtrPoint)
{
    long x, y;
    LocateCell(PtrPoint, TCellAccess::GetPoint, x, y);
    return new TMapPoint(PtrPoint->GetX(), PtrPoint->GetY(),
                         MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)]);
}

void TMap::SetPoint(TPoint* PtrPoint, double DblValue)
{
    long x, y;
    LocateCell(PtrPoint, TCellAccess::SetPoint, x, y);
    MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)] = DblValue;
}

std::vector<double> TMap::GetPointValues(std::vector<TPoint*> VecPoints)
{
    std::vector<double> values;
    values.reserve(VecPoints.size());
    for (TPoint* point : VecPoints) values.push_back(GetPointVal(point));
    return values;
}

void TMap::ReplaceAxes(std::unique_ptr<TAxis>& points, std::unique_ptr<TAxis>& intervals,
                       std::unique_ptr<TAxis> newPoints, std::unique_ptr<TAxis> newIntervals, long cells)
{
    // Both new axes exist before either old one is released, so a failed conversion changes nothing.
    points = std::move(newPoints);
    intervals = std::move(newIntervals);
    assert(points->GetSize() == cells && intervals->GetSize() == cells + 1);
    (void)cells;
}

void TMap::SetXAxis(TAxis* PtrAxis)
{
    if (PtrAxis->GetSize() != MbrLngXDim) throw kXAxisLength;
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(PtrAxis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(PtrAxis, 'X')), MbrLngXDim);
}

void TMap::SetYAxis(TAxis* PtrAxis)
{
    if (PtrAxis->GetSize() != MbrLngYDim) throw kYAxisLength;
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(PtrAxis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(PtrAxis, 'Y')), MbrLngYDim);
}

void TMap::SetXAxisInterval(TAxis* PtrAxis)
{
    if (PtrAxis->GetSize() != MbrLngXDim + 1)
        throw kXIntervalLength;
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(PtrAxis, 'X')),
                std::unique_ptr<TAxis>(PtrAxis->Clone()), MbrLngXDim);
}

void TMap::SetYAxisInterval(TAxis* PtrAxis)
{
    if (PtrAxis->GetSize() != MbrLngYDim + 1)
        throw kYIntervalLength;
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(PtrAxis, 'Y')),
                std::unique_ptr<TAxis>(PtrAxis->Clone()), MbrLngYDim);
}
