#include "stack/TBandPipeline.h"

#include "stack/TStackFailures.h"
#include "stack/TStackGeometry.h"
#include "stack/TStackInputs.h"
#include "stack/TStackOutput.h"
#include "stack/TTaskTeam.h"

#include <exception>

namespace {

// Additions of the geometry's edge sums per step: a few milliseconds at most.
constexpr uint64_t kGeometryStepsPerBand = uint64_t(1) << 22;

}  // namespace

TBandPipeline::TBandPipeline(TStackInputs& inputs, TStackFailures& failures, TTaskTeam& team, size_t bandCells)
    : MbrRefInputs(inputs),
      MbrRefFailures(failures),
      MbrRefTeam(team),
      MbrSizBand(bandCells),
      MbrSizPieces(Pieces(team)),
      MbrVecBands(inputs.Count())
{
}

size_t TBandPipeline::Pieces(const TTaskTeam& team)
{
    const unsigned members = team.Members();
    return members == 1 ? 1 : 2 * members;
}

bool TBandPipeline::Run(const TPipelineResult* result, const std::function<void(const TStackProgress&)>& progress)
{
    MbrPtrResult = result;
    while (Schedule()) {
        const bool parsed = MbrSizParsedCells > 0;
        bool reduced = false;
        bool writing = false;
        for (const TTask& task : MbrVecTasks) {
            reduced |= task.Kind == TKind::Reduce;
            writing |= task.Kind == TKind::Write;
        }
        MbrRefTeam.Run(MbrVecTasks.size(), [this](size_t i) { Perform(MbrVecTasks[i]); });
        AfterBatch(parsed, reduced, writing);
        if (progress) progress(MbrRefInputs.Progress());
    }
    return MbrPtrResult != nullptr;
}

bool TBandPipeline::Schedule()
{
    MbrVecTasks.clear();
    MbrSizParsedCells = 0;
    if (MbrPtrResult) {
        // The band's reduction first: its pieces are the batch's longest tasks, and the many short
        // parsing tasks after them even out when the members finish (and on one member, the band
        // is reduced while what was parsed of it is still in the cache).
        ScheduleReduction();
        TStackGeometry* geometry = MbrPtrResult->Geometry;
        if (geometry && !geometry->Done()) MbrVecTasks.push_back({TKind::Geometry, 0});
        const std::vector<TStackOutput*>& outputs = MbrPtrResult->Outputs;
        for (size_t o = 0; o < outputs.size(); ++o)
            if (outputs[o]->BeginWrite()) MbrVecTasks.push_back({TKind::Write, o});
    }
    const bool whole = MbrPtrResult && MbrPtrResult->WholeGrid;
    for (size_t k = 0; k < MbrRefInputs.Count(); ++k) {
        if (!MbrRefInputs.Reading(k)) continue;
        MbrVecTasks.push_back({TKind::Parse, k});
        MbrSizParsedCells =
            whole ? static_cast<size_t>(MbrRefInputs.Cells(0)) : MbrRefInputs.NextBand(k, MbrSizBand);
    }
    return !MbrVecTasks.empty();
}

void TBandPipeline::ScheduleReduction()
{
    if (MbrReady.Slot < 0) return;
    const TStackGeometry* geometry = MbrPtrResult->Geometry;
    // Rows that may be written last row first wait for the geometry to say.
    if (MbrPtrResult->WholeGrid && geometry && !geometry->Done()) return;
    if (MbrPtrResult->WholeGrid && geometry) {
        const TGridHeader& first = MbrRefInputs.Header(0);
        MbrOrder = TBandOrder{geometry->RowsReversed(), static_cast<uint64_t>(first.Rows),
                              static_cast<uint64_t>(first.Columns)};
    }
    for (size_t k = 0; k < MbrRefInputs.Count(); ++k) MbrVecBands[k] = MbrRefInputs.Band(k, MbrReady.Slot);
    for (TStackOutput* output : MbrPtrResult->Outputs) output->BeginBand(MbrReady.Start, MbrReady.Cells, MbrSizPieces);
    for (size_t piece = 0; piece < MbrSizPieces; ++piece) MbrVecTasks.push_back({TKind::Reduce, piece});
}

void TBandPipeline::Perform(const TTask& task)
{
    // Tasks never throw: a failure is recorded for the input or the result it concerns, so that
    // no member of the team leaves a batch that others still work on (an allocation failure too).
    try {
        switch (task.Kind) {
        case TKind::Parse:
            if (MbrPtrResult && MbrPtrResult->WholeGrid)
                MbrRefInputs.ParseRest(task.Index);
            else
                MbrRefInputs.Parse(task.Index, MbrIntParseSlot, MbrRefInputs.NextBand(task.Index, MbrSizBand));
            break;
        case TKind::Reduce:
            Reduce(task.Index);
            break;
        case TKind::Write:
            MbrPtrResult->Outputs[task.Index]->Write();
            break;
        case TKind::Geometry:
            MbrPtrResult->Geometry->Advance(kGeometryStepsPerBand);
            break;
        }
    } catch (...) {
        if (task.Kind == TKind::Parse)
            MbrRefFailures.Input(task.Index, std::current_exception());
        else
            MbrRefFailures.Result(std::current_exception());
    }
}

void TBandPipeline::Reduce(size_t piece)
{
    const size_t begin = MbrReady.Cells * piece / MbrSizPieces;
    const size_t end = MbrReady.Cells * (piece + 1) / MbrSizPieces;
    const TPieceResults* results = MbrPtrResult->Reduction->Reduce(piece, MbrVecBands.data(), begin, end, MbrOrder);
    for (TStackOutput* output : MbrPtrResult->Outputs)
        output->TakePiece(piece, begin, end - begin, results[output->Statistic()]);
}

void TBandPipeline::AfterBatch(bool parsed, bool reduced, bool writing)
{
    try {
        if (MbrPtrResult) {
            for (TStackOutput* output : MbrPtrResult->Outputs) {
                if (writing) output->EndWrite();
                if (reduced) output->EndBand();
            }
        }
    } catch (...) {
        MbrRefFailures.Result(std::current_exception());
    }
    if (reduced) MbrReady = TReadyBand();
    if (parsed && MbrPtrResult) {
        MbrReady = TReadyBand{MbrIntParseSlot, MbrLngParsed, MbrSizParsedCells};
        MbrLngParsed += MbrSizParsedCells;
        MbrIntParseSlot = 1 - MbrIntParseSlot;
    }
    ApplyFailures();
}

void TBandPipeline::ApplyFailures()
{
    if (!MbrRefFailures.TakeNew()) return;
    if (MbrPtrResult)
        for (TStackOutput* output : MbrPtrResult->Outputs) output->Discard();
    MbrPtrResult = nullptr;
    MbrReady = TReadyBand();
    MbrRefInputs.CloseFrom(MbrRefFailures.InputsThatCount());
}
