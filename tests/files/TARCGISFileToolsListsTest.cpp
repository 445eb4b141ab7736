#include "files/TARCGISFileTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// A fresh directory for the files of one test, removed with everything in it afterwards.
class FileList : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(MbrDir.Root().empty()); }

    std::string PathOf(const std::string& name) const { return MbrDir.Path(name); }

    std::string WriteText(const std::string& name, const std::string& text) const
    {
        const std::string path = PathOf(name);
        std::ofstream(path) << text;
        return path;
    }

    static bool Exists(const std::string& path)
    {
        struct stat info;
        return stat(path.c_str(), &info) == 0;
    }

    static std::string ReadText(const std::string& path)
    {
        std::ifstream file(path);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    TScratchDir MbrDir;
};

// Releases the maps of a list when the test ends.
struct TOwnedList {
    std::vector<TMap*> Maps;
    ~TOwnedList()
    {
        for (TMap* map : Maps) delete map;
    }
};

const char* const kSizeMismatch = "Size of map list and filename list do not match in TARCGISFileTools::WriteFileList";

}  // namespace

TEST_F(FileList, LoadsOneMapPerNameInOrder)
{
    const std::string first = WriteText("a.asc", "ncols 2\nnrows 1\nxllcorner 10\nyllcorner 20\ncellsize 2\n"
                                                 "NODATA_value -9999\n1 2\n");
    const std::string second = WriteText("b.asc", "ncols 1\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                                                  "nodata_value -1\n3\n-1\n");
    TOwnedList list{TARCGISFileTools::LoadFileList({second, first, second})};
    ASSERT_EQ(list.Maps.size(), 3u);
    EXPECT_EQ(CellsOf(list.Maps[0]), (TRows{{3}, {-1}}));
    EXPECT_EQ(list.Maps[0]->GetNoDataValue(), -1);
    EXPECT_EQ(CellsOf(list.Maps[1]), (TRows{{1, 2}}));
    EXPECT_EQ(list.Maps[1]->GetXAxis()->GetOrdinate(0, 'X'), 11);
    EXPECT_EQ(CellsOf(list.Maps[2]), (TRows{{3}, {-1}}));
    // The same name read twice gives two maps of the caller's.
    EXPECT_NE(list.Maps[0], list.Maps[2]);
}

TEST_F(FileList, EmptyNameListGivesEmptyMapList)
{
    EXPECT_TRUE(TARCGISFileTools::LoadFileList({}).empty());
}

TEST_F(FileList, LoadFailurePassesOnUnchanged)
{
    const std::string good = WriteText("good.asc", "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                                                   "NODATA_value -9999\n5\n");
    const std::string bad = WriteText("bad.asc", "nrows 1\nncols 1\n");
    const std::string missing = PathOf("missing.asc");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::LoadFileList({good, missing, good}); }),
              "Unable to open file " + missing);
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::LoadFileList({good, good, bad}); }),
              "File format error: expected to find ncols tag");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::LoadFileList({missing}); }), "Unable to open file " + missing);
}

TEST_F(FileList, WritesMapIToNameI)
{
    auto first = MakeMap({{1, 2}, {3, 4}}, 10, 20, 2);
    auto second = MakeMap({{0.5}}, 0, 0, 1, -1);
    const std::string a = PathOf("a.asc");
    const std::string b = PathOf("b.asc");
    TARCGISFileTools::WriteFileList({first.get(), second.get()}, {a, b});

    EXPECT_EQ(ReadText(a), "ncols 2\nnrows 2\nxllcorner       10\nyllcorner       20\ncellsize 2\n"
                           "NODATA_value -9999\n1 2 \n3 4 \n");
    EXPECT_EQ(ReadText(b), "ncols 1\nnrows 1\nxllcorner        0\nyllcorner        0\ncellsize 1\n"
                           "NODATA_value -1\n0.5 \n");
    TOwnedList back{TARCGISFileTools::LoadFileList({a, b})};
    EXPECT_EQ(CellsOf(back.Maps[0]), CellsOf(first.get()));
    EXPECT_EQ(CellsOf(back.Maps[1]), CellsOf(second.get()));
}

TEST_F(FileList, SizeMismatchWritesNoFile)
{
    auto map = MakeMap({{1}});
    const std::vector<std::string> names{PathOf("a.asc"), PathOf("b.asc"), PathOf("c.asc")};
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteFileList({map.get(), map.get()}, names); }), kSizeMismatch);
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteFileList({map.get(), map.get(), map.get()}, {names[0]}); }),
              kSizeMismatch);
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteFileList({}, {names[0]}); }), kSizeMismatch);
    for (const std::string& name : names) EXPECT_FALSE(Exists(name)) << name;

    TARCGISFileTools::WriteFileList({}, {});
}

TEST_F(FileList, WriteFailureKeepsEarlierFilesAndStops)
{
    auto map = MakeMap({{7}});
    const std::string first = PathOf("first.asc");
    const std::string unreachable = PathOf("no-such-dir/second.asc");
    const std::string third = PathOf("third.asc");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteFileList({map.get(), map.get(), map.get()},
                                                                  {first, unreachable, third}); }),
              "Unable to open file " + unreachable);
    EXPECT_TRUE(Exists(first));
    EXPECT_FALSE(Exists(third));

    // A map that cannot be written fails the same way, after the maps before it.
    TMap bare(1, 1, 1);
    const std::string fourth = PathOf("fourth.asc");
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteFileList({map.get(), &bare}, {fourth, third}); }),
              "Map has no interval axes in TARCGISFileTools::WriteARCGISFile");
    EXPECT_TRUE(Exists(fourth));
    EXPECT_FALSE(Exists(third));
}
