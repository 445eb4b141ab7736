#pragma once

// Decoding of the PNG files the pictures write, with libpng as the independent peer: palette
// indices come back as RGBA through libpng's own expansion of the palette and its tRNS chunk.

#include "picture/TBitmapFont.h"
#include "text/TByteSink.h"

#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#ifdef GRIDMEAN_HAVE_LIBPNG
#include <png.h>
#endif

// Keeps every byte written to it.
class TMemorySink : public TByteSink {
public:
    void Write(const char* data, size_t size) override { Bytes.append(data, size); }
    std::string Bytes;
};

struct TRgba {
    int Red, Green, Blue, Alpha;
    bool operator==(const TRgba& other) const
    {
        return Red == other.Red && Green == other.Green && Blue == other.Blue && Alpha == other.Alpha;
    }
    bool operator!=(const TRgba& other) const { return !(*this == other); }
};

inline void PrintTo(const TRgba& colour, std::ostream* out)
{
    *out << "rgba(" << colour.Red << ", " << colour.Green << ", " << colour.Blue << ", " << colour.Alpha << ")";
}

struct TDecodedPng {
    bool Ok = false;
    unsigned Width = 0;
    unsigned Height = 0;
    int ColourType = -1;
    int BitDepth = 0;
    int PaletteEntries = 0;
    std::vector<unsigned char> Rgba;
    std::vector<unsigned char*> RowPointers;
    std::map<std::string, std::string> Texts;

    TRgba At(unsigned x, unsigned y) const
    {
        const unsigned char* p = &Rgba[(size_t(y) * Width + x) * 4];
        return TRgba{p[0], p[1], p[2], p[3]};
    }
    // True where the text is drawn in the colour somewhere in rows [top, Height): each glyph's
    // set pixels in that colour, as TBitmapFont draws it.
    bool ShowsText(const std::string& text, const TRgba& ink, unsigned top) const
    {
        const long width = TBitmapFont::TextWidth(text);
        for (unsigned y = top; y + TBitmapFont::kHeight <= Height; ++y)
            for (unsigned x = 0; x + width <= Width; ++x)
                if (TextAt(text, ink, x, y)) return true;
        return false;
    }
    bool TextAt(const std::string& text, const TRgba& ink, unsigned x, unsigned y) const
    {
        for (size_t k = 0; k < text.size(); ++k)
            for (int row = 0; row < TBitmapFont::kHeight; ++row)
                for (int column = 0; column < 5; ++column) {
                    const bool set = TBitmapFont::GlyphRow(text[k], row) & (16u >> column);
                    const bool inked = At(x + static_cast<unsigned>(k * TBitmapFont::kAdvance + column), y + row) == ink;
                    if (set != inked) return false;
                }
        return true;
    }
};

#ifdef GRIDMEAN_HAVE_LIBPNG
constexpr bool kHaveLibpng = true;

struct TPngReadState {
    const unsigned char* Data;
    size_t Size;
    size_t At;
};

inline void ReadPngBytes(png_structp png, png_bytep out, png_size_t size)
{
    TPngReadState* state = static_cast<TPngReadState*>(png_get_io_ptr(png));
    if (state->At + size > state->Size) png_error(png, "truncated");
    std::memcpy(out, state->Data + state->At, size);
    state->At += size;
}

inline void CollectTexts(png_structp png, png_infop info, TDecodedPng& out)
{
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int k = 0; k < count; ++k) out.Texts[texts[k].key] = texts[k].text;
}

// No object with a destructor lives between setjmp and a longjmp from libpng.
inline bool DecodePngInto(const std::string& bytes, TDecodedPng& out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_infop end = png_create_info_struct(png);
    TPngReadState state{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    png_set_read_fn(png, &state, ReadPngBytes);
    png_read_info(png, info);
    out.Width = png_get_image_width(png, info);
    out.Height = png_get_image_height(png, info);
    out.ColourType = png_get_color_type(png, info);
    out.BitDepth = png_get_bit_depth(png, info);
    png_colorp palette = nullptr;
    png_get_PLTE(png, info, &palette, &out.PaletteEntries);
    png_set_expand(png);
    if (!png_get_valid(png, info, PNG_INFO_tRNS)) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(out.Width) * 4) png_error(png, "not RGBA");
    out.Rgba.resize(size_t(out.Width) * out.Height * 4);
    out.RowPointers.resize(out.Height);
    for (unsigned y = 0; y < out.Height; ++y) out.RowPointers[y] = &out.Rgba[size_t(y) * out.Width * 4];
    png_read_image(png, out.RowPointers.data());
    png_read_end(png, end);
    CollectTexts(png, info, out);
    CollectTexts(png, end, out);
    png_destroy_read_struct(&png, &info, &end);
    return true;
}

inline TDecodedPng DecodePng(const std::string& bytes)
{
    TDecodedPng decoded;
    decoded.Ok = DecodePngInto(bytes, decoded);
    return decoded;
}
#else
constexpr bool kHaveLibpng = false;
inline TDecodedPng DecodePng(const std::string&) { return TDecodedPng(); }
#endif

#define SKIP_WITHOUT_LIBPNG() \
    if (!kHaveLibpng) GTEST_SKIP() << "libpng is not available to decode the pictures (the Windows build has none)"
