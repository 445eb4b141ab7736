// The command's options, the line on standard error that names an input, the progress display,
// compressed and projected grids through the command, and many inputs under a small limit on
// open files.

#include "CommandRun.h"

#include "stack/TGridFileAverager.h"
#include "picture/TColourRamp.h"
#include "stats/TStackStatistic.h"

#include "picture/PngDecoding.h"
#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <memory>
#include <sstream>

namespace {

const std::string kHeader = "ncols 3\nnrows 1\nxllcorner   500000\nyllcorner  4100000\ncellsize 250\n";

}  // namespace

TEST(CommandOptions, EachOptionChangesTheResultAsDocumented)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 1, "1 2 -9999\n"));
    const std::string b = dir.Write("b.asc", CommandGrid(3, 1, "4 -1 6\n", "-1"));
    const std::string c = dir.Write("c.asc", CommandGrid(3, 1, "7 8 9\n"));
    const std::string dash = dir.Write("-c.asc", CommandGrid(3, 1, "7 8 9\n"));
    const std::string out = dir.Path("out.asc");
    struct TCase {
        std::vector<std::string> Options;
        std::string Body;  // NODATA line and rows
        std::vector<std::string> Files = {};
    };
    const std::vector<TCase> cases = {
        {{}, "NODATA_value -9999\n4 -9999 -9999 \n"},
        {{"--stat", "sum"}, "NODATA_value -9999\n12 -9999 -9999 \n"},
        {{"--skip-nodata"}, "NODATA_value -9999\n4 5 7.5 \n"},
        {{"--min-count", "3"}, "NODATA_value -9999\n4 -9999 -9999 \n"},
        {{"--min-count=2"}, "NODATA_value -9999\n4 5 7.5 \n"},
        {{"--stat", "count"}, "NODATA_value -9999\n3 2 2 \n"},
        {{"--stat", "median", "--skip-nodata"}, "NODATA_value -9999\n4 5 7.5 \n"},
        {{"--stat", "range", "--skip-nodata", "--nodata", "-1.5"}, "NODATA_value -1.5\n6 6 3 \n"},
        {{"--stat", "p50", "--skip-nodata"}, "NODATA_value -9999\n4 5 7.5 \n"},
        {{"--weights", "1,0,2", "--skip-nodata"}, "NODATA_value -9999\n5 6 9 \n"},
        {{"--stat", "stddev", "--skip-nodata", "--digits", "3"}, "NODATA_value -9999\n2.45 3 1.5 \n"},
        {{"--nodata", "0.1"}, "NODATA_value 0.1\n4 0.1 0.1 \n"},
        {{"--stat=max", "--"}, "NODATA_value -9999\n7 -9999 -9999 \n", {a, b, dash}},
    };
    for (const TCase& test : cases) {
        std::vector<std::string> arguments = test.Options;
        const std::vector<std::string> files = test.Files.empty() ? std::vector<std::string>{a, b, c} : test.Files;
        arguments.insert(arguments.end(), files.begin(), files.end());
        arguments.push_back(out);
        const TCommandRun run = RunCommand(dir, arguments);
        EXPECT_EQ(run.Status, 0) << run.Output;
        EXPECT_EQ(ReadText(out), kHeader + test.Body) << (test.Options.empty() ? "" : test.Options.front());
    }
}

TEST(CommandOptions, OptionErrorsAreOneLineNamingTheOption)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string out = dir.Path("out.asc");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate"}, "Unknown option \"--frobnicate\" (gridmean --help lists the options)"},
        {{"-x"}, "Unknown option \"-x\" (gridmean --help lists the options)"},
        {{"--stat", "avg"}, "Option --stat: unknown statistic \"avg\" (" + TStackStatistic::NameList() + ")"},
        {{"--stat", "p120"}, "Option --stat: unknown statistic \"p120\" (" + TStackStatistic::NameList() + ")"},
        {{"--stat", "mean,"}, "Option --stat: unknown statistic \"\" (" + TStackStatistic::NameList() + ")"},
        {{"--stat", "gt:x1"}, "Option --stat: \"gt:x1\" needs a finite decimal number after \"gt:\""},
        {{"--stat", "eq:nan"}, "Option --stat: \"eq:nan\" needs a finite decimal number after \"eq:\""},
        {{"--stat", "mean,p10", "--stat", "p10"}, "Option --stat: statistic \"p10\" is named twice"},
        {{"--stat", "mean,p10"}, "Option --stat: 2 statistics need {stat} in the output name \"" + out +
                                     "\" (as in mean_{stat}.asc)"},
        {{"--skip-nodata", "--skip-nodata"}, "Option --skip-nodata is given twice"},
        {{"--digits", "3", "--digits=4"}, "Option --digits is given twice"},
        {{"-o", out, "--output", out}, "Option --output is given twice"},
        {{"--range", "5,2"}, "Option --range: the low end 5 is above the high end 2"},
        {{"--range", "x,2"}, "Option --range: \"x\" is not a finite decimal number"},
        {{"--range", "1,inf"}, "Option --range: \"inf\" is not a finite decimal number"},
        {{"--range", "1"}, "Option --range: \"1\" is not LO,HI (either may be empty)"},
        {{"--times", "1,2"}, "Option --times has no effect without a trend statistic (slope, offset, r2, tvalue, "
                             "pvalue, sen, sen-offset, mk-s, mk-z, mk-p)"},
        {{"--stat", "slope", "--times", "1,2,3"}, "Option --times: 3 times for 2 inputs"},
        {{"--stat", "slope", "--times", "1,x"}, "Option --times: \"x\" is not a finite decimal number"},
        {{"--stat", "sen", "--times", "1991:0"}, "Option --times: the step of START:STEP must not be 0"},
        {{"--stat", "sen", "--times", "1991:inf"}, "Option --times: \"inf\" is not a finite decimal number"},
        {{"--stat", "sen", "--weights", "1,2"},
         "Option --weights applies to --stat mean, sum, stddev, variance, slope, offset, r2, tvalue and pvalue only, not "
         "to --stat sen"},
        {{"--min-count", "0"}, "Option --min-count: \"0\" is not a whole number of at least 1"},
        {{"--min-count", "2.5"}, "Option --min-count: \"2.5\" is not a whole number of at least 1"},
        {{"--min-count", "3"}, "Option --min-count: 3 is more than the 2 inputs"},
        {{"--weights", "1,x"}, "Option --weights: \"x\" is not a finite number of at least 0"},
        {{"--weights", "1,-2"}, "Option --weights: \"-2\" is not a finite number of at least 0"},
        {{"--weights", "1,2,3"}, "Option --weights: 3 weights for 2 inputs"},
        {{"--weights", "1,1", "--stat", "max"},
         "Option --weights applies to --stat mean, sum, stddev, variance, slope, offset, r2, tvalue and pvalue only, not "
         "to --stat max"},
        {{"--nodata", "nan"}, "Option --nodata: \"nan\" is not a finite decimal number"},
        {{"--nodata", "1e999"}, "Option --nodata: \"1e999\" is not a finite decimal number"},
        {{"--digits", "18"}, "Option --digits: \"18\" is not a whole number from 1 to 17"},
        {{"--skip-nodata=yes"}, "Option --skip-nodata takes no value"},
    };
    for (const auto& [options, message] : cases) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {a, a, out});
        const TCommandRun run = RunCommand(dir, arguments);
        EXPECT_EQ(run.Status, 1) << message;
        EXPECT_EQ(run.Output, message + "\n");
        EXPECT_FALSE(FileExists(out)) << message;
    }
    // A value that is missing at the end of the arguments.
    const TCommandRun missing = RunCommand(dir, {"--stat"});
    EXPECT_EQ(missing.Output, "Option --stat needs a value\n");
    EXPECT_EQ(missing.Status, 1);
    // Too few files after the options: the usage line of the plain command.
    EXPECT_EQ(RunCommand(dir, {"--skip-nodata", a}).Output, "Usage: gridmean file_1 file_2 file_n output_file\n");
}

TEST(CommandOptions, HelpAndVersionOnStandardOutput)
{
    TScratchDir dir;
    const TCommandRun help = RunCommand(dir, {"--help"});
    EXPECT_EQ(help.Status, 0);
    for (const std::string option : {"--stat", "--skip-nodata", "--min-count", "--weights", "--nodata", "--digits",
                                     "--progress", "--lenient", "--check-geometry", "--help", "--version"})
        EXPECT_NE(help.Output.find(option), std::string::npos) << option;
    const TCommandRun shortHelp = RunCommand(dir, {"-h"});
    EXPECT_EQ(shortHelp.Status, 0);
    EXPECT_EQ(shortHelp.Output, help.Output);
    const TCommandRun version = RunCommand(dir, {"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Output, std::string("gridmean ") + GRIDMEAN_VERSION_TEXT + "\n");
}

TEST(CommandOptions, TheInputAtFaultIsNamedOnStandardError)
{
    TScratchDir dir;
    const std::string a = dir.Write("day_001.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string wide = dir.Write("day_017.asc", CommandGrid(4, 1, "1 2 3 4\n"));
    const std::string bad = dir.Write("day_094.asc", CommandGrid(3, 1, "1 0,3 3\n"));
    const std::string broken = dir.Write("day_095.asc", CommandGrid(3, 1, "1 x 3\n"));
    // Notepad's byte-order mark, and the tags in capitals.
    const std::string upper = dir.Write("upper.asc", "\xef\xbb\xbfNCOLS 3\nNROWS 1\nxllcorner 500000\nyllcorner 4100000\n"
                                                     "CELLSIZE 250\nNODATA_value -9999\n1 2 3\n");
    const std::string tiff = dir.Write("dem.tif", std::string("II*\0\x08\0\0\0", 8));
    const std::string png = dir.Write("map.png", "\x89PNG\r\n\x1a\n");
    const std::string netcdf = dir.Write("rain.nc", std::string("CDF\x01\0\0\0\0", 8));
    const std::string moved =
        dir.Write("moved.asc", CommandGrid(3, 1, "1 2 3\n", "-9999", "xllcorner 500500\nyllcorner 4100000"));
    const std::string out = dir.Path("out.asc");
    struct TCase {
        std::vector<std::string> Arguments;
        std::string Output;
        std::string Errors;
    };
    const std::vector<TCase> cases = {
        {{a, wide, out}, "X-dimension of maps are inconsistent in TMapTools::Sum\n",
         "gridmean: " + wide + " has 4 columns, " + a + " has 3\n"},
        {{a, bad, out}, "File format error: value \"0,3\" at row 1, column 2 is not a number\n",
         "gridmean: in " + bad + " (--lenient reads it)\n"},
        {{a, upper, out}, "File format error: expected to find ncols tag\n", "gridmean: in " + upper + " (--lenient reads it)\n"},
        {{a, broken, out}, "File format error: value \"x\" at row 1, column 2 is not a number\n", "gridmean: in " + broken + "\n"},
        {{a, tiff, out}, "File format error: expected to find ncols tag\n",
         "gridmean: in " + tiff + ": not an ESRI ASCII grid (it looks like a TIFF file)\n"},
        {{a, png, out}, "File format error: expected to find ncols tag\n",
         "gridmean: in " + png + ": not an ESRI ASCII grid (it looks like a PNG file)\n"},
        {{a, netcdf, out}, "File format error: expected to find ncols tag\n",
         "gridmean: in " + netcdf + ": not an ESRI ASCII grid (it looks like a NetCDF file)\n"},
        {{a, dir.Path("absent.asc"), out}, "Unable to open file " + dir.Path("absent.asc") + "\n",
         "gridmean: in " + dir.Path("absent.asc") + ": No such file or directory\n"},
        {{a, dir.Root(), out}, "Unable to open file " + dir.Root() + "\n", "gridmean: in " + dir.Root() + ": Is a directory\n"},
        {{a, "--stat", out}, "Unable to open file --stat\n", "gridmean: in --stat: options come before the files\n"},
        {{a, a, dir.Path("none/out.asc")}, "Unable to open file " + dir.Path("none/out.asc") + "\n",
         "gridmean: " + dir.Path("none/out.asc") + ": No such file or directory\n"},
        {{a, a, dir.Root()}, "Unable to open file " + dir.Root() + "\n", "gridmean: " + dir.Root() + ": Is a directory\n"},
        {{a, out}, "Must have more than 2 maps to sum in TMapTools::Sum\n", ""},
        {{a}, "Usage: gridmean file_1 file_2 file_n output_file\n", "gridmean: gridmean --help lists the options\n"},
        {{a, moved, out}, "", "gridmean: warning: " + moved + " has xllcorner 500500, " + a +
                                    " has 500000; the grids are matched cell by cell all the same (--check-geometry "
                                    "refuses them)\n"},
    };
    for (const TCase& test : cases) {
        const TCommandRun run = RunCommand(dir, test.Arguments);
        EXPECT_EQ(run.Status, test.Output.empty() ? 0 : 1) << test.Output;
        EXPECT_EQ(run.Output, test.Output);
        EXPECT_EQ(run.Errors, test.Errors);
    }
    // With --lenient the decimal comma reads; a shifted corner then passes unless the geometry is checked.
    const std::string shifted =
        dir.Write("shifted.asc", CommandGrid(3, 1, "4 5 6\n", "-9999", "xllcorner 500000.01\nyllcorner 4100000"));
    EXPECT_EQ(RunCommand(dir, {"--lenient", a, bad, out}).Status, 0);
    EXPECT_EQ(RunCommand(dir, {a, shifted, out}).Status, 0);
    const TCommandRun checked = RunCommand(dir, {"--check-geometry", a, shifted, out});
    EXPECT_EQ(checked.Status, 1);
    EXPECT_EQ(checked.Output, "Geometry differs: " + shifted + " has xllcorner 500000.01, " + a + " has 500000\n");
}

TEST(CommandOptions, GeometryIsCheckedWithinAMillionthOfACellAndAgainstTheProjection)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string within = dir.Write(  // within 250 * 1e-6 = 0.00025
        "within.asc", CommandGrid(3, 1, "1 2 3\n", "-9999", "xllcorner 500000.0002\nyllcorner 4099999.9998"));
    const std::string beyond = dir.Write(
        "beyond.asc", CommandGrid(3, 1, "1 2 3\n", "-9999", "xllcorner 500000\nyllcorner 4100000.0003"));
    const std::string out = dir.Path("out.asc");
    EXPECT_EQ(RunCommand(dir, {"--check-geometry", a, within, out}).Status, 0);
    EXPECT_EQ(RunCommand(dir, {"--check-geometry", a, beyond, out}).Output,
              "Geometry differs: " + beyond + " has yllcorner 4100000.0003, " + a + " has 4100000\n");

    // The projection files are compared after collapsing whitespace; one without a .prj passes.
    dir.Write("a.prj", "PROJCS[\"UTM 33N\",\n  GEOGCS[\"WGS 84\"]]\n");
    const std::string b = dir.Write("b.asc", CommandGrid(3, 1, "1 2 3\n"));
    dir.Write("b.prj", "PROJCS[\"UTM 33N\", GEOGCS[\"WGS 84\"]]");
    const std::string c = dir.Write("c.asc", CommandGrid(3, 1, "1 2 3\n"));
    dir.Write("c.prj", "PROJCS[\"UTM 32N\", GEOGCS[\"WGS 84\"]]");
    EXPECT_EQ(RunCommand(dir, {"--check-geometry", a, b, within, out}).Status, 0);
    const TCommandRun differs = RunCommand(dir, {"--check-geometry", a, b, c, out});
    EXPECT_EQ(differs.Status, 1);
    EXPECT_EQ(differs.Output,
              "Geometry differs: " + c + " has another coordinate system (" + dir.Path("c.prj") + ") than " + a + "\n");
}

TEST(CommandOptions, UnusableGeoreferencingIsRefusedNamingTheValue)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string out = dir.Path("out.asc");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"xllcorner 0\nyllcorner 0\ncellsize -30", "File format error: cellsize -30 is not a positive finite number"},
        {"xllcorner 0\nyllcorner 0\ncellsize 0", "File format error: cellsize 0 is not a positive finite number"},
        {"xllcorner 1e308\nyllcorner 0\ncellsize 1e308",
         "File format error: xllcorner 1e+308 with ncols 3 and cellsize 1e+308 puts an edge beyond the range of numbers"},
    };
    for (const auto& [geometry, message] : cases) {
        const std::string grid = dir.Write("g.asc", "ncols 3\nnrows 1\n" + geometry + "\nNODATA_value -9999\n1 2 3\n");
        const TCommandRun run = RunCommand(dir, {a, grid, out});
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Output, message + "\n");
        EXPECT_EQ(run.Errors, "gridmean: in " + grid + "\n");
    }
}

TEST(CommandOptions, ProgressIsALinePerTenthOffATerminalAndOneLineRedrawnOnOne)
{
    TScratchDir dir;
    std::string values;
    for (int i = 0; i < 300 * 300; ++i) values += std::to_string(i % 97) + (i % 300 == 299 ? "\n" : " ");
    const std::string a = dir.Write("a.asc", CommandGrid(300, 300, values));
    const std::string out = dir.Path("out.asc");
    // Standard error to a file: one line at each tenth of the rows, the last at 100 %.
    const TCommandRun run = RunCommand(dir, {"--progress", a, a, out});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Output, "");
    EXPECT_EQ(run.Errors.find('\r'), std::string::npos);
    EXPECT_EQ(run.Errors.rfind("gridmean: ", 0), 0u) << run.Errors;
    EXPECT_NE(run.Errors.find("gridmean: 100.0% of rows, "), std::string::npos) << run.Errors;
    EXPECT_LE(std::count(run.Errors.begin(), run.Errors.end(), '\n'), 10);
    EXPECT_EQ(RunCommand(dir, {a, a, out}).Errors, "");
#ifndef _WIN32
    // On a terminal: one line, redrawn, blanked at the end.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    ASSERT_EQ(RunCommand(dir, {"--progress", a, a, out}, [&] {
                  const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
                  ::dup2(slave, 2);
              }).Status,
              0);
    std::string drawn;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char block[4096];
    for (ssize_t got; (got = ::read(master, block, sizeof block)) > 0;) drawn.append(block, static_cast<size_t>(got));
    ::close(master);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
    EXPECT_NE(drawn.find("% of rows, "), std::string::npos);
    const size_t last = drawn.rfind('\r', drawn.size() - 2);
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(drawn.back(), '\r');
    EXPECT_EQ(drawn.find_first_not_of(' ', last + 1), drawn.size() - 1);
#endif
}

TEST(CommandOptions, CompressedGridsAndTheProjectionFileGoThrough)
{
#ifdef _WIN32
    GTEST_SKIP() << "the gzip program is run through a POSIX shell";
#endif
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string b = dir.Write("b.asc", CommandGrid(3, 1, "3 4 5\n"));
    ASSERT_EQ(std::system(("gzip -k " + Quoted(b)).c_str()), 0);
    dir.Write("a.prj", "PROJCS[\"UTM 33N\"]\n");
    const std::string plain = dir.Path("mean.asc");
    ASSERT_EQ(RunCommand(dir, {a, b, plain}).Status, 0);
    const std::string compressed = dir.Path("mean2.asc.gz");
    ASSERT_EQ(RunCommand(dir, {a, b + ".gz", compressed}).Status, 0);
    ASSERT_EQ(std::system(("gzip -dk " + Quoted(compressed)).c_str()), 0);
    EXPECT_EQ(ReadText(dir.Path("mean2.asc")), ReadText(plain));
    EXPECT_EQ(ReadText(dir.Path("mean.prj")), "PROJCS[\"UTM 33N\"]\n");
    EXPECT_EQ(ReadText(dir.Path("mean2.prj")), "PROJCS[\"UTM 33N\"]\n");
    // Without a projection file beside the first input, an existing one at the output is left alone.
    dir.Write("other.prj", "kept");
    ASSERT_EQ(RunCommand(dir, {b, a, dir.Path("other.asc")}).Status, 0);
    EXPECT_EQ(ReadText(dir.Path("other.prj")), "kept");
}

TEST(CommandOptions, ThousandsOfInputsUnderASmallLimitOnOpenFiles)
{
#ifdef _WIN32
    GTEST_SKIP() << "a Windows command line holds at most 32767 characters, and there is no limit to lower";
#else
    TScratchDir dir;
    std::vector<std::string> arguments;
    for (int k = 0; k < 5000; ++k)
        arguments.push_back(dir.Write("g" + std::to_string(k) + ".asc", CommandGrid(3, 2, std::to_string(k % 7) + " 1 2\n3 " +
                                                                                     std::to_string(k % 11) + " 5\n")));
    std::unique_ptr<TMap> mean(TGridFileAverager::AverageFiles(arguments));
    std::ostringstream expected;
    TARCGISFileTools::WriteARCGISFile(mean.get(), expected);
    const std::string out = dir.Path("out.asc");
    arguments.push_back(out);
    const TCommandRun run = RunCommand(dir, arguments, [] {
        struct rlimit limit = {256, 256};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(ReadText(out), expected.str());
#endif
}

TEST(CommandOptions, PicturesBesideEveryOutputWrittenOnlyWithTheGrids)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 2, "1 2 -9999\n4 5 6\n"));
    const std::string b = dir.Write("b.asc", CommandGrid(3, 2, "3 4 5\n6 -9999 8\n"));
    // One picture per statistic, each beside its grid, with the grid's georeference.
    const TCommandRun run =
        RunCommand(dir, {"--stat", "mean,gt:4", "--skip-nodata", "--png", dir.Path("look_{stat}.png"), "-o",
                         dir.Path("out_{stat}.asc"), a, b});
    ASSERT_EQ(run.Status, 0) << run.Output;
    for (const std::string name : {"out_mean.asc", "out_gt4.asc", "look_mean.png", "look_gt4.png"})
        EXPECT_TRUE(FileExists(dir.Path(name))) << name;
    const std::string picture = ReadText(dir.Path("look_mean.png"));
    EXPECT_EQ(picture.substr(1, 3), "PNG");
    EXPECT_NE(picture.find("xllcorner"), std::string::npos);
#ifdef GRIDMEAN_HAVE_LIBPNG
    const TDecodedPng decoded = DecodePng(picture);
    ASSERT_TRUE(decoded.Ok);
    EXPECT_EQ(decoded.At(2, 0).Alpha, 255);  // the mean of 5 alone
    EXPECT_EQ(decoded.Texts.at("Statistic"), "mean");
    EXPECT_EQ(DecodePng(ReadText(dir.Path("look_gt4.png"))).Texts.at("Statistic"), "gt:4");
#endif
    // A failed grid leaves no picture; a picture that cannot be written fails the run as an output
    // that cannot be written does, before any grid is replaced.
    const std::string out = dir.Write("old.asc", "old\n");
    EXPECT_EQ(RunCommand(dir, {"--png", dir.Path("old.png"), a, dir.Path("absent.asc"), out}).Status, 1);
    EXPECT_FALSE(FileExists(dir.Path("old.png")));
    const TCommandRun unwritable = RunCommand(dir, {"--png", dir.Path("none/old.png"), a, b, out});
    EXPECT_EQ(unwritable.Status, 1);
    EXPECT_EQ(unwritable.Output, "Unable to open file " + dir.Path("none/old.png") + "\n");
    EXPECT_EQ(ReadText(out), "old\n");
    // The option errors, one line naming the option.
    const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
        {{"--stat", "mean,max", "--png", "p.png", "-o", "o_{stat}.asc"},
         "Option --png: 2 statistics need {stat} in the picture name \"p.png\" (as in mean_{stat}.png)"},
        {{"--png", dir.Path("p.png"), "-o", dir.Path("p.png")},
         "Option --png: \"" + dir.Path("p.png") + "\" is also an output grid's name"},
        {{"--colours", "rainbow", "--png", "p.png"},
         "Option --colours: unknown colour ramp \"rainbow\" (" + TColourRamp::NameList() + ")"},
        {{"--png-range", "5,5", "--png", "p.png"}, "Option --png-range: the low end 5 is not below the high end 5"},
        {{"--png-range", "1,x", "--png", "p.png"}, "Option --png-range: \"x\" is not a finite decimal number"},
        {{"--png-range", "1", "--png", "p.png"}, "Option --png-range: \"1\" is not LO,HI"},
        {{"--colours", "magma"}, "Option --colours has no effect without --png"},
    };
    for (const auto& [options, message] : errors) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {a, b});
        if (std::find(options.begin(), options.end(), "-o") == options.end()) arguments.push_back(out);
        const TCommandRun failed = RunCommand(dir, arguments);
        EXPECT_EQ(failed.Status, 1) << message;
        EXPECT_EQ(failed.Output, message + "\n");
    }
}
