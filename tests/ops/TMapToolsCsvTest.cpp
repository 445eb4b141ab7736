#include "ops/TMapTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

std::string CsvOf(TMap* map, const std::function<void(std::ostream&)>& configure = {})
{
    std::ostringstream stream;
    if (configure) configure(stream);
    TMapTools::WriteCSVFile(map, stream);
    return stream.str();
}

// Cell by cell through the map's own point lookup and the stream's own number output: the lines
// the writer must reproduce byte for byte.
std::string CsvByPoints(TMap* map, const std::function<void(std::ostream&)>& configure)
{
    std::ostringstream stream;
    configure(stream);
    for (long x = 0; x < map->GetXDim(); ++x) {
        for (long y = 0; y < map->GetYDim(); ++y) {
            std::unique_ptr<TMapPoint> point(map->GetPoint(x, y));
            stream << point->GetX() << ',' << point->GetY() << ',' << point->GetValue() << std::endl;
        }
    }
    return stream.str();
}

class TCommaNumbers : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
};

}  // namespace

TEST(CsvOutput, ColumnByColumnNorthToSouthAtCellCentres)
{
    // West edge 0, north edge 3, cell size 1: the north-west centre is (0.5, 2.5).
    auto map = MakeMap({{1, 2}, {3, 4}, {5, 6}});
    EXPECT_EQ(CsvOf(map.get()), "0.5,2.5,1\n"
                                "0.5,1.5,3\n"
                                "0.5,0.5,5\n"
                                "1.5,2.5,2\n"
                                "1.5,1.5,4\n"
                                "1.5,0.5,6\n");
}

TEST(CsvOutput, DefaultFormattingKeepsSixDigitsAndWritesNoData)
{
    auto map = MakeMap({{123456.75, -9999}, {0.1, 1e-7}}, 500000, 4000000, 0.5);
    EXPECT_EQ(CsvOf(map.get()), "500000,4e+06,123457\n"
                                "500000,4e+06,0.1\n"
                                "500001,4e+06,-9999\n"
                                "500001,4e+06,1e-07\n");
}

TEST(CsvOutput, FollowsTheCallersStreamFormatting)
{
    auto map = MakeMap({{1.0 / 3}}, 500000, 4000000, 0.5);
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s.precision(10); }), "500000.25,4000000.25,0.3333333333\n");
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s << std::fixed << std::setprecision(2); }),
              "500000.25,4000000.25,0.33\n");
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s << std::scientific << std::setprecision(3); }),
              "5.000e+05,4.000e+06,3.333e-01\n");
    // Settings the writer cannot reproduce itself go through the stream.
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s << std::showpos << std::setprecision(4); }),
              "+5e+05,+4e+06,+0.3333\n");
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s.imbue(std::locale(std::locale::classic(), new TCommaNumbers)); }),
              "500000,4e+06,0,333333\n");
    // A field width would pad the first number of the file alone; no field is padded.
    EXPECT_EQ(CsvOf(map.get(), [](std::ostream& s) { s << std::setw(12) << std::setfill('*'); }),
              "500000,4e+06,0.333333\n");
}

TEST(CsvOutput, SameBytesAsThePointByPointLines)
{
    auto descending = MakeMap({{-9999, 0.25, 1e-5}, {123456.789, -0.0, 7}}, -180.125, 33.3, 0.1, -9999);
    auto ascending = MakeMap({{1, 2}, {3, 4}, {5, 6}}, 2.5, 10, 0.25, -9999, true);
    const std::vector<std::function<void(std::ostream&)>> setups = {
        [](std::ostream&) {},
        [](std::ostream& s) { s.precision(17); },
        [](std::ostream& s) { s << std::fixed; },
        [](std::ostream& s) { s << std::hexfloat; },
        [](std::ostream& s) { s << std::uppercase << std::scientific << std::setprecision(2); },
        [](std::ostream& s) { s << std::showpoint; },
    };
    for (size_t i = 0; i < setups.size(); ++i) {
        EXPECT_EQ(CsvOf(descending.get(), setups[i]), CsvByPoints(descending.get(), setups[i])) << "setup " << i;
        EXPECT_EQ(CsvOf(ascending.get(), setups[i]), CsvByPoints(ascending.get(), setups[i])) << "setup " << i;
    }
}

TEST(CsvOutput, MapWithoutAxesWritesNothing)
{
    TMap bare(1, 2, 2);
    std::ostringstream stream;
    EXPECT_EQ(ThrownMessage([&] { TMapTools::WriteCSVFile(&bare, stream); }), "Map axes are not set in TMap");
    EXPECT_EQ(stream.str(), "");
}

TEST(CsvOutput, MapWithoutCellsWritesNothing)
{
    auto empty = MakeMap({});
    EXPECT_EQ(CsvOf(empty.get()), "");
}
