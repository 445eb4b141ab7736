#include "files/TARCGISFileTools.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <iomanip>
#include <memory>
#include <sstream>

namespace {

std::string Written(TMap* map)
{
    std::ostringstream out;
    TARCGISFileTools::WriteARCGISFile(map, out);
    return out.str();
}


}  // namespace

TEST(GridWriter, HeaderAndRowsLayout)
{
    auto map = MakeMap({{1, 2, 3, 4}, {5, 6, -9999, 8}, {9, 10, 11, 12.5}}, 10, 20, 2);
    EXPECT_EQ(Written(map.get()),
              "ncols 4\nnrows 3\nxllcorner       10\nyllcorner       20\ncellsize 2\nNODATA_value -9999\n"
              "1 2 3 4 \n5 6 -9999 8 \n9 10 11 12.5 \n");
}

TEST(GridWriter, GeoreferencingKeepsFifteenDigitsAndCellsSix)
{
    auto map = MakeMap({{123456.75, 1234567.0, 0.1}}, 512345.5, 4072345.25, 0.5, -3.5);
    const std::string text = Written(map.get());
    EXPECT_NE(text.find("xllcorner 512345.5\n"), std::string::npos) << text;
    EXPECT_NE(text.find("yllcorner 4072345.25\n"), std::string::npos) << text;
    EXPECT_NE(text.find("cellsize 0.5\n"), std::string::npos) << text;
    EXPECT_NE(text.find("NODATA_value -3.5\n123457 1.23457e+06 0.1 \n"), std::string::npos) << text;

    auto negative = MakeMap({{1}}, -5, -0.25, 1);
    EXPECT_NE(Written(negative.get()).find("xllcorner       -5\nyllcorner    -0.25\n"), std::string::npos);
}

TEST(GridWriter, SouthernEdgeAndNorthRowFirstWhateverTheOrientation)
{
    // Y edges ascending: row 0 is the southern row, written last; the corner is the southern edge.
    auto ascending = MakeMap({{1, 2}, {3, 4}}, 0, 100, 10, -9999, true);
    EXPECT_EQ(Written(ascending.get()),
              "ncols 2\nnrows 2\nxllcorner        0\nyllcorner      100\ncellsize 10\nNODATA_value -9999\n"
              "3 4 \n1 2 \n");

    // A one-row map built from its centres has ascending edges around the single centre.
    TAxis x(10);
    x.AddPoint(new TPoint(5, 55));
    TAxis y(10);
    y.AddPoint(new TPoint(5, 55));
    TMap oneRow(&x, &y);
    oneRow.SetPoint(0, 0, 7);
    EXPECT_EQ(Written(&oneRow),
              "ncols 1\nnrows 1\nxllcorner        0\nyllcorner       50\ncellsize 10\nNODATA_value -9999\n7 \n");
}

TEST(GridWriter, ReadsBackToTheSameMap)
{
    auto map = MakeMap({{0.125, -7, 1e-7}, {-9999, 3.25e12, 42}}, 440720, 3750120, 30);
    std::istringstream in(Written(map.get()));
    std::unique_ptr<TMap> back(TARCGISFileTools::LoadARCGISFile(in));
    EXPECT_EQ(CellsOf(back.get()), CellsOf(map.get()));
    for (long i = 0; i <= 3; ++i)
        EXPECT_EQ(back->GetXAxisInterval()->GetOrdinate(i, 'X'), map->GetXAxisInterval()->GetOrdinate(i, 'X'));
    for (long i = 0; i <= 2; ++i)
        EXPECT_EQ(back->GetYAxisInterval()->GetOrdinate(i, 'Y'), map->GetYAxisInterval()->GetOrdinate(i, 'Y'));
}

TEST(GridWriter, CellsFollowTheCallersStreamFormatting)
{
    auto map = MakeMap({{1.23456789, -2}}, 0, 0, 1, -1.5);
    std::ostringstream precise;
    precise << std::setprecision(10);
    TARCGISFileTools::WriteARCGISFile(map.get(), precise);
    EXPECT_NE(precise.str().find("NODATA_value -1.5\n1.23456789 -2 \n"), std::string::npos) << precise.str();

    std::ostringstream fixed;
    fixed << std::fixed << std::setprecision(2);
    TMapTools::WriteFlatFile(map.get(), fixed, ',');
    EXPECT_EQ(fixed.str(), "1.23,-2.00,\n");

    std::ostringstream signs;
    signs << std::showpos << std::setw(12);
    TMapTools::WriteFlatFile(map.get(), signs, ' ');
    EXPECT_EQ(signs.str(), "+1.23457 -2 \n");
}

TEST(GridWriter, EdgeCasesOfTheMatrix)
{
    TMap noRows(1);
    auto withAxes = MakeMap({}, 0, 0, 1);
    EXPECT_EQ(Written(withAxes.get()), "ncols 0\nnrows 0\nxllcorner        0\nyllcorner        0\ncellsize 1\n"
                                       "NODATA_value -9999\n");
    TMap noColumns(1);
    noColumns.AddRow({});
    noColumns.AddRow({});
    std::ostringstream flat;
    TMapTools::WriteFlatFile(&noColumns, flat, ' ');
    EXPECT_EQ(flat.str(), "\n\n");
    EXPECT_EQ(ThrownMessage([&] { Written(&noRows); }), "Map has no interval axes in TARCGISFileTools::WriteARCGISFile");
}

TEST(GridFileWriter, ReportsFilesThatCannotBeWritten)
{
    TScratchDir dir;
    auto map = MakeMap({{1, 2}});
    const std::string missing = dir.Path("no/such/dir/out.asc");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(map.get(), missing); }),
              "Unable to open file " + missing);
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(map.get(), dir.Root()); }),
              "Unable to open file " + dir.Root());
#ifndef _WIN32
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(map.get(), std::string("/dev/full")); }),
              "Unable to write file /dev/full");
#endif
    TMap bare(1, 1, 1);
    const std::string never = dir.Path("never.asc");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(&bare, never); }),
              "Map has no interval axes in TARCGISFileTools::WriteARCGISFile");
    EXPECT_FALSE(FileExists(never));
    EXPECT_TRUE(DirectoryEntries(dir.Root()).empty());
}

TEST(GridFileWriter, ReplacesAFileOnlyWhenTheWholeGridIsWritten)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit, child processes by fork, or POSIX permission bits";
#else
    TScratchDir dir;
    const std::string target = dir.Write("mean.asc", "old contents\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

    // A write that fails part-way (the file size limit stands in for a full disk) leaves the old
    // file whole and no temporary file behind.
    TRows rows(200, std::vector<double>(500, 1.5));
    auto big = MakeMap(rows);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(big.get(), target); });
        ::_exit(message == "Unable to write file " + target ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadText(target), "old contents\n");
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"mean.asc"}));

    auto map = MakeMap({{1, 2}});
    TARCGISFileTools::WriteARCGISFile(map.get(), target);
    EXPECT_EQ(ReadText(target).substr(0, 8), "ncols 2\n");
    struct stat status2;
    ASSERT_EQ(::stat(target.c_str(), &status2), 0);
    EXPECT_EQ(status2.st_mode & 07777, 0640u);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"mean.asc"}));

    // A new file gets the usual permissions: 0666 less the umask.
    const mode_t mask = ::umask(022);
    const std::string fresh = dir.Path("fresh.asc");
    TARCGISFileTools::WriteARCGISFile(map.get(), fresh);
    ::umask(mask);
    ASSERT_EQ(::stat(fresh.c_str(), &status2), 0);
    EXPECT_EQ(status2.st_mode & 07777, 0644u);
#endif
}

TEST(GridFileWriter, WritesThroughSymbolicLinksInPlace)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need rights on Windows that few users have";
#else
    TScratchDir dir;
    const std::string real = dir.Write("real.asc", "old\n");
    const std::string link = dir.Path("link.asc");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    auto map = MakeMap({{3}});
    TARCGISFileTools::WriteARCGISFile(map.get(), link);
    struct stat status;
    ASSERT_EQ(::lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(ReadText(real).substr(0, 8), "ncols 1\n");
#endif
}
