#pragma once

#include "picture/TColourRamp.h"
#include "picture/TQuickLookOptions.h"
#include "text/TByteSink.h"

#include <cstddef>
#include <string>
#include <memory>
#include <vector>

// The quick-look PNG picture of one grid, built from its cells as they are computed, in memory
// bounded by the picture (one float a pixel) and one row of block accumulators.
//
// One pixel a cell, north row at the top; a grid with a side longer than 2048 cells is reduced
// by the smallest whole factor f that brings both sides to at most 2048 pixels, each pixel the
// mean of the cells of its f x f block that hold data (partial blocks at the east and south
// edges), transparent where none does. Missing cells are transparent. A legend strip lies under
// the map; the picture is at least as wide as the legend, the map at its left.
class TQuickLook {
public:
    static constexpr long kMaxSide = 2048;

    // A picture of a grid of columns x rows cells. Throws "A picture needs at least one column
    // and one row in TQuickLook", "The colour range needs finite values, the first below the
    // second, in TQuickLook", and TColourRamp's message for an unknown ramp; std::bad_alloc.
    TQuickLook(long columns, long rows, const TQuickLookOptions& options);
    TQuickLook(const TQuickLook&) = delete;
    TQuickLook& operator=(const TQuickLook&) = delete;

    // The next `count` cells in the order of the grid file (north row first, west to east), in
    // runs of any length. A cell is missing where missing[c] != 0 (missing may be null) or its
    // value is not finite. Throws "More cells than the grid holds in TQuickLook".
    void Add(const double* values, const unsigned char* missing, size_t count);

    // The georeference the text chunks carry, once it is known (as TQuickLookOptions has it).
    void SetGeoreference(const std::string& StgXllCorner, const std::string& StgYllCorner,
                         const std::string& StgCellSize, const std::string& StgNoData);
    // Writes the whole PNG to the sink. Throws "Picture written before every cell was added in
    // TQuickLook", and what the sink throws.
    void Write(TByteSink& sink) const;

    // The block factor f (1 for a grid not reduced) and the map's size in pixels.
    long Factor() const { return MbrLngFactor; }
    long MapWidth() const { return MbrLngMapWidth; }
    long MapHeight() const { return MbrLngMapHeight; }

private:
    struct TColouring;
    void AddToBlocks(const double* values, const unsigned char* missing, size_t count, size_t column);
    void FinishBlockRow();
    TColouring Colouring() const;

    long MbrLngColumns;
    long MbrLngRows;
    long MbrLngFactor;
    long MbrLngMapWidth;
    long MbrLngMapHeight;
    TQuickLookOptions MbrOptions;
    TColourRamp MbrRamp;
    // The map's pixels, north row first; NaN where no data.
    std::unique_ptr<float[]> MbrPtrPixels;
    // For a reduced grid: the sums and counts of the cells with data in the blocks of the
    // current row of blocks.
    std::vector<double> MbrVecSums;
    std::vector<double> MbrVecCounts;
    // The cells on their way to the blocks: values where they hold data (0 elsewhere), and 1 or 0.
    std::vector<double> MbrVecData;
    std::vector<double> MbrVecHeld;
    size_t MbrSizAdded = 0;
    long MbrLngColumn = 0;
    long MbrLngRow = 0;
};
