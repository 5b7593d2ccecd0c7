// The call history window over a long call log: how long the window's
// thread is held while the history opens, reopens and searches, and how
// much memory it keeps while open and after it closed. Prints figures.
//
// history_opening_bench [lines [distinct callers]]  (4,000,000 and 300)
#include "BenchProgram.h"

#include "qt/callers/HistoryModel.h"
#include "qt/callers/HistoryWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

using namespace telvane;

std::filesystem::path MakeFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "telvane-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    return pattern;
}

// field: "VmRSS" now, "VmHWM" the peak since ResetPeak().
long ResidentKiB(const std::string& field = "VmRSS") {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::atol(line.c_str() + field.size() + 1);
        }
    }
    return -1;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Number(long i) {
    return "03" + std::to_string(10000000 + i);
}

// One call in 50 withheld, the others from `distinct` numbers.
void WriteLog(const std::filesystem::path& path, long lines, long distinct) {
    std::ofstream out(path, std::ios::binary);
    for (long i = 0; i < lines; ++i) {
        out << "2026/03/01 09:00:00,2026/03/01 09:05:00,"
            << (i % 50 == 0 ? std::string("P") : Number((i * 7919) % distinct)) << "\r\n";
    }
}

struct TWait {
    double LongestBlockMs = 0; // the window's thread went without running a 10 ms timer
    double DoneMs = 0;         // until the work was done
};

// While `start` runs and until `done` holds.
TWait Measure(const std::function<void()>& start, const std::function<bool()>& done) {
    QTimer tick;
    tick.setInterval(10);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    tick.start();
    QTimer::singleShot(0, start);
    qint64 doneAt = -1;
    do {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (doneAt < 0 && done()) {
            doneAt = clock.nsecsElapsed();
        }
    } while ((doneAt < 0 || clock.nsecsElapsed() - last > 20'000'000) && clock.elapsed() < 600'000);
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return {double(longest) / 1e6, double(doneAt) / 1e6};
}

void Settle() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

} // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 4'000'000;
    const long distinct = argc > 2 ? std::atol(argv[2]) : 300;
    const std::filesystem::path folder = MakeFolder();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));

    std::filesystem::create_directories(folder / "log");
    const auto log = folder / "log" / "RingLog.txt";
    WriteLog(log, lines, distinct);
    std::printf("log: %ld lines, %ld distinct callers, %.1f MB\n", lines, distinct,
                double(std::filesystem::file_size(log)) / 1e6);
    const long calls = lines;
    // What Qt takes once for the first window it shows (fonts, styles) is
    // not the history's: a history of one call opens and closes first.
    std::filesystem::create_directories(folder / "small");
    WriteLog(folder / "small" / "RingLog.txt", 1, 1);
    {
        TBenchProgram first(folder / "first.conf", folder / "small");
        first.Form.ShowHistory();
        Settle();
    }
    TBenchProgram program(folder / "settings.conf", folder / "log");
    Settle();
    const long baseline = ResidentKiB();
    std::printf("resident before the first opening: %.0f MB; figures below are MB more\n",
                baseline / 1024.0);

    for (const char* round : {"first opening", "reopening"}) {
        Settle();
        const long before = ResidentKiB();
        ResetPeak();
        THistoryWindow* window = nullptr;
        const TWait opening = Measure([&] { window = &program.Form.ShowHistory(); },
                                      [&] {
                                          return window != nullptr &&
                                                 !window->Model().History().Reading() &&
                                                 long(window->Model().History().Calls()) == calls;
                                      });
        Settle();
        const long open = ResidentKiB();
        const auto search = [&](const QString& text) {
            return Measure([&] { window->Model().History().SetFilter(text.toStdString()); },
                           [&] { return !window->Model().History().Searching(); });
        };
        // Withheld calls, one in 50, by their name; then every call by its time.
        const TWait byName = search(QStringLiteral("非通知"));
        const bool found = window->Model().History().NumberAt(0) == "P";
        const TWait byTime = search(QStringLiteral("09:05"));
        const TWait clearing = search({});
        const long peak = ResidentKiB("VmHWM");
        const TWait closing = Measure([&] { delete window; }, [] { return true; });
        Settle();
        const long after = ResidentKiB();
        if (!found) {
            std::printf("the search found no withheld call\n");
        }
        std::printf("%s: longest block (done after) in ms: opening %.0f (%.0f), searching a "
                    "name %.0f (%.0f), a time %.0f (%.0f), clearing %.0f, closing %.0f\n",
                    round, opening.LongestBlockMs, opening.DoneMs, byName.LongestBlockMs,
                    byName.DoneMs, byTime.LongestBlockMs, byTime.DoneMs, clearing.LongestBlockMs,
                    closing.LongestBlockMs);
        std::printf("  resident MB: before %+.0f, peak %+.0f, open %+.0f, closed %+.0f\n",
                    (before - baseline) / 1024.0, (peak - baseline) / 1024.0,
                    (open - baseline) / 1024.0, (after - baseline) / 1024.0);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
