#include "app/TCommandOptions.h"

#include "text/TNumberParser.h"
#include "support/TStringTools.h"

#include <cmath>

const char* const TCommandOptions::kUsage = "Usage: gridmean file_1 file_2 file_n output_file";

const char* const TCommandOptions::kHelp =
    "Usage: gridmean [options] file_1 file_2 ... file_n output_file\n"
    "\n"
    "Reduces two or more ESRI ASCII grids (plain or gzip-compressed) cell by cell into one output\n"
    "grid: by default their mean where every input holds data. Options come before the files; \"--\"\n"
    "ends them. An output named *.gz is written compressed; a NAME.prj beside the first input is\n"
    "copied beside the output.\n"
    "\n"
    "Statistic and missing data:\n"
    "  --stat NAME        statistic per cell: mean (default), sum, count, min, max, range, median,\n"
    "                     stddev, variance (population), or pNN for a percentile (p90, p2.5)\n"
    "  --skip-nodata      use, per cell, the inputs that hold data there (default: a cell is missing\n"
    "                     wherever any input lacks data)\n"
    "  --min-count K      a cell where fewer than K inputs hold data is missing (implies --skip-nodata)\n"
    "  --weights W1,W2,.. one weight (finite, >= 0) per input for the mean: sum(w x) / sum(w)\n"
    "\n"
    "Output:\n"
    "  --nodata VALUE     the output's no-data value (default -9999)\n"
    "  --digits N         significant digits of written cells, 1 to 17 (default 6)\n"
    "\n"
    "Inputs:\n"
    "  --lenient          also read header variants: keywords in any case and order, xllcenter and\n"
    "                     yllcenter, dx and dy, no NODATA_value line, nan, decimal commas\n"
    "  --check-geometry   every input must match the first in corners, cell size and .prj file\n"
    "\n"
    "  --progress         show progress on standard error\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "\n"
    "Examples:\n"
    "  gridmean day_001.asc day_002.asc day_003.asc mean.asc\n"
    "  gridmean --skip-nodata --min-count 300 day_*.asc mean_2024.asc\n"
    "  gridmean --stat median --digits 8 member_*.asc.gz median.asc\n"
    "  gridmean --stat p90 --skip-nodata --nodata -1 year_*.asc p90.asc\n"
    "  gridmean --weights 1,2,1 a.asc b.asc c.asc weighted.asc\n";

namespace {

std::string Quote(const std::string& text) { return "\"" + TStringTools::EscapeControlCharacters(text) + "\""; }

bool ParseWhole(const std::string& text, long& value)
{
    const char* begin = text.data();
    return !text.empty() && text[0] != '-' && text[0] != '+' &&
        TNumberParser::ParseLong(begin, begin + text.size(), value) == TNumberParser::TParse::Ok;
}

bool ParseFinite(const std::string& text, double& value)
{
    const char* begin = text.data();
    return TNumberParser::ParseDouble(begin, begin + text.size(), value) == TNumberParser::TParse::Ok &&
        std::isfinite(value);
}

}  // namespace

TCommandOptions TCommandOptions::Parse(const std::vector<std::string>& arguments)
{
    TCommandOptions options;
    TStackRule& rule = options.Stack.Rule;
    std::string statistic;
    std::string weights;
    std::string minCount;
    size_t i = 0;
    for (; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "--") {
            ++i;
            break;
        }
        if (name.empty() || name[0] != '-') break;
        // Options that take a value read it from the next argument, or after "=".
        std::string value;
        bool inline_ = false;
        const size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inline_ = true;
        }
        auto takeValue = [&]() -> std::string {
            if (inline_) return value;
            if (i + 1 >= arguments.size()) throw "Option " + name + " needs a value";
            return arguments[++i];
        };
        auto noValue = [&] {
            if (inline_) throw "Option " + name + " takes no value";
        };
        if (name == "--help") {
            options.Help = true;
            return options;
        } else if (name == "--version") {
            options.Version = true;
            return options;
        } else if (name == "--stat") {
            statistic = takeValue();
            if (!TStackStatistic::ParseName(statistic, rule))
                throw "Option --stat: unknown statistic " + Quote(statistic) +
                    " (mean, sum, count, min, max, range, median, stddev, variance, or pNN from p0 to p100)";
        } else if (name == "--skip-nodata") {
            noValue();
            rule.SkipNoData = true;
        } else if (name == "--min-count") {
            minCount = takeValue();
            if (!ParseWhole(minCount, rule.MinCount) || rule.MinCount < 1)
                throw "Option --min-count: " + Quote(minCount) + " is not a whole number of at least 1";
            rule.SkipNoData = true;
        } else if (name == "--weights") {
            weights = takeValue();
            rule.Weights.clear();
            size_t start = 0;
            for (;;) {
                const size_t comma = weights.find(',', start);
                const std::string text = weights.substr(start, comma == std::string::npos ? comma : comma - start);
                double weight;
                if (!ParseFinite(text, weight) || weight < 0)
                    throw "Option --weights: " + Quote(text) + " is not a finite number of at least 0";
                rule.Weights.push_back(weight);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (name == "--nodata") {
            const std::string text = takeValue();
            if (!ParseFinite(text, options.Stack.NoData))
                throw "Option --nodata: " + Quote(text) + " is not a finite decimal number";
        } else if (name == "--digits") {
            const std::string text = takeValue();
            long digits;
            if (!ParseWhole(text, digits) || digits < 1 || digits > 17)
                throw "Option --digits: " + Quote(text) + " is not a whole number from 1 to 17";
            options.Stack.Digits = static_cast<int>(digits);
        } else if (name == "--progress") {
            noValue();
            options.Progress = true;
        } else if (name == "--lenient") {
            noValue();
            options.Stack.Read.Lenient = true;
        } else if (name == "--check-geometry") {
            noValue();
            options.CheckGeometry = true;
        } else {
            throw "Unknown option " + Quote(arguments[i]) + " (gridmean --help lists the options)";
        }
    }
    const std::vector<std::string> files(arguments.begin() + static_cast<long>(i), arguments.end());
    if (files.size() < 2) throw std::string(kUsage);
    options.Inputs.assign(files.begin(), files.end() - 1);
    options.Output = files.back();

    const size_t inputs = options.Inputs.size();
    if (!rule.Weights.empty()) {
        if (rule.Kind != TStatisticKind::Mean)
            throw "Option --weights applies to --stat mean only, not to --stat " + statistic;
        if (rule.Weights.size() != inputs)
            throw "Option --weights: " + std::to_string(rule.Weights.size()) + " weights for " +
                std::to_string(inputs) + " input" + (inputs == 1 ? "" : "s");
    }
    if (rule.MinCount > static_cast<long>(inputs))
        throw "Option --min-count: " + minCount + " is more than the " + std::to_string(inputs) + " input" +
            (inputs == 1 ? "" : "s");
    return options;
}
