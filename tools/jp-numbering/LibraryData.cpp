#include "LibraryData.h"

#include <cstdint>
#include <stdexcept>

// Exported by libphonenumber.so and libgeocoding.so; Debian installs no
// header that declares them.
namespace i18n::phonenumbers {

const void* metadata_get();
int metadata_size();

struct PrefixDescriptions {
    const std::int32_t* prefixes;
    const int prefixes_size;
    const char** descriptions;
    const std::int32_t* possible_lengths;
    const int possible_lengths_size;
};

const char** get_prefix_language_code_pairs();
int get_prefix_language_code_pairs_size();
const PrefixDescriptions* get_prefix_descriptions(int index);

} // namespace i18n::phonenumbers

namespace telvane::jp {

namespace pn = i18n::phonenumbers;

pn::PhoneMetadata RegionMetadata(const std::string& region) {
    pn::PhoneMetadataCollection collection;
    if (!collection.ParseFromArray(pn::metadata_get(), pn::metadata_size())) {
        throw std::runtime_error("libphonenumber's metadata does not parse");
    }
    for (const auto& metadata : collection.metadata()) {
        if (metadata.id() == region) {
            return metadata;
        }
    }
    throw std::runtime_error("libphonenumber has no metadata for " + region);
}

std::vector<std::string> GeocoderPrefixes(int countryCode, const std::string& language) {
    const std::string code = std::to_string(countryCode);
    const std::string wanted = code + "_" + language;
    const char** pairs = pn::get_prefix_language_code_pairs();
    const int count = pn::get_prefix_language_code_pairs_size();
    for (int i = 0; i < count; ++i) {
        if (wanted != pairs[i]) {
            continue;
        }
        const pn::PrefixDescriptions* table = pn::get_prefix_descriptions(i);
        std::vector<std::string> prefixes;
        std::int32_t previous = 0;
        for (int k = 0; k < table->prefixes_size; ++k) {
            const std::int32_t prefix = table->prefixes[k];
            const std::string digits = std::to_string(prefix);
            // The tables are sorted and all start with the country code; a
            // misread layout would break both.
            if (prefix <= previous || digits.rfind(code, 0) != 0 ||
                table->descriptions[k] == nullptr) {
                throw std::runtime_error("geocoder table " + wanted + " is not as expected");
            }
            previous = prefix;
            prefixes.push_back(digits.substr(code.size()));
        }
        return prefixes;
    }
    return {};
}

} // namespace telvane::jp
