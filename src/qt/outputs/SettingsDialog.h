// The settings added beside the seventeen: notification, tray, hook
// command, MQTT, the Telvane to follow and the "who called" settings. Shows what does not work now
// and checks what it can before it lets the user save.
#pragma once

#include "monitor/AddedSettings.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace telvane {

class TSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // What is wrong with settings about to be saved, in the user's words;
    // empty when none.
    using TCheck = std::function<std::string(const TAddedSettings&)>;

    // problems: lines on what does not work now (values not understood, an
    // output that cannot work), shown above the fields. mqtt: whether this
    // build can publish to MQTT.
    TSettingsDialog(const TAddedSettings& settings, const std::vector<std::string>& problems,
                    TCheck check, bool mqtt, QWidget* parent = nullptr);

    TAddedSettings Settings() const;

    void accept() override;

private:
    TAddedSettings Original_;
    TCheck Check_;
    QCheckBox* Notify_;
    QCheckBox* Tray_;
    QLineEdit* HookCommand_;
    QLineEdit* MqttUrl_;
    QLineEdit* MqttTopic_;
    QLineEdit* Follow_;
    QLineEdit* Region_;
    QLineEdit* Phonebook_;
};

} // namespace telvane
