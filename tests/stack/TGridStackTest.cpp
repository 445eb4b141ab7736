#include "stack/TGridStack.h"

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"

#include "TestSupport.h"
#include "sys/SystemCallFaults.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <random>
#include <sstream>
#include <thread>

namespace {

struct TGridShape {
    long Columns;
    long Rows;
    std::string Xll;
    std::string Yll;
    std::string CellSize;
    std::string NoData;
};

std::string GridText(const TGridShape& grid, std::mt19937& random)
{
    std::uniform_int_distribution<int> cents(-200000, 200000);
    std::uniform_int_distribution<int> pick(0, 19);
    std::ostringstream text;
    text << "ncols " << grid.Columns << "\nnrows " << grid.Rows << "\nxllcorner " << grid.Xll << "\nyllcorner "
         << grid.Yll << "\ncellsize " << grid.CellSize << "\nNODATA_value " << grid.NoData << "\n";
    for (long y = 0; y < grid.Rows; ++y) {
        for (long x = 0; x < grid.Columns; ++x) {
            const int kind = pick(random);
            if (kind == 0) text << grid.NoData;
            else if (kind == 1) text << "-9999";
            else if (kind == 2) text << "-1";
            else text << cents(random) / 100.0;
            text << (x + 1 < grid.Columns ? " " : "\n");
        }
    }
    return text.str();
}


// What loading the grids one after another (a grid without cells refused as the command refuses
// it), TMapTools::Average and the stream writer give.
std::string ThroughMaps(const std::vector<std::string>& texts)
{
    return Outcome([&] {
        std::vector<std::unique_ptr<TMap>> owned;
        std::vector<TMap*> maps;
        for (const std::string& text : texts) {
            std::istringstream in(text);
            owned.emplace_back(TARCGISFileTools::LoadARCGISFile(in));
            if (owned.back()->GetXDim() == 0 || owned.back()->GetYDim() == 0)
                throw "File format error: ncols and nrows must be greater than 0";
            maps.push_back(owned.back().get());
        }
        std::unique_ptr<TMap> mean(TMapTools::Average(maps));
        std::ostringstream out;
        TARCGISFileTools::WriteARCGISFile(mean.get(), out);
        return out.str();
    });
}

std::string ThroughStack(const std::vector<std::string>& texts, const TGridStackOptions& options,
                         TStackBlame* blame = nullptr)
{
    return Outcome([&] {
        TTextStreams inputs(texts);
        std::ostringstream out;
        TGridStack::WriteStreams(inputs.Pointers, out, options, blame);
        return out.str();
    });
}

TGridStackOptions Options(unsigned threads, size_t bandCells)
{
    TGridStackOptions options;
    options.Threads = threads;
    options.BandCells = bandCells;
    return options;
}

}  // namespace

TEST(GridStack, DefaultResultIsTheAverageOfTheLoadedMapsByteForByte)
{
    // Random stacks with several no-data values, shapes that put band ends mid-row and rows longer
    // than a band, and georeferencing down to the degenerate (zero, negative and vanishing cell
    // sizes, where the result's rows come out in another order).
    std::mt19937 random(7);
    const std::vector<TGridShape> shapes = {
        {1, 1, "0", "0", "1", "-9999"},          {5, 3, "100", "200", "0.1", "-9999"},
        {1, 40, "500000", "4100000", "250", "-1"}, {37, 1, "-180", "-90", "0.25", "0"},
        {9, 7, "10", "20", "-2", "-9999"},        {4, 6, "10", "20", "0", "-9999"},
        {3, 5, "1e20", "1e20", "1", "-1"},        {3, 4, "9007199254740992", "9007199254740992", "1.5", "-9999"},
        {2, 3, "1", "1", "2.2250738585072014e-308", "0"},
        {3, 2, "288230376151711744", "288230376151711744", "48", "-9999"},
        {2, 2, "0", "-0.5000000000000001", "6.661338147750939e-17", "-1"},
    };
    const std::vector<size_t> bands = {1, 3, 7, 64, 0};
    for (const TGridShape& shape : shapes) {
        for (int inputs = 2; inputs <= 4; ++inputs) {
            std::vector<std::string> texts;
            for (int k = 0; k < inputs; ++k) {
                TGridShape grid = shape;
                grid.NoData = k % 2 == 0 ? shape.NoData : "-9999";
                texts.push_back(GridText(grid, random));
            }
            const std::string expected = ThroughMaps(texts);
            ASSERT_EQ(expected.rfind("error", 0), std::string::npos) << expected;
            for (size_t band : bands)
                for (unsigned threads : {1u, 2u, 3u})
                    ASSERT_EQ(ThroughStack(texts, Options(threads, band)), expected)
                        << shape.Columns << "x" << shape.Rows << " cellsize " << shape.CellSize << ", " << inputs
                        << " inputs, band " << band << ", threads " << threads;
        }
    }
}

TEST(GridStack, FailuresComeAsIfTheGridsWereLoadedOneAfterAnother)
{
    // Each case's expected outcome is the sequential road's; the blame names the input reported.
    const std::string good = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n";
    const std::string lateBadValue =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 x\n";
    const std::string earlyBadValue =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\nx 2 3\n4 5 6\n";
    const std::string shortValues = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4";
    const std::string badHeader = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\nsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n";
    const std::string wider = "ncols 4\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3 4\n5 6 7 8\n";
    const std::string taller = "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n7 8 9\n";
    const std::string noCells = "ncols 0\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
    const std::string empty;
    struct TCase {
        std::vector<std::string> Inputs;
        long Blamed;
    };
    const std::vector<TCase> cases = {
        {{lateBadValue, badHeader}, 0},        // an early input's failure found after a later header's
        {{lateBadValue, earlyBadValue}, 0},    // ... and after a later input's value failure
        {{good, shortValues, badHeader}, 1},   {{good, wider, earlyBadValue}, 2},
        {{good, taller, wider}, 1},            {{good, wider, taller}, 1},
        {{good, good, good, lateBadValue}, 3}, {{lateBadValue}, 0},
        {{good}, -1},                          {{noCells, good}, 0},
        {{lateBadValue, noCells}, 0},          {{good, noCells}, 1},
        {{good, empty}, 1},                    {{empty, lateBadValue}, 0},
    };
    for (const TCase& test : cases) {
        const std::string expected = ThroughMaps(test.Inputs);
        ASSERT_EQ(expected.rfind("error: ", 0), 0u) << expected;
        for (unsigned threads : {1u, 2u}) {
            TStackBlame blame;
            EXPECT_EQ(ThroughStack(test.Inputs, Options(threads, 1), &blame), expected);
            EXPECT_EQ(blame.Input, test.Blamed) << expected;
        }
    }
    TStackBlame blame;
    ThroughStack({good, taller}, Options(1, 0), &blame);
    EXPECT_EQ(blame.Dimension, 'Y');
    EXPECT_EQ(blame.Count, 3);
    EXPECT_EQ(blame.FirstCount, 2);
}

TEST(GridStack, NamedFilesAndFifosGiveTheSameResultAndTheTargetIsReplacedOnlyWhenWhole)
{
    TScratchDir dir;
    std::mt19937 random(3);
    const TGridShape grid{50, 40, "440720", "3750120", "30", "-9999"};
    const std::vector<std::string> texts = {GridText(grid, random), GridText(grid, random), GridText(grid, random)};
    const std::string expected = ThroughMaps(texts);

    std::vector<std::string> names;
    for (size_t k = 0; k < texts.size(); ++k) names.push_back(dir.Write("in" + std::to_string(k) + ".asc", texts[k]));
    const std::string out = dir.Path("out.asc");
    TGridStack::WriteFiles(names, out, Options(2, 100));
    EXPECT_EQ(ReadText(out), expected);

#ifndef _WIN32
    // The same inputs through FIFOs, written while they are read (Windows has no FIFOs).
    std::vector<std::string> fifos;
    for (size_t k = 0; k < texts.size(); ++k) {
        fifos.push_back(dir.Path("fifo" + std::to_string(k)));
        ASSERT_EQ(::mkfifo(fifos.back().c_str(), 0600), 0);
    }
    std::vector<std::thread> writers;
    for (size_t k = 0; k < texts.size(); ++k)
        writers.emplace_back([&, k] { std::ofstream(fifos[k], std::ios::binary) << texts[k]; });
    const std::string fromFifos = dir.Path("fifo-out.asc");
    TGridStack::WriteFiles(fifos, fromFifos, Options(2, 100));
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(ReadText(fromFifos), expected);
#endif

    // A failure in the last value, after many bands were written, leaves the old output as it was
    // and nothing beside it.
    std::string broken = texts[1];
    broken.replace(broken.size() - 3, 2, "zz");
    const std::string brokenName = dir.Write("broken.asc", broken);
    const std::vector<std::string> before = DirectoryEntries(dir.Root());
    EXPECT_EQ(ThrownMessage([&] { TGridStack::WriteFiles({names[0], brokenName}, out, Options(2, 10)); }).rfind(
                  "File format error: value \"", 0),
              0u);
    EXPECT_EQ(ReadText(out), expected);
    EXPECT_EQ(DirectoryEntries(dir.Root()), before);
}

TEST(GridStack, OutputFailuresComeAfterEveryInputLoaded)
{
    TScratchDir dir;
    const std::string good = dir.Write(
        "good.asc", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2\n");
    const std::string bad = dir.Write(
        "bad.asc", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 q\n");
    const std::string wide = dir.Write(
        "wide.asc", "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n");
    const std::string nowhere = dir.Path("missing/out.asc");
    auto run = [&](const std::vector<std::string>& inputs) {
        return ThrownMessage([&] { TGridStack::WriteFiles(inputs, nowhere, TGridStackOptions()); });
    };
    EXPECT_EQ(run({good, good}), "Unable to open file " + nowhere);
    EXPECT_EQ(run({good, bad}), "File format error: value \"q\" at row 1, column 2 is not a number");
    EXPECT_EQ(run({good, wide}), "X-dimension of maps are inconsistent in TMapTools::Sum");
    EXPECT_EQ(run({good, dir.Path("absent.asc"), bad}), "Unable to open file " + dir.Path("absent.asc"));
}

TEST(GridStack, GeoreferencingChecksAreOptionsOfTheEngine)
{
    // The refusal of unusable values and the geometry check, for library callers, with the
    // command's messages; streams are named by their position. Without the options, neither.
    const std::string good = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2\n";
    const std::string shifted = "ncols 2\nnrows 1\nxllcorner 0.5\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2\n";
    const std::string unusable = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize -3\nNODATA_value -9999\n1 2\n";
    struct TCase {
        std::vector<std::string> Inputs;
        bool Refuse;
        bool Check;
        std::string Message;  // empty: written
        long Blamed;
    };
    const std::vector<TCase> cases = {
        {{good, unusable}, false, false, "", -1},
        {{good, unusable}, true, false, "error: File format error: cellsize -3 is not a positive finite number", 1},
        {{good, shifted}, true, false, "", -1},
        {{good, shifted}, false, true, "error: Geometry differs: input 2 has xllcorner 0.5, input 1 has 0", 1},
        {{unusable, shifted}, true, true, "error: File format error: cellsize -3 is not a positive finite number", 0},
    };
    for (const TCase& test : cases) {
        TGridStackOptions options;
        options.RefuseUnusableGeoreferencing = test.Refuse;
        options.CheckGeometry = test.Check;
        TStackBlame blame;
        const std::string outcome = ThroughStack(test.Inputs, options, &blame);
        if (test.Message.empty()) {
            EXPECT_EQ(outcome.rfind("ncols 2\n", 0), 0u) << outcome;
        } else {
            EXPECT_EQ(outcome, test.Message);
        }
        EXPECT_EQ(blame.Input, test.Blamed) << test.Message;
    }

    // Named files are named as given, and their projection files are compared.
    TScratchDir dir;
    const std::string a = dir.Write("a.asc", good);
    const std::string b = dir.Write("b.asc", good);
    dir.Write("a.prj", "GEOGCS[1]");
    dir.Write("b.prj", "GEOGCS[2]");
    TGridStackOptions options;
    options.CheckGeometry = true;
    EXPECT_EQ(ThrownMessage([&] { TGridStack::WriteFiles({a, b}, dir.Path("out.asc"), options); }),
              "Geometry differs: " + b + " has another coordinate system (" + dir.Path("b.prj") + ") than " + a);
}

TEST(GridStack, SeveralOutputsAreAllWholeBeforeAnyIsReplaced)
{
    // A failure before the renames changes no output; one during them names those replaced.
    TScratchDir dir;
    const std::string grid = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2\n";
    const std::vector<std::string> inputs = {dir.Write("a.asc", grid), dir.Write("b.asc", grid)};
    dir.Write("a.prj", "GEOGCS[1]");
    TGridStackOptions options;
    options.CopyProjection = true;
    options.Rule.Statistics = {{TStatisticKind::Mean, 50}, {TStatisticKind::Count, 50}};
    const std::vector<std::string> outputs = {dir.Path("mean.asc"), dir.Path("count.asc")};
    const auto reset = [&] {
        for (const std::string name : {"mean.asc", "mean.prj", "count.asc", "count.prj"}) dir.Write(name, "old\n");
    };
    const auto contents = [&] {
        std::string all;
        for (const std::string name : {"mean.asc", "mean.prj", "count.asc", "count.prj"})
            all += ReadText(dir.Path(name)) == "old\n" ? "old " : "new ";
        return all;
    };
    struct TCase {
        int Call;  // 0: Fsync, 1: RenameAt
        long Skip;
        int Times;
        unsigned Threads;  // one: the outputs are finished in order, so the calls are counted in order
        std::string Message;
        std::string Contents;
    };
    const std::vector<TCase> cases = {
        {0, 1, 1, 1, "Unable to write file " + dir.Path("mean.prj"), "old old old old "},
        {0, 3, 1, 1, "Unable to write file " + dir.Path("count.prj"), "old old old old "},
        {1, 2, 1, 1, "Unable to write file " + outputs[1] + " (already replaced: " + outputs[0] + ", " + dir.Path("mean.prj") + ")",
         "new new old old "},
        {1, 0, 1, 1, "Unable to write file " + outputs[0], "old old old old "},
        // Finished side by side, both fail: the first output's failure is the one reported.
        {0, 0, -1, 2, "Unable to write file " + outputs[0], "old old old old "},
    };
    for (const TCase& test : cases) {
        reset();
        const std::vector<std::string> before = DirectoryEntries(dir.Root());
        TSystemCallFaults faults;
        if (test.Call == 0)
            faults.Fail<&TSystemCallTable::Fsync>(EIO, test.Skip, test.Times);
        else
            faults.Fail<&TSystemCallTable::RenameAt>(EIO, test.Skip, test.Times);
        options.Threads = test.Threads;
        EXPECT_EQ(ThrownMessage([&] { TGridStack::WriteFiles(inputs, outputs, options); }), test.Message);
        EXPECT_EQ(contents(), test.Contents) << test.Message;
        EXPECT_EQ(DirectoryEntries(dir.Root()), before) << test.Message;
    }
    reset();
    TGridStack::WriteFiles(inputs, outputs, options);
    EXPECT_EQ(contents(), "new new new new ");
    EXPECT_EQ(ReadText(dir.Path("count.prj")), "GEOGCS[1]");
    EXPECT_EQ(ThrownMessage([&] { TGridStack::WriteFiles(inputs, {outputs[0]}, options); }),
              "Number of outputs does not match the number of statistics in TGridStack");
}
