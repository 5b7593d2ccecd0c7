// The per-user settings store on Linux: the INI file that Qt's QSettings
// kept before, $XDG_CONFIG_HOME/Org/App.conf, read and written in the same
// notation, without Qt. Unlike QSettings it keeps every line it is not asked
// to write as it was (a value of a kind it does not know survives every
// save), and a front end without Qt can share it.
#pragma once

#include "monitor/SettingsStore.h"
#include "store/IniDocument.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvane {

class TIniSettingsStore final : public ISettingsStore {
public:
    // The current user's store: a key path "\Software\Org\App\Group" lives
    // in the file $XDG_CONFIG_HOME/Org/App.conf, section [Group].
    TIniSettingsStore() = default;
    // A file of its own; a key path's parts after "\Software\Org\App" name
    // the section.
    explicit TIniSettingsStore(std::filesystem::path file) : File_(std::move(file)) {}

    // The current user's file for a key path; empty for a path that is no
    // key of the store.
    static std::filesystem::path UserFile(const std::string& path);
    // The file that holds a key path's values.
    std::filesystem::path FileName(const std::string& path) const;

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
    bool CloseFailed() const override { return CloseFailed_; }
    std::string Location() const override;

private:
    void Write(const std::string& name, const std::string& notation);
    std::string PathOf(const std::string& name) const { return Group_ + "/" + name; }

    std::filesystem::path File_;
    std::filesystem::path Open_; // the file of the open key
    std::string Group_;
    std::optional<TIniDocument> Document_;
    // What was written since OpenKey: path and notation.
    std::vector<std::pair<std::string, std::string>> Written_;
    bool CloseFailed_ = false;
};

} // namespace telvane
