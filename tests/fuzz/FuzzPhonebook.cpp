// Fuzz target: whatever a contacts file holds, reading it ends, stays within
// its limits, and every contact it gives has a usable name and numbers whose
// keys are the keys the number knowledge gives them.
//
// Input: the whole file; byte 0 picks the language of the messages (odd:
// English), the rest is the file.
#include "callers/NumberKnowledge.h"
#include "callers/Phonebook.h"
#include "callers/PhonebookReader.h"
#include "callers/TextDecoding.h"

#include "Require.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace telvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const TNumberKnowledge japanese("JP", "ja");
    static const TNumberKnowledge english("JP", "en");
    const TNumberKnowledge& numbers = (data[0] & 1) != 0 ? english : japanese;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t lines =
        1 + static_cast<std::size_t>(std::count(file.begin(), file.end(), '\n'));

    const TContactsRead read = ReadContacts(file, numbers);
    if (read.Error) {
        Require(read.Error->Line <= lines, "an error names a line past the end");
        Require(!read.Error->What.empty() && IsValidUtf8(read.Error->What), "an empty message");
        return 0;
    }
    Require(read.Contacts.size() <= kMaxPhonebookCards, "more contacts than the limit");
    Require(read.Skipped.size() <= kMaxPhonebookWarnings, "more warnings than the limit");
    Require(read.Skipped.size() <= read.SkippedCount, "warnings not counted");
    Require(!read.Contacts.empty() || read.SkippedCount == 0,
            "a file with only bad contacts was taken");
    for (const TContactProblem& problem : read.Skipped) {
        Require(problem.Line >= 1 && problem.Line <= lines, "a skip names no line of the file");
    }
    for (const TContact& contact : read.Contacts) {
        Require(!contact.Name.empty() && contact.Name.size() <= kMaxNameBytes,
                "a name empty or too long");
        Require(IsValidUtf8(contact.Name), "a name that is not UTF-8");
        Require(contact.Name.find_first_of("\r\n") == std::string::npos, "a line end in a name");
        Require(!contact.Keys.empty() && contact.Keys.size() == contact.Numbers.size() &&
                    contact.Keys.size() <= kMaxNumbersPerCard,
                "a contact without numbers or with too many");
        Require(contact.Line >= 1 && contact.Line <= lines, "a contact from no line of the file");
        for (std::size_t i = 0; i < contact.Keys.size(); ++i) {
            Require(!contact.Keys[i].empty() &&
                        contact.Keys[i] == numbers.MatchKey(contact.Numbers[i]),
                    "a key that matching would not find");
        }
    }
    return 0;
}
