#pragma once

#include "files/TGridReadOptions.h"

#include <string>
#include <vector>

// What a user needs next after a failure, for the line on standard error (standard output keeps
// the failure's own message): why a file could not be opened, that an option was given after
// the files, that --lenient reads a grid the strict reader refuses, or that a file is no ESRI
// ASCII grid at all.
class TFailureHints {
public:
    TFailureHints() = delete;

    // The hint for an input whose failure is `message`, or "" (" (--lenient reads it)", ": No such
    // file or directory", ": options come before the files", ": not an ESRI ASCII grid (it looks
    // like a TIFF file)").
    static std::string ForInput(const std::string& StgName, const std::string& StgMessage,
                                const TGridReadOptions& read);
    // The reason an output could not be opened (": Is a directory", ": No such file or directory",
    // ": Permission denied"), or "".
    static std::string ForOutput(const std::string& StgName);

private:
    static std::string OpenReason(const std::string& StgName);
    static std::string KindOfFile(const std::string& StgName);
    static bool ReadsLeniently(const std::string& StgName);
};
