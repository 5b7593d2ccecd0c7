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

// Holds each read of a book until the test opens it or the directory stops.
class TGate {
public:
    void Pass(const fs::path& file, const std::atomic<bool>& stop) {
        std::unique_lock<std::mutex> lock(Mutex_);
        Reads_.push_back(file.filename().string());
        ++Held_;
        Changed_.notify_all();
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!Open_ && !stop) {
            if (std::chrono::steady_clock::now() > end) {
                TimedOut_ = true;
                break;
            }
            Changed_.wait_for(lock, 5ms);
        }
        --Held_;
    }
    // Whether a read is held up now, waiting up to 10 s for one.
    bool Holds() {
        std::unique_lock<std::mutex> lock(Mutex_);
        return Changed_.wait_for(lock, 10s, [this] { return Held_ > 0; });
    }
    void Set(bool open) {
        const std::lock_guard<std::mutex> lock(Mutex_);
        Open_ = open;
        Changed_.notify_all();
    }
    std::vector<std::string> Reads() {
        const std::lock_guard<std::mutex> lock(Mutex_);
        return Reads_;
    }
    bool TimedOut() {
        const std::lock_guard<std::mutex> lock(Mutex_);
        return TimedOut_;
    }

private:
    std::mutex Mutex_;
    std::condition_variable Changed_;
    std::vector<std::string> Reads_;
    int Held_ = 0;
    bool Open_ = false;
    bool TimedOut_ = false;
};

TEST(CallerDirectoryTest, ReadsNeverHoldTheAskingThreadAndStopWithTheDirectory) {
    testing::TTempFolder folder;
    const fs::path own = folder.Path() / "own.vcf";
    const fs::path user = folder.Path() / "user.csv";
    ASSERT_TRUE(
        testing::WriteFile(own, "BEGIN:VCARD\r\nFN:山田\r\nTEL:03-1234-5678\r\nEND:VCARD\r\n"));
    ASSERT_TRUE(testing::WriteFile(user, "0451234567,横浜商店\n"));
    TGate gate;
    std::mutex mutex;
    std::condition_variable published;
    int loads = 0;
    {
        TCallerDirectory directory(
            {"JP", "ja", own, user},
            [&] {
                const std::lock_guard<std::mutex> lock(mutex);
                ++loads;
                published.notify_all();
            },
            [&gate](TPhonebook& book, const fs::path& file, const TNumberKnowledge& numbers,
                    const std::atomic<bool>& stop) {
                gate.Pass(file, stop);
                return book.Load(file, numbers, &stop);
            });
        // The first read is held up: numbers are known already, names not yet.
        ASSERT_TRUE(gate.Holds());
        EXPECT_EQ(directory.MatchKey("0312345678"), "+81312345678");
        EXPECT_EQ(directory.Describe("0312345678").Name, "");
        EXPECT_FALSE(directory.Snapshot()->Loaded);

        // Of two loads asked for meanwhile, only the newer is read.
        directory.Load({"JP", "ja", own, folder.Path() / "replaced.csv"});
        directory.Load({"JP", "ja", own, user});
        gate.Set(true);
        {
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(published.wait_for(lock, 10s, [&] { return loads == 2; }));
        }
        EXPECT_EQ(gate.Reads(),
                  (std::vector<std::string>{"own.vcf", "user.csv", "own.vcf", "user.csv"}));
        EXPECT_EQ(directory.Describe("0312345678").Name, "山田");
        EXPECT_EQ(directory.Describe("0451234567").Name, "横浜商店");

        // Going away while a read is held up.
        gate.Set(false);
        directory.Reload();
        ASSERT_TRUE(gate.Holds());
    }
    EXPECT_FALSE(gate.TimedOut());
    EXPECT_EQ(loads, 2);

    const std::atomic<bool> stopped{true};
    TPhonebook book;
    EXPECT_TRUE(book.Load(own, TNumberKnowledge("JP", "ja"), &stopped).has_value());
}

} // namespace
} // namespace telvane
