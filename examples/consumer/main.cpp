// griddiff: writes first - second of two ESRI ASCII grids of equal dimensions, cell by cell.
// A cell is no-data (the first grid's no-data value) where either grid lacks data.
// Prints nothing on success; a failure is one line on standard output and exit status 1.

#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "ops/TMapTools.h"

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv)
{
    try {
        if (argc != 4) throw "Usage: griddiff first_file second_file output_file";
        // The library returns raw owning pointers: hold each one at once so every path frees it.
        std::unique_ptr<TMap> first(TARCGISFileTools::LoadARCGISFile(std::string(argv[1])));
        std::unique_ptr<TMap> second(TARCGISFileTools::LoadARCGISFile(std::string(argv[2])));
        std::unique_ptr<TMap> difference(TMapTools::Subtract(first.get(), second.get()));
        TARCGISFileTools::WriteARCGISFile(difference.get(), std::string(argv[3]));
        return 0;
    } catch (const char* message) {
        std::cout << message << std::endl;
    } catch (const std::string& message) {
        std::cout << message << std::endl;
    }
    return 1;
}
