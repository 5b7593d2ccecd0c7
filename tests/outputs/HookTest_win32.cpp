// The hook command on Windows: its output read through a pipe, and the job
// that ends what it started. The program is its own hook: with a first
// argument that is not an option it plays one of the parts in Part.
#include "outputs/HookRunner.h"

#include "../monitor/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>

namespace telvane {
namespace {

std::string Self;

// The event of a "hold" part, which lives as long as the part does.
std::wstring HoldName(const std::string& marker) {
    return L"Local\\telvane-hook-test-" + std::wstring(marker.begin(), marker.end());
}

HANDLE OpenHold(const std::string& marker) {
    return OpenEventW(EVENT_MODIFY_STATE, FALSE, HoldName(marker).c_str());
}

bool Alive(const std::string& marker) {
    HANDLE event = OpenHold(marker);
    return event != nullptr && CloseHandle(event);
}

bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        Sleep(25);
    }
    return done();
}

HANDLE Start(const std::string& arguments, DWORD flags = 0) {
    std::string line = "\"" + Self + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                   &process);
    CloseHandle(process.hThread);
    return process.hProcess;
}

int Part(const std::vector<std::string>& words) {
    if (words[0] == "write") {
        const std::string chunk(5000, 'x');
        for (int i = 0; i < 1000; ++i) {
            fwrite(chunk.data(), 1, chunk.size(), stdout);
        }
    } else if (words[0] == "hold") { // until the test lets it go
        WaitForSingleObject(CreateEventW(nullptr, TRUE, FALSE, HoldName(words[1]).c_str()), 60000);
    } else if (words[0] == "tree") { // the second as far from its parent as Windows goes
        CloseHandle(Start("hold " + words[1] + "1"));
        CloseHandle(Start("hold " + words[1] + "2", DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP));
        Sleep(words[2] == "wait" ? 60000 : 0);
    } else if (words[0] == "crash") { // Telvane killed while its hook runs
        THookRunner runner({Self, "tree", words[1], "wait"}, words[2], nullptr);
        runner.Post(TCallEvent{});
        if (Eventually([&] { return Alive(words[1] + "1") && Alive(words[1] + "2"); })) {
            TerminateProcess(GetCurrentProcess(), 9);
        }
    }
    return 0;
}

TEST(HookWin32, OutputIsBoundedWhileTheHookRuns) {
    testing::TTempFolder folder;
    const auto log = folder.Path() / "hook.log";
    THookRunner runner({Self, "write"}, log.string(), nullptr);
    runner.Post(TCallEvent{});
    ASSERT_TRUE(runner.WaitIdle(std::chrono::seconds(60)));
    const std::string last = testing::ReadFile(log);
    const std::string both = testing::ReadFile(log.string() + ".1") + last;
    EXPECT_EQ(std::count(both.begin(), both.end(), 'x'), 256 * 1024);
    EXPECT_LE(both.size(), 2u * 256 * 1024);
    EXPECT_NE(last.find("dropped 4737856 bytes"), std::string::npos) << last.substr(0, 200);
}

TEST(HookWin32, WhatAHookStartedEndsWithTelvaneUnlessItFinishedOnTime) {
    testing::TTempFolder folder;
    const std::string log = (folder.Path() / "hook.log").string();
    HANDLE crashed = Start("crash m7 \"" + log + "\"");
    DWORD code = 0;
    WaitForSingleObject(crashed, 60000);
    GetExitCodeProcess(crashed, &code);
    CloseHandle(crashed);
    EXPECT_EQ(code, 9u); // its hook had started
    EXPECT_TRUE(Eventually([] { return !Alive("m71") && !Alive("m72"); }));

    THookRunner runner({Self, "tree", "m8", "now"}, log, nullptr);
    runner.Post(TCallEvent{});
    ASSERT_TRUE(runner.WaitIdle(std::chrono::seconds(60)));
    EXPECT_TRUE(Eventually([] { return Alive("m81") && Alive("m82"); }));
    for (const char* marker : {"m71", "m72", "m81", "m82"}) {
        HANDLE event = OpenHold(marker);
        SetEvent(event);
        CloseHandle(event);
    }
}

} // namespace
} // namespace telvane

int main(int argc, char** argv) {
    char path[MAX_PATH];
    telvane::Self.assign(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    if (argc > 1 && argv[1][0] != '-') {
        return telvane::Part(std::vector<std::string>(argv + 1, argv + argc));
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
