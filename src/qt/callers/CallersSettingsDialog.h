// The settings of "who called": the region numbers are read in and the
// contacts file. Small on purpose; it changes only these two values.
#pragma once

#include "monitor/AddedSettings.h"

#include <QDialog>

class QLineEdit;

namespace telvane {

class TCallersSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // ownPhonebook: the file used while the Phonebook setting is empty.
    TCallersSettingsDialog(const TAddedSettings& settings, const QString& ownPhonebook,
                           QWidget* parent = nullptr);

    // The settings given, with the two values as the user left them.
    TAddedSettings Result() const;

    void accept() override;

private:
    TAddedSettings Settings_;
    QLineEdit* Region_;
    QLineEdit* Phonebook_;
};

} // namespace telvane
