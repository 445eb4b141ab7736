#pragma once

#include <istream>
#include <string>
#include <vector>

class TMap;

// Averages grid files cell by cell while reading them side by side (TGridStack), so memory stays
// near one grid of doubles however many files there are. The result equals TMapTools::Average of
// the loaded maps, and failures come with the same messages in the same order: the earliest file
// that fails to load wins, and a difference in dimensions is reported only once every file loaded.
class TGridFileAverager {
public:
    TGridFileAverager() = delete;

    // The mean grid (caller owns), on the first grid's cell centres, no-data value -9999; a cell
    // is averaged where every grid holds data. Throws the reader's messages, "File format error:
    // ncols and nrows must be greater than 0" for a grid without cells, then "Must have more than
    // 2 maps to sum in TMapTools::Sum" and the dimension messages of TMapTools::Sum.
    static TMap* AverageFiles(const std::vector<std::string>& VecFileNames);
    // The same over streams, each read from its current position.
    static TMap* AverageStreams(const std::vector<std::istream*>& VecStreams);
};
