#pragma once

#include "files/TGridReadOptions.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

class TMap;

// Reads and writes ESRI ASCII grid files: six header entries (ncols, nrows, xllcorner,
// yllcorner, cellsize, NODATA_value) and the cell values, north row first.
class TARCGISFileTools {
public:
    TARCGISFileTools() = delete;

    // Reads one grid from the stream's current position into a new map (caller owns), with its
    // interval axes built from the lower-left corner and cell size. The stream is left just after
    // the last value. Throws the "File format error: ..." messages of the header and of a value
    // that is not a finite decimal number, and "Unexpected end of file found in
    // TARCGISFileTools::LoadARCGISFile".
    static TMap* LoadARCGISFile(std::istream& StmInput);
    // The same from a named file; throws "Unable to open file " and the name when it cannot be read,
    // and "Unable to read file " and the name when reading fails part-way. A file that starts with
    // the gzip magic bytes is decompressed as it is read (concatenated members as one stream);
    // damaged gzip data throws "File format error: corrupt or truncated gzip data".
    static TMap* LoadARCGISFile(std::string StgFileName);
    // The same two, read as the options say (TGridReadOptions::Lenient: the header variants and
    // lenient numbers of TGridTextReader, with the messages of TGridTextReader::ReadHeader).
    static TMap* LoadARCGISFile(std::istream& StmInput, const TGridReadOptions& options);
    static TMap* LoadARCGISFile(std::string StgFileName, const TGridReadOptions& options);

    // Writes the header and the value rows (north row first). Cell values and the no-data value
    // follow the stream's number formatting; the corners and cell size are written with 15
    // significant digits. Throws "Map has no interval axes in TARCGISFileTools::WriteARCGISFile".
    static void WriteARCGISFile(TMap* PtrMap, std::ostream& StmOutput);
    // The same to a named file, which is replaced only once the whole grid is written; a name
    // that ends in ".gz" gets the grid gzip-compressed. Throws "Unable to open file " or
    // "Unable to write file " and the name.
    static void WriteARCGISFile(TMap* PtrMap, std::string StgFileName);

    // One new map per name, in order (caller owns them); on a failure the maps already read are
    // released and the failure is passed on.
    static std::vector<TMap*> LoadFileList(std::vector<std::string> VecFileNames);
    // Writes map i to name i. Throws "Size of map list and filename list do not match in
    // TARCGISFileTools::WriteFileList" before writing anything.
    static void WriteFileList(std::vector<TMap*> VecMaps, std::vector<std::string> VecFileNames);
};
