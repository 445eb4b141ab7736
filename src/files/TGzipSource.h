#pragma once

#include "files/TByteSource.h"
#include "files/TGzipLibrary.h"

#include <memory>

class TGzipInflater;

// The decompressed bytes of gzip data read from another source (owned), with memory bounded by
// a fixed input buffer and the decompressor's window whatever the data's size. Members written
// one after another read as one stream, as gzip -d reads them; bytes after a member that do not
// start another member end the stream and are ignored, as gzip -d ignores trailing garbage.
// Compressed data is taken in blocks, so the source is read past the grid's end. Every library
// reads the same bytes from the same data and refuses the same data.
class TGzipSource : public TByteSource {
public:
    // Throws std::bad_alloc when the decompressor cannot be set up, and "gzip through NAME is
    // not in this build" for a library the build lacks.
    explicit TGzipSource(std::unique_ptr<TByteSource> compressed, TGzipLibrary library = TGzipLibraries::Fastest());
    ~TGzipSource() override;
    TGzipSource(const TGzipSource&) = delete;
    TGzipSource& operator=(const TGzipSource&) = delete;

    // Fills `destination` unless the data ends first. Throws kDamaged when the data is not valid
    // gzip, fails its checksum or length or ends inside a member, and passes on the compressed
    // source's failures. A checksum is known only at the end of its member, so damage that still
    // decompresses may first show as a format error in a grid beyond the first megabyte or so.
    size_t Read(char* destination, size_t max) override;
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }

    static const char* const kDamaged;  // "File format error: corrupt or truncated gzip data"

private:
    // Reads more compressed bytes until `wanted` are available; false when the source ends first.
    bool Fill(size_t wanted);
    // Refuses a member whose header sets reserved flags before it is decompressed.
    void StartMember();

    std::unique_ptr<TByteSource> MbrPtrCompressed;
    std::unique_ptr<TGzipInflater> MbrPtrInflater;
    std::unique_ptr<unsigned char[]> MbrPtrInput;
    const unsigned char* MbrPtrNext = nullptr;  // the compressed bytes not yet decompressed
    size_t MbrSizAvailable = 0;
    bool MbrBlnInMember = false;
    bool MbrBlnBetweenMembers = false;
    bool MbrBlnEnded = false;
};
