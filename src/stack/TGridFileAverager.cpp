#include "stack/TGridFileAverager.h"

#include "stack/TGridStack.h"

namespace {

// The mean as TMapTools::Average computes it: the sum divided by the count, overflow and all.
TGridStackOptions AverageOptions()
{
    TGridStackOptions options;
    options.Rule.FiniteResults = false;
    return options;
}

}  // namespace

TMap* TGridFileAverager::AverageFiles(const std::vector<std::string>& VecFileNames)
{
    return TGridStack::ReduceFiles(VecFileNames, AverageOptions());
}

TMap* TGridFileAverager::AverageStreams(const std::vector<std::istream*>& VecStreams)
{
    return TGridStack::ReduceStreams(VecStreams, AverageOptions());
}
