#pragma once

// A 2-D point, and a point that carries the value of a map cell.
// Points live on the heap and are owned by whoever holds the pointer (usually a TAxis).
class TPoint {
public:
    TPoint(double DblX, double DblY);
    virtual ~TPoint() = default;

    double GetX() const { return MbrDblX; }
    double GetY() const { return MbrDblY; }
    void SetX(double DblX) { MbrDblX = DblX; }
    void SetY(double DblY) { MbrDblY = DblY; }

    // A new point of the same dynamic type and coordinates; the caller owns it.
    virtual TPoint* Clone();

    // Euclidean distance to the other point.
    double Distance(TPoint* PtrOther);

protected:
    TPoint(const TPoint&) = default;
    TPoint& operator=(const TPoint&) = default;

private:
    double MbrDblX;
    double MbrDblY;
};

class TMapPoint : public TPoint {
public:
    TMapPoint(double DblX, double DblY, double DblValue = 0);

    double GetValue() const { return MbrDblValue; }
    void SetValue(double DblValue) { MbrDblValue = DblValue; }

    // A new TMapPoint with the same coordinates and value; the caller owns it.
    TPoint* Clone() override;

private:
    double MbrDblValue;
};
