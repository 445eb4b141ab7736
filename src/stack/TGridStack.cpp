#include "stack/TGridStack.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TGridFormat.h"
#include "files/TProjectionFiles.h"
#include "grid/TMap.h"
#include "stack/TBandPipeline.h"
#include "stack/TBandReduction.h"
#include "stack/TGeoreferenceCheck.h"
#include "stack/TGridFileOutput.h"
#include "stack/TMapOutput.h"
#include "stack/TPictureOutput.h"
#include "stack/TStackFailures.h"
#include "stack/TStackGeometry.h"
#include "stack/TStackInputs.h"
#include "stack/TTaskTeam.h"
#include "stats/TStackMessages.h"
#include "support/TFileMessages.h"

#include <algorithm>
#include <exception>
#include <memory>

namespace {

// The geometry's sums done before reading, where the rows may come out reversed: enough for
// tens of millions of rows, a few tens of milliseconds at most.
constexpr uint64_t kGeometryStepsAhead = uint64_t(1) << 26;

// Makes a run's outputs from the first input's header and the result's geometry.
using TOutputs = std::vector<std::unique_ptr<TStackOutput>>;
using TMakeOutputs = std::function<TOutputs(const TGridHeader&, const TStackGeometry&)>;

// The result side of one run: the statistic, its reduction, the geometry and the output, made
// once every header has been read without a failure.
struct TRunResult {
    std::unique_ptr<TStackStatistic> Statistic;
    std::unique_ptr<TBandReduction> Reduction;
    std::unique_ptr<TStackGeometry> Geometry;
    TOutputs Outputs;
    TMapOutput* Map = nullptr;
    TPipelineResult Road;
};

// Makes the result; false (with the failure recorded) when the output cannot be opened. The
// statistic's own refusals are thrown at once.
bool StartResult(TRunResult& result, const TStackInputs& inputs, const TMakeOutputs& makeOutputs,
                 const TGridStackOptions& options, size_t pieces, TStackFailures& failures)
{
    const TGridHeader& first = inputs.Header(0);
    result.Statistic = std::make_unique<TStackStatistic>(options.Rule, inputs.Count());
    std::vector<double> noData;
    for (size_t k = 0; k < inputs.Count(); ++k) noData.push_back(inputs.Header(k).NoData);
    if (makeOutputs) {
        result.Geometry = std::make_unique<TStackGeometry>(first);
        try {
            result.Outputs = makeOutputs(first, *result.Geometry);
        } catch (...) {
            failures.Result(std::current_exception());
            failures.TakeNew();
            return false;
        }
        // Rows written last row first need every row at hand. Whether they are is known once the
        // geometry's sums are done, which is done now where the sums are not too many.
        if (result.Geometry->MayReverse()) {
            result.Geometry->Advance(kGeometryStepsAhead);
            result.Road.WholeGrid = !result.Geometry->Done() || result.Geometry->RowsReversed();
        }
        result.Road.Geometry = result.Geometry.get();
    } else {
        auto map = std::make_unique<TMapOutput>(0, first, options.NoData);
        result.Map = map.get();
        result.Outputs.push_back(std::move(map));
    }
    result.Reduction = std::make_unique<TBandReduction>(*result.Statistic, std::move(noData), pieces);
    result.Road.Reduction = result.Reduction.get();
    for (const auto& output : result.Outputs) result.Road.Outputs.push_back(output.get());
    return true;
}

// Puts every output in place, once all are whole; a failure part-way names what was replaced.
void Publish(const std::vector<TStackOutput*>& outputs)
{
    std::vector<std::string> replaced;
    try {
        for (TStackOutput* output : outputs) output->Publish(replaced);
    } catch (const char* message) {
        throw TFileMessages::AlreadyReplaced(message, replaced);
    } catch (const std::string& message) {
        throw TFileMessages::AlreadyReplaced(message, replaced);
    }
}

// Finishes every output side by side (a grid's sync beside a picture's encoding); the failure
// reported is the first output's in their order, whatever the order they failed in.
void FinishAll(TTaskTeam& team, const std::vector<TStackOutput*>& outputs)
{
    std::vector<std::exception_ptr> failures(outputs.size());
    team.Run(outputs.size(), [&](size_t i) {
        try {
            outputs[i]->Finish();
        } catch (...) {
            failures[i] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

// How statistic s's picture is drawn.
TQuickLookOptions PictureOptions(const TGridStackOptions& options, size_t s)
{
    const TStatisticSpec chosen = options.Rule.Statistics.empty()
        ? TStatisticSpec{options.Rule.Kind, TStackStatistic::IsThreshold(options.Rule.Kind) ? options.Rule.Threshold
                                                                                           : options.Rule.Percentile}
        : options.Rule.Statistics[s];
    TQuickLookOptions picture;
    picture.Ramp = options.PictureRamp;
    picture.Signed = TStackStatistic::Signed(chosen.Kind);
    picture.WholeNumbers = TStackStatistic::WholeNumbers(chosen.Kind);
    picture.HasRange = options.HasPictureRange;
    picture.RangeLow = options.PictureLow;
    picture.RangeHigh = options.PictureHigh;
    picture.Statistic = s < options.StatisticNames.size() ? options.StatisticNames[s] : TStackStatistic::NameOf(chosen);
    return picture;
}

size_t BandCells(const TGridStackOptions& options, size_t inputs)
{
    if (options.BandCells > 0) return options.BandCells;
    return std::clamp((size_t(1) << 16) / inputs, size_t(1024), size_t(65536));
}

// One run of a stack: the inputs are opened and their headers checked; where nothing failed and
// there are two or more, the result is made and the bands go through the pipeline; then the
// output is put in place, or the map handed over (null for an output), or the failure that comes
// first is thrown.
TMap* Execute(size_t count, TStackInputs::TOpen open, const TMakeOutputs& makeOutputs,
              const std::vector<std::string>& names, const TGridStackOptions& options, TStackBlame* blame)
{
    if (count == 0) throw TStackMessages::kTooFewMaps;
    if (blame) *blame = TStackBlame{};
    TStackFailures failures(count);
    TStackInputs inputs(count, std::move(open), options.Read, failures);
    TGeoreferenceCheck georeference(options.RefuseUnusableGeoreferencing, options.CheckGeometry, names);
    inputs.Open([&](size_t k, const TGridHeader& header) {
        georeference.Check(k, header);
        if (options.CheckHeader) options.CheckHeader(k, header);
    });
    const unsigned threads = options.Threads > 0 ? options.Threads : TTaskTeam::AvailableProcessors();
    TTaskTeam team(std::clamp(threads, 1u, 64u));
    TBandPipeline pipeline(inputs, failures, team, BandCells(options, count));
    TRunResult result;
    const bool started = !failures.Any() && count >= 2 &&
        StartResult(result, inputs, makeOutputs, options, TBandPipeline::Pieces(team), failures);
    if (pipeline.Run(started ? &result.Road : nullptr, options.Progress)) {
        if (result.Map) return result.Map->Release();
        try {
            // Every input is read: closed before the outputs are put in place, since an output may
            // be one of them and Windows does not rename over a file that is open.
            inputs.CloseFrom(0);
            FinishAll(team, result.Road.Outputs);
        } catch (...) {
            failures.Result(std::current_exception());
            for (TStackOutput* output : result.Road.Outputs) output->Discard();
            failures.Throw(blame);
        }
        Publish(result.Road.Outputs);
        return nullptr;
    }
    failures.Throw(blame);
}

// Regular files give their descriptors back between reads when there are many; other inputs
// (FIFOs, devices) hold theirs, so no more of them can be read side by side than may be open.
void RequireDescriptors(const std::vector<std::string>& names)
{
    const long fixed = static_cast<long>(std::count_if(names.begin(), names.end(), [](const std::string& name) {
        return !TFileSource::NamesRegularFile(name);
    }));
    const long budget = TFileSource::DescriptorBudget();
    if (fixed > budget)
        throw "Too many inputs that are not regular files: " + std::to_string(fixed) + ", at most " +
            std::to_string(budget) + " can be open at once";
}

TStackInputs::TOpen FileOpener(const std::vector<std::string>& names)
{
    return [&names](size_t k) { return OpenGridSource(names[k]); };
}

TStackInputs::TOpen StreamOpener(const std::vector<std::istream*>& inputs)
{
    return [&inputs](size_t k) -> std::unique_ptr<TByteSource> {
        std::istream& stream = *inputs[k];
        if (!stream || !stream.rdbuf()) throw TGridFormat::kNoNcolsTag;
        return std::make_unique<TStreamSource>(stream.rdbuf());
    };
}

}  // namespace

void TGridStack::WriteFiles(const std::vector<std::string>& VecInputs, const std::string& StgOutput,
                            const TGridStackOptions& options, TStackBlame* blame)
{
    WriteFiles(VecInputs, std::vector<std::string>{StgOutput}, options, blame);
}

void TGridStack::WriteFiles(const std::vector<std::string>& VecInputs, const std::vector<std::string>& VecOutputs,
                            const TGridStackOptions& options, TStackBlame* blame)
{
    const size_t statistics = options.Rule.Statistics.empty() ? 1 : options.Rule.Statistics.size();
    if (VecOutputs.size() != statistics) throw "Number of outputs does not match the number of statistics in TGridStack";
    if (!options.Pictures.empty() && options.Pictures.size() != statistics)
        throw "Number of pictures does not match the number of outputs in TGridStack";
    RequireDescriptors(VecInputs);
    const TMakeOutputs outputs = [&](const TGridHeader& first, const TStackGeometry& geometry) {
        const std::string sidecar =
            options.CopyProjection ? TProjectionFiles::FindSidecar(VecInputs[0]) : std::string();
        const std::string projection = sidecar.empty() ? std::string() : TProjectionFiles::ReadText(sidecar);
        TOutputs files;
        for (size_t s = 0; s < VecOutputs.size(); ++s) {
            auto file = std::make_unique<TGridFileOutput>(s, VecOutputs[s], first, options.NoData, options.Digits,
                                                          geometry);
            if (!sidecar.empty()) file->SetProjection(projection);
            files.push_back(std::move(file));
            if (s < options.Pictures.size() && !options.Pictures[s].empty())
                files.push_back(std::make_unique<TPictureOutput>(s, options.Pictures[s], first, PictureOptions(options, s),
                                                                 options.NoData, geometry));
        }
        return files;
    };
    Execute(VecInputs.size(), FileOpener(VecInputs), outputs, VecInputs, options, blame);
}

void TGridStack::WriteStreams(const std::vector<std::istream*>& VecInputs, std::ostream& StmOutput,
                              const TGridStackOptions& options, TStackBlame* blame)
{
    const TMakeOutputs output = [&](const TGridHeader& first, const TStackGeometry& geometry) {
        TOutputs streams;
        streams.push_back(
            std::make_unique<TGridFileOutput>(0, StmOutput, first, options.NoData, options.Digits, geometry));
        return streams;
    };
    Execute(VecInputs.size(), StreamOpener(VecInputs), output, {}, options, blame);
}

TMap* TGridStack::ReduceFiles(const std::vector<std::string>& VecInputs, const TGridStackOptions& options,
                              TStackBlame* blame)
{
    RequireDescriptors(VecInputs);
    return Execute(VecInputs.size(), FileOpener(VecInputs), nullptr, VecInputs, options, blame);
}

TMap* TGridStack::ReduceStreams(const std::vector<std::istream*>& VecInputs, const TGridStackOptions& options,
                                TStackBlame* blame)
{
    return Execute(VecInputs.size(), StreamOpener(VecInputs), nullptr, {}, options, blame);
}
