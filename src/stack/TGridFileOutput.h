#pragma once

#include "files/TGridHeader.h"
#include "files/TGridWriter.h"
#include "stack/TStackOutput.h"

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
class TGridFileOutput : public TStackOutput {
public:
    // Throws what opening the file throws (TGridWriter).
    TGridFileOutput(size_t statistic, const std::string& name, const TGridHeader& first, double noData, int digits,
                    const TStackGeometry& geometry);
    TGridFileOutput(size_t statistic, std::ostream& stream, const TGridHeader& first, double noData, int digits,
                    const TStackGeometry& geometry);

    ~TGridFileOutput() override;

    void BeginBand(uint64_t start, size_t cells, size_t pieces) override;
    void TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results) override;
    void EndBand() override;
    bool BeginWrite() override;
    void Write() override;
    void EndWrite() override;
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

    // The text of one band, in pieces formatted side by side.
    struct TBandText {
        std::vector<std::vector<char>> Pieces;
        std::vector<size_t> Sizes;
    };
    static TGridNumbers Numbers(int digits);

    std::unique_ptr<TGridWriter> MbrPtrWriter;
    std::string MbrStgName;  // the named file's, empty for a stream
    std::unique_ptr<TFileSink> MbrPtrProjection;
    std::string MbrStgProjection;
    TGridHeader MbrHeader;  // the result's, its corner and cell size known once the geometry is
    const TStackGeometry& MbrRefGeometry;
    bool MbrBlnHeaderWritten = false;
    uint64_t MbrLngBandStart = 0;
    std::unique_ptr<TBandText> MbrPtrFormatting;
    std::vector<std::unique_ptr<TBandText>> MbrVecPending;  // formatted, not yet written
    std::vector<std::unique_ptr<TBandText>> MbrVecWriting;
    std::vector<std::unique_ptr<TBandText>> MbrVecSpare;
};
