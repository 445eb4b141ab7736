#pragma once

#include "stack/TGridStack.h"

#include <string>
#include <vector>

// The command line of gridmean: options first (the first argument that does not start with "-",
// or the one after "--", ends them), then two or more input grids and the output grid (or, with
// --output, input grids only).
struct TCommandOptions {
    TGridStackOptions Stack;
    bool Progress = false;
    bool CheckGeometry = false;
    bool Help = false;
    bool Version = false;
    std::vector<std::string> Inputs;
    // The output's name as given (it may hold {stat}), and one name per statistic.
    std::string Output;
    std::vector<std::string> Outputs;
    // The statistics' names as given, in order.
    std::vector<std::string> Statistics;

    // Reads the arguments after the program name. Throws the one-line message of the first option
    // error (naming the option), or the usage line when too few files follow the options.
    // Help and Version end the reading as soon as they are seen.
    static TCommandOptions Parse(const std::vector<std::string>& arguments);

    static const char* const kUsage;
    // The text of --help, made from the table of options that the parser reads.
    static std::string HelpText();
    // Every option's long name, in the order --help lists them.
    static std::vector<std::string> Names();
    // An output name for a statistic: {stat} replaced by the statistic's name as given without its
    // colon (gt:25 gives gt25), the same on every system.
    static std::string OutputName(const std::string& StgTemplate, const std::string& StgStatistic);
};
