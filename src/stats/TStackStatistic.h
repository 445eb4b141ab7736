#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct TLineDesign;
struct TLineFit;

// What a stack of grids gives per cell.
enum class TStatisticKind {
    Mean, Sum, Count, Min, Max, Range, Median, StdDev, Variance, Percentile,
    // The sample spread (divisor n - 1) and the shape of the distribution.
    SampleStdDev, SampleVariance, Skewness, Kurtosis,
    // Frequencies of exactly equal values.
    Mode, Minority, Variety,
    // The number of the input (from 1) holding the extreme.
    ArgMin, ArgMax,
    // The number of inputs holding data whose value is >, >=, <, <= or = the threshold.
    Above, AtLeast, Below, AtMost, Equal,
    // Trends against the inputs' times: least squares, Theil-Sen, Mann-Kendall.
    Slope, Offset, R2, TValue, PValue, Sen, SenOffset, MkS, MkZ, MkP
};

// One statistic of a rule: its kind and, for a percentile (0 to 100) or a threshold count, its
// number.
struct TStatisticSpec {
    TStatisticKind Kind = TStatisticKind::Mean;
    double Parameter = 50;
};

// A statistic by the name the command and the messages give it; a name ending in NN or :T stands
// for a family (pNN, gt:T) whose number follows the prefix.
struct TStatisticName {
    const char* Name;
    TStatisticKind Kind;
    const char* Note;  // a word on it for the command's help ("default", "population"), or ""
};

// The cell rule of a stack: which inputs a cell uses and what it computes from them.
// An input lacks data at a cell where its value equals its own no-data value or is NaN (unless
// NaNHoldsData, the rule of maps in memory, where only the no-data value marks missing data), or
// lies outside the range [Low, High] where one is set. Without SkipNoData a cell is missing
// wherever any input lacks data, for every statistic but the counts (count, variety and the
// threshold counts), which are always a value, 0 where no input holds data. With SkipNoData a
// cell uses the inputs that hold data there and is missing where none does. A MinCount above 0
// makes a cell missing where fewer inputs hold data, whatever the statistic.
struct TStackRule {
    // The statistic of a rule of one: its kind, a percentile's number (0 to 100, linear
    // interpolation between the closest ranks) and a threshold count's threshold.
    TStatisticKind Kind = TStatisticKind::Mean;
    double Percentile = 50;
    double Threshold = 0;
    // Several statistics from one pass over the values, in place of the one above when not empty.
    std::vector<TStatisticSpec> Statistics;
    bool SkipNoData = false;
    long MinCount = 0;
    // Empty, or one finite weight >= 0 per input, for the mean (sum(w x) / sum(w)), the sum
    // (sum(w x)), the variance and standard deviation (sum(w (x - m)^2) / sum(w), m the weighted
    // mean) and the least-squares trends, over the inputs used at the cell; a cell whose used
    // weights sum to 0 is missing.
    std::vector<double> Weights;
    // NaN is a value like any other (it equals no no-data value), as TMapTools' stacking has it;
    // by default a NaN cell lacks data, as in files where NaN marks missing data.
    bool NaNHoldsData = false;
    // Values below Low (with HasLow) or above High (with HasHigh) lack data.
    bool HasLow = false;
    double Low = 0;
    bool HasHigh = false;
    double High = 0;
    // The trends' abscissa: one finite time per input; empty for 0, 1, 2, ... in input order.
    std::vector<double> Times;
    // Where finite values would give an overflowing mean, variance or percentile, a scaled road
    // keeps the result finite; false keeps the plain sum divided by the count, as the stacking of
    // maps in memory computes it.
    bool FiniteResults = true;
};

// Applies a rule to runs of cells of every input. Sums run in argument order, so the default
// rule (the mean where every input holds data) gives exactly the sum of the inputs in order
// divided by their number. The variance is taken about the mean in a second pass, so values with
// a large common offset keep their precision. The order statistics of a cell sort its values once,
// however many the rule asks for.
class TStackStatistic {
public:
    // Throws "Number of weights does not match the number of maps in TStackStatistic",
    // "Weight is negative or not finite in TStackStatistic", "Weights apply to the mean, the sum,
    // the variance, the standard deviation and the least-squares trends only in TStackStatistic",
    // "Minimum count is out of range in TStackStatistic" (negative or above the number of
    // inputs), "Percentile is out of range in TStackStatistic", "Threshold is not finite in
    // TStackStatistic", "Range is empty or not finite in TStackStatistic", "Number of times does
    // not match the number of maps in TStackStatistic" and "Time is not finite in TStackStatistic".
    TStackStatistic(const TStackRule& rule, size_t inputs);
    ~TStackStatistic();
    TStackStatistic(const TStackStatistic&) = delete;
    TStackStatistic& operator=(const TStackStatistic&) = delete;

    // Working space a caller keeps between calls (one per thread).
    struct TScratch {
        std::vector<double> Cells;
        std::vector<double> Work;
    };

    // Cells [0, count): input k's values are values[k][0..count), its no-data value noData[k].
    // Writes statistic s's result of cell c to out[s][c] and marks missing[s][c] (1: missing,
    // out[s][c] undefined).
    void Reduce(const double* const* values, const double* noData, size_t count, double* const* out,
                unsigned char* const* missing, TScratch& scratch) const;
    // The same for a rule of one statistic.
    void Reduce(const double* const* values, const double* noData, size_t count, double* out,
                unsigned char* missing, std::vector<double>& scratch) const;

    size_t Inputs() const { return MbrSizInputs; }
    const TStackRule& Rule() const { return MbrRule; }
    // The statistics, in order: the rule's list, or its one statistic.
    const std::vector<TStatisticSpec>& Statistics() const { return MbrVecSpecs; }

    // Reads a statistic name: one of Names(), pNN for a percentile NN from 0 to 100 (p90, p2.5),
    // or gt:T, ge:T, lt:T, le:T, eq:T for a threshold count with T a finite decimal number.
    // False for anything else.
    static bool ParseName(const std::string& StgName, TStatisticSpec& chosen);
    static bool ParseName(const std::string& StgName, TStackRule& rule);
    // The name of a statistic: its name in Names(), or for a family the prefix and the number in
    // the shortest form that reads back (p2.5, gt:25).
    static std::string NameOf(const TStatisticSpec& chosen);
    // The statistics by name, in the order the command lists them, the families included.
    static const std::vector<TStatisticName>& Names();
    // Every name for a message: "mean, sum, ..., variance, ..., or pNN from p0 to p100".
    static std::string NameList();

    // Whether the kind gives a whole number of inputs or values (count, variety, the threshold
    // counts, argmin, argmax), counts inputs holding data (count, variety, threshold counts:
    // always a value), takes weights, needs the times, or is signed around 0 by nature (the
    // trends' slopes and scores, skewness, kurtosis).
    static bool WholeNumbers(TStatisticKind kind);
    static bool Counts(TStatisticKind kind);
    static bool TakesWeights(TStatisticKind kind);
    static bool IsTrend(TStatisticKind kind);
    static bool Signed(TStatisticKind kind);
    // Whether the kind counts values against a threshold (gt:T ... eq:T).
    static bool IsThreshold(TStatisticKind kind);
    // Whether a name of Names() stands for a family (pNN, gt:T).
    static bool IsFamily(const std::string& StgName);

private:
    struct TCell;
    // Gathers the cell's values that hold data, with their weights, times and input numbers;
    // returns how many.
    size_t Gather(const double* const* values, const double* noData, size_t c, TCell& cell) const;
    // The same for a cell where every input holds data (known already).
    size_t GatherWhole(const double* const* values, size_t c, TCell& cell) const;
    // Reduces cell c; `whole`: every input is known to hold data there.
    void ReduceCell(const double* const* values, const double* noData, size_t c, double* const* out,
                    unsigned char* const* missing, TScratch& scratch, bool whole = false) const;
    // One statistic's result of a cell; false where it is missing.
    bool Compute(const TStatisticSpec& chosen, TCell& cell) const;
    bool ComputeOrder(const TStatisticSpec& chosen, TCell& cell) const;
    bool ComputeTrend(const TStatisticSpec& chosen, TCell& cell) const;
    // A least-squares statistic's result of a fit; false where it is missing.
    static bool LineResult(TStatisticKind kind, const TLineFit& fit, double& result);
    // Reduces cell c, where every input holds data, for a rule of least-squares statistics only:
    // the line through the values where they lie.
    void ReduceWholeLine(const double* const* values, size_t c, double* const* out, unsigned char* const* missing) const;
    // Reduce for a rule of least-squares statistics only, without skipping and without a range:
    // the lines of stretches of cells with their gaps found in the same pass, and the cells the
    // stretch leaves aside one by one.
    void ReduceLines(const double* const* values, const double* noData, size_t count, double* const* out,
                     unsigned char* const* missing) const;
    // Asks the cache for the inputs' values a few cells past c, of count.
    void FetchAhead(const double* const* values, size_t c, size_t count) const;
    // Marks gaps[c - start] for the cells [start, end) where some input lacks data.
    void CountGaps(const double* const* values, const double* noData, size_t start, size_t end,
                   unsigned char* gaps) const;
    // The sum (or mean) where every input holds data, input by input over the run; true where a
    // result is infinite.
    bool ReduceSumOfAll(const double* const* values, const double* noData, size_t count, double* out,
                        unsigned char* missing) const;

    TStackRule MbrRule;
    size_t MbrSizInputs;
    std::vector<TStatisticSpec> MbrVecSpecs;
    std::vector<double> MbrVecTimes;
    std::vector<double> MbrVecInputNumbers;  // 1, 2, ..., as the statistics take them
    bool MbrBlnOrder = false;      // some statistic needs the values in order
    bool MbrBlnSortOnce = false;   // ... more than one, or one that needs them sorted
    bool MbrBlnSumOfAll = false;   // the vectorised road of the default mean or sum applies
    // What the cells' values are gathered with: times, input numbers; whether a count is asked.
    bool MbrBlnTimes = false;
    // The least-squares design of every input's time and weight, for the cells where every
    // input holds data (null where there is no line through them).
    std::unique_ptr<TLineDesign> MbrPtrWholeLine;
    bool MbrBlnInputs = false;
    bool MbrBlnCounts = false;
    // Every statistic is one of the least-squares line's, and the inputs' design has a line.
    bool MbrBlnLineOnly = false;
};
