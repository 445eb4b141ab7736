#pragma once

#include "files/TGridHeader.h"
#include "stack/TStackOutput.h"

#include <memory>

class TMap;

// A statistic's result kept as a map in memory, on the first grid's cell centres, with `noData`
// as its no-data value and in missing cells. Rows are added as their cells arrive, so memory
// follows the values actually present.
class TMapOutput : public TStackOutput {
public:
    TMapOutput(size_t statistic, const TGridHeader& first, double noData);
    ~TMapOutput() override;

    void BeginBand(uint64_t start, size_t cells, size_t pieces) override;
    void TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results) override;
    void EndBand() override {}
    void Finish() override {}
    void Publish(std::vector<std::string>&) override {}

    // The map, once every band was taken (caller owns).
    TMap* Release();

private:
    std::unique_ptr<TMap> MbrPtrMap;
    TGridHeader MbrFirst;
    double MbrDblNoData;
    uint64_t MbrLngBandStart = 0;
};
