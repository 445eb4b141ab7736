#include "stack/TPictureOutput.h"

#include "files/TFileSink.h"
#include "files/TGridHeaderText.h"
#include "stack/TStackGeometry.h"

#include <algorithm>

TPictureOutput::TPictureOutput(size_t statistic, const std::string& name, const TGridHeader& first,
                               const TQuickLookOptions& options, double noData, const TStackGeometry& geometry)
    : TStackOutput(statistic),
      MbrStgName(name),
      MbrPtrFile(std::make_unique<TFileSink>(name)),
      MbrPicture(first.Columns, first.Rows, options),
      MbrDblNoData(noData),
      MbrRefGeometry(geometry)
{
}

TPictureOutput::~TPictureOutput() = default;

void TPictureOutput::BeginBand(uint64_t, size_t cells, size_t)
{
    if (!MbrVecSpare.empty()) {
        MbrPtrFilling = std::move(MbrVecSpare.back());
        MbrVecSpare.pop_back();
    } else {
        MbrPtrFilling = std::make_unique<TBand>();
    }
    MbrPtrFilling->Values.resize(cells);
    MbrPtrFilling->Missing.resize(cells);
}

void TPictureOutput::TakePiece(size_t, size_t offset, size_t count, const TPieceResults& results)
{
    std::copy(results.Values, results.Values + count, MbrPtrFilling->Values.begin() + static_cast<long>(offset));
    std::copy(results.Missing, results.Missing + count, MbrPtrFilling->Missing.begin() + static_cast<long>(offset));
}

void TPictureOutput::EndBand() { MbrVecPending.push_back(std::move(MbrPtrFilling)); }

bool TPictureOutput::BeginWrite()
{
    if (MbrVecPending.empty()) return false;
    MbrVecDrawing = std::move(MbrVecPending);
    MbrVecPending.clear();
    return true;
}

void TPictureOutput::Write()
{
    for (const auto& band : MbrVecDrawing) MbrPicture.Add(band->Values.data(), band->Missing.data(), band->Values.size());
}

void TPictureOutput::EndWrite()
{
    for (auto& band : MbrVecDrawing) MbrVecSpare.push_back(std::move(band));
    MbrVecDrawing.clear();
}

void TPictureOutput::Finish()
{
    MbrVecSpare.clear();
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

void TPictureOutput::Discard() { MbrPtrFile.reset(); }
