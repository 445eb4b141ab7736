// gridmean: reduces two or more ESRI ASCII grids cell by cell into one output grid (by default
// their mean). Prints nothing on success; any failure is one line on standard output and exit
// status 1, and where it concerns one input, a second line on standard error names that input.

#include "app/TCommandOptions.h"
#include "app/TFailureHints.h"
#include "app/TProgressDisplay.h"
#include "files/TGridHeader.h"
#include "files/TGridHeaderText.h"
#include "stack/TGridStack.h"
#include "support/TFileMessages.h"
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

// The failure's message, as standard output shows it.
std::string Message(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const char* message) {
        return message;
    } catch (const std::string& message) {
        return message;
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& error) {
        return std::string("Unexpected error: ") + error.what();
    } catch (...) {
        return "Unexpected error";
    }
}

// Prints the message and gives the exit status.
int Fail(const std::string& message)
{
    std::cout << message << std::endl;
    if (message == TCommandOptions::kUsage) std::cerr << "gridmean: gridmean --help lists the options" << std::endl;
    return 1;
}

std::string Shown(const std::string& name) { return TFileMessages::Shown(name); }

// The line on standard error that names the input a failure concerns, or says what stopped the
// output, with what the user needs next.
void Blame(const TCommandOptions& options, const TStackBlame& blame, const std::string& message)
{
    if (blame.Input < 0 || static_cast<size_t>(blame.Input) >= options.Inputs.size()) {
        for (const std::string& output : options.Outputs) {
            if (message != TFileMessages::UnableToOpen(output)) continue;
            const std::string hint = TFailureHints::ForOutput(output);
            if (!hint.empty()) std::cerr << "gridmean: " << Shown(output) << hint << std::endl;
        }
        return;
    }
    const std::string& input = options.Inputs[static_cast<size_t>(blame.Input)];
    const std::string name = Shown(input);
    if (blame.Dimension) {
        const char* what = blame.Dimension == 'X' ? " columns, " : " rows, ";
        std::cerr << "gridmean: " << name << " has " << blame.Count << what << Shown(options.Inputs[0]) << " has "
                  << blame.FirstCount << std::endl;
    } else {
        std::cerr << "gridmean: in " << name << TFailureHints::ForInput(input, message, options.Stack.Read)
                  << std::endl;
    }
}

// Grids averaged by index whose corners or cell sizes differ: one warning line, since that is
// what the command does by default, but rarely what is meant.
class TGeometryWarning {
public:
    explicit TGeometryWarning(const std::vector<std::string>& inputs) : MbrRefInputs(inputs) {}

    void operator()(size_t input, const TGridHeader& header)
    {
        if (input == 0) {
            MbrFirst = header;
            return;
        }
        const char* value = MbrFirst.DifferingValue(header);
        if (MbrBlnWarned || !value) return;
        MbrBlnWarned = true;
        const auto of = [value](const TGridHeader& h) {
            const std::string which = value;
            return TGridHeaderText::GeoNumber(which == "xllcorner" ? h.XllCorner
                                              : which == "yllcorner" ? h.YllCorner
                                                                     : h.CellSize);
        };
        std::cerr << "gridmean: warning: " << Shown(MbrRefInputs[input]) << " has " << value << " " << of(header)
                  << ", " << Shown(MbrRefInputs[0]) << " has " << of(MbrFirst)
                  << "; the grids are matched cell by cell all the same (--check-geometry refuses them)" << std::endl;
    }

private:
    const std::vector<std::string>& MbrRefInputs;
    TGridHeader MbrFirst;
    bool MbrBlnWarned = false;
};

int Run(const std::vector<std::string>& arguments)
{
    TCommandOptions options = TCommandOptions::Parse(arguments);
    if (options.Help) {
        std::cout << TCommandOptions::HelpText();
        return 0;
    }
    if (options.Version) {
        std::cout << "gridmean " << GRIDMEAN_VERSION << std::endl;
        return 0;
    }
    // Georeferencing that no grid can have is always refused.
    options.Stack.RefuseUnusableGeoreferencing = true;
    options.Stack.CheckGeometry = options.CheckGeometry;
    // The coordinate system goes with the grid.
    options.Stack.CopyProjection = true;
    TGeometryWarning warning(options.Inputs);
    if (!options.CheckGeometry)
        options.Stack.CheckHeader = [&warning](size_t input, const TGridHeader& header) { warning(input, header); };
    std::unique_ptr<TProgressDisplay> progress;
    if (options.Progress) {
        progress = std::make_unique<TProgressDisplay>(stderr);
        options.Stack.Progress = [&progress](const TStackProgress& now) { progress->Update(now); };
    }
    TStackBlame blame;
    try {
        TGridStack::WriteFiles(options.Inputs, options.Outputs, options.Stack, &blame);
    } catch (...) {
        progress.reset();
        const std::string message = Message(std::current_exception());
        const int status = Fail(message);
        Blame(options, blame, message);
        return status;
    }
    progress.reset();
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
        return Fail(Message(std::current_exception()));
    }
}
