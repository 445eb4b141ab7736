#include "stack/TGridFileOutput.h"

#include "files/TFileSink.h"
#include "files/TProjectionFiles.h"
#include "stack/TStackGeometry.h"

TGridNumbers TGridFileOutput::Numbers(int digits)
{
    TGridNumbers numbers;
    numbers.Digits = digits;
    numbers.ExactNoData = true;
    return numbers;
}

TGridFileOutput::TGridFileOutput(size_t statistic, const std::string& name, const TGridHeader& first, double noData,
                                 int digits, const TStackGeometry& geometry)
    : TGridFileOutput(statistic, std::make_unique<TGridWriter>(name, Numbers(digits)), first, noData, geometry)
{
    MbrStgName = name;
}

TGridFileOutput::TGridFileOutput(size_t statistic, std::ostream& stream, const TGridHeader& first, double noData,
                                 int digits, const TStackGeometry& geometry)
    : TGridFileOutput(statistic, std::make_unique<TGridWriter>(stream, Numbers(digits)), first, noData, geometry)
{
}

TGridFileOutput::TGridFileOutput(size_t statistic, std::unique_ptr<TGridWriter> writer, const TGridHeader& first,
                                 double noData, const TStackGeometry& geometry)
    : TQueuedOutput(statistic), MbrPtrWriter(std::move(writer)), MbrHeader(first), MbrRefGeometry(geometry)
{
    MbrHeader.NoData = noData;
    MbrPtrWriter->SetNoData(noData);
}

void TGridFileOutput::PrepareBand(TGridBandText& band, uint64_t start, size_t, size_t pieces)
{
    band.Start = start;
    band.Pieces.resize(pieces);
    band.Sizes.resize(pieces);
}

void TGridFileOutput::TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results)
{
    TGridBandText& band = Filling();
    std::vector<char>& text = band.Pieces[piece];
    const size_t room = count * MbrPtrWriter->CellRoom() + TGridWriter::kFormatScratch;
    if (text.size() < room) text.resize(room);
    const uint64_t columns = static_cast<uint64_t>(MbrHeader.Columns);
    uint64_t column = (band.Start + offset) % columns;
    const char* end = MbrPtrWriter->FormatCells(text.data(), results.Values, results.Missing, count, column, columns);
    band.Sizes[piece] = static_cast<size_t>(end - text.data());
}

bool TGridFileOutput::MayWrite() const { return MbrRefGeometry.Done(); }

void TGridFileOutput::Write()
{
    if (!MbrBlnHeaderWritten) {
        MbrHeader.XllCorner = MbrRefGeometry.XllCorner();
        MbrHeader.YllCorner = MbrRefGeometry.YllCorner();
        MbrHeader.CellSize = MbrRefGeometry.CellSize();
        MbrPtrWriter->WriteHeader(MbrHeader);
        MbrBlnHeaderWritten = true;
    }
    for (const auto& band : Writing())
        for (size_t i = 0; i < band->Pieces.size(); ++i) MbrPtrWriter->WriteText(band->Pieces[i].data(), band->Sizes[i]);
}

TGridFileOutput::~TGridFileOutput() = default;

void TGridFileOutput::SetProjection(const std::string& text)
{
    if (MbrStgName.empty() || MbrPtrWriter->InPlace()) return;
    MbrPtrProjection =
        std::make_unique<TFileSink>(TProjectionFiles::SidecarName(MbrStgName), TSinkTargets::FilesOnly);
    MbrStgProjection = text;
}

void TGridFileOutput::Finish()
{
    MbrPtrWriter->Prepare();
    if (MbrPtrProjection) {
        MbrPtrProjection->Write(MbrStgProjection.data(), MbrStgProjection.size());
        MbrPtrProjection->Prepare();
    }
}

void TGridFileOutput::Publish(std::vector<std::string>& replaced)
{
    MbrPtrWriter->Publish();
    if (!MbrStgName.empty() && !MbrPtrWriter->InPlace()) replaced.push_back(MbrStgName);
    if (MbrPtrProjection) {
        MbrPtrProjection->Publish();
        replaced.push_back(TProjectionFiles::SidecarName(MbrStgName));
    }
}

void TGridFileOutput::Discard()
{
    MbrPtrWriter.reset();  // a file not committed leaves the target as it was
    MbrPtrProjection.reset();
    DropBands();
}
