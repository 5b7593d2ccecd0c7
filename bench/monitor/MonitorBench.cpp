// Throughput of the reply reader and the cost of a whole query cycle.
#include "monitor/ReplyReader.h"
#include "monitor/sim/SimRig.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace telvane {
namespace {

void FeedAll(TReplyReader& reader, const std::string& bytes) {
    for (const char byte : bytes) {
        reader.AddChar(byte);
    }
}

// A realistic listing, fed byte by byte as the receive path does.
void BM_ReplyReaderListing(benchmark::State& state) {
    sim::TSimAdapter adapter;
    const std::string listing = adapter.Listing();
    TSnapshot current;
    int ends = 0;
    TReplyReader reader(current, [&] { ++ends; });
    for (auto _ : state) {
        FeedAll(reader, listing);
        benchmark::DoNotOptimize(current);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * listing.size()));
}
BENCHMARK(BM_ReplyReaderListing);

// One line of 1 MiB without a carriage return, then its end: must stay linear.
void BM_ReplyReaderLongLine(benchmark::State& state) {
    const std::string line = "RECEIVE CALLING PARTY = " + std::string(1 << 20, '1') + "\r";
    TSnapshot current;
    TReplyReader reader(current, [] {});
    for (auto _ : state) {
        FeedAll(reader, line);
        benchmark::DoNotOptimize(current);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_ReplyReaderLongLine)->Unit(benchmark::kMillisecond);

// Check, the reply in notifications of 64 bytes, the result phase with a
// new caller and its log line, on the simulated clock.
void BM_QueryCycleWithNewCaller(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "telvane-bench";
    std::filesystem::create_directories(folder);
    sim::TSimRig rig(folder);
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.LogRing = true;
    rig.Start();
    rig.RunUntilResult();
    std::uint64_t call = 0;
    for (auto _ : state) {
        rig.Adapter.Ring(std::to_string(++call));
        rig.RunUntilResult();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_QueryCycleWithNewCaller)->Unit(benchmark::kMicrosecond);

void BM_QueryCycleQuiet(benchmark::State& state) {
    sim::TSimRig rig(std::filesystem::temp_directory_path());
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.Start();
    rig.RunUntilResult();
    for (auto _ : state) {
        rig.RunUntilResult();
    }
}
BENCHMARK(BM_QueryCycleQuiet)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace telvane

BENCHMARK_MAIN();
