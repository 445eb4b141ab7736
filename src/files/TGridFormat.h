#pragma once

// The words of the ESRI ASCII grid format, named once for the reader and the writer: the header
// tags in their order, and the reader's messages that other roads to a grid report as well.
class TGridFormat {
public:
    TGridFormat() = delete;

    static constexpr const char* kNcols = "ncols";
    static constexpr const char* kNrows = "nrows";
    static constexpr const char* kXllCorner = "xllcorner";
    static constexpr const char* kYllCorner = "yllcorner";
    static constexpr const char* kCellSize = "cellsize";
    static constexpr const char* kNoData = "NODATA_value";
    // The no-data tag's second accepted spelling.
    static constexpr const char* kNoDataLower = "nodata_value";

    // The message of a grid that does not even start with its first tag: an empty or binary file, a
    // stream that cannot be read.
    static constexpr const char* kNoNcolsTag = "File format error: expected to find ncols tag";
    static constexpr const char* kUnexpectedEndOfFile =
        "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile";
};
