#include "grid/TMap.h"

#include "grid/TAxis.h"
#include "grid/TAxisTools.h"
#include "grid/TPoint.h"

#include <cassert>

namespace {
const char* const kRowBounds = "Index is out of bounds in TMap::GetRow";
}

TMap::TMap(double resolution) : MbrDblResolution(resolution) {}

TMap::TMap(double resolution, long xDim, long yDim) : MbrDblResolution(resolution)
{
    Init(resolution, xDim, yDim, -9999);
}

TMap::TMap(TAxis* xAxis, TAxis* yAxis) : MbrDblResolution(0)
{
    if (!xAxis || !yAxis) throw "Map axes are not set in TMap";
    if (xAxis->GetResolution() != yAxis->GetResolution()) throw "Axes resolutions do not match in TMap::TMap";
    Init(xAxis->GetResolution(), xAxis->GetSize(), yAxis->GetSize(), -9999);
    SetXAxis(xAxis);
    SetYAxis(yAxis);
}

TMap::~TMap() = default;

void TMap::Init(double resolution, long xDim, long yDim, double noData)
{
    if (xDim < 0 || yDim < 0) throw "Dimension is out of range in TMap::Init";
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
    if (x < 0 || x >= MbrLngXDim) throw "X-ordinate is out of range in TMap::GetPointVal";
    if (y < 0 || y >= MbrLngYDim) throw "Y-ordinate is out of range in TMap::GetPointVal";
    return MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)];
}

void TMap::SetPoint(long x, long y, double value)
{
    if (x < 0 || x >= MbrLngXDim) throw "LngX is out of range in TMap::SetPoint (long,long)";
    if (y < 0 || y >= MbrLngYDim) throw "LngY is out of range in TMap::SetPoint (long,long)";
    MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)] = value;
}

void TMap::RequireAxes() const
{
    if (!MbrPtrXAxis || !MbrPtrYAxis || !MbrPtrXAxisInterval || !MbrPtrYAxisInterval)
        throw "Map axes are not set in TMap";
}

TPoint* TMap::GetCoordinates(long x, long y)
{
    RequireAxes();
    if (x < 0 || x >= MbrPtrXAxis->GetSize()) throw "LngX is out of range for the X-axis in TMap::GetCoordinates";
    if (y < 0 || y >= MbrPtrYAxis->GetSize()) throw "LngY is out of range for the Y-axis in TMap::GetCoordinates";
    return new TPoint(MbrPtrXAxis->GetOrdinate(x, 'X'), MbrPtrYAxis->GetOrdinate(y, 'Y'));
}

TMapPoint* TMap::GetPoint(long x, long y)
{
    if (x < 0 || x >= MbrLngXDim) throw "LngX is out of range in TMap::GetPoint (long,long)";
    if (y < 0 || y >= MbrLngYDim) throw "LngY is out of range in TMap::GetPoint (long,long)";
    std::unique_ptr<TPoint> centre(GetCoordinates(x, y));
    return new TMapPoint(centre->GetX(), centre->GetY(), GetPointVal(x, y));
}

std::vector<double> TMap::GetRow(long y) const { return GetRowRef(y); }

const std::vector<double>& TMap::GetRowRef(long y) const
{
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size())) throw kRowBounds;
    return MbrVecRows[static_cast<size_t>(y)];
}

std::vector<double>& TMap::GetRowRef(long y)
{
    if (y < 0 || y >= static_cast<long>(MbrVecRows.size())) throw kRowBounds;
    return MbrVecRows[static_cast<size_t>(y)];
}

void TMap::AddRow(std::vector<double> row)
{
    const long length = static_cast<long>(row.size());
    if (MbrVecRows.empty()) {
        MbrLngXDim = length;
    } else if (length != MbrLngXDim) {
        throw "Row length does not match the X dimension of the map in TMap::AddRow";
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

void TMap::LocateCell(TPoint* point, const char* xMessage, const char* yMessage, long& x, long& y)
{
    RequireAxes();
    x = MbrPtrXAxisInterval->GetIndex(point->GetX(), 'X');
    y = MbrPtrYAxisInterval->GetIndex(point->GetY(), 'Y');
    if (x < 0 || x >= MbrLngXDim) throw xMessage;
    if (y < 0 || y >= MbrLngYDim) throw yMessage;
}

double TMap::GetPointVal(TPoint* point)
{
    long x, y;
    LocateCell(point, "LngX is out of range in TMap::GetPointVal", "LngY is out of range in TMap::GetPointVal", x, y);
    return MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)];
}

TMapPoint* TMap::GetPoint(TPoint* point)
{
    long x, y;
    LocateCell(point, "LngX is out of range in TMap::GetPoint (TPoint*)", "LngY is out of range in TMap::GetPoint (TPoint*)",
               x, y);
    return new TMapPoint(point->GetX(), point->GetY(), MbrVecRows[static_cast<size_t>(y)][static_cast<size_t>(x)]);
}

void TMap::SetPoint(TPoint* point, double value)
{
    long x, y;
    LocateCell(point, "LngX is out of range in TMap::SetPoint (TPoint*)", "LngY is out of range in TMap::SetPoint (TPoint*)",
               x, y);
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
    if (axis->GetSize() != MbrLngXDim) throw "Length of new X axis does not match the X dimension of the map";
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(axis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(axis, 'X')), MbrLngXDim);
}

void TMap::SetYAxis(TAxis* axis)
{
    if (axis->GetSize() != MbrLngYDim) throw "Length of new Y axis does not match the Y dimension of the map";
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(axis->Clone()),
                std::unique_ptr<TAxis>(TAxisTools::PointsToIntervals(axis, 'Y')), MbrLngYDim);
}

void TMap::SetXAxisInterval(TAxis* axis)
{
    if (axis->GetSize() != MbrLngXDim + 1)
        throw "Length of new X interval axis does not fit the X dimension of the map";
    ReplaceAxes(MbrPtrXAxis, MbrPtrXAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(axis, 'X')),
                std::unique_ptr<TAxis>(axis->Clone()), MbrLngXDim);
}

void TMap::SetYAxisInterval(TAxis* axis)
{
    if (axis->GetSize() != MbrLngYDim + 1)
        throw "Length of new Y interval axis does not fit the Y dimension of the map";
    ReplaceAxes(MbrPtrYAxis, MbrPtrYAxisInterval, std::unique_ptr<TAxis>(TAxisTools::IntervalsToPoints(axis, 'Y')),
                std::unique_ptr<TAxis>(axis->Clone()), MbrLngYDim);
}
