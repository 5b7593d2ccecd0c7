#include "store/IniText.h"

#include "monitor/Utf8.h"

#include <algorithm>
#include <utility>

namespace telvane {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The escapes of a control character by a letter, as in C.
constexpr std::pair<char16_t, char16_t> kLetterEscapes[] = {
    {u'a', u'\a'}, {u'b', u'\b'}, {u'f', u'\f'}, {u'n', u'\n'},
    {u'r', u'\r'}, {u't', u'\t'}, {u'v', u'\v'},
};

// The control character that "\" and letter stand for, or 0.
char16_t ControlOfLetter(char16_t letter) {
    for (const auto& [escape, control] : kLetterEscapes) {
        if (escape == letter) {
            return control;
        }
    }
    return 0;
}

// The letter that escapes a control character, or 0.
char16_t LetterOfControl(char16_t c) {
    for (const auto& [escape, control] : kLetterEscapes) {
        if (control == c) {
            return escape;
        }
    }
    return 0;
}

bool StartsWith(std::u16string_view text, std::u16string_view start) {
    return text.substr(0, start.size()) == start;
}

bool EndsWith(std::u16string_view text, std::u16string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A list item that begins with "@" is no text unless it is "@@...".
bool IsForeignItem(std::u16string_view item) {
    return StartsWith(item, u"@") && !StartsWith(item, u"@@");
}

// What a single value's @-form means: the text, or Other.
TIniValue Interpret(std::u16string text) {
    TIniValue value;
    if (StartsWith(text, u"@@")) {
        text.erase(0, 1);
    } else if (StartsWith(text, u"@String(") && EndsWith(text, u")")) {
        text = text.substr(8, text.size() - 9);
    } else if (text == u"@Invalid()") {
        value.Kind = TIniValue::TKind::Other;
    } else if (EndsWith(text, u")")) {
        for (const std::u16string_view form :
             {u"@ByteArray(", u"@Variant(", u"@DateTime(", u"@Rect(", u"@Size(", u"@Point("}) {
            if (StartsWith(text, form)) {
                value.Kind = TIniValue::TKind::Other;
            }
        }
    }
    value.Texts.push_back(Utf8FromUtf16(text));
    return value;
}

class TValueReader {
public:
    explicit TValueReader(std::u16string_view notation) : In_(notation) {}

    TIniValue Read() {
        while (At_ < In_.size()) {
            const char16_t c = In_[At_++];
            if (c == u'\\') {
                Escape();
            } else if (c == u'"') {
                Quoted_ = !Quoted_;
                SkipBlanks_ = !Quoted_;
                Keep_ = Item_.size();
            } else if (Quoted_) {
                Take(c);
            } else if (c == u';') {
                break;
            } else if (c == u',') {
                EndItem();
            } else if (IsBlank(c)) {
                // Blanks count between words, not around an item or after quotes.
                if (!SkipBlanks_) {
                    Item_ += c;
                }
            } else {
                Take(c);
            }
        }
        EndItem();
        if (Items_.size() == 1) {
            return Interpret(std::move(Items_.front()));
        }
        TIniValue value;
        value.Kind = TIniValue::TKind::List;
        for (std::u16string& item : Items_) {
            if (IsForeignItem(item)) {
                value.Kind = TIniValue::TKind::Other;
            } else if (StartsWith(item, u"@@")) {
                item.erase(0, 1);
            }
            value.Texts.push_back(Utf8FromUtf16(item));
        }
        return value;
    }

private:
    void Take(char16_t c) {
        Item_ += c;
        Keep_ = Item_.size();
        SkipBlanks_ = false;
    }

    void EndItem() {
        Item_.resize(Keep_);
        Items_.push_back(std::move(Item_));
        Item_.clear();
        Keep_ = 0;
        SkipBlanks_ = true;
    }

    void Escape() {
        if (At_ >= In_.size()) {
            return;
        }
        const char16_t c = In_[At_++];
        if (const char16_t control = ControlOfLetter(c)) {
            Take(control);
            return;
        }
        switch (c) {
        case u'"':
        case u'\'':
        case u'?':
        case u'\\':
            Take(c);
            return;
        case u'\r':
            // A line continued on the next.
            if (At_ < In_.size() && In_[At_] == u'\n') {
                ++At_;
            }
            return;
        case u'\n':
            return;
        case u'x':
            HexEscape();
            return;
        default:
            if (c >= u'0' && c <= u'7') {
                OctalEscape(c);
            }
            // Any other escaped character is dropped with its backslash.
            return;
        }
    }

    // "\x" and any number of hex digits; without a digit, nothing.
    void HexEscape() {
        char16_t code = 0;
        bool any = false;
        while (At_ < In_.size() && HexDigit(In_[At_]) >= 0) {
            code = static_cast<char16_t>((code << 4) | HexDigit(In_[At_++]));
            any = true;
        }
        if (any) {
            Take(code);
        }
    }

    // "\" and octal digits, the first of them already read.
    void OctalEscape(char16_t first) {
        char16_t code = static_cast<char16_t>(first - u'0');
        while (At_ < In_.size() && In_[At_] >= u'0' && In_[At_] <= u'7') {
            code = static_cast<char16_t>((code << 3) | (In_[At_++] - u'0'));
        }
        Take(code);
    }

    std::u16string_view In_;
    std::size_t At_ = 0;
    std::u16string Item_;
    std::size_t Keep_ = 0; // the item's length without trailing blanks
    std::vector<std::u16string> Items_;
    bool Quoted_ = false;
    bool SkipBlanks_ = true;
};

void AppendHex(std::string& out, unsigned value, int width, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0 || static_cast<int>(hex.size()) < width);
    out += hex;
}

// "\x" and the code in lower-case hex digits.
void AppendEscape(std::u16string& out, char16_t c) {
    std::string hex = "\\x";
    AppendHex(hex, c, 1, false);
    out.append(hex.begin(), hex.end());
}

// Appends c as a value holds it; true when that ended in a numeric escape,
// which a hex digit after it would continue.
bool AppendValueCharacter(std::u16string& out, char16_t c) {
    if (c == u'"' || c == u'\\') {
        out += u'\\';
        out += c;
    } else if (c == u'\0') {
        out += u"\\0";
        return true;
    } else if (const char16_t letter = LetterOfControl(c)) {
        out += u'\\';
        out += letter;
    } else if (c < 0x20) {
        AppendEscape(out, c);
        return true;
    } else {
        out += c;
    }
    return false;
}

} // namespace

TIniValue ParseIniValue(std::string_view notation) {
    return TValueReader(Utf16FromUtf8(notation)).Read();
}

std::string FormatIniText(std::string_view text) {
    std::u16string value = Utf16FromUtf8(text);
    // A NUL needs the @String form; a text that begins with "@" is told
    // from the @-forms by a second "@".
    if (value.find(u'\0') != std::u16string::npos) {
        value = u"@String(" + value + u")";
    } else if (StartsWith(value, u"@")) {
        value.insert(0, 1, u'@');
    }
    // Built in UTF-16, so that a surrogate pair stays one character.
    std::u16string out;
    bool quote = !value.empty() && (value.front() == u' ' || value.back() == u' ');
    // After a numeric escape, a hex digit would continue it: it is escaped too.
    bool escapeDigit = false;
    for (const char16_t c : value) {
        if (escapeDigit && HexDigit(c) >= 0) {
            AppendEscape(out, c);
            continue;
        }
        quote = quote || c == u';' || c == u',' || c == u'=';
        escapeDigit = AppendValueCharacter(out, c);
    }
    return Utf8FromUtf16(quote ? u"\"" + out + u"\"" : out);
}

std::string ParseIniName(std::string_view notation) {
    const std::u16string in = Utf16FromUtf8(notation);
    std::u16string name;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char16_t c = in[i];
        if (c == u'\\') {
            name += u'/';
            continue;
        }
        if (c == u'%') {
            const bool wide = i + 1 < in.size() && in[i + 1] == u'U';
            const std::size_t start = i + (wide ? 2 : 1);
            const std::size_t count = wide ? 4 : 2;
            if (start + count <= in.size() &&
                std::all_of(in.begin() + static_cast<std::ptrdiff_t>(start),
                            in.begin() + static_cast<std::ptrdiff_t>(start + count),
                            [](char16_t d) { return HexDigit(d) >= 0; })) {
                char16_t code = 0;
                for (std::size_t k = start; k < start + count; ++k) {
                    code = static_cast<char16_t>((code << 4) | HexDigit(in[k]));
                }
                name += code;
                i = start + count - 1;
                continue;
            }
        }
        name += c;
    }
    return Utf8FromUtf16(name);
}

std::string FormatIniName(std::string_view name) {
    std::string out;
    for (const char16_t c : Utf16FromUtf8(name)) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
            c == u'-' || c == u'.' || c == u'_') {
            out += static_cast<char>(c);
        } else if (c == u'/') {
            out += '\\';
        } else if (c < 0x100) {
            out += '%';
            AppendHex(out, c, 2, true);
        } else {
            out += "%U";
            AppendHex(out, c, 4, true);
        }
    }
    return out;
}

bool IniNameLess(std::string_view a, std::string_view b) {
    return Utf16FromUtf8(a) < Utf16FromUtf8(b);
}

} // namespace telvane
