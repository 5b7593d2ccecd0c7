#include "store/IniSettingsStore.h"

#include "monitor/ShiftJisUtf8.h"
#include "store/AtomicFile.h"
#include "store/IniText.h"
#include "store/StoreFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace telvane {
namespace {

// "\Software\Org\App\Group..." split at the backslashes; empty when the
// path does not name a key of the store.
std::vector<std::string> KeyParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    std::string first = parts.empty() ? std::string() : parts[0];
    for (char& c : first) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (parts.size() < 4 || first != "software") {
        return {};
    }
    return parts;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        joined += (i == 0 ? "" : ", ") + texts[i];
    }
    return joined;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal integer that fits 64 bits, as QString::toLongLong reads it.
std::optional<long long> Integer(std::string_view text) {
    text = Trimmed(text);
    if (text.empty() || text.find_first_not_of("+-0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string digits(text);
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(digits.c_str(), &end, 10);
    if (errno != 0 || end != digits.c_str() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

} // namespace

std::filesystem::path TIniSettingsStore::UserFile(const std::string& path) {
    const std::vector<std::string> parts = KeyParts(path);
    if (parts.empty()) {
        return {};
    }
    return detail::ConfigHome() / parts[1] / (parts[2] + ".conf");
}

std::filesystem::path TIniSettingsStore::FileName(const std::string& path) const {
    return File_.empty() ? UserFile(path) : File_;
}

bool TIniSettingsStore::OpenKey(const std::string& path, bool create) {
    CloseKey();
    const std::vector<std::string> parts = KeyParts(path);
    if (parts.empty()) {
        return false;
    }
    Open_ = FileName(path);
    Group_.clear();
    for (std::size_t i = 3; i < parts.size(); ++i) {
        Group_ += (i == 3 ? "" : "/") + parts[i];
    }
    const detail::TFileContents contents = detail::ReadStoreFile(Open_);
    // A file that is there but cannot be read is never replaced: that
    // would lose the settings it holds.
    if (!contents.Bytes || (create && !detail::PrepareToWrite(Open_))) {
        return false;
    }
    TIniDocument document(*contents.Bytes);
    if (!create && !document.HasGroup(Group_)) {
        return false;
    }
    Document_ = std::move(document);
    return true;
}

bool TIniSettingsStore::ValueExists(const std::string& name) const {
    return Document_ && Document_->Find(PathOf(name)).has_value();
}

std::optional<std::string> TIniSettingsStore::ReadUtf8Text(const std::string& name) const {
    const auto notation = Document_ ? Document_->Find(PathOf(name)) : std::nullopt;
    if (!notation) {
        return std::nullopt;
    }
    const TIniValue value = ParseIniValue(*notation);
    if (value.Kind == TIniValue::TKind::Other) {
        return std::nullopt;
    }
    // An unquoted comma makes a list; the program's texts are whole.
    return Joined(value.Texts);
}

std::optional<std::string> TIniSettingsStore::ReadText(const std::string& name) const {
    const auto text = ReadUtf8Text(name);
    if (!text) {
        return std::nullopt;
    }
    return ShiftJisFromUtf8(*text);
}

std::optional<bool> TIniSettingsStore::ReadFlag(const std::string& name) const {
    const auto notation = Document_ ? Document_->Find(PathOf(name)) : std::nullopt;
    if (!notation) {
        return std::nullopt;
    }
    const TIniValue value = ParseIniValue(*notation);
    if (value.Kind != TIniValue::TKind::Text) {
        return std::nullopt;
    }
    // QSettings writes a boolean as a word.
    const std::string_view text = Trimmed(value.Texts.front());
    if (text == "true" || text == "false") {
        return text == "true";
    }
    const auto number = Integer(text);
    if (!number) {
        return std::nullopt;
    }
    return *number != 0;
}

std::optional<std::string> TIniSettingsStore::StoredForm(const std::string& name) const {
    const auto notation = Document_ ? Document_->Find(PathOf(name)) : std::nullopt;
    if (!notation) {
        return std::nullopt;
    }
    return std::string(Trimmed(*notation));
}

void TIniSettingsStore::Write(const std::string& name, const std::string& notation) {
    if (!Document_) {
        return;
    }
    Document_->Set(PathOf(name), notation);
    Written_.emplace_back(PathOf(name), notation);
}

void TIniSettingsStore::WriteText(const std::string& name, const std::string& text) {
    Write(name, FormatIniText(Utf8FromShiftJis(text)));
}

void TIniSettingsStore::WriteFlag(const std::string& name, bool flag) {
    Write(name, flag ? "1" : "0");
}

void TIniSettingsStore::WriteUtf8Text(const std::string& name, const std::string& text) {
    Write(name, FormatIniText(text));
}

std::string TIniSettingsStore::Location() const {
    return ShiftJisFromUtf8(Open_.string());
}

void TIniSettingsStore::CloseKey() {
    if (!Document_) {
        return;
    }
    Document_.reset();
    if (Written_.empty()) {
        return;
    }
    const auto written = std::move(Written_);
    Written_.clear();
    // The file as it is now, in case another program changed it since.
    const detail::TFileContents contents = detail::ReadStoreFile(Open_);
    if (!contents.Bytes) {
        CloseFailed_ = true;
        return;
    }
    TIniDocument document(*contents.Bytes);
    for (const auto& [path, notation] : written) {
        document.Set(path, notation);
    }
    const std::string text = document.Text();
    if (contents.Exists && text == *contents.Bytes) {
        CloseFailed_ = false;
        return;
    }
    try {
        ReplaceFileAtomically(Open_, text, TNewFileAccess::Default);
        CloseFailed_ = false;
    } catch (const std::system_error&) {
        CloseFailed_ = true;
    }
}

} // namespace telvane
