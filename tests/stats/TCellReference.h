#pragma once

// The cells of the cell-math tests and their peer: random cells of the sizes a stack meets, and
// numpy's and scipy's results for them through cellmath_reference.py.

#include "stats/TStackStatistic.h"

#include "TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

// The sizes of cell the random tests draw: one input, two, three, a few, a stack of forty, a year of days.
inline const std::vector<size_t>& CellSizes()
{
    static const std::vector<size_t> sizes = {1, 2, 3, 5, 40, 365};
    return sizes;
}

// Values of one cell: kind 0 normal with two decimals (some ties), 1 small integers (many ties),
// 2 near 4000 varying by millimetres (a large common offset), 3 spread over many magnitudes.
inline std::vector<double> RandomValues(std::mt19937& random, size_t n, int kind)
{
    std::normal_distribution<double> normal(0, 1);
    std::uniform_int_distribution<int> small(-3, 3);
    std::uniform_real_distribution<double> exponent(-30, 30);
    std::vector<double> values(n);
    for (double& value : values) {
        switch (kind) {
        case 0: value = std::round(normal(random) * 10000) / 100; break;
        case 1: value = small(random); break;
        case 2: value = 4000 + std::round(normal(random) * 1000) / 1e6; break;
        default: value = (normal(random) < 0 ? -1 : 1) * std::pow(10.0, exponent(random)); break;
        }
    }
    return values;
}

// Times of one cell: kind 0 the inputs' numbers 1..n, 1 years with gaps, 2 uneven and unsorted,
// 3 repeated (few distinct times, unsorted).
inline std::vector<double> RandomTimes(std::mt19937& random, size_t n, int kind)
{
    std::uniform_real_distribution<double> uneven(0, 100);
    std::uniform_int_distribution<int> gap(1, 3);
    std::uniform_int_distribution<int> repeated(0, static_cast<int>(n / 3));
    std::vector<double> times(n);
    double year = 1990;
    for (size_t i = 0; i < n; ++i) {
        switch (kind) {
        case 0: times[i] = static_cast<double>(i + 1); break;
        case 1: times[i] = year += gap(random); break;
        case 2: times[i] = std::round(uneven(random) * 1000) / 1000; break;
        default: times[i] = repeated(random); break;
        }
    }
    return times;
}

// Weights >= 0, about one in five 0 (but not all of them).
inline std::vector<double> RandomWeights(std::mt19937& random, size_t n)
{
    std::uniform_real_distribution<double> weight(0.1, 5);
    std::uniform_int_distribution<int> pick(0, 4);
    std::vector<double> weights(n);
    for (double& w : weights) w = pick(random) == 0 ? 0 : std::round(weight(random) * 100) / 100;
    weights[0] = weights[0] == 0 ? 1 : weights[0];
    return weights;
}

// Cases for cellmath_reference.py, run all at once.
class TCellReference {
public:
    // Whether /usr/bin/python3 has numpy and scipy (never under Wine).
    static bool Available()
    {
#ifdef _WIN32
        return false;
#else
        return std::system("/usr/bin/python3 -c 'import numpy, scipy.stats' > /dev/null 2>&1") == 0;
#endif
    }

    // A case: its name and fields of numbers (written with 17 digits, which read back exactly).
    void Add(const std::string& name, const std::vector<std::vector<double>>& fields)
    {
        MbrStgCases += name;
        for (const std::vector<double>& field : fields) {
            MbrStgCases += '|';
            for (double value : field) {
                char text[32];
                std::snprintf(text, sizeof text, "%.17g ", value);
                MbrStgCases += text;
            }
        }
        MbrStgCases += '\n';
    }

    // One row of results per case, in order; empty where the script failed.
    std::vector<std::vector<double>> Run() const
    {
        TScratchDir dir;
        const std::string cases = dir.Write("cases.txt", MbrStgCases);
        const std::string results = dir.Path("results.txt");
        const std::string script = std::string(GRIDMEAN_TEST_SOURCE_DIR) + "/stats/cellmath_reference.py";
        const std::string command = "/usr/bin/python3 " + Quoted(script) + " " + Quoted(cases) + " " + Quoted(results);
        std::vector<std::vector<double>> rows;
        if (std::system(command.c_str()) != 0) return rows;
        std::istringstream text(ReadText(results));
        for (std::string line; std::getline(text, line);) {
            std::istringstream fields(line);
            std::vector<double> row;
            for (std::string field; fields >> field;) row.push_back(std::strtod(field.c_str(), nullptr));
            rows.push_back(row);
        }
        return rows;
    }

private:
    std::string MbrStgCases;
};

// Whether got is within `relative` of expected, measured against `scale` (|expected| where 0).
inline bool Near(double got, double expected, double relative, double scale = 0)
{
    if (got == expected) return true;
    const double size = scale > 0 ? scale : std::fabs(expected);
    return std::fabs(got - expected) <= relative * size;
}

// Today's cell rule over one cell where every input holds the value given; `missing` where missing.
inline double StackRuleOf(const TStackRule& rule, const std::vector<double>& x, double missing)
{
    const TStackStatistic statistic(rule, x.size());
    std::vector<const double*> pointers;
    for (const double& value : x) pointers.push_back(&value);
    const std::vector<double> noData(x.size(), -9999);
    double out = 0;
    unsigned char lacking = 0;
    std::vector<double> scratch;
    statistic.Reduce(pointers.data(), noData.data(), 1, &out, &lacking, scratch);
    return lacking ? missing : out;
}
