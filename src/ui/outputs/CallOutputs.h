// The Qt shell's outputs of a call: the desktop notification and the tray
// icon it presents itself, and the hook command and MQTT of the outputs
// library. Hears the window's call events and adds "設定..." to its menu.
#pragma once

#include "monitor/AddedSettings.h"
#include "monitor/CallSink.h"
#include "outputs/Outputs.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace telvane {

class TMainForm;
class TDesktopNotifier;
class TTrayIcon;

class TCallOutputs final : public QObject, public ICallSink {
    Q_OBJECT
public:
    // Reads the added settings from the window's store and starts what they
    // ask for.
    explicit TCallOutputs(TMainForm& form);
    ~TCallOutputs() override;

    // Fills in what is known of a caller: display form, name, area, kind.
    // Without one, the number is shown as the adapter gave it.
    void SetDescriber(std::function<void(TCallEvent&)> describe) {
        Describe_ = std::move(describe);
    }

    void NewCaller(const std::string& number, const std::string& detectionTime,
                   const std::string& previousPollTime) override;
    void AdapterHealth(bool up) override;

    // Opens the settings dialog; saves and applies what the user accepts.
    void EditSettings();
    // Starts the outputs anew for these settings.
    void Apply(const TAddedSettings& settings);

signals:
    // The user asked to name a caller (a notification's action).
    void NameRequested(const QString& number);
    // The user asked for the history (the tray icon's menu).
    void HistoryRequested();
    // The settings dialog saved these values.
    void SettingsSaved(const TAddedSettings& settings);

private:
    void KeepSecret();

    TMainForm& Form_;
    TAddedSettings Settings_;
    std::function<void(TCallEvent&)> Describe_;
    TDesktopNotifier* Notifier_ = nullptr;
    std::unique_ptr<TTrayIcon> Tray_;
    std::unique_ptr<TOutputs> Outputs_;
    QString LastCaller_;
    bool AdapterUp_ = true;
};

} // namespace telvane
