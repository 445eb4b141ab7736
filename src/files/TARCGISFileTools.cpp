#include "files/TARCGISFileTools.h"

#include "files/OpenGridSource.h"
#include "files/TByteSource.h"
#include "files/TFileSink.h"
#include "files/TGridHeaderText.h"
#include "files/TGridTextReader.h"
#include "files/TGzipSink.h"
#include "text/TTextWriter.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"

#include <algorithm>
#include <memory>

namespace {

void WriteGrid(TMap* map, TTextWriter& writer)
{
    TAxis* xEdges = map->GetXAxisInterval();
    TAxis* yEdges = map->GetYAxisInterval();
    if (!xEdges || !yEdges) throw "Map has no interval axes in TARCGISFileTools::WriteARCGISFile";
    const double south = std::min(yEdges->GetOrdinate(0, 'Y'), yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y'));
    writer.Put(TGridHeaderText::Geometry(map->GetXDim(), map->GetYDim(), xEdges->GetOrdinate(0, 'X'), south,
                                         map->GetResolution())
                   .c_str());
    // Written like the cells, so that a no-data cell reads back equal to the no-data value.
    writer.Put("NODATA_value ");
    writer.PutValue(map->GetNoDataValue());
    writer.Put('\n');
    // North row first: a map whose Y edges ascend has its north row last.
    const long rows = map->GetYDim();
    const bool reverse = rows > 1 && yEdges->GetOrdinate(0, 'Y') < yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y');
    for (long i = 0; i < rows; ++i) {
        const std::vector<double>& row = map->GetRowRef(reverse ? rows - 1 - i : i);
        writer.PutRow(row.data(), row.size(), ' ');
    }
    writer.Flush();
}

}  // namespace

TMap* TARCGISFileTools::LoadARCGISFile(std::istream& stream) { return LoadARCGISFile(stream, TGridReadOptions()); }

TMap* TARCGISFileTools::LoadARCGISFile(std::istream& stream, const TGridReadOptions& options)
{
    std::streambuf* buffer = stream.rdbuf();
    if (!buffer || !stream) throw "File format error: expected to find ncols tag";
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
    TTextWriter writer(stream);
    WriteGrid(map, writer);
}

void TARCGISFileTools::WriteARCGISFile(TMap* map, std::string name)
{
    if (!map->GetXAxisInterval() || !map->GetYAxisInterval())
        throw "Map has no interval axes in TARCGISFileTools::WriteARCGISFile";
    const std::string kGzip = ".gz";
    if (name.size() >= kGzip.size() && name.compare(name.size() - kGzip.size(), kGzip.size(), kGzip) == 0) {
        TGzipSink file(name);
        {
            TTextWriter writer(file);
            WriteGrid(map, writer);
        }
        file.Commit();
        return;
    }
    TFileSink file(name);
    {
        TTextWriter writer(file);
        WriteGrid(map, writer);
    }
    file.Commit();
}
