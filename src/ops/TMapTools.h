#pragma once

#include "grid/TNoData.h"

#include <map>
#include <ostream>
#include <vector>

struct TStackRule;
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
    static void WriteFlatFile(TMap* PtrMap, std::ostream& StmOutput, char ChrSeparator);
    // Writes one line "x,y,value" per cell (cell centres), column by column from the west, each
    // column from north to south, with the stream's number formatting.
    static void WriteCSVFile(TMap* PtrMap, std::ostream& StmOutput);

    // ---- Averaging and stacking ----------------------------------------------------------------
    // Cell-wise sums in list order on the first map's geometry; a cell where any map lacks data
    // holds -9999. Throws "Must have more than 2 maps to sum in TMapTools::Sum" for fewer than two
    // maps, then "X-dimension of maps are inconsistent in TMapTools::Sum" or the Y form.
    static TMap* Sum(std::vector<TMap*> VecMaps);
    // The number of maps holding data in each cell. Throws "No maps to count in
    // TMapTools::DataCounts", then "X-dimension of maps are inconsistent in TMapTools::DataCounts"
    // or the Y form.
    static TMap* DataCounts(std::vector<TMap*> VecMaps);
    // Dividend cell / the divisor's value at the cell centre, on the dividend's geometry and
    // no-data value; no-data in either gives the dividend's no-data value. Throws "Divisor must be
    // of equal of coarser resolution than the dividend in TMapTools::Divide", "Map axes are not set
    // in TMap", and the lookup's messages for a centre outside the divisor.
    static TMap* Divide(TMap* PtrDividend, TMap* PtrDivisor);
    // Cell-wise means where every map holds data, -9999 elsewhere; the messages of Sum.
    static TMap* Average(std::vector<TMap*> VecMaps);
    // The statistic of the rule per cell over the maps (caller owns the result), on a frame copy of
    // the first map; a cell the rule finds missing holds DblNoData, the result's no-data value.
    // With the default rule a NaN cell lacks data (unlike Sum, DataCounts and Average, where only a
    // map's no-data value marks missing data). Throws "No maps to reduce in
    // TMapTools::CellStatistics", "X-dimension of maps are inconsistent in TMapTools::CellStatistics"
    // or the Y form, and the rule's messages (TStackStatistic).
    static TMap* CellStatistics(std::vector<TMap*> VecMaps, const TStackRule& rule,
                                double DblNoData = TNoData::kDefault);
    // Average of every run of IntWindow consecutive maps (caller owns each); empty when the window
    // is longer than the list. The messages of Average.
    static std::vector<TMap*> MovingAverage(std::vector<TMap*> VecMaps, int IntWindow);

    // ---- Cell-wise arithmetic and masks --------------------------------------------------------
    // Results are new maps the caller owns. A cell where a source holds no data (by that source's
    // own no-data value) holds the result's no-data value, except where a rule below says otherwise.

    // Base cell + (or x) the other map's value at the base cell's centre, on a base copy of the
    // finer map: the first on equal resolutions, the second when either resolution is NaN. Every
    // base centre is looked up, also where the base holds no data. Throw "Map axes are not set in
    // TMap", and the lookup's messages for a base centre outside the other map ("Ordinate is out
    // of range in TAxis::GetIndex").
    static TMap* Add(TMap* PtrFirst, TMap* PtrSecond);
    static TMap* Multiply(TMap* PtrFirst, TMap* PtrSecond);
    // First - second, paired by index, on a frame copy of the first map with its no-data value.
    // Throws "X dimensions do not match in TMapTools::Subtract", then the Y form.
    static TMap* Subtract(TMap* PtrFirst, TMap* PtrSecond);
    // Each cell times the factor, or divided by the divisor (unchecked), on a frame copy (-9999).
    static TMap* Multiply(TMap* PtrMap, double DblFactor);
    static TMap* Divide(TMap* PtrMap, double DblDivisor);
    // Each cell truncated toward zero, plus 1 where the fraction is at least 0.5 (so -2.5 gives
    // -2), on a frame copy (-9999).
    static TMap* RoundContents(TMap* PtrMap);
    // Cells at or above the threshold keep their value, others become 0, on a frame copy (-9999);
    // the list form gives one new map per map (caller owns each), in order.
    static TMap* Threshold(TMap* PtrMap, double DblThreshold);
    static std::vector<TMap*> Threshold(std::vector<TMap*> VecMaps, double DblThreshold);
    // Cells at or above the threshold become the replacement, others keep their value, on a frame
    // copy (-9999).
    static TMap* ThresholdReplace(TMap* PtrMap, double DblThreshold, double DblReplacement);
    // The table's value for each cell's value, the default where it has none, on a frame copy
    // (-9999); no-data cells are looked up like any value, so the table may map the no-data value
    // on purpose.
    static TMap* ReplaceValue(TMap* PtrMap, std::map<double, double> MapTable, double DblDefault);
    // The second map's cells on a frame copy of the first: the replacement where a cell equals the
    // match, else -9999 where it holds no data, else its value; the first map's cells are not
    // read. Throws "X dimensions do not match in TMapTools::Mask", then the Y form.
    static TMap* Mask(TMap* PtrFirst, TMap* PtrSecond, double DblMatch, double DblReplacement);
    // The number of cells of each value (NaN cells left out), and of one value.
    static std::map<double, long> CountValues(TMap* PtrMap);
    static long CountValues(TMap* PtrMap, double DblValue);

    // ---- Resampling and interpolation ----------------------------------------------------------
    // An empty grid (-9999) of the new cell size r over the map's extent, from its first corner
    // in its directions: trunc(R x columns / r) by trunc(R x rows / r) cells. Throws "New
    // resolution must be a positive number in TMapTools::Downscale", "Map axes are not set in
    // TMap", "Number of cells at the new resolution is out of range in TMapTools::Downscale", and
    // "Index is out of range in TAxis::GetPoint" when no column or no row remains.
    static TMap* Downscale(TMap* PtrMap, double DblResolution);
    // Downscale's grid filled by bilinear interpolation between the centres of the four source
    // cells around each position; cells that receive no position (a border about one source cell
    // wide), and positions beside a no-data cell, hold -9999. Throws "New resolution cannot be
    // <= 0.0 in TMapTools::BilinearInterpolate", "New resolution is not a number in ...",
    // Downscale's messages, "Ordinate is out of range in TAxis::GetIndex", "LngGetX1 is out of
    // range in TMapTools::BilinearInterpolate" (and X2, Y1, Y2) for neighbours outside the source,
    // and "New resolution is too fine for the coordinates of the map in
    // TMapTools::BilinearInterpolate" where a step no longer moves a position.
    static TMap* BilinearInterpolate(TMap* PtrMap, double DblResolution);
    // k x k cells of size R / k per source cell holding its value (-9999 for no-data), over the
    // same extent in the same directions. Throws "Factor must be a positive number in
    // TMapTools::Subdivide", "Map axes are not set in TMap" and "Number of cells at the new
    // resolution is out of range in TMapTools::Subdivide".
    static TMap* Subdivide(TMap* PtrMap, int IntFactor);
    // The bilinear formula for values Q11 at (x1, y1), Q21 at (x2, y1), Q12 at (x1, y2), Q22 at
    // (x2, y2), at (x, y): (Q11/D)(x2-x)(y2-y) + (Q21/D)(x-x1)(y2-y) + (Q12/D)(x2-x)(y-y1) +
    // (Q22/D)(x-x1)(y-y1), summed in that order, with D = (x2-x1)(y2-y1) unchecked; outside the
    // corners it extrapolates. The point form stores the result as the target's value, with x1
    // and y1 from the first corner, x2 from the second and y2 from the third; nothing else changes.
    static double BilinearInterpolate(double DblQ11, double DblQ21, double DblQ12, double DblQ22, double DblX,
                                      double DblX1, double DblX2, double DblY, double DblY1, double DblY2);
    static void BilinearInterpolate(TMapPoint* PtrQ11, TMapPoint* PtrQ21, TMapPoint* PtrQ12, TMapPoint* PtrQ22,
                                    TMapPoint* PtrTarget);

    // ---- Cell queries and value series ---------------------------------------------------------
    // Cells are scanned column by column, each column from row 0.

    // The smallest block of rows and columns holding every cell equal to the value; all four 0
    // when no cell does.
    static void FindPatchExtent(TMap* PtrMap, double DblValue, long& LngNorthRow, long& LngSouthRow,
                                long& LngWestColumn, long& LngEastColumn);
    // The first non-zero cell (lowest row) of the highest column of the 3 x 3 block around the
    // cell, clipped to the map; 0 when all are zero. Throws "X-ordinate is out of range in
    // TMapTools::FindNonzeroNeighbourVal", then the Y form.
    static double FindNonzeroNeighbourVal(TMap* PtrMap, long LngX, long LngY);
    // Each key with the map's value at its point (the points stay the caller's); throws the
    // lookup's messages for a point outside the map. The list form pairs map m with point set m
    // and throws "Fewer point sets than maps in TMapTools::FetchMapValues".
    static std::map<double, double> FetchMapValues(TMap* PtrMap, std::map<double, TMapPoint*> MapPoints);
    static std::vector<std::map<double, double>> FetchMapValues(std::vector<TMap*> VecMaps,
                                                                std::vector<std::map<double, TMapPoint*>> VecPointSets);
    // Each distinct cell value (not excluded, not NaN) with a new point (caller owns) at the
    // centre of the first cell holding it; cells before the first one that differs from the
    // no-data value are passed over.
    static std::map<double, TMapPoint*> GetFirstValues(TMap* PtrMap, std::vector<double> VecExcluded);
    static std::vector<std::map<double, TMapPoint*>> GetFirstValues(std::vector<TMap*> VecMaps,
                                                                    std::vector<double> VecExcluded);
    // The value map's cells grouped by the key map's cell (NaN and excluded keys left out).
    // Throws "Map X-dimensions do not match", then "Map Y-Dimensions do not match".
    static std::map<double, std::vector<double>> GetValuesOverlay(TMap* PtrValues, TMap* PtrKeys,
                                                                  std::vector<double> VecExcludedKeys);
    // The cell's value in maps IntStartMap..IntEndMap. Throws "Start map number is out of range in
    // TMapTools::GetValuesVector", "End map number ...", "Stat map number must be less than end
    // map number", and the map's own range messages.
    static std::vector<double> GetValuesVector(std::vector<TMap*> VecMaps, long LngX, long LngY, int IntStartMap,
                                               int IntEndMap);
    // One new map per window of IntWindow + 1 maps (caller owns each): each cell's least-squares
    // slope against the map number. Throws "Window size must not be negative in
    // TMapTools::ValueGradients", then "Window size must be < number of maps in ...", then "Map
    // dimensions do not match in TMapTools::ValueGradients"; a window of 0 throws GetValuesVector's
    // "Stat map number must be less than end map number" at the first cell that is not zero.
    static std::vector<TMap*> ValueGradients(std::vector<TMap*> VecMaps, int IntWindow);

    // ---- Cut, paste and intersect --------------------------------------------------------------
    // The block of cells from the cell holding one corner to the cell holding the other, as a new
    // map on the source's centres (caller owns, no-data -9999, which the source's no-data cells
    // take). Throws "Map axes are not set in TMap" and "Ordinate is out of range in
    // TAxis::GetIndex" for a corner outside the map.
    static TMap* Extract(TMap* PtrMap, TPoint* PtrCorner, TPoint* PtrOppositeCorner);
    // Each map's part of the common window, which starts one cell inside each map's first corner,
    // as new maps (caller owns both); on failure neither reference is set. Throws "Map axes are
    // not set in TMap", "Maps have opposite Y directions in TMapTools::Intersection", then "Maps do
    // not intersect in TMapTools::Intersection", or Extract's messages.
    static void Intersection(TMap* PtrFirst, TMap* PtrSecond, TMap*& PtrFirstPart, TMap*& PtrSecondPart);
    // Writes each inserted cell into the destination cell holding its centre (no-data as the
    // destination's no-data value). Throws "Map axes are not set in TMap", "Maps have opposite Y
    // directions in TMapTools::Insert", "Insert map's NW corner is outside of the destination map
    // in TMapTools::Insert", the SE form, or what TMap::SetPoint(TPoint*, double) throws for a
    // centre; writes nothing then.
    static void Insert(TMap* PtrDestination, TMap* PtrInserted);
    // Sets the block's cells, bounds included, to the value. Throws the edge-order messages
    // ("Northern edge must be less than southern edge in TMapTools::FillBlock", then the western
    // form), then "Northern", "Southern", "Western" or "Eastern ordinate is out of range in
    // TMapTools::FillBlock" for a bound outside the map; writes nothing then.
    static void FillBlock(TMap* PtrMap, double DblValue, long LngNorthRow, long LngSouthRow, long LngWestColumn,
                          long LngEastColumn);
    // Moves each bound of the block outward by the margin (inward when negative), clipped to the
    // map. Never throws.
    static void BufferIndices(TMap* PtrMap, long LngMargin, long& LngNorthRow, long& LngSouthRow,
                              long& LngWestColumn, long& LngEastColumn);
};
