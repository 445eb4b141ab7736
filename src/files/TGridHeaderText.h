#pragma once

#include <string>

// The text of an ESRI ASCII grid header as the writers write it: dimensions in decimal, the
// corners (right-aligned in 8 characters) and the cell size with 15 significant digits, so that
// a UTM corner keeps its centimetres.
class TGridHeaderText {
public:
    TGridHeaderText() = delete;

    // The ncols, nrows, xllcorner, yllcorner and cellsize lines, each ended by a line break.
    static std::string Geometry(long columns, long rows, double xllCorner, double yllCorner, double cellSize);
    // A corner or cell size as the header shows it: 15 significant digits, no padding.
    static std::string GeoNumber(double value);
    // The value in general notation (%g) with six significant digits, or as many more as it needs
    // to read back exactly (-9999 for -9999, 500000.01 for 500000.01).
    static std::string ExactNumber(double value);
};
