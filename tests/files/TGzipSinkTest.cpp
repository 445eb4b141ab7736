#include "files/TARCGISFileTools.h"
#include "files/TGzipSink.h"
#include "grid/TMap.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {


std::unique_ptr<TMap> SampleMap()
{
    TRows rows;
    for (int y = 0; y < 120; ++y) {
        rows.emplace_back();
        for (int x = 0; x < 250; ++x) rows.back().push_back(y == x ? -9999 : (x * 7919 + y * 104729) % 100003 / 7.0);
    }
    return MakeMap(rows, 500000.25, 4100000.75, 12.5);
}

}  // namespace

TEST(GzipSink, GridsNamedGzAreWrittenCompressed)
{
    if (!HaveProgram("gzip")) GTEST_SKIP() << "gzip is not on PATH";
    TScratchDir dir;
    auto map = SampleMap();
    const std::string plain = dir.Path("mean.asc");
    const std::string packed = dir.Path("mean.asc.gz");
    TARCGISFileTools::WriteARCGISFile(map.get(), plain);
    TARCGISFileTools::WriteARCGISFile(map.get(), packed);

    // gzip unpacks exactly the plain file's bytes, and the reader reads the same grid back.
    ASSERT_EQ(std::system(("gzip -dc " + Quoted(packed) + " > " + Quoted(dir.Path("unpacked.asc"))).c_str()), 0);
    EXPECT_EQ(ReadText(dir.Path("unpacked.asc")), ReadText(plain));
    EXPECT_LT(ReadText(packed).size() * 2, ReadText(plain).size());
    std::unique_ptr<TMap> back(TARCGISFileTools::LoadARCGISFile(packed));
    std::unique_ptr<TMap> plainBack(TARCGISFileTools::LoadARCGISFile(plain));
    EXPECT_EQ(CellsOf(back.get()), CellsOf(plainBack.get()));

    // The same grid compresses to the same bytes: no time stamp in the header.
    const std::string first = ReadText(packed);
    TARCGISFileTools::WriteARCGISFile(map.get(), packed);
    EXPECT_EQ(ReadText(packed), first);
}

TEST(GzipSink, AFailedOrAbandonedWriteLeavesTheOldFile)
{
    TScratchDir dir;
    const std::string name = dir.Write("old.asc.gz", "old contents");
    {
        TGzipSink sink(name);
        sink.Write("new", 3);
    }
    EXPECT_EQ(ReadText(name), "old contents");
    EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"old.asc.gz"}));

    const std::string missing = dir.Path("no/such/dir/out.asc.gz");
    auto map = SampleMap();
    EXPECT_EQ(ThrownMessage([&] { TARCGISFileTools::WriteARCGISFile(map.get(), missing); }),
              "Unable to open file " + missing);
}
