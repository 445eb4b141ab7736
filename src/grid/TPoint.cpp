#include "grid/TPoint.h"

#include <cmath>

TPoint::TPoint(double DblX, double DblY) : MbrDblX(DblX), MbrDblY(DblY) {}

TPoint* TPoint::Clone() { return new TPoint(MbrDblX, MbrDblY); }

double TPoint::Distance(TPoint* PtrOther)
{
    double dx = MbrDblX - PtrOther->MbrDblX;
    double dy = MbrDblY - PtrOther->MbrDblY;
    return std::sqrt(dx * dx + dy * dy);
}

TMapPoint::TMapPoint(double DblX, double DblY, double DblValue) : TPoint(DblX, DblY), MbrDblValue(DblValue) {}

TPoint* TMapPoint::Clone() { return new TMapPoint(GetX(), GetY(), MbrDblValue); }
