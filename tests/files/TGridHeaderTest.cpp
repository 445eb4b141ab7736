#include "files/TGridHeader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TGridHeader Header(double x, double y, double size, long columns = 10, long rows = 10)
{
    TGridHeader header;
    header.Columns = columns;
    header.Rows = rows;
    header.XllCorner = x;
    header.YllCorner = y;
    header.CellSize = size;
    return header;
}

std::string Named(const char* value) { return value ? value : "<none>"; }

}  // namespace

TEST(GridHeader, GeometryMatchesWithinAMillionthOfACell)
{
    // Cell size 0.5 and powers of two keep the differences exact: 2^-21 is just below a millionth
    // of the first header's cell, 2^-20 just above it.
    const double below = std::ldexp(1, -21), above = std::ldexp(1, -20);
    const TGridHeader first = Header(512, 1024, 0.5);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        TGridHeader Other;
        std::string Differs;
    };
    const TCase cases[] = {
        {Header(512, 1024, 0.5), "<none>"},
        {Header(512 + below, 1024 - below, 0.5 + below), "<none>"},
        {Header(512 + above, 1024, 0.5), "xllcorner"},
        {Header(512, 1024 - above, 0.5), "yllcorner"},
        {Header(512, 1024, 0.5 - above), "cellsize"},
        {Header(512 - above, 1024 + above, 0.5 + above), "xllcorner"},
        {Header(512, nan, 0.5), "yllcorner"},
        {Header(512, 1024, -0.5), "cellsize"},
    };
    for (const TCase& test : cases) EXPECT_EQ(Named(first.DifferingValue(test.Other)), test.Differs);
    // Exactly at the tolerance of a unit cell, and the next double beyond it.
    EXPECT_EQ(Named(Header(0, 0, 1).DifferingValue(Header(1e-6, -1e-6, 1))), "<none>");
    EXPECT_EQ(Named(Header(0, 0, 1).DifferingValue(Header(std::nextafter(1e-6, 1.0), 0, 1))), "xllcorner");
    // An export's rounding noise on a unit cell, and a real shift.
    EXPECT_EQ(Named(Header(33, 0, 1).DifferingValue(Header(33.000000001, 0, 1))), "<none>");
    EXPECT_EQ(Named(Header(33, 0, 1).DifferingValue(Header(33.00001, 0, 1))), "xllcorner");
    // The tolerance follows the cell size: the same shift is within a 30 m cell.
    EXPECT_EQ(Named(Header(33, 0, 30).DifferingValue(Header(33.00001, 0, 30))), "<none>");
}

TEST(GridHeader, UnusableGeoreferencingNamesTheValue)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        TGridHeader Header;
        std::string Value;
    };
    const TCase cases[] = {
        {Header(500000, 4100000, 30), "<none>"},
        {Header(-1e300, -1e300, 1e298, 100, 100), "<none>"},
        {Header(0, 0, -30), "cellsize"},
        {Header(0, 0, 0), "cellsize"},
        {Header(0, 0, inf), "cellsize"},
        {Header(0, 0, nan), "cellsize"},
        {Header(nan, 0, 1), "xllcorner"},
        {Header(0, -inf, 1), "yllcorner"},
        {Header(1e308, 0, 1e308, 2, 2), "xllcorner"},
        {Header(0, 1e308, 1e307, 1, 100), "yllcorner"},
    };
    for (const TCase& test : cases) EXPECT_EQ(Named(test.Header.UnusableValue()), test.Value);
}
