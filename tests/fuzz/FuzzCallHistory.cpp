// Fuzz target: whatever RingLog.txt holds, the history reader ends, gives only
// well-formed calls, and reading a file in two steps (a first part, then what
// was appended) gives exactly the calls of reading it at once.
//
// Input: the whole log file.
#include "callers/CallHistory.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using namespace telvane;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const std::filesystem::path& WorkFile() {
    static const std::filesystem::path file = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "telvane-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "no temporary folder");
        return std::filesystem::path(pattern) / "RingLog.txt";
    }();
    // Registered after file is made, so it runs before file is destroyed.
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(file.parent_path(), ignored);
        });
        return true;
    }();
    (void)removedAtExit;
    return file;
}

void Write(std::string_view bytes) {
    std::ofstream out(WorkFile(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(out.good(), "the input could not be written");
}

bool SameCalls(const std::vector<TCallRecord>& a, const std::vector<TCallRecord>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].PreviousPoll != b[i].PreviousPoll || a[i].RingTime != b[i].RingTime ||
            a[i].Number != b[i].Number) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view log(reinterpret_cast<const char*>(data), size);
    Write(log);
    const THistoryRead whole = ReadCallHistory(WorkFile());
    Require(!whole.Restarted, "a first read restarted");
    Require(whole.EndOffset <= size, "the end lies past the file");
    Require(whole.EndOffset == 0 || log[whole.EndOffset - 1] == '\n',
            "the end is not after a whole line");
    Require(whole.EndOffset == log.rfind('\n') + 1, "whole lines were left unread");
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < whole.EndOffset; ++i) {
        lineEnds += log[i] == '\n' ? 1 : 0;
    }
    Require(whole.Calls.size() + whole.Skipped <= lineEnds, "more lines read than the file has");
    for (const TCallRecord& call : whole.Calls) {
        Require(call.RingTime.size() == 19, "a ring time that is no time");
        Require(call.PreviousPoll.empty() || call.PreviousPoll.size() == 19,
                "a poll time that is no time");
        Require(call.Number.size() <= 1000, "a number longer than the monitor writes");
        Require(call.Number.find_first_of("\r\n\x1A") == std::string::npos,
                "a line end or Ctrl-Z in a number");
    }

    // The same file, first half and then the rest appended.
    Write(log.substr(0, size / 2));
    const THistoryRead first = ReadCallHistory(WorkFile());
    Write(log);
    const THistoryRead rest = ReadCallHistory(WorkFile(), first.EndOffset);
    Require(!rest.Restarted, "an appended file read as replaced");
    std::vector<TCallRecord> joined = first.Calls;
    joined.insert(joined.end(), rest.Calls.begin(), rest.Calls.end());
    Require(SameCalls(joined, whole.Calls), "two reads differ from one");
    Require(first.Skipped + rest.Skipped == whole.Skipped, "two reads skip other lines");
    Require(rest.EndOffset == whole.EndOffset, "two reads end elsewhere");
    return 0;
}
