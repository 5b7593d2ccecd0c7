// The caller directory reads contacts on its own thread: a read held up by
// the test never holds the thread that asks, newer loads replace waiting
// ones, and going away stops a read under way.
#include "callers/CallerDirectory.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>

namespace telvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(CallerDirectoryTest, ReadsNeverHoldTheAskingThreadAndStopWithTheDirectory) {
    testing::TTempFolder folder;
    const fs::path own = folder.Path() / "own.vcf";
    const fs::path user = folder.Path() / "user.csv";
    ASSERT_TRUE(
        testing::WriteFile(own, "BEGIN:VCARD\r\nFN:山田\r\nTEL:03-1234-5678\r\nEND:VCARD\r\n"));
    ASSERT_TRUE(testing::WriteFile(user, "0451234567,横浜商店\n"));
    // Each read waits until the test opens the gate or the directory stops,
    // at most 10 s.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> reads;
    int held = 0, loads = 0;
    bool timedOut = false;
    std::atomic<bool> open{false};
    const auto read = [&](TPhonebook& book, const fs::path& file, const TNumberKnowledge& numbers,
                          const std::atomic<bool>& stop) {
        std::unique_lock<std::mutex> lock(mutex);
        reads.push_back(file.filename().string());
        ++held;
        changed.notify_all();
        // The stop is told to the directory only: looked at every 5 ms.
        const auto end = std::chrono::steady_clock::now() + 10s;
        bool late = false;
        while (!open && !stop && !(late = std::chrono::steady_clock::now() > end)) {
            changed.wait_for(lock, 5ms);
        }
        timedOut |= late;
        --held;
        lock.unlock();
        return book.Load(file, numbers, &stop);
    };
    const auto until = [&](auto done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 10s, done);
    };
    {
        TCallerDirectory directory(
            {"JP", "ja", own, user},
            [&] {
                const std::lock_guard<std::mutex> lock(mutex);
                ++loads;
                changed.notify_all();
            },
            read);
        // The first read is held up: numbers are known already, names not yet.
        ASSERT_TRUE(until([&] { return held > 0; }));
        EXPECT_EQ(directory.MatchKey("0312345678"), "+81312345678");
        EXPECT_EQ(directory.Describe("0312345678").Name, "");

        // Of two loads asked for meanwhile, only the newer is read.
        directory.Load({"JP", "ja", own, folder.Path() / "replaced.csv"});
        directory.Load({"JP", "ja", own, user});
        open = true;
        ASSERT_TRUE(until([&] { return loads == 2; }));
        EXPECT_EQ(reads, (std::vector<std::string>{"own.vcf", "user.csv", "own.vcf", "user.csv"}));
        EXPECT_EQ(directory.Describe("0312345678").Name, "山田");
        EXPECT_EQ(directory.Describe("0451234567").Name, "横浜商店");

        // Going away while a read is held up: the stop wakes it.
        open = false;
        directory.Reload();
        ASSERT_TRUE(until([&] { return held > 0; }));
    }
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(loads, 2);
    const std::atomic<bool> stopped{true};
    EXPECT_TRUE(TPhonebook().Load(own, TNumberKnowledge("JP", "ja"), &stopped).has_value());
}

} // namespace
} // namespace telvane
