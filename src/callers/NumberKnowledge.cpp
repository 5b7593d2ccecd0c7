#include "callers/NumberKnowledge.h"

#include "callers/JapanNumbering.h"
#include "callers/NumberReader.h"
#include "callers/TextDecoding.h"

#include <utility>

namespace telvane {
namespace {

struct TWords {
    const char* Japanese;
    const char* English;
};

const char* Pick(const TWords& words, bool english) {
    return english ? words.English : words.Japanese;
}

const TWords* WithheldWords(const std::string& text) {
    static const TWords withheld = {"非通知", "withheld"};
    static const TWords outOfArea = {"表示圏外", "not available"};
    static const TWords payphone = {"公衆電話", "payphone"};
    if (text == "P") {
        return &withheld;
    }
    if (text == "O") {
        return &outOfArea;
    }
    if (text == "C") {
        return &payphone;
    }
    return nullptr;
}

const char* KindWords(ENumberKind kind, bool english) {
    switch (kind) {
    case ENumberKind::nkFixedLine:
        return Pick({"固定電話", "landline"}, english);
    case ENumberKind::nkMobile:
        return Pick({"携帯電話", "mobile"}, english);
    case ENumberKind::nkFixedLineOrMobile:
        return Pick({"固定電話か携帯電話", "landline or mobile"}, english);
    case ENumberKind::nkTollFree:
        return Pick({"通話料無料", "toll-free"}, english);
    case ENumberKind::nkPremiumRate:
        return Pick({"有料情報サービス", "premium rate"}, english);
    case ENumberKind::nkSharedCost:
        return Pick({"通話料分担", "shared cost"}, english);
    case ENumberKind::nkVoip:
        return Pick({"IP電話", "IP phone"}, english);
    case ENumberKind::nkPersonal:
        return Pick({"パーソナル番号", "personal number"}, english);
    case ENumberKind::nkPager:
        return Pick({"ポケットベル", "pager"}, english);
    case ENumberKind::nkUan:
        return Pick({"統一番号", "company number"}, english);
    case ENumberKind::nkVoicemail:
        return Pick({"留守番電話", "voicemail"}, english);
    case ENumberKind::nkUnknown:
        break;
    }
    return "";
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with the separators people and adapters put between them; a "+"
// only in front. Anything else (letters, "番号情報なし") is not a number.
bool IsNumberText(const std::string& text) {
    bool digit = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            digit = true;
        } else if (c == '+') {
            if (digit || text.find_first_not_of(" (", 0) != i) {
                return false;
            }
        } else if (c != ' ' && c != '-' && c != '(' && c != ')' && c != '.') {
            return false;
        }
    }
    return digit;
}

bool IsAllDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

bool IsEnglish(const std::string& language) {
    return language.rfind("en", 0) == 0;
}

// What the number reader is given: no more than a written number needs, cut
// at a character boundary. Reading costs time growing with the square of the
// text's length.
std::string ForReading(const std::string& text) {
    if (text.size() <= kMaxNumberTextBytes) {
        return text;
    }
    std::size_t end = kMaxNumberTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

} // namespace

TNumberKnowledge::TNumberKnowledge(std::string region, std::string language)
    : Region_(std::move(region)), Language_(std::move(language)), Japan_(Region_ == "JP"),
      English_(IsEnglish(Language_)), Digits_(MakeDigitsReader(Japan_)) {
    if (!Japan_) {
        // Another region's own numbers need the library from the start.
        Library();
    }
}

const INumberReader* TNumberKnowledge::Library() const {
    std::call_once(LibraryAsked_, [this] { Library_ = LoadNumberPlugin(Region_, English_); });
    return Library_.get();
}

TNumberReading TNumberKnowledge::Read(const std::string& numberText) const {
    if (!Japan_) {
        const INumberReader* library = Library();
        return library != nullptr ? library->Read(numberText) : Digits_->Read(numberText);
    }
    if (auto reading = ReadJapaneseNumber(numberText, English_)) {
        return std::move(*reading);
    }
    TNumberReading reading = Digits_->Read(numberText);
    // A call from abroad: its country and format, where the library is to
    // be had. Its key stays the one contacts are read with, without it.
    const bool abroad = reading.Key.size() > 1 && reading.Key[0] == '+';
    if (reading.Parsed && abroad && Library() != nullptr) {
        TNumberReading foreign = Library()->Read(numberText);
        if (foreign.Parsed) {
            foreign.Key = std::move(reading.Key);
            return foreign;
        }
    }
    return reading;
}

std::string TNumberKnowledge::Key(const std::string& numberText) const {
    if (!Japan_) {
        const INumberReader* library = Library();
        return library != nullptr ? library->Key(numberText) : Digits_->Key(numberText);
    }
    if (auto key = ReadJapaneseKey(numberText)) {
        return std::move(*key);
    }
    return Digits_->Key(numberText);
}

namespace {

// A caller text taken apart: a withheld reason, or a number with an optional
// sub-address ("0312345678/12").
struct TCallerParts {
    const TWords* Withheld = nullptr;
    bool IsNumber = false;
    std::string Number;
    std::string SubAddress;
};

TCallerParts SplitCaller(const std::string& callerText) {
    TCallerParts parts;
    const std::string text = Trimmed(callerText);
    parts.Withheld = WithheldWords(text);
    if (parts.Withheld != nullptr) {
        return parts;
    }
    const auto slash = text.find('/');
    parts.Number = text.substr(0, slash);
    if (slash != std::string::npos) {
        parts.SubAddress = text.substr(slash + 1);
        if (!IsAllDigits(parts.SubAddress)) {
            return parts;
        }
    }
    parts.IsNumber = IsNumberText(parts.Number);
    return parts;
}

} // namespace

TNumberInfo TNumberKnowledge::Describe(const std::string& callerText) const {
    TNumberInfo info;
    info.Display = ShiftJisToUtf8(callerText);
    const TCallerParts parts = SplitCaller(callerText);
    if (parts.Withheld != nullptr) {
        info.Withheld = Pick(*parts.Withheld, IsEnglish(Language_));
    }
    if (!parts.IsNumber) {
        return info;
    }
    TNumberReading reading = Read(ForReading(parts.Number));
    info.MatchKey = std::move(reading.Key);
    if (!reading.Parsed) {
        return info;
    }
    info.Parsed = true;
    info.Display = std::move(reading.National);
    if (!parts.SubAddress.empty()) {
        info.Display += '/' + parts.SubAddress;
    }
    info.Area = std::move(reading.Area);
    info.Kind = KindWords(reading.Kind, IsEnglish(Language_));
    return info;
}

std::string TNumberKnowledge::CallerKey(const std::string& callerText) const {
    const TCallerParts parts = SplitCaller(callerText);
    return parts.IsNumber ? Key(ForReading(parts.Number)) : std::string();
}

std::string TNumberKnowledge::MatchKey(const std::string& anyNumberText) const {
    std::string text = anyNumberText;
    // tel: URIs of vCard 4.0 and their parameters (";ext=", ";isub=").
    if (text.size() >= 4 && (text[0] == 't' || text[0] == 'T') &&
        (text[1] == 'e' || text[1] == 'E') && (text[2] == 'l' || text[2] == 'L') &&
        text[3] == ':') {
        text.erase(0, 4);
    }
    text = text.substr(0, text.find(';'));
    text = text.substr(0, text.find('/'));
    if (DigitsOf(text).empty()) {
        return {};
    }
    return Key(ForReading(text));
}

} // namespace telvane
