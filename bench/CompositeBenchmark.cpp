// The 4x6 composite every output of a job is like (CompositeFiles), rendered
// from its template file and written as a JPEG, measured against the floor
// (libjpeg-turbo decoding both photos whole and writing one JPEG, in this
// process) in the same iterations: wall time of one composite at a time, the
// process CPU time of each, and eight composites at once against eight floors at
// once. JPEG quality 90.
#include "CompositeFiles.h"
#include "CompositeRendering.h"
#include "JpegFloor.h"
#include "core/image/ZORVAK_Image.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int parallelCount = 8;

// What a rendering process pays at start so that its first rendering costs no
// more than later ones; measured once (KOVA_BENCH_UNPREPARED=1 leaves it out,
// to see what the first rendering pays without it).
double preparationMilliseconds()
{
    static const double milliseconds = [] {
        if (qEnvironmentVariableIntValue("KOVA_BENCH_UNPREPARED") == 1)
            return 0.0;
        QElapsedTimer timer;
        timer.start();
        ZORVAK_Image::prepareForDrawing();
        return double(timer.nsecsElapsed()) / 1e6;
    }();
    return milliseconds;
}

bool renderComposite(const CompositeFiles& files, const QString& destination)
{
    return CompositeRendering::render(files.templatePath, destination);
}

bool renderFloor(const CompositeFiles& files, const QString& destination)
{
    return JpegFloor::composeTwoBlocks(files.photoA, files.photoB, destination);
}

double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

rusage processUsage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double peakResidentMegabytes()
{
    return double(processUsage().ru_maxrss) / 1024;
}

struct Cost {
    double wallMilliseconds = 0;
    double cpuMilliseconds = 0;
    double faultedMegabytes = 0; // memory touched for the first time (minor page faults)
    bool done = false;
};

Cost measure(const std::function<bool()>& work)
{
    QElapsedTimer timer;
    const double cpu = processCpuMilliseconds();
    const long faults = processUsage().ru_minflt;
    timer.start();
    Cost cost;
    cost.done = work();
    cost.wallMilliseconds = double(timer.nsecsElapsed()) / 1e6;
    cost.cpuMilliseconds = processCpuMilliseconds() - cpu;
    cost.faultedMegabytes = double(processUsage().ru_minflt - faults) * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
    return cost;
}

// The first composite of the process, measured once: the first rendering must
// cost no more than later ones. Meaningful when this benchmark runs first.
const Cost& firstComposite(const CompositeFiles& files)
{
    static const Cost first = measure([&] { return renderComposite(files, files.output(QStringLiteral("first.jpeg"))); });
    return first;
}

// One composite at a time, each iteration paired with the floor. The iteration
// time is the composite's wall time; the counters give the floor's, the ratios,
// the CPU time of both and the process's peak memory.
void CompositeOneWorker(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    if (!files.ready) {
        state.SkipWithError("the photos and template could not be written");
        return;
    }
    const double preparation = preparationMilliseconds();
    const Cost first = firstComposite(files);
    const QString composed = files.output(QStringLiteral("composite.jpeg"));
    const QString floor = files.output(QStringLiteral("floor.jpeg"));
    Cost composites;
    Cost floors;
    for (auto _ : state) {
        const Cost plain = measure([&] { return renderFloor(files, floor); });
        const Cost measured = measure([&] { return renderComposite(files, composed); });
        state.SetIterationTime(measured.wallMilliseconds / 1e3);
        if (!first.done || !plain.done || !measured.done) {
            state.SkipWithError("the composite or the floor could not be made");
            return;
        }
        composites.wallMilliseconds += measured.wallMilliseconds;
        composites.cpuMilliseconds += measured.cpuMilliseconds;
        composites.faultedMegabytes += measured.faultedMegabytes;
        floors.wallMilliseconds += plain.wallMilliseconds;
        floors.cpuMilliseconds += plain.cpuMilliseconds;
    }
    const double count = double(state.iterations());
    state.counters["floor_ms"] = floors.wallMilliseconds / count;
    state.counters["ratio"] = composites.wallMilliseconds / floors.wallMilliseconds;
    state.counters["cpu_ms"] = composites.cpuMilliseconds / count;
    state.counters["floor_cpu_ms"] = floors.cpuMilliseconds / count;
    state.counters["cpu_ratio"] = composites.cpuMilliseconds / floors.cpuMilliseconds;
    state.counters["faulted_mb"] = composites.faultedMegabytes / count;
    state.counters["prepare_ms"] = preparation;
    state.counters["first_ms"] = first.wallMilliseconds;
    state.counters["first_faulted_mb"] = first.faultedMegabytes;
    state.counters["first_vs_later"] = first.wallMilliseconds / (composites.wallMilliseconds / count);
    state.counters["peak_rss_mb"] = peakResidentMegabytes();
    state.SetLabel("targets: ratio and cpu_ratio at most 1.3, first_vs_later at most 1.1");
}
BENCHMARK(CompositeOneWorker)->Unit(benchmark::kMillisecond)->UseManualTime()->MeasureProcessCPUTime()->Iterations(10);

// The peak memory of a process rendering 100 composites one after another (no
// floor), prepared as a rendering process is; meaningful when this benchmark
// runs alone in its process.
void CompositeHundredInOneProcess(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    preparationMilliseconds();
    const QString composed = files.output(QStringLiteral("hundred.jpeg"));
    for (auto _ : state) {
        for (int index = 0; index < 100; ++index) {
            if (!files.ready || !renderComposite(files, composed)) {
                state.SkipWithError("the composite could not be made");
                return;
            }
        }
    }
    state.counters["peak_rss_mb"] = peakResidentMegabytes();
    state.SetLabel("target: peak_rss_mb at most 165 when run alone");
}
BENCHMARK(CompositeHundredInOneProcess)->Unit(benchmark::kMillisecond)->Iterations(1);

// Wall time of `count` runs of `work` at once, each on its own thread.
Cost inParallel(int count, const std::function<bool(int)>& work)
{
    return measure([&] {
        std::atomic<int> failures = 0;
        std::vector<std::thread> threads;
        for (int index = 0; index < count; ++index)
            threads.emplace_back([&, index] { failures += work(index) ? 0 : 1; });
        for (std::thread& thread : threads)
            thread.join();
        return failures == 0;
    });
}

// Eight composites at once against eight floors at once, in every iteration.
// "rate_vs_floor" is the composites' rate as a share of the floors'.
void CompositeEightAtOnce(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    if (!files.ready) {
        state.SkipWithError("the photos and template could not be written");
        return;
    }
    const auto output = [&](const char* kind, int index) { return files.output(QStringLiteral("%1-%2.jpeg").arg(kind).arg(index)); };
    double floorMilliseconds = 0;
    double compositeMilliseconds = 0;
    for (auto _ : state) {
        const Cost floors = inParallel(parallelCount, [&](int index) { return renderFloor(files, output("floor", index)); });
        const Cost composites
            = inParallel(parallelCount, [&](int index) { return renderComposite(files, output("composite", index)); });
        state.SetIterationTime(composites.wallMilliseconds / 1e3);
        if (!floors.done || !composites.done) {
            state.SkipWithError("a composite or a floor could not be made");
            return;
        }
        floorMilliseconds += floors.wallMilliseconds;
        compositeMilliseconds += composites.wallMilliseconds;
    }
    state.counters["floors_ms"] = floorMilliseconds / double(state.iterations());
    state.counters["rate_vs_floor"] = floorMilliseconds / compositeMilliseconds;
    state.SetLabel("target: rate_vs_floor at least 0.8");
}
BENCHMARK(CompositeEightAtOnce)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
