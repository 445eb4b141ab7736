#pragma once

#include "files/TGridTextReader.h"

#include <cstdint>

// The georeferencing of a stack's result grid, found from the first input's header with the very
// arithmetic a map built from that grid's cell centres uses (edges summed one cell at a time, the
// centres halfway between them, the result's edges derived back from the centres), but without
// building one point per edge. The sums run over every row, so the work is done in slices
// (Advance) that the caller interleaves with reading: a header that claims far more rows than
// its file holds is caught by the reader before the sums are done. A run of sums that no longer
// changes the value is cut short.
class TStackGeometry {
public:
    explicit TStackGeometry(const TGridHeader& first);

    // Does up to `steps` more additions; true once the geometry is known.
    bool Advance(uint64_t steps);
    bool Done() const { return MbrIntPhase == kDone; }

    // Known once Done().
    double XllCorner() const { return MbrDblXll; }
    double YllCorner() const { return MbrDblSouth; }
    double CellSize() const { return MbrDblCellSize; }
    // True when the result's Y edges ascend, so that its rows are written last row first.
    bool RowsReversed() const { return MbrBlnReversed; }
    // Whether the rows can be reversed at all; when false, RowsReversed() will be false, which is
    // known before the sums are done (the only grids that reverse have sums that never move).
    bool MayReverse() const { return MbrBlnMayReverse; }

private:
    enum { kInputEdges, kOutputEdges, kDone };
    void FinishInputEdges();

    double MbrDblCellSize;
    long MbrLngRows;
    double MbrDblXll = 0;
    double MbrDblSouth = 0;
    bool MbrBlnReversed = false;
    bool MbrBlnMayReverse = false;
    int MbrIntPhase = kInputEdges;

    // The walk in progress: the current value, the index it belongs to, and the step.
    double MbrDblY = 0;
    long MbrLngIndex = 0;
    double MbrDblStep = 0;
    // The input's edges at rows 0, 1, n - 1 and n (north to south), and the result's first edge.
    double MbrDblEdge0 = 0;
    double MbrDblEdge1 = 0;
    double MbrDblEdgeLast1 = 0;
    double MbrDblEdgeLast = 0;
    double MbrDblOut0 = 0;
};
