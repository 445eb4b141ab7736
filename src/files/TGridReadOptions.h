#pragma once

// How the grid reader treats header styles and values beyond the strict form it reads by default.
struct TGridReadOptions {
    // Accepts, besides the strict form: keywords in any case; the header entries in any order,
    // each at most once; xllcenter/yllcenter for the corners; no NODATA_value entry (no-data is
    // then -9999); dx and dy in place of cellsize when equal; nan (any case, optional sign) as the
    // no-data value or as a cell value; a decimal comma in a number. See TGridTextReader.
    bool Lenient = false;
};
