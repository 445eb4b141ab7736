#include "stack/TStackInputs.h"

#include "stack/TStackFailures.h"

#include <algorithm>
#include <limits>

namespace {

const char* const kNoCells = "File format error: ncols and nrows must be greater than 0";

// Counts the bytes an input gives, for the progress display.
class TCountingSource : public TByteSource {
public:
    TCountingSource(std::unique_ptr<TByteSource> source, std::atomic<uint64_t>& counter)
        : MbrPtrSource(std::move(source)), MbrRefCounter(counter)
    {
    }
    size_t Read(char* destination, size_t max) override
    {
        const size_t got = MbrPtrSource->Read(destination, max);
        MbrRefCounter.fetch_add(got, std::memory_order_relaxed);
        return got;
    }
    int Peek() override { return MbrPtrSource->Peek(); }
    bool StopsAfterGrid() const override { return MbrPtrSource->StopsAfterGrid(); }

private:
    std::unique_ptr<TByteSource> MbrPtrSource;
    std::atomic<uint64_t>& MbrRefCounter;
};

uint64_t CellsOf(const TGridHeader& header)
{
    uint64_t cells;
    if (__builtin_mul_overflow(static_cast<uint64_t>(header.Columns), static_cast<uint64_t>(header.Rows), &cells))
        return std::numeric_limits<uint64_t>::max();
    return cells;
}

}  // namespace

void TStackInputs::TInput::Close()
{
    Reader.reset();
    Source.reset();
    Left = 0;
}

TStackInputs::TStackInputs(size_t count, TOpen open, const TGridReadOptions& read, TStackFailures& failures)
    : MbrFncOpen(std::move(open)), MbrRefRead(read), MbrRefFailures(failures), MbrVecInputs(count)
{
}

void TStackInputs::Open(const TCheck& check)
{
    // Read blocks shrink with many inputs, so that their buffers stay within the memory bound:
    // 2 MiB in all, from 64 KiB to 512 KiB an input (larger blocks read no faster).
    const size_t count = MbrVecInputs.size();
    const size_t readerBytes = std::clamp((size_t(2) << 20) / std::max<size_t>(count, 1), size_t(64) << 10,
                                          size_t(512) << 10);
    for (size_t k = 0; k < MbrRefFailures.InputsThatCount(); ++k) {
        OpenOne(k, readerBytes, check);
        if (MbrVecInputs[k].Reader) CompareDimensions(k);
    }
    MbrRefFailures.TakeNew();
}

void TStackInputs::OpenOne(size_t k, size_t readerBytes, const TCheck& check)
{
    TInput& input = MbrVecInputs[k];
    try {
        input.Source = std::make_unique<TCountingSource>(MbrFncOpen(k), MbrCntBytes);
        input.Reader = std::make_unique<TGridTextReader>(*input.Source, MbrRefRead, readerBytes);
        input.Header = input.Reader->ReadHeader();
        if (input.Header.Columns == 0 || input.Header.Rows == 0) throw kNoCells;
        if (check) check(k, input.Header);
    } catch (...) {
        input.Close();
        MbrRefFailures.Input(k, std::current_exception());
        return;
    }
    input.Cells = input.Left = CellsOf(input.Header);
}

void TStackInputs::CompareDimensions(size_t k)
{
    const TGridHeader& first = MbrVecInputs[0].Header;
    const TGridHeader& header = MbrVecInputs[k].Header;
    if (header.Columns != first.Columns)
        MbrRefFailures.Dimensions(k, 'X', header.Columns, first.Columns);
    else if (header.Rows != first.Rows)
        MbrRefFailures.Dimensions(k, 'Y', header.Rows, first.Rows);
}

size_t TStackInputs::NextBand(size_t k, size_t band) const
{
    return static_cast<size_t>(std::min<uint64_t>(MbrVecInputs[k].Left, band));
}

void TStackInputs::Parse(size_t k, int slot, size_t cells)
{
    TInput& input = MbrVecInputs[k];
    try {
        std::vector<double>& band = input.Band[slot];
        if (band.size() < cells) band.resize(cells);
        input.Reader->ReadRun(input.Header, input.Cursor, band.data(), cells);
        input.Left -= cells;
    } catch (...) {
        input.Close();
        MbrRefFailures.Input(k, std::current_exception());
    }
}

void TStackInputs::ParseRest(size_t k)
{
    TInput& input = MbrVecInputs[k];
    try {
        // In runs, so that memory follows the values that actually arrive.
        std::vector<double>& band = input.Band[0];
        while (input.Left > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(input.Left, size_t(1) << 16));
            const size_t done = band.size();
            band.resize(done + n);
            input.Reader->ReadRun(input.Header, input.Cursor, band.data() + done, n);
            input.Left -= n;
        }
    } catch (...) {
        input.Close();
        MbrRefFailures.Input(k, std::current_exception());
    }
}

void TStackInputs::CloseFrom(size_t first)
{
    for (size_t k = first; k < MbrVecInputs.size(); ++k) MbrVecInputs[k].Close();
}

TStackProgress TStackInputs::Progress() const
{
    TStackProgress progress;
    for (const TInput& input : MbrVecInputs) {
        progress.CellsTotal += input.Cells;
        progress.CellsDone += input.Cells - input.Left;
    }
    progress.BytesRead = MbrCntBytes.load(std::memory_order_relaxed);
    return progress;
}
