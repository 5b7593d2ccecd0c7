// What a caller's number tells: its readable form, the area it comes from,
// what kind of line it is, and the key under which contacts are matched.
// Japanese numbers are read from a table compiled out of libphonenumber's
// data, on every platform. Numbers of another region, and numbers from
// abroad, are read by libphonenumber, loaded the first time one is described,
// where the platform has it; elsewhere by their digits alone.
#pragma once

#include "callers/NumberReader.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace telvane {

// A phone number has at most 15 digits; with an international prefix and an
// extension a written one stays within these. A longer text (a broken file or
// reply) is no number to read: its key is its first kMaxKeyDigits digits,
// and the costly reading never sees it.
inline constexpr std::size_t kMaxKeyDigits = 24;
inline constexpr std::size_t kMaxNumberTextBytes = 64;

struct TNumberInfo {
    // The number was understood (by libphonenumber, or as plain digits by the
    // digits-only reading).
    bool Parsed = false;
    // UTF-8: the national format "03-1234-5678" with any sub-address ("/12")
    // kept, or the text as given when it was not understood.
    std::string Display;
    // UTF-8: "東京" ("Tokyo" in English); empty when unknown.
    std::string Area;
    // UTF-8 plain words for the kind of line (mobile, toll-free, IP phone...),
    // in the language of Area; empty when unknown.
    std::string Kind;
    // UTF-8 plain words for a withheld number: "P" -> "非通知", "O" -> "表示圏外",
    // "C" -> "公衆電話" (English when the language is "en"); empty otherwise.
    std::string Withheld;
    // E.164 "+81312345678" without sub-address, for matching contacts; a
    // number too short for E.164 (an extension such as "201") keys by its
    // digits alone. Empty when the text holds no number.
    std::string MatchKey;
};

class TNumberKnowledge {
public:
    // region: ISO 3166 code for numbers without a country code ("JP");
    // language: "ja" or "en" for areas, kinds and messages.
    TNumberKnowledge(std::string region, std::string language);

    // callerText: Shift_JIS, as the monitor extracted it ("0312345678",
    // "0312345678/12", "P", "番号情報なし"...). Never guesses: a text that is
    // not a number (plus separators and a sub-address) is shown as given.
    TNumberInfo Describe(const std::string& callerText) const;

    // Describe(callerText).MatchKey, without the cost of formatting and areas
    // (for counting calls in the history).
    std::string CallerKey(const std::string& callerText) const;

    // The key of a number as written in contacts (UTF-8, any common format:
    // "+81 3-1234-5678", "03(1234)5678", full-width digits); empty when none.
    std::string MatchKey(const std::string& anyNumberText) const;

    const std::string& Region() const { return Region_; }
    const std::string& Language() const { return Language_; }

private:
    TNumberReading Read(const std::string& numberText) const;
    std::string Key(const std::string& numberText) const;
    // libphonenumber's reader, loaded the first time it is asked for.
    const INumberReader* Library() const;

    std::string Region_;
    std::string Language_;
    bool Japan_ = false;
    bool English_ = false;
    std::unique_ptr<INumberReader> Digits_;
    mutable std::once_flag LibraryAsked_;
    mutable std::shared_ptr<const INumberReader> Library_;
};

} // namespace telvane
