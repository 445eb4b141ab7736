#include "stats/TStackStatistic.h"

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"
#include "stack/TGridStack.h"
#include "support/TStringTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <tuple>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMissing = -123456;  // stands for "missing" in the tables

// One cell of each input, with its own no-data value; the result, or kMissing.
double OneCell(const TStackRule& rule, const std::vector<double>& values, const std::vector<double>& noData)
{
    const TStackStatistic statistic(rule, values.size());
    std::vector<const double*> pointers;
    for (const double& value : values) pointers.push_back(&value);
    double out = 0;
    unsigned char missing = 0;
    std::vector<double> scratch;
    statistic.Reduce(pointers.data(), noData.data(), 1, &out, &missing, scratch);
    return missing ? kMissing : out;
}

TStackRule Rule(const std::string& name, bool skip = false, long minCount = 0, std::vector<double> weights = {})
{
    TStackRule rule;
    EXPECT_TRUE(TStackStatistic::ParseName(name, rule)) << name;
    rule.SkipNoData = skip || minCount > 0;
    rule.MinCount = minCount;
    rule.Weights = std::move(weights);
    return rule;
}

}  // namespace

TEST(StackStatistic, HandWorkedCells)
{
    // Inputs 1, 2, 6 and a fourth whose no-data value is -1 (so -9999 is a value there).
    const std::vector<double> noData = {-9999, -9999, -9999, -1};
    const std::vector<double> all = {1, 2, 6, 3};
    const std::vector<double> gap = {1, -9999, 6, -1};  // inputs 2 and 4 lack data
    const std::vector<double> none = {-9999, -9999, -9999, -1};
    struct TCase {
        TStackRule Rule;
        std::vector<double> Values;
        double Expected;
    };
    const std::vector<TCase> cases = {
        {Rule("mean"), all, 3},           {Rule("mean"), gap, kMissing},          {Rule("mean", true), gap, 3.5},
        {Rule("sum"), all, 12},           {Rule("sum", true), gap, 7},            {Rule("count"), gap, 2},
        {Rule("count"), none, 0},         {Rule("count", true, 3), gap, kMissing}, {Rule("min", true), gap, 1},
        {Rule("max"), all, 6},            {Rule("range", true), gap, 5},          {Rule("median"), all, 2.5},
        {Rule("median", true), gap, 3.5}, {Rule("p50"), all, 2.5},               {Rule("p0"), all, 1},
        {Rule("p100"), all, 6},           {Rule("p90"), all, 5.1},                {Rule("p25"), all, 1.75},
        {Rule("variance"), all, 3.5},     {Rule("stddev", true), gap, 2.5},        {Rule("mean", true), none, kMissing},
        {Rule("mean", true, 2), gap, 3.5}, {Rule("mean", true, 3), gap, kMissing},
        {Rule("mean", false, 0, {1, 1, 2, 0}), all, 15.0 / 4},
        {Rule("mean", true, 0, {3, 5, 1, 7}), gap, 9.0 / 4},
        {Rule("mean", true, 0, {0, 1, 0, 1}), gap, kMissing},  // the weights used sum to 0
        {Rule("mean"), {1, 2, 6, -9999}, (9.0 - 9999) / 4},   // -9999 is data where -1 marks gaps
        {Rule("mean", true), {kNaN, 2, kNaN, 4}, 3},            // NaN lacks data
        // The spread and shape of 1, 2, 6, 3: deviations -2, -1, 3, 0 from the mean 3.
        {Rule("variance-sample"), all, 14.0 / 3},               {Rule("stddev-sample"), all, std::sqrt(14.0 / 3)},
        {Rule("stddev-sample", true), {1, -9999, -9999, -1}, kMissing},  // one value
        {Rule("skewness"), all, 18 / (4 * std::pow(3.5, 1.5))}, {Rule("kurtosis"), all, 98 / (4 * 12.25) - 3},
        {Rule("skewness", true), {2, 2, -9999, 2}, kMissing},    // no spread
        {Rule("kurtosis"), gap, kMissing},
        // Frequencies: ties go to the smallest value.
        {Rule("mode"), {2, 5, 2, 5}, 2},   {Rule("minority"), {2, 5, 2, 7}, 5}, {Rule("mode"), all, 1},
        {Rule("variety"), {2, 5, 2, 5}, 2}, {Rule("variety"), gap, 2},         {Rule("variety"), none, 0},
        {Rule("variety", true, 3), gap, kMissing},
        // Input numbers from 1 and threshold counts over the inputs holding data.
        {Rule("argmin"), all, 1},          {Rule("argmax"), all, 3},          {Rule("argmax", true), gap, 3},
        {Rule("argmax"), {5, 7, 7, 1}, 2}, {Rule("argmin"), gap, kMissing},
        {Rule("gt:2"), all, 2},            {Rule("ge:2"), all, 3},            {Rule("lt:2"), all, 1},
        {Rule("le:3"), all, 3},            {Rule("eq:6"), all, 1},            {Rule("gt:0"), gap, 2},
        {Rule("gt:0"), none, 0},
        // Trends at the times 0, 1, 2, 3: the line 1.5 + t, residuals -0.5, -0.5, 2.5, -1.5.
        {Rule("slope"), all, 1},           {Rule("offset"), all, 1.5},        {Rule("r2"), all, 1 - 9.0 / 14},
        {Rule("tvalue"), all, 1 / std::sqrt(0.9)},
        {Rule("sen"), all, (2.0 / 3 + 1) / 2}, {Rule("sen-offset"), all, 2.5 - 1.5 * (2.0 / 3 + 1) / 2},
        {Rule("mk-s"), all, 4},            {Rule("mk-z"), all, 3 / std::sqrt(4 * 3 * 13 / 18.0)},
        // A series with a gap: inputs 1 and 3, at the times 0 and 2.
        {Rule("slope", true), gap, 2.5},   {Rule("offset", true), gap, 1},    {Rule("r2", true), gap, 1},
        {Rule("tvalue", true), gap, kMissing}, {Rule("sen", true), gap, 2.5}, {Rule("mk-s", true), gap, 1},
        {Rule("slope"), gap, kMissing},
        // Ties in the values: S counts them as 0, and the variance of S drops.
        {Rule("mk-s"), {2, 5, 2, 5}, 2}, {Rule("mk-z"), {2, 5, 2, 5}, 1 / std::sqrt((156 - 2 * 18) / 18.0)},
        {Rule("mk-z", true), {4, 4, 4, 4}, kMissing},
    };
    for (const TCase& test : cases) {
        const double got = OneCell(test.Rule, test.Values, noData);
        const double tolerance = test.Expected == kMissing ? 0 : 1e-12 * std::max(1.0, std::fabs(test.Expected));
        EXPECT_NEAR(got, test.Expected, tolerance) << "statistic " << static_cast<int>(test.Rule.Kind) << " skip "
                                                   << test.Rule.SkipNoData << " min " << test.Rule.MinCount;
    }
}

TEST(StackStatistic, SpreadKeepsItsPrecisionOverALargeCommonOffset)
{
    // Elevations near 4000 m varying by millimetres: a sum of squares less the squared sum would
    // lose every digit here.
    const std::vector<double> values = {4000.001, 4000.002, 4000.003, 4000.004};
    const std::vector<double> noData(values.size(), -9999);
    EXPECT_NEAR(OneCell(Rule("variance"), values, noData), 1.25e-6, 1e-15);
    EXPECT_NEAR(OneCell(Rule("stddev"), values, noData), std::sqrt(1.25e-6), 1e-12);
}

TEST(StackStatistic, NamesAndRulesThatAreRefused)
{
    TStackRule rule;
    for (const std::string name : {"", "avg", "Mean", "p", "p101", "p-1", "p1.2.3", "p9x", "pp9", "median ", "gt:",
                                   "gt:x", "gt:inf", "gt:nan", "gt:1e999", "gt5", "GT:5", "gt:5 ", "gt:0x10", "mk",
                                   "stddev_sample"})
        EXPECT_FALSE(TStackStatistic::ParseName(name, rule)) << name;
    const std::vector<std::tuple<std::string, TStatisticKind, double>> accepted = {
        {"p0", TStatisticKind::Percentile, 0},   {"p2.5", TStatisticKind::Percentile, 2.5},
        {"p100", TStatisticKind::Percentile, 100}, {"gt:25", TStatisticKind::Above, 25},
        {"ge:-1.5", TStatisticKind::AtLeast, -1.5}, {"lt:1e3", TStatisticKind::Below, 1000},
        {"le:.5", TStatisticKind::AtMost, 0.5},  {"eq:-9999", TStatisticKind::Equal, -9999},
    };
    for (const auto& [name, kind, number] : accepted) {
        TStatisticSpec chosen;
        ASSERT_TRUE(TStackStatistic::ParseName(name, chosen)) << name;
        EXPECT_EQ(chosen.Kind, kind) << name;
        EXPECT_EQ(chosen.Parameter, number) << name;
    }
    // Every name listed parses to its kind.
    for (const TStatisticName& name : TStackStatistic::Names()) {
        if (TStackStatistic::IsFamily(name.Name)) continue;
        TStatisticSpec chosen;
        EXPECT_TRUE(TStackStatistic::ParseName(name.Name, chosen) && chosen.Kind == name.Kind) << name.Name;
    }
    TStackRule range = Rule("mean");
    range.HasLow = range.HasHigh = true;
    range.Low = 2;
    range.High = 1;
    TStackRule times = Rule("slope");
    times.Times = {1, 2};
    TStackRule nanTime = Rule("sen");
    nanTime.Times = {1, kNaN, 3};
    TStackRule threshold = Rule("gt:1");
    threshold.Threshold = INFINITY;
    const std::vector<std::pair<TStackRule, std::string>> refused = {
        {Rule("mean", false, 0, {1, 2}), "Number of weights does not match the number of maps in TStackStatistic"},
        {Rule("mean", false, 0, {1, -1, 1}), "Weight is negative or not finite in TStackStatistic"},
        {Rule("mean", false, 0, {1, kNaN, 1}), "Weight is negative or not finite in TStackStatistic"},
        {Rule("median", false, 0, {1, 1, 1}),
         "Weights apply to the mean, the sum, the variance, the standard deviation and the least-squares trends only in "
         "TStackStatistic"},
        {Rule("sen", false, 0, {1, 1, 1}),
         "Weights apply to the mean, the sum, the variance, the standard deviation and the least-squares trends only in "
         "TStackStatistic"},
        {Rule("mean", true, 4), "Minimum count is out of range in TStackStatistic"},
        {range, "Range is empty or not finite in TStackStatistic"},
        {times, "Number of times does not match the number of maps in TStackStatistic"},
        {nanTime, "Time is not finite in TStackStatistic"},
        {threshold, "Threshold is not finite in TStackStatistic"},
    };
    for (const auto& entry : refused) {
        const TStackRule& bad = entry.first;
        EXPECT_EQ(ThrownMessage([&] { TStackStatistic(bad, 3); }), entry.second);
    }
    // Weights for the statistics that take them.
    for (const std::string name : {"sum", "stddev", "variance", "slope", "offset", "r2", "tvalue", "pvalue"})
        EXPECT_EQ(ThrownMessage([&] { TStackStatistic(Rule(name, false, 0, {1, 2, 3}), 3); }), "<no throw>") << name;
}

namespace {

// A random stack: each input with its own no-data value and about a tenth of its cells lacking
// data, some cells where every input lacks it, values of two decimals.
std::vector<std::string> RandomStack(int inputs, long columns, long rows, std::mt19937& random)
{
    const std::vector<std::string> markers = {"-9999", "-1", "0", "3.5"};
    std::uniform_int_distribution<int> cents(-300000, 300000);
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<std::string> texts;
    for (int k = 0; k < inputs; ++k) {
        const std::string marker = markers[static_cast<size_t>(k) % markers.size()];
        std::ostringstream text;
        text << "ncols " << columns << "\nnrows " << rows << "\nxllcorner 10\nyllcorner 20\ncellsize 0.5\nNODATA_value "
             << marker << "\n";
        for (long y = 0; y < rows; ++y) {
            for (long x = 0; x < columns; ++x) {
                const bool allLack = (x + y) % 17 == 0;
                text << (allLack || pick(random) == 0 ? marker : std::to_string(cents(random) / 100.0)) << ' ';
            }
            text << '\n';
        }
        texts.push_back(text.str());
    }
    return texts;
}

struct TRuleCase {
    std::string Stat;
    bool Skip;
    long MinCount;
    std::vector<double> Weights;
};

std::vector<TRuleCase> EveryRule(int inputs)
{
    std::vector<TRuleCase> cases;
    for (const std::string stat : {"mean", "sum", "count", "min", "max", "range", "median", "stddev", "variance", "p90",
                                   "p2.5", "p50"}) {
        cases.push_back({stat, false, 0, {}});
        cases.push_back({stat, true, 0, {}});
        cases.push_back({stat, true, 3, {}});
    }
    std::vector<double> weights;
    for (int k = 0; k < inputs; ++k) weights.push_back(k % 3 == 1 ? 0 : 0.5 + k);
    cases.push_back({"mean", false, 0, weights});
    cases.push_back({"mean", true, 0, weights});
    cases.push_back({"mean", true, 2, weights});
    return cases;
}

}  // namespace

TEST(StackStatistic, StreamedResultEqualsTheMapsInMemoryForEveryRule)
{
    std::mt19937 random(11);
    const int inputs = 5;
    const std::vector<std::string> texts = RandomStack(inputs, 23, 9, random);
    std::vector<std::unique_ptr<TMap>> owned;
    std::vector<TMap*> maps;
    for (const std::string& text : texts) {
        std::istringstream in(text);
        owned.emplace_back(TARCGISFileTools::LoadARCGISFile(in));
        maps.push_back(owned.back().get());
    }
    for (const TRuleCase& test : EveryRule(inputs)) {
        const TStackRule rule = Rule(test.Stat, test.Skip, test.MinCount, test.Weights);
        std::unique_ptr<TMap> inMemory(TMapTools::CellStatistics(maps, rule));
        std::ostringstream expected;
        expected.precision(17);
        TARCGISFileTools::WriteARCGISFile(inMemory.get(), expected);

        TGridStackOptions options;
        options.Rule = rule;
        options.Digits = 17;
        options.BandCells = 10;
        TTextStreams inputs(texts);
        std::ostringstream streamed;
        TGridStack::WriteStreams(inputs.Pointers, streamed, options);
        EXPECT_EQ(streamed.str(), expected.str()) << test.Stat << " skip " << test.Skip << " min " << test.MinCount;
    }
}

namespace {

// Every statistic the rule takes, by name: all named ones, percentiles and threshold counts.
std::vector<std::string> EveryStatistic()
{
    std::vector<std::string> names;
    for (const TStatisticName& name : TStackStatistic::Names())
        if (!TStackStatistic::IsFamily(name.Name)) names.push_back(name.Name);
    for (const std::string name : {"p90", "p2.5", "p50", "p0", "gt:25", "ge:0", "lt:-1.5", "le:100", "eq:3"})
        names.push_back(name);
    return names;
}

// A stack of land-cover classes: small whole numbers, many of them equal, a tenth lacking data.
std::vector<std::string> ClassStack(int inputs, long columns, long rows, std::mt19937& random)
{
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<std::string> texts;
    for (int k = 0; k < inputs; ++k) {
        std::ostringstream text;
        text << "ncols " << columns << "\nnrows " << rows << "\nxllcorner 10\nyllcorner 20\ncellsize 0.5\nNODATA_value "
             << (k % 2 ? "255" : "-9999") << "\n";
        for (long c = 0; c < columns * rows; ++c) {
            const int p = pick(random);
            text << (p == 0 ? (k % 2 ? "255" : "-9999") : std::to_string(1 + p % 5)) << ' ';
        }
        texts.push_back(text.str());
    }
    return texts;
}

struct TStackCase {
    bool Skip;
    long MinCount;
    bool Weighted;
    std::string Range;  // LO,HI or empty
    std::vector<double> Times;
};

std::string Joined(const std::vector<double>& numbers)
{
    std::string text;
    for (double number : numbers) text += (text.empty() ? "" : ",") + TStringTools::ToString(number);
    return text.empty() ? "-" : text;
}

}  // namespace

TEST(StackStatistic, AgreesWithNumpyAndScipyOverTheSameValues)
{
    // One run per rule writes every statistic (or every weighted one) from one read; a script
    // checks each against numpy and scipy on stacks of decimals and of classes, each input with
    // its own no-data value.
    const std::string python = "/usr/bin/python3";
    if (std::system((python + " -c 'import numpy, scipy' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "numpy or scipy is missing";
    TScratchDir dir;
    std::mt19937 random(5);
    const int inputs = 7;
    const std::vector<double> weights = {1.5, 0, 2.5, 3.5, 0, 5.5, 6.5};
    const std::vector<double> uneven = {1991, 1993, 1993, 1998, 2001, 2002, 2010};
    const std::vector<TStackCase> cases = {
        {false, 0, false, "", {}},      {true, 0, false, "", {}},          {true, 3, false, "-1000,2000", {}},
        {true, 0, false, "0,", uneven}, {false, 0, true, "", {}},          {true, 2, true, ",1500", uneven},
    };
    const std::string script = std::string(GRIDMEAN_TEST_SOURCE_DIR) + "/stats/numpy_reference.py";
    for (const std::vector<std::string>& texts : {RandomStack(inputs, 13, 9, random), ClassStack(inputs, 13, 9, random)}) {
        std::vector<std::string> names;
        for (int k = 0; k < inputs; ++k)
            names.push_back(dir.Write("in" + std::to_string(k) + ".asc", texts[static_cast<size_t>(k)]));
        for (const TStackCase& test : cases) {
            TGridStackOptions options;
            options.Rule.SkipNoData = test.Skip || test.MinCount > 0;
            options.Rule.MinCount = test.MinCount;
            if (test.Weighted) options.Rule.Weights = weights;
            options.Rule.Times = test.Times;
            if (!test.Range.empty()) {
                const size_t comma = test.Range.find(',');
                options.Rule.HasLow = comma > 0;
                options.Rule.HasHigh = comma + 1 < test.Range.size();
                if (options.Rule.HasLow) options.Rule.Low = std::stod(test.Range.substr(0, comma));
                if (options.Rule.HasHigh) options.Rule.High = std::stod(test.Range.substr(comma + 1));
            }
            options.Digits = 17;
            options.NoData = -1e300;
            std::vector<std::string> outputs;
            std::string command = python + " " + Quoted(script) + " " + (options.Rule.SkipNoData ? "1" : "0") + " " +
                std::to_string(test.MinCount) + " " + (test.Weighted ? Joined(weights) : "-") + " " +
                (test.Range.empty() ? "-" : test.Range) + " " + Joined(test.Times) + " -1e300";
            for (const std::string& name : EveryStatistic()) {
                TStatisticSpec chosen;
                ASSERT_TRUE(TStackStatistic::ParseName(name, chosen));
                if (test.Weighted && !TStackStatistic::TakesWeights(chosen.Kind)) continue;
                options.Rule.Statistics.push_back(chosen);
                outputs.push_back(dir.Path("out" + std::to_string(outputs.size()) + ".asc"));
                command += " " + Quoted(name + "=" + outputs.back());
            }
            TGridStack::WriteFiles(names, outputs, options);
            command += " --";
            for (const std::string& name : names) command += " " + Quoted(name);
            EXPECT_EQ(std::system((command + " > " + Quoted(dir.Path("check.txt")) + " 2>&1").c_str()), 0)
                << "skip " << test.Skip << " min " << test.MinCount << " weighted " << test.Weighted << " range "
                << test.Range << ":\n"
                << ReadText(dir.Path("check.txt"));
        }
    }
}

TEST(StackStatistic, SeveralStatisticsFromOneReadAreTheSingleRuns)
{
    // Every statistic written from one read gives the bytes of its run alone, under every rule.
    std::mt19937 random(8);
    const std::vector<std::string> texts = RandomStack(6, 13, 7, random);
    for (const bool skip : {false, true}) {
        for (const long minCount : {0L, 2L}) {
            TGridStackOptions options;
            options.Rule.SkipNoData = skip || minCount > 0;
            options.Rule.MinCount = minCount;
            options.Digits = 17;
            std::vector<std::string> singles;
            for (const std::string& name : EveryStatistic()) {
                TStatisticSpec chosen;
                ASSERT_TRUE(TStackStatistic::ParseName(name, chosen));
                options.Rule.Statistics.push_back(chosen);
                TGridStackOptions one = options;
                one.Rule.Statistics = {chosen};
                TTextStreams streams(texts);
                std::ostringstream out;
                TGridStack::WriteStreams(streams.Pointers, out, one);
                singles.push_back(out.str());
            }
            TScratchDir dir;
            std::vector<std::string> names;
            std::vector<std::string> outputs;
            for (size_t k = 0; k < texts.size(); ++k) names.push_back(dir.Write("in" + std::to_string(k), texts[k]));
            for (size_t s = 0; s < singles.size(); ++s) outputs.push_back(dir.Path("out" + std::to_string(s)));
            TGridStack::WriteFiles(names, outputs, options);
            for (size_t s = 0; s < singles.size(); ++s)
                EXPECT_EQ(ReadText(outputs[s]), singles[s]) << EveryStatistic()[s] << " skip " << skip << " min " << minCount;
        }
    }
}

TEST(StackStatistic, GapsWithoutARangeAreThoseOfTheCountingRoad)
{
    // Without a range the gaps are or-ed two inputs and two cells at a time (for the least-squares
    // statistics, in the pass that fits the line); with the widest finite range they are counted
    // input by input and each cell is fitted alone. Over stretches of odd and even sizes, odd and
    // even numbers of inputs, a no-data value of each input's own and NaNs, both give
    // the same cells, whether NaN lacks data or holds it.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-5, 5);
    const std::vector<double> markers = {-9999, -1, 0, 3.5, -9999, 2, 7};
    const std::vector<std::vector<TStatisticSpec>> rules = {
        {{TStatisticKind::Mean, 50}, {TStatisticKind::Max, 50}},
        {{TStatisticKind::Slope, 50}, {TStatisticKind::Offset, 50}, {TStatisticKind::R2, 50},
         {TStatisticKind::TValue, 50}, {TStatisticKind::PValue, 50}},
    };
    for (const size_t inputs : {1, 2, 3, 6, 7}) {
        for (const size_t count : {1, 2, 255, 256, 257, 600}) {
            std::vector<std::vector<double>> bands(inputs, std::vector<double>(count));
            std::vector<const double*> pointers;
            for (size_t k = 0; k < inputs; ++k) {
                for (size_t c = 0; c < count; ++c) {
                    // Some cells constant, some on a line, the rest noise.
                    const double draw = value(random);
                    const double held = c % 7 == 3 ? 1.5 : c % 7 == 5 ? 0.25 * static_cast<double>(k) : draw;
                    bands[k][c] = draw > 4.7 ? markers[k] : draw < -4.8 ? kNaN : held;
                }
                pointers.push_back(bands[k].data());
            }
            for (const std::vector<TStatisticSpec>& statistics : rules) {
                for (const bool nanHoldsData : {false, true}) {
                    std::vector<std::vector<double>> results;
                    std::vector<std::vector<unsigned char>> marks;
                    for (const bool range : {false, true}) {
                        TStackRule rule;
                        rule.Statistics = statistics;
                        rule.NaNHoldsData = nanHoldsData;
                        rule.HasLow = rule.HasHigh = range;
                        rule.Low = -std::numeric_limits<double>::max();
                        rule.High = std::numeric_limits<double>::max();
                        const TStackStatistic statistic(rule, inputs);
                        std::vector<std::vector<double>> out(statistics.size(), std::vector<double>(count, 0));
                        std::vector<std::vector<unsigned char>> missing(statistics.size(),
                                                                        std::vector<unsigned char>(count, 2));
                        std::vector<double*> outs;
                        std::vector<unsigned char*> missingOuts;
                        for (size_t s = 0; s < statistics.size(); ++s) {
                            outs.push_back(out[s].data());
                            missingOuts.push_back(missing[s].data());
                        }
                        TStackStatistic::TScratch scratch;
                        statistic.Reduce(pointers.data(), markers.data(), count, outs.data(), missingOuts.data(),
                                         scratch);
                        for (size_t s = 0; s < statistics.size(); ++s) {
                            for (size_t c = 0; c < count; ++c)
                                if (missing[s][c]) out[s][c] = kMissing;  // undefined where missing
                            results.push_back(out[s]);
                            marks.push_back(missing[s]);
                        }
                    }
                    const size_t half = statistics.size();
                    const std::string where = std::to_string(inputs) + " inputs, " + std::to_string(count) +
                        " cells, " + std::to_string(half) + " statistics, NaN holds data " +
                        std::to_string(nanHoldsData);
                    for (size_t s = 0; s < half; ++s) {
                        EXPECT_EQ(marks[s], marks[half + s]) << where << ", statistic " << s;
                        EXPECT_EQ(Joined(results[s]), Joined(results[half + s])) << where << ", statistic " << s;
                    }
                    if (inputs >= 2) {
                        EXPECT_GT(std::count(marks[0].begin(), marks[0].end(), 0), 0) << where << ": every cell missing";
                    }
                }
            }
        }
    }
}
