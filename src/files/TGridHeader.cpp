#include "files/TGridHeader.h"

#include <cmath>

const char* TGridHeader::DifferingValue(const TGridHeader& other) const
{
    // Written as "not within" so that a NaN anywhere counts as a difference.
    const double tolerance = kGeometryTolerance * std::fabs(CellSize);
    auto within = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
    if (!within(XllCorner, other.XllCorner)) return "xllcorner";
    if (!within(YllCorner, other.YllCorner)) return "yllcorner";
    if (!within(CellSize, other.CellSize)) return "cellsize";
    return nullptr;
}

const char* TGridHeader::UnusableValue() const
{
    if (!(std::isfinite(CellSize) && CellSize > 0)) return "cellsize";
    // The edges are sums of one corner and many cells; their product form bounds them closely
    // enough to tell whether they stay finite.
    if (!std::isfinite(XllCorner) || !std::isfinite(XllCorner + static_cast<double>(Columns) * CellSize))
        return "xllcorner";
    if (!std::isfinite(YllCorner) || !std::isfinite(YllCorner + static_cast<double>(Rows) * CellSize))
        return "yllcorner";
    return nullptr;
}
