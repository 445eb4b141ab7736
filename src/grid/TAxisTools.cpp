#include "grid/TAxisTools.h"

#include "grid/TAxis.h"
#include "grid/TPoint.h"

#include <cmath>
#include <memory>

TAxis* TAxisTools::PointsToIntervals(TAxis* PtrAxis, char ChrMode)
{
    const long n = PtrAxis->GetSize();
    const double firstX = PtrAxis->GetOrdinate(0, 'X');
    const double firstY = PtrAxis->GetOrdinate(0, 'Y');
    const double lastY = PtrAxis->GetOrdinate(n - 1, 'Y');
    const double r = PtrAxis->GetResolution();
    const double h = r * 0.5;
    const double x0 = firstX - h;
    double y0;
    double yStep;
    if (firstY > lastY) {
        y0 = firstY + h;
        yStep = ChrMode == 'Y' ? -r : r;
    } else {
        y0 = firstY - h;
        yStep = r;
    }

    // Edges advance by repeated addition, so they match edges built the same way elsewhere.
    auto intervals = std::make_unique<TAxis>(r);
    double x = x0;
    double y = y0;
    for (long k = 0; k <= n; ++k) {
        if (ChrMode == 'X') {
            intervals->AddPoint(new TPoint(x, y0));
            x += r;
        } else {
            intervals->AddPoint(new TPoint(x0, y));
            y += yStep;
        }
    }
    return intervals.release();
}

TAxis* TAxisTools::IntervalsToPoints(TAxis* PtrAxis, char /*ChrMode*/)
{
    auto points = std::make_unique<TAxis>(PtrAxis->GetResolution());
    const long n = PtrAxis->GetSize();
    double ax = PtrAxis->GetOrdinate(0, 'X');
    PtrAxis->GetOrdinate(n - 1, 'X');  // an empty slot at the end fails before anything is built
    double ay = PtrAxis->GetOrdinate(0, 'Y');
    for (long i = 0; i + 1 < n; ++i) {
        const double bx = PtrAxis->GetOrdinate(i + 1, 'X');
        const double by = PtrAxis->GetOrdinate(i + 1, 'Y');
        points->AddPoint(new TPoint(ax + std::fabs(bx - ax) / 2, ay - std::fabs(by - ay) / 2));
        ax = bx;
        ay = by;
    }
    return points.release();
}
