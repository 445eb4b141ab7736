#pragma once

#include "text/TByteSink.h"
#include "text/TNumberFormatter.h"

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>

// Buffered text output for the grid, flat and CSV writers: a caller's stream or a byte sink (a
// named file, plain or gzip-compressed).
// Numbers written with PutValue follow the stream's formatting (precision, fixed or scientific
// notation), formatted in the buffer when the stream's settings allow it and through the stream
// itself when they do not (showpoint, showpos, uppercase, another locale). A file has the
// default formatting of a new stream.
class TTextWriter {
public:
    explicit TTextWriter(std::ostream& stream);
    explicit TTextWriter(TByteSink& sink);
    // Flushes what is buffered; failures are reported only by Flush.
    ~TTextWriter();
    TTextWriter(const TTextWriter&) = delete;
    TTextWriter& operator=(const TTextWriter&) = delete;

    void Put(char c)
    {
        if (MbrPtrCur == MbrPtrLimit) Drain();
        *MbrPtrCur++ = c;
    }
    void Put(const char* text);
    // Text made elsewhere: gathered in the buffer, or handed on directly when larger than it.
    void PutText(const char* data, size_t size);
    // Numbers written with PutValue and PutRow get this precision from now on (the general
    // notation of a sink, or the stream's notation).
    void SetPrecision(int precision) { MbrIntPrecision = precision; }
    // The value as the stream would write it.
    void PutValue(double value)
    {
        if (MbrPtrCur > MbrPtrLimit - kValueRoom) Drain();
        if (MbrBlnFast)
            MbrPtrCur = TNumberFormatter::FormatDouble(MbrPtrCur, value, MbrEnmStyle, MbrIntPrecision);
        else
            PutThroughStream(value);
    }
    // Writes one row of cells: each value followed by the separator, then a line break.
    void PutRow(const double* values, size_t count, char separator);
    // Hands everything buffered to the stream or file (flushing the stream).
    void Flush();
    // Drops what is buffered: an abandoned output gets nothing more.
    void Abandon() { MbrPtrCur = MbrPtrBuffer.get(); }

private:
    static constexpr ptrdiff_t kValueRoom = 2 * static_cast<ptrdiff_t>(TNumberFormatter::kMaxDoubleText);
    // Writes what is buffered; the buffer may grow up to `growTo` bytes (see kFirstBufferSize).
    void Drain(size_t growTo = kLargestBuffer);
    static constexpr size_t kLargestBuffer = size_t(1) << 20;
    static constexpr size_t kLargestTextBuffer = kLargestBuffer / 4;
    void PutThroughStream(double value);

    std::ostream* MbrPtrStream = nullptr;
    TByteSink* MbrPtrSink = nullptr;
    bool MbrBlnFast = true;
    TNumberFormatter::TStyle MbrEnmStyle = TNumberFormatter::TStyle::General;
    int MbrIntPrecision = 6;
    std::unique_ptr<char[]> MbrPtrBuffer;
    size_t MbrSizCapacity;
    char* MbrPtrCur;
    char* MbrPtrLimit;
};
