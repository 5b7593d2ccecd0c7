// Numbers as their digits, where nothing more is known: numbers of another
// country while the region is JP (on a platform without libphonenumber),
// and every number of another region there. For Japan a "+81" is read as the
// leading "0" of a national number and "010" as the international prefix,
// so "+81 3-1234-5678" and "03-1234-5678" match.
#include "callers/NumberKnowledge.h"
#include "callers/NumberReader.h"

namespace telvane {
namespace {

constexpr char kJapanCode[] = "+81";
constexpr char kJapanInternationalPrefix[] = "010";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class TDigitsReader final : public INumberReader {
public:
    explicit TDigitsReader(bool japan) : Japan_(japan) {}

    TNumberReading Read(const std::string& numberText) const override {
        TNumberReading reading;
        const std::string digits = DigitsOf(numberText);
        if (digits.empty()) {
            return reading;
        }
        reading.Key = KeyOf(digits);
        // As many digits as a key keeps: more than any number has, so the
        // text is shown as given.
        if (digits.size() - (digits[0] == '+' ? 1 : 0) >= kMaxKeyDigits) {
            return reading;
        }
        reading.Parsed = true;
        reading.National = NationalOf(digits);
        return reading;
    }

    std::string Key(const std::string& numberText) const override {
        const std::string digits = DigitsOf(numberText);
        return digits.empty() ? std::string() : KeyOf(digits);
    }

private:
    // "+81" + the national number without its "0" for Japanese numbers of
    // national length (10 or 11 digits with the "0"), a call from abroad
    // dialled with "010" as "+", else the digits.
    std::string KeyOf(const std::string& digits) const {
        if (!Japan_) {
            return digits;
        }
        if (digits.rfind(kJapanInternationalPrefix, 0) == 0 && digits.size() > 4) {
            return "+" + digits.substr(3);
        }
        const bool national =
            digits.size() >= 10 && digits.size() <= 11 && digits[0] == '0' && digits[1] != '0';
        return national ? kJapanCode + digits.substr(1) : digits;
    }

    // What is shown: the national digits, "+81" read as "0".
    std::string NationalOf(const std::string& digits) const {
        if (Japan_ && digits.rfind(kJapanCode, 0) == 0 && digits.size() > 3) {
            return '0' + digits.substr(3);
        }
        return digits;
    }

    const bool Japan_;
};

} // namespace

std::unique_ptr<INumberReader> MakeDigitsReader(bool japan) {
    return std::make_unique<TDigitsReader>(japan);
}

std::string DigitsOf(const std::string& text) {
    std::string digits;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size() && kept < kMaxKeyDigits; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            digits += c;
            ++kept;
        } else if (c == '+' && digits.empty()) {
            digits = "+";
        } else if (c == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBC') {
            // Full-width "０".."９" (U+FF10..FF19) and "＋" (U+FF0B).
            const auto last = static_cast<unsigned char>(text[i + 2]);
            if (last >= 0x90 && last <= 0x99) {
                digits += static_cast<char>('0' + (last - 0x90));
                ++kept;
                i += 2;
            } else if (last == 0x8B && digits.empty()) {
                digits = "+";
                i += 2;
            }
        }
    }
    return digits == "+" ? std::string() : digits;
}

} // namespace telvane
