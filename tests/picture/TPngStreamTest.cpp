#include "picture/TPngStream.h"

#include "picture/PngDecoding.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PngStream, LibpngReadsBackEveryIndexThroughThePalette)
{
    SKIP_WITHOUT_LIBPNG();
    // More rows than one IDAT chunk holds: indices that do not compress, then a stretch of runs
    // and of rows repeating the one above, each way of filtering.
    const uint32_t width = 301, height = 700;
    auto index = [](uint32_t x, uint32_t y) {
        return static_cast<unsigned char>(y < 400 ? (x * 131 + y * 71 + x * y) % 256 : y < 600 ? x / 50 * 40 + y % 3 : x % 7);
    };
    std::vector<unsigned char> palette;
    for (int k = 0; k < 256; ++k) palette.insert(palette.end(), {(unsigned char)k, (unsigned char)(255 - k), (unsigned char)(k * 7)});
    for (const TPngStream::TFilter filter : {TPngStream::TFilter::Up, TPngStream::TFilter::None}) {
        SCOPED_TRACE(filter == TPngStream::TFilter::Up ? "Up" : "None");
        TMemorySink sink;
        {
            TPngStream png(sink, width, height, filter);
            png.Text("Title", "indices");
            png.Palette(palette.data(), 256, 2);
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) png.RowBuffer()[x] = index(x, y);
                png.WriteRow();
            }
            png.Finish();
        }
        const TDecodedPng decoded = DecodePng(sink.Bytes);
        ASSERT_TRUE(decoded.Ok);
        ASSERT_EQ(decoded.Width, width);
        ASSERT_EQ(decoded.Height, height);
        EXPECT_EQ(decoded.Texts.at("Title"), "indices");
        size_t wrong = 0;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                const int k = index(x, y);
                wrong += !(decoded.At(x, y) == TRgba{k, 255 - k, (k * 7) % 256, k < 2 ? 0 : 255});
            }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST(PngStream, RefusesWhatIsOutOfForm)
{
    TMemorySink sink;
    TPngStream png(sink, 2, 1);
    const unsigned char palette[6] = {};
    EXPECT_EQ(ThrownMessage([&] { png.Text("", "x"); }), "Text chunk keyword out of form in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Text(" lead", "x"); }), "Text chunk keyword out of form in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Text("two  spaces", "x"); }), "Text chunk keyword out of form in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Text(std::string(80, 'k'), "x"); }), "Text chunk keyword out of form in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Text("tab\there", "x"); }), "Text chunk keyword out of form in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Palette(palette, 0, 0); }), "Palette out of range in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Palette(palette, 2, 3); }), "Palette out of range in TPngStream");
    png.Palette(palette, 2, 1);
    EXPECT_EQ(ThrownMessage([&] { png.Finish(); }), "Fewer rows than the picture holds in TPngStream");
    png.WriteRow();
    EXPECT_EQ(ThrownMessage([&] { png.WriteRow(); }), "More rows than the picture holds in TPngStream");
    EXPECT_EQ(ThrownMessage([&] { png.Finish(); }), "<no throw>");
}
