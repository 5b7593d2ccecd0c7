#include "win32/RegistrySettingsStore.h"

#include "monitor/WideText.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace telvane::win32 {
namespace {

struct TValue {
    DWORD Kind = REG_NONE;
    std::vector<BYTE> Bytes;
};

std::optional<TValue> Query(HKEY key, const std::string& name) {
    if (!key) {
        return std::nullopt;
    }
    const std::wstring wideName = WideFromShiftJis(name);
    TValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, wideName.c_str(), nullptr, &value.Kind, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between the two calls; ask again until it fits.
    for (;;) {
        value.Bytes.resize(size);
        const LONG result = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &value.Kind,
                                               value.Bytes.data(), &size);
        if (result == ERROR_SUCCESS) {
            value.Bytes.resize(size);
            return value;
        }
        if (result != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
}

// A REG_SZ as stored: its terminating null, if any, is not part of the text.
std::wstring WideOf(const TValue& value) {
    std::wstring text(value.Bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) {
        std::memcpy(text.data(), value.Bytes.data(), text.size() * sizeof(wchar_t));
    }
    const std::size_t end = text.find(L'\0');
    if (end != std::wstring::npos) {
        text.resize(end);
    }
    return text;
}

std::optional<DWORD> DwordOf(const TValue& value) {
    if (value.Kind != REG_DWORD || value.Bytes.size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, value.Bytes.data(), sizeof number);
    return number;
}

} // namespace

bool TRegistrySettingsStore::OpenKey(const std::string& path, bool create) {
    CloseKey();
    std::wstring subKey = WideFromShiftJis(path);
    if (!subKey.empty() && subKey.front() == L'\\') {
        subKey.erase(0, 1);
    }
    LONG result;
    if (create) {
        result = ::RegCreateKeyExW(Root_, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, &Key_, nullptr);
    } else {
        result = ::RegOpenKeyExW(Root_, subKey.c_str(), 0, KEY_READ, &Key_);
    }
    if (result != ERROR_SUCCESS) {
        Key_ = nullptr;
        return false;
    }
    return true;
}

bool TRegistrySettingsStore::ValueExists(const std::string& name) const {
    return Key_ && ::RegQueryValueExW(Key_, WideFromShiftJis(name).c_str(), nullptr, nullptr,
                                      nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::string> TRegistrySettingsStore::ReadText(const std::string& name) const {
    return ReadTextAs(name, ShiftJisFromWide);
}

std::optional<std::string> TRegistrySettingsStore::ReadUtf8Text(const std::string& name) const {
    return ReadTextAs(name, Utf8FromWide);
}

std::optional<std::string>
TRegistrySettingsStore::ReadTextAs(const std::string& name,
                                   std::string (*narrow)(const std::wstring&)) const {
    const std::optional<TValue> value = Query(Key_, name);
    if (!value) {
        return std::nullopt;
    }
    switch (value->Kind) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return narrow(WideOf(*value));
    case REG_BINARY:
        // A text that code page 932 cannot carry, kept as its bytes.
        if (narrow == ShiftJisFromWide) {
            return std::string(value->Bytes.begin(), value->Bytes.end());
        }
        return std::nullopt;
    case REG_DWORD:
        // A number where a text belongs reads as its digits.
        if (const std::optional<DWORD> number = DwordOf(*value)) {
            return std::to_string(*number);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<bool> TRegistrySettingsStore::ReadFlag(const std::string& name) const {
    const std::optional<TValue> value = Query(Key_, name);
    if (!value) {
        return std::nullopt;
    }
    if (value->Kind == REG_SZ) {
        // A flag written as text by hand: its number, as a DWORD would hold it.
        const std::wstring text = WideOf(*value);
        wchar_t* end = nullptr;
        const long long number = std::wcstoll(text.c_str(), &end, 10);
        while (end && *end == L' ') {
            ++end;
        }
        if (end == text.c_str() || !end || *end != L'\0') {
            return std::nullopt;
        }
        return number != 0;
    }
    if (const std::optional<DWORD> number = DwordOf(*value)) {
        return *number != 0;
    }
    return std::nullopt;
}

void TRegistrySettingsStore::WriteText(const std::string& name, const std::string& text) {
    // REG_SZ wherever the text survives code page 932, so that the values
    // read as they always did; an adapter line holding bytes that are no
    // Shift_JIS, or a NUL, goes in as its bytes instead, or the next start
    // would see a changed line where none changed.
    const std::wstring wide = WideFromShiftJis(text);
    if (text.find('\0') == std::string::npos && ShiftJisFromWide(wide) == text) {
        WriteWide(name, wide);
        return;
    }
    if (Key_) {
        ::RegSetValueExW(Key_, WideFromShiftJis(name).c_str(), 0, REG_BINARY,
                         reinterpret_cast<const BYTE*>(text.data()),
                         static_cast<DWORD>(text.size()));
    }
}

void TRegistrySettingsStore::WriteUtf8Text(const std::string& name, const std::string& text) {
    WriteWide(name, WideFromUtf8(text));
}

void TRegistrySettingsStore::WriteWide(const std::string& name, const std::wstring& wide) {
    if (!Key_) {
        return;
    }
    ::RegSetValueExW(Key_, WideFromShiftJis(name).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(wide.c_str()),
                     static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void TRegistrySettingsStore::WriteFlag(const std::string& name, bool flag) {
    if (!Key_) {
        return;
    }
    const DWORD number = flag ? 1 : 0;
    ::RegSetValueExW(Key_, WideFromShiftJis(name).c_str(), 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&number), sizeof number);
}

void TRegistrySettingsStore::CloseKey() {
    if (Key_) {
        ::RegCloseKey(Key_);
        Key_ = nullptr;
    }
}

} // namespace telvane::win32
