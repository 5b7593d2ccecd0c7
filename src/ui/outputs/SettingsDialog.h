// The settings added beside the seventeen: notification, tray, hook
// command, MQTT and the "who called" settings. Shows what does not work now
// and checks what it can before it lets the user save.
#pragma once

#include "monitor/AddedSettings.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace telvane {

class TSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // problems: lines on what does not work now (values not understood, an
    // output that cannot work), shown above the fields.
    TSettingsDialog(const TAddedSettings& settings, const std::vector<std::string>& problems,
                    QWidget* parent = nullptr);

    TAddedSettings Settings() const;
    // What is wrong with the values, in the user's words; empty when none.
    static QString Problem(const TAddedSettings& settings);

    void accept() override;

private:
    TAddedSettings Original_;
    QCheckBox* Notify_;
    QCheckBox* Tray_;
    QLineEdit* HookCommand_;
    QLineEdit* MqttUrl_;
    QLineEdit* MqttTopic_;
    QLineEdit* Region_;
    QLineEdit* Phonebook_;
};

} // namespace telvane
