// Fuzz target: the grid reader on arbitrary bytes. Any input must either give a map or fail with
// one of the reader's messages; nothing else may escape, crash or leak. A map with a positive
// cell size, written and read again, must write the same text again.

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<TMap> map;
    try {
        map.reset(TARCGISFileTools::LoadARCGISFile(in));
    } catch (const char*) {
        return 0;
    } catch (const std::string&) {
        return 0;
    }
    std::ostringstream first;
    TARCGISFileTools::WriteARCGISFile(map.get(), first);
    // A cell size of zero or less turns the grid over; such a file has no faithful text.
    if (!(map->GetResolution() > 0)) return 0;
    std::istringstream again(first.str());
    std::unique_ptr<TMap> back;
    try {
        back.reset(TARCGISFileTools::LoadARCGISFile(again));
    } catch (...) {
        // Only a header whose dimensions were accepted can reach here; its output must read back.
        std::abort();
    }
    std::ostringstream second;
    TARCGISFileTools::WriteARCGISFile(back.get(), second);
    if (first.str() != second.str()) std::abort();
    return 0;
}
