#include "files/TARCGISFileTools.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TGridFormat.h"
#include "files/TGridTextReader.h"
#include "files/TGridWriter.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"

#include <algorithm>
#include <memory>

namespace {

const char* const kNoEdges = "Map has no interval axes in TARCGISFileTools::WriteARCGISFile";

void WriteGrid(TMap* map, TGridWriter& writer)
{
    TAxis* xEdges = map->GetXAxisInterval();
    TAxis* yEdges = map->GetYAxisInterval();
    if (!xEdges || !yEdges) throw kNoEdges;
    TGridHeader header;
    header.Columns = map->GetXDim();
    header.Rows = map->GetYDim();
    header.XllCorner = xEdges->GetOrdinate(0, 'X');
    header.YllCorner = std::min(yEdges->GetOrdinate(0, 'Y'), yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y'));
    header.CellSize = map->GetResolution();
    header.NoData = map->GetNoDataValue();
    writer.WriteHeader(header);
    // North row first: a map whose Y edges ascend has its north row last.
    const long rows = map->GetYDim();
    const bool reverse = rows > 1 && yEdges->GetOrdinate(0, 'Y') < yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y');
    for (long i = 0; i < rows; ++i) {
        const std::vector<double>& row = map->GetRowRef(reverse ? rows - 1 - i : i);
        writer.WriteRow(row.data(), row.size());
    }
    writer.Commit();
}

}  // namespace

TMap* TARCGISFileTools::LoadARCGISFile(std::istream& stream) { return LoadARCGISFile(stream, TGridReadOptions()); }

TMap* TARCGISFileTools::LoadARCGISFile(std::istream& stream, const TGridReadOptions& options)
{
    std::streambuf* buffer = stream.rdbuf();
    if (!buffer || !stream) throw TGridFormat::kNoNcolsTag;
    TStreamSource source(buffer);
    try {
        TMap* map = TGridTextReader(source, options).ReadMap();
        if (source.ReachedEnd()) stream.setstate(std::ios_base::eofbit);
        return map;
    } catch (...) {
        stream.setstate(std::ios_base::failbit);
        throw;
    }
}

TMap* TARCGISFileTools::LoadARCGISFile(std::string name) { return LoadARCGISFile(std::move(name), TGridReadOptions()); }

TMap* TARCGISFileTools::LoadARCGISFile(std::string StgFileName, const TGridReadOptions& options)
{
    std::unique_ptr<TByteSource> source = OpenGridSource(StgFileName);
    return TGridTextReader(*source, options).ReadMap();
}

void TARCGISFileTools::WriteARCGISFile(TMap* map, std::ostream& stream)
{
    // Cells and the no-data value follow the caller's stream formatting.
    TGridNumbers numbers;
    numbers.Digits = 0;
    TGridWriter writer(stream, numbers);
    WriteGrid(map, writer);
}

void TARCGISFileTools::WriteARCGISFile(TMap* map, std::string name)
{
    if (!map->GetXAxisInterval() || !map->GetYAxisInterval()) throw kNoEdges;
    TGridWriter writer(name, TGridNumbers());
    WriteGrid(map, writer);
}
