// Runs the real gridmean executable.

#include "CommandRun.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using TRun = TCommandRun;

TRun Gridmean(const TScratchDir& dir, const std::vector<std::string>& arguments) { return RunCommand(dir, arguments); }

const std::string kUsage = "Usage: gridmean file_1 file_2 file_n output_file\n";

}  // namespace

TEST(Command, AveragesIntoTheOutputSilently)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(3, 2, "1 2 -9999\n4 5 6\n"));
    // -1 marks missing data in b, where -9999 is a value like any other.
    const std::string b = dir.Write("b.asc", CommandGrid(3, 2, "3 4 5\n-1 5 -9999\n", "-1"));
    const std::string out = dir.Path("mean.asc");
    const TRun run = Gridmean(dir, {a, b, out});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Output, "");
    EXPECT_EQ(ReadText(out), "ncols 3\nnrows 2\nxllcorner   500000\nyllcorner  4100000\ncellsize 250\n"
                             "NODATA_value -9999\n2 3 -9999 \n-9999 5 -4996.5 \n");
}

TEST(Command, EveryErrorIsOneLineWithStatusOneAndNoOutput)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(2, 1, "1 2\n"));
    const std::string wide = dir.Write("wide.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string tall = dir.Write("tall.asc", CommandGrid(2, 2, "1 2\n3 4\n"));
    const std::string bad = dir.Write("bad.asc", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncells 1\n");
    const std::string shortFile = dir.Write("short.asc", CommandGrid(2, 2, "1 2 3"));
    const std::string missing = dir.Path("missing.asc");
    const std::string out = dir.Path("out.asc");
    const std::string noDir = dir.Path("nowhere/out.asc");
    struct TCase {
        std::vector<std::string> Arguments;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {{}, kUsage},
        {{a}, kUsage},
        {{a, out}, "Must have more than 2 maps to sum in TMapTools::Sum\n"},
        {{a, missing, out}, "Unable to open file " + missing + "\n"},
        {{a, wide, out}, "X-dimension of maps are inconsistent in TMapTools::Sum\n"},
        {{a, tall, out}, "Y-dimension of maps are inconsistent in TMapTools::Sum\n"},
        {{a, bad, out}, "File format error: expected to find cellsize tag\n"},
        {{a, shortFile, out}, "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile\n"},
        {{a, wide, missing, out}, "Unable to open file " + missing + "\n"},
        {{a, a, noDir}, "Unable to open file " + noDir + "\n"},
#ifndef _WIN32
        {{a, a, "/dev/full"}, "Unable to write file /dev/full\n"},
#endif
    };
    for (const auto& test : cases) {
        const TRun run = Gridmean(dir, test.Arguments);
        EXPECT_EQ(run.Status, 1) << test.Message;
        EXPECT_EQ(run.Output, test.Message);
        EXPECT_FALSE(FileExists(out)) << test.Message;
    }
}

TEST(Command, AnExistingOutputIsReplacedOnlyOnSuccess)
{
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", CommandGrid(2, 1, "1 2\n"));
    const std::string b = dir.Write("b.asc", CommandGrid(2, 1, "3 4\n"));
    const std::string wide = dir.Write("wide.asc", CommandGrid(3, 1, "1 2 3\n"));
    const std::string out = dir.Write("out.asc", "keep me\n");
    EXPECT_EQ(Gridmean(dir, {a, wide, out}).Status, 1);
    EXPECT_EQ(ReadText(out), "keep me\n");
    EXPECT_EQ(Gridmean(dir, {a, b, out}).Status, 0);
    EXPECT_NE(ReadText(out).find("\n2 3 \n"), std::string::npos);

    // The output may be one of the inputs.
    EXPECT_EQ(Gridmean(dir, {a, b, a}).Status, 0);
    EXPECT_NE(ReadText(a).find("\n2 3 \n"), std::string::npos);
}

TEST(Command, FileNamesInAnyScriptReachTheFileSystemIntact)
{
    // Latin, CJK and a character beyond the Basic Multilingual Plane (two UTF-16 units on
    // Windows), with blanks: each argument arrives whole and names the file it spells.
    TScratchDir dir;
    const std::string folder = "Niederschlag Zürich 雨";
    ASSERT_TRUE(std::filesystem::create_directory(TestPath(dir.Path(folder))));
    const std::string a = dir.Write(folder + "/März 2023.asc", CommandGrid(2, 1, "1 2\n"));
    const std::string b = dir.Write(folder + "/Regen 🌧 2024.asc", CommandGrid(2, 1, "3 4\n"));
    const std::string out = dir.Path(folder + "/Mittel 日本.asc");
    const TRun run = Gridmean(dir, {a, b, out});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Output, "");
    std::vector<std::string> names = {"März 2023.asc", "Regen 🌧 2024.asc", "Mittel 日本.asc"};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(DirectoryEntries(dir.Path(folder)), names);
    EXPECT_NE(ReadText(out).find("\n2 3 \n"), std::string::npos);

    // A name that is not there comes back in the message byte for byte, quotes and backslashes
    // before them included.
    for (const std::string& name : {folder + "/fehlt ä.asc", folder + "/\"zitiert\" \\\"x\\\\.asc"}) {
        const std::string missing = dir.Path(name);
        EXPECT_EQ(Gridmean(dir, {a, missing, out}).Output, "Unable to open file " + missing + "\n");
    }
}
