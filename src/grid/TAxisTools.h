#pragma once

class TAxis;

// Conversions between the two kinds of axis a map keeps per direction.
class TAxisTools {
public:
    TAxisTools() = delete;

    // A new interval axis (cell edges) from a point axis (cell centres); the caller owns it.
    // Edges start half a cell before the first centre and step by the resolution, descending
    // along y when the centres do. Throws "Index is out of range in TAxis::GetPoint" for an
    // empty axis.
    static TAxis* PointsToIntervals(TAxis* PtrAxis, char ChrMode);
    // A new point axis from an interval axis; the caller owns it. Each centre lies half a cell
    // east and half a cell south of the edge that begins its cell. The mode is not used.
    // Throws "Index is out of range in TAxis::GetPoint" for an empty axis.
    static TAxis* IntervalsToPoints(TAxis* PtrAxis, char ChrMode);
};
