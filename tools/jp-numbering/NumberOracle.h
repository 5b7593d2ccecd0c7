// What libphonenumber itself reads from one national significant number of a
// region, the same calls ReadNumber makes: its type, national format and, for
// geographical numbers, the geocoder's area in Japanese and English.
#pragma once

#include "NumberTable.h"

#include <phonenumbers/geocoding/phonenumber_offline_geocoder.h>
#include <phonenumbers/phonemetadata.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <regex>
#include <string>

namespace telvane::jp {

class TNumberOracle {
public:
    TNumberOracle(const i18n::phonenumbers::PhoneMetadata& metadata, std::string nationalPrefix);

    // nsn: digits, leading zeros included. Throws std::runtime_error when the
    // national format is not digit groups joined by "-".
    TReading ReadingOf(const std::string& nsn) const;

private:
    TGrouping GroupingOf(const std::string& nsn, const std::string& national) const;

    const i18n::phonenumbers::PhoneNumberUtil& Util_;
    const int CountryCode_;
    const std::string Region_;
    const std::string NationalPrefix_;
    const std::regex General_;
    const icu::Locale Japanese_;
    const icu::Locale English_;
    i18n::phonenumbers::PhoneNumberOfflineGeocoder Geocoder_;
};

} // namespace telvane::jp
