#include "stack/TPictureOutput.h"

#include "files/TFileSink.h"
#include "files/TGridHeaderText.h"
#include "stack/TStackGeometry.h"

#include <algorithm>

TPictureOutput::TPictureOutput(size_t statistic, const std::string& name, const TGridHeader& first,
                               const TQuickLookOptions& options, double noData, const TStackGeometry& geometry)
    : TQueuedOutput(statistic),
      MbrStgName(name),
      MbrPtrFile(std::make_unique<TFileSink>(name)),
      MbrPicture(first.Columns, first.Rows, options),
      MbrDblNoData(noData),
      MbrRefGeometry(geometry)
{
}

TPictureOutput::~TPictureOutput() = default;

void TPictureOutput::PrepareBand(TPictureBand& band, uint64_t, size_t cells, size_t)
{
    band.Values.resize(cells);
    band.Missing.resize(cells);
}

void TPictureOutput::TakePiece(size_t, size_t offset, size_t count, const TPieceResults& results)
{
    TPictureBand& band = Filling();
    std::copy(results.Values, results.Values + count, band.Values.begin() + static_cast<long>(offset));
    std::copy(results.Missing, results.Missing + count, band.Missing.begin() + static_cast<long>(offset));
}

void TPictureOutput::Write()
{
    for (const auto& band : Writing()) MbrPicture.Add(band->Values.data(), band->Missing.data(), band->Values.size());
}

void TPictureOutput::Finish()
{
    DropBands();
    MbrPicture.SetGeoreference(TGridHeaderText::GeoNumber(MbrRefGeometry.XllCorner()),
                               TGridHeaderText::GeoNumber(MbrRefGeometry.YllCorner()),
                               TGridHeaderText::GeoNumber(MbrRefGeometry.CellSize()),
                               TGridHeaderText::ExactNumber(MbrDblNoData));
    MbrPicture.Write(*MbrPtrFile);
    MbrPtrFile->Prepare();
}

void TPictureOutput::Publish(std::vector<std::string>& replaced)
{
    MbrPtrFile->Publish();
    if (!MbrPtrFile->InPlace()) replaced.push_back(MbrStgName);
}

void TPictureOutput::Discard()
{
    MbrPtrFile.reset();
    DropBands();
}
