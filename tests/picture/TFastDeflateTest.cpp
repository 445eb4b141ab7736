#include "picture/TFastDeflate.h"

#include "picture/PngDecoding.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<unsigned char>;

// The stream of the bytes, written in pieces of `piece` bytes (all at once for 0).
std::string Deflated(const TBytes& bytes, size_t piece = 0)
{
    TMemorySink sink;
    TFastDeflate deflate(sink);
    const size_t step = piece > 0 ? piece : std::max<size_t>(bytes.size(), 1);
    for (size_t at = 0; at < bytes.size(); at += step) deflate.Write(bytes.data() + at, std::min(step, bytes.size() - at));
    deflate.Finish();
    return sink.Bytes;
}

// What zlib's inflate makes of a stream (which checks its Adler-32 too), and how many blocks of
// each type (stored, fixed, dynamic) it holds: at each block's start, where inflate stops with
// Z_BLOCK, the block's header is the next three bits.
struct TInflated {
    bool Ok = false;
    TBytes Bytes;
    int Blocks[3] = {0, 0, 0};
};

TInflated Inflated(const std::string& stream, size_t expected)
{
    TInflated result;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return result;
    TBytes out(expected + 1);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    while (status == Z_OK) {
        status = inflate(&z, Z_BLOCK);
        const bool atBlockStart = status == Z_OK && (z.data_type & 128) != 0 && (z.data_type & 64) == 0;
        if (!atBlockStart) continue;
        const unsigned unused = static_cast<unsigned>(z.data_type & 7);
        if (z.avail_in == 0) break;
        const unsigned header = unused > 0 ? (z.next_in[-1] >> (8 - unused)) | (unsigned(z.next_in[0]) << unused) : z.next_in[0];
        const unsigned type = (header >> 1) & 3;
        if (type < 3) ++result.Blocks[type];
    }
    result.Ok = status == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    result.Bytes = out;
    inflateEnd(&z);
    return result;
}

TBytes Drawn(size_t size, const std::function<unsigned char(size_t, std::mt19937&)>& draw)
{
    std::mt19937 random(5);
    TBytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = draw(i, random);
    return bytes;
}

// zlib's own stream of the bytes, with a strategy.
size_t ZlibSize(const TBytes& bytes, int strategy)
{
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, 15, 8, strategy);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    const size_t size = z.total_out;
    deflateEnd(&z);
    return size;
}

// Rows of a picture's palette indices, filtered "Up" as TPngStream sends them: a smooth field
// whose levels change every few pixels, with a clear patch.
TBytes SmoothPicture(size_t width, size_t height)
{
    TBytes rows;
    std::vector<unsigned char> above(width, 0);
    for (size_t y = 0; y < height; ++y) {
        rows.push_back(2);
        for (size_t x = 0; x < width; ++x) {
            const unsigned char index = x + y < width / 5 ? 0 : static_cast<unsigned char>(3 + (x * 7 + y * 3) / 40 % 250);
            rows.push_back(static_cast<unsigned char>(index - above[x]));
            above[x] = index;
        }
    }
    return rows;
}

constexpr size_t kBlock = TFastDeflate::kBlockSize;
constexpr int kStored = 0;
constexpr int kFixed = 1;
constexpr int kDynamic = 2;

}  // namespace

TEST(FastDeflate, InflateGivesBackEveryInputInTheBlocksItShouldTake)
{
    struct TCase {
        std::string Name;
        TBytes Bytes;
        int BlockType;  // a type that must occur
    };
    std::vector<TCase> cases = {
        {"empty", {}, kFixed},
        {"one byte", {7}, kFixed},
        {"two bytes", {7, 7}, kFixed},
        {"three equal", {9, 9, 9}, kFixed},
        {"random", Drawn(3 * kBlock + 17, [](size_t, std::mt19937& r) { return static_cast<unsigned char>(r()); }), kStored},
        {"constant", TBytes(5 * kBlock + 3, 0), kDynamic},
        {"smooth picture", SmoothPicture(2001, 150), kDynamic},
        {"stripes", Drawn(200000, [](size_t i, std::mt19937&) { return static_cast<unsigned char>(i / 37 % 5 * 40); }), kDynamic},
        // Mostly 0 with scattered others: few repeats, so literals only.
        {"sparse", Drawn(150000, [](size_t, std::mt19937& r) { return static_cast<unsigned char>(r() % 2 == 0 ? r() % 7 : 0); }), kDynamic},
        // Runs of every length from 1 to 300 of changing bytes: every length symbol and its extra bits.
        {"every run length", Drawn(46000, [](size_t i, std::mt19937&) {
             size_t length = 1, start = 0;
             while (start + length <= i) start += length++;
             return static_cast<unsigned char>(length % 256);
         }), kDynamic},
        // Frequencies like Fibonacci numbers make a minimal code deeper than 12 bits.
        {"deep code", Drawn(80000, [](size_t, std::mt19937& r) {
             unsigned value = r() % 75025, symbol = 0;
             for (unsigned a = 1, b = 2; value >= a && symbol < 24; a = b - a, b += a, ++symbol) value -= a;
             return static_cast<unsigned char>(symbol * 10);
         }), kDynamic},
    };
    // Runs of one length each: the highest length symbol a block uses, and so the lengths its
    // header gives, varies with it.
    for (const size_t length : {3, 4, 11, 100, 230, 257, 258, 259, 261, 600}) {
        cases.push_back({"runs of " + std::to_string(length), Drawn(70000, [length](size_t i, std::mt19937&) {
                             return static_cast<unsigned char>(i / (length + 1) % 3);
                         }),
                         kDynamic});
    }
    // Runs across the ends of blocks, and blocks of exactly the block size, one byte more or less.
    for (const size_t size : {kBlock - 1, kBlock, kBlock + 1, 2 * kBlock}) {
        TBytes edges(size, 3);
        for (size_t i = 0; i < size; i += 1000) edges[i] = static_cast<unsigned char>(i / 1000);
        edges[kBlock - 2 < size ? kBlock - 2 : 0] = 200;
        cases.push_back({"block edges " + std::to_string(size), edges, kDynamic});
    }
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string stream = Deflated(c.Bytes);
        const TInflated inflated = Inflated(stream, c.Bytes.size());
        ASSERT_TRUE(inflated.Ok);
        EXPECT_TRUE(inflated.Bytes == c.Bytes);
        EXPECT_GT(inflated.Blocks[c.BlockType], 0);
        // The same bytes whatever the pieces the input comes in.
        for (const size_t piece : {size_t(1), size_t(777), kBlock + 5})
            if (c.Bytes.size() < 300000 || piece > 1) {
                EXPECT_EQ(Deflated(c.Bytes, piece), stream) << "in pieces of " << piece;
            }
    }
}

TEST(FastDeflate, SizeIsNearZlibsOnPicturesAndBelowAByteAPixelOnNoise)
{
    // Against zlib's run-length strategy on a smooth picture, and its Huffman coding alone on
    // bytes that rarely repeat.
    const TBytes smooth = SmoothPicture(2000, 400);
    EXPECT_LE(Deflated(smooth).size(), ZlibSize(smooth, Z_RLE) * 21 / 20);
    const TBytes noisy = Drawn(500000, [](size_t, std::mt19937& r) {
        const unsigned value = r() % 100;
        return static_cast<unsigned char>(value < 50 ? 0 : value < 75 ? 1 : value < 90 ? 255 : r() % 256);
    });
    EXPECT_LE(Deflated(noisy).size(), ZlibSize(noisy, Z_HUFFMAN_ONLY) * 51 / 50);
    EXPECT_LT(Deflated(noisy).size(), noisy.size() / 2);
}

TEST(FastDeflate, RefusesDataAfterTheEnd)
{
    TMemorySink sink;
    TFastDeflate deflate(sink);
    const unsigned char byte = 1;
    deflate.Write(&byte, 1);
    deflate.Finish();
    EXPECT_EQ(ThrownMessage([&] { deflate.Write(&byte, 1); }), "Data after the end of the stream in TFastDeflate");
    EXPECT_EQ(ThrownMessage([&] { deflate.Finish(); }), "Data after the end of the stream in TFastDeflate");
    EXPECT_TRUE(Inflated(sink.Bytes, 1).Ok);
}
