#include "stack/TStackGeometry.h"

#include <algorithm>
#include <cassert>
#include <cmath>

TStackGeometry::TStackGeometry(const TGridHeader& first) : MbrDblCellSize(first.CellSize), MbrLngRows(first.Rows)
{
    assert(first.Rows >= 1);
    const double size = first.CellSize;
    // The west edges of the first two columns, the first centre halfway between them, and the
    // result's west edge half a cell west of that centre.
    const double west = first.XllCorner;
    const double next = west + size;
    const double centre = west + std::fabs(next - west) / 2;
    MbrDblXll = centre - size * 0.5;

    // The input's Y edges are summed from the south edge northwards.
    MbrDblY = first.YllCorner;
    MbrLngIndex = MbrLngRows;
    MbrDblStep = size;
    MbrDblEdgeLast = MbrDblY;
    if (MbrLngRows == 1) MbrDblEdge1 = MbrDblY;

    // Rows can come out reversed only when the cell size is tiny beside the coordinates (a cell
    // of a few units in the last place), zero, or not finite: otherwise every sum moves the edge
    // by far more than a rounding, the centres fall strictly between their edges, and the
    // result's edges descend like the input's.
    const double rows = static_cast<double>(MbrLngRows);
    const double reach = std::fabs(first.YllCorner) + rows * std::fabs(size);
    const bool coarse = std::isfinite(size) && size != 0 && std::isfinite(reach) && std::fabs(size) * 2147483648.0 >= reach;
    MbrBlnMayReverse = MbrLngRows >= 2 && !coarse;
}

bool TStackGeometry::Advance(uint64_t steps)
{
    while (MbrIntPhase != kDone && steps > 0) {
        if (MbrLngIndex == 0) {
            if (MbrIntPhase == kInputEdges) {
                FinishInputEdges();
            } else {
                MbrDblSouth = std::min(MbrDblOut0, MbrDblY);
                MbrBlnReversed = MbrLngRows > 1 && MbrDblOut0 < MbrDblY;
                MbrIntPhase = kDone;
            }
            continue;
        }
        const double next = MbrDblY + MbrDblStep;
        if (next == MbrDblY || MbrDblY != MbrDblY) {
            // The sum no longer moves (or is NaN): every edge still to come is this one.
            if (MbrIntPhase == kInputEdges) {
                if (MbrLngIndex > MbrLngRows - 1) MbrDblEdgeLast1 = MbrDblY;
                if (MbrLngIndex > 1) MbrDblEdge1 = MbrDblY;
                MbrDblEdge0 = MbrDblY;
            }
            MbrLngIndex = 0;
            continue;
        }
        MbrDblY = next;
        --MbrLngIndex;
        --steps;
        if (MbrIntPhase == kInputEdges) {
            if (MbrLngIndex == MbrLngRows - 1) MbrDblEdgeLast1 = MbrDblY;
            if (MbrLngIndex == 1) MbrDblEdge1 = MbrDblY;
            if (MbrLngIndex == 0) MbrDblEdge0 = MbrDblY;
        }
    }
    return MbrIntPhase == kDone;
}

void TStackGeometry::FinishInputEdges()
{
    // The centres of the first and last rows, halfway between their edges; then the result's
    // edges from its first centre, one cell at a time, northwards first unless the centres ascend.
    const double first = MbrDblEdge0 - std::fabs(MbrDblEdge1 - MbrDblEdge0) / 2;
    const double last = MbrDblEdgeLast1 - std::fabs(MbrDblEdgeLast - MbrDblEdgeLast1) / 2;
    const double size = MbrDblCellSize;
    const double half = size * 0.5;
    if (first > last) {
        MbrDblOut0 = first + half;
        MbrDblStep = -size;
    } else {
        MbrDblOut0 = first - half;
        MbrDblStep = size;
    }
    MbrDblY = MbrDblOut0;
    MbrLngIndex = MbrLngRows;
    MbrIntPhase = kOutputEdges;
}
