#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What a stack of grids gives per cell.
enum class TStatisticKind { Mean, Sum, Count, Min, Max, Range, Median, StdDev, Variance, Percentile };

// A statistic by the name the command and the messages give it.
struct TStatisticName {
    const char* Name;
    TStatisticKind Kind;
    const char* Note;  // a word on it for the command's help ("default", "population"), or ""
};

// The cell rule of a stack: which inputs a cell uses and what it computes from them.
// An input lacks data at a cell where its value equals its own no-data value or is NaN (unless
// NaNHoldsData, the rule of maps in memory, where only the no-data value marks missing data).
// Without SkipNoData a cell is missing wherever any input lacks data (for every statistic but
// Count, which is always the number of inputs holding data, 0 where none does). With SkipNoData
// a cell uses the inputs that hold data there and is missing where none does. A MinCount above 0
// makes a cell missing where fewer inputs hold data, whatever the statistic.
struct TStackRule {
    TStatisticKind Kind = TStatisticKind::Mean;
    // For Percentile: 0 to 100, linear interpolation between the closest ranks.
    double Percentile = 50;
    bool SkipNoData = false;
    long MinCount = 0;
    // Empty, or one finite weight >= 0 per input, for Mean only: sum(w x) / sum(w) over the inputs
    // used at the cell; a cell whose used weights sum to 0 is missing.
    std::vector<double> Weights;
    // NaN is a value like any other (it equals no no-data value), as TMapTools' stacking has it;
    // by default a NaN cell lacks data, as in files where NaN marks missing data.
    bool NaNHoldsData = false;
};

// Applies a rule to runs of cells of every input. Sums run in argument order, so the default
// rule (the mean where every input holds data) gives exactly the sum of the inputs in order
// divided by their number. The variance is taken about the mean in a second pass, so values with
// a large common offset keep their precision.
class TStackStatistic {
public:
    // Throws "Number of weights does not match the number of maps in TStackStatistic",
    // "Weight is negative or not finite in TStackStatistic", "Weights apply to the mean only in
    // TStackStatistic", "Minimum count is out of range in TStackStatistic" (negative or above the
    // number of inputs) and "Percentile is out of range in TStackStatistic".
    TStackStatistic(const TStackRule& rule, size_t inputs);

    // Cells [0, count): input k's values are values[k][0..count), its no-data value noData[k].
    // Writes each cell's result to out[c] and marks missing[c] (1: missing, out[c] undefined).
    // `scratch` is working space the caller keeps between calls (one per thread).
    void Reduce(const double* const* values, const double* noData, size_t count, double* out,
                unsigned char* missing, std::vector<double>& scratch) const;

    size_t Inputs() const { return MbrSizInputs; }
    const TStackRule& Rule() const { return MbrRule; }

    // Reads a statistic name: one of Names(), or pNN for a percentile NN from 0 to 100 (p90,
    // p2.5). False for anything else.
    static bool ParseName(const std::string& StgName, TStackRule& rule);
    // The statistics by name, in the order the command lists them (the percentiles, pNN, apart).
    static const std::vector<TStatisticName>& Names();
    // Every name for a message: "mean, sum, ..., variance, or pNN from p0 to p100".
    static std::string NameList();

private:
    // One cell's result from the values that hold data, in argument order (`used` of them, at
    // least one); `weights` parallel to them or null. May reorder the values. False where the
    // cell is missing all the same (weights that sum to 0).
    bool Compute(double* used, size_t count, const double* weights, double& result) const;
    // The sum (or mean) where every input holds data, input by input over the run.
    void ReduceSumOfAll(const double* const* values, const double* noData, size_t count, double* out,
                        unsigned char* missing) const;

    TStackRule MbrRule;
    size_t MbrSizInputs;
};
