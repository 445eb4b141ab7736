#pragma once

#include "grid/TNoData.h"

#include <memory>
#include <string>
#include <vector>

class TAxis;
class TPoint;
class TMapPoint;

// A raster grid: rows of double values, a cell size, a no-data value and four axes.
// Column 0 is the west column, row 0 the north row; cell (x, y) is value x of row y.
// The map owns its four axes: point axes (cell centres) and interval axes (cell edges).
class TMap {
public:
    // An empty map: no rows, no axes, dimensions 0, no-data value -9999.
    explicit TMap(double DblResolution);
    // A grid of LngXDim columns by LngYDim rows, every cell -9999, no axes.
    TMap(double DblResolution, long LngXDim, long LngYDim);
    // A grid on copies of the given X and Y point axes (the caller keeps them), every cell -9999.
    // Throws "Axes resolutions do not match in TMap::TMap".
    TMap(TAxis* PtrXAxis, TAxis* PtrYAxis);
    ~TMap();

    TMap(const TMap&) = delete;
    TMap& operator=(const TMap&) = delete;

    // Resets the map to LngYDim rows of LngXDim copies of DblNoData, with no axes.
    // Throws "Dimension is out of range in TMap::Init" for a negative dimension.
    void Init(double DblResolution, long LngXDim, long LngYDim, double DblNoData);

    double GetResolution() const { return MbrDblResolution; }
    long GetXDim() const { return MbrLngXDim; }
    long GetYDim() const { return MbrLngYDim; }
    double GetNoDataValue() const { return MbrDblNoDataValue; }
    void SetNoDataValue(double DblNoData) { MbrDblNoDataValue = DblNoData; }
    // The map's own axes, lent (null until set).
    TAxis* GetXAxis() { return MbrPtrXAxis.get(); }
    TAxis* GetYAxis() { return MbrPtrYAxis.get(); }
    TAxis* GetXAxisInterval() { return MbrPtrXAxisInterval.get(); }
    TAxis* GetYAxisInterval() { return MbrPtrYAxisInterval.get(); }

    // Cells by index.
    // Throws "X-ordinate is out of range in TMap::GetPointVal", then "Y-ordinate ...".
    double GetPointVal(long LngX, long LngY) const;
    // Throws "LngX is out of range in TMap::SetPoint (long,long)", then "LngY ...".
    void SetPoint(long LngX, long LngY, double DblValue);
    // A new point (caller owns) at the cell centre. Throws "LngX is out of range for the X-axis in
    // TMap::GetCoordinates", then "LngY is out of range for the Y-axis in TMap::GetCoordinates".
    TPoint* GetCoordinates(long LngX, long LngY);
    // A new valued point (caller owns) at the cell centre with the cell's value.
    // Throws "LngX is out of range in TMap::GetPoint (long,long)", then "LngY ...".
    TMapPoint* GetPoint(long LngX, long LngY);
    // A copy of row LngY. Throws "Index is out of bounds in TMap::GetRow".
    std::vector<double> GetRow(long LngY) const;
    // Appends the row; the first row of a map without rows sets the X dimension. Throws "Row length
    // does not match the X dimension of the map in TMap::AddRow" for a row of another length.
    void AddRow(std::vector<double> VecRow);
    // Sets every cell to the value; the no-data value is not changed.
    void InitValues(double DblValue);

    // Row LngY itself, lent for fast loops over cells. Throws "Index is out of bounds in
    // TMap::GetRow".
    const std::vector<double>& GetRowRef(long LngY) const;
    std::vector<double>& GetRowRef(long LngY);

    // Cells by coordinate, through the interval axes.
    // Column index (mode 'X') or row index (any other mode) of the ordinate; throws the messages
    // of TAxis::GetIndex.
    long GetIndex(double DblOrdinate, char ChrMode);
    // Throws "LngX is out of range in TMap::GetPointVal", then "LngY ...".
    double GetPointVal(TPoint* PtrPoint);
    // A new valued point (caller owns) at the given point's coordinates with the cell's value.
    // Throws "LngX is out of range in TMap::GetPoint (TPoint*)", then "LngY ...".
    TMapPoint* GetPoint(TPoint* PtrPoint);
    // Throws "LngX is out of range in TMap::SetPoint (TPoint*)", then "LngY ..."; writes nothing then.
    void SetPoint(TPoint* PtrPoint, double DblValue);
    std::vector<double> GetPointValues(std::vector<TPoint*> VecPoints);
    // The operations by coordinate throw "Map axes are not set in TMap" on a map without axes.

    // The lookup by coordinate behind those operations, for callers that find many cells and
    // must fail exactly as the operation they stand for. Each access names its operation's
    // messages: GetPointVal(TPoint*), GetPoint(TPoint*) or SetPoint(TPoint*, double).
    enum class TCellAccess { GetPointVal, GetPoint, SetPoint };
    // Sets LngX and LngY to the column and row of the cell holding the point. Throws "Map axes are
    // not set in TMap", the messages of TAxis::GetIndex, then the access's "LngX is out of range
    // in TMap::..." and its LngY form; LngX and LngY are unchanged then.
    void LocateCell(TPoint* PtrPoint, TCellAccess EnmAccess, long& LngX, long& LngY);
    // What LocateCell throws once the interval axes gave column LngX and row LngY (-1 for an
    // ordinate outside its axis): "Ordinate is out of range in TAxis::GetIndex", then the access's
    // LngX message, then its LngY message; null when (LngX, LngY) is a cell of the map. Never
    // throws.
    const char* CellFailure(long LngX, long LngY, TCellAccess EnmAccess) const;

    // Axis setters: each stores a copy of the given axis (the caller keeps it) and derives the
    // partner axis of the same direction; on failure the map is left as it was.
    // Throw "Length of new X axis does not match the X dimension of the map" (and the Y form).
    void SetXAxis(TAxis* PtrAxis);
    void SetYAxis(TAxis* PtrAxis);
    // Throw "Length of new X interval axis does not fit the X dimension of the map" (and the Y form).
    void SetXAxisInterval(TAxis* PtrAxis);
    void SetYAxisInterval(TAxis* PtrAxis);

private:
    void RequireAxes() const;
    static void ReplaceAxes(std::unique_ptr<TAxis>& points, std::unique_ptr<TAxis>& intervals,
                            std::unique_ptr<TAxis> newPoints, std::unique_ptr<TAxis> newIntervals, long cells);

    double MbrDblResolution;
    long MbrLngXDim = 0;
    long MbrLngYDim = 0;
    std::vector<std::vector<double>> MbrVecRows;
    std::unique_ptr<TAxis> MbrPtrXAxis;
    std::unique_ptr<TAxis> MbrPtrYAxis;
    std::unique_ptr<TAxis> MbrPtrXAxisInterval;
    std::unique_ptr<TAxis> MbrPtrYAxisInterval;
    std::string MbrStgText;
    double MbrDblNoDataValue = TNoData::kDefault;
};
