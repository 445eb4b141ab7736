// CSV output of a 2000 x 2000 map: the writer on a default stream, on a stream with a caller-set
// precision, on one whose formatting only the stream itself can reproduce, and the lines made
// cell by cell through TMap::GetPoint and operator<< for comparison.
#include "grid/TAxis.h"
#include "grid/TMap.h"
#include "grid/TPoint.h"
#include "ops/TMapTools.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <streambuf>

namespace {

constexpr long kSide = 2000;

// Counts what is written and keeps none of it, so that only formatting is measured.
class TCountingBuffer : public std::streambuf {
public:
    long long Count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize size) override
    {
        Count += size;
        return size;
    }
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) ++Count;
        return traits_type::not_eof(c);
    }
};

// A UTM-like grid of 25 m cells with values of varied length and some no-data cells.
TMap* SampleMap()
{
    static std::unique_ptr<TMap> map = [] {
        auto grid = std::make_unique<TMap>(25.0, kSide, kSide);
        for (long y = 0; y < kSide; ++y) {
            std::vector<double>& row = grid->GetRowRef(y);
            for (long x = 0; x < kSide; ++x)
                row[static_cast<size_t>(x)] = (x * 7 + y * 13) % 101 == 0 ? -9999 : 100.0 + x * 0.37 - y * 0.011;
        }
        TAxis xEdges(25.0);
        TAxis yEdges(25.0);
        for (long i = 0; i <= kSide; ++i) xEdges.AddPoint(new TPoint(430000.0 + 25.0 * i, 5250000.0));
        for (long i = 0; i <= kSide; ++i) yEdges.AddPoint(new TPoint(430000.0, 5250000.0 - 25.0 * i));
        grid->SetXAxisInterval(&xEdges);
        grid->SetYAxisInterval(&yEdges);
        return grid;
    }();
    return map.get();
}

template <class TWrite>
void Measure(benchmark::State& state, void (*configure)(std::ostream&), TWrite write)
{
    TMap* map = SampleMap();
    long long bytes = 0;
    for (auto _ : state) {
        TCountingBuffer buffer;
        std::ostream stream(&buffer);
        configure(stream);
        write(map, stream);
        bytes += buffer.Count;
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void WriteCsv(TMap* map, std::ostream& stream) { TMapTools::WriteCSVFile(map, stream); }

void WriteByPoints(TMap* map, std::ostream& stream)
{
    for (long x = 0; x < map->GetXDim(); ++x)
        for (long y = 0; y < map->GetYDim(); ++y) {
            std::unique_ptr<TMapPoint> point(map->GetPoint(x, y));
            stream << point->GetX() << ',' << point->GetY() << ',' << point->GetValue() << std::endl;
        }
}

void DefaultStream(std::ostream&) {}
void TenDigits(std::ostream& stream) { stream.precision(10); }
void ShowPositive(std::ostream& stream) { stream << std::showpos; }

void CsvDefault(benchmark::State& state) { Measure(state, DefaultStream, WriteCsv); }
void CsvPrecision10(benchmark::State& state) { Measure(state, TenDigits, WriteCsv); }
void CsvShowPos(benchmark::State& state) { Measure(state, ShowPositive, WriteCsv); }
void CsvByPointsDefault(benchmark::State& state) { Measure(state, DefaultStream, WriteByPoints); }

}  // namespace

BENCHMARK(CsvDefault)->Unit(benchmark::kMillisecond);
BENCHMARK(CsvPrecision10)->Unit(benchmark::kMillisecond);
BENCHMARK(CsvShowPos)->Unit(benchmark::kMillisecond);
BENCHMARK(CsvByPointsDefault)->Unit(benchmark::kMillisecond)->Iterations(1);
