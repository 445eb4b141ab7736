// gridmean: reduces two or more ESRI ASCII grids cell by cell into one output grid (by default
// their mean). Prints nothing on success; any failure is one line on standard output and exit
// status 1, and where it concerns one input, a second line on standard error names that input.

#include "app/TCommandOptions.h"
#include "app/TProgressDisplay.h"
#include "files/TByteSource.h"
#include "files/TGridHeader.h"
#include "files/TGridHeaderText.h"
#include "files/TProjectionFiles.h"
#include "stack/TGridStack.h"
#include "support/TStringTools.h"
#include "sys/TCommandLine.h"
#include "sys/TSignalCleanup.h"
#include "sys/TSystemCalls.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message)
{
    std::cout << message << std::endl;
    return 1;
}

// Prints the failure's message and gives the exit status.
int Fail(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const char* message) {
        return Fail(std::string(message));
    } catch (const std::string& message) {
        return Fail(message);
    } catch (const std::bad_alloc&) {
        return Fail("Out of memory");
    } catch (const std::exception& error) {
        return Fail(std::string("Unexpected error: ") + error.what());
    } catch (...) {
        return Fail("Unexpected error");
    }
}

std::string Shown(const std::string& name) { return TStringTools::EscapeControlCharacters(name); }

// Refuses georeferencing that no grid can have, and with --check-geometry any input whose
// corners, cell size or coordinate system differ from the first's.
class THeaderCheck {
public:
    explicit THeaderCheck(const TCommandOptions& options) : MbrRefOptions(options) {}

    void operator()(size_t input, const TGridHeader& header)
    {
        if (const char* value = header.UnusableValue()) {
            const std::string name = value;
            if (name == "cellsize") throw "File format error: cellsize " + Number(header.CellSize) + " is not a positive finite number";
            const bool x = name == "xllcorner";
            throw "File format error: " + name + " " + Number(x ? header.XllCorner : header.YllCorner) + " with " +
                (x ? "ncols " + std::to_string(header.Columns) : "nrows " + std::to_string(header.Rows)) +
                " and cellsize " + Number(header.CellSize) + " puts an edge beyond the range of numbers";
        }
        if (!MbrRefOptions.CheckGeometry) return;
        const std::string& name = MbrRefOptions.Inputs[input];
        const std::string sidecar = TProjectionFiles::FindSidecar(name);
        const std::string projection = sidecar.empty() ? std::string() : TProjectionFiles::ReadText(sidecar);
        if (input == 0) {
            MbrFirst = header;
            MbrStgProjection = projection;
            MbrBlnProjection = !sidecar.empty();
            return;
        }
        const std::string& first = MbrRefOptions.Inputs[0];
        if (const char* value = MbrFirst.DifferingValue(header)) {
            const std::string which = value;
            auto of = [&which](const TGridHeader& h) {
                return Number(which == "xllcorner" ? h.XllCorner : which == "yllcorner" ? h.YllCorner : h.CellSize);
            };
            throw "Geometry differs: " + Shown(name) + " has " + which + " " + of(header) + ", " + Shown(first) + " has " +
                of(MbrFirst);
        }
        if (MbrBlnProjection && !sidecar.empty() && !TProjectionFiles::SameText(MbrStgProjection, projection))
            throw "Geometry differs: " + Shown(name) + " has another coordinate system (" + Shown(sidecar) + ") than " +
                Shown(first);
    }

private:
    static std::string Number(double value) { return TGridHeaderText::GeoNumber(value); }

    const TCommandOptions& MbrRefOptions;
    TGridHeader MbrFirst;
    std::string MbrStgProjection;
    bool MbrBlnProjection = false;
};

// The line on standard error that names the input a failure concerns.
void Blame(const TCommandOptions& options, const TStackBlame& blame)
{
    if (blame.Input < 0 || static_cast<size_t>(blame.Input) >= options.Inputs.size()) return;
    const std::string name = Shown(options.Inputs[static_cast<size_t>(blame.Input)]);
    if (blame.Dimension) {
        const char* what = blame.Dimension == 'X' ? " columns, " : " rows, ";
        std::cerr << "gridmean: " << name << " has " << blame.Count << what << Shown(options.Inputs[0]) << " has "
                  << blame.FirstCount << std::endl;
    } else {
        std::cerr << "gridmean: in " << name << std::endl;
    }
}

int Run(const std::vector<std::string>& arguments)
{
    TCommandOptions options = TCommandOptions::Parse(arguments);
    if (options.Help) {
        std::cout << TCommandOptions::kHelp;
        return 0;
    }
    if (options.Version) {
        std::cout << "gridmean " << GRIDMEAN_VERSION << std::endl;
        return 0;
    }
    THeaderCheck check(options);
    options.Stack.CheckHeader = [&check](size_t input, const TGridHeader& header) { check(input, header); };
    std::unique_ptr<TProgressDisplay> progress;
    if (options.Progress) {
        progress = std::make_unique<TProgressDisplay>(stderr);
        options.Stack.Progress = [&progress](const TStackProgress& now) { progress->Update(now); };
    }
    TStackBlame blame;
    try {
        TGridStack::WriteFiles(options.Inputs, options.Output, options.Stack, &blame);
    } catch (...) {
        progress.reset();
        const int status = Fail(std::current_exception());
        Blame(options, blame);
        return status;
    }
    progress.reset();
    // The coordinate system goes with the grid: the first input's projection file, copied once
    // the grid is in place.
    const std::string sidecar = TProjectionFiles::FindSidecar(options.Inputs[0]);
    if (!sidecar.empty() && TFileSource::NamesRegularFile(options.Output))
        TProjectionFiles::Copy(sidecar, TProjectionFiles::SidecarName(options.Output));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    TSystemCalls::OccupyStandardDescriptors();
    const std::vector<std::string> arguments = TCommandLine::Arguments(argc, argv);
#ifdef SIGXFSZ
    // A file size limit then fails the write (and the output is cleaned up) instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    TSignalCleanup::Install();
    TSystemCalls::RaiseDescriptorLimit();
    try {
        return Run(std::vector<std::string>(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()));
    } catch (...) {
        return Fail(std::current_exception());
    }
}
