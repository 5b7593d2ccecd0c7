// The main window: draws what the service decides and forwards the user's
// actions to it. The program's logic lives in TService; this class is its
// window, timer and window thread on Qt, with the context menu, the glance,
// the notification and the tray icon of the features beside it.
#pragma once

#include "qt/Timer.h"
#include "service/FrontEnd.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <memory>

namespace Ui {
class TMainForm;
}

class QAction;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QMessageBox;
class QTimer;

namespace telvane {

class TService;
class TGlance;
class THistoryWindow;
class TNameDialog;
class TNotifier;
class TTerminationSignals;
class TTrayIcon;

class TMainForm final : public QDialog, public IFrontEnd {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The service the window draws for; before anything is shown.
    void Attach(TService& service);
    ITimer& Timer() { return Timer1; }
    // Shows the window in front of the others, restoring it from standby.
    void BringToFront();
    // What AboutButton opens: the version dialog, modally.
    void SetAboutDialog(std::function<void()> showAbout) { ShowAbout_ = std::move(showAbout); }

    // The window's context menu and what it opens.
    QMenu* ContextMenu() const { return ContextMenu_; }
    THistoryWindow& ShowHistory();
    void NameCaller(QWidget* parent, const std::string& callerText);
    void EditSettings();
    void EditCallersSettings();
    void ChoosePhonebook();
    void OpenPhonebook();
    TTrayIcon* Tray() const { return Tray_.get(); }
    TNotifier* Notifier() const { return Notifier_; }

    // IFrontEnd.
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
    void Report(const std::string& line) override;
    void MinimizeApplication() override;
    void RestoreApplication() override;
    void Post(std::function<void()> task) override;
    void ShowGlance(const std::string& glance, const std::string& details) override;
    void ShowCall(const TCallShown& call) override;
    void ShowTray(const std::string& tooltip, bool adapterUp) override;
    void CallersChanged() override;
    void NotifyProblem(const std::string& title, const std::string& body) override;
    void ServiceEnding() override;
    void SetFollowing(bool following) override;

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
    void AddMenu();
    void ApplySettings();
    void WatchContacts();
    void Centre();
    void moveEvent(QMoveEvent* event) override;
    void SetCaption(QLabel* label, const QString& text);

    std::unique_ptr<Ui::TMainForm> Ui_;
    TQtTimer Timer1;
    TService* Service_ = nullptr;
    QMenu* ContextMenu_ = nullptr;
    QAction* NameAction_ = nullptr;
    QAction* AutostartAction_ = nullptr;
    TGlance* Glance_ = nullptr;
    TNameDialog* Naming_ = nullptr;
    TNotifier* Notifier_ = nullptr;
    std::unique_ptr<TTrayIcon> Tray_;
    QPointer<THistoryWindow> History_;
    QFileSystemWatcher* Watcher_ = nullptr;
    QTimer* Settle_ = nullptr;
    // Until the window manager has framed the first showing.
    QTimer* Placing_ = nullptr;
    TTerminationSignals* Termination_ = nullptr;
    std::function<void()> ShowAbout_;
    QPointer<QMessageBox> Notice_;
    std::string TrayTip_;
    bool AdapterUp_ = true;
    bool WasMinimized_ = false;
    bool Placed_ = false;
    // A signal or the session's end is ending the program.
    bool Ending_ = false;
};

} // namespace telvane
