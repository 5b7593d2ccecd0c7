// Xvfb, a private session bus and dunst for the end-to-end tests of what a
// new caller is told, with the small helpers they share.
#pragma once

#include "Harness.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace e2e {

// Runs a program to its end and gives its standard output, or nothing when
// it failed.
inline std::optional<std::string> Output(std::vector<std::string> arguments) {
    TChild::TOptions options;
    options.Arguments = std::move(arguments);
    options.PipeStdout = true;
    options.StderrFile = "/dev/null";
    TChild child(options);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(child.StdoutFd(), buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const auto status = child.Wait(kPatience);
    return EndedCleanly(status) ? std::optional<std::string>(text) : std::nullopt;
}

inline std::string FirstLine(TChild& child) {
    std::string line;
    char c;
    while (::read(child.StdoutFd(), &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

template <typename Done> bool Eventually(Done&& done) {
    for (int i = 0; i < 1600; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(25ms);
    }
    return done();
}

// Xvfb and a private session bus without service activation, so that no
// notification server starts unless the test starts dunst. The test's own
// environment points at them, and the programs it starts inherit that.
class TDesktop {
public:
    explicit TDesktop(const std::filesystem::path& folder) {
        TChild::TOptions x;
        x.Arguments = {"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp"};
        x.PipeStdout = true;
        x.StderrFile = folder / "xvfb.err";
        X_ = std::make_unique<TChild>(x);
        ::setenv("DISPLAY", (":" + FirstLine(*X_)).c_str(), 1);
        std::ofstream(folder / "bus.conf")
            << "<busconfig><type>session</type><listen>unix:tmpdir=" << folder.string()
            << "</listen><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
               "</policy></busconfig>\n";
        TChild::TOptions bus;
        bus.Arguments = {"/usr/bin/dbus-daemon", "--config-file=" + (folder / "bus.conf").string(),
                         "--nofork", "--print-address=1"};
        bus.PipeStdout = true;
        bus.StderrFile = folder / "bus.err";
        Bus_ = std::make_unique<TChild>(bus);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", FirstLine(*Bus_).c_str(), 1);
    }

    bool StartDunst(const std::filesystem::path& folder) {
        TChild::TOptions dunst;
        dunst.Arguments = {"/usr/bin/dunst"};
        dunst.StderrFile = folder / "dunst.err";
        Dunst_ = std::make_unique<TChild>(dunst);
        return Eventually([] { return Output({"/usr/bin/dunstctl", "count"}).has_value(); });
    }

    // What dunst showed, as its history after closing everything shown.
    std::string History() {
        Output({"/usr/bin/dunstctl", "close-all"});
        return Output({"/usr/bin/dunstctl", "history"}).value_or("");
    }

private:
    std::unique_ptr<TChild> X_;
    std::unique_ptr<TChild> Bus_;
    std::unique_ptr<TChild> Dunst_;
};

} // namespace e2e
