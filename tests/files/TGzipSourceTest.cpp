// The gzip source with every library of the build: what it reads from gzip's own files, and how
// it refuses damaged ones. The libraries must agree with each other byte for byte and message
// for message.

#include "files/OpenGridSource.h"
#include "files/TARCGISFileTools.h"
#include "files/TGridTextReader.h"
#include "files/TGzipLibrary.h"
#include "files/TGzipSink.h"
#include "files/TGzipSource.h"
#include "grid/TMap.h"

#include "TestSupport.h"
#include "TestProcess.h"
#include "files/GzipTestSupport.h"

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

std::string LoadMessage(const std::string& name)
{
    return ThrownMessage([&] { delete TARCGISFileTools::LoadARCGISFile(name); });
}

// The bytes with the one at `at` changed by `mask`.
std::string Flipped(std::string bytes, size_t at, unsigned char mask)
{
    bytes[at] = static_cast<char>(bytes[at] ^ mask);
    return bytes;
}

// The gzip format's CRC-32, bit by bit: the peer that header checksums are made with.
unsigned Crc32(const std::string& bytes)
{
    unsigned crc = 0xffffffffu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

}  // namespace

TEST(GzipSource, ReadsWhatGzipWroteAsThePlainFile)
{
    if (!HaveProgram("gzip")) GTEST_SKIP() << "gzip is not on PATH";
    TScratchDir dir;
    const std::string text = SampleGrid();
    const std::string plain = dir.Write("plain.asc", text);
    std::unique_ptr<TMap> expected(TARCGISFileTools::LoadARCGISFile(plain));

    // Both levels; members split anywhere, an empty one among them; bytes after the last member
    // that start none, even a lone first magic byte.
    const std::string fast = Gzipped(dir, "fast.asc", text, 1);
    const std::string whole = Gzipped(dir, "whole.asc", text, 6);
    const std::string split = Gzipped(dir, "a", text.substr(0, 12345)) + Gzipped(dir, "b", "") +
        Gzipped(dir, "c", text.substr(12345, 1)) + Gzipped(dir, "d", text.substr(12346));
    for (TGzipLibrary library : TGzipLibraries::Available()) {
        SCOPED_TRACE(TGzipLibraries::Name(library));
        for (const std::string& bytes : {fast, whole, split, whole + std::string(1000, '\0'), whole + "\x1f", fast + "x"}) {
            EXPECT_EQ(Decompressed(library, bytes), text) << bytes.size();
            // Compressed bytes three at a time, as from a pipe, and the text taken a byte at a time.
            EXPECT_EQ(Decompressed(library, bytes, 3, 1), text) << bytes.size();
        }
    }
    // The command's road: found by its magic bytes whatever the name, read as the plain grid.
    for (const std::string& bytes : {split, whole + "\x1f"}) {
        std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(dir.Write("grid.asc", bytes)));
        EXPECT_EQ(CellsOf(map.get()), CellsOf(expected.get()));
        EXPECT_EQ(map->GetNoDataValue(), -9999);
        EXPECT_EQ(map->GetXAxisInterval()->GetOrdinate(0, 'X'), 440720);
    }
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

TEST(GzipSource, HeaderFieldsAreReadPastOrRefused)
{
    // A member of gzip -n's 10-byte header with other flags and the fields they announce.
    const std::string text = "ncols 1 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value -9999 42\n";
    const std::string member = GzipBytes(text);
    const std::string body = member.substr(10);
    auto withFlags = [&](unsigned char flags, const std::string& fields) {
        std::string header = member.substr(0, 10);
        header[3] = static_cast<char>(flags);
        return header + fields;
    };
    auto withHeaderCrc = [&](unsigned char flags, const std::string& fields, unsigned change) {
        const std::string header = withFlags(flags | 0x02, fields);
        const unsigned crc = (Crc32(header) ^ change) & 0xffff;
        return header + std::string{static_cast<char>(crc & 0xff), static_cast<char>(crc >> 8)} + body;
    };
    const std::string extra = std::string("\x05\0", 2) + "abcde";
    struct TCase {
        const char* Shape;
        std::string Bytes;
        bool Valid;
    };
    const std::vector<TCase> cases = {
        {"name", withFlags(0x08, std::string("grid.asc\0", 9)) + body, true},
        {"comment", withFlags(0x10, std::string("made by hand\0", 13)) + body, true},
        {"extra field", withFlags(0x04, extra) + body, true},
        {"all fields and a header checksum", withHeaderCrc(0x1c, extra + std::string("n\0c\0", 4), 0), true},
        {"text flag", withFlags(0x01, "") + body, true},
        {"wrong header checksum", withHeaderCrc(0x08, std::string("n\0", 2), 1), false},
        {"name without its end", withFlags(0x08, "grid.asc"), false},
        {"extra field longer than the data", withFlags(0x04, std::string("\xff\x7f", 2) + "ab"), false},
        {"reserved flag 0x20", withFlags(0x20, "") + body, false},
        {"reserved flag 0x40", withFlags(0x40, "") + body, false},
        {"reserved flag 0x80", withFlags(0x80, "") + body, false},
        {"method 7", Flipped(member, 2, 0x0f), false},
        {"only the magic bytes", member.substr(0, 2), false},
    };
    for (TGzipLibrary library : TGzipLibraries::Available()) {
        for (const TCase& test : cases)
            EXPECT_EQ(Decompressed(library, test.Bytes), test.Valid ? text : kRefused)
                << TGzipLibraries::Name(library) << ": " << test.Shape;
    }
}

TEST(GzipSource, DamagedDataIsReportedAlikeByEveryLibrary)
{
    // Small enough that the whole member, its checksum and length included, is read at once.
    const std::string text = SampleGrid().substr(0, 3000);
    const std::string whole = GzipBytes(text);
    const size_t crc = whole.size() - 8;
    const size_t length = whole.size() - 4;
    struct TDamage {
        std::string What;
        std::string Bytes;
        bool MayDecode;  // bits that change nothing (the padding after the last block) may read as the text
    };
    std::vector<TDamage> damaged;
    // Cut at every offset: inside the header, the deflate data, the checksum or the length.
    for (size_t size = 0; size < whole.size(); ++size)
        damaged.push_back({"cut at " + std::to_string(size), whole.substr(0, size), false});
    // Each byte of the deflate data inverted: what still decodes gives other text, which its
    // checksum refuses. Each byte of the checksum and the length changed by a bit.
    for (size_t at = 10; at < crc; ++at) damaged.push_back({"byte " + std::to_string(at) + " inverted", Flipped(whole, at, 0xff), true});
    for (size_t at = crc; at < whole.size(); ++at)
        damaged.push_back({"bit 0 of trailer byte " + std::to_string(at), Flipped(whole, at, 0x01), false});
    std::string reserved = whole;
    reserved[10] = static_cast<char>(reserved[10] | 0x06);  // the first block's type 3
    damaged.push_back({"a reserved block type", reserved, false});
    // A second member that is damaged, cut, or no more than its magic bytes.
    damaged.push_back({"second member's checksum", whole + Flipped(whole, crc, 0x10), false});
    damaged.push_back({"second member's length", whole + Flipped(whole, length, 0x01), false});
    damaged.push_back({"second member's data", whole + Flipped(whole, whole.size() / 2, 0xff), false});
    damaged.push_back({"second member cut", whole + whole.substr(0, whole.size() - 1), false});
    damaged.push_back({"second member's magic only", whole + "\x1f\x8b", false});
    size_t decoded = 0;
    for (const TDamage& test : damaged) {
        const std::string first = Decompressed(TGzipLibrary::Zlib, test.Bytes);
        EXPECT_TRUE(first == kRefused || (test.MayDecode && first == text)) << test.What << ": " << first.substr(0, 80);
        decoded += first == text;
        for (TGzipLibrary library : TGzipLibraries::Available())
            EXPECT_TRUE(Decompressed(library, test.Bytes) == first) << TGzipLibraries::Name(library) << " differs from zlib: " << test.What;
    }
    EXPECT_LT(decoded, 3u);  // only a byte or two of padding

    // The command's road gives the same message; a plain file that starts with the first magic
    // byte only is read as text.
    TScratchDir dir;
    EXPECT_EQ(LoadMessage(dir.Write("bad.asc.gz", Flipped(whole, crc, 0x01))), TGzipSource::kDamaged);
    EXPECT_EQ(LoadMessage(dir.Write("plain.asc", "\x1f ncols")), "File format error: expected to find ncols tag");
}

TEST(GzipSource, MemoryStaysBoundedWhateverTheDecompressedSize)
{
    // 64 MB of blanks between the header and the one value compress to less than 100 kilobytes.
    TScratchDir dir;
    for (TGzipLibrary library : TGzipLibraries::Available()) {
        SCOPED_TRACE(TGzipLibraries::Name(library));
        const std::string name = dir.Path(std::string(TGzipLibraries::Name(library)) + ".asc.gz");
        {
            TGzipSink sink(name, library);
            const std::string header = "ncols 1 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 NODATA_value -9999";
            sink.Write(header.data(), header.size());
            const std::string blanks(size_t(1) << 20, ' ');
            for (int i = 0; i < 64; ++i) sink.Write(blanks.data(), blanks.size());
            sink.Write(" 42\n", 4);
            sink.Commit();
        }
#ifdef _WIN32
        const long before = OwnPeakKilobytes();
#else
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        const long before = usage.ru_maxrss;
#endif
        TGzipSource source(std::make_unique<TFileSource>(name), library);
        std::unique_ptr<TMap> map(TGridTextReader(source).ReadMap());
#ifdef _WIN32
        const long after = OwnPeakKilobytes();
#else
        getrusage(RUSAGE_SELF, &usage);
        const long after = usage.ru_maxrss;
#endif
        EXPECT_EQ(map->GetPointVal(0, 0), 42);
        EXPECT_LT(after - before, 16 * 1024);
    }
}
