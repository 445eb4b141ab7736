#pragma once

#include <memory>
#include <vector>

class TPoint;

// An ordered, owning sequence of points with a resolution (the cell size along the axis).
// A point axis holds one point per cell centre, an interval axis one point per cell edge.
// The mode character selects the coordinate: 'X' the x of each point, anything else the y.
class TAxis {
public:
    explicit TAxis(double DblResolution);
    // `LngSize` empty slots, to be filled with SetPoint. Throws "Size is out of range in TAxis::TAxis"
    // for a negative size.
    TAxis(double DblResolution, long LngSize);
    ~TAxis();

    TAxis(const TAxis&) = delete;
    TAxis& operator=(const TAxis&) = delete;

    long GetSize() const { return static_cast<long>(MbrVecPoints.size()); }
    double GetResolution() const { return MbrDblResolution; }

    // Appends the point; the axis takes ownership.
    void AddPoint(TPoint* PtrPoint);
    // The point in the slot, lent, not copied. Throws "Index is out of range in TAxis::GetPoint".
    TPoint* GetPoint(long LngIndex);
    // Releases the slot's point and stores the given one (the axis takes ownership).
    // Throws "Index is out of range in TAxis::SetPoint".
    void SetPoint(long LngIndex, TPoint* PtrPoint);

    // The index of the half-open segment between two consecutive points that holds the ordinate.
    // An ordinate equal to the upper end of the range yields the segment that end bounds.
    // Throws "Ordinate is out of range in TAxis::GetIndex" for an ordinate outside the range, NaN,
    // or an axis of fewer than two points.
    long GetIndex(double DblOrdinate, char ChrMode);

    // New axes (caller owns) holding clones of points LngStart..LngEnd inclusive. Throw
    // "Start index is out of range in TAxis::GetSegment", "End index is out of range in
    // TAxis::GetSegment" or "Start index is greater than end index in TAxis::GetSegment"; the point
    // form throws the messages of GetIndex first.
    TAxis* GetSegment(long LngStart, long LngEnd);
    TAxis* GetSegment(TPoint* PtrStart, TPoint* PtrEnd, char ChrMode);

    // A deep copy (caller owns) that keeps each point's dynamic type.
    TAxis* Clone();

    // What GetIndex returns, or -1 where GetIndex throws. Never throws for a filled axis;
    // an empty slot read on the way throws "Point is not set in TAxis".
    long FindSegment(double DblOrdinate, char ChrMode) const;
    // The selected coordinate of the point in the slot, read without lending the point.
    // Throws "Index is out of range in TAxis::GetPoint" or, for an empty slot,
    // "Point is not set in TAxis".
    double GetOrdinate(long LngIndex, char ChrMode) const;

private:
    double MbrDblResolution;
    std::vector<std::unique_ptr<TPoint>> MbrVecPoints;
};
