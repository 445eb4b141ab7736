// gridmean: averages two or more ESRI ASCII grids cell by cell into one output grid.
// Prints nothing on success; any failure is one line on standard output and exit status 1.

#include "stack/TGridStack.h"
#include "sys/TCommandLine.h"
#include "sys/TSignalCleanup.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message)
{
    std::cout << message << std::endl;
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file size limit then fails the write (and the output is cleaned up) instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    TSignalCleanup::Install();
    try {
        const std::vector<std::string> arguments = TCommandLine::Arguments(argc, argv);
        if (arguments.size() < 3) throw "Usage: gridmean file_1 file_2 file_n output_file";
        TGridStack::WriteFiles({arguments.begin() + 1, arguments.end() - 1}, arguments.back(), TGridStackOptions());
        return 0;
    } catch (const char* message) {
        return Fail(message);
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
