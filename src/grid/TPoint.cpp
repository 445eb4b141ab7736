#include "grid/TPoint.h"

#include <cmath>

TPoint::TPoint(double x, double y) : MbrDblX(x), MbrDblY(y) {}

TPoint* TPoint::Clone() { return new TPoint(MbrDblX, MbrDblY); }

double TPoint::Distance(TPoint* other)
{
    double dx = MbrDblX - other->MbrDblX;
    double dy = MbrDblY - other->MbrDblY;
    return std::sqrt(dx * dx + dy * dy);
}

TMapPoint::TMapPoint(double x, double y, double value) : TPoint(x, y), MbrDblValue(value) {}

TPoint* TMapPoint::Clone() { return new TMapPoint(GetX(), GetY(), MbrDblValue); }
