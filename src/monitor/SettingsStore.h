#pragma once

#include <optional>
#include <string>

namespace telvane {

// A per-user store of named values under a key path. Texts are Shift_JIS
// byte strings on this side of the interface.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Opens the key; with create, also creates it and its parents. Returns
    // whether the key is open.
    virtual bool OpenKey(const std::string& path, bool create) = 0;
    virtual bool ValueExists(const std::string& name) const = 0;
    // A value stored in a kind that cannot be used reads as nullopt.
    virtual std::optional<std::string> ReadText(const std::string& name) const = 0;
    virtual std::optional<bool> ReadFlag(const std::string& name) const = 0;
    virtual void WriteText(const std::string& name, const std::string& text) = 0;
    virtual void WriteFlag(const std::string& name, bool flag) = 0;
    // Texts that may hold any character (paths, commands, addresses) cross
    // the interface as UTF-8 instead.
    virtual std::optional<std::string> ReadUtf8Text(const std::string& name) const = 0;
    virtual void WriteUtf8Text(const std::string& name, const std::string& text) = 0;
    // How a value is written in the store (UTF-8), for messages about a
    // value that cannot be used; nullopt when the store cannot tell.
    virtual std::optional<std::string> StoredForm(const std::string& /*name*/) const {
        return std::nullopt;
    }
    // Closes the key, keeping what was written.
    virtual void CloseKey() = 0;
    // Whether the last CloseKey failed to keep what was written.
    virtual bool CloseFailed() const { return false; }
    // Where the store keeps its data, for messages (Shift_JIS); may be empty.
    virtual std::string Location() const { return {}; }
};

} // namespace telvane
