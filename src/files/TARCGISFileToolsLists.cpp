#include "files/TARCGISFileTools.h"

#include "grid/TMap.h"
#include "support/TOwnership.h"

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
    return TOwnership::ReleaseAll(loaded);
}

void TARCGISFileTools::WriteFileList(std::vector<TMap*> maps, std::vector<std::string> names)
{
    if (maps.size() != names.size())
        throw "Size of map list and filename list do not match in TARCGISFileTools::WriteFileList";
    for (size_t i = 0; i < maps.size(); ++i) WriteARCGISFile(maps[i], names[i]);
}
