#include "ops/TMapTools.h"

#include "grid/TAxis.h"
#include "grid/TAxisLookup.h"
#include "grid/TGridMessages.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapFrames.h"
#include "grid/TNoData.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

const char* const kTooFine = "New resolution is too fine for the coordinates of the map in TMapTools::BilinearInterpolate";

// Cell counts are used as indices of at least 32 bits; a count at or beyond this, or a NaN one,
// is no number of cells at all (and converting it to an integer would be undefined).
constexpr double kCountLimit = 2147483648.0;

long CellCount(double count, const char* message)
{
    if (!(std::fabs(count) < kCountLimit)) throw message;
    return static_cast<long>(count);  // toward zero
}

// The first and last points of a map's interval axes: its first and last edges.
struct TEdges {
    double FirstX;
    double LastX;
    double FirstY;
    double LastY;
};

TEdges EdgesOf(TMap* map)
{
    TAxis* xEdges = map->GetXAxisInterval();
    TAxis* yEdges = map->GetYAxisInterval();
    if (!xEdges || !yEdges) throw TGridMessages::kAxesNotSet;
    return {xEdges->GetOrdinate(0, 'X'), xEdges->GetOrdinate(xEdges->GetSize() - 1, 'X'), yEdges->GetOrdinate(0, 'Y'),
            yEdges->GetOrdinate(yEdges->GetSize() - 1, 'Y')};
}

// `count` points from `start`, each the previous plus `step` (running addition, as the edges of
// every other axis are made), with the other coordinate fixed.
void FillAxis(TAxis& axis, long count, double start, double step, double fixed, char mode)
{
    double ordinate = start;
    for (long k = 0; k < count; ++k) {
        axis.SetPoint(k, mode == 'X' ? new TPoint(ordinate, fixed) : new TPoint(fixed, ordinate));
        ordinate += step;
    }
}

// ---- Interpolation positions --------------------------------------------------------------------
// A position (x, y) runs these checks in this order, and the first that fails names the message:
// its column and then its row in the result (the result's coordinate lookup), its column and then
// its row in the source (the source's lookup), the neighbour columns, the neighbour rows, and the
// centres of the neighbour rows. Each check depends on x alone or on y alone, so the checks are
// made once per column and once per row of positions, and a position fails at the earlier of its
// column's and its row's first failing check. (An index found on an interval axis always names a
// cell of its map, so the range checks of the lookups never fail.)
enum TCheck {
    kResultColumn,
    kResultRow,
    kSourceColumn,
    kSourceRow,
    kLowColumn,
    kHighColumn,
    kLowRow,
    kHighRow,
    kRowCentre,
    kPasses
};

const char* const kCheckMessages[] = {
    TGridMessages::kOrdinateRange,
    TGridMessages::kOrdinateRange,
    TGridMessages::kOrdinateRange,
    TGridMessages::kOrdinateRange,
    "LngGetX1 is out of range in TMapTools::BilinearInterpolate",
    "LngGetX2 is out of range in TMapTools::BilinearInterpolate",
    "LngGetY1 is out of range in TMapTools::BilinearInterpolate",
    "LngGetY2 is out of range in TMapTools::BilinearInterpolate",
    // A map whose rows were added after its axes has rows without a centre.
    TGridMessages::kGetCoordinatesY,
};

// One column (or row) of positions: where its ordinate falls and the two source cells whose
// centres enclose it.
struct TSample {
    double Ordinate;
    long ResultCell;
    long Low;
    long High;
    double LowCentre;
    double HighCentre;
    TCheck Failure;
};

// One direction of the interpolation: the result's and the source's edges, the source's centres,
// and the checks of this direction.
struct TDirection {
    TAxisLookup ResultEdges;
    TAxisLookup SourceEdges;
    std::vector<double> Centres;
    long SourceCells;
    long TowardsGreater;  // index step to the neighbour whose centre has the greater ordinate
    TCheck ResultCheck, SourceCheck, LowCheck, HighCheck, CentreCheck;
};

std::vector<double> OrdinatesOf(const TAxis* axis, char mode)
{
    std::vector<double> ordinates;
    ordinates.reserve(static_cast<size_t>(axis->GetSize()));
    for (long k = 0; k < axis->GetSize(); ++k) ordinates.push_back(axis->GetOrdinate(k, mode));
    return ordinates;
}

TSample Locate(const TDirection& direction, double ordinate)
{
    TSample sample{ordinate, 0, 0, 0, 0, 0, kPasses};
    sample.ResultCell = direction.ResultEdges.Find(ordinate);
    if (sample.ResultCell < 0) {
        sample.Failure = direction.ResultCheck;
        return sample;
    }
    const long cell = direction.SourceEdges.Find(ordinate);
    if (cell < 0) {
        sample.Failure = direction.SourceCheck;
        return sample;
    }
    // The position lies between its cell's centre and the neighbour's on the side it lies on.
    const long neighbour = ordinate > direction.Centres[static_cast<size_t>(cell)] ? cell + direction.TowardsGreater
                                                                                   : cell - direction.TowardsGreater;
    sample.Low = std::min(cell, neighbour);
    sample.High = std::max(cell, neighbour);
    if (sample.Low < 0 || sample.Low >= direction.SourceCells) {
        sample.Failure = direction.LowCheck;
    } else if (sample.High < 0 || sample.High >= direction.SourceCells) {
        sample.Failure = direction.HighCheck;
    } else if (sample.High >= static_cast<long>(direction.Centres.size())) {
        sample.Failure = direction.CentreCheck;
    } else {
        sample.LowCentre = direction.Centres[static_cast<size_t>(sample.Low)];
        sample.HighCentre = direction.Centres[static_cast<size_t>(sample.High)];
    }
    return sample;
}

std::vector<TSample> LocateAll(const TDirection& direction, const std::vector<double>& ordinates)
{
    std::vector<TSample> samples;
    samples.reserve(ordinates.size());
    for (double ordinate : ordinates) samples.push_back(Locate(direction, ordinate));
    return samples;
}

// Positions are visited a column at a time; the first whose checks fail throws.
void ThrowFirstFailure(const std::vector<TSample>& columns, const std::vector<TSample>& rows)
{
    auto fails = [](const TSample& sample) { return sample.Failure != kPasses; };
    if (std::none_of(columns.begin(), columns.end(), fails) && std::none_of(rows.begin(), rows.end(), fails)) return;
    for (const TSample& column : columns)
        for (const TSample& row : rows) {
            const TCheck failure = std::min(column.Failure, row.Failure);
            if (failure != kPasses) throw kCheckMessages[failure];
        }
}

}  // namespace

TMap* TMapTools::Downscale(TMap* PtrMap, double DblResolution)
{
    if (!(DblResolution > 0)) throw "New resolution must be a positive number in TMapTools::Downscale";
    const TEdges edges = EdgesOf(PtrMap);
    const char* const countMessage = "Number of cells at the new resolution is out of range in TMapTools::Downscale";
    const long columns =
        CellCount(PtrMap->GetResolution() * static_cast<double>(PtrMap->GetXDim()) / DblResolution, countMessage);
    const long rows =
        CellCount(PtrMap->GetResolution() * static_cast<double>(PtrMap->GetYDim()) / DblResolution, countMessage);
    auto result = std::make_unique<TMap>(DblResolution, columns, rows);

    const double ySign = edges.LastY > edges.FirstY ? 1 : -1;
    TAxis xCentres(DblResolution, columns);
    FillAxis(xCentres, columns, edges.FirstX + DblResolution * 0.5, DblResolution, edges.FirstY, 'X');
    TAxis yCentres(DblResolution, rows);
    FillAxis(yCentres, rows, edges.FirstY + ySign * DblResolution * 0.5, ySign * DblResolution, edges.FirstX, 'Y');
    result->SetXAxis(&xCentres);
    result->SetYAxis(&yCentres);
    return result.release();
}

TMap* TMapTools::BilinearInterpolate(TMap* PtrMap, double DblResolution)
{
    if (DblResolution <= 0.0) throw "New resolution cannot be <= 0.0 in TMapTools::BilinearInterpolate";
    if (std::isnan(DblResolution)) throw "New resolution is not a number in TMapTools::BilinearInterpolate";
    std::unique_ptr<TMap> result(Downscale(PtrMap, DblResolution));

    const TEdges grid = EdgesOf(result.get());
    const TEdges source = EdgesOf(PtrMap);
    const double cellSize = PtrMap->GetResolution();

    // A column of positions is taken while x stays within the bound; within each, y always takes
    // its first position and then goes on while it stays within its bound. Every column runs the
    // same y's, so they are found once.
    std::vector<double> xs;
    const double xBound = grid.LastX - cellSize - DblResolution;
    for (double x = grid.FirstX + cellSize; x <= xBound;) {
        xs.push_back(x);
        const double next = x + DblResolution;
        if (next == x) throw kTooFine;
        x = next;
    }
    if (xs.empty()) return result.release();

    std::vector<double> ys;
    const bool gridDescends = grid.FirstY > grid.LastY;
    const double yStep = gridDescends ? -DblResolution : DblResolution;
    const double yBound = gridDescends ? grid.LastY + cellSize : grid.LastY - cellSize;
    for (double y = gridDescends ? grid.FirstY - cellSize - DblResolution : grid.FirstY + cellSize;;) {
        ys.push_back(y);
        const double next = y + yStep;
        if (!(gridDescends ? next >= yBound : next <= yBound)) break;
        if (next == y) throw kTooFine;
        y = next;
    }

    // X centres always ascend with the column index; Y centres descend with the row index when
    // the source's Y edges do.
    const TDirection across{TAxisLookup(result->GetXAxisInterval(), 'X'),
                            TAxisLookup(PtrMap->GetXAxisInterval(), 'X'),
                            OrdinatesOf(PtrMap->GetXAxis(), 'X'),
                            PtrMap->GetXDim(),
                            1,
                            kResultColumn,
                            kSourceColumn,
                            kLowColumn,
                            kHighColumn,
                            kPasses};
    const TDirection down{TAxisLookup(result->GetYAxisInterval(), 'Y'),
                          TAxisLookup(PtrMap->GetYAxisInterval(), 'Y'),
                          OrdinatesOf(PtrMap->GetYAxis(), 'Y'),
                          PtrMap->GetYDim(),
                          source.FirstY > source.LastY ? -1 : 1,
                          kResultRow,
                          kSourceRow,
                          kLowRow,
                          kHighRow,
                          kRowCentre};
    const std::vector<TSample> columns = LocateAll(across, xs);
    const std::vector<TSample> rows = LocateAll(down, ys);
    ThrowFirstFailure(columns, rows);

    // Every position passed, so the order of filling no longer matters: a cell that several
    // positions fall in ends with the last of them in either order. Row by row keeps to memory order.
    const double noData = PtrMap->GetNoDataValue();
    const double resultNoData = result->GetNoDataValue();
    for (const TSample& row : rows) {
        std::vector<double>& target = result->GetRowRef(row.ResultCell);
        const std::vector<double>& low = PtrMap->GetRowRef(row.Low);
        const std::vector<double>& high = PtrMap->GetRowRef(row.High);
        for (const TSample& column : columns) {
            const double q11 = low[static_cast<size_t>(column.Low)];
            const double q21 = low[static_cast<size_t>(column.High)];
            const double q12 = high[static_cast<size_t>(column.Low)];
            const double q22 = high[static_cast<size_t>(column.High)];
            const bool lacking = !TNoData::Holds(q11, noData) || !TNoData::Holds(q21, noData) ||
                                 !TNoData::Holds(q12, noData) || !TNoData::Holds(q22, noData);
            target[static_cast<size_t>(column.ResultCell)] =
                lacking ? resultNoData
                        : BilinearInterpolate(q11, q21, q12, q22, column.Ordinate, column.LowCentre, column.HighCentre,
                                              row.Ordinate, row.LowCentre, row.HighCentre);
        }
    }
    return result.release();
}

TMap* TMapTools::Subdivide(TMap* PtrMap, int IntFactor)
{
    if (IntFactor <= 0) throw "Factor must be a positive number in TMapTools::Subdivide";
    const TEdges edges = EdgesOf(PtrMap);
    const char* const countMessage = "Number of cells at the new resolution is out of range in TMapTools::Subdivide";
    const long k = IntFactor;
    const long columns = CellCount(static_cast<double>(k) * static_cast<double>(PtrMap->GetXDim()), countMessage);
    const long rows = CellCount(static_cast<double>(k) * static_cast<double>(PtrMap->GetYDim()), countMessage);
    const double resolution = PtrMap->GetResolution() / IntFactor;
    auto result = std::make_unique<TMap>(resolution, columns, rows);

    const double noData = PtrMap->GetNoDataValue();
    const double resultNoData = result->GetNoDataValue();
    std::vector<size_t> sourceColumn(static_cast<size_t>(columns));
    for (long x = 0; x < columns; ++x) sourceColumn[static_cast<size_t>(x)] = static_cast<size_t>(x / k);
    const std::vector<double>* sourceRow = nullptr;
    TMapFrames::FillCells(result.get(), [&](long x, long y) {
        if (x == 0) sourceRow = &PtrMap->GetRowRef(y / k);  // each row is visited from column 0
        const double v = (*sourceRow)[sourceColumn[static_cast<size_t>(x)]];
        return TNoData::Holds(v, noData) ? v : resultNoData;
    });

    const double ySign = edges.LastY > edges.FirstY ? 1 : -1;
    TAxis xEdges(resolution, columns + 1);
    FillAxis(xEdges, columns + 1, edges.FirstX, resolution, edges.FirstY, 'X');
    TAxis yEdges(resolution, rows + 1);
    FillAxis(yEdges, rows + 1, edges.FirstY, ySign * resolution, edges.FirstX, 'Y');
    result->SetXAxisInterval(&xEdges);
    result->SetYAxisInterval(&yEdges);
    return result.release();
}

double TMapTools::BilinearInterpolate(double DblQ11, double DblQ21, double DblQ12, double DblQ22, double DblX,
                                      double DblX1, double DblX2, double DblY, double DblY1, double DblY2)
{
    const double d = (DblX2 - DblX1) * (DblY2 - DblY1);
    return DblQ11 / d * (DblX2 - DblX) * (DblY2 - DblY) + DblQ21 / d * (DblX - DblX1) * (DblY2 - DblY) +
           DblQ12 / d * (DblX2 - DblX) * (DblY - DblY1) + DblQ22 / d * (DblX - DblX1) * (DblY - DblY1);
}

void TMapTools::BilinearInterpolate(TMapPoint* PtrQ11, TMapPoint* PtrQ21, TMapPoint* PtrQ12, TMapPoint* PtrQ22,
                                    TMapPoint* PtrTarget)
{
    PtrTarget->SetValue(BilinearInterpolate(PtrQ11->GetValue(), PtrQ21->GetValue(), PtrQ12->GetValue(),
                                            PtrQ22->GetValue(), PtrTarget->GetX(), PtrQ11->GetX(), PtrQ21->GetX(),
                                            PtrTarget->GetY(), PtrQ11->GetY(), PtrQ12->GetY()));
}
