#pragma once

// The words of the ESRI ASCII grid format, named once for the reader and the writer: the header
// tags in their order, and the reader's messages that other roads to a grid report as well.
namespace TGridFormat {

inline constexpr const char* kNcols = "ncols";
inline constexpr const char* kNrows = "nrows";
inline constexpr const char* kXllCorner = "xllcorner";
inline constexpr const char* kYllCorner = "yllcorner";
inline constexpr const char* kCellSize = "cellsize";
inline constexpr const char* kNoData = "NODATA_value";
// The no-data tag's second accepted spelling.
inline constexpr const char* kNoDataLower = "nodata_value";

// The message of a grid that does not even start with its first tag: an empty or binary file, a
// stream that cannot be read.
inline constexpr const char* kNoNcolsTag = "File format error: expected to find ncols tag";
inline constexpr const char* kUnexpectedEndOfFile = "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile";

}  // namespace TGridFormat
