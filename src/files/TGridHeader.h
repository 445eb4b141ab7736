#pragma once

#include "grid/TNoData.h"

// The six header entries of an ESRI ASCII grid, as read: the corner is the lower-left corner of
// the grid (a centre given in the file has been moved by half a cell already).
struct TGridHeader {
    long Columns = 0;
    long Rows = 0;
    double XllCorner = 0;
    double YllCorner = 0;
    double CellSize = 0;
    double NoData = TNoData::kDefault;

    // Relative to a cell: corners and cell sizes that differ by no more than this part of this
    // header's cell size are the same.
    static constexpr double kGeometryTolerance = 1e-6;

    // Null when `other` has this header's corners and cell size to within kGeometryTolerance of
    // this header's cell size; else the name of the first value that differs: "xllcorner",
    // "yllcorner" or "cellsize" (in that order). Values that are not finite never match.
    const char* DifferingValue(const TGridHeader& other) const;

    // Null when the georeferencing is usable; else the name of the first offending header value:
    // "cellsize" when it is not a positive finite number, "xllcorner" or "yllcorner" when a corner
    // or the opposite edge (corner + ncols or nrows times cellsize) is not finite.
    const char* UnusableValue() const;
};
