// The part of the number knowledge that differs between builds: with
// libphonenumber (NumberKnowledge_phonenumber.cpp) or digits only
// (NumberKnowledge_digits.cpp). CMake links exactly one of them.
#pragma once

#include "callers/NumberKnowledge.h"

#include <memory>
#include <string>

namespace telvane {

enum class ENumberKind {
    nkUnknown,
    nkFixedLine,
    nkMobile,
    nkFixedLineOrMobile,
    nkTollFree,
    nkPremiumRate,
    nkSharedCost,
    nkVoip,
    nkPersonal,
    nkPager,
    nkUan,
    nkVoicemail,
};

struct TNumberReading {
    bool Parsed = false;
    std::string National; // the readable form, when parsed
    std::string Area;     // UTF-8
    ENumberKind Kind = ENumberKind::nkUnknown;
    std::string Key; // E.164, or the digits when the number is too short for it
};

std::shared_ptr<const TNumberKnowledge::TReader> MakeNumberReader(const std::string& region,
                                                                  bool english);
// numberText: ASCII digits with "+" and separators, no sub-address.
TNumberReading ReadNumber(const TNumberKnowledge::TReader& reader, const std::string& numberText);
// Any text from contacts (UTF-8).
std::string ReadKey(const TNumberKnowledge::TReader& reader, const std::string& numberText);

// Keeps the digits of text, full-width digits as ASCII, and a "+" that comes
// before the first digit; at most kMaxKeyDigits digits.
std::string DigitsOf(const std::string& text);

} // namespace telvane
