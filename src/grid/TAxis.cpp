#include "grid/TAxis.h"

#include "grid/TGridMessages.h"
#include "grid/TPoint.h"

#include <algorithm>

namespace {

double Ordinate(const TPoint* point, char mode)
{
    if (point == nullptr) throw TGridMessages::kAxisPointNotSet;
    return mode == 'X' ? point->GetX() : point->GetY();
}

}  // namespace

TAxis::TAxis(double resolution) : MbrDblResolution(resolution) {}

TAxis::TAxis(double resolution, long size) : MbrDblResolution(resolution)
{
    if (size < 0) throw TGridMessages::kAxisSize;
    MbrVecPoints.resize(static_cast<size_t>(size));
}

TAxis::~TAxis() = default;

void TAxis::AddPoint(TPoint* point) { MbrVecPoints.emplace_back(point); }

TPoint* TAxis::GetPoint(long index)
{
    if (index < 0 || index >= GetSize()) throw TGridMessages::kAxisGetPointIndex;
    return MbrVecPoints[static_cast<size_t>(index)].get();
}

void TAxis::SetPoint(long index, TPoint* point)
{
    if (index < 0 || index >= GetSize()) throw TGridMessages::kAxisSetPointIndex;
    std::unique_ptr<TPoint>& slot = MbrVecPoints[static_cast<size_t>(index)];
    // Storing the point a slot already holds must not release it first.
    if (slot.get() != point) slot.reset(point);
}

double TAxis::GetOrdinate(long index, char mode) const
{
    if (index < 0 || index >= GetSize()) throw TGridMessages::kAxisGetPointIndex;
    return Ordinate(MbrVecPoints[static_cast<size_t>(index)].get(), mode);
}

long TAxis::FindSegment(double ordinate, char mode) const
{
    const long n = GetSize();
    if (n < 2) return -1;
    const double first = Ordinate(MbrVecPoints.front().get(), mode);
    const double last = Ordinate(MbrVecPoints.back().get(), mode);
    const double lo = std::min(first, last);
    const double hi = std::max(first, last);
    // Written so that a NaN ordinate fails the range test too.
    if (!(ordinate >= lo && ordinate <= hi)) return -1;

    double a = first;
    for (long i = 0; i + 1 < n; ++i) {
        const double b = Ordinate(MbrVecPoints[static_cast<size_t>(i + 1)].get(), mode);
        if (std::min(a, b) <= ordinate && ordinate < std::max(a, b)) return i;
        a = b;
    }
    // Only the upper end of the range lies in no half-open segment: it belongs to the segment
    // that this end bounds, so a boundary coordinate reads the cell along that boundary.
    if (last == hi) return n - 2;
    if (first == hi) return 0;
    return -1;
}

long TAxis::GetIndex(double ordinate, char mode)
{
    const long index = FindSegment(ordinate, mode);
    if (index < 0) throw TGridMessages::kOrdinateRange;
    return index;
}

TAxis* TAxis::GetSegment(long start, long end)
{
    if (start < 0 || start >= GetSize()) throw TGridMessages::kSegmentStart;
    if (end < 0 || end >= GetSize()) throw TGridMessages::kSegmentEnd;
    if (start > end) throw TGridMessages::kSegmentOrder;
    auto segment = std::make_unique<TAxis>(MbrDblResolution);
    segment->MbrVecPoints.reserve(static_cast<size_t>(end - start + 1));
    for (long i = start; i <= end; ++i) {
        TPoint* point = MbrVecPoints[static_cast<size_t>(i)].get();
        segment->MbrVecPoints.emplace_back(point ? point->Clone() : nullptr);
    }
    return segment.release();
}

TAxis* TAxis::GetSegment(TPoint* start, TPoint* end, char mode)
{
    const long startIndex = GetIndex(Ordinate(start, mode), mode);
    const long endIndex = GetIndex(Ordinate(end, mode), mode);
    return GetSegment(startIndex, endIndex);
}

TAxis* TAxis::Clone()
{
    auto copy = std::make_unique<TAxis>(MbrDblResolution);
    copy->MbrVecPoints.reserve(MbrVecPoints.size());
    for (const auto& point : MbrVecPoints) copy->MbrVecPoints.emplace_back(point ? point->Clone() : nullptr);
    return copy.release();
}
