#include "files/OpenGridSource.h"
#include "files/TARCGISFileTools.h"
#include "files/TGridTextReader.h"
#include "files/TGzipSink.h"
#include "files/TGzipSource.h"
#include "grid/TMap.h"

#include "TestSupport.h"
#include "TestProcess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

namespace {


// A grid of a few hundred kilobytes, so that compressed and decompressed data span many blocks.
std::string SampleGrid()
{
    std::string text = "ncols 300\nnrows 200\nxllcorner 440720\nyllcorner 3750120\ncellsize 30\nNODATA_value -9999\n";
    std::mt19937 random(7);
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 300; ++column)
            text += std::to_string(static_cast<int>(random() % 200000) - 100000) + "." + std::to_string(random() % 100) + " ";
        text += "\n";
    }
    return text;
}

// Compressed by the gzip program, the independent peer.
std::string Gzipped(const TScratchDir& dir, const std::string& name, const std::string& text)
{
    const std::string plain = dir.Write(name, text);
    EXPECT_EQ(std::system(("gzip -n -f " + Quoted(plain)).c_str()), 0);
    return ReadText(plain + ".gz");
}

std::string LoadMessage(const std::string& name)
{
    return ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(name); });
}

// Hands out the bytes of a string a few at a time, like a pipe.
class TTrickleSource : public TByteSource {
public:
    explicit TTrickleSource(std::string bytes) : MbrStgBytes(std::move(bytes)) {}
    size_t Read(char* destination, size_t max) override
    {
        const size_t count = std::min({max, size_t(3), MbrStgBytes.size() - MbrSizeNext});
        MbrStgBytes.copy(destination, count, MbrSizeNext);
        MbrSizeNext += count;
        return count;
    }
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }

private:
    std::string MbrStgBytes;
    size_t MbrSizeNext = 0;
};

}  // namespace

TEST(GzipSource, ReadsWhatGzipWroteAsThePlainFile)
{
    if (!HaveProgram("gzip")) GTEST_SKIP() << "gzip is not on PATH";
    TScratchDir dir;
    const std::string text = SampleGrid();
    const std::string plain = dir.Write("plain.asc", text);
    std::unique_ptr<TMap> expected(TARCGISFileTools::LoadARCGISFile(plain));

    // One member; members split anywhere, an empty one among them; trailing bytes after the last.
    const std::string whole = Gzipped(dir, "whole.asc", text);
    const std::string split = Gzipped(dir, "a", text.substr(0, 12345)) + Gzipped(dir, "b", "") +
        Gzipped(dir, "c", text.substr(12345, 1)) + Gzipped(dir, "d", text.substr(12346));
    for (const std::string& bytes : {whole, split, whole + std::string(1000, '\0'), whole + "\x1f"}) {
        const std::string name = dir.Write("grid.asc.gz", bytes);
        std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(name));
        EXPECT_EQ(CellsOf(map.get()), CellsOf(expected.get()));
        EXPECT_EQ(map->GetNoDataValue(), -9999);
        EXPECT_EQ(map->GetXAxisInterval()->GetOrdinate(0, 'X'), 440720);

    }
    // Any byte source can carry the gzip data, even one that gives three bytes at a time.
    TGzipSource source(std::make_unique<TTrickleSource>(split));
    std::unique_ptr<TMap> trickled(TGridTextReader(source).ReadMap());
    EXPECT_EQ(CellsOf(trickled.get()), CellsOf(expected.get()));

#ifndef _WIN32
    // Through a FIFO, which cannot seek back over the magic bytes.
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << whole; });
    std::unique_ptr<TMap> fromFifo(TARCGISFileTools::LoadARCGISFile(fifo));
    writer.join();
    EXPECT_EQ(CellsOf(fromFifo.get()), CellsOf(expected.get()));
#endif
}

TEST(GzipSource, DamagedDataIsReported)
{
    if (!HaveProgram("gzip")) GTEST_SKIP() << "gzip is not on PATH";
    TScratchDir dir;
    const std::string whole = Gzipped(dir, "whole.asc", SampleGrid());
    // gzip -n writes a 10-byte header, then the deflate blocks, then CRC-32 and length.
    auto damaged = [&](size_t at, char value) {
        std::string bytes = whole;
        bytes[at] = value;
        return bytes;
    };
    for (const std::string& bytes :
         {damaged(whole.size() / 2, static_cast<char>(whole[whole.size() / 2] ^ 0x55)),  // somewhere in the data
          damaged(10, '\x07'),                                                           // a reserved block type
          damaged(2, '\x07'),                                                            // not deflate
          damaged(whole.size() - 6, static_cast<char>(whole[whole.size() - 6] ^ 1)),      // the checksum
          whole.substr(0, whole.size() / 2), whole.substr(0, whole.size() - 1), whole.substr(0, 2)}) {
        const std::string name = dir.Write("bad.asc.gz", bytes);
        EXPECT_EQ(LoadMessage(name), TGzipSource::kDamaged) << bytes.size();
    }
    // A plain file that happens to start with the first magic byte only is read as text.
    EXPECT_EQ(LoadMessage(dir.Write("plain.asc", "\x1f ncols")), "File format error: expected to find ncols tag");
}

TEST(GzipSource, MemoryStaysBoundedWhateverTheDecompressedSize)
{
    // 64 MB of blanks between the header and the one value compress to less than 100 kilobytes.
    TScratchDir dir;
    const std::string name = dir.Path("spaces.asc.gz");
    {
        TGzipSink sink(name);
        const std::string header = "ncols 1 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value -9999";
        sink.Write(header.data(), header.size());
        const std::string blanks(size_t(1) << 20, ' ');
        for (int i = 0; i < 64; ++i) sink.Write(blanks.data(), blanks.size());
        sink.Write(" 42\n", 4);
        sink.Commit();
    }
#ifdef _WIN32
    const long before = OwnPeakKilobytes();
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(name));
    const long after = OwnPeakKilobytes();
#else
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(name));
    getrusage(RUSAGE_SELF, &usage);
    const long after = usage.ru_maxrss;
#endif
    EXPECT_EQ(map->GetPointVal(0, 0), 42);
    EXPECT_LT(after - before, 16 * 1024);
}
