// Fuzz target: whatever RingLog.txt holds, the history's index ends, gives
// only well-formed calls, and reading a file in pieces of a few lines and in
// two steps (a first part, then what was appended) gives exactly the calls of
// reading it at once.
//
// Input: the whole log file.
#include "callers/CallLogIndex.h"

#include "Require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace telvane;

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

// The calls, each read back from the file.
std::vector<std::pair<std::uint64_t, std::string>> CallsOf(const TCallLogIndex& index) {
    std::vector<std::pair<std::uint64_t, std::string>> calls;
    for (std::size_t i = 0; i < index.Calls(); ++i) {
        const auto call = index.Call(i);
        Require(call.has_value(), "a call that does not read back");
        calls.emplace_back(i, call->Number);
    }
    return calls;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view log(reinterpret_cast<const char*>(data), size);
    Write(log);
    TCallLogIndex whole(WorkFile());
    whole.Update();
    Require(whole.EndOffset() <= size, "the end lies past the file");
    Require(whole.EndOffset() == log.rfind('\n') + 1, "whole lines were left unread");
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < whole.EndOffset(); ++i) {
        lineEnds += log[i] == '\n' ? 1 : 0;
    }
    Require(whole.Calls() + whole.Skipped() <= lineEnds, "more lines read than the file has");
    for (std::size_t i = 0; i < whole.Calls(); ++i) {
        const TCallRecord call = *whole.Call(i);
        Require(call.RingTime.size() == 19, "a ring time that is no time");
        Require(call.PreviousPoll.empty() || call.PreviousPoll.size() == 19,
                "a poll time that is no time");
        Require(call.Number.size() <= 1000, "a number longer than the monitor writes");
        Require(call.Number.find_first_of("\r\n\x1A") == std::string::npos,
                "a line end or Ctrl-Z in a number");
    }

    // The same file, first half and then the rest appended, read in pieces
    // of a few lines.
    Write(log.substr(0, size / 2));
    TCallLogIndex parts(WorkFile());
    TCallLogReader reader(WorkFile());
    const auto addAll = [&] {
        TCallLogPiece piece;
        do {
            piece = reader.Read(3);
            Require(!piece.Restarted, "an appended file read as replaced");
            parts.Add(piece);
        } while (piece.More);
    };
    addAll();
    Write(log);
    addAll();
    Require(CallsOf(parts) == CallsOf(whole), "reads in pieces differ from one");
    Require(parts.Skipped() == whole.Skipped(), "reads in pieces skip other lines");
    Require(parts.EndOffset() == whole.EndOffset(), "reads in pieces end elsewhere");
    return 0;
}
