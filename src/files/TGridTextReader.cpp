#include "files/TGridTextReader.h"

#include "files/TGridFormat.h"

#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

const char* const kUnexpectedEndOfFile = TGridFormat::kUnexpectedEndOfFile;

namespace {

// A header never needs a longer token. A longer one is judged unparsable as soon as its first
// kHeaderTokenLimit + 1 bytes are seen, so that an endless token (a device of zeros, a sparse
// file) is refused at once.
constexpr size_t kHeaderTokenLimit = 256;
// A grid without rows or without columns holds no values that would bound the other dimension,
// so that dimension is limited here instead.
constexpr long kMaxExtentWithoutCells = 1000000;
constexpr long kHeaderTokens = 12;

const char* const kNoNcolsTag = TGridFormat::kNoNcolsTag;
const char* const kNoNrowsTag = "File format error: expectd to find nrows tag";
const char* const kNegativeNcols = "File format error: ncols must not be negative";
const char* const kNegativeNrows = "File format error: nrows must not be negative";
const char* const kNoDataNotANumber = "File format error: NODATA_value is not a number";

void CheckExtentWithoutCells(const TGridHeader& header)
{
    if (header.Columns == 0 && header.Rows > kMaxExtentWithoutCells)
        throw "File format error: nrows is too large for a grid without columns";
    if (header.Rows == 0 && header.Columns > kMaxExtentWithoutCells)
        throw "File format error: ncols is too large for a grid without rows";
}

// Collects the values into rows of a map as they arrive.
class TMapBuilder {
public:
    TMapBuilder(TMap* map, long columns) : MbrPtrMap(map), MbrLngColumns(columns) {}
    void BeginRow(long)
    {
        // Rows grow with the values, so a header that claims more than the file holds costs nothing.
        MbrVecRow.reserve(static_cast<size_t>(std::min(MbrLngColumns, long(1) << 16)));
    }
    void Value(long, double value) { MbrVecRow.push_back(value); }
    void EndRow(long)
    {
        MbrPtrMap->AddRow(std::move(MbrVecRow));
        MbrVecRow = std::vector<double>();
    }

private:
    TMap* MbrPtrMap;
    long MbrLngColumns;
    std::vector<double> MbrVecRow;
};

std::string Excerpt(const char* begin, const char* end)
{
    std::string text;
    for (const char* p = begin; p != end && text.size() < 24; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (end - begin > 24) text += "...";
    return text;
}

}  // namespace

TGridTextReader::TGridTextReader(TByteSource& source, const TGridReadOptions& options, size_t bufferBytes)
    : MbrRefSource(source),
      MbrBlnExact(source.StopsAfterGrid()),
      MbrBlnLenient(options.Lenient),
      MbrSizBlock(std::clamp(bufferBytes, kHeaderTokenLimit + 1, kMaxTokenBytes)),
      MbrSizCapacity(MbrSizBlock),
      MbrPtrBuffer(new char[MbrSizCapacity + 1])
{
    MbrPtrCur = MbrPtrEnd = MbrPtrBuffer.get();
    *MbrPtrEnd = ' ';
}

bool TGridTextReader::Refill(long tokensLeft, bool inToken)
{
    char* buffer = MbrPtrBuffer.get();
    const size_t kept = static_cast<size_t>(MbrPtrEnd - MbrPtrCur);
    if (kept > 0 && MbrPtrCur != buffer) std::memmove(buffer, MbrPtrCur, kept);
    MbrPtrCur = buffer;
    MbrPtrEnd = buffer + kept;
    if (kept == MbrSizCapacity) {
        // A token fills the buffer: make room for more of it, up to the longest token accepted.
        if (MbrSizCapacity == kMaxTokenBytes) return false;
        const size_t capacity = std::min(2 * MbrSizCapacity, kMaxTokenBytes);
        std::unique_ptr<char[]> grown(new char[capacity + 1]);
        std::memcpy(grown.get(), buffer, kept);
        MbrPtrBuffer = std::move(grown);
        MbrSizCapacity = capacity;
        buffer = MbrPtrBuffer.get();
        MbrPtrCur = buffer;
        MbrPtrEnd = buffer + kept;
    }
    size_t room = std::min(MbrSizCapacity - kept, MbrSizBlock);

    if (MbrBlnExact) {
        // The tokens still to come take at least one byte each and a separator between two, so
        // reading no more than that never goes past the end of the grid's last value.
        const long budget = inToken ? 2 * tokensLeft - 2 : 2 * tokensLeft - 1;
        if (budget <= 0) {
            // Inside the last token: take one byte at a time, and leave the byte that ends it.
            const int next = MbrRefSource.Peek();
            if (next < 0 || IsSpace(static_cast<char>(next))) return false;
            room = 1;
        } else {
            room = std::min(room, static_cast<size_t>(budget));
        }
    }
    const size_t got = MbrRefSource.Read(MbrPtrEnd, room);
    MbrPtrEnd += got;
    *MbrPtrEnd = ' ';
    return got > 0;
}

bool TGridTextReader::SkipSpaceRefilling(long tokensLeft)
{
    for (;;) {
        MbrPtrCur = MbrPtrEnd;  // all blanks: nothing to keep
        if (!Refill(tokensLeft, false)) return false;
        while (MbrPtrCur < MbrPtrEnd && IsSpace(*MbrPtrCur)) ++MbrPtrCur;
        if (MbrPtrCur < MbrPtrEnd) return true;
    }
}

bool TGridTextReader::ScanTokenRefilling(long tokensLeft, const char*& tokenEnd)
{
    while (tokenEnd == MbrPtrEnd) {
        const size_t scanned = static_cast<size_t>(tokenEnd - MbrPtrCur);
        if (!Refill(tokensLeft, true)) {
            tokenEnd = MbrPtrCur + scanned;
            return scanned < kMaxTokenBytes;
        }
        const char* p = MbrPtrCur + scanned;
        while (!IsSpace(*p)) ++p;
        tokenEnd = p;
    }
    return true;
}

bool TGridTextReader::ScanHeaderToken(long tokensLeft, const char*& tokenEnd, bool& overlong)
{
    if (!SkipSpace(tokensLeft)) return false;
    for (;;) {
        // The blank after the data stops the scan at MbrPtrEnd at the latest.
        const char* limit = MbrPtrCur + kHeaderTokenLimit + 1;
        const char* p = MbrPtrCur;
        while (p < limit && !IsSpace(*p)) ++p;
        overlong = p == limit;
        if (overlong || p < MbrPtrEnd) {
            tokenEnd = p;
            return true;
        }
        const size_t scanned = static_cast<size_t>(p - MbrPtrCur);
        if (!Refill(tokensLeft, true)) {
            tokenEnd = MbrPtrCur + scanned;
            return true;
        }
    }
}

bool TGridTextReader::NextHeaderToken(std::string& token, bool& overlong, long tokensLeft)
{
    const char* tokenEnd;
    if (!ScanHeaderToken(tokensLeft, tokenEnd, overlong)) return false;
    token.assign(MbrPtrCur, tokenEnd);
    MbrPtrCur = tokenEnd;
    return true;
}

void TGridTextReader::SkipHeaderStart()
{
    // Refills ask for little: ten tokens at least are still to come in any header.
    constexpr long kTokensLeft = 10;
    if (MbrBlnLenient) {
        // Notepad and other editors start a UTF-8 file with one.
        while (MbrPtrEnd - MbrPtrCur < 3 && Refill(kTokensLeft, true)) {
        }
        if (MbrPtrEnd - MbrPtrCur >= 3 && std::memcmp(MbrPtrCur, "\xEF\xBB\xBF", 3) == 0) MbrPtrCur += 3;
    }
    size_t skipped = 0;
    for (;;) {
        const char* start = MbrPtrCur;
        while (MbrPtrCur < MbrPtrEnd && IsSpace(*MbrPtrCur)) ++MbrPtrCur;
        skipped += static_cast<size_t>(MbrPtrCur - start);
        if (skipped > kMaxLeadingSpace) throw kNoNcolsTag;
        if (MbrPtrCur < MbrPtrEnd || !Refill(kTokensLeft, false)) return;
    }
}

TGridHeader TGridTextReader::ReadHeader()
{
    SkipHeaderStart();
    return MbrBlnLenient ? ReadLenientHeader() : ReadStrictHeader();
}

TGridHeader TGridTextReader::ReadStrictHeader()
{
    struct TEntry {
        const char* Tag;
        const char* Message;
    };
    static const TEntry kEntries[] = {
        {TGridFormat::kNcols, kNoNcolsTag},
        {TGridFormat::kNrows, kNoNrowsTag},
        {TGridFormat::kXllCorner, "File format error: expected to find xllcorner tag"},
        {TGridFormat::kYllCorner, "File format error: expected to find yllcorner tag"},
        {TGridFormat::kCellSize, "File format error: expected to find cellsize tag"},
    };

    TGridHeader header;
    long tokensLeft = kHeaderTokens;
    // Once a value fails to parse, no further token is delivered and the tag last read stays:
    // the next tag comparison then fails, which names the entry after the unparsable value.
    bool failed = false;
    std::string tag;
    std::string text;
    bool overlong = false;
    auto readToken = [&](std::string& into) {
        if (failed) return false;
        std::string token;
        if (!NextHeaderToken(token, overlong, tokensLeft)) {
            failed = true;
            return false;
        }
        --tokensLeft;
        into = std::move(token);
        // The rest of an over-long token is never read: no later token is delivered, which
        // judges the header exactly as if the whole token had been consumed.
        if (overlong) failed = true;
        return true;
    };

    for (int entry = 0; entry < 5; ++entry) {
        readToken(tag);
        const bool haveValue = readToken(text) && !overlong;
        const char* b = text.data();
        const char* e = b + text.size();
        if (entry < 2) {
            long& dimension = entry == 0 ? header.Columns : header.Rows;
            if (!haveValue || TNumberParser::ParseLong(b, e, dimension) != TNumberParser::TParse::Ok) failed = true;
        } else {
            double& value = entry == 2 ? header.XllCorner : entry == 3 ? header.YllCorner : header.CellSize;
            if (!haveValue || TNumberParser::ParseDouble(b, e, value) != TNumberParser::TParse::Ok) failed = true;
        }
        if (tag != kEntries[entry].Tag) throw kEntries[entry].Message;
        if (entry < 2 && !failed && (entry == 0 ? header.Columns : header.Rows) < 0)
            throw entry == 0 ? kNegativeNcols : kNegativeNrows;
    }

    readToken(tag);
    if (tag != TGridFormat::kNoData && tag != TGridFormat::kNoDataLower) throw "File format error: expected to find NODATA_value tag";
    if (!readToken(text)) throw kUnexpectedEndOfFile;
    if (overlong || TNumberParser::ParseDouble(text.data(), text.data() + text.size(), header.NoData) !=
                        TNumberParser::TParse::Ok)
        throw kNoDataNotANumber;
    CheckExtentWithoutCells(header);
    return header;
}

TGridHeader TGridTextReader::ReadLenientHeader()
{
    enum TKey { kNcols, kNrows, kXllCorner, kXllCenter, kYllCorner, kYllCenter, kCellSize, kDx, kDy, kNoData, kKeys };
    // As messages name them; matched in any case.
    static const char* const kNames[kKeys] = {
        TGridFormat::kNcols,     TGridFormat::kNrows,    TGridFormat::kXllCorner, "xllcenter", TGridFormat::kYllCorner,
        "yllcenter",             TGridFormat::kCellSize, "dx",                    "dy",        TGridFormat::kNoData};
    bool seen[kKeys] = {};
    double values[kKeys] = {};
    TGridHeader header;

    // ASCII case folding: the keywords are ASCII, and a locale's folding is not.
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    auto keyOf = [&fold](const char* begin, const char* end) {
        for (int key = 0; key < kKeys; ++key) {
            const char* name = kNames[key];
            const char* p = begin;
            while (p != end && *name && fold(*p) == fold(*name)) {
                ++p;
                ++name;
            }
            if (p == end && !*name) return static_cast<TKey>(key);
        }
        return kKeys;
    };
    auto haveSize = [&] { return seen[kCellSize] || (seen[kDx] && seen[kDy]); };
    auto complete = [&] {
        return seen[kNcols] && seen[kNrows] && (seen[kXllCorner] || seen[kXllCenter]) &&
            (seen[kYllCorner] || seen[kYllCenter]) && haveSize() && seen[kNoData];
    };
    // A lower bound on the tokens still to come in a well-formed grid, from the next one on:
    // two for each required entry not yet seen, and the cells once both dimensions are known.
    auto tokensLeft = [&]() -> long {
        long count = 0;
        if (!seen[kNcols]) count += 2;
        if (!seen[kNrows]) count += 2;
        if (!seen[kXllCorner] && !seen[kXllCenter]) count += 2;
        if (!seen[kYllCorner] && !seen[kYllCenter]) count += 2;
        if (!haveSize()) count += 2;
        const long cap = long(1) << 30;
        if (seen[kNcols] && seen[kNrows] && header.Columns > 0 && header.Rows > 0)
            count += header.Columns > cap / header.Rows ? cap : header.Columns * header.Rows;
        return std::min(std::max(count, long(1)), cap);
    };

    while (!complete()) {
        const char* tokenEnd;
        bool overlong;
        if (!ScanHeaderToken(tokensLeft(), tokenEnd, overlong)) break;
        const TKey key = overlong ? kKeys : keyOf(MbrPtrCur, tokenEnd);
        if (key == kKeys) break;  // the first value, left for the cells
        MbrPtrCur = tokenEnd;
        if (seen[key]) throw std::string("File format error: more than one ") + kNames[key] + " entry";
        if ((key == kXllCorner && seen[kXllCenter]) || (key == kXllCenter && seen[kXllCorner]))
            throw "File format error: both xllcorner and xllcenter given";
        if ((key == kYllCorner && seen[kYllCenter]) || (key == kYllCenter && seen[kYllCorner]))
            throw "File format error: both yllcorner and yllcenter given";
        if ((key == kCellSize && (seen[kDx] || seen[kDy])) || ((key == kDx || key == kDy) && seen[kCellSize]))
            throw "File format error: both cellsize and dx/dy given";
        seen[key] = true;

        if (!ScanHeaderToken(tokensLeft() + 1, tokenEnd, overlong)) throw kUnexpectedEndOfFile;
        if (key == kNcols || key == kNrows) {
            long& dimension = key == kNcols ? header.Columns : header.Rows;
            if (overlong || TNumberParser::ParseLong(MbrPtrCur, tokenEnd, dimension) != TNumberParser::TParse::Ok)
                throw std::string("File format error: ") + kNames[key] + " is not a whole number";
            if (dimension < 0) throw key == kNcols ? kNegativeNcols : kNegativeNrows;
        } else {
            double& value = values[key];
            // NaN marks missing data; as a position or a size it would mean nothing.
            if (overlong || TNumberParser::ParseDoubleLenient(MbrPtrCur, tokenEnd, value) != TNumberParser::TParse::Ok ||
                (key != kNoData && value != value))
                throw key == kNoData ? std::string(kNoDataNotANumber)
                                     : std::string("File format error: ") + kNames[key] + " is not a number";
        }
        MbrPtrCur = tokenEnd;
    }

    if (!seen[kNcols]) throw kNoNcolsTag;
    if (!seen[kNrows]) throw kNoNrowsTag;
    if (!seen[kXllCorner] && !seen[kXllCenter]) throw "File format error: expected to find xllcorner or xllcenter tag";
    if (!seen[kYllCorner] && !seen[kYllCenter]) throw "File format error: expected to find yllcorner or yllcenter tag";
    if (seen[kDx] && !seen[kDy]) throw "File format error: expected to find dy tag";
    if (seen[kDy] && !seen[kDx]) throw "File format error: expected to find dx tag";
    if (!haveSize()) throw "File format error: expected to find cellsize tag";
    if (seen[kDx] && values[kDx] != values[kDy]) throw "File format error: dx and dy differ; cells must be square";

    header.CellSize = seen[kCellSize] ? values[kCellSize] : values[kDx];
    // A centre lies half a cell inside the corner.
    header.XllCorner = seen[kXllCorner] ? values[kXllCorner] : values[kXllCenter] - header.CellSize / 2;
    header.YllCorner = seen[kYllCorner] ? values[kYllCorner] : values[kYllCenter] - header.CellSize / 2;
    if (seen[kNoData]) header.NoData = values[kNoData];
    CheckExtentWithoutCells(header);
    return header;
}

TMap* TGridTextReader::ReadMap()
{
    const TGridHeader header = ReadHeader();
    auto map = std::make_unique<TMap>(header.CellSize, header.Columns, 0);
    map->SetNoDataValue(header.NoData);
    TMapBuilder builder(map.get(), header.Columns);
    ReadCells(header, builder);
    SetEdges(map.get(), header);
    return map.release();
}

void TGridTextReader::SetEdges(TMap* map, const TGridHeader& header)
{
    // The Y edges run from the southern edge northwards, the X edges from the western edge
    // eastwards at the northern edge's y, each by repeated addition of the cell size.
    const double size = header.CellSize;
    TAxis yEdges(size, header.Rows + 1);
    double y = header.YllCorner;
    yEdges.SetPoint(header.Rows, new TPoint(header.XllCorner, y));
    for (long i = header.Rows - 1; i >= 0; --i) {
        y += size;
        yEdges.SetPoint(i, new TPoint(header.XllCorner, y));
    }
    TAxis xEdges(size, header.Columns + 1);
    double x = header.XllCorner;
    for (long i = 0; i <= header.Columns; ++i) {
        xEdges.SetPoint(i, new TPoint(x, y));
        x += size;
    }
    map->SetXAxisInterval(&xEdges);
    map->SetYAxisInterval(&yEdges);
}

void TGridTextReader::ReadRun(const TGridHeader& header, TCellCursor& cursor, double* values, size_t count)
{
    while (count > 0) {
        const long inRow = std::min(static_cast<long>(std::min(count, size_t(1) << 40)), header.Columns - cursor.Column);
        ReadValues(header, cursor.Row, cursor.Column, inRow, [&values](long, double value) { *values++ = value; });
        count -= static_cast<size_t>(inRow);
        cursor.Column += inRow;
        if (cursor.Column == header.Columns) {
            cursor.Column = 0;
            ++cursor.Row;
        }
    }
}

long TGridTextReader::CellTokensLeft(const TGridHeader& header, long row, long column) const
{
    // A lower bound is enough; kept small so that doubling it cannot overflow.
    const long inRow = header.Columns - column;
    const long more = row + 1 < header.Rows ? header.Columns : 0;
    return std::min(inRow + std::min(more, long(1) << 30), long(1) << 30);
}

double TGridTextReader::ReadOtherValue(long tokensLeft, long row, long column)
{
    const char* tokenEnd;
    if (!ScanToken(tokensLeft, tokenEnd)) BadCell(MbrPtrCur, tokenEnd, row, column, TNumberParser::TParse::Invalid);
    double value;
    const TNumberParser::TParse result = MbrBlnLenient ? TNumberParser::ParseDoubleLenient(MbrPtrCur, tokenEnd, value)
                                                     : TNumberParser::ParseDouble(MbrPtrCur, tokenEnd, value);
    if (result != TNumberParser::TParse::Ok) BadCell(MbrPtrCur, tokenEnd, row, column, result);
    MbrPtrCur = tokenEnd;
    if (MbrSizCapacity != MbrSizBlock) ShrinkBuffer();
    return value;
}

void TGridTextReader::ShrinkBuffer()
{
    // The refill that found the token's end added at most a block, so what follows it fits in one.
    const size_t kept = static_cast<size_t>(MbrPtrEnd - MbrPtrCur);
    if (kept > MbrSizBlock) return;
    std::unique_ptr<char[]> block(new char[MbrSizBlock + 1]);
    std::memcpy(block.get(), MbrPtrCur, kept);
    MbrPtrBuffer = std::move(block);
    MbrSizCapacity = MbrSizBlock;
    MbrPtrCur = MbrPtrEnd = MbrPtrBuffer.get();
    MbrPtrEnd += kept;
    *MbrPtrEnd = ' ';
}

void TGridTextReader::BadCell(const char* begin, const char* end, long row, long column,
                              TNumberParser::TParse result) const
{
    const char* what = result == TNumberParser::TParse::TooLarge ? " is too large for a number" : " is not a number";
    throw std::string("File format error: value \"") + Excerpt(begin, end) + "\" at row " + std::to_string(row + 1) +
        ", column " + std::to_string(column + 1) + what;
}
