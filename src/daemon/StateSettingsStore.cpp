#include "daemon/StateSettingsStore.h"

#include "monitor/Settings.h"
#include "monitor/Snapshot.h"

namespace telvane {

TStateSettingsStore::TStateSettingsStore(std::filesystem::path settingsFile,
                                         std::filesystem::path stateFile)
    : Settings_(std::move(settingsFile)), State_(std::move(stateFile)) {}

bool TStateSettingsStore::IsState(const std::string& name) {
    if (name == "DateTime" || name == "LastDateTime" || name == "Dream") {
        return true;
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        if (name == MagicValueName(slot)) {
            return true;
        }
    }
    return false;
}

bool TStateSettingsStore::OpenKey(const std::string& path, bool create) {
    // The settings file is only read, whatever the caller means to do.
    const bool settingsOpen = Settings_.OpenKey(path, false);
    StateOpen_ = State_.OpenKey(path, create);
    // A save needs the state file; reading, either will do.
    return create ? StateOpen_ : settingsOpen || StateOpen_;
}

const ISettingsStore& TStateSettingsStore::Source(const std::string& name) const {
    return StateOpen_ && IsState(name) && State_.ValueExists(name)
               ? static_cast<const ISettingsStore&>(State_)
               : Settings_;
}

bool TStateSettingsStore::ValueExists(const std::string& name) const {
    return Source(name).ValueExists(name);
}

std::optional<std::string> TStateSettingsStore::ReadText(const std::string& name) const {
    return Source(name).ReadText(name);
}

std::optional<bool> TStateSettingsStore::ReadFlag(const std::string& name) const {
    return Source(name).ReadFlag(name);
}

std::optional<std::string> TStateSettingsStore::ReadUtf8Text(const std::string& name) const {
    return Source(name).ReadUtf8Text(name);
}

std::optional<std::string> TStateSettingsStore::StoredForm(const std::string& name) const {
    return Source(name).StoredForm(name);
}

void TStateSettingsStore::WriteText(const std::string& name, const std::string& text) {
    if (IsState(name)) {
        State_.WriteText(name, text);
    }
}

void TStateSettingsStore::WriteFlag(const std::string& name, bool flag) {
    if (IsState(name)) {
        State_.WriteFlag(name, flag);
    }
}

void TStateSettingsStore::WriteUtf8Text(const std::string& name, const std::string& text) {
    if (IsState(name)) {
        State_.WriteUtf8Text(name, text);
    }
}

void TStateSettingsStore::CloseKey() {
    Settings_.CloseKey();
    State_.CloseKey();
    StateOpen_ = false;
}

} // namespace telvane
