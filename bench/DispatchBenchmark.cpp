// Throughput of the queue layer: what every job, output and watcher stands on.
#include "core/queues/ZORVAK_Coalesce.h"
#include "platform/dispatch/DispatchGroup.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

// Queues N empty blocks on one serial queue and waits until they all ran.
void SerialQueueAsyncAndDrain(benchmark::State& state)
{
    auto queue = platform::DispatchQueue::createSerial(QStringLiteral("bench.serial"));
    const auto blocks = state.range(0);
    for (auto _ : state) {
        for (int64_t i = 0; i < blocks; ++i)
            queue->async([] {});
        queue->sync([] {});
    }
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(SerialQueueAsyncAndDrain)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A group of 10,000 small blocks on a global queue, waited for.
void GlobalQueueGroup(benchmark::State& state)
{
    auto global = platform::DispatchQueue::global(platform::QoS::Default);
    std::atomic<int64_t> sum = 0;
    for (auto _ : state) {
        auto group = platform::DispatchGroup::create();
        for (int i = 0; i < 10000; ++i)
            group->async(global, [&sum] { sum.fetch_add(1, std::memory_order_relaxed); });
        group->wait();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(GlobalQueueGroup)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,000 requests under one key collapsed into one trailing run.
void CoalesceOneKey(benchmark::State& state)
{
    auto target = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("bench.target"));
    std::atomic<int> runs = 0;
    for (auto _ : state) {
        const int before = runs;
        for (int i = 0; i < 100000; ++i)
            ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("bench"), target, 0.001, [&runs] { ++runs; });
        while (runs == before)
            ZORVAK_Coalesce::coalescingQueue()->sync([] {});
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(CoalesceOneKey)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
