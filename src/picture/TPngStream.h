#pragma once

#include "text/TByteSink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TFastDeflate;

// A PNG image of 8-bit palette indices written to a sink as it is made: the header, text chunks
// and the palette first, then the rows one at a time, each filtered, deflated by TFastDeflate a
// block at a time and sent on in IDAT chunks of up to 64 KiB. The bytes depend only on what is
// written: no time, no system name, nothing of a library's version.
class TPngStream {
public:
    // How the rows are filtered before they are deflated: unchanged, or as their difference from
    // the row above ("Up"), which turns what neighbouring rows share into runs of zeros.
    enum class TFilter { None, Up };

    // Writes the signature and the header. Throws std::bad_alloc, and what the sink throws.
    TPngStream(TByteSink& sink, uint32_t width, uint32_t height, TFilter filter = TFilter::Up);
    ~TPngStream();
    TPngStream(const TPngStream&) = delete;
    TPngStream& operator=(const TPngStream&) = delete;

    // A tEXt chunk: a keyword of 1 to 79 printable Latin-1 characters and its text (Latin-1, up
    // to the first zero byte). Throws "Text chunk keyword out of form in TPngStream".
    void Text(const std::string& keyword, const std::string& text);
    // The palette (entries red, green, blue bytes after one another, 1 to 256 of them) and, when
    // `transparent` > 0, a tRNS chunk that makes the first `transparent` entries fully clear.
    // Throws "Palette out of range in TPngStream".
    void Palette(const unsigned char* rgb, size_t entries, size_t transparent);
    // Where the next row's `width` palette indices go (owned by the stream, zeros at first),
    // before WriteRow.
    unsigned char* RowBuffer() { return MbrPtrRow.get(); }
    // Sends on the row in RowBuffer. Throws "More rows than the picture holds in TPngStream",
    // and what the sink throws.
    void WriteRow();
    // Ends the image data and the file. Throws "Fewer rows than the picture holds in TPngStream".
    void Finish();

private:
    // Gathers the deflated data into IDAT chunks.
    class TDataChunks : public TByteSink {
    public:
        explicit TDataChunks(TByteSink& sink);
        void Write(const char* data, size_t size) override;
        // Sends the chunk in the making, if it holds data.
        void Send();

    private:
        TByteSink& MbrSink;
        // Length and type, room for the data, the CRC.
        std::unique_ptr<unsigned char[]> MbrPtrChunk;
        size_t MbrSizFill = 0;
    };

    void Chunk(const char* type, const unsigned char* data, size_t size);

    TByteSink& MbrSink;
    uint32_t MbrLngWidth;
    uint32_t MbrLngHeight;
    TFilter MbrFilter;
    uint32_t MbrLngRowsWritten = 0;
    TDataChunks MbrChunks;
    std::unique_ptr<TFastDeflate> MbrPtrDeflate;
    std::unique_ptr<unsigned char[]> MbrPtrRow;
    std::unique_ptr<unsigned char[]> MbrPtrAbove;  // the row before, zeros at first
    std::unique_ptr<unsigned char[]> MbrPtrFiltered;
};
