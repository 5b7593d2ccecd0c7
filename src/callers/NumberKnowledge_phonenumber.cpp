// Number knowledge from libphonenumber and its offline geocoder.
#include "callers/NumberReader.h"

#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <unicode/locid.h>

namespace telvane {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberOfflineGeocoder;
using i18n::phonenumbers::PhoneNumberUtil;

class TNumberKnowledge::TReader {
public:
    TReader(std::string region, bool english)
        : Region_(std::move(region)), Locale_(english ? "en" : "ja") {}

    const std::string Region_;
    const icu::Locale Locale_;
    // The geocoder guards its lazily loaded tables with its own lock.
    PhoneNumberOfflineGeocoder Geocoder_;
};

namespace {

ENumberKind KindOf(PhoneNumberUtil::PhoneNumberType type) {
    switch (type) {
    case PhoneNumberUtil::FIXED_LINE:
        return ENumberKind::nkFixedLine;
    case PhoneNumberUtil::MOBILE:
        return ENumberKind::nkMobile;
    case PhoneNumberUtil::FIXED_LINE_OR_MOBILE:
        return ENumberKind::nkFixedLineOrMobile;
    case PhoneNumberUtil::TOLL_FREE:
        return ENumberKind::nkTollFree;
    case PhoneNumberUtil::PREMIUM_RATE:
        return ENumberKind::nkPremiumRate;
    case PhoneNumberUtil::SHARED_COST:
        return ENumberKind::nkSharedCost;
    case PhoneNumberUtil::VOIP:
        return ENumberKind::nkVoip;
    case PhoneNumberUtil::PERSONAL_NUMBER:
        return ENumberKind::nkPersonal;
    case PhoneNumberUtil::PAGER:
        return ENumberKind::nkPager;
    case PhoneNumberUtil::UAN:
        return ENumberKind::nkUan;
    case PhoneNumberUtil::VOICEMAIL:
        return ENumberKind::nkVoicemail;
    case PhoneNumberUtil::UNKNOWN:
        break;
    }
    return ENumberKind::nkUnknown;
}

// E.164 when the number is possible at all, else its bare digits, so that an
// extension ("201") written the same way in contacts still matches.
std::string KeyOf(const PhoneNumberUtil& util, bool parsed, const PhoneNumber& number,
                  const std::string& text) {
    if (parsed && util.IsPossibleNumber(number)) {
        std::string e164;
        util.Format(number, PhoneNumberUtil::E164, &e164);
        return e164;
    }
    return DigitsOf(text);
}

} // namespace

std::shared_ptr<const TNumberKnowledge::TReader> MakeNumberReader(const std::string& region,
                                                                  bool english) {
    return std::make_shared<const TNumberKnowledge::TReader>(region, english);
}

bool TNumberKnowledge::KnowsAreas() {
    return true;
}

TNumberReading ReadNumber(const TNumberKnowledge::TReader& reader, const std::string& numberText) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    TNumberReading reading;
    PhoneNumber number;
    const bool parsed =
        util.Parse(numberText, reader.Region_, &number) == PhoneNumberUtil::NO_PARSING_ERROR;
    reading.Key = KeyOf(util, parsed, number, numberText);
    if (!parsed) {
        return reading;
    }
    // A number of no known type is no valid number (the same test as
    // IsValidNumber, done once).
    const PhoneNumberUtil::PhoneNumberType type = util.GetNumberType(number);
    if (type == PhoneNumberUtil::UNKNOWN) {
        return reading;
    }
    reading.Parsed = true;
    reading.Kind = KindOf(type);
    std::string numberRegion;
    util.GetRegionCodeForNumber(number, &numberRegion);
    // A call from abroad shows its country in international form.
    util.Format(number,
                numberRegion == reader.Region_ ? PhoneNumberUtil::NATIONAL
                                               : PhoneNumberUtil::INTERNATIONAL,
                &reading.National);
    // A mobile or other non-geographic number of the home country has no
    // area; the geocoder would name the country itself.
    if (numberRegion != reader.Region_ || util.IsNumberGeographical(type, number.country_code())) {
        reading.Area =
            reader.Geocoder_.GetDescriptionForValidNumber(number, reader.Locale_, reader.Region_);
    }
    return reading;
}

std::string ReadKey(const TNumberKnowledge::TReader& reader, const std::string& numberText) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    const bool parsed =
        util.Parse(numberText, reader.Region_, &number) == PhoneNumberUtil::NO_PARSING_ERROR;
    return KeyOf(util, parsed, number, numberText);
}

} // namespace telvane
