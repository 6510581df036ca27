// Measurement replies through the reply parser with a window that does
// nothing: lines per second on one core, and heap allocations per line.
#include "protocol/headless.h"
#include "protocol/protocol.h"

#include "alloccount.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

using benchsupport::g_allocations;

namespace {

using namespace dxu;

// One parser call per line, as when the unit streams at its own pace.
void parseLines(benchmark::State& state, int mode, int display, const char* line)
{
    auto st = std::make_unique<DxuState>();
    st->connected = 1;
    st->current().measureMode = mode;
    st->current().displayMode = display;
    st->current().units = 1;
    HeadlessLink port;
    Hooks hooks;
    EventFanout events;
    Protocol protocol(*st, port, hooks, events);
    const std::size_t length = std::strlen(line);
    char buffer[128];

    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        std::memcpy(buffer, line, length);
        benchmark::DoNotOptimize(protocol.parseReplies(buffer, static_cast<int32_t>(length)));
    }
    const uint64_t allocations = g_allocations.load() - before;
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs_per_line"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_DistanceAndIntensity(benchmark::State& s) { parseLines(s, 1, 2, "$BM,12.345,678\r"); }
void BM_DistanceOnly(benchmark::State& s) { parseLines(s, 1, 1, "$BM,12.345\r"); }
void BM_BinningTarget(benchmark::State& s) { parseLines(s, 2, 1, "$BM,0,1,5.700,17\r"); }
void BM_Detection(benchmark::State& s) { parseLines(s, 3, 1, "$BM,1234\r"); }

// Many replies gathered in one receive block.
void BM_BlockOf100Lines(benchmark::State& state)
{
    auto st = std::make_unique<DxuState>();
    st->connected = 1;
    st->current().measureMode = 1;
    st->current().displayMode = 2;
    HeadlessLink port;
    Hooks hooks;
    EventFanout events;
    Protocol protocol(*st, port, hooks, events);
    std::string block;
    for (int i = 0; i < 100; ++i)
        block += "$BM," + std::to_string(10 + i) + ".345," + std::to_string(600 + i) + "\r";
    auto buffer = std::make_unique<char[]>(block.size() + 1);
    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        std::memcpy(buffer.get(), block.data(), block.size());
        benchmark::DoNotOptimize(protocol.parseReplies(buffer.get(), static_cast<int32_t>(block.size())));
    }
    const uint64_t allocations = g_allocations.load() - before;
    state.SetItemsProcessed(state.iterations() * 100);
    state.counters["allocs_per_line"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations() * 100));
}

BENCHMARK(BM_DistanceAndIntensity);
BENCHMARK(BM_DistanceOnly);
BENCHMARK(BM_BinningTarget);
BENCHMARK(BM_Detection);
BENCHMARK(BM_BlockOf100Lines);

} // namespace

BENCHMARK_MAIN();
