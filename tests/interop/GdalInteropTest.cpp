// GDAL's command-line programs as peers of the real gridmean executable: grids GDAL writes are
// averaged correctly, and GDAL reads the mean back on the first input's geometry. Every test is
// skipped where gdal_translate is not on PATH.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TRun {
    int Status;
    std::string Output;
    std::string Errors;
};

TRun Shell(const TScratchDir& dir, const std::string& command)
{
    const std::string out = dir.Path("run-stdout.txt");
    const std::string err = dir.Path("run-stderr.txt");
    const int status = std::system((command + " > " + Quoted(out) + " 2> " + Quoted(err)).c_str());
    TRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}


std::string Grid(long cols, long rows, const std::string& corner, const std::string& noData, const std::string& values)
{
    return "ncols " + std::to_string(cols) + "\nnrows " + std::to_string(rows) + "\n" + corner +
        "\nNODATA_value " + noData + "\n" + values;
}

const std::string kCorner = "xllcorner 500000.25\nyllcorner 4100000.75\ncellsize 12.5";
const std::string kUnitCorner = "xllcorner 10\nyllcorner 20\ncellsize 2";

// Writes `text` as a source raster and has GDAL rewrite it as an ASCII grid with `options`.
std::string GdalGrid(const TScratchDir& dir, const std::string& name, const std::string& text,
                     const std::string& options)
{
    const std::string source = dir.Write("source-" + name, text);
    const TRun run = Shell(dir, "gdal_translate -q -of AAIGrid " + options + " " + Quoted(source) + " " +
                                  Quoted(dir.Path(name)));
    EXPECT_EQ(run.Status, 0) << run.Errors;
    return dir.Path(name);
}

TRun Gridmean(const TScratchDir& dir, const std::vector<std::string>& arguments)
{
    std::string command = Quoted(GRIDMEAN_EXECUTABLE);
    for (const auto& argument : arguments) command += " " + Quoted(argument);
    return Shell(dir, command);
}

// The JSON value of `key` in gdalinfo's output with all whitespace removed: an array or a scalar.
std::string JsonValue(const std::string& json, const std::string& key)
{
    std::string compact;
    for (char c : json)
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') compact += c;
    const std::string tag = "\"" + key + "\":";
    const size_t at = compact.find(tag);
    if (at == std::string::npos) return "<missing " + key + ">";
    const size_t begin = at + tag.size();
    const size_t end = compact[begin] == '[' ? compact.find(']', begin) + 1 : compact.find_first_of(",}", begin);
    return compact.substr(begin, end - begin);
}

struct TXyz {
    double X, Y;
    float Z;  // GDAL's XYZ writer emits single precision values
    bool operator==(const TXyz& other) const { return X == other.X && Y == other.Y && Z == other.Z; }
};

std::ostream& operator<<(std::ostream& out, const TXyz& point)
{
    std::ostringstream text;
    text.precision(9);
    text << "(" << point.X << ", " << point.Y << ", " << point.Z << ")";
    return out << text.str();
}

std::vector<TXyz> ParseXyz(const std::string& text)
{
    std::vector<TXyz> points;
    std::istringstream in(text);
    double x, y, z;
    while (in >> x >> y >> z) points.push_back({x, y, static_cast<float>(z)});
    return points;
}

}  // namespace

TEST(GdalInterop, AveragesGridsGdalWrote)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    TScratchDir dir;
    struct TCase {
        const char* Name;
        std::string First, FirstOptions, Second, SecondOptions, Mean;
    };
    const std::vector<TCase> cases = {
        // GDAL writes single precision values with 20 digits, 0.1 as 0.10000000149011611938, and
        // its no-data value as the single precision number the cells hold.
        {"float with no-data", Grid(3, 2, kCorner, "-9999", "0.1 2 -9999\n4 5.5 6\n"), "-ot Float32",
         Grid(3, 2, kCorner, "-3.4e38", "0.2 -3.4e38 3\n-3.4e38 6 7.25\n"), "-ot Float32",
         "ncols 3\nnrows 2\nxllcorner 500000.25\nyllcorner 4100000.75\ncellsize 12.5\nNODATA_value -9999\n"
         "0.15 -9999 -9999 \n-9999 5.75 6.625 \n"},
        {"integer", Grid(2, 2, kUnitCorner, "-9999", "1 2\n3 -9999\n"), "-ot Int16",
         Grid(2, 2, kUnitCorner, "255", "4 5\n255 8\n"), "-ot Byte",
         "ncols 2\nnrows 2\nxllcorner       10\nyllcorner       20\ncellsize 2\nNODATA_value -9999\n"
         "2.5 3.5 \n-9999 -9999 \n"},
        {"one row", Grid(3, 1, kCorner, "-9999", "1 2 -9999\n"), "-ot Int32",
         Grid(3, 1, kCorner, "-9999", "3 4.5 5\n"), "-ot Float32",
         "ncols 3\nnrows 1\nxllcorner 500000.25\nyllcorner 4100000.75\ncellsize 12.5\nNODATA_value -9999\n"
         "2 3.25 -9999 \n"},
        {"one column", Grid(1, 3, kUnitCorner, "-1", "1\n-1\n3\n"), "-ot Float32",
         Grid(1, 3, kUnitCorner, "-9999", "2\n2\n1\n"), "-ot Int32",
         "ncols 1\nnrows 3\nxllcorner       10\nyllcorner       20\ncellsize 2\nNODATA_value -9999\n"
         "1.5 \n-9999 \n2 \n"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        const std::string first = GdalGrid(dir, "first.asc", test.First, test.FirstOptions);
        const std::string second = GdalGrid(dir, "second.asc", test.Second, test.SecondOptions);
        const std::string mean = dir.Path("mean.asc");
        const TRun run = Gridmean(dir, {first, second, mean});
        EXPECT_EQ(run.Status, 0);
        EXPECT_EQ(run.Output, "");
        EXPECT_EQ(ReadText(mean), test.Mean);
    }
    // The float case above reads GDAL's long forms, not short ones it might have written instead.
    EXPECT_NE(ReadText(GdalGrid(dir, "check.asc", cases[0].Second, "-ot Float32")).find(
                  "NODATA_value  -3.3999999521443642491e+38\n 0.20000000298023223877 "),
              std::string::npos);
}

TEST(GdalInterop, GdalReadsTheMeanOnTheFirstInputsGeometry)
{
    if (!HaveProgram("gdal_translate")) GTEST_SKIP() << "gdal_translate is not on PATH";
    TScratchDir dir;
    struct TCase {
        const char* Name;
        std::string First, Second, Size, GeoTransform;
        std::vector<TXyz> Mean;
    };
    const std::vector<TCase> cases = {
        // Corners with more than six significant digits must survive the round trip.
        {"two rows", Grid(3, 2, kCorner, "-9999", "1 2 -9999\n4 5 0.1\n"),
         Grid(3, 2, kCorner, "-1", "2 -1 3\n5 6.5 0.2\n"), "[3,2]", "[500000.25,12.5,0.0,4100025.75,0.0,-12.5]",
         {{500006.5, 4100019.5, 1.5f}, {500019, 4100019.5, -9999}, {500031.5, 4100019.5, -9999},
          {500006.5, 4100007, 4.5f}, {500019, 4100007, 5.75f}, {500031.5, 4100007, 0.15f}}},
        // One third is written with six significant digits, and GDAL reads exactly that.
        {"one row", Grid(3, 1, kCorner, "-9999", "1 0 -9999\n"), Grid(3, 1, kCorner, "-9999", "2 0.666666666666667 5\n"),
         "[3,1]", "[500000.25,12.5,0.0,4100013.25,0.0,-12.5]",
         {{500006.5, 4100007, 1.5f}, {500019, 4100007, 0.333333f}, {500031.5, 4100007, -9999}}},
        {"one column", Grid(1, 3, kUnitCorner, "-9999", "1\n2\n3\n"), Grid(1, 3, kUnitCorner, "-9999", "3\n-9999\n3\n"),
         "[1,3]", "[10.0,2.0,0.0,26.0,0.0,-2.0]", {{11, 25, 2}, {11, 23, -9999}, {11, 21, 3}}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        const std::string first = dir.Write("first.asc", test.First);
        const std::string second = dir.Write("second.asc", test.Second);
        const std::string mean = dir.Path("mean.asc");
        ASSERT_EQ(Gridmean(dir, {first, second, mean}).Status, 0);

        const TRun input = Shell(dir, "gdalinfo -json " + Quoted(first));
        const TRun output = Shell(dir, "gdalinfo -json " + Quoted(mean));
        ASSERT_EQ(output.Status, 0) << output.Errors;
        EXPECT_EQ(JsonValue(input.Output, "size"), test.Size);
        EXPECT_EQ(JsonValue(output.Output, "size"), test.Size);
        EXPECT_EQ(JsonValue(input.Output, "geoTransform"), test.GeoTransform);
        EXPECT_EQ(JsonValue(output.Output, "geoTransform"), test.GeoTransform);
        EXPECT_EQ(JsonValue(output.Output, "noDataValue"), JsonValue(input.Output, "noDataValue"));
        EXPECT_EQ(JsonValue(output.Output, "noDataValue"), "-9999.0");

        const TRun values = Shell(dir, "gdal_translate -q -of XYZ " + Quoted(mean) + " /vsistdout/");
        ASSERT_EQ(values.Status, 0) << values.Errors;
        EXPECT_EQ(ParseXyz(values.Output), test.Mean);
    }
}
