#include "files/TProjectionFiles.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace {
const std::string kWkt = "PROJCS[\"WGS 84 / UTM zone 33N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\"]]]";
}

TEST(ProjectionFiles, SidecarNameReplacesTheGridExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"mean.asc", "mean.prj"},          {"mean.asc.gz", "mean.prj"},     {"mean", "mean.prj"},
        {"mean.gz", "mean.prj"},           {"MEAN.ASC", "MEAN.prj"},        {"dir.v2/mean", "dir.v2/mean.prj"},
        {"dir.v2/mean.asc", "dir.v2/mean.prj"}, {"/data/.hidden", "/data/.hidden.prj"}, {"day.2023.asc", "day.2023.prj"},
    };
    for (const auto& [grid, sidecar] : cases) EXPECT_EQ(TProjectionFiles::SidecarName(grid), sidecar) << grid;
#ifdef _WIN32
    // Windows paths also end their folders with a backslash or a drive's colon.
    const std::vector<std::pair<std::string, std::string>> windowsCases = {
        {"C:\\dir.v2\\mean", "C:\\dir.v2\\mean.prj"}, {"C:\\data\\.hidden", "C:\\data\\.hidden.prj"},
        {"C:.hidden", "C:.hidden.prj"}, {"D:mean.asc", "D:mean.prj"},
    };
    for (const auto& [grid, sidecar] : windowsCases) EXPECT_EQ(TProjectionFiles::SidecarName(grid), sidecar) << grid;
#endif
}

TEST(ProjectionFiles, FindSidecarTakesRegularFilesInEitherCase)
{
    TScratchDir dir;
    dir.Write("a.prj", kWkt);
    dir.Write("b.PRJ", kWkt);
    dir.Write("c.prj", kWkt);
    dir.Write("c.PRJ", kWkt);
    dir.Write("Zürich 雨.prj", kWkt);
    ASSERT_TRUE(std::filesystem::create_directory(TestPath(dir.Path("d.prj"))));
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("a.asc")), dir.Path("a.prj"));
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("a.asc.gz")), dir.Path("a.prj"));
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("a")), dir.Path("a.prj"));
#ifdef _WIN32
    // Windows names are blind to case: the lower-case name finds the file already.
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("b.asc")), dir.Path("b.prj"));
#else
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("b.asc")), dir.Path("b.PRJ"));
#endif
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("c.asc")), dir.Path("c.prj"));
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("d.asc")), "");
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("e.asc")), "");
    EXPECT_EQ(TProjectionFiles::FindSidecar(dir.Path("Zürich 雨.asc")), dir.Path("Zürich 雨.prj"));
}

TEST(ProjectionFiles, CopyReplacesTheTargetWhole)
{
    TScratchDir dir;
    const std::string source = dir.Write("in.prj", kWkt);
    const std::string target = dir.Write("mean.prj", "old");
    ::chmod(target.c_str(), 0640);
    TProjectionFiles::Copy(source, target);
    EXPECT_EQ(ReadText(target), kWkt);
#ifndef _WIN32  // Windows files have no POSIX permission bits
    struct stat status;
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
#endif

    // A missing source or an impossible target changes nothing and leaves no temporary file.
    const std::string missing = dir.Path("missing.prj");
    EXPECT_EQ(ThrownMessage([&] { TProjectionFiles::Copy(missing, target); }), "Unable to open file " + missing);
    const std::string nowhere = dir.Path("no/dir/mean.prj");
    EXPECT_EQ(ThrownMessage([&] { TProjectionFiles::Copy(source, nowhere); }), "Unable to open file " + nowhere);
    EXPECT_EQ(ThrownMessage([&] { TProjectionFiles::Copy(dir.Root(), target); }), "Unable to open file " + dir.Root());
    EXPECT_EQ(ReadText(target), kWkt);
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"in.prj", "mean.prj"}));
}

TEST(ProjectionFiles, TextsCompareWithWhitespaceCollapsed)
{
    EXPECT_TRUE(TProjectionFiles::SameText(kWkt, kWkt + "\n"));
    EXPECT_TRUE(TProjectionFiles::SameText("PROJCS[\"a\",\n  GEOGCS[\"b c\"]]\r\n", " PROJCS[\"a\", GEOGCS[\"b\t c\"]]"));
    EXPECT_TRUE(TProjectionFiles::SameText("", " \n"));
    EXPECT_FALSE(TProjectionFiles::SameText("GEOGCS[\"b c\"]", "GEOGCS[\"bc\"]"));
    EXPECT_FALSE(TProjectionFiles::SameText(kWkt, kWkt.substr(0, kWkt.size() - 1)));

    TScratchDir dir;
    EXPECT_EQ(TProjectionFiles::ReadText(dir.Write("a.prj", kWkt)), kWkt);
    const std::string big = dir.Write("big.prj", std::string(TProjectionFiles::kMaxTextSize + 1, 'x'));
    EXPECT_EQ(ThrownMessage([&] { TProjectionFiles::ReadText(big); }),
              "File format error: " + big + " is too large for a projection file");
}
