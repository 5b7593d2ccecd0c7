#include "monitor/sim/MemorySettingsStore.h"

namespace telvane::sim {

bool TMemorySettingsStore::OpenKey(const std::string& path, bool create) {
    Calls.push_back((create ? "create " : "open ") + path);
    Open_ = nullptr;
    if (RefuseOpen) {
        return false;
    }
    const auto found = Keys.find(path);
    if (found != Keys.end()) {
        Open_ = &found->second;
    } else if (create) {
        Open_ = &Keys[path];
    }
    return Open_ != nullptr;
}

bool TMemorySettingsStore::ValueExists(const std::string& name) const {
    Calls.push_back("exists " + name);
    return Open_ != nullptr && Open_->count(name) != 0;
}

std::optional<std::string> TMemorySettingsStore::ReadText(const std::string& name) const {
    Calls.push_back("read " + name);
    if (Open_ == nullptr || Open_->count(name) == 0) {
        return std::nullopt;
    }
    const TValue& value = Open_->at(name);
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return std::to_string(std::get<std::int32_t>(value));
}

std::optional<bool> TMemorySettingsStore::ReadFlag(const std::string& name) const {
    Calls.push_back("read " + name);
    if (Open_ == nullptr || Open_->count(name) == 0) {
        return std::nullopt;
    }
    const TValue& value = Open_->at(name);
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return *number != 0;
    }
    return std::nullopt;
}

void TMemorySettingsStore::WriteText(const std::string& name, const std::string& text) {
    Calls.push_back("write " + name);
    if (Open_ != nullptr) {
        (*Open_)[name] = text;
    }
}

void TMemorySettingsStore::WriteFlag(const std::string& name, bool flag) {
    Calls.push_back("write " + name);
    if (Open_ != nullptr) {
        (*Open_)[name] = static_cast<std::int32_t>(flag ? 1 : 0);
    }
}

void TMemorySettingsStore::CloseKey() {
    Calls.push_back("close");
    Open_ = nullptr;
}

} // namespace telvane::sim
