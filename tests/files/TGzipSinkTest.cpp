// The gzip sink with every library of the build: what it writes decompresses, through every
// library and through gzip itself, to the text it was given, and its failures leave the old file.

#include "files/TARCGISFileTools.h"
#include "files/TGzipLibrary.h"
#include "files/TGzipSink.h"
#include "grid/TMap.h"

#include "TestSupport.h"
#include "files/GzipTestSupport.h"
#include "sys/SystemCallFaults.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>

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

// Grid-like text (digits, points, blanks and line breaks, which compress) or random bytes (which
// do not, and go into stored blocks).
std::string RandomText(size_t size, bool bytes, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text(size, ' ');
    static const char kGridCharacters[] = "0123456789012345678901234567890123456789.. -\n";
    for (char& c : text)
        c = bytes ? static_cast<char>(random()) : kGridCharacters[random() % (sizeof kGridCharacters - 1)];
    return text;
}

}  // namespace

TEST(GzipSink, EveryLibraryWritesWhatEveryLibraryAndGzipReadBack)
{
    const bool gzip = HaveProgram("gzip");
    // Sizes around the window (32 KB), the sink's and the source's blocks (64 KB) and twice
    // them, and many megabytes; each text given to the sink in pieces of another size.
    const size_t sizes[] = {0, 1, 2, 100, 32767, 32768, 32769, 65535, 65536, 65537, 131071, 131072, 131073,
                            1000003, size_t(16) << 20};
    const size_t pieces[] = {1, 7, 4096, 65536, 100000, size_t(1) << 30};
    TScratchDir dir;
    unsigned seed = 0;
    for (size_t size : sizes) {
        for (bool bytes : {false, true}) {
            if (bytes && size > 1000003) continue;  // random bytes are written stored: a slow case for nothing
            const std::string text = RandomText(size, bytes, ++seed);
            const size_t piece = size < 200000 ? pieces[seed % 6] : pieces[3 + seed % 3];
            for (TGzipLibrary writer : TGzipLibraries::Available()) {
                const std::string context = std::string(TGzipLibraries::Name(writer)) + ", " + std::to_string(size) +
                    (bytes ? " random bytes" : " characters") + " in pieces of " + std::to_string(piece);
                const std::string compressed = GzipBytes(text, writer, piece);
                // The header of gzip -1 -n on Linux, whatever the library and the system.
                EXPECT_EQ(compressed.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\x04\x03", 10)) << context;
                // The same bytes from the same text, whatever the pieces.
                EXPECT_TRUE(GzipBytes(text, writer, piece == 65536 ? 1 : 65536) == compressed) << context;
                for (TGzipLibrary reader : TGzipLibraries::Available())
                    EXPECT_TRUE(Decompressed(reader, compressed) == text) << context << ", read by " << TGzipLibraries::Name(reader);
                if (!gzip) continue;
                const std::string name = dir.Write("text.gz", compressed);
                EXPECT_EQ(std::system(("gzip -t " + Quoted(name)).c_str()), 0) << context;
                EXPECT_EQ(std::system(("gzip -dc " + Quoted(name) + " > " + Quoted(dir.Path("text"))).c_str()), 0) << context;
                EXPECT_TRUE(ReadText(dir.Path("text")) == text) << context << ", read by gzip";
            }
        }
    }
    if (!gzip) GTEST_SKIP() << "gzip is not on PATH: the libraries were compared with each other only";
}

TEST(GzipSink, GridsNamedGzAreWrittenCompressed)
{
    TScratchDir dir;
    auto map = SampleMap();
    const std::string plain = dir.Path("mean.asc");
    const std::string packed = dir.Path("mean.asc.gz");
    TARCGISFileTools::WriteARCGISFile(map.get(), plain);
    TARCGISFileTools::WriteARCGISFile(map.get(), packed);
    // The plain file's bytes, compressed to less than half, with the fastest library.
    EXPECT_EQ(Decompressed(TGzipLibraries::Fastest(), ReadText(packed)), ReadText(plain));
    EXPECT_EQ(ReadText(packed), GzipBytes(ReadText(plain), TGzipLibraries::Fastest()));
    EXPECT_LT(ReadText(packed).size() * 2, ReadText(plain).size());
    std::unique_ptr<TMap> back(TARCGISFileTools::LoadARCGISFile(packed));
    std::unique_ptr<TMap> plainBack(TARCGISFileTools::LoadARCGISFile(plain));
    EXPECT_EQ(CellsOf(back.get()), CellsOf(plainBack.get()));
}

TEST(GzipSink, AFailedOrAbandonedWriteLeavesTheOldFile)
{
    for (TGzipLibrary library : TGzipLibraries::Available()) {
        SCOPED_TRACE(TGzipLibraries::Name(library));
        TScratchDir dir;
        const std::string name = dir.Write("old.asc.gz", "old contents");
        {
            TGzipSink sink(name, library);
            sink.Write("new", 3);
        }
        EXPECT_EQ(ReadText(name), "old contents");
        EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"old.asc.gz"}));

        // A write that fails, early (a block of compressed data) or late (the end of the data).
        const std::string text = RandomText(300000, false, 1);
        for (long skip : {0, 1, 2}) {
            std::string message;
            {
                TSystemCallFaults faults;
                faults.Fail<&TSystemCallTable::Write>(ENOSPC, skip);
                message = ThrownMessage([&] {
                    TGzipSink sink(name, library);
                    sink.Write(text.data(), text.size());
                    sink.Commit();
                });
            }
            EXPECT_EQ(message, "Unable to write file " + name) << skip;
            EXPECT_EQ(ReadText(name), "old contents") << skip;
            EXPECT_EQ(DirectoryEntries(dir.Root()), (std::vector<std::string>{"old.asc.gz"})) << skip;
        }

        const std::string missing = dir.Path("no/such/dir/out.asc.gz");
        EXPECT_EQ(ThrownMessage([&] { TGzipSink sink(missing, library); }), "Unable to open file " + missing);
    }
}
