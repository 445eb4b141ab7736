// Fuzz target: the averaging roads on two inputs. The bytes are split at the first "@@" into two
// grids. Averaging them while reading (folded into one grid, and band by band in the stack
// engine, in small bands on two threads) must give the same text, or the same message, as loading
// both and averaging the maps (where the engine's output is finite: it writes what is not as
// missing, and must read back); nothing may crash or leak.

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"
#include "stack/TGridFileAverager.h"
#include "stack/TGridStack.h"

#include "TestSupport.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find("@@");
    const std::string first = bytes.substr(0, split);
    const std::string second = split == std::string::npos ? std::string() : bytes.substr(split + 2);

    auto written = [](TMap* map) {
        std::unique_ptr<TMap> mean(map);
        std::ostringstream out;
        TARCGISFileTools::WriteARCGISFile(mean.get(), out);
        return out.str();
    };
    const std::string streamed = Outcome([&] {
        std::istringstream a(first);
        std::istringstream b(second);
        return written(TGridFileAverager::AverageStreams({&a, &b}));
    });
    const std::string banded = Outcome([&] {
        std::istringstream a(first);
        std::istringstream b(second);
        std::ostringstream out;
        TGridStackOptions options;
        options.Threads = 2;
        options.BandCells = 3;
        TGridStack::WriteStreams({&a, &b}, out, options);
        return out.str();
    });
    const std::string loaded = Outcome([&]() -> std::string {
        std::istringstream a(first);
        std::istringstream b(second);
        // The command refuses a grid without cells as soon as it has read it.
        auto load = [](std::istream& in) {
            std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(in));
            if (map->GetXDim() == 0 || map->GetYDim() == 0)
                throw "File format error: ncols and nrows must be greater than 0";
            return map;
        };
        std::unique_ptr<TMap> mapA = load(a);
        std::unique_ptr<TMap> mapB = load(b);
        return written(TMapTools::Average({mapA.get(), mapB.get()}));
    });
    if (streamed != loaded) std::abort();
    // The stack engine writes a result that is not finite as missing (and keeps an overflowing
    // mean finite), so that its output always reads back; elsewhere it writes what the maps give.
    const bool finite = loaded.find("inf") == std::string::npos && loaded.find("nan") == std::string::npos;
    if (finite ? banded != loaded : banded.rfind("error: ", 0) == 0) std::abort();
    if (!finite) {
        std::istringstream back(banded);
        std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(back));
    }
    return 0;
}
