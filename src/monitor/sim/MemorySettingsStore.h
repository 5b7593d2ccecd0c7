// A settings store in memory that records every call, for tests of what is
// read and written in which order, and for the simulation.
#pragma once

#include "monitor/SettingsStore.h"

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace telvane::sim {

class TMemorySettingsStore final : public ISettingsStore {
public:
    // A stored value: a text or a 32-bit integer (a flag).
    using TValue = std::variant<std::string, std::int32_t>;
    using TKey = std::map<std::string, TValue>;

    bool OpenKey(const std::string& path, bool create) override;
    bool ValueExists(const std::string& name) const override;
    std::optional<std::string> ReadText(const std::string& name) const override;
    std::optional<bool> ReadFlag(const std::string& name) const override;
    void WriteText(const std::string& name, const std::string& text) override;
    void WriteFlag(const std::string& name, bool flag) override;
    // Memory keeps bytes: UTF-8 texts are stored like any other.
    std::optional<std::string> ReadUtf8Text(const std::string& name) const override {
        return ReadText(name);
    }
    void WriteUtf8Text(const std::string& name, const std::string& text) override {
        WriteText(name, text);
    }
    void CloseKey() override;

    std::map<std::string, TKey> Keys;
    // "open <path>", "exists <name>", "read <name>", "write <name>", "close".
    mutable std::vector<std::string> Calls;
    bool RefuseOpen = false;
    bool FailClose = false;
    bool CloseFailed() const override { return FailClose; }

private:
    TKey* Open_ = nullptr;
};

} // namespace telvane::sim
