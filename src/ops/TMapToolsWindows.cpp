#include "ops/TMapTools.h"

#include "grid/TAxis.h"
#include "grid/TAxisLookup.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapFrames.h"
#include "support/TPointTools.h"
#include "grid/TNoData.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A map's outline as its interval axes give it. The first corner is the first X edge and the
// first Y edge, the last corner the last ones; with Y edges descending they are the north-west
// and south-east corners.
struct TFrame {
    double FirstX, FirstY, LastX, LastY;
    bool Descending;
    bool SingleRow;  // at most one row: which Y edge comes first says nothing about orientation

    // "Beyond" is further in the direction from the first edge to the last.
    bool YBeyond(double y, double limit) const { return Descending ? y < limit : y > limit; }
};

TFrame FrameOf(TMap* map)
{
    TAxis* xEdges = map->GetXAxisInterval();
    TAxis* yEdges = map->GetYAxisInterval();
    if (!xEdges || !yEdges || !map->GetXAxis() || !map->GetYAxis()) throw TGridMessages::kAxesNotSet;
    TFrame frame;
    frame.FirstX = xEdges->GetOrdinate(0, 'X');
    frame.LastX = xEdges->GetOrdinate(xEdges->GetSize() - 1, 'X');
    frame.FirstY = yEdges->GetOrdinate(0, 'Y');
    frame.LastY = yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y');
    frame.Descending = frame.FirstY > frame.LastY;
    frame.SingleRow = yEdges->GetSize() < 3;
    return frame;
}

// Both frames read in one Y direction. A map of one row has no orientation of its own (a map
// built from a single row centre gets ascending edges), so it is read in its partner's direction;
// two maps of several rows running opposite ways are rejected with the caller's message.
void AlignDirections(TFrame& first, TFrame& second, const char* oppositeMessage)
{
    if (first.Descending == second.Descending) return;
    TFrame& turned = second.SingleRow ? second : first;
    if (!turned.SingleRow) throw oppositeMessage;
    const TFrame& guide = second.SingleRow ? first : second;
    std::swap(turned.FirstY, turned.LastY);
    turned.Descending = guide.Descending;
}

// a + b, held at the limits of long instead of overflowing.
long SaturatedAdd(long a, long b)
{
    if (b > 0 && a > std::numeric_limits<long>::max() - b) return std::numeric_limits<long>::max();
    if (b < 0 && a < std::numeric_limits<long>::min() - b) return std::numeric_limits<long>::min();
    return a + b;
}

// a - b, held at the limits of long instead of overflowing.
long SaturatedSubtract(long a, long b)
{
    if (b < 0 && a > std::numeric_limits<long>::max() + b) return std::numeric_limits<long>::max();
    if (b > 0 && a < std::numeric_limits<long>::min() + b) return std::numeric_limits<long>::min();
    return a - b;
}

}  // namespace

TMap* TMapTools::Extract(TMap* PtrMap, TPoint* PtrCorner, TPoint* PtrOppositeCorner)
{
    const long column1 = PtrMap->GetIndex(PtrCorner->GetX(), 'X');
    const long row1 = PtrMap->GetIndex(PtrCorner->GetY(), 'Y');
    const long column2 = PtrMap->GetIndex(PtrOppositeCorner->GetX(), 'X');
    const long row2 = PtrMap->GetIndex(PtrOppositeCorner->GetY(), 'Y');
    const long west = std::min(column1, column2);
    const long east = std::max(column1, column2);
    const long north = std::min(row1, row2);
    const long south = std::max(row1, row2);

    std::unique_ptr<TAxis> xCentres(PtrMap->GetXAxis()->GetSegment(west, east));
    std::unique_ptr<TAxis> yCentres(PtrMap->GetYAxis()->GetSegment(north, south));
    auto part = std::make_unique<TMap>(xCentres.get(), yCentres.get());

    // The part keeps the no-data value -9999, so a source cell without data must become -9999
    // rather than carry the source's own marker in as a value.
    const double sourceNoData = PtrMap->GetNoDataValue();
    const double partNoData = part->GetNoDataValue();
    TMapFrames::FillCells(part.get(), [&](long x, long y) {
        const double value = PtrMap->GetRowRef(north + y)[static_cast<size_t>(west + x)];
        return TNoData::Holds(value, sourceNoData) ? value : partNoData;
    });
    return part.release();
}

void TMapTools::Intersection(TMap* PtrFirst, TMap* PtrSecond, TMap*& PtrFirstPart, TMap*& PtrSecondPart)
{
    TFrame a = FrameOf(PtrFirst);
    TFrame b = FrameOf(PtrSecond);
    AlignDirections(a, b, "Maps have opposite Y directions in TMapTools::Intersection");
    const bool descending = a.Descending;

    // Each map's window starts one of its own cells inside its first corner.
    const double stepA = descending ? -PtrFirst->GetResolution() : PtrFirst->GetResolution();
    const double stepB = descending ? -PtrSecond->GetResolution() : PtrSecond->GetResolution();
    TPoint insetA(a.FirstX + PtrFirst->GetResolution(), a.FirstY + stepA);
    TPoint insetB(b.FirstX + PtrSecond->GetResolution(), b.FirstY + stepB);
    TPoint endA(a.LastX, a.LastY);
    TPoint endB(b.LastX, b.LastY);

    if (a.YBeyond(insetB.GetY(), endA.GetY()) || insetB.GetX() > endA.GetX() ||
        a.YBeyond(insetA.GetY(), endB.GetY()) || insetA.GetX() > endB.GetX())
        throw "Maps do not intersect in TMapTools::Intersection";

    std::unique_ptr<TPoint> greaterInset(TPointTools::Max(&insetA, &insetB));
    std::unique_ptr<TPoint> smallerInset(TPointTools::Min(&insetA, &insetB));
    std::unique_ptr<TPoint> greaterEnd(TPointTools::Max(&endA, &endB));
    std::unique_ptr<TPoint> smallerEnd(TPointTools::Min(&endA, &endB));
    // Along a descending Y the furthest inset is the lowest and the nearest end the highest.
    TPoint windowStart(greaterInset->GetX(), descending ? smallerInset->GetY() : greaterInset->GetY());
    TPoint windowEnd(smallerEnd->GetX(), descending ? greaterEnd->GetY() : smallerEnd->GetY());

    std::unique_ptr<TMap> partA(Extract(PtrFirst, &windowStart, &windowEnd));
    std::unique_ptr<TMap> partB(Extract(PtrSecond, &windowStart, &windowEnd));
    PtrFirstPart = partA.release();
    PtrSecondPart = partB.release();
}

void TMapTools::Insert(TMap* PtrDestination, TMap* PtrInserted)
{
    TFrame target = FrameOf(PtrDestination);
    TFrame source = FrameOf(PtrInserted);
    AlignDirections(target, source, "Maps have opposite Y directions in TMapTools::Insert");

    // "Before" is the opposite of beyond: further in the direction from the last edge to the first.
    if (source.FirstX < target.FirstX || target.YBeyond(target.FirstY, source.FirstY))
        throw "Insert map's NW corner is outside of the destination map in TMapTools::Insert";
    if (source.LastX > target.LastX || target.YBeyond(source.LastY, target.LastY))
        throw "Insert map's SE corner is outside of the destination map in TMapTools::Insert";

    // A centre's column depends only on its x and its row only on its y: one lookup per inserted
    // column and row, made before anything is written.
    const TAxisLookup columnsOf(PtrDestination->GetXAxisInterval(), 'X');
    const TAxisLookup rowsOf(PtrDestination->GetYAxisInterval(), 'Y');
    TAxis* xCentres = PtrInserted->GetXAxis();
    TAxis* yCentres = PtrInserted->GetYAxis();
    const long columns = PtrInserted->GetXDim();
    const long rows = PtrInserted->GetYDim();
    std::vector<long> targetColumns(static_cast<size_t>(columns));
    std::vector<long> targetRows(static_cast<size_t>(rows));
    for (long x = 0; x < columns; ++x) targetColumns[static_cast<size_t>(x)] = columnsOf.Find(xCentres->GetOrdinate(x, 'X'));
    for (long y = 0; y < rows; ++y) targetRows[static_cast<size_t>(y)] = rowsOf.Find(yCentres->GetOrdinate(y, 'Y'));

    // Cell by cell, the first centre that cannot be placed is in row 0 if any column or row 0
    // fails, else in column 0 of the first failing row: checking those cells in that order finds
    // it with its own message (that of TMap::SetPoint(TPoint*, double)), and a failure leaves the
    // destination unchanged.
    const TMap::TCellAccess bySetPoint = TMap::TCellAccess::SetPoint;
    if (columns > 0 && rows > 0) {
        for (long x = 0; x < columns; ++x)
            if (const char* failure =
                    PtrDestination->CellFailure(targetColumns[static_cast<size_t>(x)], targetRows[0], bySetPoint))
                throw failure;
        for (long y = 1; y < rows; ++y)
            if (const char* failure =
                    PtrDestination->CellFailure(targetColumns[0], targetRows[static_cast<size_t>(y)], bySetPoint))
                throw failure;
    }

    // Row by row, so that where several inserted cells share a destination cell the one of the
    // greatest row, then the greatest column, remains.
    const double insertedNoData = PtrInserted->GetNoDataValue();
    const double destinationNoData = PtrDestination->GetNoDataValue();
    for (long y = 0; y < rows; ++y) {
        const std::vector<double>& from = PtrInserted->GetRowRef(y);
        std::vector<double>& to = PtrDestination->GetRowRef(targetRows[static_cast<size_t>(y)]);
        for (long x = 0; x < columns; ++x) {
            const double value = from[static_cast<size_t>(x)];
            to[static_cast<size_t>(targetColumns[static_cast<size_t>(x)])] =
                TNoData::Holds(value, insertedNoData) ? value : destinationNoData;
        }
    }
}

void TMapTools::FillBlock(TMap* PtrMap, double DblValue, long LngNorthRow, long LngSouthRow, long LngWestColumn,
                          long LngEastColumn)
{
    if (LngSouthRow < LngNorthRow) throw "Northern edge must be less than southern edge in TMapTools::FillBlock";
    if (LngEastColumn < LngWestColumn) throw "Western edge must be less than eastern edge in TMapTools::FillBlock";
    if (LngNorthRow < 0 || LngNorthRow >= PtrMap->GetYDim())
        throw "Northern ordinate is out of range in TMapTools::FillBlock";
    if (LngSouthRow < 0 || LngSouthRow >= PtrMap->GetYDim())
        throw "Southern ordinate is out of range in TMapTools::FillBlock";
    if (LngWestColumn < 0 || LngWestColumn >= PtrMap->GetXDim())
        throw "Western ordinate is out of range in TMapTools::FillBlock";
    if (LngEastColumn < 0 || LngEastColumn >= PtrMap->GetXDim())
        throw "Eastern ordinate is out of range in TMapTools::FillBlock";

    for (long y = LngNorthRow; y <= LngSouthRow; ++y) {
        std::vector<double>& row = PtrMap->GetRowRef(y);
        std::fill(row.begin() + LngWestColumn, row.begin() + LngEastColumn + 1, DblValue);
    }
}

void TMapTools::BufferIndices(TMap* PtrMap, long LngMargin, long& LngNorthRow, long& LngSouthRow, long& LngWestColumn,
                              long& LngEastColumn)
{
    LngWestColumn = std::max(SaturatedSubtract(LngWestColumn, LngMargin), 0L);
    LngEastColumn = std::min(SaturatedAdd(LngEastColumn, LngMargin), PtrMap->GetXDim() - 1);
    LngNorthRow = std::max(SaturatedSubtract(LngNorthRow, LngMargin), 0L);
    LngSouthRow = std::min(SaturatedAdd(LngSouthRow, LngMargin), PtrMap->GetYDim() - 1);
}
