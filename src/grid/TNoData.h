#pragma once

// The no-data rule of the grid model, named once for the maps, the map operations and the
// statistics over stacks.
class TNoData {
public:
    TNoData() = delete;

    // The no-data value of every new map, of the maps the operations make, and of a grid file
    // without a NODATA_value entry.
    static constexpr double kDefault = -9999;

    // Whether a cell holds data: its value differs from its map's no-data value. The comparison
    // is exact, so a NaN cell holds data (NaN equals nothing), as maps in memory have it; with
    // nanIsMissing, as in files where NaN marks missing data, a NaN cell lacks data too.
    // Always inlined: the vectorised loops that use it are compiled with options of their own,
    // across which GCC would not inline it otherwise.
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    static inline bool Holds(double value, double noData, bool nanIsMissing = false)
    {
        return value != noData && (!nanIsMissing || value == value);
    }
};
