#pragma once

#include "stack/TGridStack.h"

#include <chrono>
#include <cstdio>
#include <string>

// How far a stack has come, on a stream (standard error): the share of rows done, the input read
// per second and the time left. On a terminal, one line redrawn at most ten times a second and
// cleared when the run ends; on a file or a pipe, a line of its own at every tenth of the rows.
class TProgressDisplay {
public:
    // `terminal`: whether the stream is a terminal (as isatty says, where it is not given).
    explicit TProgressDisplay(std::FILE* stream);
    TProgressDisplay(std::FILE* stream, bool terminal);
    ~TProgressDisplay();
    TProgressDisplay(const TProgressDisplay&) = delete;
    TProgressDisplay& operator=(const TProgressDisplay&) = delete;

    void Update(const TStackProgress& progress);
    // Blanks the line, so that what follows starts on a clean line.
    void Clear();

    // The text of the line, for a share done, bytes read and seconds elapsed.
    static std::string Line(double share, double bytes, double seconds);

private:
    std::FILE* MbrPtrStream;
    std::chrono::steady_clock::time_point MbrTimStart;
    std::chrono::steady_clock::time_point MbrTimDrawn;
    size_t MbrSizShown = 0;
    bool MbrBlnTerminal;
    int MbrIntTenths = 0;  // the tenths of the rows reported so far, off a terminal
};
