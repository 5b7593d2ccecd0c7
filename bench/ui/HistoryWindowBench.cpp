// Opening the call history window on a 100,000-line call log: reading the
// log (on the model's worker), building the table model and showing the
// first screenful, offscreen; and searching it.
// With a 10,000-card phonebook, as a user with many contacts has.
#include "BenchProgram.h"

#include "qt/callers/HistoryModel.h"
#include "qt/callers/HistoryWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTableView>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace telvane;

constexpr int kLogLines = 100000;
constexpr int kCards = 10000;

std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "telvane-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}

std::string Number(int i) {
    return "03" + std::to_string(10000000 + i);
}

// distinct: how many different numbers called.
// The folder of a log from `distinct` numbers.
std::filesystem::path Log(int distinct) {
    const auto folder = Folder() / ("log-" + std::to_string(distinct));
    std::filesystem::create_directories(folder);
    const auto path = folder / "RingLog.txt";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < kLogLines; ++i) {
        out << "2026/03/01 09:00:00,2026/03/01 09:05:00,"
            << (i % 50 == 0 ? std::string("P") : Number((i * 7919) % distinct)) << "\r\n";
    }
    return folder;
}

void WriteSettings() {
    std::ofstream(Folder() / "contacts.vcf", std::ios::binary) << [] {
        std::string cards;
        for (int i = 0; i < kCards; ++i) {
            cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 太郎 " + std::to_string(i) +
                     "\r\nTEL:+81 3-" + Number(i).substr(2, 4) + "-" + Number(i).substr(6) +
                     "\r\nEND:VCARD\r\n";
        }
        return cards;
    }();
    TIniSettingsStore store(Folder() / "settings.ini");
    TAddedSettings settings;
    settings.Phonebook = (Folder() / "contacts.vcf").string();
    SaveAddedSettings(store, TAddedSettings{}, settings);
}

void BM_OpenHistory(benchmark::State& state) {
    const auto log = Log(int(state.range(0)));
    WriteSettings();
    TBenchProgram program(Folder() / "settings.ini", log);
    program.WaitForContacts();
    for (auto _ : state) {
        THistoryWindow& window = program.Form.ShowHistory();
        // Read beside the window's thread: until the whole log shows.
        while (window.Model().History().Reading()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.Table()->model()->rowCount());
        delete &window;
    }
    state.counters["lines"] = kLogLines;
}
// A few hundred callers, as a household's log has; every line another number.
BENCHMARK(BM_OpenHistory)->Arg(300)->Arg(kLogLines)->Unit(benchmark::kMillisecond);

// The first search describes every caller once; later ones reuse that.
void BM_SearchHistory(benchmark::State& state) {
    const auto log = Log(int(state.range(0)));
    WriteSettings();
    TBenchProgram program(Folder() / "settings.ini", log);
    program.WaitForContacts();
    THistoryWindow& window = program.Form.ShowHistory();
    while (window.Model().History().Reading()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    bool first = true;
    for (auto _ : state) {
        window.Model().History().SetFilter(first ? "山田" : "東京");
        while (window.Model().History().Searching()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        benchmark::DoNotOptimize(window.Model().rowCount());
        first = false;
    }
}
BENCHMARK(BM_SearchHistory)->Arg(300)->Arg(kLogLines)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("XDG_CONFIG_HOME", Folder().c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
