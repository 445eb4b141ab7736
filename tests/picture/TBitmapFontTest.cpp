#include "picture/TBitmapFont.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<unsigned> Glyph(char c)
{
    std::vector<unsigned> rows;
    for (int row = 0; row < TBitmapFont::kHeight; ++row) rows.push_back(TBitmapFont::GlyphRow(c, row));
    return rows;
}

}  // namespace

TEST(BitmapFont, EveryPrintableCharacterHasAGlyphOfItsOwn)
{
    std::set<std::vector<unsigned>> seen;
    for (char c = '!'; c <= '~'; ++c) {
        const std::vector<unsigned> glyph = Glyph(c);
        EXPECT_NE(glyph, std::vector<unsigned>(TBitmapFont::kHeight, 0)) << c;
        EXPECT_TRUE(seen.insert(glyph).second) << "the glyph of " << c << " is another's";
        for (unsigned row : glyph) EXPECT_LT(row, 32u) << c;
    }
    EXPECT_EQ(Glyph(' '), std::vector<unsigned>(TBitmapFont::kHeight, 0));
    EXPECT_EQ(Glyph('\t'), Glyph('?'));
    EXPECT_EQ(Glyph('\xe9'), Glyph('?'));
    // Descenders below the line, capitals above it.
    EXPECT_NE(TBitmapFont::GlyphRow('p', 8), 0u);
    EXPECT_EQ(TBitmapFont::GlyphRow('P', 8), 0u);
}

TEST(BitmapFont, DrawsWithinTheRasterOnly)
{
    EXPECT_EQ(TBitmapFont::TextWidth(""), 0);
    EXPECT_EQ(TBitmapFont::TextWidth("mean"), 23);
    // A raster of 10 x 6 inside a guard band: text that runs over every edge.
    const long width = 10, height = 6, guard = 64;
    std::vector<unsigned char> memory(size_t(width * height + 2 * guard), 7);
    unsigned char* raster = memory.data() + guard;
    for (long x : {-7L, -3L, 0L, 4L, 9L, 12L})
        for (long y : {-8L, -2L, 0L, 3L, 5L}) TBitmapFont::Draw(raster, width, height, x, y, "W@g_|", 1);
    for (long k = 0; k < guard; ++k) {
        EXPECT_EQ(memory[size_t(k)], 7);
        EXPECT_EQ(memory[size_t(guard + width * height + k)], 7);
    }
    std::vector<unsigned char> one(5 * 9, 0);
    TBitmapFont::Draw(one.data(), 5, 9, 0, 0, "1", 1);
    for (int row = 0; row < 9; ++row)
        for (int column = 0; column < 5; ++column)
            EXPECT_EQ(one[size_t(row * 5 + column)] == 1, bool(TBitmapFont::GlyphRow('1', row) & (16u >> column)));
}
