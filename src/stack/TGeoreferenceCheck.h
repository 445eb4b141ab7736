#pragma once

#include "files/TGridHeader.h"

#include <cstddef>
#include <string>
#include <vector>

// The checks of the inputs' georeferencing, header by header in input order:
// - unusable values (with `refuseUnusable`): a cell size that is not a positive finite number,
//   "File format error: cellsize -30 is not a positive finite number", or a corner or the edge
//   opposite it that is not finite, "File format error: xllcorner 1e+308 with ncols 3 and
//   cellsize 1e+308 puts an edge beyond the range of numbers" (or the yllcorner form with nrows);
// - with `checkGeometry`, every input must match the first in corners and cell size to within a
//   millionth of a cell ("Geometry differs: NAME has xllcorner X, FIRST has Y"), and in its
//   projection file beside it where both have one ("Geometry differs: NAME has another coordinate
//   system (NAME.prj) than FIRST"), whose reading fails with TProjectionFiles' messages.
// Names come from `names` (file inputs; their .prj files are compared) or, where it is empty, are
// "input 1", "input 2", ... without projection files.
class TGeoreferenceCheck {
public:
    TGeoreferenceCheck(bool refuseUnusable, bool checkGeometry, const std::vector<std::string>& names);

    // Throws the first fault of input `input`'s header, as above.
    void Check(size_t input, const TGridHeader& header);

private:
    void CheckGeometry(size_t input, const TGridHeader& header);
    std::string NameOf(size_t input) const;

    bool MbrBlnRefuseUnusable;
    bool MbrBlnCheckGeometry;
    const std::vector<std::string>& MbrRefNames;
    TGridHeader MbrFirst;
    std::string MbrStgProjection;  // the first input's projection text
    bool MbrBlnProjection = false; // whether the first input has one
};
