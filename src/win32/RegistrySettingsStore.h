// The monitor's settings store on the registry under HKEY_CURRENT_USER (or
// another root, for tests): texts as REG_SZ, flags as REG_DWORD. A text
// that does not survive code page 932 is kept as REG_BINARY, byte for byte.
#pragma once

#include "monitor/SettingsStore.h"

#include <windows.h>

#include <string>

namespace telvane::win32 {

class TRegistrySettingsStore final : public ISettingsStore {
public:
    explicit TRegistrySettingsStore(HKEY root = HKEY_CURRENT_USER) : Root_(root) {}
    ~TRegistrySettingsStore() override { CloseKey(); }
    TRegistrySettingsStore(const TRegistrySettingsStore&) = delete;
    TRegistrySettingsStore& operator=(const TRegistrySettingsStore&) = delete;

    // The path may start with a backslash: it is taken from the root either way.
    bool OpenKey(const std::string& path, bool create) override;
    bool ValueExists(const std::string& name) const override;
    std::optional<std::string> ReadText(const std::string& name) const override;
    std::optional<bool> ReadFlag(const std::string& name) const override;
    void WriteText(const std::string& name, const std::string& text) override;
    void WriteFlag(const std::string& name, bool flag) override;
    std::optional<std::string> ReadUtf8Text(const std::string& name) const override;
    void WriteUtf8Text(const std::string& name, const std::string& text) override;
    void CloseKey() override;

private:
    std::optional<std::string> ReadTextAs(const std::string& name,
                                          std::string (*narrow)(const std::wstring&)) const;
    void WriteWide(const std::string& name, const std::wstring& wide);

    HKEY Root_;
    HKEY Key_ = nullptr;
};

} // namespace telvane::win32
