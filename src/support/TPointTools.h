#pragma once

#include <vector>

class TPoint;

// Geometry on points: component-wise bounds, centroid, pseudo-angle, triangle and convex polygon
// areas, and the convex hull by package wrapping. Lists are passed by value and neither they nor
// their points are changed. None of these operations throws: degenerate input gives NaN values.
class TPointTools {
public:
    TPointTools() = delete;

    // A new point (caller owns) of the greater x and the greater y; on equal or incomparable
    // (NaN) coordinates the first point's is taken.
    static TPoint* Max(TPoint* PtrA, TPoint* PtrB);
    // A new point (caller owns) of the smaller x and the smaller y; ties and NaN as for Max.
    static TPoint* Min(TPoint* PtrA, TPoint* PtrB);
    // A new point (caller owns) at the mean of the coordinates; NaN coordinates for an empty list.
    static TPoint* FindCentroid(std::vector<TPoint*> VecPoints);
    // The pseudo-angle in [0, 360) of the direction in which PtrA lies as seen from PtrB: 0 east,
    // 90 north, 180 west, 270 south, exact at the axes and diagonals, monotonic in between.
    // 0 for equal points.
    static double Theta(TPoint* PtrA, TPoint* PtrB);
    // The area of the triangle pqr by Heron's formula; NaN when rounding makes it negative.
    static double Heron(TPoint* PtrP, TPoint* PtrQ, TPoint* PtrR);
    // The area of a convex polygon from its vertices in order, as triangles between consecutive
    // vertices and the centroid; the closing edge counts only when the list repeats the first
    // vertex at its end. 0 for an empty list or a single point.
    static double FindConvexPolygonArea(std::vector<TPoint*> VecPoints);
    // Copies (caller owns each) of the hull vertices by package wrapping: the lowest point first
    // (the first of equally low ones), then counterclockwise. A vertex level with the start point
    // and east of it is not taken, nor one further along an edge already taken; empty for an
    // empty list.
    static std::vector<TPoint*> FindConvexHull(std::vector<TPoint*> VecPoints);
};
