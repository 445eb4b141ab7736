// gridmean: reduces two or more ESRI ASCII grids cell by cell into one output grid (by default
// their mean). Prints nothing on success; any failure is one line on standard output and exit
// status 1, and where it concerns one input, a second line on standard error names that input.

#include "app/TCommandOptions.h"
#include "app/TProgressDisplay.h"
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

std::string Shown(const std::string& name) { return TFileMessages::Shown(name); }

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
        const int status = Fail(std::current_exception());
        Blame(options, blame);
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
        return Fail(std::current_exception());
    }
}
