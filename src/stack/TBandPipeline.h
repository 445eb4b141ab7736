#pragma once

#include "stack/TBandReduction.h"
#include "stack/TGridStack.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class TStackFailures;
class TStackGeometry;
class TStackInputs;
class TStackOutput;
class TTaskTeam;

// What the pipeline makes of the bands it reads: the reduction, the outputs that take its
// results, and the geometry of the result, whose sums the pipeline advances between bands.
struct TPipelineResult {
    TBandReduction* Reduction = nullptr;
    std::vector<TStackOutput*> Outputs;
    TStackGeometry* Geometry = nullptr;  // null when no output needs it (a map in memory)
    // Every cell is read before any is reduced: the result's rows are written last row first
    // (Mirrored), or that is not known yet when reading starts.
    bool WholeGrid = false;
};

// The schedule of a stack's bands on the thread team. Each step runs one batch of tasks side by
// side: the next band of every input still read is parsed (into one of two slots), the band
// parsed in the step before is reduced and handed to the outputs in pieces, the outputs write
// what earlier steps gave them, and the geometry's sums advance. After each batch, failures are
// applied: the result is dropped at the first, and inputs that can no longer change the outcome
// are closed. Without a result (a failure already, or too few inputs) the inputs are only read,
// to find the failures that would come first.
class TBandPipeline {
public:
    TBandPipeline(TStackInputs& inputs, TStackFailures& failures, TTaskTeam& team, size_t bandCells);

    // Runs every step, calling `progress` after each on the calling thread. Returns whether the
    // result was made whole (every band handed to and written by the outputs).
    bool Run(const TPipelineResult* result, const std::function<void(const TStackProgress&)>& progress);

    // The most pieces a band is cut into, for the reduction's working space.
    static size_t Pieces(const TTaskTeam& team);

private:
    enum class TKind { Parse, Reduce, Write, Geometry };
    struct TTask {
        TKind Kind;
        size_t Index;
    };
    // The band parsed in the step before, waiting to be reduced: its slot, first cell and size.
    struct TReadyBand {
        int Slot = -1;
        uint64_t Start = 0;
        size_t Cells = 0;
    };

    // Adds the step's tasks; true when there is any.
    bool Schedule();
    void ScheduleReduction();
    void Perform(const TTask& task);
    void Reduce(size_t piece);
    void AfterBatch(bool parsed, bool reduced, bool writing);
    void ApplyFailures();

    TStackInputs& MbrRefInputs;
    TStackFailures& MbrRefFailures;
    TTaskTeam& MbrRefTeam;
    size_t MbrSizBand;
    size_t MbrSizPieces;
    const TPipelineResult* MbrPtrResult = nullptr;  // null once the result is dropped
    TBandOrder MbrOrder;
    int MbrIntParseSlot = 0;
    size_t MbrSizParsedCells = 0;  // the size of the band the batch parses
    TReadyBand MbrReady;
    uint64_t MbrLngParsed = 0;  // result cells parsed from every input so far
    std::vector<const double*> MbrVecBands;
    std::vector<TTask> MbrVecTasks;
};
