#include "monitor/CallerNumber.h"

#include "monitor/Texts.h"

namespace telvane {

std::string ExtractCallerNumber(const std::string& callingPartyLine) {
    const auto equals = callingPartyLine.find('=');
    if (equals == std::string::npos) {
        return {};
    }
    std::string number = callingPartyLine.substr(equals + 1, kMaxCallerNumberLength);
    const auto firstNonBlank = number.find_first_not_of(' ');
    number.erase(0, firstNonBlank == std::string::npos ? number.size() : firstNonBlank);
    if (number == "BUFFER EMPTY") {
        return texts::kNoNumberInformation;
    }
    return number;
}

} // namespace telvane
