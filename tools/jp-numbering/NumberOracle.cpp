#include "NumberOracle.h"
#include "callers/LibraryNumberKind.h"

#include <phonenumbers/phonenumber.pb.h>

#include <stdexcept>

namespace telvane::jp {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

// The number as Parse would hold it: leading zeros kept apart from the value,
// the last digit never counted as one.
PhoneNumber NumberOf(int countryCode, const std::string& nsn) {
    PhoneNumber number;
    number.set_country_code(countryCode);
    number.set_national_number(std::stoull(nsn));
    std::size_t zeros = 0;
    while (zeros + 1 < nsn.size() && nsn[zeros] == '0') {
        ++zeros;
    }
    if (zeros > 0) {
        number.set_italian_leading_zero(true);
        if (zeros > 1) {
            number.set_number_of_leading_zeros(static_cast<int>(zeros));
        }
    }
    return number;
}

} // namespace

TNumberOracle::TNumberOracle(const i18n::phonenumbers::PhoneMetadata& metadata,
                             std::string nationalPrefix)
    : Util_(*PhoneNumberUtil::GetInstance()), CountryCode_(metadata.country_code()),
      Region_(metadata.id()), NationalPrefix_(std::move(nationalPrefix)),
      General_(metadata.general_desc().national_number_pattern()), Japanese_("ja"), English_("en") {
}

TReading TNumberOracle::ReadingOf(const std::string& nsn) const {
    TReading reading;
    reading.Viable = std::regex_match(nsn, General_);
    const PhoneNumber number = NumberOf(CountryCode_, nsn);
    std::string held;
    Util_.GetNationalSignificantNumber(number, &held);
    if (held != nsn) {
        throw std::runtime_error("number " + nsn + " is held as " + held);
    }
    const PhoneNumberUtil::PhoneNumberType type = Util_.GetNumberType(number);
    reading.Kind = KindOfLibraryType(type);
    if (reading.Kind == ENumberKind::nkUnknown) {
        return reading;
    }
    std::string region;
    Util_.GetRegionCodeForNumber(number, &region);
    if (region != Region_) {
        throw std::runtime_error("number " + nsn + " is of region " + region);
    }
    std::string national;
    Util_.Format(number, PhoneNumberUtil::NATIONAL, &national);
    reading.Grouping = GroupingOf(nsn, national);
    if (Util_.IsNumberGeographical(type, CountryCode_)) {
        reading.AreaJa = Geocoder_.GetDescriptionForValidNumber(number, Japanese_, Region_);
        reading.AreaEn = Geocoder_.GetDescriptionForValidNumber(number, English_, Region_);
    }
    return reading;
}

TGrouping TNumberOracle::GroupingOf(const std::string& nsn, const std::string& national) const {
    TGrouping grouping;
    std::string digits;
    int group = 0;
    for (const char c : national + '-') {
        if (c >= '0' && c <= '9') {
            digits += c;
            ++group;
        } else if (c == '-' && group > 0) {
            grouping.Groups.push_back(group);
            group = 0;
        } else {
            throw std::runtime_error("national format \"" + national + "\" of " + nsn +
                                     " is not digit groups joined by '-'");
        }
    }
    if (digits == NationalPrefix_ + nsn &&
        grouping.Groups.front() > static_cast<int>(NationalPrefix_.size())) {
        grouping.WithNationalPrefix = true;
        grouping.Groups.front() -= static_cast<int>(NationalPrefix_.size());
    } else if (digits != nsn) {
        throw std::runtime_error("national format \"" + national + "\" does not hold " + nsn);
    }
    return grouping;
}

} // namespace telvane::jp
