#pragma once

// The messages of a stack of grids, named once: TMapTools::Sum gives them for maps in memory,
// and the readers that average files while reading must report exactly what Sum would.
namespace TStackMessages {
inline constexpr const char* kTooFewMaps = "Must have more than 2 maps to sum in TMapTools::Sum";
inline constexpr const char* kColumnsDiffer = "X-dimension of maps are inconsistent in TMapTools::Sum";
inline constexpr const char* kRowsDiffer = "Y-dimension of maps are inconsistent in TMapTools::Sum";
}  // namespace TStackMessages
