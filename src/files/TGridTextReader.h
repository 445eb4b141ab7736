#pragma once

#include "files/TByteSource.h"
#include "files/TGridHeader.h"
#include "files/TGridReadOptions.h"
#include "text/TNumberParser.h"

#include <memory>
#include <string>

class TMap;

// Blank, tab, line feed, vertical tab, form feed and carriage return, as the "C" locale has it.
struct TGridSpaceTable {
    bool Values[256] = {};
    constexpr TGridSpaceTable()
    {
        Values[static_cast<unsigned char>(' ')] = Values[static_cast<unsigned char>('\t')] = true;
        Values[static_cast<unsigned char>('\n')] = Values[static_cast<unsigned char>('\v')] = true;
        Values[static_cast<unsigned char>('\f')] = Values[static_cast<unsigned char>('\r')] = true;
    }
};
inline constexpr TGridSpaceTable kGridSpace{};

// The position of the next cell value in a grid's value stream: row and column, from 0.
struct TCellCursor {
    long Row = 0;
    long Column = 0;
};

// Parses ESRI ASCII grid text from a byte source in large blocks: the header, then the values,
// which are handed to a sink as they arrive, so that memory follows the data actually present
// rather than the dimensions the header claims.
//
// Strict reading (the default) takes the six header entries in their fixed order with tags spelled
// exactly. Lenient reading (TGridReadOptions::Lenient) takes the header as a set of keyword and
// value pairs, keywords in any case and in any order, each at most once: ncols, nrows, xllcorner or
// xllcenter, yllcorner or yllcenter, cellsize or both dx and dy, and optionally NODATA_value. The
// header ends once all six entries were read, or at the first token that is not one of these
// keywords, which is then the first cell value. A lenient number may be nan (any case, optional
// sign; for the no-data value and the cells only) or carry a decimal comma in place of the point.
// A NaN cell is delivered as NaN, whatever the no-data value: to every caller it is missing data,
// since NaN equals nothing.
class TGridTextReader {
public:
    // The longest token the reader accepts, and the largest its buffer grows to.
    static constexpr size_t kMaxTokenBytes = size_t(1) << 20;
    // `bufferBytes` is the size of the blocks read from the source (at most kMaxTokenBytes); the
    // buffer grows beyond it only to hold a longer token.
    explicit TGridTextReader(TByteSource& source, const TGridReadOptions& options = TGridReadOptions(),
                             size_t bufferBytes = kMaxTokenBytes);
    TGridTextReader(const TGridTextReader&) = delete;
    TGridTextReader& operator=(const TGridTextReader&) = delete;

    // The longest run of whitespace before the first header token: an input of blanks alone
    // (a compressed file of nothing else, an endless pipe) fails once it has run past it.
    static constexpr size_t kMaxLeadingSpace = size_t(1) << 20;
    // Reads and checks the header entries; throws the reader's header messages. A header token
    // longer than 256 bytes ends the header at once (so an endless one is never read whole), and
    // more than kMaxLeadingSpace bytes of whitespace before the first one fail as an unreadable
    // first token does ("File format error: expected to find ncols tag"). Lenient reading skips
    // a UTF-8 byte-order mark (EF BB BF) at the very start; strict reading refuses it as that token.
    // Lenient reading throws, besides the strict messages for a missing ncols or nrows entry
    // and for negative or oversized dimensions:
    //   "File format error: expected to find xllcorner or xllcenter tag" (or the y form),
    //   "File format error: expected to find cellsize tag" (neither cellsize nor dx and dy),
    //   "File format error: expected to find dy tag" (dx without dy; or the reverse),
    //   "File format error: more than one KEY entry" (KEY as the keyword is written in lower
    //   case, e.g. "ncols"; or NODATA_value),
    //   "File format error: both xllcorner and xllcenter given" (or the y form),
    //   "File format error: both cellsize and dx/dy given",
    //   "File format error: dx and dy differ; cells must be square",
    //   "File format error: KEY is not a whole number" (ncols, nrows) or "... is not a number",
    //   and "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile" for a keyword
    //   without a value. A lenient header of a grid without cells and without NODATA_value
    //   takes one token after it from a caller's stream, to see that the header has ended.
    TGridHeader ReadHeader();

    // Reads a whole grid into a new map (caller owns) with the edge axes of its header.
    TMap* ReadMap();
    // Gives the map the interval axes the header describes.
    static void SetEdges(TMap* map, const TGridHeader& header);
    // The bytes the buffer holds: the block size, more only while a token longer than a block is
    // read.
    size_t BufferCapacity() const { return MbrSizCapacity; }

    // Reads header.Rows x header.Columns values, row by row from the north, and hands each to
    // the sink: sink.BeginRow(row), sink.Value(column, value) per value, sink.EndRow(row).
    // Throws "Unexpected end of file found in TARCGISFileTools::LoadARCGISFile" when the values
    // run out, and a "File format error: " message naming the cell for a token that is not a
    // finite decimal number (leniently read: nor nan, nor a number with a decimal comma).
    template <class TSink>
    void ReadCells(const TGridHeader& header, TSink& sink);
    // Reads the next `count` values from the cursor on (west to east, then the next row) into
    // `values` and advances the cursor; `count` must not exceed the cells left. Throws as ReadCells.
    void ReadRun(const TGridHeader& header, TCellCursor& cursor, double* values, size_t count);

private:
    // Reads `count` values of one row from `column` on and hands each to emit(column, value).
    template <class TEmit>
    void ReadValues(const TGridHeader& header, long row, long column, long count, TEmit emit);

    static bool IsSpace(char c) { return kGridSpace.Values[static_cast<unsigned char>(c)]; }

    // Moves the unread bytes [MbrPtrCur, MbrPtrEnd) to the front of the buffer and reads more,
    // growing the buffer (up to kMaxTokenBytes) when the unread bytes fill it.
    // `tokensLeft` is a lower bound on the tokens still to come, which keeps a stream source
    // from being read past the grid; `inToken` says that MbrPtrCur starts a token not yet ended.
    // Returns false when no byte was added: the input ended, or the token ends here.
    bool Refill(long tokensLeft, bool inToken);
    // Skips whitespace; false at the end of the input.
    bool SkipSpace(long tokensLeft)
    {
        while (MbrPtrCur < MbrPtrEnd && IsSpace(*MbrPtrCur)) ++MbrPtrCur;
        return MbrPtrCur < MbrPtrEnd || SkipSpaceRefilling(tokensLeft);
    }
    bool SkipSpaceRefilling(long tokensLeft);
    // Finds the end of the token at MbrPtrCur, reading more as needed; false when the token is
    // longer than kMaxTokenBytes. The byte after the data is always a blank, which ends the scan.
    bool ScanToken(long tokensLeft, const char*& tokenEnd)
    {
        const char* p = MbrPtrCur;
        while (!IsSpace(*p)) ++p;
        tokenEnd = p;
        return p < MbrPtrEnd || ScanTokenRefilling(tokensLeft, tokenEnd);
    }
    bool ScanTokenRefilling(long tokensLeft, const char*& tokenEnd);
    // Once a token longer than a block is consumed: the buffer goes back to the block size.
    void ShrinkBuffer();
    // Before the header: skips a byte-order mark (lenient reading only) and the whitespace before
    // the first token, refusing more than kMaxLeadingSpace bytes of it.
    void SkipHeaderStart();
    // The next whitespace-separated token of the header; false at the end of the input.
    // A token longer than the header token limit is marked `overlong` and is not read further.
    bool NextHeaderToken(std::string& token, bool& overlong, long tokensLeft);
    // Finds the token at the next non-blank byte without consuming it: MbrPtrCur is left at its
    // start and `tokenEnd` after it; false at the end of the input. An over-long token ends at
    // the limit and is marked `overlong`.
    bool ScanHeaderToken(long tokensLeft, const char*& tokenEnd, bool& overlong);
    TGridHeader ReadStrictHeader();
    TGridHeader ReadLenientHeader();
    // The value at MbrPtrCur in any form, or the format error that names the cell.
    double ReadOtherValue(long tokensLeft, long row, long column);
    [[noreturn]] void BadCell(const char* begin, const char* end, long row, long column,
                              TNumberParser::TParse result) const;
    long CellTokensLeft(const TGridHeader& header, long row, long column) const;

    TByteSource& MbrRefSource;
    const bool MbrBlnExact;
    const bool MbrBlnLenient;
    size_t MbrSizBlock;     // bytes asked of the source at a time
    size_t MbrSizCapacity;  // bytes the buffer holds, not counting the blank after the data
    std::unique_ptr<char[]> MbrPtrBuffer;
    const char* MbrPtrCur;
    char* MbrPtrEnd;
};

extern const char* const kUnexpectedEndOfFile;

template <class TEmit>
void TGridTextReader::ReadValues(const TGridHeader& header, long row, long column, long count, TEmit emit)
{
    for (const long last = column + count; column < last; ++column) {
        const long tokensLeft = MbrBlnExact ? CellTokensLeft(header, row, column) : 1;
        if (!SkipSpace(tokensLeft)) throw kUnexpectedEndOfFile;
        // Most values are decimals without an exponent (short ones, or a float's 20 digits) that
        // end before the buffered data does; anything else, or a value that may continue past the
        // buffer, takes the general road.
        double value;
        const char* end = TNumberParser::ParseShortDecimal(MbrPtrCur, value);
        if (!end) end = TNumberParser::ParseDecimal(MbrPtrCur, MbrPtrEnd, value);
        if (end && end < MbrPtrEnd && IsSpace(*end))
            MbrPtrCur = end;
        else
            value = ReadOtherValue(tokensLeft, row, column);
        emit(column, value);
    }
}

template <class TSink>
void TGridTextReader::ReadCells(const TGridHeader& header, TSink& sink)
{
    for (long row = 0; row < header.Rows; ++row) {
        sink.BeginRow(row);
        ReadValues(header, row, 0, header.Columns, [&sink](long column, double value) { sink.Value(column, value); });
        sink.EndRow(row);
    }
}
