#include "grid/TMap.h"

#include "grid/TAxis.h"
#include "grid/TAxisTools.h"
#include "grid/TGridMessages.h"
#include "grid/TPoint.h"

#include <cassert>

using namespace TGridMessages;

TMap::TMap(double resolution) : MbrDblResolution(resolution) {}

TMap::TMap(double resolution, long xDim, long yDim) : MbrDblResolution(resolution)
{
    Init(resolution, xDim, yDim, -9999);
}

TMap::TMap(TAxis* xAxis, TAxis* yAxis) : MbrDblResolution(0)
{
    if (!xAxis || !yAxis) throw kAxesNotSet;
    if (xAxis->GetResolution() != yAxis->GetResolution()) throw kAxesResolutions;
    Init(xAxis->GetResolution(), xAxis->GetSize(), yAxis->GetSize(), -9999);
    SetXAxis(xAxis);
    SetYAxis(yAxis);
}

TMap::~TMap() = default;

void TMap::Init(double resolution, long xDim, long yDim, double noData)
{
    if (xDim < 0 || yDim < 0) throw kInitDimension;
    // Row by row: a map without rows allocates nothing, whatever its X dimension.
    std::vector<std::vector<double>> rows;
    rows.reserve(static_cast<size_t>(yDim));
    for (long y = 0; y < yDim; ++y) rows.emplace_back(static_cast<size_t>(xDim), noData);
    MbrDblResolution = resolution;
    MbrLngXDim = xDim;
    MbrLngYDim = yDim;
    MbrDblNoDataValue = noData;
    MbrVecRows.swap(rows);
    MbrPtrXAxis.reset();
    MbrPtrYAxis.reset();
    MbrPtrXAxisInterval.reset();
    MbrPtrYAxisInterval.reset();
}

double TMap::GetPointVal(long x, long y) const
{
    if (x < 0 || x >= MbrLngXDim) throw kGetPointValX;
    if (y < 0 || y >= MbrLngYDim) throw kGetPointValY;
    return MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)];
}

void TMap::SetPoint(long x, long y, double value)
{
    if (x < 0 || x >= MbrLngXDim) throw kSetPointX;
    if (y < 0 || y >= MbrLngYDim) throw kSetPointY;
    MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)] = value;
}

void TMap::RequireAxes() const
{
    if (!MbrPtrXAxis || !MbrPtrYAxis || !MbrPtrXAxisInterval || !MbrPtrYAxisInterval)
        throw kAxesNotSet;
}

TPoint* TMap::GetCoordinates(long x, long y)
{
    RequireAxes();
    if (x < 0 || x >= MbrPtrXAxis->GetSize()) throw kGetCoordinatesX;
    if (y < 0 || y >= MbrPtrYAxis->GetSize()) throw kGetCoordinatesY;
    return new TPoint(MbrPtrXAxis->GetOrdinate(x, 'X'), MbrPtrYAxis->GetOrdinate(y, 'Y'));
}

TMapPoint* TMap::GetPoint(long x, long y)
{
    if (x < 0 || x >= MbrLngXDim) throw kGetPointX;
    if (y < 0 || y >= MbrLngYDim) throw kGetPointY;
    std::unique_ptr<TPoint> centre(GetCoordinates(x, y));
    return new TMapPoint(centre->GetX(), centre->GetY(), GetPointVal(x, y));
}

std::vector<double> TMap::GetRow(long y) const { return GetRowRef(y); }

const std::vector<double>& TMap::GetRowRef(long y) const
{
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size())) throw kRowIndex;
    return MbrVecRows[static_cast<size_t>(y)];
}

std::vector<double>& TMap::GetRowRef(long y)
{
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size())) throw kRowIndex;
    return MbrVecRows[static_cast<size_t>(y)];
}

void TMap::AddRow(std::vector<double> row)
{
    const long length = static_cast<long>(row.size());
    if (MbrVecRows.empty()) {
        MbrLngXDim = length;
    } else if (length != MbrLngXDim) {
        throw kRowLength;
    }
    MbrVecRows.push_back(std::move(row));
    ++MbrLngYDim;
}

void TMap::InitValues(double value)
{
    for (auto& row : MbrVecRows) row.assign(row.size(), value);
}

long TMap::GetIndex(double ordinate, char mode)
{
    RequireAxes();
    if (mode == 'X') return MbrPtrXAxisInterval->GetIndex(ordinate, 'X');
    return MbrPtrYAxisInterval->GetIndex(ordinate, mode);
}

const char* TMap::CellFailure(long x, long y, TCellAccess access) const
{
    if (x < 0 || y < 0) return kOrdinateRange;
    if (x >= MbrLngXDim) {
        if (access == TCellAccess::GetPointVal) return kPointValAtX;
        return access == TCellAccess::GetPoint ? kPointAtX : kSetPointAtX;
    }
    if (y >= MbrLngYDim) {
        if (access == TCellAccess::GetPointVal) return kPointValAtY;
        return access == TCellAccess::GetPoint ? kPointAtY : kSetPointAtY;
    }
    return nullptr;
}

void TMap::LocateCell(TPoint* point, TCellAccess access, long& x, long& y)
{
    RequireAxes();
    // Both lookups come before the range checks, and either may throw first.
    const long column = MbrPtrXAxisInterval->GetIndex(point->GetX(), 'X');
    const long row = MbrPtrYAxisInterval->GetIndex(point->GetY(), 'Y');
    if (const char* failure = CellFailure(column, row, access)) throw failure;
    x = column;
    y = row;
}

double TMap::GetPointVal(TPoint* point)
{
    long x, y;
    LocateCell(point, TCellAccess::GetPointVal, x, y);
    return MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)];
}

TMapPoint* TMap::GetPoint(TPoint* point)
{
    long x, y;
    LocateCell(point, TCellAccess::GetPoint, x, y);
    return new TMapPoint(point->GetX(), point->GetY(), MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)]);
}

void TMap::SetPoint(TPoint* point, double value)
{
    long x, y;
    LocateCell(point, TCellAccess::SetPoint, x, y);
    MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)] = value;
}

std::vector<double> TMap::GetPointValues(std::vector<TPoint*> points)
{
    std::vector<double> values;
    values.reserve(points.size());
    for (TPoint* point : points) values.push_back(GetPointVal(point));
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

void TMap::SetXAxis(TAxis* axis)
{
    if (axis->GetSize() != MbrLngXDim) throw kXAxisLength;
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(axis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(axis, 'X')), MbrLngXDim);
}

void TMap::SetYAxis(TAxis* axis)
{
    if (axis->GetSize() != MbrLngYDim) throw kYAxisLength;
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(axis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(axis, 'Y')), MbrLngYDim);
}

void TMap::SetXAxisInterval(TAxis* axis)
{
    if (axis->GetSize() != MbrLngXDim + 1)
        throw kXIntervalLength;
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(axis, 'X')),
                std::unique_ptr<TAxis>(axis->Clone()), MbrLngXDim);
}

void TMap::SetYAxisInterval(TAxis* axis)
{
    if (axis->GetSize() != MbrLngYDim + 1)
        throw kYIntervalLength;
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(axis, 'Y')),
                std::unique_ptr<TAxis>(axis->Clone()), MbrLngYDim);
}
