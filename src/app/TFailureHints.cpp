#include "app/TFailureHints.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TGridTextReader.h"
#include "sys/TSystemCalls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

// Reads every cell and keeps none.
struct TNoCells {
    void BeginRow(long) {}
    void Value(long, double) {}
    void EndRow(long) {}
};

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of(TSystemCalls::kPathSeparators);
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::string TFailureHints::OpenReason(const std::string& name)
{
    struct stat status;
    if (TSystemCalls::Lstat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
    const int descriptor = TSystemCalls::Open(name.c_str(), O_RDONLY);
    if (descriptor < 0) return std::strerror(errno);
    TSystemCalls::Close(descriptor);
    return "";
}

std::string TFailureHints::KindOfFile(const std::string& name)
{
    // The first bytes of the formats grids are most often kept in instead.
    unsigned char start[8] = {};
    try {
        TFileSource source(name);
        size_t got = 0;
        while (got < sizeof start) {
            const size_t more = source.Read(reinterpret_cast<char*>(start) + got, sizeof start - got);
            if (more == 0) break;
            got += more;
        }
    } catch (...) {
        return "";
    }
    if ((std::memcmp(start, "II*\0", 4) == 0) || (std::memcmp(start, "MM\0*", 4) == 0)) return "TIFF";
    if (std::memcmp(start, "\x89PNG", 4) == 0) return "PNG";
    if (std::memcmp(start, "CDF\x01", 4) == 0 || std::memcmp(start, "CDF\x02", 4) == 0 ||
        std::memcmp(start, "\x89HDF", 4) == 0)
        return "NetCDF";
    return "";
}

bool TFailureHints::ReadsLeniently(const std::string& name)
{
    try {
        std::unique_ptr<TByteSource> source = OpenGridSource(name);
        TGridReadOptions lenient;
        lenient.Lenient = true;
        TGridTextReader reader(*source, lenient);
        const TGridHeader header = reader.ReadHeader();
        TNoCells cells;
        reader.ReadCells(header, cells);
        return header.Columns > 0 && header.Rows > 0 && !header.UnusableValue();
    } catch (...) {
        return false;
    }
}

std::string TFailureHints::ForInput(const std::string& name, const std::string& message, const TGridReadOptions& read)
{
    if (StartsWith(message, "Unable to open file ")) {
        if (StartsWith(name, "--")) return ": options come before the files";
        const std::string reason = OpenReason(name);
        return reason.empty() ? "" : ": " + reason;
    }
    if (!StartsWith(message, "File format error") && !StartsWith(message, "Unexpected end of file")) return "";
    const std::string kind = KindOfFile(name);
    if (!kind.empty()) return ": not an ESRI ASCII grid (it looks like a " + kind + " file)";
    if (!read.Lenient && ReadsLeniently(name)) return " (--lenient reads it)";
    return "";
}

std::string TFailureHints::ForOutput(const std::string& name)
{
    struct stat status;
    if (TSystemCalls::Lstat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return ": " + std::string(std::strerror(EISDIR));
    const std::string parent = ParentOf(name);
    if (TSystemCalls::Lstat(parent.c_str(), &status) != 0) return ": " + std::string(std::strerror(errno));
    if (!S_ISDIR(status.st_mode)) return ": " + std::string(std::strerror(ENOTDIR));
#ifndef _WIN32
    if (::access(parent.c_str(), W_OK) != 0) return ": " + std::string(std::strerror(errno));
#endif
    return "";
}
