#include "stack/TGridStack.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TFileSink.h"
#include "files/TGridHeaderText.h"
#include "files/TGridTextReader.h"
#include "files/TGzipSink.h"
#include "text/TNumberFormatter.h"
#include "stack/TStackGeometry.h"
#include "stack/TTaskTeam.h"
#include "stats/TStackMessages.h"
#include "grid/TMap.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>

namespace {

const char* const kNoCells = "File format error: ncols and nrows must be greater than 0";

// Additions of the geometry's edge sums per band: a few milliseconds.
constexpr uint64_t kGeometryStepsPerBand = uint64_t(1) << 22;

// Where the result's text goes.
class TOutput {
public:
    virtual ~TOutput() = default;
    virtual void Write(const char* data, size_t size) = 0;
    virtual void Commit() = 0;
};

template <class TSink>
class TFileOutput : public TOutput {
public:
    explicit TFileOutput(const std::string& name) : MbrSink(name) {}
    void Write(const char* data, size_t size) override { MbrSink.Write(data, size); }
    void Commit() override { MbrSink.Commit(); }

private:
    TSink MbrSink;
};

// A name ending in ".gz" is written gzip-compressed, as TARCGISFileTools writes it.
std::unique_ptr<TOutput> OpenFileOutput(const std::string& name)
{
    const std::string gzip = ".gz";
    if (name.size() > gzip.size() && name.compare(name.size() - gzip.size(), gzip.size(), gzip) == 0)
        return std::make_unique<TFileOutput<TGzipSink>>(name);
    return std::make_unique<TFileOutput<TFileSink>>(name);
}

class TStreamOutput : public TOutput {
public:
    explicit TStreamOutput(std::ostream& stream) : MbrRefStream(stream) {}
    // A caller's stream reports its own failures through its state, as the stream writers do.
    void Write(const char* data, size_t size) override { MbrRefStream.write(data, static_cast<std::streamsize>(size)); }
    void Commit() override { MbrRefStream.flush(); }

private:
    std::ostream& MbrRefStream;
};

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

using TOpenSource = std::function<std::unique_ptr<TByteSource>(size_t)>;
using TOpenOutput = std::function<std::unique_ptr<TOutput>()>;

uint64_t CellsOf(const TGridHeader& header)
{
    uint64_t cells;
    if (__builtin_mul_overflow(static_cast<uint64_t>(header.Columns), static_cast<uint64_t>(header.Rows), &cells))
        return std::numeric_limits<uint64_t>::max();
    return cells;
}

// The text of one band of the result, in pieces formatted side by side.
struct TBandText {
    std::vector<std::vector<char>> Pieces;
    std::vector<size_t> Sizes;
};

// One run of a stack: the inputs' state, the pipeline of bands, and the failures found so far.
class TStackRun {
public:
    TStackRun(size_t count, TOpenSource open, TOpenOutput openOutput, const TGridStackOptions& options,
              TStackBlame* blame)
        : MbrSizCount(count),
          MbrFncOpen(std::move(open)),
          MbrFncOpenOutput(std::move(openOutput)),
          MbrRefOptions(options),
          MbrPtrBlame(blame),
          MbrVecInputs(count)
    {
    }

    // Runs the stack: writes the result to the output, or with no output opener, returns it as a
    // new map (caller owns).
    TMap* Execute();

private:
    struct TInput {
        std::unique_ptr<TByteSource> Source;
        std::unique_ptr<TGridTextReader> Reader;
        TGridHeader Header;
        TCellCursor Cursor;
        uint64_t Cells = 0;
        uint64_t Left = 0;
        std::vector<double> Band[2];
        void Close()
        {
            Reader.reset();
            Source.reset();
            Left = 0;
        }
    };
    enum class TTaskKind { Parse, Format, Store, Geometry, Write };
    struct TTask {
        TTaskKind Kind;
        size_t Index;
    };

    void OpenInputs();
    void StartComputing();
    void Fail(size_t input, std::exception_ptr failure);
    void FailOutput(std::exception_ptr failure);
    // Closes the inputs after the earliest failure and gives up the result.
    void ApplyFailures();
    void StopComputing();
    void Step();
    void Perform(const TTask& task);
    void Parse(size_t input);
    void Format(size_t piece);
    // Reduces `count` cells of the band from `offset` on into the piece's results.
    void ReduceCells(size_t offset, size_t count, size_t piece);
    void Store(size_t piece);
    void PrepareRows();
    TMap* FinishMap();
    void WriteTexts();
    // Formats `count` cells of the band from `offset` on, starting at `column`, into `out`.
    char* FormatCells(size_t offset, size_t count, uint64_t column, size_t piece, char* out);
    void Report();
    [[noreturn]] void ThrowOutcome();

    const size_t MbrSizCount;
    TOpenSource MbrFncOpen;
    TOpenOutput MbrFncOpenOutput;
    const TGridStackOptions& MbrRefOptions;
    TStackBlame* MbrPtrBlame;
    std::vector<TInput> MbrVecInputs;
    std::atomic<uint64_t> MbrCntBytes{0};

    // Failures: the earliest input that failed, the first difference in dimensions, the output's.
    std::mutex MbrMtxFailures;
    std::vector<std::exception_ptr> MbrVecFailures;
    size_t MbrSizEarliest = std::numeric_limits<size_t>::max();
    bool MbrBlnNewFailure = false;
    const char* MbrPtrMismatch = nullptr;
    std::exception_ptr MbrPtrOutputFailure;

    // The result, while it is still being computed.
    bool MbrBlnComputing = false;
    std::unique_ptr<TStackStatistic> MbrPtrStatistic;
    std::unique_ptr<TStackGeometry> MbrPtrGeometry;
    std::unique_ptr<TOutput> MbrPtrOutput;
    std::unique_ptr<TMap> MbrPtrMap;  // the result, when it is kept in memory
    std::unique_ptr<TTaskTeam> MbrPtrTeam;
    std::vector<double> MbrVecNoData;
    std::string MbrStgNoDataText;
    std::string MbrStgHeader;
    bool MbrBlnWholeGrid = false;  // one band holds every cell, for rows written last row first
    bool MbrBlnReversed = false;   // the band being formatted is written last row first
    size_t MbrSizBand = 0;
    uint64_t MbrLngParsed = 0;      // result cells parsed from every input
    // The band parsed in the last step, waiting to be formatted: its slot, first cell and size.
    int MbrIntReadySlot = -1;
    uint64_t MbrLngReadyStart = 0;
    size_t MbrSizReadyCells = 0;
    int MbrIntParseSlot = 0;
    size_t MbrSizPieces = 1;
    std::unique_ptr<TBandText> MbrPtrFormatting;
    std::vector<std::unique_ptr<TBandText>> MbrVecPending;  // formatted, not yet written
    std::vector<std::unique_ptr<TBandText>> MbrVecWriting;
    std::vector<std::unique_ptr<TBandText>> MbrVecSpare;
    std::vector<std::vector<double>> MbrVecResults;
    std::vector<std::vector<unsigned char>> MbrVecMissing;
    std::vector<std::vector<double>> MbrVecScratch;
    std::vector<std::vector<const double*>> MbrVecPointers;
    bool MbrBlnHeaderWritten = false;
    std::vector<TTask> MbrVecTasks;
};

void TStackRun::Fail(size_t input, std::exception_ptr failure)
{
    std::lock_guard<std::mutex> lock(MbrMtxFailures);
    MbrVecFailures[input] = failure;
    if (input < MbrSizEarliest) MbrSizEarliest = input;
    MbrBlnNewFailure = true;
}

void TStackRun::FailOutput(std::exception_ptr failure)
{
    std::lock_guard<std::mutex> lock(MbrMtxFailures);
    if (!MbrPtrOutputFailure) MbrPtrOutputFailure = failure;
    MbrBlnNewFailure = true;
}

void TStackRun::StopComputing()
{
    MbrBlnComputing = false;
    MbrPtrOutput.reset();  // a file not committed leaves the target as it was
    MbrPtrMap.reset();
    MbrVecPending.clear();
    MbrPtrFormatting.reset();
    MbrIntReadySlot = -1;
}

void TStackRun::ApplyFailures()
{
    if (!MbrBlnNewFailure) return;
    MbrBlnNewFailure = false;
    StopComputing();
    // Only inputs before the earliest failure can still change the outcome.
    for (size_t k = MbrSizEarliest == std::numeric_limits<size_t>::max() ? MbrSizCount : MbrSizEarliest + 1;
         k < MbrSizCount; ++k)
        MbrVecInputs[k].Close();
}

void TStackRun::OpenInputs()
{
    const size_t readerBytes = std::clamp((size_t(4) << 20) / std::max<size_t>(MbrSizCount, 1), size_t(64) << 10,
                                          TGridTextReader::kMaxTokenBytes);
    for (size_t k = 0; k < MbrSizCount && k < MbrSizEarliest; ++k) {
        TInput& input = MbrVecInputs[k];
        try {
            input.Source = std::make_unique<TCountingSource>(MbrFncOpen(k), MbrCntBytes);
            input.Reader = std::make_unique<TGridTextReader>(*input.Source, MbrRefOptions.Read, readerBytes);
            input.Header = input.Reader->ReadHeader();
            if (input.Header.Columns == 0 || input.Header.Rows == 0) throw kNoCells;
            if (MbrRefOptions.CheckHeader) MbrRefOptions.CheckHeader(k, input.Header);
        } catch (...) {
            input.Close();
            Fail(k, std::current_exception());
            break;
        }
        input.Cells = input.Left = CellsOf(input.Header);
        const TGridHeader& first = MbrVecInputs[0].Header;
        if (k > 0 && !MbrPtrMismatch && (input.Header.Columns != first.Columns || input.Header.Rows != first.Rows)) {
            const bool columns = input.Header.Columns != first.Columns;
            MbrPtrMismatch = columns ? TStackMessages::kColumnsDiffer : TStackMessages::kRowsDiffer;
            if (MbrPtrBlame) {
                MbrPtrBlame->Input = static_cast<long>(k);
                MbrPtrBlame->Dimension = columns ? 'X' : 'Y';
                MbrPtrBlame->Count = columns ? input.Header.Columns : input.Header.Rows;
                MbrPtrBlame->FirstCount = columns ? first.Columns : first.Rows;
            }
        }
    }
    MbrBlnNewFailure = false;
}

void TStackRun::StartComputing()
{
    const TGridHeader& first = MbrVecInputs[0].Header;
    MbrPtrStatistic = std::make_unique<TStackStatistic>(MbrRefOptions.Rule, MbrSizCount);
    for (const TInput& input : MbrVecInputs) MbrVecNoData.push_back(input.Header.NoData);
    if (!MbrFncOpenOutput) {
        // Rows are added as their cells arrive, so memory follows the values actually present.
        MbrPtrMap = std::make_unique<TMap>(first.CellSize);
    } else {
        MbrPtrGeometry = std::make_unique<TStackGeometry>(first);
        MbrStgNoDataText = TGridHeaderText::ExactNumber(MbrRefOptions.NoData);
        try {
            MbrPtrOutput = MbrFncOpenOutput();
        } catch (...) {
            FailOutput(std::current_exception());
            MbrBlnNewFailure = false;
            return;
        }
        // Rows written last row first need every row at hand; the reader's memory then follows
        // the values that actually arrive.
        MbrBlnWholeGrid = MbrPtrGeometry->MayReverse();
    }
    MbrBlnComputing = true;
    const unsigned members = MbrPtrTeam->Members();
    MbrSizPieces = members == 1 ? 1 : 2 * members;
    MbrVecResults.resize(MbrSizPieces);
    MbrVecMissing.resize(MbrSizPieces);
    MbrVecScratch.resize(MbrSizPieces);
    MbrVecPointers.assign(MbrSizPieces, std::vector<const double*>(MbrSizCount));
}

void TStackRun::Parse(size_t k)
{
    TInput& input = MbrVecInputs[k];
    try {
        if (MbrBlnComputing && MbrBlnWholeGrid) {
            std::vector<double>& band = input.Band[0];
            while (input.Left > 0) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(input.Left, size_t(1) << 16));
                const size_t done = band.size();
                band.resize(done + n);
                input.Reader->ReadRun(input.Header, input.Cursor, band.data() + done, n);
                input.Left -= n;
            }
            return;
        }
        std::vector<double>& band = input.Band[MbrIntParseSlot];
        if (band.size() < MbrSizBand) band.resize(MbrSizBand);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(input.Left, MbrSizBand));
        input.Reader->ReadRun(input.Header, input.Cursor, band.data(), n);
        input.Left -= n;
    } catch (...) {
        input.Close();
        Fail(k, std::current_exception());
    }
}

void TStackRun::ReduceCells(size_t offset, size_t count, size_t piece)
{
    std::vector<const double*>& pointers = MbrVecPointers[piece];
    for (size_t k = 0; k < MbrSizCount; ++k) pointers[k] = MbrVecInputs[k].Band[MbrIntReadySlot].data() + offset;
    std::vector<double>& results = MbrVecResults[piece];
    std::vector<unsigned char>& missing = MbrVecMissing[piece];
    if (results.size() < count) {
        results.resize(count);
        missing.resize(count);
    }
    MbrPtrStatistic->Reduce(pointers.data(), MbrVecNoData.data(), count, results.data(), missing.data(),
                            MbrVecScratch[piece]);
}

char* TStackRun::FormatCells(size_t offset, size_t count, uint64_t column, size_t piece, char* out)
{
    ReduceCells(offset, count, piece);
    const std::vector<double>& results = MbrVecResults[piece];
    const std::vector<unsigned char>& missing = MbrVecMissing[piece];
    const uint64_t columns = static_cast<uint64_t>(MbrVecInputs[0].Header.Columns);
    const int digits = MbrRefOptions.Digits;
    const char* noData = MbrStgNoDataText.data();
    const size_t noDataSize = MbrStgNoDataText.size();
    for (size_t c = 0; c < count; ++c) {
        if (missing[c]) {
            std::memcpy(out, noData, noDataSize);
            out += noDataSize;
        } else if (digits == 6) {
            out = TNumberFormatter::FormatDefault(out, results[c]);
        } else {
            out = TNumberFormatter::FormatDouble(out, results[c], TNumberFormatter::TStyle::General, digits);
        }
        *out++ = ' ';
        if (++column == columns) {
            *out++ = '\n';
            column = 0;
        }
    }
    return out;
}

void TStackRun::Format(size_t piece)
{
    const size_t cells = MbrSizReadyCells;
    const size_t begin = cells * piece / MbrSizPieces;
    const size_t end = cells * (piece + 1) / MbrSizPieces;
    std::vector<char>& text = MbrPtrFormatting->Pieces[piece];
    // Room for each cell and its line break, and for the formatter's scratch past the last one.
    const size_t perCell = std::max(TNumberFormatter::kRunRoom, MbrStgNoDataText.size() + 1) + 1;
    const size_t room = (end - begin) * perCell + TNumberFormatter::kMaxDoubleText;
    if (text.size() < room) text.resize(room);
    char* out = text.data();
    const uint64_t columns = static_cast<uint64_t>(MbrVecInputs[0].Header.Columns);
    if (!MbrBlnReversed) {
        out = FormatCells(begin, end - begin, (MbrLngReadyStart + begin) % columns, piece, out);
    } else {
        // Output position p holds the cell of the same column in the mirrored row.
        const uint64_t rows = static_cast<uint64_t>(MbrVecInputs[0].Header.Rows);
        for (size_t p = begin; p < end;) {
            const uint64_t row = p / columns;
            const uint64_t column = p % columns;
            const size_t run = static_cast<size_t>(std::min<uint64_t>(end - p, columns - column));
            out = FormatCells(static_cast<size_t>((rows - 1 - row) * columns + column), run, column, piece, out);
            p += run;
        }
    }
    MbrPtrFormatting->Sizes[piece] = static_cast<size_t>(out - text.data());
}

void TStackRun::PrepareRows()
{
    // Rows are added by the calling thread before the pieces fill them.
    const uint64_t columns = static_cast<uint64_t>(MbrVecInputs[0].Header.Columns);
    const uint64_t lastRow = (MbrLngReadyStart + MbrSizReadyCells - 1) / columns;
    while (static_cast<uint64_t>(MbrPtrMap->GetYDim()) <= lastRow)
        MbrPtrMap->AddRow(std::vector<double>(static_cast<size_t>(columns), MbrRefOptions.NoData));
}

void TStackRun::Store(size_t piece)
{
    const size_t cells = MbrSizReadyCells;
    const size_t begin = cells * piece / MbrSizPieces;
    const size_t end = cells * (piece + 1) / MbrSizPieces;
    ReduceCells(begin, end - begin, piece);
    const std::vector<double>& results = MbrVecResults[piece];
    const std::vector<unsigned char>& missing = MbrVecMissing[piece];
    const uint64_t columns = static_cast<uint64_t>(MbrVecInputs[0].Header.Columns);
    for (size_t c = begin; c < end; ++c) {
        const uint64_t cell = MbrLngReadyStart + c;
        std::vector<double>& row = MbrPtrMap->GetRowRef(static_cast<long>(cell / columns));
        row[static_cast<size_t>(cell % columns)] = missing[c - begin] ? MbrRefOptions.NoData : results[c - begin];
    }
}

TMap* TStackRun::FinishMap()
{
    // The result lies on the first grid's cell centres, with edges derived from them, as a map
    // built from those centres has them.
    TMap* map = MbrPtrMap.get();
    TGridTextReader::SetEdges(map, MbrVecInputs[0].Header);
    map->SetXAxis(map->GetXAxis());
    map->SetYAxis(map->GetYAxis());
    map->SetNoDataValue(MbrRefOptions.NoData);
    return MbrPtrMap.release();
}

void TStackRun::WriteTexts()
{
    try {
        if (!MbrBlnHeaderWritten) {
            MbrPtrOutput->Write(MbrStgHeader.data(), MbrStgHeader.size());
            MbrBlnHeaderWritten = true;
        }
        for (const auto& band : MbrVecWriting)
            for (size_t i = 0; i < band->Pieces.size(); ++i) MbrPtrOutput->Write(band->Pieces[i].data(), band->Sizes[i]);
    } catch (...) {
        FailOutput(std::current_exception());
    }
}

void TStackRun::Perform(const TTask& task)
{
    switch (task.Kind) {
    case TTaskKind::Parse:
        Parse(task.Index);
        break;
    case TTaskKind::Format:
        Format(task.Index);
        break;
    case TTaskKind::Store:
        Store(task.Index);
        break;
    case TTaskKind::Geometry:
        MbrPtrGeometry->Advance(kGeometryStepsPerBand);
        break;
    case TTaskKind::Write:
        WriteTexts();
        break;
    }
}

void TStackRun::Step()
{
    MbrVecTasks.clear();
    // Parse the next band of every input still read.
    bool parsing = false;
    size_t parsedCells = 0;
    for (size_t k = 0; k < MbrSizCount; ++k) {
        if (!MbrVecInputs[k].Reader || MbrVecInputs[k].Left == 0) continue;
        MbrVecTasks.push_back({TTaskKind::Parse, k});
        parsing = true;
        parsedCells = static_cast<size_t>(std::min<uint64_t>(MbrVecInputs[k].Left, MbrSizBand));
    }
    // Format (or store) the band parsed in the last step.
    const bool storing = MbrBlnComputing && MbrIntReadySlot >= 0 && MbrPtrMap;
    if (storing) {
        PrepareRows();
        for (size_t piece = 0; piece < MbrSizPieces; ++piece) MbrVecTasks.push_back({TTaskKind::Store, piece});
    }
    const bool formatting = MbrBlnComputing && MbrIntReadySlot >= 0 && MbrPtrOutput &&
        (!MbrBlnWholeGrid || MbrPtrGeometry->Done());
    if (formatting) {
        MbrBlnReversed = MbrBlnWholeGrid && MbrPtrGeometry->RowsReversed();
        if (!MbrVecSpare.empty()) {
            MbrPtrFormatting = std::move(MbrVecSpare.back());
            MbrVecSpare.pop_back();
        } else {
            MbrPtrFormatting = std::make_unique<TBandText>();
            MbrPtrFormatting->Pieces.resize(MbrSizPieces);
            MbrPtrFormatting->Sizes.resize(MbrSizPieces);
        }
        for (size_t piece = 0; piece < MbrSizPieces; ++piece) MbrVecTasks.push_back({TTaskKind::Format, piece});
    }
    if (MbrBlnComputing && MbrPtrGeometry && !MbrPtrGeometry->Done())
        MbrVecTasks.push_back({TTaskKind::Geometry, 0});
    // Write what earlier steps formatted, once the header is known.
    const bool writing = MbrBlnComputing && MbrPtrOutput && MbrPtrGeometry->Done() &&
        (!MbrVecPending.empty() || !MbrBlnHeaderWritten);
    if (writing) {
        if (MbrStgHeader.empty()) {
            const TGridHeader& first = MbrVecInputs[0].Header;
            MbrStgHeader = TGridHeaderText::Geometry(first.Columns, first.Rows, MbrPtrGeometry->XllCorner(),
                                                     MbrPtrGeometry->YllCorner(), MbrPtrGeometry->CellSize()) +
                "NODATA_value " + MbrStgNoDataText + "\n";
        }
        MbrVecWriting = std::move(MbrVecPending);
        MbrVecPending.clear();
        MbrVecTasks.push_back({TTaskKind::Write, 0});
    }
    if (MbrVecTasks.empty()) return;

    const int parseSlot = MbrIntParseSlot;
    const uint64_t parseStart = MbrLngParsed;
    MbrPtrTeam->Run(MbrVecTasks.size(), [this](size_t i) { Perform(MbrVecTasks[i]); });

    if (writing) {
        for (auto& band : MbrVecWriting) MbrVecSpare.push_back(std::move(band));
        MbrVecWriting.clear();
    }
    if (formatting && MbrPtrFormatting) {
        MbrVecPending.push_back(std::move(MbrPtrFormatting));
        MbrIntReadySlot = -1;
    }
    if (storing) MbrIntReadySlot = -1;
    if (parsing && MbrBlnComputing) {
        MbrIntReadySlot = parseSlot;
        MbrLngReadyStart = parseStart;
        MbrSizReadyCells = MbrBlnWholeGrid ? static_cast<size_t>(MbrVecInputs[0].Cells) : parsedCells;
        MbrLngParsed += MbrSizReadyCells;
        MbrIntParseSlot = 1 - MbrIntParseSlot;
    }
    ApplyFailures();
    Report();
}

void TStackRun::Report()
{
    if (!MbrRefOptions.Progress) return;
    TStackProgress progress;
    for (const TInput& input : MbrVecInputs) {
        progress.CellsTotal += input.Cells;
        progress.CellsDone += input.Cells - input.Left;
    }
    progress.BytesRead = MbrCntBytes.load(std::memory_order_relaxed);
    MbrRefOptions.Progress(progress);
}

void TStackRun::ThrowOutcome()
{
    if (MbrSizEarliest < MbrSizCount) {
        if (MbrPtrBlame) *MbrPtrBlame = TStackBlame{static_cast<long>(MbrSizEarliest), 0, 0, 0};
        std::rethrow_exception(MbrVecFailures[MbrSizEarliest]);
    }
    if (MbrSizCount < 2) {
        if (MbrPtrBlame) *MbrPtrBlame = TStackBlame{};
        throw TStackMessages::kTooFewMaps;
    }
    if (MbrPtrMismatch) throw MbrPtrMismatch;
    if (MbrPtrBlame) *MbrPtrBlame = TStackBlame{};
    std::rethrow_exception(MbrPtrOutputFailure);
}

TMap* TStackRun::Execute()
{
    if (MbrSizCount == 0) throw TStackMessages::kTooFewMaps;
    MbrVecFailures.resize(MbrSizCount);
    if (MbrPtrBlame) *MbrPtrBlame = TStackBlame{};
    OpenInputs();
    const unsigned threads = MbrRefOptions.Threads > 0 ? MbrRefOptions.Threads : TTaskTeam::AvailableProcessors();
    MbrPtrTeam = std::make_unique<TTaskTeam>(std::clamp(threads, 1u, 64u));
    MbrSizBand = MbrRefOptions.BandCells > 0
        ? MbrRefOptions.BandCells
        : std::clamp((size_t(1) << 16) / MbrSizCount, size_t(1024), size_t(65536));
    if (MbrSizEarliest == std::numeric_limits<size_t>::max() && !MbrPtrMismatch && MbrSizCount >= 2) StartComputing();
    ApplyFailures();

    do {
        Step();
    } while (!MbrVecTasks.empty());
    if (MbrBlnComputing && MbrPtrMap) return FinishMap();
    if (MbrBlnComputing) {
        try {
            // Every input is read: closed before the output is put in place, since the output
            // may be one of them and Windows does not rename over a file that is open.
            for (TInput& input : MbrVecInputs) input.Close();
            MbrPtrOutput->Commit();
            return nullptr;
        } catch (...) {
            FailOutput(std::current_exception());
            StopComputing();
        }
    }
    ThrowOutcome();
}

// Regular files give their descriptors back between reads when there are many; other inputs
// (FIFOs, devices) hold theirs, so no more of them can be read side by side than may be open.
void RequireDescriptors(const std::vector<std::string>& names)
{
    const long fixed = static_cast<long>(std::count_if(names.begin(), names.end(), [](const std::string& name) {
        return !TFileSource::NamesRegularFile(name);
    }));
    const long budget = TFileSource::DescriptorBudget();
    if (fixed > budget)
        throw "Too many inputs that are not regular files: " + std::to_string(fixed) + ", at most " +
            std::to_string(budget) + " can be open at once";
}

TOpenSource StreamOpener(const std::vector<std::istream*>& inputs)
{
    return [&inputs](size_t k) -> std::unique_ptr<TByteSource> {
        std::istream& stream = *inputs[k];
        if (!stream || !stream.rdbuf()) throw "File format error: expected to find ncols tag";
        return std::make_unique<TStreamSource>(stream.rdbuf());
    };
}

}  // namespace

void TGridStack::WriteFiles(const std::vector<std::string>& VecInputs, const std::string& StgOutput,
                            const TGridStackOptions& options, TStackBlame* blame)
{
    RequireDescriptors(VecInputs);
    TStackRun run(
        VecInputs.size(), [&VecInputs](size_t k) { return OpenGridSource(VecInputs[k]); },
        [&StgOutput]() { return OpenFileOutput(StgOutput); }, options, blame);
    run.Execute();
}

void TGridStack::WriteStreams(const std::vector<std::istream*>& VecInputs, std::ostream& StmOutput,
                              const TGridStackOptions& options, TStackBlame* blame)
{
    TStackRun run(
        VecInputs.size(), StreamOpener(VecInputs), [&StmOutput]() { return std::make_unique<TStreamOutput>(StmOutput); }, options,
        blame);
    run.Execute();
}

TMap* TGridStack::ReduceFiles(const std::vector<std::string>& VecInputs, const TGridStackOptions& options,
                              TStackBlame* blame)
{
    RequireDescriptors(VecInputs);
    TStackRun run(VecInputs.size(), [&VecInputs](size_t k) { return OpenGridSource(VecInputs[k]); }, nullptr, options,
                  blame);
    return run.Execute();
}

TMap* TGridStack::ReduceStreams(const std::vector<std::istream*>& VecInputs, const TGridStackOptions& options,
                                TStackBlame* blame)
{
    TStackRun run(VecInputs.size(), StreamOpener(VecInputs), nullptr, options, blame);
    return run.Execute();
}
