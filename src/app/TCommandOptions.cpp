#include "app/TCommandOptions.h"

#include "picture/TColourRamp.h"
#include "support/TStringTools.h"
#include "text/TNumberParser.h"

#include <algorithm>
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

// What the options leave for the checks that need the inputs and the other options.
struct TParsed {
    std::string MinCount;
    std::string Times;
    bool OutputGiven = false;
    std::string Picture;  // --png as given
    const char* PictureOption = nullptr;  // the first picture option given without --png
};

using TApply = void (*)(TCommandOptions& options, const std::string& value, TParsed& parsed);

// One option: its name (and a short one, or null), the placeholder of its value (null for a
// flag), the group --help lists it under, its help text (lines after the first indented as the
// first), and what it does.
struct TOptionEntry {
    const char* Name;
    const char* Short;
    const char* Value;
    const char* Group;
    std::string (*Help)();
    TApply Apply;
    bool EndsReading = false;  // --help and --version: nothing after them is read, a value neither
    bool Repeats = false;      // may be given more than once (--stat adds to its list)
};

std::string StatisticHelp()
{
    std::string text = "statistic per cell: ";
    for (const TStatisticName& name : TStackStatistic::Names())
        text += std::string(name.Name) + (*name.Note ? std::string(" (") + name.Note + ")" : "") + ", ";
    text.resize(text.size() - 2);
    return text + "; a comma-separated list gives each from one read, to the output name with {stat} replaced by "
                  "its name";
}

void ApplyStatistic(TCommandOptions& options, const std::string& value, TParsed&)
{
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        const std::string name = value.substr(start, comma == std::string::npos ? comma : comma - start);
        TStatisticSpec chosen;
        if (!TStackStatistic::ParseName(name, chosen)) {
            for (const TStatisticName& family : TStackStatistic::Names()) {
                const std::string prefix(family.Name, std::string(family.Name).find(':') + 1);
                if (TStackStatistic::IsFamily(family.Name) && prefix.back() == ':' && name.compare(0, prefix.size(), prefix) == 0)
                    throw "Option --stat: " + Quote(name) + " needs a finite decimal number after " + Quote(prefix);
            }
            throw "Option --stat: unknown statistic " + Quote(name) + " (" + TStackStatistic::NameList() + ")";
        }
        for (const std::string& earlier : options.Statistics)
            if (earlier == name) throw "Option --stat: statistic " + Quote(name) + " is named twice";
        options.Statistics.push_back(name);
        options.Stack.Rule.Statistics.push_back(chosen);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}

void ApplyMinCount(TCommandOptions& options, const std::string& value, TParsed& parsed)
{
    TStackRule& rule = options.Stack.Rule;
    parsed.MinCount = value;
    if (!ParseWhole(value, rule.MinCount) || rule.MinCount < 1)
        throw "Option --min-count: " + Quote(value) + " is not a whole number of at least 1";
    rule.SkipNoData = true;
}

// The comma-separated numbers of an option's value: each a finite decimal number, and at least 0
// with `nonNegative`.
std::vector<double> NumberList(const std::string& option, const std::string& value, bool nonNegative)
{
    std::vector<double> numbers;
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        const std::string text = value.substr(start, comma == std::string::npos ? comma : comma - start);
        double number;
        if (!ParseFinite(text, number) || (nonNegative && number < 0))
            throw "Option " + option + ": " + Quote(text) +
                (nonNegative ? " is not a finite number of at least 0" : " is not a finite decimal number");
        numbers.push_back(number);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return numbers;
}

void ApplyWeights(TCommandOptions& options, const std::string& value, TParsed&)
{
    options.Stack.Rule.Weights = NumberList("--weights", value, true);
}

void ApplyRange(TCommandOptions& options, const std::string& value, TParsed&)
{
    TStackRule& rule = options.Stack.Rule;
    const size_t comma = value.find(',');
    if (comma == std::string::npos || value.find(',', comma + 1) != std::string::npos)
        throw "Option --range: " + Quote(value) + " is not LO,HI (either may be empty)";
    const std::string low = value.substr(0, comma);
    const std::string high = value.substr(comma + 1);
    for (const std::string* end : {&low, &high}) {
        double number;
        if (!end->empty() && !ParseFinite(*end, number))
            throw "Option --range: " + Quote(*end) + " is not a finite decimal number";
    }
    rule.HasLow = !low.empty() && ParseFinite(low, rule.Low);
    rule.HasHigh = !high.empty() && ParseFinite(high, rule.High);
    if (rule.HasLow && rule.HasHigh && rule.Low > rule.High)
        throw "Option --range: the low end " + low + " is above the high end " + high;
}

void ApplyTimes(TCommandOptions&, const std::string& value, TParsed& parsed) { parsed.Times = value; }

void ApplyColours(TCommandOptions& options, const std::string& value, TParsed& parsed)
{
    const std::vector<std::string>& names = TColourRamp::Names();
    if (std::find(names.begin(), names.end(), value) == names.end())
        throw "Option --colours: unknown colour ramp " + Quote(value) + " (" + TColourRamp::NameList() + ")";
    options.Stack.PictureRamp = value;
    if (!parsed.PictureOption) parsed.PictureOption = "--colours";
}

void ApplyPictureRange(TCommandOptions& options, const std::string& value, TParsed& parsed)
{
    const std::vector<double> ends = NumberList("--png-range", value, false);
    if (ends.size() != 2) throw "Option --png-range: " + Quote(value) + " is not LO,HI";
    if (!(ends[0] < ends[1]))
        throw "Option --png-range: the low end " + value.substr(0, value.find(',')) + " is not below the high end " +
            value.substr(value.find(',') + 1);
    options.Stack.HasPictureRange = true;
    options.Stack.PictureLow = ends[0];
    options.Stack.PictureHigh = ends[1];
    if (!parsed.PictureOption) parsed.PictureOption = "--png-range";
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
    using TOptions = TCommandOptions;
    static const std::vector<TOptionEntry> kEntries = {
        {"--stat", nullptr, "NAME", kStatisticGroup, StatisticHelp, ApplyStatistic, false, true},
        {"--skip-nodata", nullptr, nullptr, kStatisticGroup,
         [] {
             return std::string("use, per cell, the inputs that hold data there (default: a cell is missing\n"
                                "wherever any input lacks data)");
         },
         [](TOptions& options, const std::string&, TParsed&) { options.Stack.Rule.SkipNoData = true; }},
        {"--min-count", nullptr, "K", kStatisticGroup,
         [] { return std::string("a cell where fewer than K inputs hold data is missing (implies --skip-nodata)"); },
         ApplyMinCount},
        {"--weights", nullptr, "W1,W2,..", kStatisticGroup,
         [] {
             return std::string("one weight (finite, >= 0) per input for the mean: sum(w x) / sum(w); also for\n"
                                "sum, stddev, variance and the least-squares trends");
         },
         ApplyWeights},
        {"--range", nullptr, "LO,HI", kStatisticGroup,
         [] { return std::string("a value outside [LO, HI] lacks data (either end may be left empty: 0,)"); },
         ApplyRange},
        {"--times", nullptr, "LIST", kStatisticGroup,
         [] {
             return std::string("the trends' time of each input, T1,T2,... or START:STEP (default 0:1)");
         },
         ApplyTimes},
        {"--output", "-o", "FILE", kOutputGroup,
         [] { return std::string("the output grid (may hold {stat}); every file argument is then an input"); },
         [](TOptions& options, const std::string& value, TParsed& parsed) {
             options.Output = value;
             parsed.OutputGiven = true;
         }},
        {"--png", nullptr, "FILE", kOutputGroup,
         [] {
             return std::string("besides each output grid, a quick-look PNG picture of it (may hold {stat})");
         },
         [](TOptions&, const std::string& value, TParsed& parsed) { parsed.Picture = value; }},
        {"--colours", nullptr, "NAME", kOutputGroup,
         [] {
             std::string names;
             for (const std::string& name : TColourRamp::Names()) names += (names.empty() ? "" : ", ") + name;
             return "the picture's colours: " + names + " (" + TColourRamp::DefaultName(false) + " by default, " +
                 TColourRamp::DefaultName(true) + " for signed statistics, centred on 0)";
         },
         ApplyColours},
        {"--png-range", nullptr, "LO,HI", kOutputGroup,
         [] { return std::string("the values at the ends of the picture's colours (default: its 2nd and 98th percentile)"); },
         ApplyPictureRange},
        {"--nodata", nullptr, "VALUE", kOutputGroup,
         [] { return std::string("the output's no-data value (default -9999)"); }, ApplyNoData},
        {"--digits", nullptr, "N", kOutputGroup,
         [] { return std::string("significant digits of written cells, 1 to 17 (default 6)"); }, ApplyDigits},
        {"--lenient", nullptr, nullptr, kInputGroup,
         [] {
             return std::string("also read header variants: keywords in any case and order, xllcenter and\n"
                                "yllcenter, dx and dy, no NODATA_value line, nan, decimal commas");
         },
         [](TOptions& options, const std::string&, TParsed&) { options.Stack.Read.Lenient = true; }},
        {"--check-geometry", nullptr, nullptr, kInputGroup,
         [] { return std::string("every input must match the first in corners, cell size and .prj file"); },
         [](TOptions& options, const std::string&, TParsed&) { options.CheckGeometry = true; }},
        {"--progress", nullptr, nullptr, "", [] { return std::string("show progress on standard error"); },
         [](TOptions& options, const std::string&, TParsed&) { options.Progress = true; }},
        {"--help", "-h", nullptr, "", [] { return std::string("show this text"); },
         [](TOptions& options, const std::string&, TParsed&) { options.Help = true; }, true},
        {"--version", nullptr, nullptr, "", [] { return std::string("show the version"); },
         [](TOptions& options, const std::string&, TParsed&) { options.Version = true; }, true},
    };
    return kEntries;
}

const TOptionEntry* Find(const std::string& name)
{
    for (const TOptionEntry& entry : Entries())
        if (name == entry.Name || (entry.Short && name == entry.Short)) return &entry;
    return nullptr;
}

// The help lines of one option: its name and value, then its text from column 21.
std::string HelpLines(const TOptionEntry& entry)
{
    constexpr size_t kTextColumn = 21;
    std::string head = std::string("  ") + (entry.Short ? std::string(entry.Short) + ", " : "") + entry.Name +
        (entry.Value ? std::string(" ") + entry.Value : "");
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
        "       gridmean [options] -o output_file file_1 file_2 ... file_n\n"
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
        "  gridmean --weights 1,2,1 a.asc b.asc c.asc weighted.asc\n"
        "  gridmean --stat mean,p10,p90 -o summary_{stat}.asc day_*.asc.gz\n";
}

std::string TCommandOptions::OutputName(const std::string& name, const std::string& statistic)
{
    std::string shown = statistic;
    shown.erase(std::remove(shown.begin(), shown.end(), ':'), shown.end());
    std::string result = name;
    for (size_t at = result.find("{stat}"); at != std::string::npos; at = result.find("{stat}", at + shown.size()))
        result.replace(at, 6, shown);
    return result;
}

namespace {

// The times of --times: a list of one per input, or START:STEP.
std::vector<double> ParseTimes(const std::string& value, size_t inputs)
{
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        std::vector<double> times = NumberList("--times", value, false);
        if (times.size() != inputs)
            throw "Option --times: " + std::to_string(times.size()) + " times for " + std::to_string(inputs) + " input" +
                (inputs == 1 ? "" : "s");
        return times;
    }
    double start;
    double step;
    const std::string first = value.substr(0, colon);
    const std::string second = value.substr(colon + 1);
    if (!ParseFinite(first, start)) throw "Option --times: " + Quote(first) + " is not a finite decimal number";
    if (!ParseFinite(second, step)) throw "Option --times: " + Quote(second) + " is not a finite decimal number";
    if (step == 0) throw std::string("Option --times: the step of START:STEP must not be 0");
    std::vector<double> times;
    for (size_t k = 0; k < inputs; ++k) times.push_back(start + static_cast<double>(k) * step);
    return times;
}

// The checks that need the inputs and every option.
void CheckTogether(TCommandOptions& options, const TParsed& parsed)
{
    const size_t inputs = options.Inputs.size();
    TStackRule& rule = options.Stack.Rule;
    bool trends = false;
    for (size_t s = 0; s < options.Statistics.size(); ++s) {
        const TStatisticSpec& chosen = rule.Statistics[s];
        trends |= TStackStatistic::IsTrend(chosen.Kind);
        if (!rule.Weights.empty() && !TStackStatistic::TakesWeights(chosen.Kind))
            throw "Option --weights applies to --stat mean, sum, stddev, variance, slope, offset, r2, tvalue and "
                  "pvalue only, not to --stat " + options.Statistics[s];
    }
    if (!rule.Weights.empty() && rule.Weights.size() != inputs)
        throw "Option --weights: " + std::to_string(rule.Weights.size()) + " weights for " + std::to_string(inputs) +
            " input" + (inputs == 1 ? "" : "s");
    if (rule.MinCount > static_cast<long>(inputs))
        throw "Option --min-count: " + parsed.MinCount + " is more than the " + std::to_string(inputs) + " input" +
            (inputs == 1 ? "" : "s");
    if (!parsed.Times.empty()) {
        if (!trends)
            throw std::string("Option --times has no effect without a trend statistic (slope, offset, r2, tvalue, "
                              "pvalue, sen, sen-offset, mk-s, mk-z, mk-p)");
        rule.Times = ParseTimes(parsed.Times, inputs);
    }
}

// One picture name per statistic, {stat} replaced; none where it would be a grid's name.
void NamePictures(TCommandOptions& options, const TParsed& parsed)
{
    if (parsed.Picture.empty()) {
        if (parsed.PictureOption) throw "Option " + std::string(parsed.PictureOption) + " has no effect without --png";
        return;
    }
    const size_t count = options.Statistics.size();
    if (count > 1 && parsed.Picture.find("{stat}") == std::string::npos)
        throw "Option --png: " + std::to_string(count) + " statistics need {stat} in the picture name " +
            Quote(parsed.Picture) + " (as in mean_{stat}.png)";
    std::vector<std::string>& pictures = options.Stack.Pictures;
    for (size_t s = 0; s < count; ++s) {
        pictures.push_back(TCommandOptions::OutputName(parsed.Picture, options.Statistics[s]));
        if (std::find(options.Outputs.begin(), options.Outputs.end(), pictures.back()) != options.Outputs.end())
            throw "Option --png: " + Quote(pictures.back()) + " is also an output grid's name";
        for (size_t r = 0; r < s; ++r)
            if (pictures[r] == pictures[s])
                throw "Option --png: " + Quote(options.Statistics[r]) + " and " + Quote(options.Statistics[s]) +
                    " would both be drawn to " + Quote(pictures[s]);
    }
    options.Stack.StatisticNames = options.Statistics;
}

// One output name per statistic, {stat} replaced; two statistics in one name are refused.
void NameOutputs(TCommandOptions& options)
{
    const size_t count = options.Statistics.size();
    if (count > 1 && options.Output.find("{stat}") == std::string::npos)
        throw "Option --stat: " + std::to_string(count) + " statistics need {stat} in the output name " +
            Quote(options.Output) + " (as in mean_{stat}.asc)";
    for (size_t s = 0; s < count; ++s) {
        options.Outputs.push_back(TCommandOptions::OutputName(options.Output, options.Statistics[s]));
        for (size_t r = 0; r < s; ++r)
            if (options.Outputs[r] == options.Outputs[s])
                throw "Option --stat: " + Quote(options.Statistics[r]) + " and " + Quote(options.Statistics[s]) +
                    " would both be written to " + Quote(options.Outputs[s]);
    }
}

}  // namespace

TCommandOptions TCommandOptions::Parse(const std::vector<std::string>& arguments)
{
    TCommandOptions options;
    TParsed parsed;
    std::vector<const TOptionEntry*> given;
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
        if (!entry->Repeats && std::find(given.begin(), given.end(), entry) != given.end())
            throw "Option " + std::string(entry->Name) + " is given twice";
        given.push_back(entry);
        entry->Apply(options, value, parsed);
    }
    const std::vector<std::string> files(arguments.begin() + static_cast<long>(i), arguments.end());
    if (files.size() < (parsed.OutputGiven ? 1u : 2u)) throw std::string(kUsage);
    options.Inputs.assign(files.begin(), parsed.OutputGiven ? files.end() : files.end() - 1);
    if (!parsed.OutputGiven) options.Output = files.back();

    TStackRule& rule = options.Stack.Rule;
    if (options.Statistics.empty()) {
        options.Statistics.push_back("mean");
        rule.Statistics.push_back(TStatisticSpec());
    }
    CheckTogether(options, parsed);
    NameOutputs(options);
    NamePictures(options, parsed);
    // One statistic is the rule's own, as it always was; several are its list.
    if (rule.Statistics.size() == 1) {
        const TStatisticSpec chosen = rule.Statistics.front();
        rule.Statistics.clear();
        rule.Kind = chosen.Kind;
        (TStackStatistic::IsThreshold(chosen.Kind) ? rule.Threshold : rule.Percentile) = chosen.Parameter;
    }
    return options;
}
