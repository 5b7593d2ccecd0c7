// The fixture of the end-to-end tests: a private folder with a settings
// folder, a copy of telvane and a running ta-sim behind COM1.
#pragma once

#include "Harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <memory>

namespace e2e {

// The names of the seventeen stored values.
inline const std::vector<std::string> kSettingNames = {
    "Port",   "Interval", "DateTime", "LastDateTime", "LogRing", "Magic0",
    "Magic1", "Magic2",   "Magic3",   "Magic4",       "Magic5",  "Magic6",
    "Magic7", "Magic8",   "Magic9",   "Magic10",      "Dream"};

class EndToEnd : public ::testing::Test {
protected:
    // ta-sim's pace: the tests that are about reading replies use a
    // 9600 bit/s line; the others a faster one.
    explicit EndToEnd(std::string byteDelay = "0.2") : ByteDelay_(std::move(byteDelay)) {}

    void SetUp() override {
        Adapter = std::make_unique<TTaSim>(ConfigHome(), Root.Path(),
                                           std::vector<std::string>{"--byte-delay", ByteDelay_});
        Program = std::make_unique<TTelvane>(ConfigHome(), Root.Path());
        // The Japanese interface, whatever the desktop running the tests speaks.
        Program->SetEnvironment("LANG", "ja_JP.UTF-8");
    }

    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "--- telvane's stderr:\n" << Program->Stderr() << "--- ta-sim's events:\n";
            for (const std::string& event : Adapter->Events()) {
                std::cerr << "  " << event << "\n";
            }
        }
        Program.reset();
        Adapter.reset();
    }

    std::filesystem::path ConfigHome() const { return Root.Path() / "config"; }
    const std::filesystem::path& CallLog() const { return Program->CallLog(); }
    const std::filesystem::path& SettingsFile() const { return Program->SettingsFile(); }

    // Settings for a program that polls COM1 every second and writes the
    // call log; the stored snapshot is empty.
    static TSettings Polling(TSettings changes = {}) {
        TSettings settings = {{"Port", "COM1"}, {"Interval", " 1秒"}, {"LogRing", "1"}};
        for (const auto& [name, value] : changes) {
            settings[name] = value;
        }
        return settings;
    }

    void Start() {
        Program->Start();
        ASSERT_TRUE(Program->WaitUntilReady()) << "telvane did not come up";
    }

    // Ends the program with a signal; it must save and end cleanly.
    void Stop(TSettings& saved, int signalNumber = SIGTERM) {
        const auto status = Program->Stop(signalNumber);
        ASSERT_TRUE(EndedCleanly(status)) << DescribeStatus(status);
        const auto settings = ReadSettings(SettingsFile());
        ASSERT_TRUE(settings) << "no settings saved";
        saved = *settings;
    }

    // A first run that takes the adapter's listing as the stored snapshot:
    // its first answered query logs the calling-party line it finds.
    void Baseline(TSettings& saved, TSettings changes = {}) {
        WriteSettings(SettingsFile(), Polling(changes));
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(WaitForLogLines(CallLog(), 1));
        ASSERT_NO_FATAL_FAILURE(Stop(saved));
        ASSERT_TRUE(IsTimeText(saved["LastDateTime"])) << saved["LastDateTime"];
    }

    // Rings as soon as the adapter has finished a reply, so that the new
    // caller falls between two polls.
    void RingBetweenPolls(const std::string& caller) {
        ASSERT_TRUE(Adapter->WaitForSent(Adapter->Sent() + 1)) << "no reply";
        Adapter->Send("caller " + caller);
    }

    // Waits for the next line of the call log and gives it.
    void NextLine(std::string& line) {
        const std::size_t count = LogLines(CallLog()).size();
        ASSERT_TRUE(WaitForLogLines(CallLog(), count + 1)) << "no call logged";
        line = LogLines(CallLog()).at(count);
    }

    // Waits for the given number of further queries. A query starts only
    // after the result of the one before it, so when this returns, at least
    // polls - 1 whole queries were evaluated.
    void WaitForPolls(int polls) {
        ASSERT_TRUE(Adapter->WaitForCommands(Adapter->Commands() + polls)) << "polling stopped";
    }

    // Whole queries come and go without a new line in the call log.
    void ExpectQuietPolls(int polls) {
        const std::size_t count = LogLines(CallLog()).size();
        ASSERT_NO_FATAL_FAILURE(WaitForPolls(polls + 1));
        EXPECT_EQ(LogLines(CallLog()).size(), count) << "a call logged for an unchanged listing";
    }

    TTempFolder Root;
    std::unique_ptr<TTaSim> Adapter;
    std::unique_ptr<TTelvane> Program;

private:
    std::string ByteDelay_;
};

} // namespace e2e
