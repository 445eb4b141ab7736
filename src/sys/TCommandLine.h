#pragma once

#include <string>
#include <vector>

// A command's arguments as UTF-8 text on every system.
class TCommandLine {
public:
    TCommandLine() = delete;

    // The arguments that main received, the program's name first, in UTF-8. Linux passes them
    // through. Windows gives main its arguments in the ANSI code page, which loses every
    // character outside it, so there they are read again from the wide-character command line
    // (GetCommandLineW, CommandLineToArgvW) and argc and argv are not used. A command calls it
    // once, first: on Windows it also makes standard output and error binary, so that messages
    // end with "\n" as on Linux, and writes them to a console as UTF-16 (WriteConsoleW), so that
    // names show as typed whatever the console's code page.
    static std::vector<std::string> Arguments(int argc, char** argv);
};
