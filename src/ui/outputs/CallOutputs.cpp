#include "ui/outputs/CallOutputs.h"

#include "monitor/Settings.h"
#include "ui/MainForm.h"
#include "ui/outputs/DesktopNotifier.h"
#include "ui/outputs/SettingsDialog.h"
#include "ui/outputs/TrayIcon.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QSysInfo>

#include <cstdio>

namespace telvane {
namespace {

void Report(const std::string& line) {
    // One write per line, so lines from the outputs' threads do not mix.
    const std::string text = "telvane: " + line + "\n";
    std::fputs(text.c_str(), stderr);
}

} // namespace

TCallOutputs::TCallOutputs(TMainForm& form) : QObject(&form), Form_(form) {
    LoadAddedSettings(Form_.SettingsStore(), Settings_);
    connect(Form_.ContextMenu()->addAction(tr("設定...")), &QAction::triggered, this,
            &TCallOutputs::EditSettings);
    Apply(Settings_);
    Form_.CallSinks().Add(this);
}

TCallOutputs::~TCallOutputs() {
    Form_.CallSinks().Remove(this);
}

void TCallOutputs::Apply(const TAddedSettings& settings) {
    Settings_ = settings;
    KeepSecret();
    if (Settings_.Notify && Notifier_ == nullptr) {
        Notifier_ = new TDesktopNotifier(this);
        connect(Notifier_, &TDesktopNotifier::ShowRequested, this,
                [this] { TTrayIcon::ShowWindow(Form_); });
        connect(Notifier_, &TDesktopNotifier::NameRequested, this, &TCallOutputs::NameRequested);
    } else if (!Settings_.Notify && Notifier_ != nullptr) {
        delete Notifier_;
        Notifier_ = nullptr;
    }
    if (Settings_.Tray && !Tray_) {
        Tray_ = std::make_unique<TTrayIcon>(
            Form_, [this] { return FromShiftJis(Form_.Monitor().GetLastPollTime()); });
        connect(Tray_.get(), &TTrayIcon::CheckRequested, &Form_, &TMainForm::CheckButtonClick);
        // Every query's result sets the number, and with it the last poll.
        connect(&Form_, &TMainForm::NumberCaptionSet, Tray_.get(), &TTrayIcon::Refresh);
        connect(Tray_.get(), &TTrayIcon::HistoryRequested, this, &TCallOutputs::HistoryRequested);
        connect(Tray_.get(), &TTrayIcon::QuitRequested, this, [this] {
            Form_.close();
            QCoreApplication::quit();
        });
        Tray_->SetLastCaller(LastCaller_);
        Tray_->SetAdapterUp(AdapterUp_);
        Tray_->SetHistoryAvailable([this] {
            return isSignalConnected(QMetaMethod::fromSignal(&TCallOutputs::HistoryRequested));
        });
    } else if (!Settings_.Tray && Tray_) {
        TTrayIcon::ShowWindow(Form_);
        Tray_.reset();
    }
    // The old ones finish (or end) their work before the new ones start.
    Outputs_.reset();
    const QString settingsFile =
        QString::fromStdString(Form_.SettingsStore().FileName(SettingsKey).string());
    TOutputSettings outputs;
    outputs.HookCommand = Settings_.HookCommand;
    // The program's configuration folder, where its ports folder lives too.
    const QFileInfo settingsInfo(settingsFile);
    const QString folder = settingsInfo.dir().filePath(settingsInfo.completeBaseName());
    QDir().mkpath(folder);
    outputs.HookLog = QDir(folder).filePath(QStringLiteral("hook.log")).toStdString();
    outputs.MqttUrl = Settings_.MqttUrl;
    outputs.MqttTopic = Settings_.MqttTopic;
    outputs.HostName = QSysInfo::machineHostName().toStdString();
    Outputs_ = std::make_unique<TOutputs>(outputs, Report);
}

void TCallOutputs::KeepSecret() {
    const auto url = ParseMqttUrl(Settings_.MqttUrl);
    if (!url || url->Password.empty()) {
        return;
    }
    const QString file =
        QString::fromStdString(Form_.SettingsStore().FileName(SettingsKey).string());
    if (QFileInfo::exists(file)) {
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }
}

void TCallOutputs::NewCaller(const std::string& number, const std::string& detectionTime,
                             const std::string& previousPollTime) {
    TCallEvent event;
    event.Number = FromShiftJis(number).toStdString();
    event.Display = event.Number;
    event.Time = IsoTime(detectionTime);
    event.PreviousPoll = IsoTime(previousPollTime);
    if (Describe_) {
        Describe_(event);
    }
    Outputs_->Post(event);

    const QString display = QString::fromStdString(event.Display);
    const QString name = QString::fromStdString(event.Name);
    const QString area = QString::fromStdString(event.Area);
    LastCaller_ = name.isEmpty() ? display : name + QStringLiteral(" ") + display;
    if (Tray_) {
        Tray_->SetLastCaller(LastCaller_);
    }
    if (Notifier_) {
        QStringList body{display};
        if (!name.isEmpty() && !area.isEmpty()) {
            body << area;
        }
        body << FromShiftJis(detectionTime);
        const QString summary = !name.isEmpty() ? name : !area.isEmpty() ? area : display;
        Notifier_->Show(summary, body.join(QLatin1Char('\n')), QString::fromStdString(event.Number),
                        isSignalConnected(QMetaMethod::fromSignal(&TCallOutputs::NameRequested)));
    }
}

void TCallOutputs::AdapterHealth(bool up) {
    AdapterUp_ = up;
    if (Tray_) {
        Tray_->SetAdapterUp(up);
    }
    TCallEvent event;
    event.Kind = up ? TEventKind::AdapterUp : TEventKind::AdapterDown;
    event.Time = IsoNow();
    Outputs_->Post(event);
}

void TCallOutputs::EditSettings() {
    // The who-called settings may have changed in their own dialog since:
    // start from what the store holds; only what the user changes is saved.
    TAddedSettings loaded;
    std::vector<std::string> problems = LoadAddedSettings(Form_.SettingsStore(), loaded);
    for (const std::string& line : Outputs_->Problems()) {
        problems.push_back(line);
    }
    TSettingsDialog dialog(loaded, problems, &Form_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const TAddedSettings settings = dialog.Settings();
    if (!SaveAddedSettings(Form_.SettingsStore(), loaded, settings)) {
        QMessageBox::warning(&Form_, dialog.windowTitle(), tr("設定を保存できませんでした。"));
        return;
    }
    Apply(settings);
    emit SettingsSaved(settings);
}

} // namespace telvane
