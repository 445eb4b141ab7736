// Promises of the grid file tools that the reader and writer tests leave open.

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <sstream>

namespace {

std::string Rest(std::istream& in) { return std::string(std::istreambuf_iterator<char>(in.rdbuf()), {}); }

}  // namespace

TEST(GridFileTools, AStreamReadStopsRightAfterTheLastValue)
{
    const std::string header = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
    for (const std::string last : {"2", "-9999", "2.5e-3", "7."}) {
        for (const std::string after : {"\n", " \n\nnext", "\tnext grid", "\r\nncols 2", "\n\n\n"}) {
            const std::string text = header + "1 " + last + after;
            std::istringstream buffered(text);
            TTrickleBuffer bytes(text, 1);
            std::istream unbuffered(&bytes);
            for (std::istream* in : {static_cast<std::istream*>(&buffered), &unbuffered}) {
                std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(*in));
                EXPECT_EQ(map->GetPointVal(1, 0), std::stod(last));
                EXPECT_EQ(Rest(*in), after) << last;
            }
        }
    }
}

TEST(GridFileTools, FifteenDigitGeoreferencingIsWrittenBackExactly)
{
    TScratchDir dir;
    const std::string header = "ncols 2\nnrows 2\nxllcorner 512345.123456789\nyllcorner 4072345.98765432\n"
                               "cellsize 0.000277777777777778\nNODATA_value -9999\n";
    const std::string input = dir.Write("in.asc", header + "1 2 \n3 4 \n");
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(input));
    const std::string output = dir.Path("out.asc");
    TARCGISFileTools::WriteARCGISFile(map.get(), output);
    EXPECT_EQ(ReadText(output), ReadText(input));
}
