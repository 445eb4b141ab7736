#include "files/TARCGISFileTools.h"
#include "stack/TGridFileAverager.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

namespace {

std::string GridText(long cols, long rows, double noData, std::mt19937& random, double xll = 100, double yll = 200,
                     double cellSize = 0.1)
{
    std::uniform_int_distribution<int> cents(-100000, 100000);
    std::uniform_int_distribution<int> pick(0, 19);
    std::ostringstream text;
    text.precision(17);
    text << "ncols " << cols << "\nnrows " << rows << "\nxllcorner " << xll << "\nyllcorner " << yll << "\ncellsize "
         << cellSize << "\nNODATA_value " << noData << "\n";
    for (long y = 0; y < rows; ++y) {
        for (long x = 0; x < cols; ++x) {
            const int kind = pick(random);
            if (kind == 0) text << noData;
            else if (kind == 1) text << -9999;
            else if (kind == 2) text << -1;
            else text << cents(random) / 100.0;
            text << (x + 1 < cols ? " " : "\n");
        }
    }
    return text.str();
}

// What loading every file, averaging with TMapTools::Average and writing gives.
std::string ThroughMaps(const std::vector<std::string>& paths)
{
    std::vector<std::unique_ptr<TMap>> owned;
    std::vector<TMap*> maps;
    for (const auto& path : paths) {
        owned.emplace_back(TARCGISFileTools::LoadARCGISFile(path));
        maps.push_back(owned.back().get());
    }
    std::unique_ptr<TMap> mean(TMapTools::Average(maps));
    std::ostringstream out;
    TARCGISFileTools::WriteARCGISFile(mean.get(), out);
    return out.str();
}

std::string Streamed(const std::vector<std::string>& paths)
{
    std::unique_ptr<TMap> mean(TGridFileAverager::AverageFiles(paths));
    std::ostringstream out;
    TARCGISFileTools::WriteARCGISFile(mean.get(), out);
    return out.str();
}

std::string Header(long cols, long rows)
{
    return "ncols " + std::to_string(cols) + " nrows " + std::to_string(rows) +
        " xllcorner 0 yllcorner 0 cellsize 1 NODATA_value -9999\n";
}

}  // namespace

TEST(FileAverager, SameTextAsAveragingTheLoadedMaps)
{
    std::mt19937 random(5);
    TScratchDir dir;
    for (int trial = 0; trial < 6; ++trial) {
        const long cols = 1 + trial * 3;
        const long rows = trial == 0 ? 1 : 2 + trial;
        std::vector<std::string> paths;
        const double markers[] = {-9999, -1, 0, 3.5};
        for (int k = 0; k < 2 + trial; ++k)
            paths.push_back(dir.Write("g" + std::to_string(trial) + "_" + std::to_string(k) + ".asc",
                                      GridText(cols, rows, markers[(trial + k) % 4], random, 100 + k, 200 - k)));
        EXPECT_EQ(Streamed(paths), ThroughMaps(paths)) << "trial " << trial;
    }
}

TEST(FileAverager, FailuresComeInTheOrderTheMapsWouldGiveThem)
{
    TScratchDir dir;
    const std::string good = dir.Write("good.asc", Header(2, 1) + "1 2\n");
    const std::string wide = dir.Write("wide.asc", Header(3, 1) + "1 2 3\n");
    const std::string tall = dir.Write("tall.asc", Header(2, 2) + "1 2 3 4\n");
    const std::string broken = dir.Write("broken.asc", Header(3, 1) + "1 x 3\n");
    const std::string empty = dir.Write("empty.asc", Header(0, 0));
    const std::string missing = dir.Path("missing.asc");
    auto message = [](const std::vector<std::string>& paths) {
        return ThrownMessage([&] { delete TGridFileAverager::AverageFiles(paths); });
    };
    // A later file's load failure wins over an earlier difference in dimensions.
    EXPECT_EQ(message({good, wide, missing}), "Unable to open file " + missing);
    EXPECT_EQ(message({good, wide, broken}), "File format error: value \"x\" at row 1, column 2 is not a number");
    EXPECT_EQ(message({good, tall, wide}), "Y-dimension of maps are inconsistent in TMapTools::Sum");
    EXPECT_EQ(message({good, wide, tall}), "X-dimension of maps are inconsistent in TMapTools::Sum");
    EXPECT_EQ(message({good}), "Must have more than 2 maps to sum in TMapTools::Sum");
    EXPECT_EQ(message({missing}), "Unable to open file " + missing);
    EXPECT_EQ(message({good, empty}), "File format error: ncols and nrows must be greater than 0");
    EXPECT_EQ(message({empty, good}), "File format error: ncols and nrows must be greater than 0");
}

TEST(FileAverager, StreamsAverageLikeFiles)
{
    std::istringstream a(Header(2, 1) + "1 -9999\n");
    std::istringstream b(Header(2, 1) + "3 5\n");
    std::unique_ptr<TMap> mean(TGridFileAverager::AverageStreams({&a, &b}));
    EXPECT_EQ(CellsOf(mean.get()), (TRows{{2, -9999}}));
}
