#include "files/TARCGISFileTools.h"

#include "grid/TMap.h"

#include <memory>

std::vector<TMap*> TARCGISFileTools::LoadFileList(std::vector<std::string> names)
{
    // Held until every file has been read, so that a failure part-way frees the maps read so far.
    std::vector<std::unique_ptr<TMap>> loaded;
    loaded.reserve(names.size());
    for (const std::string& name : names) {
        std::unique_ptr<TMap> map(LoadARCGISFile(name));
        loaded.push_back(std::move(map));
    }

    std::vector<TMap*> maps;
    maps.reserve(loaded.size());
    for (auto& map : loaded) maps.push_back(map.release());
    return maps;
}

void TARCGISFileTools::WriteFileList(std::vector<TMap*> maps, std::vector<std::string> names)
{
    if (maps.size() != names.size())
        throw "Size of map list and filename list do not match in TARCGISFileTools::WriteFileList";
    for (size_t i = 0; i < maps.size(); ++i) WriteARCGISFile(maps[i], names[i]);
}
