// The serial component's messages, in Shift_JIS, and a log that the watch
// thread writes and the test thread waits on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Entries in the order they came, from any thread.
class TLog {
public:
    void Add(const std::string& Entry) {
        std::lock_guard<std::mutex> lock(FLock);
        FEntries.push_back(Entry);
        FBytes += Entry;
        FChanged.notify_all();
    }
    // The entries once there are at least Count of them (or after 10 s).
    std::vector<std::string> WaitFor(size_t Count) {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait_for(lock, std::chrono::seconds(10), [&] { return FEntries.size() >= Count; });
        return FEntries;
    }
    // All entries joined, once they hold at least Count bytes (or after 10 s).
    std::string WaitForBytes(size_t Count) {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait_for(lock, std::chrono::seconds(10), [&] { return FBytes.size() >= Count; });
        return FBytes;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<std::string> FEntries;
    std::string FBytes;
};

const std::string NotStarted = "\x92\xca\x90\x4d\x82\xaa\x8a\x4a\x8e\x6e\x82\xb3\x82\xea\x82\xc4"
                               "\x82\xa2\x82\xc8\x82\xa2\x81\x42"; // 通信が開始されていない。
const std::string TooLong = "\x91\x97\x90\x4d\x83\x66\x81\x5b\x83\x5e\x92\xb7\x82\xaa\x92\xb7"
                            "\x82\xb7\x82\xac\x82\xe9\x81\x42"; // 送信データ長が長すぎる。
const std::string OpenError = "\x83\x49\x81\x5b\x83\x76\x83\x93\x83\x47\x83\x89\x81\x5b"
                              " ErrorCode = "; // オープンエラー
const std::string ReadWriteError = "\x93\xfc\x8f\x6f\x97\xcd\x83\x47\x83\x89\x81\x5b"
                                   " ErrorCode = "; // 入出力エラー

} // namespace
