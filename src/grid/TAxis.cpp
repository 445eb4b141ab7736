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

TAxis::TAxis(double DblResolution) : MbrDblResolution(DblResolution) {}

TAxis::TAxis(double DblResolution, long LngSize) : MbrDblResolution(DblResolution)
{
    if (LngSize < 0) throw TGridMessages::kAxisSize;
    MbrVecPoints.resize(static_cast<size_t>(LngSize));
}

TAxis::~TAxis() = default;

void TAxis::AddPoint(TPoint* PtrPoint) { MbrVecPoints.emplace_back(PtrPoint); }

TPoint* TAxis::GetPoint(long LngIndex)
{
    if (LngIndex < 0 || LngIndex >= GetSize()) throw TGridMessages::kAxisGetPointIndex;
    return MbrVecPoints[static_cast<size_t>(LngIndex)].get();
}

void TAxis::SetPoint(long LngIndex, TPoint* PtrPoint)
{
    if (LngIndex < 0 || LngIndex >= GetSize()) throw TGridMessages::kAxisSetPointIndex;
    std::unique_ptr<TPoint>& slot = MbrVecPoints[static_cast<size_t>(LngIndex)];
    // Storing the point a slot already holds must not release it first.
    if (slot.get() != PtrPoint) slot.reset(PtrPoint);
}

double TAxis::GetOrdinate(long LngIndex, char ChrMode) const
{
    if (LngIndex < 0 || LngIndex >= GetSize()) throw TGridMessages::kAxisGetPointIndex;
    return Ordinate(MbrVecPoints[static_cast<size_t>(LngIndex)].get(), ChrMode);
}

long TAxis::FindSegment(double DblOrdinate, char ChrMode) const
{
    const long n = GetSize();
    if (n < 2) return -1;
    const double first = Ordinate(MbrVecPoints.front().get(), ChrMode);
    const double last = Ordinate(MbrVecPoints.back().get(), ChrMode);
    const double lo = std::min(first, last);
    const double hi = std::max(first, last);
    // Written so that a NaN ordinate fails the range test too.
    if (!(DblOrdinate >= lo && DblOrdinate <= hi)) return -1;

    double a = first;
    for (long i = 0; i + 1 < n; ++i) {
        const double b = Ordinate(MbrVecPoints[static_cast<size_t>(i + 1)].get(), ChrMode);
        if (std::min(a, b) <= DblOrdinate && DblOrdinate < std::max(a, b)) return i;
        a = b;
    }
    // Only the upper end of the range lies in no half-open segment: it belongs to the segment
    // that this end bounds, so a boundary coordinate reads the cell along that boundary.
    if (last == hi) return n - 2;
    if (first == hi) return 0;
    return -1;
}

long TAxis::GetIndex(double DblOrdinate, char ChrMode)
{
    const long index = FindSegment(DblOrdinate, ChrMode);
    if (index < 0) throw TGridMessages::kOrdinateRange;
    return index;
}

TAxis* TAxis::GetSegment(long LngStart, long LngEnd)
{
    if (LngStart < 0 || LngStart >= GetSize()) throw TGridMessages::kSegmentStart;
    if (LngEnd < 0 || LngEnd >= GetSize()) throw TGridMessages::kSegmentEnd;
    if (LngStart > LngEnd) throw TGridMessages::kSegmentOrder;
    auto segment = std::make_unique<TAxis>(MbrDblResolution);
    segment->MbrVecPoints.reserve(static_cast<size_t>(LngEnd - LngStart + 1));
    for (long i = LngStart; i <= LngEnd; ++i) {
        TPoint* point = MbrVecPoints[static_cast<size_t>(i)].get();
        segment->MbrVecPoints.emplace_back(point ? point->Clone() : nullptr);
    }
    return segment.release();
}

TAxis* TAxis::GetSegment(TPoint* PtrStart, TPoint* PtrEnd, char ChrMode)
{
    const long startIndex = GetIndex(Ordinate(PtrStart, ChrMode), ChrMode);
    const long endIndex = GetIndex(Ordinate(PtrEnd, ChrMode), ChrMode);
    return GetSegment(startIndex, endIndex);
}

TAxis* TAxis::Clone()
{
    auto copy = std::make_unique<TAxis>(MbrDblResolution);
    copy->MbrVecPoints.reserve(MbrVecPoints.size());
    for (const auto& point : MbrVecPoints) copy->MbrVecPoints.emplace_back(point ? point->Clone() : nullptr);
    return copy.release();
}
