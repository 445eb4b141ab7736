#pragma once

#include <string>

// A small built-in bitmap font for the picture's legend: printable ASCII in cells of 5 x 9
// pixels (capitals 7 high, 2 rows for descenders), 6 pixels apart. Other characters show as '?'.
class TBitmapFont {
public:
    TBitmapFont() = delete;

    static constexpr long kAdvance = 6;
    static constexpr long kHeight = 9;

    // The width the text takes, in pixels (no space after the last character).
    static long TextWidth(const std::string& text);
    // Sets the pixels of the text to `ink` in a raster of `width` x `height` bytes (rows of
    // `width`), the top left of the first character at (x, y). What falls outside is not drawn.
    static void Draw(unsigned char* raster, long width, long height, long x, long y, const std::string& text,
                     unsigned char ink);
    // The glyph's row (0 top, kHeight - 1 bottom) as bits, the leftmost pixel 16.
    static unsigned GlyphRow(char c, int row);
};
