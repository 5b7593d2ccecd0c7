// What Telvane knows about a caller: the number read with the Region
// setting, and a name from Telvane's own phonebook or the user's contacts
// file. Both files are watched, so edits show without a restart; they are
// read off the window's thread, and Changed tells when a read is in.
#pragma once

#include "callers/CallerDirectory.h"
#include "monitor/AddedSettings.h"
#include "monitor/SettingsStore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>

class QFileSystemWatcher;

namespace telvane {

struct TCallerView {
    TNumberInfo Info;
    QString Name; // empty when no phonebook knows the number
    // The name, else the area; empty when neither is known.
    QString NameOrArea() const;
    // The formatted number, its kind, the area and the withheld reason, one
    // a line; empty for a text that says nothing more than itself.
    QString Details() const;
};

class TWhoCalled final : public QObject {
    Q_OBJECT
public:
    // Reads the Region and Phonebook settings from the store.
    explicit TWhoCalled(ISettingsStore& store, QObject* parent = nullptr);
    ~TWhoCalled() override;

    // A caller text as the monitor holds it (Shift_JIS).
    TCallerView Describe(const std::string& callerText) const;
    // The key under which a caller text matches others; empty when it holds
    // no number.
    std::string MatchKey(const std::string& callerText) const;

    const TAddedSettings& Settings() const { return Settings_; }
    ISettingsStore& Store() { return Store_; }
    // Takes new Region and Phonebook values (already saved by the caller).
    void ApplySettings(const TAddedSettings& settings);

    // The contacts file the user reads: the Phonebook setting, or the own file.
    QString PhonebookPath() const;
    // What is wrong with a contacts file now, as "file:line: what"; empty
    // when both loaded.
    QString Problem() const;

    // Writes a card for the number into the own phonebook (Changed follows
    // once it is read); the error text when that failed.
    std::optional<QString> AddName(const QString& name, const std::string& callerText);

signals:
    // Names, areas or the problem may read differently now.
    void Changed();

private:
    TDirectoryPlaces Places() const;
    // On the window's thread, after each read.
    void Loaded();
    void Watch();

    ISettingsStore& Store_;
    TAddedSettings Settings_;
    QFileSystemWatcher* Watcher_ = nullptr;
    QTimer Settle_;
    // Last: gone first, so that no read ends after the rest.
    std::unique_ptr<TCallerDirectory> Directory_;
};

} // namespace telvane
