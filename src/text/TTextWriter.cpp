#include "text/TTextWriter.h"


#include <cstring>
#include <locale>

namespace {
// The buffer starts small and doubles each time a drain finds it at least half full, up to the
// largest size: a writer of many values gets few large writes. Texts made elsewhere (a stack
// output's pieces of a band, a few KiB each) are gathered into writes of up to a quarter of that,
// since a file system takes each write at a cost of its own, many times that of copying a few
// KiB (on ext4, 8 MB in writes of 4 KiB costs three times what it costs in writes of 256 KiB).
constexpr size_t kFirstBufferSize = size_t(1) << 14;
}

TTextWriter::TTextWriter(std::ostream& stream)
    : MbrPtrStream(&stream), MbrPtrBuffer(new char[kFirstBufferSize]), MbrSizCapacity(kFirstBufferSize)
{
    MbrPtrCur = MbrPtrBuffer.get();
    MbrPtrLimit = MbrPtrCur + MbrSizCapacity;

    // The buffer formats exactly as the stream would when only precision and notation differ
    // from a new stream's settings; anything else goes through the stream itself.
    const std::ios_base::fmtflags flags = stream.flags();
    const std::ios_base::fmtflags floatField = flags & std::ios_base::floatfield;
    const std::streamsize precision = stream.precision();
    MbrBlnFast = (flags & (std::ios_base::showpoint | std::ios_base::showpos | std::ios_base::uppercase)) == 0 &&
        floatField != (std::ios_base::fixed | std::ios_base::scientific) && precision >= 0 &&
        precision <= TNumberFormatter::kMaxPrecision && stream.getloc() == std::locale::classic();
    if (floatField == std::ios_base::fixed) MbrEnmStyle = TNumberFormatter::TStyle::Fixed;
    if (floatField == std::ios_base::scientific) MbrEnmStyle = TNumberFormatter::TStyle::Scientific;
    MbrIntPrecision = static_cast<int>(precision);
    stream.width(0);
}

TTextWriter::TTextWriter(TByteSink& sink)
    : MbrPtrSink(&sink), MbrPtrBuffer(new char[kFirstBufferSize]), MbrSizCapacity(kFirstBufferSize)
{
    MbrPtrCur = MbrPtrBuffer.get();
    MbrPtrLimit = MbrPtrCur + MbrSizCapacity;
}

TTextWriter::~TTextWriter()
{
    try {
        Drain();
    } catch (...) {
        // Reported by Flush for callers that complete; an abandoned write needs no report.
    }
}

void TTextWriter::Drain(size_t growTo)
{
    const size_t size = static_cast<size_t>(MbrPtrCur - MbrPtrBuffer.get());
    MbrPtrCur = MbrPtrBuffer.get();
    if (size == 0) return;
    if (MbrPtrSink)
        MbrPtrSink->Write(MbrPtrBuffer.get(), size);
    else
        MbrPtrStream->write(MbrPtrBuffer.get(), static_cast<std::streamsize>(size));
    if (2 * size >= MbrSizCapacity && MbrSizCapacity < growTo) {
        MbrSizCapacity *= 2;
        MbrPtrBuffer.reset(new char[MbrSizCapacity]);
        MbrPtrCur = MbrPtrBuffer.get();
        MbrPtrLimit = MbrPtrCur + MbrSizCapacity;
    }
}

void TTextWriter::Flush()
{
    Drain();
    if (MbrPtrStream) MbrPtrStream->flush();
}

void TTextWriter::Put(const char* text)
{
    for (; *text; ++text) Put(*text);
}

void TTextWriter::PutText(const char* data, size_t size)
{
    if (size > static_cast<size_t>(MbrPtrLimit - MbrPtrCur)) Drain(kLargestTextBuffer);
    if (size <= static_cast<size_t>(MbrPtrLimit - MbrPtrCur)) {
        std::memcpy(MbrPtrCur, data, size);
        MbrPtrCur += size;
        return;
    }
    // Larger than the buffer: handed on as it is.
    if (MbrPtrSink)
        MbrPtrSink->Write(data, size);
    else
        MbrPtrStream->write(data, static_cast<std::streamsize>(size));
}

void TTextWriter::PutThroughStream(double value)
{
    Drain();
    *MbrPtrStream << value;
}

void TTextWriter::PutRow(const double* values, size_t count, char separator)
{
    if (MbrBlnFast && MbrEnmStyle == TNumberFormatter::TStyle::General && MbrIntPrecision <= TNumberFormatter::kMaxRunPrecision) {
        // General notation (the text of a default stream is the common case): as many values at
        // once as the buffer holds.
        while (count > 0) {
            const size_t room = static_cast<size_t>(MbrPtrLimit - MbrPtrCur) / TNumberFormatter::kRunRoom;
            if (room == 0) {
                Drain();
                continue;
            }
            const size_t run = count < room ? count : room;
            MbrPtrCur = TNumberFormatter::FormatGeneralRun(MbrPtrCur, values, run, separator, MbrIntPrecision);
            values += run;
            count -= run;
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            PutValue(values[i]);
            Put(separator);
        }
    }
    Put('\n');
}
