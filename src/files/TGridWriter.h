#pragma once

#include "files/TGridHeader.h"
#include "text/TNumberFormatter.h"
#include "text/TTextWriter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

class TFileSink;
class TGzipSink;

// How a grid file's numbers are written.
struct TGridNumbers {
    // Significant digits of the cells in general notation (%g; 6 is what a default output stream
    // writes), 1 to 17; 0 to follow the formatting of a caller's stream (its precision and
    // notation) instead.
    int Digits = 6;
    // The no-data value, in the header and in missing cells, with six digits or as many more as it
    // needs to read back exactly; otherwise it is written as the cells are.
    bool ExactNoData = false;
};

// The one writer of the ESRI ASCII grid format, for the map writers and the stack engine: the six
// header lines (the tags, each followed by one blank; the corners right-aligned in 8 characters
// and the georeferencing with 15 significant digits), then one line per row, each cell followed
// by one blank. A named file is replaced only by Commit; a name that ends in ".gz" is written
// gzip-compressed (Compresses).
class TGridWriter {
public:
    // A named file. Throws "Unable to open file NAME" (or std::bad_alloc from the compressor).
    TGridWriter(const std::string& StgName, const TGridNumbers& numbers);
    // A caller's stream, which reports its own failures through its state.
    TGridWriter(std::ostream& StmOutput, const TGridNumbers& numbers);
    // Without Commit, writes nothing more (a named file stays as it was).
    ~TGridWriter();
    TGridWriter(const TGridWriter&) = delete;
    TGridWriter& operator=(const TGridWriter&) = delete;

    // Whether a file of this name is written gzip-compressed: every name that ends in ".gz".
    static bool Compresses(const std::string& StgName);

    // The header: dimensions, corner, cell size and no-data value (which becomes the one of
    // FormatCells).
    void WriteHeader(const TGridHeader& header);
    // The no-data value of missing cells in FormatCells, for cells formatted before the header.
    void SetNoData(double noData);
    // One row of cells, with its line break.
    void WriteRow(const double* values, size_t count);

    // For cells formatted apart (on other threads, Digits of at least 1): the text of `count`
    // cells, a missing one (missing[c] != 0) or one that is not finite as the no-data value, each followed by a blank and,
    // where its column is the last of `columns`, by a line break; `column` is the first cell's
    // column and is advanced. Needs count * CellRoom() + kFormatScratch bytes at `out`; returns
    // the end of the text. Safe to call from several threads at once.
    char* FormatCells(char* out, const double* values, const unsigned char* missing, size_t count, uint64_t& column,
                      uint64_t columns) const;
    size_t CellRoom() const;
    static constexpr size_t kFormatScratch = TNumberFormatter::kMaxDoubleText;
    // Text that FormatCells made, in the order of the grid.
    void WriteText(const char* data, size_t size);

    // Hands everything to the destination: a named file is put in place (throws "Unable to write
    // file NAME", the old file untouched), a stream is flushed. Commit is Prepare and then
    // Publish: a named file is made whole and forced to disk, then renamed over its target.
    void Commit();
    void Prepare();
    void Publish();
    // Whether the destination is written in place rather than replaced by a rename (a stream, a
    // device, a FIFO, one of the process's own descriptors).
    bool InPlace() const;

private:
    void Start();

    TGridNumbers MbrNumbers;
    std::unique_ptr<TFileSink> MbrPtrFile;
    std::unique_ptr<TGzipSink> MbrPtrGzip;
    std::unique_ptr<TTextWriter> MbrPtrText;
    std::string MbrStgNoData;  // the no-data value's text, for cells formatted apart
    bool MbrBlnCommitted = false;
};
