// libphonenumber's own data for one country: its metadata and the offline
// geocoder's prefix tables, read from the installed libraries.
#pragma once

#include <phonenumbers/phonemetadata.pb.h>

#include <string>
#include <vector>

namespace telvane::jp {

// The metadata of region (e.g. "JP"); throws std::runtime_error when the
// library has none.
i18n::phonenumbers::PhoneMetadata RegionMetadata(const std::string& region);

// The national prefixes (digits after the country code) that the geocoder
// names in language ("ja", "en"); empty when it has no table for them.
std::vector<std::string> GeocoderPrefixes(int countryCode, const std::string& language);

} // namespace telvane::jp
