#pragma once

#include <cstddef>
#include <string>

struct stat;

// A named output file that is never left half written.
// A path that names a regular file or nothing is written to a new temporary file in the same
// directory, which replaces the target only on Commit (keeping a replaced file's permission
// bits); a failure or a sink released without Commit removes the temporary file and leaves the
// target as it was. Other paths (links, devices, FIFOs) are written in place.
class TFileSink {
public:
    // Throws "Unable to open file " and the name when the output cannot be created.
    explicit TFileSink(const std::string& name);
    ~TFileSink();
    TFileSink(const TFileSink&) = delete;
    TFileSink& operator=(const TFileSink&) = delete;

    // Throws "Unable to write file " and the name.
    void Write(const char* data, size_t size);
    // Closes the file and puts it in place. Throws "Unable to write file " and the name.
    void Commit();

private:
    // Creates the temporary file beside the target; false (with errno set) when it cannot.
    bool OpenTemporary(const struct stat* replaced);
    [[noreturn]] void FailWrite();
    void Discard();

    std::string MbrStgName;
    std::string MbrStgTemporary;  // empty when writing in place
    int MbrIntDescriptor = -1;
};
