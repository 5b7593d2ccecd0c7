// The settings of a file the program never writes (a system service's, which
// an administrator keeps), with what the program saves as it runs (the last
// listing Magic0 to Magic10, DateTime, LastDateTime and Dream) in a state
// file of its own. Those values are read from the state file where it has
// them, over the settings file's; every other value only from the settings
// file, so that what the administrator changes there is what counts, also
// after a restart. Writes of those other values (the monitor saves all
// seventeen, the controls as they were read) are dropped.
#pragma once

#include "store/IniSettingsStore.h"

#include <filesystem>

namespace telvane {

class TStateSettingsStore final : public ISettingsStore {
public:
    TStateSettingsStore(std::filesystem::path settingsFile, std::filesystem::path stateFile);

    // Whether the program keeps this value in the state file.
    static bool IsState(const std::string& name);

    bool OpenKey(const std::string& path, bool create) override;
    bool ValueExists(const std::string& name) const override;
    std::optional<std::string> ReadText(const std::string& name) const override;
    std::optional<bool> ReadFlag(const std::string& name) const override;
    void WriteText(const std::string& name, const std::string& text) override;
    void WriteFlag(const std::string& name, bool flag) override;
    std::optional<std::string> ReadUtf8Text(const std::string& name) const override;
    void WriteUtf8Text(const std::string& name, const std::string& text) override;
    std::optional<std::string> StoredForm(const std::string& name) const override;
    void CloseKey() override;
    bool CloseFailed() const override { return State_.CloseFailed(); }
    std::string Location() const override { return State_.Location(); }

private:
    // The store a value is read from: the state file when it holds it.
    const ISettingsStore& Source(const std::string& name) const;

    TIniSettingsStore Settings_;
    TIniSettingsStore State_;
    bool StateOpen_ = false;
};

} // namespace telvane
