#include "files/TARCGISFileTools.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include "TestSupport.h"
#include "TestProcess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <limits>
#include <memory>
#include <sstream>
#include <thread>

namespace {

const char* const kEnd = "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile";

std::unique_ptr<TMap> Load(const std::string& text)
{
    std::istringstream in(text);
    return std::unique_ptr<TMap>(TARCGISFileTools::LoadARCGISFile(in));
}

std::string LoadMessage(const std::string& text)
{
    return ThrownMessage([&] { Load(text); });
}

std::string Header(const std::string& cols = "2", const std::string& rows = "1", const std::string& nodata = "-9999")
{
    return "ncols " + cols + "\nnrows " + rows + "\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value " + nodata + "\n";
}

std::vector<double> Ordinates(TAxis* axis, char mode)
{
    std::vector<double> values;
    for (long i = 0; i < axis->GetSize(); ++i) values.push_back(axis->GetOrdinate(i, mode));
    return values;
}

long PeakKilobytes()
{
#ifdef _WIN32
    return OwnPeakKilobytes();
#else
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

}  // namespace

TEST(GridReader, BuildsEdgesFromCornerAndCellSize)
{
    auto map = Load("ncols 4\nnrows 3\nxllcorner 10\nyllcorner 20\ncellsize 2\nNODATA_value -1\n"
                    "1 2 3 4\n5 6 7 8\n9 10 11 12\n");
    EXPECT_EQ(map->GetXDim(), 4);
    EXPECT_EQ(map->GetYDim(), 3);
    EXPECT_EQ(map->GetResolution(), 2);
    EXPECT_EQ(map->GetNoDataValue(), -1);
    EXPECT_EQ(CellsOf(map.get()), (TRows{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}));
    EXPECT_EQ(Ordinates(map->GetYAxisInterval(), 'Y'), (std::vector<double>{26, 24, 22, 20}));
    EXPECT_EQ(Ordinates(map->GetXAxisInterval(), 'X'), (std::vector<double>{10, 12, 14, 16, 18}));
    EXPECT_EQ(Ordinates(map->GetXAxisInterval(), 'Y'), (std::vector<double>{26, 26, 26, 26, 26}));
    EXPECT_EQ(Ordinates(map->GetXAxis(), 'X'), (std::vector<double>{11, 13, 15, 17}));
    EXPECT_EQ(Ordinates(map->GetYAxis(), 'Y'), (std::vector<double>{25, 23, 21}));
    EXPECT_EQ(map->GetXAxis()->GetResolution(), 2);
}

TEST(GridReader, LayoutOverLinesDoesNotMatter)
{
    const TRows expected{{1.5, -2}, {3e2, 4}};
    EXPECT_EQ(CellsOf(Load("ncols 2 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1.5 -2 3e2 4").get()),
              expected);
    EXPECT_EQ(CellsOf(Load("ncols\t2\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\nNODATA_value -9999\r\n"
                           "1.5 -2\r\n3e2\r\n\r\n 4\r\n")
                          .get()),
              expected);
    // A GDAL AAIGrid file: padded header, rows starting with a blank, float corners.
    auto gdal = Load("ncols        2\nnrows        2\nxllcorner    440720.000000000000\n"
                     "yllcorner    3750120.000000000000\ncellsize     60.000000000000\nNODATA_value  -9999\n"
                     " 1.5 -2\n 300 4\n");
    EXPECT_EQ(CellsOf(gdal.get()), expected);
    EXPECT_EQ(gdal->GetXAxisInterval()->GetOrdinate(0, 'X'), 440720);
    EXPECT_EQ(gdal->GetYAxisInterval()->GetOrdinate(2, 'Y'), 3750120);
}

TEST(GridReader, LastValueNeedsNoTrailingWhitespace)
{
    EXPECT_EQ(CellsOf(Load(Header() + "1 2").get()), (TRows{{1, 2}}));
    EXPECT_EQ(LoadMessage(Header() + "1"), kEnd);
    EXPECT_EQ(LoadMessage(Header() + "1 \n\n"), kEnd);
    EXPECT_EQ(LoadMessage(Header()), kEnd);
    EXPECT_EQ(LoadMessage(Header().substr(0, Header().size() - 7)), kEnd);  // no no-data value
}

TEST(GridReader, ExtraValuesAreLeftInTheStream)
{
    std::istringstream in(Header() + "1 2 3 rest");
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(in));
    EXPECT_EQ(CellsOf(map.get()), (TRows{{1, 2}}));
    std::string next;
    in >> next;
    EXPECT_EQ(next, "3");
}

TEST(GridReader, ConsecutiveGridsFromAStreamThatCannotSeek)
{
    const std::string first = Header() + "1 2";
    const std::string second = Header("1", "2", "-1") + "7\n8\n";
    TTrickleBuffer buffer(first + "\n" + second + "tail", 3);
    std::istream in(&buffer);
    std::unique_ptr<TMap> a(TARCGISFileTools::LoadARCGISFile(in));
    std::unique_ptr<TMap> b(TARCGISFileTools::LoadARCGISFile(in));
    EXPECT_EQ(CellsOf(a.get()), (TRows{{1, 2}}));
    EXPECT_EQ(CellsOf(b.get()), (TRows{{7}, {8}}));
    EXPECT_EQ(b->GetNoDataValue(), -1);
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "tail");
}

TEST(GridReader, HeaderTagsAreCheckedInOrder)
{
    const std::string values = " 1 2\n";
    EXPECT_EQ(LoadMessage(""), "File format error: expected to find ncols tag");
    EXPECT_EQ(LoadMessage("NCOLS 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value 0" + values),
              "File format error: expected to find ncols tag");
    EXPECT_EQ(LoadMessage("ncols 2 rows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value 0" + values),
              "File format error: expectd to find nrows tag");
    EXPECT_EQ(LoadMessage("ncols 2 nrows 1 yllcorner 0 xllcorner 0 cellsize 1 NODATA_value 0" + values),
              "File format error: expected to find xllcorner tag");
    EXPECT_EQ(LoadMessage("ncols 2 nrows 1 xllcorner 0 xllcorner 0 cellsize 1 NODATA_value 0" + values),
              "File format error: expected to find yllcorner tag");
    EXPECT_EQ(LoadMessage("ncols 2 nrows 1 xllcorner 0 yllcorner 0 dx 1 NODATA_value 0" + values),
              "File format error: expected to find cellsize tag");
    EXPECT_EQ(LoadMessage("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_VALUE 0" + values),
              "File format error: expected to find NODATA_value tag");
    EXPECT_EQ(LoadMessage("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1" + values),
              "File format error: expected to find NODATA_value tag");
    EXPECT_EQ(CellsOf(Load("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 nodata_value 0" + values).get()),
              (TRows{{1, 2}}));
}

TEST(GridReader, UnparsableHeaderValueNamesTheNextEntry)
{
    auto header = [](const std::string& cols, const std::string& rows, const std::string& x, const std::string& y,
                     const std::string& size) {
        return "ncols " + cols + " nrows " + rows + " xllcorner " + x + " yllcorner " + y + " cellsize " + size +
            " NODATA_value -9999 1 2";
    };
    EXPECT_EQ(LoadMessage(header("abc", "1", "0", "0", "1")), "File format error: expectd to find nrows tag");
    EXPECT_EQ(LoadMessage(header("1.5", "1", "0", "0", "1")), "File format error: expectd to find nrows tag");
    EXPECT_EQ(LoadMessage(header("99999999999999999999", "1", "0", "0", "1")),
              "File format error: expectd to find nrows tag");
    EXPECT_EQ(LoadMessage(header("2", "x", "0", "0", "1")), "File format error: expected to find xllcorner tag");
    EXPECT_EQ(LoadMessage(header("2", "1", "nan", "0", "1")), "File format error: expected to find yllcorner tag");
    EXPECT_EQ(LoadMessage(header("2", "1", "0", "1e999", "1")), "File format error: expected to find cellsize tag");
    EXPECT_EQ(LoadMessage(header("2", "1", "0", "0", "one")), "File format error: expected to find NODATA_value tag");
    EXPECT_EQ(LoadMessage(Header("2", "1", "none") + "1 2"), "File format error: NODATA_value is not a number");
    EXPECT_EQ(LoadMessage(Header("2", "1", "1e400") + "1 2"), "File format error: NODATA_value is not a number");
    EXPECT_EQ(LoadMessage("ncols " + std::string(5000, '1') + " nrows 1 xllcorner 0 yllcorner 0 cellsize 1"),
              "File format error: expectd to find nrows tag");
}

TEST(GridReader, NegativeDimensionsAreRefused)
{
    EXPECT_EQ(LoadMessage(Header("-2", "1") + "1 2"), "File format error: ncols must not be negative");
    EXPECT_EQ(LoadMessage(Header("2", "-1") + "1 2"), "File format error: nrows must not be negative");
}

TEST(GridReader, CellsThatAreNotNumbersNameTheCell)
{
    EXPECT_EQ(LoadMessage(Header("3", "2") + "1 2 3\n4 abc 6\n"),
              "File format error: value \"abc\" at row 2, column 2 is not a number");
    EXPECT_EQ(LoadMessage(Header("2", "1") + "1e999 2"),
              "File format error: value \"1e999\" at row 1, column 1 is too large for a number");
    for (const char* bad : {"1,5", "12x", "nan", "inf", "-inf", "0x1p3", "--1", "1e"}) {
        const std::string message = LoadMessage(Header("2", "1") + "1 " + bad + "\n");
        EXPECT_EQ(message.rfind("File format error: value \"", 0), 0u) << bad << ": " << message;
        EXPECT_NE(message.find("at row 1, column 2"), std::string::npos) << message;
    }
    EXPECT_EQ(LoadMessage(Header("2", "1") + std::string("1 2\0" "3", 5)),
              "File format error: value \"2?3\" at row 1, column 2 is not a number");
    const std::string longToken(3 << 20, '7');
    const std::string message = LoadMessage(Header("2", "1") + "1 " + longToken);
    EXPECT_EQ(message, "File format error: value \"777777777777777777777777...\" at row 1, column 2 is not a number");
}

TEST(GridReader, TinyValuesReadAsZeroOrSubnormal)
{
    auto map = Load(Header("3", "1") + "1e-400 -1e-400 4.9e-324\n");
    EXPECT_EQ(map->GetPointVal(0, 0), 0);
    EXPECT_EQ(map->GetPointVal(1, 0), 0);
    EXPECT_GT(map->GetPointVal(2, 0), 0);
}

TEST(GridReader, EmptyDimensionsAndClaimsBeyondTheFile)
{
    auto noRows = Load(Header("3", "0"));
    EXPECT_EQ(noRows->GetXDim(), 3);
    EXPECT_EQ(noRows->GetYDim(), 0);
    EXPECT_EQ(noRows->GetXAxisInterval()->GetSize(), 4);
    auto noColumns = Load(Header("0", "2"));
    EXPECT_EQ(noColumns->GetYDim(), 2);
    // Far beyond any file, within the range of long (32 bits on Windows).
    const std::string huge = sizeof(long) >= 8 ? "1000000000000" : "2000000000";
    EXPECT_EQ(LoadMessage(Header("0", huge)), "File format error: nrows is too large for a grid without columns");
    EXPECT_EQ(LoadMessage(Header(huge, "0")), "File format error: ncols is too large for a grid without rows");

    // A header that claims far more cells than the file holds fails at the end of the file,
    // with memory in proportion to what was read.
    const long before = PeakKilobytes();
    EXPECT_EQ(LoadMessage(Header("1000000000", "1000000000") + "1 2 3\n"), kEnd);
    EXPECT_EQ(LoadMessage(Header(huge, "1") + "1 2 3\n"), kEnd);
    EXPECT_EQ(LoadMessage(Header("1", std::to_string(std::numeric_limits<long>::max())) + "1 2 3\n"), kEnd);
    EXPECT_LT(PeakKilobytes() - before, 64 * 1024);
}

TEST(GridReader, NamedFiles)
{
    TScratchDir dir;
    const std::string path = dir.Write("grid.asc", Header("2", "1", "-1") + "5 -1\n");
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(path));
    EXPECT_EQ(CellsOf(map.get()), (TRows{{5, -1}}));
    EXPECT_EQ(map->GetNoDataValue(), -1);

    const std::string missing = dir.Path("missing.asc");
    EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(missing); }), "Unable to open file " + missing);
    EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(dir.Root()); }),
              "Unable to open file " + dir.Root());

#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs";
#else
    // A FIFO is read like any file.
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo) << Header("1", "1") << "42"; });
    std::unique_ptr<TMap> fromFifo(TARCGISFileTools::LoadARCGISFile(fifo));
    writer.join();
    EXPECT_EQ(fromFifo->GetPointVal(0, 0), 42);
#endif
}
