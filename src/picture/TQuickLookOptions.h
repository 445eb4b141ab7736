#pragma once

#include <string>

// How a quick-look picture of a grid is coloured and what it records of the grid.
struct TQuickLookOptions {
    // One of TColourRamp::Names(), or empty for the statistic's default (TColourRamp::DefaultName).
    std::string Ramp;
    // Values about 0 (slopes, differences): the default ramp is then the diverging one. A diverging
    // ramp, chosen or by default, is centred on 0 (see TQuickLook).
    bool Signed = false;
    // Whole numbers (counts, input numbers): pixels holding at most 16 distinct values get one
    // colour each, with a labelled swatch each in the legend.
    bool WholeNumbers = false;
    // The ramp spans [RangeLow, RangeHigh] (finite, RangeLow < RangeHigh) as given, instead of
    // the 2nd to the 98th percentile of the pixels holding data.
    bool HasRange = false;
    double RangeLow = 0;
    double RangeHigh = 0;
    // The statistic's name, for the legend and a text chunk.
    std::string Statistic;
    // The georeference as the grid's header writes it, for text chunks (an empty one is left out).
    std::string XllCorner;
    std::string YllCorner;
    std::string CellSize;
    std::string NoDataValue;
};
