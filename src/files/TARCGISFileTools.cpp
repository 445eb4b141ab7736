#include "files/TARCGISFileTools.h"

#include "files/TByteSource.h"
#include "files/TFileSink.h"
#include "files/TGridTextReader.h"
#include "files/TTextWriter.h"
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"

#include <algorithm>
#include <memory>

namespace {

// Collects the values into rows of a map as they arrive.
class TMapBuilder {
public:
    TMapBuilder(TMap* map, long columns) : MbrPtrMap(map), MbrLngColumns(columns) {}
    void BeginRow(long)
    {
        // Rows grow with the values, so a header that claims more than the file holds costs nothing.
        MbrVecRow.reserve(static_cast<size_t>(std::min(MbrLngColumns, long(1) << 16)));
    }
    void Value(long, double value) { MbrVecRow.push_back(value); }
    void EndRow(long)
    {
        MbrPtrMap->AddRow(std::move(MbrVecRow));
        MbrVecRow = std::vector<double>();
    }

private:
    TMap* MbrPtrMap;
    long MbrLngColumns;
    std::vector<double> MbrVecRow;
};

// The edge axes of a grid: the Y edges from the southern edge northwards, the X edges from the
// western edge eastwards at the northern edge's y, each by repeated addition of the cell size.
void SetEdges(TMap* map, const TGridHeader& header)
{
    const double size = header.CellSize;
    TAxis yEdges(size, header.Rows + 1);
    double y = header.YllCorner;
    yEdges.SetPoint(header.Rows, new TPoint(header.XllCorner, y));
    for (long i = header.Rows - 1; i >= 0; --i) {
        y += size;
        yEdges.SetPoint(i, new TPoint(header.XllCorner, y));
    }
    TAxis xEdges(size, header.Columns + 1);
    double x = header.XllCorner;
    for (long i = 0; i <= header.Columns; ++i) {
        xEdges.SetPoint(i, new TPoint(x, y));
        x += size;
    }
    map->SetXAxisInterval(&xEdges);
    map->SetYAxisInterval(&yEdges);
}

TMap* LoadGrid(TByteSource& source)
{
    TGridTextReader reader(source);
    const TGridHeader header = reader.ReadHeader();
    auto map = std::make_unique<TMap>(header.CellSize, header.Columns, 0);
    map->SetNoDataValue(header.NoData);
    TMapBuilder builder(map.get(), header.Columns);
    reader.ReadCells(header, builder);
    SetEdges(map.get(), header);
    return map.release();
}

void WriteGrid(TMap* map, TTextWriter& writer)
{
    TAxis* xEdges = map->GetXAxisInterval();
    TAxis* yEdges = map->GetYAxisInterval();
    if (!xEdges || !yEdges) throw "Map has no interval axes in TARCGISFileTools::WriteARCGISFile";
    // Georeferencing keeps 15 significant digits: six would move a UTM grid by metres.
    constexpr int kGeoDigits = 15;
    const double south = std::min(yEdges->GetOrdinate(0, 'Y'), yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y'));

    writer.Put("ncols ");
    writer.PutLong(map->GetXDim());
    writer.Put("\nnrows ");
    writer.PutLong(map->GetYDim());
    writer.Put("\nxllcorner ");
    writer.PutGeneral(xEdges->GetOrdinate(0, 'X'), kGeoDigits, 8);
    writer.Put("\nyllcorner ");
    writer.PutGeneral(south, kGeoDigits, 8);
    writer.Put("\ncellsize ");
    writer.PutGeneral(map->GetResolution(), kGeoDigits);
    // Written like the cells, so that a no-data cell reads back equal to the no-data value.
    writer.Put("\nNODATA_value ");
    writer.PutValue(map->GetNoDataValue());
    writer.Put('\n');
    WriteValueRows(writer, map, ' ', true);
    writer.Flush();
}

}  // namespace

TMap* TARCGISFileTools::LoadARCGISFile(std::istream& stream)
{
    std::streambuf* buffer = stream.rdbuf();
    if (!buffer || !stream) throw "File format error: expected to find ncols tag";
    TStreamSource source(buffer);
    try {
        TMap* map = LoadGrid(source);
        if (source.ReachedEnd()) stream.setstate(std::ios_base::eofbit);
        return map;
    } catch (...) {
        stream.setstate(std::ios_base::failbit);
        throw;
    }
}

TMap* TARCGISFileTools::LoadARCGISFile(std::string name)
{
    TFileSource source(name);
    return LoadGrid(source);
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
    TFileSink file(name);
    {
        TTextWriter writer(file);
        WriteGrid(map, writer);
    }
    file.Commit();
}
