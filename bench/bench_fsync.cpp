// What forcing the output to disk costs: a 2000 x 2000 grid (~30 MB) written to a named file as
// the command writes it (file synced before the rename, directory after), and the same with the
// two syncs replaced by no-ops through the system call table. The difference is the cost.
//   GRIDMEAN_BENCH_DIR chooses the directory written to (default /tmp): the cost is the disk's.

#include "BenchSample.h"
#include "files/TARCGISFileTools.h"
#include "grid/TMap.h"
#include "sys/TSystemCalls.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

std::unique_ptr<TMap> SampleMap()
{
    // Values with two decimals and about 2 % no-data, as bench/gengrid writes them.
    const std::string path = "/tmp/gridmean-bench-fsync-in.asc";
    WriteSampleGrid(path, 100000, "xllcorner 440720.5\nyllcorner 3750120.25");
    std::unique_ptr<TMap> map(TARCGISFileTools::LoadARCGISFile(path));
    std::remove(path.c_str());
    return map;
}

std::string OutputPath()
{
    const char* directory = std::getenv("GRIDMEAN_BENCH_DIR");
    return std::string(directory ? directory : "/tmp") + "/gridmean-bench-fsync-out.asc";
}

int NoSync(int) { return 0; }

void Write(benchmark::State& state, bool sync)
{
    static const std::unique_ptr<TMap> map = SampleMap();
    const std::string out = OutputPath();
    const TSystemCallTable saved = TSystemCalls::Table();
    if (!sync) TSystemCalls::Table().Fsync = NoSync;
    for (auto _ : state) TARCGISFileTools::WriteARCGISFile(map.get(), out);
    TSystemCalls::Table() = saved;
    struct stat status;
    if (::stat(out.c_str(), &status) == 0) state.SetBytesProcessed(state.iterations() * status.st_size);
    std::remove(out.c_str());
}

void WriteSynced(benchmark::State& state) { Write(state, true); }
void WriteUnsynced(benchmark::State& state) { Write(state, false); }
BENCHMARK(WriteUnsynced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8)->Repetitions(3);
BENCHMARK(WriteSynced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8)->Repetitions(3);

}  // namespace
