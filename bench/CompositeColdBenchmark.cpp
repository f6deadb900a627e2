// The first composite of a fresh process against the floor as a whole process.
// Each process is started by a small launcher (kova_bench_launch), which tells
// its wall time, page faults and peak memory.
// In every iteration a fresh process renders the composite of CompositeFiles
// once (the project's start-up and one rendering) and a fresh process makes the
// floor once (libjpeg-turbo alone), the one that goes first alternating, on one
// processor (argument 1) or on all (argument 0). The iteration time is the
// composite process's wall time; the counters are medians over the iterations:
// the ratio of the two wall times, and the page faults (minor and major) and
// peak resident memory of each process.
//
// KOVA_BENCH_COLD_ITERATIONS sets the number of iterations (20 unless set);
// KOVA_BENCH_CPU the processor of the pinned run (the last one allowed unless
// set); KOVA_BENCH_UNPREPARED=1 starts the composite process as the rendering
// service starts, without preparing for drawing.
#include "CompositeFiles.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ProcessCost {
    double wallMilliseconds = 0;
    double faults = 0; // minor and major page faults
    double peakMegabytes = 0;
    bool done = false;
};

// What the launcher printed of the program of `arguments` run to its end; empty
// when it could not be started.
std::string launcherReport(const std::vector<QString>& arguments)
{
    std::vector<std::string> encoded{KOVA_BENCH_LAUNCH};
    for (const QString& argument : arguments)
        encoded.push_back(argument.toLocal8Bit().toStdString());
    std::vector<char*> argv;
    for (std::string& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t toReport;
    posix_spawn_file_actions_init(&toReport);
    posix_spawn_file_actions_adddup2(&toReport, report[1], STDOUT_FILENO);
    pid_t launcher = 0;
    const bool spawned = posix_spawn(&launcher, argv[0], &toReport, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&toReport);
    close(report[1]);
    std::string line;
    char piece[256];
    for (ssize_t count = 0; spawned && (count = read(report[0], piece, sizeof piece)) != 0;) {
        if (count > 0)
            line.append(piece, size_t(count));
        else if (errno != EINTR)
            break;
    }
    close(report[0]);
    int status = 0;
    while (spawned && waitpid(launcher, &status, 0) < 0 && errno == EINTR) {
    }
    return line;
}

// Runs the program of `arguments` to its end and tells what it cost.
ProcessCost runProcess(const std::vector<QString>& arguments)
{
    ProcessCost cost;
    long faults = 0;
    long peakKilobytes = 0;
    int exitStatus = -1;
    if (std::sscanf(launcherReport(arguments).c_str(), "%lf %ld %ld %d", &cost.wallMilliseconds, &faults, &peakKilobytes, &exitStatus) != 4)
        return {};
    cost.faults = double(faults);
    cost.peakMegabytes = double(peakKilobytes) / 1024;
    cost.done = exitStatus == 0;
    return cost;
}

// The calling thread, and so every process it starts, kept on one processor
// while this lives; the processors it had are given back after.
class OneProcessor {
public:
    OneProcessor()
    {
        if (sched_getaffinity(0, sizeof(m_allowed), &m_allowed) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(chosen(), &one);
        m_pinned = sched_setaffinity(0, sizeof(one), &one) == 0;
    }
    ~OneProcessor()
    {
        if (m_pinned)
            sched_setaffinity(0, sizeof(m_allowed), &m_allowed);
    }
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;

    bool isPinned() const { return m_pinned; }

private:
    int chosen() const
    {
        if (const char* named = std::getenv("KOVA_BENCH_CPU"))
            return std::atoi(named);
        int last = 0;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &m_allowed))
                last = cpu;
        }
        return last;
    }

    cpu_set_t m_allowed{};
    bool m_pinned = false;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The costs of one kind of process over the iterations.
struct ProcessCosts {
    std::vector<double> wallMilliseconds;
    std::vector<double> faults;
    std::vector<double> peakMegabytes;

    void add(const ProcessCost& cost)
    {
        wallMilliseconds.push_back(cost.wallMilliseconds);
        faults.push_back(cost.faults);
        peakMegabytes.push_back(cost.peakMegabytes);
    }

    void count(benchmark::State& state, const std::string& prefix) const
    {
        state.counters[prefix + "ms"] = median(wallMilliseconds);
        state.counters[prefix + "faults"] = median(faults);
        state.counters[prefix + "peak_mb"] = median(peakMegabytes);
    }
};

int coldIterations()
{
    const char* named = std::getenv("KOVA_BENCH_COLD_ITERATIONS");
    return named && std::atoi(named) > 0 ? std::atoi(named) : 20;
}

void CompositeFreshProcess(benchmark::State& state)
{
    const CompositeFiles& files = CompositeFiles::shared();
    if (!files.ready) {
        state.SkipWithError("the photos and template could not be written");
        return;
    }
    const std::vector<QString> composite{QStringLiteral(KOVA_BENCH_COMPOSITE_ONCE), files.templatePath,
                                         files.output(QStringLiteral("cold-composite.jpeg"))};
    const std::vector<QString> floor{QStringLiteral(KOVA_BENCH_FLOOR_ONCE), files.photoA, files.photoB,
                                     files.output(QStringLiteral("cold-floor.jpeg"))};
    std::optional<OneProcessor> pinned;
    if (state.range(0) == 1 && !pinned.emplace().isPinned()) {
        state.SkipWithError("the benchmark cannot be kept on one processor");
        return;
    }
    ProcessCosts composites;
    ProcessCosts floors;
    std::vector<double> ratios;
    bool compositeFirst = true;
    for (auto _ : state) {
        const ProcessCost first = runProcess(compositeFirst ? composite : floor);
        const ProcessCost second = runProcess(compositeFirst ? floor : composite);
        const ProcessCost& measured = compositeFirst ? first : second;
        const ProcessCost& plain = compositeFirst ? second : first;
        compositeFirst = !compositeFirst;
        if (!measured.done || !plain.done) {
            state.SkipWithError("the composite or the floor process failed");
            return;
        }
        state.SetIterationTime(measured.wallMilliseconds / 1e3);
        composites.add(measured);
        floors.add(plain);
        ratios.push_back(measured.wallMilliseconds / plain.wallMilliseconds);
    }
    state.counters["ratio"] = median(ratios);
    composites.count(state, "");
    floors.count(state, "floor_");
    state.SetLabel(state.range(0) == 1 ? "one processor; target: ratio at most 1.3" : "all processors; target: ratio at most 1.0");
}
BENCHMARK(CompositeFreshProcess)
    ->ArgName("pinned")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(coldIterations());

} // namespace
