#pragma once

#include "files/TGridHeader.h"
#include "files/TGridWriter.h"
#include "stack/TQueuedOutput.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class TFileSink;
class TStackGeometry;

// A statistic's result written as a grid, to a named file (replaced only when whole) or a
// caller's stream, through the one grid writer: the cells of each band are formatted in pieces
// side by side, and written in order once the geometry of the result, which the header needs, is
// known. Cells are written with `digits` significant digits, the no-data value (`noData`) so that
// it reads back exactly. A named file replaced by a rename may get a projection file beside it
// (TProjectionFiles::SidecarName), written to its own temporary file as the grid is finished and
// renamed right after the grid.
// The text of one band of a grid, in pieces formatted side by side.
struct TGridBandText {
    uint64_t Start = 0;
    std::vector<std::vector<char>> Pieces;
    std::vector<size_t> Sizes;
};

class TGridFileOutput : public TQueuedOutput<TGridBandText> {
public:
    // Throws what opening the file throws (TGridWriter).
    TGridFileOutput(size_t statistic, const std::string& name, const TGridHeader& first, double noData, int digits,
                    const TStackGeometry& geometry);
    TGridFileOutput(size_t statistic, std::ostream& stream, const TGridHeader& first, double noData, int digits,
                    const TStackGeometry& geometry);

    ~TGridFileOutput() override;

    void TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results) override;
    void Write() override;
    void Finish() override;
    void Publish(std::vector<std::string>& replaced) override;
    void Discard() override;

    // Gives the named grid the projection text beside it; nothing for a grid written in place.
    // Throws "Unable to open file NAME" for a projection file's name that is no file to replace
    // (a directory, a FIFO, a device) or that cannot be created.
    void SetProjection(const std::string& StgText);

private:
    TGridFileOutput(size_t statistic, std::unique_ptr<TGridWriter> writer, const TGridHeader& first, double noData,
                    const TStackGeometry& geometry);

    void PrepareBand(TGridBandText& band, uint64_t start, size_t cells, size_t pieces) override;
    // The header, which needs the geometry, is written once it is known, bands or not.
    bool MayWrite() const override;
    bool MustWrite() const override { return !MbrBlnHeaderWritten; }
    static TGridNumbers Numbers(int digits);

    std::unique_ptr<TGridWriter> MbrPtrWriter;
    std::string MbrStgName;  // the named file's, empty for a stream
    std::unique_ptr<TFileSink> MbrPtrProjection;
    std::string MbrStgProjection;
    TGridHeader MbrHeader;  // the result's, its corner and cell size known once the geometry is
    const TStackGeometry& MbrRefGeometry;
    bool MbrBlnHeaderWritten = false;
};
