#pragma once

#include <map>
#include <ostream>
#include <vector>

class TMap;
class TMapPoint;
class TPoint;

// Stateless operations on maps. Every operation that returns a map returns a new map that the
// caller owns; no operation changes or releases the maps it is given, except Insert and
// FillBlock, which write into the map they are given. Failures are thrown as message texts.
// A cell "holds data" in a map when its value differs from that map's own no-data value.
class TMapTools {
public:
    TMapTools() = delete;

    // ---- Output of the value matrix ----------------------------------------------------------
    // Writes the value rows, row 0 first, each value followed by the separator and each row by a
    // line break, with the stream's number formatting. No header.
    static void WriteFlatFile(TMap* map, std::ostream& stream, char separator);
    // Writes one line "x,y,value" per cell (cell centres), column by column from the west, each
    // column from north to south, with the stream's number formatting.
    static void WriteCSVFile(TMap* map, std::ostream& stream);

    // ---- Averaging and stacking ----------------------------------------------------------------
    // Cell-wise sums in list order on the first map's geometry; a cell where any map lacks data
    // holds -9999. Throws "Must have more than 2 maps to sum in TMapTools::Sum" for fewer than two
    // maps, then "X-dimension of maps are inconsistent in TMapTools::Sum" or the Y form.
    static TMap* Sum(std::vector<TMap*> maps);
    // The number of maps holding data in each cell. Throws "X-dimension of maps are inconsistent in
    // TMapTools::DataCounts" or the Y form, and "No maps to count in TMapTools::DataCounts".
    static TMap* DataCounts(std::vector<TMap*> maps);
    // Dividend cell / the divisor's value at the cell centre, on the dividend's geometry and
    // no-data value; no-data in either gives the dividend's no-data value. Throws "Divisor must be
    // of equal of coarser resolution than the dividend in TMapTools::Divide" and the lookup's
    // messages for a centre outside the divisor.
    static TMap* Divide(TMap* dividend, TMap* divisor);
    // Cell-wise means where every map holds data, -9999 elsewhere; the messages of Sum.
    static TMap* Average(std::vector<TMap*> maps);
    // Average of every run of `window` consecutive maps (caller owns each); empty when the window
    // is longer than the list. The messages of Average.
    static std::vector<TMap*> MovingAverage(std::vector<TMap*> maps, int window);

    // ---- Cell-wise arithmetic and masks --------------------------------------------------------
    static TMap* Add(TMap* first, TMap* second);
    static TMap* Multiply(TMap* first, TMap* second);
    static TMap* Subtract(TMap* first, TMap* second);
    static TMap* Multiply(TMap* map, double factor);
    static TMap* Divide(TMap* map, double divisor);
    static TMap* RoundContents(TMap* map);
    static TMap* Threshold(TMap* map, double threshold);
    static std::vector<TMap*> Threshold(std::vector<TMap*> maps, double threshold);
    static TMap* ThresholdReplace(TMap* map, double threshold, double replacement);
    static TMap* ReplaceValue(TMap* map, std::map<double, double> table, double defaultValue);
    static TMap* Mask(TMap* first, TMap* second, double match, double replacement);
    static std::map<double, long> CountValues(TMap* map);
    static long CountValues(TMap* map, double value);

    // ---- Resampling and interpolation ----------------------------------------------------------
    static TMap* Downscale(TMap* map, double resolution);
    static TMap* BilinearInterpolate(TMap* map, double resolution);
    static TMap* Subdivide(TMap* map, int factor);
    static double BilinearInterpolate(double q11, double q21, double q12, double q22, double x, double x1, double x2,
                                      double y, double y1, double y2);
    static void BilinearInterpolate(TMapPoint* q11, TMapPoint* q21, TMapPoint* q12, TMapPoint* q22, TMapPoint* target);

    // ---- Cell queries and value series ---------------------------------------------------------
    static void FindPatchExtent(TMap* map, double value, long& firstRow, long& lastRow, long& firstColumn,
                                long& lastColumn);
    static double FindNonzeroNeighbourVal(TMap* map, long column, long row);
    static std::map<double, double> FetchMapValues(TMap* map, std::map<double, TMapPoint*> points);
    static std::vector<std::map<double, double>> FetchMapValues(std::vector<TMap*> maps,
                                                                 std::vector<std::map<double, TMapPoint*>> points);
    static std::map<double, TMapPoint*> GetFirstValues(TMap* map, std::vector<double> excluded);
    static std::vector<std::map<double, TMapPoint*>> GetFirstValues(std::vector<TMap*> maps,
                                                                    std::vector<double> excluded);
    static std::map<double, std::vector<double>> GetValuesOverlay(TMap* values, TMap* keys,
                                                                  std::vector<double> excludedKeys);
    static std::vector<double> GetValuesVector(std::vector<TMap*> maps, long column, long row, int first, int last);
    static std::vector<TMap*> ValueGradients(std::vector<TMap*> maps, int window);

    // ---- Cut, paste and intersect --------------------------------------------------------------
    static TMap* Extract(TMap* map, TPoint* corner, TPoint* oppositeCorner);
    static void Intersection(TMap* first, TMap* second, TMap*& firstPart, TMap*& secondPart);
    static void Insert(TMap* destination, TMap* inserted);
    static void FillBlock(TMap* map, double value, long firstRow, long lastRow, long firstColumn, long lastColumn);
    static void BufferIndices(TMap* map, long margin, long& firstRow, long& lastRow, long& firstColumn,
                              long& lastColumn);
};
