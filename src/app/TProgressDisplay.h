#pragma once

#include "stack/TGridStack.h"

#include <chrono>
#include <cstdio>
#include <string>

// One line on a stream (standard error) that shows how far a stack has come: the share of rows
// done, the input read per second and the time left; redrawn at most ten times a second and
// cleared when the run ends.
class TProgressDisplay {
public:
    explicit TProgressDisplay(std::FILE* stream);
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
};
