#pragma once

#include "files/TGridReadOptions.h"
#include "stats/TStackStatistic.h"
#include "grid/TNoData.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

struct TGridHeader;
class TMap;

// How far a stack has come, for a progress display.
struct TStackProgress {
    uint64_t CellsDone = 0;   // cells read, over every input
    uint64_t CellsTotal = 0;  // cells the inputs' headers announce
    uint64_t BytesRead = 0;   // bytes read from the inputs
};

struct TGridStackOptions {
    TStackRule Rule;
    TGridReadOptions Read;
    // Significant digits of the written cells, 1 to 17 (6 is the %g of a default output stream).
    int Digits = 6;
    // The result's no-data value, written (in the header and in missing cells) so that it reads
    // back exactly; a computed value equal to it is still written as the value.
    double NoData = TNoData::kDefault;
    // Threads to use, counting the caller; 0 for every processor this process may run on.
    unsigned Threads = 0;
    // Cells per band and input; 0 to choose from the number of inputs.
    size_t BandCells = 0;
    // Called after every band, on the calling thread.
    std::function<void(const TStackProgress&)> Progress;
    // Refuses an input whose cell size is not a positive finite number, or whose corners or edges
    // are not finite: "File format error: cellsize -30 is not a positive finite number", "File
    // format error: xllcorner 1e+308 with ncols 3 and cellsize 1e+308 puts an edge beyond the range
    // of numbers" (or the yllcorner form with nrows).
    bool RefuseUnusableGeoreferencing = false;
    // Requires every input to match the first in corners and cell size to within a millionth of a
    // cell ("Geometry differs: NAME has xllcorner X, FIRST has Y", or yllcorner, cellsize), and
    // named files also in their .prj files where both have one ("Geometry differs: NAME has
    // another coordinate system (NAME.prj) than FIRST"). Streams are named "input 1", "input 2"...
    bool CheckGeometry = false;
    // Named output files get a copy of the first input's projection file (TProjectionFiles::
    // FindSidecar) beside them under their own names (SidecarName), where the output is a file
    // replaced by a rename: read before anything is written (at most TProjectionFiles::
    // kMaxTextSize bytes), written to a temporary file as the grid is finished, and renamed
    // right after the grid. A target that is no file to replace fails the run before anything is.
    bool CopyProjection = false;
    // WriteFiles with names: a quick-look PNG picture of output s where Pictures[s] is not empty
    // (Pictures empty, or one name per output), written as safely as the grid and only with it;
    // its colour ramp (one of the picture's ramp names, empty for the statistic's default) and
    // the values at the ramp's ends (by default the 2nd and 98th percentile of its pixels).
    std::vector<std::string> Pictures;
    std::string PictureRamp;
    bool HasPictureRange = false;
    double PictureLow = 0;
    double PictureHigh = 0;
    // The statistics' names as the pictures' legends give them, one per statistic; empty for the
    // names TStackStatistic::NameOf gives.
    std::vector<std::string> StatisticNames;
    // Called with each input's header as soon as it is read, after the checks above; what it
    // throws counts as that input's failure to load.
    std::function<void(size_t input, const TGridHeader& header)> CheckHeader;
};

// Which input a failure concerns, for a caller that names it.
struct TStackBlame {
    // The input whose failure was reported, or -1 when the failure concerns none (too few inputs,
    // the output).
    long Input = -1;
    // For a difference in dimensions: 'X' (columns) or 'Y' (rows), the input's count and the
    // first input's; otherwise 0.
    char Dimension = 0;
    long Count = 0;
    long FirstCount = 0;
};

// Reduces a stack of grids cell by cell while reading them side by side, a band of cells at a
// time, so that memory does not grow with the grids: each input's band is parsed (several inputs
// at once on several processors), the band is reduced by the statistic's cell rule, and the
// result rows are formatted and written while the next band is read.
//
// The result lies on the first grid's cell centres, as TMapTools::Average's result does, with the
// first grid's dimensions and cell size. With the default options it is, byte for byte, what
// loading every grid, TMapTools::Average and TARCGISFileTools::WriteARCGISFile give.
//
// Failures are reported as if the grids were loaded one after another: the earliest input that
// fails to load (its reader's message, or "File format error: ncols and nrows must be greater
// than 0" for a grid without cells) wins, even when a later input's failure was found first; then
// "Must have more than 2 maps to sum in TMapTools::Sum" for fewer than two inputs; then
// "X-dimension of maps are inconsistent in TMapTools::Sum" (or the Y form) for the first input
// whose dimensions differ from the first's; then the output's messages. Nothing is written to the
// output after a failure.
class TGridStack {
public:
    TGridStack() = delete;

    // Reads the named grids (gzip-compressed ones too) and writes the result to the named file,
    // gzip-compressed when the name ends in ".gz", replaced only when whole. Throws "Unable to
    // open file ", "Unable to read file " or "Unable to write file " and the name, the readers'
    // messages, the statistic's messages and the messages above; and, before reading anything,
    // "Too many inputs that are not regular files: N, at most M can be open at once" when more
    // FIFOs and devices are named than descriptors may be open (regular files of any number are
    // read, giving their descriptors back between reads).
    static void WriteFiles(const std::vector<std::string>& VecInputs, const std::string& StgOutput,
                           const TGridStackOptions& options, TStackBlame* blame = nullptr);
    // Several statistics from one read (options.Rule.Statistics), output s getting statistic s
    // (and its picture, options.Pictures). Throws "Number of pictures does not match the number of
    // outputs in TGridStack" too.
    // Every output is written as one is, and none replaces its target before all are whole and
    // forced to disk; a failure while they are put in place names, after its message, those
    // already replaced (" (already replaced: A, B)"). Throws "Number of outputs does not match
    // the number of statistics in TGridStack" before anything is read, and WriteFiles' messages.
    static void WriteFiles(const std::vector<std::string>& VecInputs, const std::vector<std::string>& VecOutputs,
                           const TGridStackOptions& options, TStackBlame* blame = nullptr);
    // The same from streams, each read from its current position and left just after its grid's
    // last value (or where its failure was found), into a stream.
    static void WriteStreams(const std::vector<std::istream*>& VecInputs, std::ostream& StmOutput,
                             const TGridStackOptions& options, TStackBlame* blame = nullptr);

    // The result as a new map (caller owns) on the first grid's cell centres, with options.NoData
    // as its no-data value, instead of a written file: memory for one grid of doubles. With the
    // default options it is TMapTools::Average of the loaded grids. The messages of WriteFiles
    // (of WriteStreams), but for the output's.
    static TMap* ReduceFiles(const std::vector<std::string>& VecInputs, const TGridStackOptions& options,
                             TStackBlame* blame = nullptr);
    static TMap* ReduceStreams(const std::vector<std::istream*>& VecInputs, const TGridStackOptions& options,
                               TStackBlame* blame = nullptr);
};
