// An INI settings file as its lines: what is read from it, and the same
// bytes again with only the values asked for written anew. Every other line
// (comments, values of kinds it does not know, lines it cannot read) stays
// as it was, byte for byte. New values go where QSettings would put them
// (sections and keys in order), so that a file QSettings wrote changes as
// QSettings would change it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvane {

class TIniDocument {
public:
    explicit TIniDocument(std::string text = {});

    // The notation of the value at a path "section/key" (a key of the
    // [General] section has no "section/"); the last one when it repeats.
    std::optional<std::string> Find(std::string_view path) const;
    // Whether any value lies under the group ("section" or "section/sub").
    bool HasGroup(std::string_view group) const;
    // Sets the notation of the value at a path.
    void Set(std::string_view path, std::string_view notation);

    std::string Text() const;

private:
    enum class TKind { Other, Section, Value };
    struct TLine {
        TKind Kind = TKind::Other;
        std::string Bytes;    // the whole entry with its line end
        std::string Section;  // of a header and of a value
        std::string Key;      // a value's key
        std::string Notation; // a value's notation
        // A quote left open runs to the end of the file: a line added after
        // it would become part of it.
        bool Open = false;
    };

    void Parse(std::string_view text);
    std::size_t ReadEntry(std::string_view text, std::size_t start, TLine& line) const;
    void InsertSection(const std::string& section, TLine value);
    std::string Line(const std::string& key, std::string_view notation) const;
    void EndWithNewline(std::size_t index);
    bool EndsOpen() const { return !Lines_.empty() && Lines_.back().Open; }

    std::vector<TLine> Lines_;
    std::string Newline_ = "\n";
};

} // namespace telvane
