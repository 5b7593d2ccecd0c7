// The per-user settings store on QSettings: the registry under
// HKEY_CURRENT_USER on Windows, an INI file under $XDG_CONFIG_HOME elsewhere.
#pragma once

#include "monitor/SettingsStore.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace telvane {

class TQtSettingsStore final : public ISettingsStore {
public:
    // The current user's store. A key path "\Software\Org\App\Group" lives in
    // QSettings(Org, App), group Group: on Linux the file
    // $XDG_CONFIG_HOME/Org/App.conf, section [Group].
    TQtSettingsStore() = default;
    // An INI file of its own; a key path's components after "\Software\Org\App"
    // name the section.
    explicit TQtSettingsStore(QString iniFile) : IniFile_(std::move(iniFile)) {}

    // Where the current user's store keeps a key path's values: on Linux the
    // INI file. Empty for a path that is no key of the store.
    static QString StoreFile(const std::string& path);

    bool OpenKey(const std::string& path, bool create) override;
    bool ValueExists(const std::string& name) const override;
    std::optional<std::string> ReadText(const std::string& name) const override;
    std::optional<bool> ReadFlag(const std::string& name) const override;
    void WriteText(const std::string& name, const std::string& text) override;
    void WriteFlag(const std::string& name, bool flag) override;
    std::optional<std::string> ReadUtf8Text(const std::string& name) const override;
    void WriteUtf8Text(const std::string& name, const std::string& text) override;
    void CloseKey() override;
    bool CloseFailed() const override { return LastStatus_ != QSettings::NoError; }
    std::string Location() const override;

    // The file that holds a key path's values (on Windows, the registry path).
    QString FileName(const std::string& path) const;
    // The status of the last CloseKey's write to the backing file.
    QSettings::Status LastStatus() const { return LastStatus_; }

private:
    QString IniFile_;
    QString Location_; // the file or registry key of the last OpenKey
    std::unique_ptr<QSettings> Settings_;
    QSettings::Status LastStatus_ = QSettings::NoError;
};

} // namespace telvane
