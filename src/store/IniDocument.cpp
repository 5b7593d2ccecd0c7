#include "store/IniDocument.h"

#include "store/IniText.h"

#include <algorithm>
#include <iterator>

namespace telvane {
namespace {

constexpr std::string_view kRootSection = "General";

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (IsSpace(text.front()) || IsLineEnd(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsSpace(text.back()) || IsLineEnd(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// The index just past the line end at or after i.
std::size_t PastLineEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && !IsLineEnd(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        return i + 2;
    }
    return i < text.size() ? i + 1 : i;
}

// A header's section: "General" is the keys without a section, "%General"
// a section of that name.
std::string SectionName(std::string_view notation) {
    if (notation == kRootSection) {
        return {};
    }
    return ParseIniName(notation);
}

std::string SectionNotation(const std::string& section) {
    if (section.empty()) {
        return std::string(kRootSection);
    }
    if (section == kRootSection) {
        return "%" + std::string(kRootSection);
    }
    return FormatIniName(section);
}

std::string PathOf(const std::string& section, const std::string& key) {
    return section.empty() ? key : section + "/" + key;
}

} // namespace

TIniDocument::TIniDocument(std::string text) {
    Parse(text);
}

void TIniDocument::Parse(std::string_view text) {
    std::size_t i = 0;
    // A UTF-8 byte order mark is no part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        Lines_.push_back({TKind::Other, std::string(text.substr(0, 3)), {}, {}, {}});
        i = 3;
    }
    const std::size_t firstEnd = text.find_first_of("\r\n", i);
    if (firstEnd != std::string_view::npos && text[firstEnd] == '\r') {
        Newline_ = text.substr(firstEnd, 2) == "\r\n" ? "\r\n" : "\r";
    }
    std::string section;
    while (i < text.size()) {
        TLine line;
        line.Section = section;
        const std::size_t end = ReadEntry(text, i, line);
        line.Bytes = std::string(text.substr(i, end - i));
        if (line.Kind == TKind::Section) {
            section = line.Section;
        }
        Lines_.push_back(std::move(line));
        i = end;
    }
}

// Reads the entry that starts at start into line; returns where it ends.
// A value's entry may go on over several lines: quotes that span lines, a
// backslash before the line end.
std::size_t TIniDocument::ReadEntry(std::string_view text, std::size_t start, TLine& line) const {
    std::size_t i = start;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    if (i == text.size() || IsLineEnd(text[i]) || text[i] == ';') {
        return PastLineEnd(text, i);
    }
    if (text[i] == '[') {
        const std::size_t end = PastLineEnd(text, i);
        std::string_view name = text.substr(i + 1, end - i - 1);
        name = name.substr(0, name.find_first_of("]\r\n"));
        line.Kind = TKind::Section;
        line.Section = SectionName(Trimmed(name));
        return end;
    }
    bool quoted = false;
    std::size_t equals = std::string_view::npos;
    std::size_t valueEnd = text.size();
    std::size_t end = text.size();
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\') {
            i += (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') ? 3 : 2;
        } else if (c == '"') {
            quoted = !quoted;
            ++i;
        } else if (c == '=' && !quoted && equals == std::string_view::npos) {
            equals = i++;
        } else if (!quoted && (c == ';' || IsLineEnd(c))) {
            valueEnd = i;
            end = PastLineEnd(text, i);
            break;
        } else {
            ++i;
        }
    }
    valueEnd = std::min(valueEnd, text.size());
    end = std::min(end, text.size());
    line.Open = quoted;
    if (equals == std::string_view::npos) {
        return end;
    }
    const std::string_view key = Trimmed(text.substr(start, equals - start));
    if (key.empty()) {
        return end;
    }
    line.Kind = TKind::Value;
    line.Key = ParseIniName(key);
    line.Notation = std::string(text.substr(equals + 1, valueEnd - equals - 1));
    return end;
}

std::optional<std::string> TIniDocument::Find(std::string_view path) const {
    for (auto line = Lines_.rbegin(); line != Lines_.rend(); ++line) {
        if (line->Kind == TKind::Value && PathOf(line->Section, line->Key) == path) {
            return line->Notation;
        }
    }
    return std::nullopt;
}

bool TIniDocument::HasGroup(std::string_view group) const {
    const std::string prefix = std::string(group) + "/";
    for (const TLine& line : Lines_) {
        if (line.Kind == TKind::Value &&
            PathOf(line.Section, line.Key).compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

std::string TIniDocument::Line(const std::string& key, std::string_view notation) const {
    return FormatIniName(key) + "=" + std::string(notation) + Newline_;
}

void TIniDocument::EndWithNewline(std::size_t index) {
    std::string& bytes = Lines_[index].Bytes;
    if (!bytes.empty() && !IsLineEnd(bytes.back())) {
        bytes += Newline_;
    }
}

void TIniDocument::Set(std::string_view path, std::string_view notation) {
    // The key QSettings would write: the first part names the section.
    const std::size_t slash = path.find('/');
    const std::string section(slash == std::string_view::npos ? "" : path.substr(0, slash));
    const std::string key(slash == std::string_view::npos ? path : path.substr(slash + 1));
    const std::string whole(path);
    for (auto line = Lines_.rbegin(); line != Lines_.rend(); ++line) {
        if (line->Kind == TKind::Value && PathOf(line->Section, line->Key) == whole) {
            line->Bytes = Line(line->Key, notation);
            line->Notation = std::string(notation);
            return;
        }
    }
    TLine value{TKind::Value, Line(key, notation), section, key, std::string(notation)};
    // The lines [first, last) of the section's last part.
    std::optional<std::pair<std::size_t, std::size_t>> part;
    std::size_t firstHeader = Lines_.size();
    for (std::size_t i = 0; i < Lines_.size(); ++i) {
        if (Lines_[i].Kind != TKind::Section) {
            continue;
        }
        firstHeader = std::min(firstHeader, i);
        if (part && part->second == Lines_.size()) {
            part->second = i;
        }
        if (Lines_[i].Section == section) {
            part = {i + 1, Lines_.size()};
        }
    }
    if (!part && section.empty()) {
        // Keys above the first header belong to [General] too.
        for (std::size_t i = 0; i < firstHeader; ++i) {
            if (Lines_[i].Kind == TKind::Value) {
                part = {0, firstHeader};
            }
        }
    }
    if (!part) {
        InsertSection(section, std::move(value));
        return;
    }
    std::size_t at = part->first;
    for (std::size_t i = part->first; i < part->second; ++i) {
        if (Lines_[i].Kind == TKind::Value) {
            if (IniNameLess(key, Lines_[i].Key)) {
                Lines_.insert(Lines_.begin() + static_cast<std::ptrdiff_t>(i), std::move(value));
                return;
            }
            at = i + 1;
        }
    }
    if (at == Lines_.size() && EndsOpen()) {
        --at;
    } else if (at > 0) {
        EndWithNewline(at - 1);
    }
    Lines_.insert(Lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(value));
}

void TIniDocument::InsertSection(const std::string& section, TLine value) {
    TLine header{TKind::Section, "[" + SectionNotation(section) + "]" + Newline_, section, {}, {}};
    TLine blank{TKind::Other, Newline_, {}, {}, {}};
    // Before the first section that comes later, [General] first of all.
    for (std::size_t i = 0; i < Lines_.size(); ++i) {
        if (Lines_[i].Kind == TKind::Section &&
            (section.empty() || IniNameLess(section, Lines_[i].Section))) {
            const auto at = Lines_.begin() + static_cast<std::ptrdiff_t>(i);
            Lines_.insert(at, {std::move(header), std::move(value), std::move(blank)});
            return;
        }
    }
    if (EndsOpen()) {
        // Before the part of the file that the open quote ends; at the top,
        // a [General] header gives the lines that follow their section back.
        std::size_t at = Lines_.size() - 1;
        while (at > 0 && Lines_[at].Kind != TKind::Section) {
            --at;
        }
        std::vector<TLine> part{std::move(header), std::move(value), std::move(blank)};
        if (Lines_[at].Kind != TKind::Section) {
            at = Lines_[0].Bytes == "\xEF\xBB\xBF" ? 1 : 0;
            part.push_back(
                {TKind::Section, "[" + SectionNotation({}) + "]" + Newline_, {}, {}, {}});
        }
        Lines_.insert(Lines_.begin() + static_cast<std::ptrdiff_t>(at),
                      std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        return;
    }
    if (!Lines_.empty()) {
        EndWithNewline(Lines_.size() - 1);
        const TLine& last = Lines_.back();
        if (last.Kind != TKind::Other || !Trimmed(last.Bytes).empty()) {
            Lines_.push_back(std::move(blank));
        }
    }
    Lines_.push_back(std::move(header));
    Lines_.push_back(std::move(value));
}

std::string TIniDocument::Text() const {
    std::string text;
    for (const TLine& line : Lines_) {
        text += line.Bytes;
    }
    return text;
}

} // namespace telvane
