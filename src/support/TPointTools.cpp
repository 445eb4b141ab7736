#include "support/TPointTools.h"

#include "grid/TPoint.h"
#include "support/TOwnership.h"

#include <cmath>
#include <memory>
#include <utility>

TPoint* TPointTools::Max(TPoint* PtrA, TPoint* PtrB)
{
    const double x = PtrB->GetX() > PtrA->GetX() ? PtrB->GetX() : PtrA->GetX();
    const double y = PtrB->GetY() > PtrA->GetY() ? PtrB->GetY() : PtrA->GetY();
    return new TPoint(x, y);
}

TPoint* TPointTools::Min(TPoint* PtrA, TPoint* PtrB)
{
    const double x = PtrA->GetX() > PtrB->GetX() ? PtrB->GetX() : PtrA->GetX();
    const double y = PtrA->GetY() > PtrB->GetY() ? PtrB->GetY() : PtrA->GetY();
    return new TPoint(x, y);
}

TPoint* TPointTools::FindCentroid(std::vector<TPoint*> VecPoints)
{
    double x = 0;
    double y = 0;
    for (TPoint* point : VecPoints) {
        x += point->GetX();
        y += point->GetY();
    }
    const double count = static_cast<double>(VecPoints.size());
    return new TPoint(x / count, y / count);
}

double TPointTools::Theta(TPoint* PtrA, TPoint* PtrB)
{
    const double dx = PtrA->GetX() - PtrB->GetX();
    const double dy = PtrA->GetY() - PtrB->GetY();
    // A quarter turn maps onto 1 unit of t, measured along the diamond |dx| + |dy| = 1 instead of
    // the circle, so no trigonometry is needed and the order of angles is kept.
    double t = (dx == 0 && dy == 0) ? 0 : dy / (std::fabs(dx) + std::fabs(dy));
    if (dx < 0) {
        t = 2 - t;
    } else if (dy < 0) {
        t = t + 4;
    }
    return t * 90;
}

double TPointTools::Heron(TPoint* PtrP, TPoint* PtrQ, TPoint* PtrR)
{
    const double d1 = PtrP->Distance(PtrQ);
    const double d2 = PtrP->Distance(PtrR);
    const double d3 = PtrQ->Distance(PtrR);
    const double s = (d1 + d2 + d3) * 0.5;
    return std::sqrt(s * (s - d1) * (s - d2) * (s - d3));
}

double TPointTools::FindConvexPolygonArea(std::vector<TPoint*> VecPoints)
{
    std::unique_ptr<TPoint> centroid(FindCentroid(VecPoints));
    double area = 0;
    for (size_t k = 1; k < VecPoints.size(); ++k) area += Heron(VecPoints[k], VecPoints[k - 1], centroid.get());
    return area;
}

std::vector<TPoint*> TPointTools::FindConvexHull(std::vector<TPoint*> VecPoints)
{
    const size_t n = VecPoints.size();
    if (n == 0) return {};

    // The work list borrows the caller's points; only the hull is copied out at the end. Slot n
    // holds the start point again, as the candidate that closes the hull.
    std::vector<TPoint*> work(VecPoints);
    size_t start = 0;
    for (size_t k = 1; k < n; ++k)
        if (work[k]->GetY() < work[start]->GetY()) start = k;
    work.push_back(work[start]);

    size_t chosen = start;
    size_t last = 0;
    double previous = 0;
    for (size_t m = 0;; ++m) {
        std::swap(work[m], work[chosen]);
        chosen = n;
        double best = 360;
        for (size_t j = m + 1; j <= n; ++j) {
            const double angle = Theta(work[j], work[m]);
            // Strict on both sides: the first of equal angles wins, and a turn of zero is refused.
            if (angle > previous && angle < best) {
                chosen = j;
                best = angle;
            }
        }
        if (chosen == n) {
            last = m;
            break;
        }
        previous = best;
    }

    std::vector<std::unique_ptr<TPoint>> copies;
    copies.reserve(last + 1);
    for (size_t k = 0; k <= last; ++k) copies.emplace_back(work[k]->Clone());
    return TOwnership::ReleaseAll(copies);
}
