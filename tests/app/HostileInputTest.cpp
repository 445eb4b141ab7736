// The real gridmean executable given broken and hostile input: every case ends with exactly one
// line on standard output, status 1, bounded memory and time, and no output file created or changed.

#include "CommandRun.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using TOutcome = TCommandRun;

#ifdef _WIN32

// Runs gridmean (a hang is left to the test runner's time limit).
TOutcome RunGridmean(const TScratchDir& dir, const std::vector<std::string>& arguments)
{
    return RunCommand(dir, arguments);
}

#else

// Runs gridmean, with a file size limit when one is given.
TOutcome RunGridmean(const TScratchDir& dir, const std::vector<std::string>& arguments, long fileSizeLimit = -1)
{
    return RunCommand(dir, arguments, [fileSizeLimit] {
        if (fileSizeLimit < 0) return;
        struct rlimit size = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &size);
    });
}

#endif

std::string Header(const std::string& cols, const std::string& rows)
{
    return "ncols " + cols + "\nnrows " + rows + "\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
}

const char* const kEnd = "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile\n";

// Far beyond any file, within the range of long (32 bits on Windows).
const std::string kHuge = sizeof(long) >= 8 ? "1000000000000" : "2000000000";

}  // namespace

TEST(HostileInput, EndsWithOneLineStatusOneAndNothingWritten)
{
    TScratchDir dir;
    const std::string good = dir.Write("good.asc", Header("2", "1") + "1 2\n");
    std::mt19937 random(17);
    std::string garbage(4096, '\0');
    for (char& byte : garbage) byte = static_cast<char>(random());
    garbage[0] = '\x7f';  // never a letter that starts a tag
    struct TCase {
        std::string Name;
        std::string Content;
        std::string Message;  // the whole line, or its beginning when it ends with "..."
    };
    const std::vector<TCase> cases = {
        {"empty", "", "File format error: expected to find ncols tag\n"},
        {"header-only", Header("2", "1"), kEnd},
        {"garbage", garbage, "File format error: expected to find ncols tag\n"},
        {"nul-in-value", Header("2", "1") + std::string("1\0" "5 2\n", 6),
         "File format error: value \"1?5\" at row 1, column 1 is not a number\n"},
        {"huge-token", Header("2", "1") + "1 " + std::string(10 << 20, '9') + "\n",
         "File format error: value \"999999999999999999999999...\" at row 1, column 2 is not a number\n"},
        {"negative-cols", Header("-2", "1") + "1 2\n", "File format error: ncols must not be negative\n"},
        {"negative-rows", Header("2", "-1") + "1 2\n", "File format error: nrows must not be negative\n"},
        {"zero-cols", Header("0", "1"), "File format error: ncols and nrows must be greater than 0\n"},
        {"zero-rows", Header("2", "0"), "File format error: ncols and nrows must be greater than 0\n"},
        {"huge-cols", Header(kHuge, "1") + "1 2\n", kEnd},
        {"huge-rows", Header("2", kHuge) + "1 2\n", kEnd},
        {"huge-both", Header(kHuge, kHuge) + "1 2\n", kEnd},
        {"huge-rows-no-cols", Header("0", kHuge),
         "File format error: nrows is too large for a grid without columns\n"},
        {"overflow", Header("2", "1") + "1 1e400\n",
         "File format error: value \"1e400\" at row 1, column 2 is too large for a number\n"},
    };
    const std::string out = dir.Path("out.asc");
    for (const auto& test : cases) {
        const std::string input = dir.Write(test.Name + ".asc", test.Content);
        for (const auto& order : {std::vector<std::string>{input, good, out}, std::vector<std::string>{good, input, out}}) {
            const TOutcome outcome = RunGridmean(dir, order);
            EXPECT_EQ(outcome.Status, 1) << test.Name;
            EXPECT_EQ(outcome.Output, test.Message) << test.Name;
            // Windows reports the peak of a process that has ended; Wine reports 0 (not known).
            if (outcome.PeakKilobytes > 0) {
                EXPECT_LT(outcome.PeakKilobytes, 200 * 1024) << test.Name;
            }
            EXPECT_FALSE(FileExists(out)) << test.Name;
        }
    }
}

TEST(HostileInput, PathsThatAreNotUsableFiles)
{
    TScratchDir dir;
    const std::string good = dir.Write("good.asc", Header("2", "1") + "1 2\n");
    const std::string nowhere = dir.Path("missing/out.asc");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{good, dir.Root(), dir.Path("out.asc")}, "Unable to open file " + dir.Root() + "\n"},
        {{good, good, nowhere}, "Unable to open file " + nowhere + "\n"},
        {{good, good, dir.Root()}, "Unable to open file " + dir.Root() + "\n"},
#ifndef _WIN32
        {{good, good, "/dev/full"}, "Unable to write file /dev/full\n"},
#endif
    };
    for (const auto& [arguments, message] : cases) {
        const TOutcome outcome = RunGridmean(dir, arguments);
        EXPECT_EQ(outcome.Status, 1) << message;
        EXPECT_EQ(outcome.Output, message);
    }
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"good.asc"}));
}

TEST(HostileInput, AFullDiskLeavesTheOldOutputWhole)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit to stand in for a full disk; the writer's fault tests fail each write";
#else
    TScratchDir dir;
    std::string values;
    for (int i = 0; i < 20000; ++i) values += "1234.5 ";
    const std::string big = dir.Write("big.asc", Header("20000", "1") + values + "\n");
    const std::string out = dir.Write("out.asc", "the previous mean\n");
    const TOutcome outcome = RunGridmean(dir, {big, big, out}, 4096);
    EXPECT_EQ(outcome.Status, 1);
    EXPECT_EQ(outcome.Output, "Unable to write file " + out + "\n");
    EXPECT_EQ(ReadText(out), "the previous mean\n");
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"big.asc", "out.asc"}));

    const TOutcome success = RunGridmean(dir, {big, big, out});
    EXPECT_EQ(success.Status, 0);
    EXPECT_EQ(success.Output, "");
    EXPECT_EQ(ReadText(out).substr(0, 12), "ncols 20000\n");
#endif
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GRIDMEAN_TEST_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define GRIDMEAN_TEST_ADDRESS_SANITIZER
#endif

// The sanitizer reserves far more address space than any limit here allows.
#if !defined(_WIN32) && !defined(GRIDMEAN_TEST_ADDRESS_SANITIZER)

TEST(HostileInput, RunningOutOfMemoryAnywhereIsOutOfMemory)
{
    // Under every limit on the address space from too small to start up to enough: the run ends
    // with status 0 and the mean, or status 1 and "Out of memory" (on whichever thread it ran
    // out), the old output whole and no temporary file; never a crash.
    TScratchDir dir;
    std::string text = Header("800", "800");
    for (int y = 0; y < 800; ++y) {
        for (int x = 0; x < 800; ++x) text += std::to_string((x * 7 + y * 13) % 1000) + ".25 ";
        text += '\n';
    }
    const std::string a = dir.Write("a.asc", text);
    const std::string out = dir.Path("out.asc");
    ASSERT_EQ(RunCommand(dir, {a, a, out}).Status, 0);
    const std::string mean = ReadText(out);
    dir.Write("out.asc", "old\n");
    const std::vector<std::string> expected = DirectoryEntries(dir.Root());
    int successes = 0;
    int failures = 0;
    bool started = false;
    for (rlim_t kilobytes = 4000; kilobytes < 400000 && successes < 3; kilobytes += 700) {
        const TOutcome outcome = RunCommand(dir, {a, a, out}, [kilobytes] {
            struct rlimit space = {kilobytes << 10, kilobytes << 10};
            ::setrlimit(RLIMIT_AS, &space);
        });
        // 127: too small for the program to be loaded at all.
        if (outcome.Status == 127 && !started) continue;
        started = true;
        ASSERT_TRUE(outcome.Status == 0 || outcome.Status == 1) << kilobytes << " KB: status " << outcome.Status;
        EXPECT_EQ(DirectoryEntries(dir.Root()), expected) << kilobytes << " KB";
        if (outcome.Status == 0) {
            ++successes;
            EXPECT_EQ(ReadText(out), mean) << kilobytes << " KB";
            dir.Write("out.asc", "old\n");
        } else {
            ++failures;
            EXPECT_EQ(outcome.Output, "Out of memory\n") << kilobytes << " KB";
            EXPECT_EQ(ReadText(out), "old\n") << kilobytes << " KB";
        }
    }
    EXPECT_EQ(successes, 3);
    EXPECT_GT(failures, 3);
}

#endif

#ifndef _WIN32
TEST(HostileInput, FineCellsFarFromTheOriginStreamInBoundedMemory)
{
    // Cells a thousandth of a unit wide 4100 km from the origin: the rows' order is known from the
    // header before reading, so the grid is not kept whole (16 MB of doubles per input here).
    TScratchDir dir;
    const long columns = 500;
    const long rows = 4000;
    std::string text = "ncols 500\nnrows 4000\nxllcorner 500000\nyllcorner 4100000\ncellsize 0.001\nNODATA_value -9999\n";
    std::string row;
    for (long x = 0; x < columns; ++x) row += "1 ";
    row += '\n';
    for (long y = 0; y < rows; ++y) text += row;
    const std::string a = dir.Write("a.asc", text);
    const std::string b = dir.Write("b.asc", text);
    // Against the same grids with cells of 30 units, which stream anyway: memory is the same.
    std::string coarse = text;
    coarse.replace(coarse.find("cellsize 0.001"), 14, "cellsize 30");
    const std::string c = dir.Write("c.asc", coarse);
    const TOutcome outcome = RunGridmean(dir, {a, b, dir.Path("out.asc")});
    const TOutcome reference = RunGridmean(dir, {c, c, dir.Path("out.asc")});
    ASSERT_EQ(outcome.Status, 0) << outcome.Output;
    ASSERT_EQ(reference.Status, 0) << reference.Output;
    EXPECT_LT(outcome.PeakKilobytes, reference.PeakKilobytes + 8 * 1024);
}
#endif

TEST(HostileInput, ResultsThatAreNotFiniteAreWrittenAsMissing)
{
    // Every written number reads back: a result that would overflow stays finite where it can,
    // and is missing where it cannot.
    TScratchDir dir;
    const auto grid = [&](const std::string& name, const std::string& value) {
        return dir.Write(name, Header("1", "1") + value + "\n");
    };
    const std::string big = grid("big.asc", "1.7e308");
    const std::string negative = grid("negative.asc", "-1.7e308");
    const std::string out = dir.Path("out.asc");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{big, big}, "1.7e+308"},
        {{"--stat", "sum", big, big}, "-9999"},
        {{"--stat", "stddev", big, big}, "0"},
        {{"--stat", "variance", big, big}, "0"},
        {{"--stat", "p50", big, negative}, "0"},
        {{"--stat", "median", big, negative}, "0"},
        {{"--stat", "range", big, negative}, "-9999"},
        {{"--weights", "1e308,1e308", big, big}, "1.7e+308"},
        {{"--stat", "skewness", big, negative}, "0"},
    };
    for (const auto& test : cases) {
        std::vector<std::string> arguments = test.first;
        arguments.push_back(out);
        const TOutcome outcome = RunGridmean(dir, arguments);
        EXPECT_EQ(outcome.Status, 0) << test.second << outcome.Output;
        const std::string text = ReadText(out);
        EXPECT_EQ(text.substr(text.rfind("NODATA_value")), "NODATA_value -9999\n" + test.second + " \n")
            << arguments.front() << " " << arguments[1];
        const TOutcome again = RunGridmean(dir, {out, out, dir.Path("again.asc")});
        EXPECT_EQ(again.Status, 0) << again.Output;
    }
}
