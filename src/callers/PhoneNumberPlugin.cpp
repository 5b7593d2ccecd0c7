// The plugin of libphonenumber and its offline geocoder: numbers of regions
// other than Japan, and calls from abroad. A module of its own, opened only
// when such a number is to be read, so that the libraries and their tables
// are not in memory while every caller is Japanese.
#include "callers/LibraryNumberKind.h"
#include "callers/NumberReader.h"

#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <unicode/locid.h>

namespace telvane {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberOfflineGeocoder;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

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

class TLibraryReader final : public INumberReader {
public:
    TLibraryReader(std::string region, bool english)
        : Region_(std::move(region)), Locale_(english ? "en" : "ja") {}

    TNumberReading Read(const std::string& numberText) const override {
        const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
        TNumberReading reading;
        PhoneNumber number;
        const bool parsed =
            util.Parse(numberText, Region_, &number) == PhoneNumberUtil::NO_PARSING_ERROR;
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
        reading.Kind = KindOfLibraryType(type);
        std::string numberRegion;
        util.GetRegionCodeForNumber(number, &numberRegion);
        // A call from abroad shows its country in international form.
        util.Format(number,
                    numberRegion == Region_ ? PhoneNumberUtil::NATIONAL
                                            : PhoneNumberUtil::INTERNATIONAL,
                    &reading.National);
        // A mobile or other non-geographic number of the home country has no
        // area; the geocoder would name the country itself.
        if (numberRegion != Region_ || util.IsNumberGeographical(type, number.country_code())) {
            reading.Area = Geocoder_.GetDescriptionForValidNumber(number, Locale_, Region_);
        }
        return reading;
    }

    std::string Key(const std::string& numberText) const override {
        const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
        PhoneNumber number;
        const bool parsed =
            util.Parse(numberText, Region_, &number) == PhoneNumberUtil::NO_PARSING_ERROR;
        return KeyOf(util, parsed, number, numberText);
    }

private:
    const std::string Region_;
    const icu::Locale Locale_;
    // The geocoder guards its lazily loaded tables with its own lock.
    PhoneNumberOfflineGeocoder Geocoder_;
};

} // namespace
} // namespace telvane

extern "C" telvane::INumberReader* TelvaneNumberReader(const char* region, int english) {
    return new telvane::TLibraryReader(region, english != 0);
}
