// Runs the caller monitor for simulated hours against a simulated terminal
// adapter that rings at random moments, and prints what the window would
// show: every status change and every detected caller. The call log is
// written for real, into the folder given.
//
//   telvane-monitor-sim [--hours N] [--interval TEXT] [--calls-per-hour N] [--folder DIR]

#include "monitor/ShiftJisUtf8.h"
#include "monitor/Texts.h"
#include "monitor/sim/SimRig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string Utf8(const std::string& shiftJis) {
    return telvane::Utf8FromShiftJis(shiftJis);
}

struct TOptions {
    double Hours = 24;
    std::string Interval = " 1";
    double CallsPerHour = 2;
    std::string Folder = ".";
};

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--hours") {
            options.Hours = std::atof(value);
        } else if (name == "--interval") {
            options.Interval = value;
        } else if (name == "--calls-per-hour") {
            options.CallsPerHour = std::atof(value);
        } else if (name == "--folder") {
            options.Folder = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--hours N] [--interval \"30s\"|\" 1\"] "
                     "[--calls-per-hour N] [--folder DIR]\n",
                     argv[0]);
        return 2;
    }

    telvane::sim::TSimRig rig(options.Folder);
    rig.AnswerWithListing();
    rig.View.Port = "COM1";
    rig.View.LogRing = true;
    // "30s" selects seconds, anything else minutes: " 1" is one minute.
    const bool seconds = !options.Interval.empty() && options.Interval.back() == 's';
    std::string number =
        options.Interval.substr(0, seconds ? options.Interval.size() - 1 : options.Interval.size());
    number.insert(0, number.size() < 2 ? " " : "");
    rig.View.Interval =
        number + (seconds ? telvane::texts::kUnitSeconds : telvane::texts::kUnitMinutes);

    std::mt19937 random(20260301);
    std::exponential_distribution<double> gapHours(options.CallsPerHour);
    const auto end = static_cast<std::uint64_t>(options.Hours * 3600 * 1000);
    int calls = 0;
    for (double at = gapHours(random); at < options.Hours; at += gapHours(random)) {
        const auto when = static_cast<std::uint64_t>(at * 3600 * 1000);
        rig.Scheduler.PostAt(when, [&rig, &calls, &random] {
            const std::string caller = "0" + std::to_string(100000000 + random() % 900000000);
            rig.Adapter.Ring(caller);
            ++calls;
        });
    }

    std::printf("Polling every %s for %.1f simulated hours, call log in %s/%s\n",
                Utf8(rig.View.Interval).c_str(), options.Hours, options.Folder.c_str(),
                telvane::texts::kRingLogFileName);
    rig.Start();
    std::string shown;
    while (rig.Scheduler.Now() < end && rig.RunUntilResult(end - rig.Scheduler.Now())) {
        // Print what changed on the window after each result phase.
        const std::string window = rig.View.Status + "|" + rig.View.Number + "|" + rig.View.Time;
        if (window != shown) {
            shown = window;
            std::printf("%s  %-10s number %-14s rang at %s\n", rig.Clock.Now().c_str(),
                        Utf8(rig.View.Status).c_str(), Utf8(rig.View.Number).c_str(),
                        rig.View.Time.c_str());
        }
    }
    rig.Handle([&rig] { rig.Monitor->FormClose(); });

    std::printf("%d calls rang, %d result phases, last caller %s at %s\n", calls, rig.ResultPhases,
                Utf8(rig.Monitor->GetCallerNumber()).c_str(), rig.Monitor->GetRingTime().c_str());
    return 0;
}
