#include "files/TGridWriter.h"

#include "files/TFileSink.h"
#include "files/TGridFormat.h"
#include "files/TGridHeaderText.h"
#include "files/TGzipSink.h"

#include <cmath>
#include <cstring>

TGridWriter::TGridWriter(const std::string& name, const TGridNumbers& numbers) : MbrNumbers(numbers)
{
    if (Compresses(name)) {
        MbrPtrGzip = std::make_unique<TGzipSink>(name);
        MbrPtrText = std::make_unique<TTextWriter>(*MbrPtrGzip);
    } else {
        MbrPtrFile = std::make_unique<TFileSink>(name);
        MbrPtrText = std::make_unique<TTextWriter>(*MbrPtrFile);
    }
    if (MbrNumbers.Digits == 0) MbrNumbers.Digits = 6;  // a file is written as a new stream writes
    MbrPtrText->SetPrecision(MbrNumbers.Digits);
}

TGridWriter::TGridWriter(std::ostream& stream, const TGridNumbers& numbers)
    : MbrNumbers(numbers), MbrPtrText(std::make_unique<TTextWriter>(stream))
{
    if (MbrNumbers.Digits > 0) MbrPtrText->SetPrecision(MbrNumbers.Digits);
}

TGridWriter::~TGridWriter()
{
    if (!MbrBlnCommitted) MbrPtrText->Abandon();
}

bool TGridWriter::Compresses(const std::string& name)
{
    const std::string gzip = ".gz";
    return name.size() >= gzip.size() && name.compare(name.size() - gzip.size(), gzip.size(), gzip) == 0;
}

void TGridWriter::WriteHeader(const TGridHeader& header)
{
    const std::string geometry =
        TGridHeaderText::Geometry(header.Columns, header.Rows, header.XllCorner, header.YllCorner, header.CellSize);
    MbrPtrText->Put(geometry.c_str());
    MbrPtrText->Put(TGridFormat::kNoData);
    MbrPtrText->Put(' ');
    SetNoData(header.NoData);
    if (MbrNumbers.ExactNoData)
        MbrPtrText->Put(MbrStgNoData.c_str());
    else
        MbrPtrText->PutValue(header.NoData);  // like the cells, so that a no-data cell reads back equal to it
    MbrPtrText->Put('\n');
}

void TGridWriter::SetNoData(double noData)
{
    std::string text;
    if (MbrNumbers.ExactNoData) {
        text = TGridHeaderText::ExactNumber(noData);
    } else {
        char buffer[TNumberFormatter::kMaxDoubleText];
        text.assign(buffer, TNumberFormatter::FormatDouble(buffer, noData, TNumberFormatter::TStyle::General,
                                                           MbrNumbers.Digits > 0 ? MbrNumbers.Digits : 6));
    }
    // Changed only where it differs: the stack's outputs format cells with it on other threads
    // while their header, which sets it again, is written.
    if (text != MbrStgNoData) MbrStgNoData = std::move(text);
}

void TGridWriter::WriteRow(const double* values, size_t count) { MbrPtrText->PutRow(values, count, ' '); }

size_t TGridWriter::CellRoom() const
{
    // A cell, its blank and its line break.
    return std::max(TNumberFormatter::kRunRoom, MbrStgNoData.size() + 1) + 1;
}

char* TGridWriter::FormatCells(char* out, const double* values, const unsigned char* missing, size_t count,
                               uint64_t& column, uint64_t columns) const
{
    const int digits = MbrNumbers.Digits;
    const char* noData = MbrStgNoData.data();
    const size_t noDataSize = MbrStgNoData.size();
    // A local copy: the text written through `out` could alias the caller's counter.
    uint64_t at = column;
    for (size_t c = 0; c < count; ++c) {
        // A value that is not finite would not read back: it is missing.
        if (missing[c] || !std::isfinite(values[c])) {
            std::memcpy(out, noData, noDataSize);
            out += noDataSize;
        } else if (digits == 6) {
            out = TNumberFormatter::FormatDefault(out, values[c]);
        } else {
            out = TNumberFormatter::FormatDouble(out, values[c], TNumberFormatter::TStyle::General, digits);
        }
        *out++ = ' ';
        if (++at == columns) {
            *out++ = '\n';
            at = 0;
        }
    }
    column = at;
    return out;
}

void TGridWriter::WriteText(const char* data, size_t size) { MbrPtrText->PutText(data, size); }

void TGridWriter::Commit()
{
    Prepare();
    Publish();
}

void TGridWriter::Prepare()
{
    MbrBlnCommitted = true;
    MbrPtrText->Flush();
    if (MbrPtrGzip) MbrPtrGzip->Prepare();
    if (MbrPtrFile) MbrPtrFile->Prepare();
}

void TGridWriter::Publish()
{
    if (MbrPtrGzip) MbrPtrGzip->Publish();
    if (MbrPtrFile) MbrPtrFile->Publish();
}

bool TGridWriter::InPlace() const
{
    return MbrPtrGzip ? MbrPtrGzip->InPlace() : MbrPtrFile ? MbrPtrFile->InPlace() : true;
}
