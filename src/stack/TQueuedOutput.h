#pragma once

#include "stack/TStackOutput.h"

#include <memory>
#include <vector>

// An output whose bands are filled by the pieces side by side and then taken by the write task in
// order, beside the next band's work: the band being filled, those waiting, those being written,
// and spare ones to fill again, so that no band's buffers are made twice. A derived output fills
// Filling() in TakePiece and takes Writing() in Write.
template <class TBand>
class TQueuedOutput : public TStackOutput {
public:
    using TStackOutput::TStackOutput;

    void BeginBand(uint64_t start, size_t cells, size_t pieces) override
    {
        if (MbrVecSpare.empty()) {
            MbrPtrFilling = std::make_unique<TBand>();
        } else {
            MbrPtrFilling = std::move(MbrVecSpare.back());
            MbrVecSpare.pop_back();
        }
        PrepareBand(*MbrPtrFilling, start, cells, pieces);
    }
    void EndBand() override { MbrVecPending.push_back(std::move(MbrPtrFilling)); }
    bool BeginWrite() override
    {
        if (!MayWrite() || (MbrVecPending.empty() && !MustWrite())) return false;
        MbrVecWriting = std::move(MbrVecPending);
        MbrVecPending.clear();
        return true;
    }
    void EndWrite() override
    {
        for (auto& band : MbrVecWriting) MbrVecSpare.push_back(std::move(band));
        MbrVecWriting.clear();
    }

protected:
    // Readies a band (new or spare) for the cells [start, start + cells) in `pieces` pieces.
    virtual void PrepareBand(TBand& band, uint64_t start, size_t cells, size_t pieces) = 0;
    // Whether anything may be written yet, and whether something must be without a band waiting.
    virtual bool MayWrite() const { return true; }
    virtual bool MustWrite() const { return false; }

    TBand& Filling() { return *MbrPtrFilling; }
    const std::vector<std::unique_ptr<TBand>>& Writing() const { return MbrVecWriting; }
    // Drops every band (after a failure, or once the output is finished).
    void DropBands()
    {
        MbrPtrFilling.reset();
        MbrVecPending.clear();
        MbrVecSpare.clear();
    }

private:
    std::unique_ptr<TBand> MbrPtrFilling;
    std::vector<std::unique_ptr<TBand>> MbrVecPending;
    std::vector<std::unique_ptr<TBand>> MbrVecWriting;
    std::vector<std::unique_ptr<TBand>> MbrVecSpare;
};
