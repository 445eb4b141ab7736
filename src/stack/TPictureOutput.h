#pragma once

#include "files/TGridHeader.h"
#include "picture/TQuickLook.h"
#include "stack/TQueuedOutput.h"

#include <memory>
#include <string>
#include <vector>

class TFileSink;
class TStackGeometry;

// A statistic's quick-look PNG picture (TQuickLook), drawn as the result's bands come: each band's
// results are copied as the pieces give them and added to the picture in order by the write task,
// beside the next band's work. The file is written as safely as a grid (a temporary file renamed
// over the target), once the grid's geometry is known, for its text chunks.
// One band's results, as a picture takes them.
struct TPictureBand {
    std::vector<double> Values;
    std::vector<unsigned char> Missing;
};

class TPictureOutput : public TQueuedOutput<TPictureBand> {
public:
    // Throws "Unable to open file NAME", TQuickLook's messages and std::bad_alloc.
    TPictureOutput(size_t statistic, const std::string& name, const TGridHeader& first,
                   const TQuickLookOptions& options, double noData, const TStackGeometry& geometry);
    ~TPictureOutput() override;

    void TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results) override;
    void Write() override;
    void Finish() override;
    void Publish(std::vector<std::string>& replaced) override;
    void Discard() override;

private:
    void PrepareBand(TPictureBand& band, uint64_t start, size_t cells, size_t pieces) override;

    std::string MbrStgName;
    std::unique_ptr<TFileSink> MbrPtrFile;
    TQuickLook MbrPicture;
    double MbrDblNoData;
    const TStackGeometry& MbrRefGeometry;
};
