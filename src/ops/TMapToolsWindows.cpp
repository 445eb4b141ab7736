#include "ops/TMapTools.h"

#include "grid/TAxis.h"
#include "grid/TAxisLookup.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapFrames.h"
#include "support/TPointTools.h"

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

TMap* TMapTools::Extract(TMap* map, TPoint* corner, TPoint* oppositeCorner)
{
    const long column1 = map->GetIndex(corner->GetX(), 'X');
    const long row1 = map->GetIndex(corner->GetY(), 'Y');
    const long column2 = map->GetIndex(oppositeCorner->GetX(), 'X');
    const long row2 = map->GetIndex(oppositeCorner->GetY(), 'Y');
    const long west = std::min(column1, column2);
    const long east = std::max(column1, column2);
    const long north = std::min(row1, row2);
    const long south = std::max(row1, row2);

    std::unique_ptr<TAxis> xCentres(map->GetXAxis()->GetSegment(west, east));
    std::unique_ptr<TAxis> yCentres(map->GetYAxis()->GetSegment(north, south));
    auto part = std::make_unique<TMap>(xCentres.get(), yCentres.get());

    // The part keeps the no-data value -9999, so a source cell without data must become -9999
    // rather than carry the source's own marker in as a value.
    const double sourceNoData = map->GetNoDataValue();
    const double partNoData = part->GetNoDataValue();
    TMapFrames::FillCells(part.get(), [&](long x, long y) {
        const double value = map->GetRowRef(north + y)[static_cast<size_t>(west + x)];
        return value == sourceNoData ? partNoData : value;
    });
    return part.release();
}

void TMapTools::Intersection(TMap* first, TMap* second, TMap*& firstPart, TMap*& secondPart)
{
    TFrame a = FrameOf(first);
    TFrame b = FrameOf(second);
    AlignDirections(a, b, "Maps have opposite Y directions in TMapTools::Intersection");
    const bool descending = a.Descending;

    // Each map's window starts one of its own cells inside its first corner.
    const double stepA = descending ? -first->GetResolution() : first->GetResolution();
    const double stepB = descending ? -second->GetResolution() : second->GetResolution();
    TPoint insetA(a.FirstX + first->GetResolution(), a.FirstY + stepA);
    TPoint insetB(b.FirstX + second->GetResolution(), b.FirstY + stepB);
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

    std::unique_ptr<TMap> partA(Extract(first, &windowStart, &windowEnd));
    std::unique_ptr<TMap> partB(Extract(second, &windowStart, &windowEnd));
    firstPart = partA.release();
    secondPart = partB.release();
}

void TMapTools::Insert(TMap* destination, TMap* inserted)
{
    TFrame target = FrameOf(destination);
    TFrame source = FrameOf(inserted);
    AlignDirections(target, source, "Maps have opposite Y directions in TMapTools::Insert");

    // "Before" is the opposite of beyond: further in the direction from the last edge to the first.
    if (source.FirstX < target.FirstX || target.YBeyond(target.FirstY, source.FirstY))
        throw "Insert map's NW corner is outside of the destination map in TMapTools::Insert";
    if (source.LastX > target.LastX || target.YBeyond(source.LastY, target.LastY))
        throw "Insert map's SE corner is outside of the destination map in TMapTools::Insert";

    // A centre's column depends only on its x and its row only on its y: one lookup per inserted
    // column and row, made before anything is written.
    const TAxisLookup columnsOf(destination->GetXAxisInterval(), 'X');
    const TAxisLookup rowsOf(destination->GetYAxisInterval(), 'Y');
    TAxis* xCentres = inserted->GetXAxis();
    TAxis* yCentres = inserted->GetYAxis();
    const long columns = inserted->GetXDim();
    const long rows = inserted->GetYDim();
    std::vector<long> targetColumns(static_cast<size_t>(columns));
    std::vector<long> targetRows(static_cast<size_t>(rows));
    for (long x = 0; x < columns; ++x) targetColumns[static_cast<size_t>(x)] = columnsOf.Find(xCentres->GetOrdinate(x, 'X'));
    for (long y = 0; y < rows; ++y) targetRows[static_cast<size_t>(y)] = rowsOf.Find(yCentres->GetOrdinate(y, 'Y'));

    // Cell by cell, the first centre that cannot be placed is in row 0 if any column or row 0
    // fails, else in column 0 of the first failing row: checking those cells in that order finds
    // it with its own message (that of TMap::SetPoint(TPoint*, double)), and a failure leaves the
    // destination unchanged.
    const TMap::TCellAccess kWrite = TMap::TCellAccess::SetPoint;
    if (columns > 0 && rows > 0) {
        for (long x = 0; x < columns; ++x)
            if (const char* failure = destination->CellFailure(targetColumns[static_cast<size_t>(x)], targetRows[0], kWrite))
                throw failure;
        for (long y = 1; y < rows; ++y)
            if (const char* failure = destination->CellFailure(targetColumns[0], targetRows[static_cast<size_t>(y)], kWrite))
                throw failure;
    }

    // Row by row, so that where several inserted cells share a destination cell the one of the
    // greatest row, then the greatest column, remains.
    const double insertedNoData = inserted->GetNoDataValue();
    const double destinationNoData = destination->GetNoDataValue();
    for (long y = 0; y < rows; ++y) {
        const std::vector<double>& from = inserted->GetRowRef(y);
        std::vector<double>& to = destination->GetRowRef(targetRows[static_cast<size_t>(y)]);
        for (long x = 0; x < columns; ++x) {
            const double value = from[static_cast<size_t>(x)];
            to[static_cast<size_t>(targetColumns[static_cast<size_t>(x)])] =
                value == insertedNoData ? destinationNoData : value;
        }
    }
}

void TMapTools::FillBlock(TMap* map, double value, long firstRow, long lastRow, long firstColumn, long lastColumn)
{
    if (lastRow < firstRow) throw "Northern edge must be less than southern edge in TMapTools::FillBlock";
    if (lastColumn < firstColumn) throw "Western edge must be less than eastern edge in TMapTools::FillBlock";
    if (firstRow < 0 || firstRow >= map->GetYDim()) throw "Northern ordinate is out of range in TMapTools::FillBlock";
    if (lastRow < 0 || lastRow >= map->GetYDim()) throw "Southern ordinate is out of range in TMapTools::FillBlock";
    if (firstColumn < 0 || firstColumn >= map->GetXDim())
        throw "Western ordinate is out of range in TMapTools::FillBlock";
    if (lastColumn < 0 || lastColumn >= map->GetXDim())
        throw "Eastern ordinate is out of range in TMapTools::FillBlock";

    for (long y = firstRow; y <= lastRow; ++y) {
        std::vector<double>& row = map->GetRowRef(y);
        std::fill(row.begin() + firstColumn, row.begin() + lastColumn + 1, value);
    }
}

void TMapTools::BufferIndices(TMap* map, long margin, long& firstRow, long& lastRow, long& firstColumn,
                              long& lastColumn)
{
    firstColumn = std::max(SaturatedSubtract(firstColumn, margin), 0L);
    lastColumn = std::min(SaturatedAdd(lastColumn, margin), map->GetXDim() - 1);
    firstRow = std::max(SaturatedSubtract(firstRow, margin), 0L);
    lastRow = std::min(SaturatedAdd(lastRow, margin), map->GetYDim() - 1);
}
