// Cost of keeping vadrel.cnf on disk: the autosave's look at an unchanged
// table (every 5 s), a save (temporary written, synced, renamed, folder
// synced) and the verified copy of a damaged file. The folder is a scratch
// folder under VADREL_BENCH_FOLDER (default: the system's temporary folder).
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_save && build-bench/bench/bench_save

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>

#include "config/table_file.h"

namespace vadrel {
namespace {

struct Folder {
    QTemporaryDir dir{QDir(qEnvironmentVariable("VADREL_BENCH_FOLDER", QDir::tempPath())).filePath("vadrel-XXXXXX")};
    ProgramFolder folder{dir.path().toStdString()};
    TableFile file{folder};
    Fleet fleet;
    VehicleTable table{fleet};
    const Tell tell = [](const QString&) {};
};

void BM_AutosaveUnchanged(benchmark::State& state) {
    Folder f;
    save_table_if_changed(f.table, f.file, f.tell);
    for (auto _ : state) save_table_if_changed(f.table, f.file, f.tell);
}
BENCHMARK(BM_AutosaveUnchanged);

void BM_SaveChanged(benchmark::State& state) {
    Folder f;
    double speed = 0;
    for (auto _ : state) {
        f.fleet.set_speed(0, ++speed, nullptr);
        save_table_if_changed(f.table, f.file, f.tell);
    }
}
BENCHMARK(BM_SaveChanged)->Unit(benchmark::kMillisecond);

void BM_CopyDamaged(benchmark::State& state) {
    Folder f;
    std::ofstream(f.folder.file_path("vadrel.cnf"), std::ios::binary) << std::string(state.range(0), 'x');
    unsigned n = 0;
    for (auto _ : state) {
        const std::string copy = "vadrel.cnf.bak." + std::to_string(++n);
        if (f.folder.copy("vadrel.cnf", copy)) state.SkipWithError("copy failed");
        state.PauseTiming();
        f.folder.remove(copy);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CopyDamaged)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
