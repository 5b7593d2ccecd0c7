// Names given from the window, kept as vCard 4.0 cards in Telvane's own
// phonebook file.
#include "callers/NumberReader.h"
#include "callers/Phonebook.h"
#include "callers/TextDecoding.h"
#include "store/AtomicFile.h"

#include <fstream>
#include <string_view>
#include <system_error>

namespace telvane {
namespace {

// Marks the cards Telvane wrote, with the number's digits, so that naming a
// number again replaces its card and leaves every other card alone.
constexpr std::string_view kNumberProperty = "X-TELVANE-NUMBER:";
// vCard lines are folded after 75 bytes.
constexpr std::size_t kFoldAt = 75;

std::string Escaped(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

// Folds a content line without cutting a UTF-8 character in two.
std::string Folded(const std::string& line) {
    std::string out;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
        if (i - lineStart >= kFoldAt && !continuation) {
            out += "\r\n ";
            lineStart = i;
        }
        out += line[i];
    }
    return out + "\r\n";
}

std::string ReadExisting(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return {};
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxPhonebookFileBytes) {
        throw EPhonebookError(file.u8string() + ": cannot be read or is larger than 64 MB");
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
        throw EPhonebookError(file.u8string() + ": cannot be read");
    }
    return bytes;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// The file without the cards Telvane wrote for digits; other bytes as they were.
std::string WithoutOwnCard(std::string_view existing, const std::string& digits) {
    std::string kept;
    std::string card;
    bool inCard = false;
    bool ours = false;
    std::size_t position = 0;
    while (position < existing.size()) {
        std::size_t end = existing.find('\n', position);
        end = end == std::string_view::npos ? existing.size() : end + 1;
        const std::string_view line = existing.substr(position, end - position);
        position = end;
        const std::string_view content = WithoutLineEnd(line);
        if (!inCard) {
            if (content == "BEGIN:VCARD") {
                inCard = true;
                ours = false;
                card.assign(line);
            } else {
                kept += line;
            }
            continue;
        }
        card += line;
        if (StartsWith(content, kNumberProperty) &&
            content.substr(kNumberProperty.size()) == digits) {
            ours = true;
        }
        if (content == "END:VCARD") {
            inCard = false;
            if (!ours) {
                kept += card;
            }
            card.clear();
        }
    }
    return kept + card;
}

} // namespace

void AddToOwnPhonebook(const std::filesystem::path& ownFile, const std::string& name,
                       const std::string& number) {
    const auto slash = number.find('/');
    const std::string digits = DigitsOf(number.substr(0, slash));
    std::string subAddress;
    if (slash != std::string::npos) {
        subAddress = DigitsOf(number.substr(slash + 1));
    }
    if (digits.empty()) {
        throw EPhonebookError("no phone number in \"" + Utf8OrShiftJis(number) + "\"");
    }
    const auto first = name.find_first_not_of(" \t");
    const std::string trimmed = first == std::string::npos
                                    ? std::string()
                                    : name.substr(first, name.find_last_not_of(" \t") - first + 1);
    if (trimmed.size() > kMaxNameBytes) {
        throw EPhonebookError("the name is longer than 256 bytes");
    }
    if (!IsValidUtf8(trimmed)) {
        throw EPhonebookError("the name is not UTF-8");
    }

    std::string contents = WithoutOwnCard(ReadExisting(ownFile), digits);
    if (!trimmed.empty()) {
        if (!contents.empty() && contents.back() != '\n') {
            contents += "\r\n";
        }
        contents += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
        contents += Folded("FN:" + Escaped(trimmed));
        contents += "TEL;VALUE=uri:tel:" + digits +
                    (subAddress.empty() ? std::string() : ";isub=" + subAddress) + "\r\n";
        contents += std::string(kNumberProperty) + digits + "\r\n";
        contents += "END:VCARD\r\n";
    }
    try {
        // The configuration folder may not exist before the first name.
        if (ownFile.has_parent_path()) {
            std::filesystem::create_directories(ownFile.parent_path());
        }
        ReplaceFileAtomically(ownFile, contents);
    } catch (const std::system_error& error) {
        throw EPhonebookError(ownFile.u8string() + ": cannot be written (" +
                              error.code().message() + ")");
    }
}

} // namespace telvane
