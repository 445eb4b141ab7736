#include "stack/TGridFileAverager.h"

#include "stack/TGridStack.h"

TMap* TGridFileAverager::AverageFiles(const std::vector<std::string>& names)
{
    return TGridStack::ReduceFiles(names, TGridStackOptions());
}

TMap* TGridFileAverager::AverageStreams(const std::vector<std::istream*>& streams)
{
    return TGridStack::ReduceStreams(streams, TGridStackOptions());
}
