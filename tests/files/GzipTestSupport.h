#pragma once

// Gzip data for the tests of the gzip source and sink: made by the sink or by the gzip program,
// and read back through the source from memory.

#include "files/TByteSource.h"
#include "files/TGzipLibrary.h"
#include "files/TGzipSink.h"
#include "files/TGzipSource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

// Hands out the bytes of a string `chunk` at a time, like a pipe.
class TMemorySource : public TByteSource {
public:
    TMemorySource(std::string bytes, size_t chunk) : MbrStgBytes(std::move(bytes)), MbrSizeChunk(chunk) {}
    size_t Read(char* destination, size_t max) override
    {
        const size_t count = std::min({max, MbrSizeChunk, MbrStgBytes.size() - MbrSizeNext});
        MbrStgBytes.copy(destination, count, MbrSizeNext);
        MbrSizeNext += count;
        return count;
    }
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }

private:
    std::string MbrStgBytes;
    size_t MbrSizeChunk;
    size_t MbrSizeNext = 0;
};

// What Decompressed gives for data the source refuses.
inline const std::string kRefused = std::string("error: ") + TGzipSource::kDamaged;

// What the library's source decompresses from `bytes`, handed over `chunk` bytes at a time and
// taken `readSize` bytes at a time; or the message it throws.
inline std::string Decompressed(TGzipLibrary library, const std::string& bytes, size_t chunk = size_t(1) << 20,
                                size_t readSize = size_t(1) << 16)
{
    return Outcome([&] {
        TGzipSource source(std::make_unique<TMemorySource>(bytes, chunk), library);
        std::string text;
        std::string block(readSize, '\0');
        while (const size_t got = source.Read(&block[0], readSize)) text.append(block, 0, got);
        return text;
    });
}

// The text as the library's sink compresses it, given in pieces of `piece` bytes.
inline std::string GzipBytes(const std::string& text, TGzipLibrary library = TGzipLibrary::Zlib,
                             size_t piece = size_t(1) << 16)
{
    TScratchDir dir;
    const std::string name = dir.Path("text.gz");
    TGzipSink sink(name, library);
    for (size_t at = 0; at < text.size(); at += piece) sink.Write(text.data() + at, std::min(piece, text.size() - at));
    sink.Commit();
    return ReadText(name);
}

// The text compressed by the gzip program (gzip -n at the level), the independent peer.
inline std::string Gzipped(const TScratchDir& dir, const std::string& name, const std::string& text, int level = 6)
{
    const std::string plain = dir.Write(name, text);
    EXPECT_EQ(std::system(("gzip -n -f -" + std::to_string(level) + " " + Quoted(plain)).c_str()), 0);
    return ReadText(plain + ".gz");
}
