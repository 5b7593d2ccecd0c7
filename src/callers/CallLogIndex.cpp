#include "callers/CallLogIndex.h"

#include "callers/CallLogScanner.h"
#include "callers/NumberKnowledge.h"

#include <algorithm>
#include <fstream>

namespace telvane {
namespace {

// The longest call line: two times, two commas, a number of at most 1000
// bytes and the line end.
constexpr std::size_t kMaxLineBytes = 19 + 1 + 19 + 1 + 1000 + 2;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool ContainsAnyCase(std::string_view text, const std::string& part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }) != text.end();
}

} // namespace

TCallLogPiece TCallLogReader::Read(std::size_t maxLines) {
    TCallLogPiece piece;
    TCallLogScanner scanner(Log_, Offset_);
    piece.Restarted = scanner.Restarted();
    piece.StartOffset = piece.Restarted ? 0 : Offset_;
    piece.FileBytes = scanner.FileBytes();
    std::unordered_map<std::string, std::uint32_t> ids;
    std::string text;
    TCallLine call;
    std::size_t lines = 0;
    while (!(piece.More = lines == maxLines)) {
        const auto line = scanner.Next();
        if (!line) {
            break;
        }
        ++lines;
        if (line->TooLong || !ParseCallLine(line->Text, call)) {
            ++piece.Skipped;
            continue;
        }
        text.assign(call.Number);
        const auto found = ids.try_emplace(text, std::uint32_t(ids.size())).first;
        piece.Offsets.push_back(line->Offset);
        piece.Callers.push_back(found->second);
    }
    piece.EndOffset = Offset_ = scanner.Offset();
    piece.Texts.resize(ids.size());
    for (auto& [number, id] : ids) {
        piece.Texts[id] = number;
    }
    return piece;
}

void TCallLogIndex::Clear() {
    // Fresh containers: the memory of the old ones goes back.
    Offsets_ = {};
    HighStarts_ = {};
    CallerOf_ = {};
    Skipped_ = 0;
    CallerIds_ = {};
    Texts_ = {};
    CallsOf_ = {};
    ForgetKeys();
}

bool TCallLogIndex::Update(const TNumberKnowledge* numbers) {
    bool changed = false;
    TCallLogPiece piece;
    do {
        piece = Reader_.Read();
        changed = changed || piece.Restarted || !piece.Offsets.empty();
        Add(piece);
    } while (piece.More);
    if (numbers != nullptr) {
        std::vector<std::string> keys;
        for (std::size_t caller = Keyed_; caller < Callers(); ++caller) {
            keys.push_back(numbers->CallerKey(Text(std::uint32_t(caller))));
        }
        AddKeys(keys);
    }
    return changed;
}

void TCallLogIndex::Add(const TCallLogPiece& piece) {
    if (piece.Restarted) {
        Clear();
    }
    std::vector<std::uint32_t> ids;
    ids.reserve(piece.Texts.size());
    for (const std::string& text : piece.Texts) {
        const auto [found, added] = CallerIds_.try_emplace(text, std::uint32_t(Texts_.size()));
        if (added) {
            Texts_.push_back(&found->first);
            CallsOf_.push_back(0);
        }
        ids.push_back(found->second);
    }
    // Room for the calls the rest of the file likely holds, taken at once:
    // no copy as the vectors grow, and pages not written stay unused.
    const std::uint64_t bytes = piece.EndOffset - piece.StartOffset;
    if (piece.More && bytes > 0) {
        const std::uint64_t likely =
            Calls() + piece.Offsets.size() +
            (piece.FileBytes - piece.EndOffset) * piece.Offsets.size() / bytes * 9 / 8;
        if (likely > Offsets_.capacity()) {
            Offsets_.reserve(std::size_t(likely));
        }
    }
    for (const std::uint64_t offset : piece.Offsets) {
        while (offset >> 32 > HighStarts_.size()) {
            HighStarts_.push_back(Offsets_.size());
        }
        Offsets_.push_back(std::uint32_t(offset));
    }
    CallerOf_.reserve(Offsets_.capacity());
    for (const std::uint32_t local : piece.Callers) {
        const std::uint32_t caller = ids[local];
        CallerOf_.push_back(caller);
        ++CallsOf_[caller];
        if (caller < Keyed_ && KeyOf_[caller] != kNone) {
            ++CallsOfKey_[KeyOf_[caller]];
        }
    }
    Skipped_ += piece.Skipped;
    EndOffset_ = piece.EndOffset;
}

std::uint64_t TCallLogIndex::OffsetOf(std::size_t call) const {
    const auto high = std::upper_bound(HighStarts_.begin(), HighStarts_.end(), call);
    return std::uint64_t(high - HighStarts_.begin()) << 32 | Offsets_[call];
}

std::optional<TCallRecord> TCallLogIndex::Call(std::size_t call) const {
    std::ifstream in(Log_, std::ios::binary);
    char bytes[kMaxLineBytes];
    if (!in.seekg(static_cast<std::streamoff>(OffsetOf(call)))) {
        return std::nullopt;
    }
    in.read(bytes, sizeof bytes);
    std::string_view line(bytes, static_cast<std::size_t>(in.gcount()));
    line = line.substr(0, line.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    TCallLine parsed;
    // A file replaced since holds something else there.
    if (!ParseCallLine(line, parsed) || parsed.Number != Text(CallerOf_[call])) {
        return std::nullopt;
    }
    return TCallRecord{std::string(parsed.PreviousPoll), std::string(parsed.RingTime),
                       std::string(parsed.Number)};
}

std::size_t TCallLogIndex::CountOf(std::uint32_t caller) const {
    if (caller < Keyed_ && KeyOf_[caller] != kNone) {
        return CallsOfKey_[KeyOf_[caller]];
    }
    return CallsOf_[caller];
}

void TCallLogIndex::AddKeys(const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        if (Keyed_ == Callers()) {
            break;
        }
        std::uint32_t id = kNone;
        if (!key.empty()) {
            const auto [found, added] = KeyIds_.try_emplace(key, std::uint32_t(CallsOfKey_.size()));
            if (added) {
                CallsOfKey_.push_back(0);
            }
            id = found->second;
            CallsOfKey_[id] += CallsOf_[Keyed_];
        }
        KeyOf_.push_back(id);
        ++Keyed_;
    }
}

void TCallLogIndex::ForgetKeys() {
    Keyed_ = 0;
    KeyOf_ = {};
    KeyIds_ = {};
    CallsOfKey_ = {};
}

std::vector<bool> CallsAtTimes(const std::filesystem::path& log, const std::string& text,
                               std::uint64_t endOffset, const std::function<bool()>& stop) {
    std::vector<bool> found;
    TCallLogScanner scanner(log, 0);
    TCallLine call;
    for (std::size_t lines = 1;; ++lines) {
        const auto line = scanner.Next();
        if (!line || line->Offset >= endOffset) {
            break;
        }
        if (lines % 65536 == 0 && stop()) {
            return {};
        }
        if (!line->TooLong && ParseCallLine(line->Text, call)) {
            found.push_back(ContainsAnyCase(call.RingTime, text));
        }
    }
    return found;
}

} // namespace telvane
