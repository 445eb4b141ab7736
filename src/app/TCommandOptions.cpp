#include "app/TCommandOptions.h"

#include "support/TStringTools.h"
#include "text/TNumberParser.h"

#include <cmath>

const char* const TCommandOptions::kUsage = "Usage: gridmean file_1 file_2 file_n output_file";

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

// What the options leave for the checks that need the inputs.
struct TParsed {
    std::string Statistic;
    std::string MinCount;
};

using TApply = void (*)(TCommandOptions& options, const std::string& value, TParsed& parsed);

// One option: its name, the placeholder of its value (null for a flag), the group --help lists
// it under, its help text (lines after the first indented as the first), and what it does.
struct TOptionEntry {
    const char* Name;
    const char* Value;
    const char* Group;
    std::string (*Help)();
    TApply Apply;
    bool EndsReading = false;  // --help and --version: nothing after them is read, a value neither
};

std::string StatisticHelp()
{
    std::string text = "statistic per cell: ";
    for (const TStatisticName& name : TStackStatistic::Names())
        text += std::string(name.Name) + (*name.Note ? std::string(" (") + name.Note + ")" : "") + ", ";
    return text + "or pNN for a percentile (p90, p2.5)";
}

void ApplyStatistic(TCommandOptions& options, const std::string& value, TParsed& parsed)
{
    parsed.Statistic = value;
    if (!TStackStatistic::ParseName(value, options.Stack.Rule))
        throw "Option --stat: unknown statistic " + Quote(value) + " (" + TStackStatistic::NameList() + ")";
}

void ApplyMinCount(TCommandOptions& options, const std::string& value, TParsed& parsed)
{
    TStackRule& rule = options.Stack.Rule;
    parsed.MinCount = value;
    if (!ParseWhole(value, rule.MinCount) || rule.MinCount < 1)
        throw "Option --min-count: " + Quote(value) + " is not a whole number of at least 1";
    rule.SkipNoData = true;
}

void ApplyWeights(TCommandOptions& options, const std::string& value, TParsed&)
{
    std::vector<double>& weights = options.Stack.Rule.Weights;
    weights.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        const std::string text = value.substr(start, comma == std::string::npos ? comma : comma - start);
        double weight;
        if (!ParseFinite(text, weight) || weight < 0)
            throw "Option --weights: " + Quote(text) + " is not a finite number of at least 0";
        weights.push_back(weight);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}

void ApplyNoData(TCommandOptions& options, const std::string& value, TParsed&)
{
    if (!ParseFinite(value, options.Stack.NoData))
        throw "Option --nodata: " + Quote(value) + " is not a finite decimal number";
}

void ApplyDigits(TCommandOptions& options, const std::string& value, TParsed&)
{
    long digits;
    if (!ParseWhole(value, digits) || digits < 1 || digits > 17)
        throw "Option --digits: " + Quote(value) + " is not a whole number from 1 to 17";
    options.Stack.Digits = static_cast<int>(digits);
}

const char* const kStatisticGroup = "Statistic and missing data";
const char* const kOutputGroup = "Output";
const char* const kInputGroup = "Inputs";

const std::vector<TOptionEntry>& Entries()
{
    static const std::vector<TOptionEntry> kEntries = {
        {"--stat", "NAME", kStatisticGroup, StatisticHelp, ApplyStatistic},
        {"--skip-nodata", nullptr, kStatisticGroup,
         [] {
             return std::string("use, per cell, the inputs that hold data there (default: a cell is missing\n"
                                "wherever any input lacks data)");
         },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.Stack.Rule.SkipNoData = true; }},
        {"--min-count", "K", kStatisticGroup,
         [] { return std::string("a cell where fewer than K inputs hold data is missing (implies --skip-nodata)"); },
         ApplyMinCount},
        {"--weights", "W1,W2,..", kStatisticGroup,
         [] { return std::string("one weight (finite, >= 0) per input for the mean: sum(w x) / sum(w)"); },
         ApplyWeights},
        {"--nodata", "VALUE", kOutputGroup, [] { return std::string("the output's no-data value (default -9999)"); },
         ApplyNoData},
        {"--digits", "N", kOutputGroup,
         [] { return std::string("significant digits of written cells, 1 to 17 (default 6)"); }, ApplyDigits},
        {"--lenient", nullptr, kInputGroup,
         [] {
             return std::string("also read header variants: keywords in any case and order, xllcenter and\n"
                                "yllcenter, dx and dy, no NODATA_value line, nan, decimal commas");
         },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.Stack.Read.Lenient = true; }},
        {"--check-geometry", nullptr, kInputGroup,
         [] { return std::string("every input must match the first in corners, cell size and .prj file"); },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.CheckGeometry = true; }},
        {"--progress", nullptr, "", [] { return std::string("show progress on standard error"); },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.Progress = true; }},
        {"--help", nullptr, "", [] { return std::string("show this text"); },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.Help = true; }, true},
        {"--version", nullptr, "", [] { return std::string("show the version"); },
         [](TCommandOptions& options, const std::string&, TParsed&) { options.Version = true; }, true},
    };
    return kEntries;
}

const TOptionEntry* Find(const std::string& name)
{
    for (const TOptionEntry& entry : Entries())
        if (name == entry.Name) return &entry;
    return nullptr;
}

// The help lines of one option: its name and value, then its text from column 21.
std::string HelpLines(const TOptionEntry& entry)
{
    constexpr size_t kTextColumn = 21;
    std::string head = std::string("  ") + entry.Name + (entry.Value ? std::string(" ") + entry.Value : "");
    head.append(head.size() < kTextColumn ? kTextColumn - head.size() : 1, ' ');
    const std::string indent(kTextColumn, ' ');
    // The text as given, wrapped where it runs past 100 columns.
    std::string lines = head;
    size_t column = head.size();
    const std::string text = entry.Help();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(" \n", start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (column > kTextColumn && column + 1 + word.size() > 100) {
            lines += "\n" + indent;
            column = kTextColumn;
        } else if (column > kTextColumn) {
            lines += ' ';
            ++column;
        }
        lines += word;
        column += word.size();
        if (end < text.size() && text[end] == '\n') {
            lines += "\n" + indent;
            column = kTextColumn;
        }
        start = end + 1;
    }
    return lines + "\n";
}

}  // namespace

std::vector<std::string> TCommandOptions::Names()
{
    std::vector<std::string> names;
    for (const TOptionEntry& entry : Entries()) names.push_back(entry.Name);
    return names;
}

std::string TCommandOptions::HelpText()
{
    std::string text =
        "Usage: gridmean [options] file_1 file_2 ... file_n output_file\n"
        "\n"
        "Reduces two or more ESRI ASCII grids (plain or gzip-compressed) cell by cell into one output\n"
        "grid: by default their mean where every input holds data. Options come before the files; \"--\"\n"
        "ends them. An output named *.gz is written compressed; a NAME.prj beside the first input is\n"
        "copied beside the output.\n";
    std::string group = "-";
    for (const TOptionEntry& entry : Entries()) {
        if (entry.Group != group) {
            group = entry.Group;
            text += group.empty() ? "\n" : "\n" + group + ":\n";
        }
        text += HelpLines(entry);
    }
    return text +
        "\n"
        "Examples:\n"
        "  gridmean day_001.asc day_002.asc day_003.asc mean.asc\n"
        "  gridmean --skip-nodata --min-count 300 day_*.asc mean_2024.asc\n"
        "  gridmean --stat median --digits 8 member_*.asc.gz median.asc\n"
        "  gridmean --stat p90 --skip-nodata --nodata -1 year_*.asc p90.asc\n"
        "  gridmean --weights 1,2,1 a.asc b.asc c.asc weighted.asc\n";
}

TCommandOptions TCommandOptions::Parse(const std::vector<std::string>& arguments)
{
    TCommandOptions options;
    TParsed parsed;
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
        const TOptionEntry* entry = Find(name);
        if (!entry) throw "Unknown option " + Quote(arguments[i]) + " (gridmean --help lists the options)";
        if (entry->EndsReading) {
            entry->Apply(options, value, parsed);
            return options;
        }
        if (!entry->Value && inline_) throw "Option " + name + " takes no value";
        if (entry->Value && !inline_) {
            if (i + 1 >= arguments.size()) throw "Option " + name + " needs a value";
            value = arguments[++i];
        }
        entry->Apply(options, value, parsed);
    }
    const std::vector<std::string> files(arguments.begin() + static_cast<long>(i), arguments.end());
    if (files.size() < 2) throw std::string(kUsage);
    options.Inputs.assign(files.begin(), files.end() - 1);
    options.Output = files.back();

    const size_t inputs = options.Inputs.size();
    const TStackRule& rule = options.Stack.Rule;
    if (!rule.Weights.empty()) {
        if (rule.Kind != TStatisticKind::Mean)
            throw "Option --weights applies to --stat mean only, not to --stat " + parsed.Statistic;
        if (rule.Weights.size() != inputs)
            throw "Option --weights: " + std::to_string(rule.Weights.size()) + " weights for " +
                std::to_string(inputs) + " input" + (inputs == 1 ? "" : "s");
    }
    if (rule.MinCount > static_cast<long>(inputs))
        throw "Option --min-count: " + parsed.MinCount + " is more than the " + std::to_string(inputs) + " input" +
            (inputs == 1 ? "" : "s");
    return options;
}
