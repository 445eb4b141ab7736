#pragma once

// Small literal grids and message checks shared by the tests.

#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using TRows = std::vector<std::vector<double>>;

// The message a call throws (as const char* or std::string), or "<no throw>".
template <class TCall>
std::string ThrownMessage(TCall call)
{
    try {
        call();
    } catch (const char* message) {
        return message;
    } catch (const std::string& message) {
        return message;
    }
    return "<no throw>";
}

// What compute() returns, or "error: " and the message it throws.
template <class TCompute>
std::string Outcome(TCompute compute)
{
    std::string result;
    const std::string message = ThrownMessage([&] { result = compute(); });
    return message == "<no throw>" ? result : "error: " + message;
}

// Text streams over the texts, for the roads that read streams: Pointers lists them in order.
class TTextStreams {
public:
    explicit TTextStreams(const std::vector<std::string>& texts)
    {
        for (const std::string& text : texts) {
            MbrStreams.push_back(std::make_unique<std::istringstream>(text));
            Pointers.push_back(MbrStreams.back().get());
        }
    }
    std::vector<std::istream*> Pointers;

private:
    std::vector<std::unique_ptr<std::istringstream>> MbrStreams;
};

// A stream buffer that hands out `chunk` bytes at a time and cannot seek, like a pipe: a read
// ahead of what a reader needs shows in what is left.
class TTrickleBuffer : public std::streambuf {
public:
    TTrickleBuffer(std::string text, size_t chunk) : MbrStgText(std::move(text)), MbrSizeChunk(chunk) {}

protected:
    int_type underflow() override
    {
        if (MbrSizeNext >= MbrStgText.size()) return traits_type::eof();
        const size_t count = std::min(MbrSizeChunk, MbrStgText.size() - MbrSizeNext);
        char* begin = &MbrStgText[MbrSizeNext];
        setg(begin, begin, begin + count);
        MbrSizeNext += count;
        return traits_type::to_int_type(*begin);
    }

private:
    std::string MbrStgText;
    size_t MbrSizeChunk;
    size_t MbrSizeNext = 0;
};

// A map holding the rows (row 0 first) with interval axes laid out as the grid reader lays them
// out: west edge x0, south edge y0, square cells of cellSize, Y edges descending from the north.
// With `ascending`, the Y edges ascend instead (row 0 is then the southern row).
inline std::unique_ptr<TMap> MakeMap(const TRows& rows, double x0 = 0, double y0 = 0, double cellSize = 1,
                                     double noData = -9999, bool ascending = false)
{
    const long columns = rows.empty() ? 0 : static_cast<long>(rows.front().size());
    auto map = std::make_unique<TMap>(cellSize, columns, 0);
    for (const auto& row : rows) map->AddRow(row);
    map->SetNoDataValue(noData);
    const long count = static_cast<long>(rows.size());
    TAxis yEdges(cellSize, count + 1);
    double y = y0;
    double north = y0;
    for (long k = 0; k <= count; ++k) {
        const long index = ascending ? k : count - k;
        yEdges.SetPoint(index, new TPoint(x0, y));
        north = y;
        y += cellSize;
    }
    TAxis xEdges(cellSize);
    double x = x0;
    for (long i = 0; i <= columns; ++i) {
        xEdges.AddPoint(new TPoint(x, north));
        x += cellSize;
    }
    map->SetXAxisInterval(&xEdges);
    map->SetYAxisInterval(&yEdges);
    return map;
}

// Every cell of the map, row 0 first.
inline TRows CellsOf(TMap* map)
{
    TRows rows;
    for (long y = 0; y < map->GetYDim(); ++y) rows.push_back(map->GetRow(y));
    return rows;
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <filesystem>
#include <random>
#include <system_error>
#else
#include <dirent.h>
#include <unistd.h>
#endif

// A file name (UTF-8) as the C++ streams take it: on Windows a path, whose wide characters reach
// the file system intact, where a narrow name would go through the ANSI code page.
#ifdef _WIN32
inline std::filesystem::path TestPath(const std::string& name) { return std::filesystem::u8path(name); }
#else
inline const std::string& TestPath(const std::string& name) { return name; }
#endif

// A fresh directory for one test's files, removed with everything in it at the end.
class TScratchDir {
public:
#ifdef _WIN32
    TScratchDir()
    {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && MbrStgPath.empty(); ++attempt) {
            const std::filesystem::path candidate = base / ("gridmean-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error)) MbrStgPath = candidate.u8string();
        }
    }
    ~TScratchDir()
    {
        std::error_code error;
        if (!MbrStgPath.empty()) std::filesystem::remove_all(TestPath(MbrStgPath), error);
    }
#else
    TScratchDir()
    {
        std::string pattern = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : std::string("/tmp")) +
            "/gridmean-test-XXXXXX";
        MbrStgPath = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TScratchDir()
    {
        if (!MbrStgPath.empty()) std::system(("rm -rf '" + MbrStgPath + "'").c_str());
    }
#endif
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    std::string Path(const std::string& name) const { return MbrStgPath + "/" + name; }
    const std::string& Root() const { return MbrStgPath; }

    std::string Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(TestPath(Path(name)), std::ios::binary) << text;
        return Path(name);
    }

private:
    std::string MbrStgPath;
};

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(TestPath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#ifdef _WIN32
inline bool FileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(TestPath(path), error);
}
#else
inline bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }
#endif

// The text quoted for a POSIX shell.
inline std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Whether a program is on PATH, for tests that compare with it (looked for through a POSIX
// shell, so never on Windows).
inline bool HaveProgram(const std::string& name)
{
#ifdef _WIN32
    (void)name;
    return false;
#else
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
#endif
}

// The names in a directory, sorted, without "." and "..".
inline std::vector<std::string> DirectoryEntries(const std::string& directory)
{
    std::vector<std::string> names;
#ifdef _WIN32
    std::error_code error;
    for (std::filesystem::directory_iterator entry(TestPath(directory), error), end; !error && entry != end;
         entry.increment(error))
        names.push_back(entry->path().filename().u8string());
#else
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
#endif
    std::sort(names.begin(), names.end());
    return names;
}
