// Number knowledge without libphonenumber (the Windows build): numbers are
// their digits. For Japan a "+81" is read as the leading "0" of a national
// number, so "+81 3-1234-5678" and "03-1234-5678" match; other regions match
// by the digits exactly as written. No area, no kind, no formatting.
#include "callers/NumberReader.h"

namespace telvane {

class TNumberKnowledge::TReader {
public:
    explicit TReader(bool japan) : Japan_(japan) {}
    const bool Japan_;
};

namespace {

constexpr char kJapanCode[] = "+81";

// "+81" + the national number without its "0" for Japanese numbers of
// national length (10 or 11 digits with the "0"), else the digits.
std::string KeyOf(const TNumberKnowledge::TReader& reader, const std::string& digits) {
    if (!reader.Japan_) {
        return digits;
    }
    const bool national =
        digits.size() >= 10 && digits.size() <= 11 && digits[0] == '0' && digits[1] != '0';
    if (national) {
        return kJapanCode + digits.substr(1);
    }
    return digits;
}

// What is shown: the national digits, "+81" read as "0".
std::string NationalOf(const TNumberKnowledge::TReader& reader, const std::string& digits) {
    if (reader.Japan_ && digits.rfind(kJapanCode, 0) == 0 && digits.size() > 3) {
        return '0' + digits.substr(3);
    }
    return digits;
}

} // namespace

std::shared_ptr<const TNumberKnowledge::TReader> MakeNumberReader(const std::string& region,
                                                                  bool /*english*/) {
    return std::make_shared<const TNumberKnowledge::TReader>(region == "JP");
}

bool TNumberKnowledge::KnowsAreas() {
    return false;
}

TNumberReading ReadNumber(const TNumberKnowledge::TReader& reader, const std::string& numberText) {
    TNumberReading reading;
    const std::string digits = DigitsOf(numberText);
    if (digits.empty()) {
        return reading;
    }
    reading.Key = KeyOf(reader, digits);
    // As many digits as a key keeps: more than any number has, so the text
    // is shown as given.
    if (digits.size() - (digits[0] == '+' ? 1 : 0) >= kMaxKeyDigits) {
        return reading;
    }
    reading.Parsed = true;
    reading.National = NationalOf(reader, digits);
    return reading;
}

std::string ReadKey(const TNumberKnowledge::TReader& reader, const std::string& numberText) {
    const std::string digits = DigitsOf(numberText);
    return digits.empty() ? std::string() : KeyOf(reader, digits);
}

} // namespace telvane
