#pragma once

// Small literal grids and message checks shared by the tests.

#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include <memory>
#include <string>
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
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

// A fresh directory for one test's files, removed with everything in it at the end.
class TScratchDir {
public:
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
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    std::string Path(const std::string& name) const { return MbrStgPath + "/" + name; }
    const std::string& Root() const { return MbrStgPath; }

    std::string Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

private:
    std::string MbrStgPath;
};

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The text quoted for a POSIX shell.
inline std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The names in a directory, sorted, without "." and "..".
inline std::vector<std::string> DirectoryEntries(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}
