#include "picture/TPngStream.h"

#include "picture/TFastDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kChunkData = size_t(1) << 16;
constexpr unsigned char kFilterNone = 0;
constexpr unsigned char kFilterUp = 2;

void PutBigEndian(unsigned char* out, uint32_t value)
{
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

uint32_t ChunkCrc(const unsigned char* typeAndData, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt part = static_cast<uInt>(size < (size_t(1) << 30) ? size : (size_t(1) << 30));
        crc = crc32(crc, typeAndData, part);
        typeAndData += part;
        size -= part;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace

TPngStream::TDataChunks::TDataChunks(TByteSink& sink) : MbrSink(sink), MbrPtrChunk(new unsigned char[8 + kChunkData + 4]) {}

void TPngStream::TDataChunks::Write(const char* data, size_t size)
{
    while (size > 0) {
        const size_t take = std::min(size, kChunkData - MbrSizFill);
        std::memcpy(MbrPtrChunk.get() + 8 + MbrSizFill, data, take);
        MbrSizFill += take;
        data += take;
        size -= take;
        if (MbrSizFill == kChunkData) Send();
    }
}

void TPngStream::TDataChunks::Send()
{
    if (MbrSizFill == 0) return;
    unsigned char* chunk = MbrPtrChunk.get();
    PutBigEndian(chunk, static_cast<uint32_t>(MbrSizFill));
    std::memcpy(chunk + 4, "IDAT", 4);
    PutBigEndian(chunk + 8 + MbrSizFill, ChunkCrc(chunk + 4, MbrSizFill + 4));
    MbrSink.Write(reinterpret_cast<const char*>(chunk), MbrSizFill + 12);
    MbrSizFill = 0;
}

TPngStream::TPngStream(TByteSink& sink, uint32_t width, uint32_t height, TFilter filter)
    : MbrSink(sink),
      MbrLngWidth(width),
      MbrLngHeight(height),
      MbrFilter(filter),
      MbrChunks(sink),
      MbrPtrDeflate(new TFastDeflate(MbrChunks)),
      MbrPtrRow(new unsigned char[width]()),
      MbrPtrAbove(new unsigned char[width]()),
      MbrPtrFiltered(new unsigned char[size_t(width) + 1])
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    MbrSink.Write(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
    unsigned char header[13];
    PutBigEndian(header, width);
    PutBigEndian(header + 4, height);
    header[8] = 8;    // bits per index
    header[9] = 3;    // palette colour
    header[10] = 0;   // deflate
    header[11] = 0;   // the standard filters
    header[12] = 0;   // not interlaced
    Chunk("IHDR", header, sizeof header);
}

TPngStream::~TPngStream() = default;

void TPngStream::Chunk(const char* type, const unsigned char* data, size_t size)
{
    std::unique_ptr<unsigned char[]> chunk(new unsigned char[size + 12]);
    PutBigEndian(chunk.get(), static_cast<uint32_t>(size));
    std::memcpy(chunk.get() + 4, type, 4);
    if (size > 0) std::memcpy(chunk.get() + 8, data, size);
    PutBigEndian(chunk.get() + 8 + size, ChunkCrc(chunk.get() + 4, size + 4));
    MbrSink.Write(reinterpret_cast<const char*>(chunk.get()), size + 12);
}

void TPngStream::Text(const std::string& keyword, const std::string& text)
{
    bool formed = !keyword.empty() && keyword.size() <= 79 && keyword.front() != ' ' && keyword.back() != ' ' &&
                  keyword.find("  ") == std::string::npos;
    for (unsigned char c : keyword) formed = formed && ((c >= 32 && c <= 126) || c >= 161);
    if (!formed) throw "Text chunk keyword out of form in TPngStream";
    const std::string body = keyword + '\0' + std::string(text.c_str());
    Chunk("tEXt", reinterpret_cast<const unsigned char*>(body.data()), body.size());
}

void TPngStream::Palette(const unsigned char* rgb, size_t entries, size_t transparent)
{
    if (entries < 1 || entries > 256 || transparent > entries) throw "Palette out of range in TPngStream";
    Chunk("PLTE", rgb, 3 * entries);
    if (transparent > 0) {
        const unsigned char clear[256] = {};
        Chunk("tRNS", clear, transparent);
    }
}

void TPngStream::WriteRow()
{
    if (MbrLngRowsWritten == MbrLngHeight) throw "More rows than the picture holds in TPngStream";
    // In locals, which the stores of bytes cannot alias: the loop vectorises.
    const unsigned char* row = MbrPtrRow.get();
    unsigned char* filtered = MbrPtrFiltered.get();
    const size_t width = MbrLngWidth;
    if (MbrFilter == TFilter::Up) {
        const unsigned char* above = MbrPtrAbove.get();
        filtered[0] = kFilterUp;
        for (size_t x = 0; x < width; ++x) filtered[x + 1] = static_cast<unsigned char>(row[x] - above[x]);
        MbrPtrRow.swap(MbrPtrAbove);
    } else {
        filtered[0] = kFilterNone;
        std::memcpy(filtered + 1, row, width);
    }
    MbrPtrDeflate->Write(filtered, width + 1);
    ++MbrLngRowsWritten;
}

void TPngStream::Finish()
{
    if (MbrLngRowsWritten != MbrLngHeight) throw "Fewer rows than the picture holds in TPngStream";
    MbrPtrDeflate->Finish();
    MbrChunks.Send();
    Chunk("IEND", nullptr, 0);
}
