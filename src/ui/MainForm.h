// The main window: shows what the caller monitor finds and forwards the
// user's actions to it. The monitor's logic lives in TCallerMonitor; this
// class is its window, timer, port and settings store on Qt.
#pragma once

#include "comm/Comm.h"
#include "monitor/CallFanout.h"
#include "monitor/CallerMonitor.h"
#include "monitor/Clock.h"
#include "port/CommPort.h"
#include "session/Autostart.h"
#include "store/IniSettingsStore.h"
#include "ui/QtProgramLocation.h"
#include "ui/QtTimer.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

namespace Ui {
class TMainForm;
}

class QLabel;
class QMenu;
class QMessageBox;

namespace telvane {

class TTerminationSignals;

class TMainForm final : public QDialog, public IView, private IReceiveWakeup {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Loads the settings and starts the first query; called once before the
    // window is shown.
    void AllFormCreated();
    // Shows the window in front of the others, restoring it from standby.
    void BringToFront();
    // What AboutButton opens: the version dialog, modally.
    void SetAboutDialog(std::function<void()> showAbout) { ShowAbout_ = std::move(showAbout); }

    TCallerMonitor& Monitor() { return *Monitor_; }
    TComm& Comm() { return Comm1; }
    // The window's settings store, for settings added beside the seventeen.
    TIniSettingsStore& SettingsStore() { return Settings_; }
    // Every new caller and every change of the adapter's reachability goes
    // to the sinks added here.
    TCallFanout& CallSinks() { return CallSinks_; }
    // The window's context menu. Features beside the window's own controls
    // add their actions here; while it is empty, no menu opens.
    QMenu* ContextMenu() const { return ContextMenu_; }
    const IProgramLocation& Location() const { return Location_; }

    // IView.
    std::string PortText() const override;
    void SetPortText(const std::string& text) override;
    std::string IntervalText() const override;
    void SetIntervalText(const std::string& text) override;
    bool LogRingChecked() const override;
    void SetLogRingChecked(bool checked) override;
    void SetLogRingHint(const std::string& hint) override;
    void SetNumberCaption(const std::string& text) override;
    void SetTimeCaption(const std::string& text) override;
    void SetStatusCaption(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void SetStandbyHandlers(std::function<void()> minimized,
                            std::function<void()> restored) override;

signals:
    // NumberLabel got a new caption: "?", a missing port or the caller.
    void NumberCaptionSet();

public slots:
    void CheckButtonClick();
    void ShowButtonClick();
    void AboutButtonClick();
    void WaitButtonClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Timer1Timer();
    void FormClose();
    void PostReceived() override;
    // Runs a handler of the monitor; what escapes it is reported.
    template <typename Handler> void Handle(Handler&& handler);
    void SetCaption(QLabel* label, const QString& text);
    void AddAutostartAction();

    std::unique_ptr<Ui::TMainForm> Ui_;
    TComm Comm1;
    TCommPort Port_{Comm1};
    TQtTimer Timer1;
    TIniSettingsStore Settings_;
    TSystemClock Clock_;
    TQtProgramLocation Location_;
    TCallFanout CallSinks_;
    std::unique_ptr<TCallerMonitor> Monitor_;
    QMenu* ContextMenu_ = nullptr;
    TAutostart Autostart_;
    TTerminationSignals* Termination_ = nullptr;
    std::function<void()> ShowAbout_;
    QPointer<QMessageBox> Notice_;
    std::function<void()> Minimized_;
    std::function<void()> Restored_;
    bool WasMinimized_ = false;
    bool Placed_ = false;
    // A signal or the session's end is ending the program.
    bool Ending_ = false;
};

} // namespace telvane
