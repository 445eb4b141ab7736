#include "stack/TGridFileAverager.h"

#include "stack/TGridStack.h"

TMap* TGridFileAverager::AverageFiles(const std::vector<std::string>& VecFileNames)
{
    return TGridStack::ReduceFiles(VecFileNames, TGridStackOptions());
}

TMap* TGridFileAverager::AverageStreams(const std::vector<std::istream*>& VecStreams)
{
    return TGridStack::ReduceStreams(VecStreams, TGridStackOptions());
}
