#include "monitor/CallerNumber.h"

#include "monitor/ShiftJis.h"
#include "monitor/Texts.h"

namespace telvane {

std::string ExtractCallerNumber(const std::string& callingPartyLine) {
    const auto equals = callingPartyLine.find('=');
    if (equals == std::string::npos) {
        return {};
    }
    std::string number = callingPartyLine.substr(equals + 1, kMaxCallerNumberLength);
    // A double-byte character cut in half by the cap goes whole.
    if (callingPartyLine.size() - equals - 1 > number.size() && !number.empty()) {
        const std::size_t last = LastCharacterStart(number);
        if (last + 1 == number.size() && IsLeadByte(static_cast<unsigned char>(number[last]))) {
            number.resize(last);
        }
    }
    const auto firstNonBlank = number.find_first_not_of(' ');
    number.erase(0, firstNonBlank == std::string::npos ? number.size() : firstNonBlank);
    if (number == "BUFFER EMPTY") {
        return texts::kNoNumberInformation;
    }
    return number;
}

} // namespace telvane
