#pragma once

// The messages of TMapTools::Sum, also given by the command's averaging while it reads files,
// which must report exactly what Sum of the loaded maps would.
namespace TStackMessages {
inline constexpr const char* kTooFewMaps = "Must have more than 2 maps to sum in TMapTools::Sum";
inline constexpr const char* kColumnsDiffer = "X-dimension of maps are inconsistent in TMapTools::Sum";
inline constexpr const char* kRowsDiffer = "Y-dimension of maps are inconsistent in TMapTools::Sum";
}  // namespace TStackMessages
