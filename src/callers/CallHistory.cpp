#include "callers/CallHistory.h"

#include "callers/NumberKnowledge.h"

#include <fstream>
#include <string_view>

namespace telvane {
namespace {

// The longest call line: two times, two commas, a number of at most 1000
// bytes and the line end.
constexpr std::size_t kMaxNumberBytes = 1000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A time as the monitor writes it: "yyyy/mm/dd hh:nn:ss". The separators
// follow the user's settings, so any punctuation is taken in their places.
bool IsTime(std::string_view text) {
    static constexpr char kPattern[] = "dddd-dd-dd dd-dd-dd";
    if (text.size() != sizeof kPattern - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (kPattern[i]) {
        case 'd':
            if (!IsDigit(c)) {
                return false;
            }
            break;
        case ' ':
            if (c != ' ') {
                return false;
            }
            break;
        default:
            if (c <= ' ' || c >= 0x7F || IsDigit(c) || c == ',') {
                return false;
            }
        }
    }
    return true;
}

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// One line without its line end; false when it is not a call line.
bool ParseLine(std::string_view line, TCallRecord& record) {
    const auto firstComma = line.find(',');
    if (firstComma == std::string_view::npos) {
        return false;
    }
    const auto secondComma = line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos) {
        return false;
    }
    const std::string_view previous = line.substr(0, firstComma);
    const std::string_view ring = line.substr(firstComma + 1, secondComma - firstComma - 1);
    const std::string_view number = line.substr(secondComma + 1);
    if ((!previous.empty() && !IsTime(previous)) || !IsTime(ring) ||
        number.size() > kMaxNumberBytes || HasControlByte(number)) {
        return false;
    }
    record.PreviousPoll.assign(previous);
    record.RingTime.assign(ring);
    record.Number.assign(number);
    return true;
}

void Parse(std::string_view readable, std::uint64_t base, THistoryRead& read) {
    std::size_t position = 0;
    TCallRecord record;
    while (true) {
        const auto end = readable.find('\n', position);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line = readable.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (ParseLine(line, record)) {
            read.Calls.push_back(std::move(record));
            record = TCallRecord();
        } else {
            ++read.Skipped;
        }
    }
    // The next read starts after the last whole line: at a line still being
    // written, or at a Ctrl-Z ending the file, which the monitor cuts before
    // it appends.
    read.EndOffset = base + position;
}

} // namespace

THistoryRead ReadCallHistory(const std::filesystem::path& log, std::uint64_t fromOffset) {
    THistoryRead read;
    std::ifstream in(log, std::ios::binary);
    if (!in) {
        read.EndOffset = 0;
        read.Restarted = fromOffset > 0;
        return read;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        return read;
    }
    const auto fileSize = static_cast<std::uint64_t>(size);
    // The text before fromOffset must still end a line, else the file is not
    // the one read before.
    if (fromOffset > 0) {
        char before = 0;
        if (fromOffset > fileSize || !in.seekg(static_cast<std::streamoff>(fromOffset - 1)) ||
            !in.get(before) || (before != '\n')) {
            read.Restarted = true;
            fromOffset = 0;
        }
    }
    in.clear();
    in.seekg(static_cast<std::streamoff>(fromOffset));
    std::string bytes(static_cast<std::size_t>(fileSize - fromOffset), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    read.Calls.reserve(bytes.size() / 50 + 1);
    Parse(bytes, fromOffset, read);
    return read;
}

void TCallCounter::Add(const std::vector<TCallRecord>& calls) {
    for (const TCallRecord& call : calls) {
        ++Counts_[KeyOf(call.Number)];
    }
}

std::size_t TCallCounter::CountOf(const std::string& number) const {
    const auto found = Counts_.find(KeyOf(number));
    return found == Counts_.end() ? 0 : found->second;
}

void TCallCounter::Clear() {
    Counts_.clear();
}

const std::string& TCallCounter::KeyOf(const std::string& number) const {
    auto found = KeyCache_.find(number);
    if (found == KeyCache_.end()) {
        std::string key = Numbers_.CallerKey(number);
        // A text without a key ("番号情報なし", "P") counts as itself; the
        // prefix keeps it apart from any key.
        found = KeyCache_.emplace(number, key.empty() ? "=" + number : std::move(key)).first;
    }
    return found->second;
}

} // namespace telvane
