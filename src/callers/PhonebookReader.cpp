#include "callers/PhonebookReader.h"

#include "callers/Phonebook.h"
#include "callers/TextDecoding.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace telvane {
namespace {

// Calls visit(line, lineNumber) for each line of the text, without its LF
// and the CRs before it (a CR LF written in text mode ends in CR CR LF), for
// as long as visit returns true and stop is not set. Lines count from 1.
template <typename Visit>
void ForEachLine(std::string_view text, const std::atomic<bool>* stop, Visit&& visit) {
    std::size_t lineNumber = 0;
    std::size_t position = 0;
    while (position < text.size() && (stop == nullptr || !stop->load(std::memory_order_relaxed))) {
        std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(line, ++lineNumber)) {
            return;
        }
    }
}

// The messages, in Japanese and English.
struct TMessage {
    const char* Japanese;
    const char* English;
};
constexpr TMessage kNotText = {"テキストファイルではありません", "not a text file"};
constexpr TMessage kNulByte = {"NUL バイトのある壊れた行です", "a damaged line holding a NUL byte"};
constexpr TMessage kControlBytes = {"制御文字のある壊れた行です",
                                    "a damaged line holding control characters"};
constexpr TMessage kBrokenQuotedPrintable = {"quoted-printable の値が壊れています",
                                             "a broken quoted-printable value"};
constexpr TMessage kTooManyCards = {"連絡先が多すぎます (上限 100000 件)",
                                    "more than 100000 contacts"};
constexpr TMessage kTooManyNumbers = {"電話番号が多すぎます (上限 200000 件)",
                                      "more than 200000 phone numbers"};
constexpr TMessage kNothingUsable = {"名前と電話番号のある連絡先がありません",
                                     "no contact with a name and a phone number"};
constexpr TMessage kNoName = {"名前のない連絡先です", "a contact without a name"};
constexpr TMessage kNoNumber = {"電話番号のない連絡先です", "a contact without a phone number"};
constexpr TMessage kLineTooLong = {"行が長すぎます", "the line is too long"};
constexpr TMessage kStopped = {"読み込みを中止しました", "reading was stopped"};
constexpr TMessage kNotCsvLine = {"\"番号,名前\" の行ではありません", "not a \"number,name\" line"};

class TReporter {
public:
    TReporter(TContactsRead& read, bool english) : Read_(read), English_(english) {}

    std::string Text(const TMessage& message) const {
        return English_ ? message.English : message.Japanese;
    }
    void Skip(std::size_t line, const TMessage& message) {
        ++Read_.SkippedCount;
        if (Read_.Skipped.size() < kMaxPhonebookWarnings) {
            Read_.Skipped.push_back({line, Text(message)});
        }
    }
    void Fail(std::size_t line, const TMessage& message) {
        Read_.Error = TContactProblem{line, Text(message)};
    }
    // After reading: a file that had contacts, none of them usable, is broken;
    // one that is no vCard and holds a NUL byte is no text at all.
    void Finish(std::string_view text, bool cards) {
        if (Read_.Error || !Read_.Contacts.empty() || Read_.SkippedCount == 0) {
            return;
        }
        if (const auto zero = text.find('\0'); !cards && zero != std::string_view::npos) {
            const auto line =
                1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + zero, '\n'));
            Fail(line, kNotText);
            return;
        }
        Read_.Error = TContactProblem{Read_.Skipped.front().Line,
                                      Text(kNothingUsable) + ": " + Read_.Skipped.front().What};
    }

private:
    TContactsRead& Read_;
    bool English_;
};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// A line no text file of contacts holds: a NUL byte or another control
// character (a tab aside).
const TMessage* Damage(std::string_view line) {
    const TMessage* damage = nullptr;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            return &kNulByte;
        }
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            damage = &kControlBytes;
        }
    }
    return damage;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// Control characters (line ends from "\n", tabs) become blanks; blanks at
// either end go.
std::string CleanName(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// At most kMaxNameBytes, cut before a character, not inside one.
std::string CutName(std::string name) {
    if (name.size() <= kMaxNameBytes) {
        return name;
    }
    std::size_t end = kMaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    name.resize(end);
    return CleanName(std::move(name));
}

// Splits at separator outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// ---- vCard ----

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A "=" neither followed by two hex digits nor ending the value (a soft
// line break cut off by the card's end), blanks aside.
bool IsBrokenQuotedPrintable(std::string_view text) {
    for (std::size_t at = text.find('='); at != std::string_view::npos;
         at = text.find('=', at + 1)) {
        if (text.find_first_not_of(" \t", at + 1) == std::string_view::npos) {
            return false;
        }
        if (at + 2 >= text.size() || HexValue(text[at + 1]) < 0 || HexValue(text[at + 2]) < 0) {
            return true;
        }
    }
    return false;
}

// "=XX" becomes the byte; a "=" not followed by two hex digits stays as it is.
std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Splits a structured value (N, ORG) at unescaped ";" and undoes the escapes.
std::vector<std::string> Components(std::string_view value) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            parts.back() += (next == 'n' || next == 'N') ? ' ' : next;
        } else if (c == ';') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// N is family;given;middle;prefix;suffix. Japanese names read family name
// first, Western ones given name first.
std::string NameFromN(std::string_view value) {
    std::vector<std::string> parts = Components(value);
    parts.resize(5);
    for (auto& part : parts) {
        part = CleanName(part);
    }
    std::vector<std::string> order;
    if (HasNonAscii(parts[0]) || HasNonAscii(parts[1])) {
        order = {parts[0], parts[1], parts[2]};
    } else {
        order = {parts[3], parts[1], parts[2], parts[0], parts[4]};
    }
    std::string name;
    for (const auto& part : order) {
        if (!part.empty()) {
            name += (name.empty() ? "" : " ") + part;
        }
    }
    return name;
}

struct TProperty {
    std::string Name;  // upper case, without group
    std::string Value; // decoded to UTF-8, escapes kept
    bool BrokenQuotedPrintable = false;
};

bool IsShiftJisCharset(std::string_view charset) {
    for (const char* name : {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI",
                             "X-SJIS", "MS932"}) {
        if (EqualNoCase(charset, name)) {
            return true;
        }
    }
    return false;
}

bool IsLatin1Charset(std::string_view charset) {
    for (const char* name : {"ISO-8859-1", "LATIN1", "WINDOWS-1252", "US-ASCII"}) {
        if (EqualNoCase(charset, name)) {
            return true;
        }
    }
    return false;
}

// Where the value of a content line starts: after the first ":" outside a
// quoted parameter value.
std::size_t ValueColon(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool IsQuotedPrintable(std::string_view head) {
    for (std::string_view param : SplitOutsideQuotes(head, ';')) {
        if (EqualNoCase(param, "QUOTED-PRINTABLE") ||
            EqualNoCase(param, "ENCODING=QUOTED-PRINTABLE")) {
            return true;
        }
    }
    return false;
}

// unicode: the file was UTF-16, so the text is characters already; only
// quoted-printable bytes have a character set.
std::optional<TProperty> ParseProperty(std::string_view line, bool unicode) {
    const std::size_t colon = ValueColon(line);
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view head = line.substr(0, colon);
    const std::string_view raw = line.substr(colon + 1);
    const std::vector<std::string_view> params = SplitOutsideQuotes(head, ';');
    std::string_view name = params.front();
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        name.remove_prefix(dot + 1);
    }
    TProperty property;
    property.Name = Upper(name);
    bool quotedPrintable = false;
    std::string_view charset;
    for (std::size_t i = 1; i < params.size(); ++i) {
        const std::string_view param = params[i];
        if (EqualNoCase(param, "QUOTED-PRINTABLE") ||
            EqualNoCase(param, "ENCODING=QUOTED-PRINTABLE")) {
            quotedPrintable = true;
        } else if (StartsNoCase(param, "CHARSET=")) {
            charset = param.substr(8);
            if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"') {
                charset = charset.substr(1, charset.size() - 2);
            }
        }
    }
    property.BrokenQuotedPrintable = quotedPrintable && IsBrokenQuotedPrintable(raw);
    const std::string bytes = quotedPrintable ? DecodeQuotedPrintable(raw) : std::string(raw);
    if (unicode && !quotedPrintable) {
        property.Value = bytes;
    } else if (IsShiftJisCharset(charset)) {
        property.Value = ShiftJisToUtf8(bytes);
    } else if (IsLatin1Charset(charset)) {
        property.Value = Latin1ToUtf8(bytes);
    } else {
        property.Value = Utf8OrShiftJis(bytes);
    }
    return property;
}

struct TCard {
    std::size_t Line = 0;
    std::string FormattedName;
    std::string StructuredName;
    std::string Organisation;
    TContact Contact;
    bool HadTel = false;
    std::size_t TelLines = 0;
    const TMessage* Problem = nullptr;
    // The first damaged line: the card is skipped, whatever else it holds.
    const TMessage* Damage = nullptr;
    std::size_t DamageLine = 0;
};

class TVCardReader {
public:
    TVCardReader(const TNumberKnowledge& numbers, TContactsRead& read, TReporter& reporter,
                 bool unicode)
        : Numbers_(numbers), Read_(read), Reporter_(reporter), Unicode_(unicode) {}

    void Read(std::string_view text, const std::atomic<bool>* stop) {
        ForEachLine(text, stop, [this](std::string_view line, std::size_t lineNumber) {
            if (Read_.Error) {
                return false;
            }
            AddPhysicalLine(line, lineNumber);
            return true;
        });
        FlushLogical();
        if (Card_) {
            // A card cut off by the end of the file still counts if usable.
            EndCard();
        }
    }

private:
    static bool IsCardBoundary(std::string_view line) {
        return EqualNoCase(line, "END:VCARD") || EqualNoCase(line, "BEGIN:VCARD");
    }

    void Append(std::string_view part) {
        if (Logical_.size() + part.size() > kMaxPhonebookLineBytes) {
            Overlong_ = true;
            return;
        }
        Logical_ += part;
    }

    // A quoted-printable value ending in "=" goes on in the next line (a soft
    // line break of vCard 2.1). Whether the property is quoted-printable is
    // decided once, from its first line, so long values cost no rescans.
    bool ContinuesQuotedPrintable() const {
        return QuotedPrintable_ && !Logical_.empty() && Logical_.back() == '=';
    }

    // A damaged line spoils the card it is in; between cards, a run of them
    // is said once.
    void MarkDamage(const TMessage* damage, std::size_t lineNumber) {
        if (damage == nullptr) {
            return;
        }
        if (!Card_) {
            if (!DamageBetweenCards_) {
                Reporter_.Skip(lineNumber, *damage);
                DamageBetweenCards_ = true;
            }
        } else if (Card_->Damage == nullptr) {
            Card_->Damage = damage;
            Card_->DamageLine = lineNumber;
        }
    }

    void AddPhysicalLine(std::string_view line, std::size_t lineNumber) {
        const TMessage* damage = Damage(line);
        if (HaveLogical_ && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
            Append(line);
            QuotedPrintableGoesOn_ = ContinuesQuotedPrintable();
            MarkDamage(damage, lineNumber);
            return;
        }
        if (HaveLogical_ && QuotedPrintableGoesOn_ && !IsCardBoundary(line)) {
            Logical_.pop_back();
            Append(line);
            QuotedPrintableGoesOn_ = ContinuesQuotedPrintable();
            MarkDamage(damage, lineNumber);
            return;
        }
        FlushLogical();
        // The line after an END:VCARD is outside the card it ended.
        MarkDamage(damage, lineNumber);
        Logical_.assign(line.substr(0, std::min(line.size(), kMaxPhonebookLineBytes)));
        Overlong_ = line.size() > kMaxPhonebookLineBytes;
        LogicalLine_ = lineNumber;
        HaveLogical_ = true;
        const std::size_t colon = ValueColon(Logical_);
        QuotedPrintable_ = colon != std::string::npos &&
                           IsQuotedPrintable(std::string_view(Logical_).substr(0, colon));
        QuotedPrintableGoesOn_ = ContinuesQuotedPrintable();
    }

    void FlushLogical() {
        if (!HaveLogical_) {
            return;
        }
        HaveLogical_ = false;
        QuotedPrintableGoesOn_ = false;
        if (Read_.Error) {
            return;
        }
        const std::string_view line = Logical_;
        if (EqualNoCase(line, "BEGIN:VCARD")) {
            if (Card_) {
                EndCard();
            }
            if (++Cards_ > kMaxPhonebookCards) {
                Reporter_.Fail(LogicalLine_, kTooManyCards);
                return;
            }
            Card_.emplace();
            Card_->Line = LogicalLine_;
            DamageBetweenCards_ = false;
            return;
        }
        if (!Card_) {
            return;
        }
        if (EqualNoCase(line, "END:VCARD")) {
            EndCard();
            return;
        }
        AddToCard(line);
    }

    void AddToCard(std::string_view line) {
        TCard& card = *Card_;
        // Most lines (mail, addresses, photos) are passed over by name alone.
        std::string_view shortName = line.substr(0, line.find_first_of(";:"));
        if (const auto dot = shortName.rfind('.'); dot != std::string_view::npos) {
            shortName.remove_prefix(dot + 1);
        }
        const bool wanted = EqualNoCase(shortName, "FN") || EqualNoCase(shortName, "N") ||
                            EqualNoCase(shortName, "TEL") || EqualNoCase(shortName, "ORG");
        if (!wanted) {
            return;
        }
        const std::optional<TProperty> property = ParseProperty(line, Unicode_);
        if (!property) {
            return;
        }
        if (property->BrokenQuotedPrintable) {
            MarkDamage(&kBrokenQuotedPrintable, LogicalLine_);
            return;
        }
        const std::string& name = property->Name;
        // A name's line cut at the limit still gives its beginning.
        if (Overlong_ && name == "TEL") {
            card.Problem = &kLineTooLong;
            return;
        }
        if (name == "FN") {
            // FN is one text: a ";" in it, escaped or not, is part of the name.
            const std::vector<std::string> parts = Components(property->Value);
            std::string joined = parts.front();
            for (std::size_t i = 1; i < parts.size(); ++i) {
                joined += ';' + parts[i];
            }
            card.FormattedName = CleanName(std::move(joined));
        } else if (name == "N") {
            card.StructuredName = NameFromN(property->Value);
        } else if (name == "ORG") {
            card.Organisation = CleanName(Components(property->Value).front());
        } else {
            card.HadTel = true;
            // Parsing a number is the costly step: the TEL lines read are
            // limited per card and per file, so a hostile file ends soon.
            if (++card.TelLines > kMaxNumbersPerCard) {
                return;
            }
            if (++NumbersRead_ > kMaxPhonebookNumbers) {
                Reporter_.Fail(LogicalLine_, kTooManyNumbers);
                return;
            }
            std::string key = Numbers_.MatchKey(property->Value);
            if (!key.empty()) {
                card.Contact.Numbers.push_back(property->Value);
                card.Contact.Keys.push_back(std::move(key));
            }
        }
    }

    void EndCard() {
        TCard card = std::move(*Card_);
        Card_.reset();
        if (card.Damage != nullptr) {
            Reporter_.Skip(card.DamageLine, *card.Damage);
            return;
        }
        std::string name = CutName(!card.FormattedName.empty()    ? card.FormattedName
                                   : !card.StructuredName.empty() ? card.StructuredName
                                                                  : card.Organisation);
        if (card.Problem == nullptr) {
            if (card.Contact.Keys.empty()) {
                if (!card.HadTel) {
                    return; // an address-only contact: nothing to match
                }
                card.Problem = &kNoNumber;
            } else if (name.empty()) {
                card.Problem = &kNoName;
            }
        }
        if (card.Problem != nullptr) {
            Reporter_.Skip(card.Line, *card.Problem);
            return;
        }
        card.Contact.Name = std::move(name);
        card.Contact.Line = card.Line;
        Read_.Contacts.push_back(std::move(card.Contact));
    }

    const TNumberKnowledge& Numbers_;
    TContactsRead& Read_;
    TReporter& Reporter_;
    const bool Unicode_;
    bool DamageBetweenCards_ = false;
    std::string Logical_;
    std::size_t LogicalLine_ = 0;
    bool HaveLogical_ = false;
    bool Overlong_ = false;
    bool QuotedPrintable_ = false;
    bool QuotedPrintableGoesOn_ = false;
    std::size_t NumbersRead_ = 0;
    std::optional<TCard> Card_;
    std::size_t Cards_ = 0;
};

// ---- CSV ----

// Fields of one CSV line; quotes may hold commas, "" is a quote. Returns
// nothing for a quote left open.
std::optional<std::vector<std::string>> CsvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    return fields;
}

void ReadCsv(std::string_view text, const TNumberKnowledge& numbers, TContactsRead& read,
             TReporter& reporter, const std::atomic<bool>* stop) {
    std::size_t rows = 0;
    ForEachLine(text, stop, [&](std::string_view line, std::size_t lineNumber) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            return true;
        }
        // Damaged lines cost little and count as no row, so that a binary
        // file ends as such rather than as too many contacts.
        if (const TMessage* damage = Damage(line)) {
            reporter.Skip(lineNumber, *damage);
            return true;
        }
        if (++rows > kMaxPhonebookCards) {
            reporter.Fail(lineNumber, kTooManyCards);
            return false;
        }
        if (line.size() > kMaxPhonebookLineBytes) {
            reporter.Skip(lineNumber, kLineTooLong);
            return true;
        }
        std::optional<std::vector<std::string>> fields = CsvFields(line);
        if (!fields || fields->size() < 2) {
            reporter.Skip(lineNumber, kNotCsvLine);
            return true;
        }
        std::string number = Utf8OrShiftJis((*fields)[0]);
        std::string name = CleanName(Utf8OrShiftJis((*fields)[1]));
        std::string key = numbers.MatchKey(number);
        if (key.empty()) {
            // "name,number" is read too.
            std::string swappedKey = numbers.MatchKey(name);
            if (!swappedKey.empty()) {
                std::swap(number, name);
                name = CleanName(name);
                key = std::move(swappedKey);
            }
        }
        if (key.empty()) {
            // A heading line ("number,name") is no contact.
            if (rows > 1) {
                reporter.Skip(lineNumber, kNoNumber);
            }
            return true;
        }
        if (name.empty()) {
            reporter.Skip(lineNumber, kNoName);
            return true;
        }
        TContact contact;
        contact.Name = CutName(std::move(name));
        contact.Numbers.push_back(std::move(number));
        contact.Keys.push_back(std::move(key));
        contact.Line = lineNumber;
        read.Contacts.push_back(std::move(contact));
        return true;
    });
}

// A vCard file: some line begins a card, even when damage comes before it.
bool HoldsCards(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && StartsNoCase(line.substr(first), "BEGIN:VCARD")) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

TContactsRead ReadContacts(std::string_view bytes, const TNumberKnowledge& numbers,
                           const std::atomic<bool>* stop) {
    TContactsRead read;
    TReporter reporter(read, numbers.Language().rfind("en", 0) == 0);
    // The whole file in UTF-8 first; its lines are the file's lines.
    const std::optional<std::string> unicode = Utf16FileToUtf8(bytes);
    std::string_view text = unicode ? std::string_view(*unicode) : bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    const bool cards = HoldsCards(text);
    if (cards) {
        TVCardReader reader(numbers, read, reporter, unicode.has_value());
        reader.Read(text, stop);
    } else {
        ReadCsv(text, numbers, read, reporter, stop);
    }
    if (stop != nullptr && stop->load()) {
        reporter.Fail(0, kStopped);
    }
    reporter.Finish(text, cards);
    return read;
}

} // namespace telvane
