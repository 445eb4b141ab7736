#include "stack/TMapOutput.h"

#include "files/TGridTextReader.h"
#include "grid/TMap.h"

TMapOutput::TMapOutput(size_t statistic, const TGridHeader& first, double noData)
    : TStackOutput(statistic), MbrPtrMap(std::make_unique<TMap>(first.CellSize)), MbrFirst(first), MbrDblNoData(noData)
{
}

TMapOutput::~TMapOutput() = default;

void TMapOutput::BeginBand(uint64_t start, size_t cells, size_t)
{
    // Rows are added here, before the pieces fill them side by side.
    MbrLngBandStart = start;
    const uint64_t columns = static_cast<uint64_t>(MbrFirst.Columns);
    const uint64_t lastRow = (start + cells - 1) / columns;
    while (static_cast<uint64_t>(MbrPtrMap->GetYDim()) <= lastRow)
        MbrPtrMap->AddRow(std::vector<double>(static_cast<size_t>(columns), MbrDblNoData));
}

void TMapOutput::TakePiece(size_t, size_t offset, size_t count, const TPieceResults& results)
{
    const uint64_t columns = static_cast<uint64_t>(MbrFirst.Columns);
    for (size_t c = 0; c < count; ++c) {
        const uint64_t cell = MbrLngBandStart + offset + c;
        std::vector<double>& row = MbrPtrMap->GetRowRef(static_cast<long>(cell / columns));
        row[static_cast<size_t>(cell % columns)] = results.Missing[c] ? MbrDblNoData : results.Values[c];
    }
}

TMap* TMapOutput::Release()
{
    // The result lies on the first grid's cell centres, with edges derived from them, as a map
    // built from those centres has them.
    TMap* map = MbrPtrMap.get();
    TGridTextReader::SetEdges(map, MbrFirst);
    map->SetXAxis(map->GetXAxis());
    map->SetYAxis(map->GetYAxis());
    map->SetNoDataValue(MbrDblNoData);
    return MbrPtrMap.release();
}
