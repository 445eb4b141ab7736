#pragma once

#include "stack/TBandReduction.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Where one statistic's results go, band by band: a grid file or stream, a map in memory. The
// band pipeline calls, for each band of the result (cells [start, start + cells) in the order the
// output holds them): BeginBand on the calling thread, TakePiece for every piece of the band on
// the team (pieces side by side, each at most once), and EndBand on the calling thread again.
// Writing goes alongside: when BeginWrite says there is something to write, Write runs as one
// task of the next batch (beside the pieces of the next band), then EndWrite on the calling
// thread. Anything may throw; the pipeline then records the failure and discards the output, which
// leaves its target as it was.
class TStackOutput {
public:
    explicit TStackOutput(size_t statistic) : MbrSizStatistic(statistic) {}
    virtual ~TStackOutput() = default;
    TStackOutput(const TStackOutput&) = delete;
    TStackOutput& operator=(const TStackOutput&) = delete;

    // Which of the run's statistics this output takes.
    size_t Statistic() const { return MbrSizStatistic; }

    virtual void BeginBand(uint64_t start, size_t cells, size_t pieces) = 0;
    // The results of cells [offset, offset + count) of the band.
    virtual void TakePiece(size_t piece, size_t offset, size_t count, const TPieceResults& results) = 0;
    virtual void EndBand() = 0;

    virtual bool BeginWrite() { return false; }
    virtual void Write() {}
    virtual void EndWrite() {}

    // After the last band has been written: makes the result whole (forced to disk) without
    // replacing anything yet, so that several outputs are all whole before the first replaces its
    // target; then Publish puts it in place, adding the names it replaced to `replaced`.
    virtual void Finish() = 0;
    virtual void Publish(std::vector<std::string>& replaced) = 0;
    // Gives the result up after a failure: nothing more is written, the target stays as it was.
    virtual void Discard() {}

private:
    size_t MbrSizStatistic;
};
