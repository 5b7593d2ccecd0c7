#include "callers/Phonebook.h"

#include "callers/PhonebookReader.h"

#include <fstream>
#include <utility>

namespace telvane {
namespace {

std::string Message(const TNumberKnowledge& numbers, const char* japanese, const char* english) {
    return numbers.Language().rfind("en", 0) == 0 ? english : japanese;
}

} // namespace

std::optional<TPhonebookError> TPhonebook::Load(const std::filesystem::path& file,
                                                const TNumberKnowledge& numbers,
                                                const std::atomic<bool>* stop) {
    const std::string fileName = file.u8string();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        return TPhonebookError{fileName, 0,
                               Message(numbers, "ファイルを開けません", "cannot open the file") +
                                   " (" + error.message() + ")"};
    }
    const TPhonebookError tooLarge{
        fileName, 0,
        Message(numbers, "ファイルが大きすぎます (上限 64 MB)", "the file is larger than 64 MB")};
    if (size > kMaxPhonebookFileBytes) {
        return tooLarge;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return TPhonebookError{fileName, 0,
                               Message(numbers, "ファイルを開けません", "cannot open the file")};
    }
    // One read more than the limit tells a file that grew meanwhile.
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        return TPhonebookError{fileName, 0,
                               Message(numbers, "ファイルを読めません", "cannot read the file")};
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxPhonebookFileBytes) {
        return tooLarge;
    }

    TContactsRead read = ReadContacts(bytes, numbers, stop);
    if (read.Error) {
        return TPhonebookError{fileName, read.Error->Line, std::move(read.Error->What)};
    }
    std::vector<std::string> names;
    std::unordered_map<std::string, std::size_t> byKey;
    names.reserve(read.Contacts.size());
    byKey.reserve(read.Contacts.size() * 2);
    for (TContact& contact : read.Contacts) {
        const std::size_t index = names.size();
        names.push_back(std::move(contact.Name));
        // A later card wins: names given from the window are appended.
        for (std::string& key : contact.Keys) {
            byKey[std::move(key)] = index;
        }
    }
    std::vector<TPhonebookError> warnings;
    for (TContactProblem& problem : read.Skipped) {
        warnings.push_back({fileName, problem.Line, std::move(problem.What)});
    }
    Names_ = std::move(names);
    ByKey_ = std::move(byKey);
    Warnings_ = std::move(warnings);
    Skipped_ = read.SkippedCount;
    return std::nullopt;
}

std::optional<std::string> TPhonebook::NameFor(const std::string& matchKey) const {
    const auto found = ByKey_.find(matchKey);
    if (found == ByKey_.end()) {
        return std::nullopt;
    }
    return Names_[found->second];
}

} // namespace telvane
