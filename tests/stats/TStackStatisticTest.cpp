#include "stats/TStackStatistic.h"

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"
#include "stack/TGridStack.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

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
    };
    for (const TCase& test : cases) {
        const double got = OneCell(test.Rule, test.Values, noData);
        EXPECT_DOUBLE_EQ(got, test.Expected) << "statistic " << static_cast<int>(test.Rule.Kind) << " skip "
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
    for (const std::string name : {"", "avg", "Mean", "p", "p101", "p-1", "p1.2.3", "p9x", "pp9", "median "})
        EXPECT_FALSE(TStackStatistic::ParseName(name, rule)) << name;
    for (const auto& [name, percent] : std::vector<std::pair<std::string, double>>{{"p0", 0}, {"p2.5", 2.5}, {"p100", 100}}) {
        ASSERT_TRUE(TStackStatistic::ParseName(name, rule));
        EXPECT_EQ(rule.Kind, TStatisticKind::Percentile);
        EXPECT_EQ(rule.Percentile, percent);
    }
    const std::vector<std::pair<TStackRule, std::string>> refused = {
        {Rule("mean", false, 0, {1, 2}), "Number of weights does not match the number of maps in TStackStatistic"},
        {Rule("mean", false, 0, {1, -1, 1}), "Weight is negative or not finite in TStackStatistic"},
        {Rule("mean", false, 0, {1, kNaN, 1}), "Weight is negative or not finite in TStackStatistic"},
        {Rule("median", false, 0, {1, 1, 1}), "Weights apply to the mean only in TStackStatistic"},
        {Rule("mean", true, 4), "Minimum count is out of range in TStackStatistic"},
    };
    for (const auto& entry : refused) {
        const TStackRule& bad = entry.first;
        EXPECT_EQ(ThrownMessage([&] { TStackStatistic(bad, 3); }), entry.second);
    }
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

TEST(StackStatistic, AgreesWithNumpyOverTheSameValues)
{
    const std::string python = "/usr/bin/python3";
    if (std::system((python + " -c 'import numpy' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "numpy is missing";
    TScratchDir dir;
    std::mt19937 random(5);
    const int inputs = 7;
    const std::vector<std::string> texts = RandomStack(inputs, 31, 17, random);
    std::vector<std::string> names;
    for (int k = 0; k < inputs; ++k) names.push_back(dir.Write("in" + std::to_string(k) + ".asc", texts[static_cast<size_t>(k)]));
    const std::string script = std::string(GRIDMEAN_TEST_SOURCE_DIR) + "/stats/numpy_reference.py";
    for (const TRuleCase& test : EveryRule(inputs)) {
        TGridStackOptions options;
        options.Rule = Rule(test.Stat, test.Skip, test.MinCount, test.Weights);
        options.Digits = 17;
        options.NoData = -1e300;
        const std::string out = dir.Path("out.asc");
        TGridStack::WriteFiles(names, out, options);
        std::string weights = "-";
        if (!test.Weights.empty()) {
            weights.clear();
            for (double weight : test.Weights) weights += (weights.empty() ? "" : ",") + std::to_string(weight);
        }
        std::string command = python + " " + Quoted(script) + " " + test.Stat + " " + (test.Skip ? "1" : "0") + " " +
            std::to_string(test.MinCount) + " " + weights + " -1e300 " + Quoted(out);
        for (const std::string& name : names) command += " " + Quoted(name);
        EXPECT_EQ(std::system((command + " > " + Quoted(dir.Path("check.txt")) + " 2>&1").c_str()), 0)
            << test.Stat << " skip " << test.Skip << " min " << test.MinCount << ": " << ReadText(dir.Path("check.txt"));
    }
}
