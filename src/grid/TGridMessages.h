#pragma once

// The messages of the grid model, each named once. The map operations that find cells through
// their own lookups report a failure with the message of the TMap or TAxis operation that the
// lookup stands for, so they take the text from here rather than writing it out again.
namespace TGridMessages {

// ---- TAxis ----------------------------------------------------------------------------------------
inline constexpr const char* kAxisSize = "Size is out of range in TAxis::TAxis";
inline constexpr const char* kAxisGetPointIndex = "Index is out of range in TAxis::GetPoint";
inline constexpr const char* kAxisSetPointIndex = "Index is out of range in TAxis::SetPoint";
inline constexpr const char* kAxisPointNotSet = "Point is not set in TAxis";
inline constexpr const char* kOrdinateRange = "Ordinate is out of range in TAxis::GetIndex";
inline constexpr const char* kSegmentStart = "Start index is out of range in TAxis::GetSegment";
inline constexpr const char* kSegmentEnd = "End index is out of range in TAxis::GetSegment";
inline constexpr const char* kSegmentOrder = "Start index is greater than end index in TAxis::GetSegment";

// ---- TMap: construction, rows and axes ------------------------------------------------------------
inline constexpr const char* kAxesNotSet = "Map axes are not set in TMap";
inline constexpr const char* kAxesResolutions = "Axes resolutions do not match in TMap::TMap";
inline constexpr const char* kInitDimension = "Dimension is out of range in TMap::Init";
inline constexpr const char* kRowIndex = "Index is out of bounds in TMap::GetRow";
inline constexpr const char* kRowLength = "Row length does not match the X dimension of the map in TMap::AddRow";
inline constexpr const char* kXAxisLength = "Length of new X axis does not match the X dimension of the map";
inline constexpr const char* kYAxisLength = "Length of new Y axis does not match the Y dimension of the map";
inline constexpr const char* kXIntervalLength = "Length of new X interval axis does not fit the X dimension of the map";
inline constexpr const char* kYIntervalLength = "Length of new Y interval axis does not fit the Y dimension of the map";

// ---- TMap: cells by index -------------------------------------------------------------------------
inline constexpr const char* kGetPointValX = "X-ordinate is out of range in TMap::GetPointVal";
inline constexpr const char* kGetPointValY = "Y-ordinate is out of range in TMap::GetPointVal";
inline constexpr const char* kSetPointX = "LngX is out of range in TMap::SetPoint (long,long)";
inline constexpr const char* kSetPointY = "LngY is out of range in TMap::SetPoint (long,long)";
inline constexpr const char* kGetCoordinatesX = "LngX is out of range for the X-axis in TMap::GetCoordinates";
inline constexpr const char* kGetCoordinatesY = "LngY is out of range for the Y-axis in TMap::GetCoordinates";
inline constexpr const char* kGetPointX = "LngX is out of range in TMap::GetPoint (long,long)";
inline constexpr const char* kGetPointY = "LngY is out of range in TMap::GetPoint (long,long)";

// ---- TMap: cells by coordinate (a column or row index outside the map) ----------------------------
inline constexpr const char* kPointValAtX = "LngX is out of range in TMap::GetPointVal";
inline constexpr const char* kPointValAtY = "LngY is out of range in TMap::GetPointVal";
inline constexpr const char* kPointAtX = "LngX is out of range in TMap::GetPoint (TPoint*)";
inline constexpr const char* kPointAtY = "LngY is out of range in TMap::GetPoint (TPoint*)";
inline constexpr const char* kSetPointAtX = "LngX is out of range in TMap::SetPoint (TPoint*)";
inline constexpr const char* kSetPointAtY = "LngY is out of range in TMap::SetPoint (TPoint*)";

}  // namespace TGridMessages
