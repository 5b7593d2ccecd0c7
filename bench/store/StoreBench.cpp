// What the settings store costs at start and at close: reading the
// seventeen and the added settings from a file with a full snapshot, and
// writing the seventeen back (the file is replaced and synced to disk).
#include "TempFolder.h"

#include "monitor/AddedSettings.h"
#include "monitor/Settings.h"
#include "monitor/ShiftJisUtf8.h"
#include "store/IniSettingsStore.h"

#include <benchmark/benchmark.h>

namespace telvane {
namespace {

// A snapshot of eleven adapter lines with Japanese texts.
TStoredSettings Sample() {
    TStoredSettings settings;
    settings.Port = "COM1";
    settings.Interval = " 5\x95\xaa"; // 5分
    settings.DateTime = "2026/03/01 09:00:00";
    settings.LastDateTime = "2026/03/01 09:05:00";
    settings.LogRing = true;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        settings.Magic[slot] =
            "RECEIVE CALLING PARTY \x94\xd4\x8d\x86 0312345678, slot " + std::to_string(slot);
    }
    return settings;
}

void BM_LoadAtStart(benchmark::State& state) {
    testing::TTempFolder folder;
    TIniSettingsStore store(folder.Path() / "Telvane.conf");
    SaveSettings(store, Sample());
    TAddedSettings added;
    added.HookCommand = "espeak-ng -v ja \"\xE7\x9D\x80\xE4\xBF\xA1\"";
    SaveAddedSettings(store, TAddedSettings{}, added);
    for (auto _ : state) {
        TStoredSettings settings;
        LoadSettings(store, settings);
        TAddedSettings loaded;
        benchmark::DoNotOptimize(LoadAddedSettings(store, loaded));
        benchmark::DoNotOptimize(settings);
    }
}
BENCHMARK(BM_LoadAtStart)->Unit(benchmark::kMicrosecond);

void BM_SaveAtClose(benchmark::State& state) {
    testing::TTempFolder folder;
    TIniSettingsStore store(folder.Path() / "Telvane.conf");
    TStoredSettings settings = Sample();
    int round = 0;
    for (auto _ : state) {
        // A new last poll time each close, as in use.
        settings.LastDateTime = "2026/03/01 09:" + std::to_string(10 + round++ % 50) + ":00";
        benchmark::DoNotOptimize(SaveSettings(store, settings));
    }
}
BENCHMARK(BM_SaveAtClose)->Unit(benchmark::kMicrosecond);

void BM_ShiftJisRoundTrip(benchmark::State& state) {
    const std::string line = Sample().Magic[0];
    for (auto _ : state) {
        benchmark::DoNotOptimize(ShiftJisFromUtf8(Utf8FromShiftJis(line)));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_ShiftJisRoundTrip);

} // namespace
} // namespace telvane

BENCHMARK_MAIN();
