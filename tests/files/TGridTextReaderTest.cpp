#include "files/TARCGISFileTools.h"
#include "files/TGridTextReader.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

TGridReadOptions Lenient()
{
    TGridReadOptions options;
    options.Lenient = true;
    return options;
}

std::unique_ptr<TMap> Load(const std::string& text, const TGridReadOptions& options)
{
    std::istringstream in(text);
    return std::unique_ptr<TMap>(TARCGISFileTools::LoadARCGISFile(in, options));
}

std::string Message(const std::string& text, const TGridReadOptions& options = TGridReadOptions())
{
    return ThrownMessage([&] { Load(text, options); });
}

// Cells as text, so that NaN cells compare equal to "nan".
std::string CellText(TMap* map)
{
    std::ostringstream text;
    for (const auto& row : CellsOf(map))
        for (double value : row) text << (std::isnan(value) ? std::string("nan") : std::to_string(value)) << " ";
    return text.str();
}

// An endless run of one byte after a given start, counting what the reader takes.
class TEndlessSource : public TByteSource {
public:
    TEndlessSource(std::string start, char fill) : MbrStgStart(std::move(start)), MbrChrFill(fill) {}
    size_t Read(char* destination, size_t max) override
    {
        for (size_t i = 0; i < max; ++i)
            destination[i] = MbrSizeRead + i < MbrStgStart.size() ? MbrStgStart[MbrSizeRead + i] : MbrChrFill;
        MbrSizeRead += max;
        return max;
    }
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }
    size_t BytesRead() const { return MbrSizeRead; }

private:
    std::string MbrStgStart;
    char MbrChrFill;
    size_t MbrSizeRead = 0;
};

// A whole text, handed out in blocks of at most `chunk` bytes.
class TTextSource : public TByteSource {
public:
    TTextSource(std::string text, size_t chunk) : MbrStgText(std::move(text)), MbrSizeChunk(chunk) {}
    size_t Read(char* destination, size_t max) override
    {
        const size_t count = std::min({max, MbrSizeChunk, MbrStgText.size() - MbrSizeNext});
        MbrStgText.copy(destination, count, MbrSizeNext);
        MbrSizeNext += count;
        return count;
    }
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }

private:
    std::string MbrStgText;
    size_t MbrSizeChunk;
    size_t MbrSizeNext = 0;
};

// Reads the cells of the grid text through a reader whose blocks are `bufferBytes` long.
std::vector<double> ReadCellValues(const std::string& text, size_t bufferBytes, size_t chunk,
                                   const TGridReadOptions& options = TGridReadOptions())
{
    TTextSource source(text, chunk);
    TGridTextReader reader(source, options, bufferBytes);
    const TGridHeader header = reader.ReadHeader();
    std::vector<double> values(static_cast<size_t>(header.Columns * header.Rows));
    TCellCursor cursor;
    reader.ReadRun(header, cursor, values.data(), values.size());
    return values;
}

}  // namespace

TEST(GridTextReader, CellsOfAnyLengthReadAsStrtodReadsThem)
{
    // Short decimals, floats written with %.20g (GDAL's Float32 text), long decimals with and
    // without leading zeros, and exponents, split across blocks anywhere: every cell as strtod
    // gives it, whichever road the reader takes.
    std::mt19937_64 random(5);
    std::vector<std::string> tokens;
    for (int i = 0; i < 6000; ++i) {
        char text[96];
        switch (i % 6) {
        case 0:
            std::snprintf(text, sizeof text, "%.2f", static_cast<double>(random() % 2000000) / 100 - 10000);
            break;
        case 1:
        case 2: {
            const float single = static_cast<float>(static_cast<double>(random() % 2000000) / 100 - 10000);
            std::snprintf(text, sizeof text, "%.20g", static_cast<double>(single));
            break;
        }
        case 3:
            std::snprintf(text, sizeof text, "%.*g", 16 + static_cast<int>(random() % 25),
                          std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 90));
            break;
        case 4:
            std::snprintf(text, sizeof text, "-000%.*f", static_cast<int>(random() % 40),
                          static_cast<double>(random() % 100000) / 7);
            break;
        default:
            std::snprintf(text, sizeof text, "%.19e", std::ldexp(static_cast<double>(random() >> 11), -60));
        }
        tokens.push_back(text);
    }
    std::string grid = "ncols 60\nnrows 100\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
    for (size_t i = 0; i < tokens.size(); ++i) grid += tokens[i] + (i % 60 == 59 ? "\n" : " ");
    for (const size_t bufferBytes : {size_t(257), size_t(4099), TGridTextReader::kMaxTokenBytes}) {
        for (const size_t chunk : {size_t(1000), size_t(1) << 20}) {
            const std::vector<double> values = ReadCellValues(grid, bufferBytes, chunk);
            ASSERT_EQ(values.size(), tokens.size());
            for (size_t i = 0; i < tokens.size(); ++i)
                ASSERT_EQ(values[i], std::strtod(tokens[i].c_str(), nullptr)) << tokens[i] << " in blocks of " << bufferBytes;
        }
    }
}

TEST(GridTextReader, LenientVariantsAreReadAndStillRefusedStrictly)
{
    struct TCase {
        const char* Name;
        std::string Text;
        std::string StrictMessage;
        double XllCorner, YllCorner, CellSize, NoData;
        std::string Cells;
    };
    const std::string rest = "xllcorner 10\nyllcorner 20\ncellsize 2\nNODATA_value -1\n";
    const std::string cells = "1 2\n3 4\n";
    const std::string plainCells = "1.000000 2.000000 3.000000 4.000000 ";
    const std::string strict = "File format error: ";
    const std::vector<TCase> cases = {
        {"upper case", "NCOLS 2\nNROWS 2\nXLLCORNER 10\nYLLCORNER 20\nCELLSIZE 2\nNODATA_VALUE -1\n" + cells,
         strict + "expected to find ncols tag", 10, 20, 2, -1, plainCells},
        {"mixed case no-data", "ncols 2\nnrows 2\n" + rest.substr(0, rest.find("NODATA")) + "NoData_Value -1\n" + cells,
         strict + "expected to find NODATA_value tag", 10, 20, 2, -1, plainCells},
        {"rows first", "nrows 2\nncols 2\n" + rest + cells, strict + "expected to find ncols tag", 10, 20, 2, -1,
         plainCells},
        {"any order on one line", "NODATA_value -1 cellsize 2 yllcorner 20 ncols 2 xllcorner 10 nrows 2 " + cells,
         strict + "expected to find ncols tag", 10, 20, 2, -1, plainCells},
        {"centres", "ncols 2\nnrows 2\nxllcenter 11\nyllcenter 21\ncellsize 2\nNODATA_value -1\n" + cells,
         strict + "expected to find xllcorner tag", 10, 20, 2, -1, plainCells},
        {"y centre only", "ncols 2\nnrows 2\nxllcorner 10\nYLLCENTER 20.5\ncellsize 1\nNODATA_value -1\n" + cells,
         strict + "expected to find yllcorner tag", 10, 20, 1, -1, plainCells},
        {"no no-data line", "ncols 2\nnrows 2\n" + rest.substr(0, rest.find("NODATA")) + cells,
         strict + "expected to find NODATA_value tag", 10, 20, 2, -9999, plainCells},
        {"nan no-data", "ncols 2\nnrows 2\n" + rest.substr(0, rest.find("NODATA")) + "NODATA_value  nan\n" + cells,
         strict + "NODATA_value is not a number", 10, 20, 2, NAN, plainCells},
        {"nan cells", "ncols 2\nnrows 2\n" + rest + "1 NaN\n-nan +NAN\n",
         strict + "value \"NaN\" at row 1, column 2 is not a number", 10, 20, 2, -1,
         "1.000000 nan nan nan "},
        {"equal dx and dy", "ncols 2\nnrows 2\nxllcorner 10\nyllcorner 20\nDX 2\ndy 2\nNODATA_value -1\n" + cells,
         strict + "expected to find cellsize tag", 10, 20, 2, -1, plainCells},
        {"decimal comma cell", "ncols 2\nnrows 2\n" + rest + "0,5 -2,25\n3 4e0\n",
         strict + "value \"0,5\" at row 1, column 1 is not a number", 10, 20, 2, -1,
         "0.500000 -2.250000 3.000000 4.000000 "},
        {"decimal comma corner", "ncols 2\nnrows 2\nxllcorner 10,5\nyllcorner 20\ncellsize 2\nNODATA_value -1\n" + cells,
         strict + "expected to find yllcorner tag", 10.5, 20, 2, -1, plainCells},
        {"as GDAL writes float grids",
         "ncols        2\nnrows        2\nxllcorner    10.000000000000\nyllcorner    20.000000000000\n"
         "cellsize     2.000000000000\nNODATA_value  nan\n 0.10000000149011611938 nan\n 4 5.5\n",
         strict + "NODATA_value is not a number", 10, 20, 2, NAN, "0.100000 nan 4.000000 5.500000 "},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFncols 2\nnrows 2\n" + rest + cells, strict + "expected to find ncols tag",
         10, 20, 2, -1, plainCells},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        EXPECT_EQ(Message(test.Text), test.StrictMessage);
        std::unique_ptr<TMap> map;
        ASSERT_EQ(ThrownMessage([&] { map = Load(test.Text, Lenient()); }), "<no throw>");
        EXPECT_EQ(map->GetXDim(), 2);
        EXPECT_EQ(map->GetYDim(), 2);
        EXPECT_EQ(map->GetXAxisInterval()->GetOrdinate(0, 'X'), test.XllCorner);
        EXPECT_EQ(map->GetYAxisInterval()->GetOrdinate(2, 'Y'), test.YllCorner);
        EXPECT_EQ(map->GetResolution(), test.CellSize);
        if (std::isnan(test.NoData))
            EXPECT_TRUE(std::isnan(map->GetNoDataValue()));
        else
            EXPECT_EQ(map->GetNoDataValue(), test.NoData);
        EXPECT_EQ(CellText(map.get()), test.Cells);
    }
}

TEST(GridTextReader, ByteOrderMarkOnlyAtTheVeryStart)
{
    // Leniently, a mark that arrives a byte at a time is skipped too; one after a blank, a second
    // one or a part of one is the first token, which no keyword matches.
    const std::string grid = "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n7\n";
    TTrickleBuffer bytes("\xEF\xBB\xBF" + grid, 1);
    std::istream in(&bytes);
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(in, Lenient()));
    EXPECT_EQ(CellText(map.get()), "7.000000 ");
    for (const std::string& start : {std::string(" \xEF\xBB\xBF"), std::string("\xEF\xBB\xBF\xEF\xBB\xBF"),
                                     std::string("\xEF\xBB")})
        EXPECT_EQ(Message(start + grid, Lenient()), "File format error: expected to find ncols tag");
}

TEST(GridTextReader, WhitespaceBeforeTheHeaderIsCapped)
{
    // An endless run of blanks fails after the cap, as an unreadable first token does, having read
    // little more than the cap; up to the cap, blanks are only blanks.
    const std::string e = "File format error: expected to find ncols tag";
    for (const TGridReadOptions& options : {TGridReadOptions(), Lenient()}) {
        for (const char fill : {' ', '\n'}) {
            TEndlessSource source("\r\n", fill);
            EXPECT_EQ(ThrownMessage([&] { TGridTextReader(source, options).ReadHeader(); }), e);
            EXPECT_LE(source.BytesRead(), TGridTextReader::kMaxLeadingSpace + 2 * TGridTextReader::kMaxTokenBytes);
        }
        const std::string grid = "ncols 1 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value 0 7";
        const std::string blanks(TGridTextReader::kMaxLeadingSpace, ' ');
        EXPECT_EQ(ThrownMessage([&] { Load(blanks + grid, options); }), "<no throw>");
        EXPECT_EQ(ThrownMessage([&] { Load(blanks + "\t" + grid, options); }), e);
        // Blanks after the first token are not counted.
        EXPECT_EQ(ThrownMessage([&] { Load("ncols" + blanks + "\t1 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 "
                                           "NODATA_value 0 7", options); }), "<no throw>");
    }
}

TEST(GridTextReader, BufferReturnsToItsBlockSizeAfterALongToken)
{
    // A cell of 900,000 leading zeros grows the buffer to hold it; once it is read the buffer is
    // one block again, so that many such inputs read side by side hold a block each.
    const std::string grid = "ncols 4\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n" +
        std::string(900000, '0') + "1.5 2 " + std::string(5000, '0') + "3 4\n";
    for (const TGridReadOptions& options : {TGridReadOptions(), Lenient()}) {
        TTextSource source(grid, size_t(1) << 20);
        TGridTextReader reader(source, options, 4096);
        const TGridHeader header = reader.ReadHeader();
        TCellCursor cursor;
        double values[4];
        reader.ReadRun(header, cursor, values, 1);
        EXPECT_EQ(values[0], 1.5);
        EXPECT_EQ(reader.BufferCapacity(), size_t(4096));
        reader.ReadRun(header, cursor, values + 1, 3);
        EXPECT_EQ(values[2], 3);
        EXPECT_EQ(values[3], 4);
        EXPECT_EQ(reader.BufferCapacity(), size_t(4096));
    }
}

TEST(GridTextReader, LenientHeaderFaultsHaveOneLineMessages)
{
    const std::string e = "File format error: ";
    const std::string cells = " 1 2\n";
    auto grid = [&](const std::string& header) { return header + cells; };
    const std::string size = " xllcorner 0 yllcorner 0 cellsize 1 NODATA_value -1";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", e + "expected to find ncols tag"},
        {grid("nrows 1 xllcorner 0 yllcorner 0 cellsize 1"), e + "expected to find ncols tag"},
        {grid("ncols 2 xllcorner 0 yllcorner 0 cellsize 1"), e + "expectd to find nrows tag"},
        {grid("ncols 2 nrows 1 yllcorner 0 cellsize 1"), e + "expected to find xllcorner or xllcenter tag"},
        {grid("ncols 2 nrows 1 xllcenter 0 cellsize 1"), e + "expected to find yllcorner or yllcenter tag"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0"), e + "expected to find cellsize tag"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0 dx 1"), e + "expected to find dy tag"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0 dy 1"), e + "expected to find dx tag"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0 dx 1 dy 1.5"), e + "dx and dy differ; cells must be square"},
        {grid("ncols 2 NCOLS 2 nrows 1" + size), e + "more than one ncols entry"},
        // Once all six entries are read the values begin, so a seventh keyword is a cell.
        {grid("ncols 2 nrows 1" + size + " nodata_value -1"), e + "value \"nodata_value\" at row 1, column 1 is not a number"},
        {grid("ncols 2 nodata_value 0 nrows 1 NODATA_VALUE 0" + size), e + "more than one NODATA_value entry"},
        {grid("ncols 2 nrows 1 xllcenter 0.5" + size), e + "both xllcorner and xllcenter given"},
        {grid("ncols 2 nrows 1 yllcenter 0.5" + size), e + "both yllcorner and yllcenter given"},
        {grid("ncols 2 nrows 1 dx 1" + size), e + "both cellsize and dx/dy given"},
        {grid("ncols 2.5 nrows 1" + size), e + "ncols is not a whole number"},
        {grid("ncols 2 nrows many" + size), e + "nrows is not a whole number"},
        {grid("ncols -2 nrows 1" + size), e + "ncols must not be negative"},
        {grid("ncols 2 nrows 1 xllcorner nan yllcorner 0 cellsize 1"), e + "xllcorner is not a number"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1e999"), e + "cellsize is not a number"},
        {grid("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value none"), e + "NODATA_value is not a number"},
        {"ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize", "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile"},
        {"ncols 2 nrows 1" + size + " 1 inf", e + "value \"inf\" at row 1, column 2 is not a number"},
        {"ncols 2 nrows 1" + size + " 1 1,2,3", e + "value \"1,2,3\" at row 1, column 2 is not a number"},
        {"ncols 2 nrows 1" + size + " 1 1.5,2", e + "value \"1.5,2\" at row 1, column 2 is not a number"},
        {"ncols 0 nrows 2000000 xllcorner 0 yllcorner 0 cellsize 1", e + "nrows is too large for a grid without columns"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(Message(text, Lenient()), message) << text;
}

TEST(GridTextReader, LenientStreamReadingStopsAtTheLastValue)
{
    // Without a no-data line the header ends at the first value, which must not be lost, and the
    // second grid and the tail must stay in the stream.
    std::istringstream in("NCOLS 2 NROWS 1 XLLCORNER 0 YLLCORNER 0 CELLSIZE 1 5 6\n"
                          "nrows 1 ncols 1 dx 3 dy 3 xllcenter 1.5 yllcenter 1.5 NODATA_value 7 8 tail");
    std::unique_ptr<TMap> first(TARCGISFileTools::LoadARCGISFile(in, Lenient()));
    std::unique_ptr<TMap> second(TARCGISFileTools::LoadARCGISFile(in, Lenient()));
    EXPECT_EQ(CellsOf(first.get()), (TRows{{5, 6}}));
    EXPECT_EQ(CellsOf(second.get()), (TRows{{8}}));
    EXPECT_EQ(second->GetNoDataValue(), 7);
    EXPECT_EQ(second->GetXAxisInterval()->GetOrdinate(0, 'X'), 0);
    EXPECT_EQ(second->GetResolution(), 3);
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "tail");
}

TEST(GridTextReader, EndlessHeaderTokenIsRefusedAtOnce)
{
    // Whatever entry an endless token stands in, the message is that of a finite unparsable token
    // there; the reader takes no more than one block of it.
    const std::string e = "File format error: ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", e + "expected to find ncols tag"},
        {"ncols ", e + "expectd to find nrows tag"},
        {"ncols 2 nrows 1 xllcorner ", e + "expected to find yllcorner tag"},
        {"ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize ", e + "expected to find NODATA_value tag"},
        {"ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 ", e + "expected to find NODATA_value tag"},
        {"ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value ", e + "NODATA_value is not a number"},
    };
    for (const auto& [start, message] : cases) {
        for (const char fill : {'\0', '7'}) {
            TEndlessSource source(start, fill);
            EXPECT_EQ(ThrownMessage([&] { TGridTextReader(source).ReadHeader(); }), message) << start;
            EXPECT_LE(source.BytesRead(), size_t(1) << 21);
        }
    }
    // The same token once finite, in the middle of a header and of any length, judged the same.
    for (const size_t length : {size_t(257), size_t(3) << 20}) {
        const std::string token(length, '1');
        EXPECT_EQ(Message("ncols 2 nrows " + token + " xllcorner 0 yllcorner 0 cellsize 1 NODATA_value 0 1 2"),
                  e + "expected to find xllcorner tag");
        EXPECT_EQ(Message("ncols 2 nrows 1 " + token + " 0 yllcorner 0 cellsize 1 NODATA_value 0 1 2"),
                  e + "expected to find xllcorner tag");
        EXPECT_EQ(Message("ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value " + token + " 1 2"),
                  e + "NODATA_value is not a number");
        EXPECT_EQ(Message("ncols 2 nrows 1 xllcorner 0 yllcorner " + token + " cellsize 1 NODATA_value 0 1 2", Lenient()),
                  e + "yllcorner is not a number");
    }
    EXPECT_EQ(Message(std::string(256, '1') + " 1"), e + "expected to find ncols tag");

    // Devices and sparse files of zeros, through the file-name reader.
    TScratchDir dir;
    const std::string sparse = dir.Path("sparse.asc");
#ifdef _WIN32
    // Windows has no /dev/zero; a file extended without being written reads as zeros there too.
    dir.Write("sparse.asc", "");
    std::error_code error;
    std::filesystem::resize_file(TestPath(sparse), std::uintmax_t(20) << 30, error);
    const bool sized = !error;
    for (const std::string& name : {sparse}) {
#else
    const int descriptor = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(descriptor, 0);
    const bool sized = ::ftruncate(descriptor, off_t(20) << 30) == 0;
    ::close(descriptor);
    for (const std::string& name : {std::string("/dev/zero"), sparse}) {
#endif
        if (name == sparse && !sized) continue;  // a file system without room for the claim
        for (const TGridReadOptions& options : {TGridReadOptions(), Lenient()})
            EXPECT_EQ(ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(name, options); }),
                      e + "expected to find ncols tag")
                << name;
    }
}
