#include "qt/MainForm.h"

#include "ui_MainForm.h"

#include "qt/TerminationSignals.h"
#include "qt/callers/CallersSettingsDialog.h"
#include "qt/callers/Glance.h"
#include "qt/callers/HistoryWindow.h"
#include "qt/callers/NameDialog.h"
#include "qt/outputs/Notifier.h"
#include "qt/outputs/SettingsDialog.h"
#include "qt/outputs/TrayIcon.h"
#include "qt/widgets/JapaneseFonts.h"
#include "service/Service.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cstdio>

namespace telvane {

namespace {
const QString kTitle = QStringLiteral("Telvane");

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QDialog(parent), Ui_(std::make_unique<Ui::TMainForm>()), Timer1(
                                                                   [this] {
                                                                       if (Service_ != nullptr) {
                                                                           Service_->Tick();
                                                                       }
                                                                   },
                                                                   this) {
    Ui_->setupUi(this);
    ApplyJapaneseFonts(this);
    // Every label takes the size of its text from the start, growing to the
    // right of its place: the layout's sizes are those of the designed face.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->adjustSize();
    }
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(311, 152);
    Ui_->CheckButton->setFocus();
    Glance_ = new TGlance(Ui_->NumberLabel, this);
    Placing_ = new QTimer(this);
    Placing_->setSingleShot(true);
    Placing_->setInterval(100);
    connect(Placing_, &QTimer::timeout, this, &TMainForm::Centre);
    // Also without notifications of callers: a file that cannot be read is
    // told through it.
    Notifier_ = new TNotifier(this);
    connect(Notifier_, &TNotifier::ShowRequested, this, &TMainForm::BringToFront);
    connect(Notifier_, &TNotifier::NameRequested, this, [this](const std::string& number) {
        BringToFront();
        NameCaller(this, number);
    });

    // Ended by a signal or by the end of the desktop session: save first.
    Termination_ = new TTerminationSignals(this);
    connect(Termination_, &TTerminationSignals::TerminationRequested, this, [this] {
        Ending_ = true;
        close();
        // Ends every event loop running now (a message box's too) and, queued,
        // the main loop if it has not started yet: a signal can come while
        // start-up shows an error.
        QCoreApplication::exit(0);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] {
        // The session may yet go on: this save goes without a box.
        if (Service_ != nullptr) {
            Service_->Close(true);
        }
    });
}

TMainForm::~TMainForm() = default;

void TMainForm::Attach(TService& service) {
    Service_ = &service;
    AddMenu();
    // Editors save in several steps; read the file once they are done.
    Settle_ = new QTimer(this);
    Settle_->setSingleShot(true);
    Settle_->setInterval(200);
    connect(Settle_, &QTimer::timeout, this, [this] { Service_->FilesChanged(); });
    Watcher_ = new QFileSystemWatcher(this);
    connect(Watcher_, &QFileSystemWatcher::directoryChanged, Settle_, qOverload<>(&QTimer::start));
    connect(Watcher_, &QFileSystemWatcher::fileChanged, Settle_, qOverload<>(&QTimer::start));
    WatchContacts();
    ApplySettings();
}

// The window's context menu: start at login, then who called, then the
// settings dialog.
void TMainForm::AddMenu() {
    ContextMenu_ = new QMenu(this);
    AutostartAction_ = ContextMenu_->addAction(tr("ログイン時に起動"));
    AutostartAction_->setObjectName(QStringLiteral("AutostartAction"));
    AutostartAction_->setCheckable(true);
    AutostartAction_->setChecked(Service_->AutostartEnabled());
    connect(AutostartAction_, &QAction::toggled, this, [this](bool checked) {
        const std::string error = Service_->SetAutostart(checked);
        if (!error.empty()) {
            const QSignalBlocker blocker(AutostartAction_);
            AutostartAction_->setChecked(Service_->AutostartEnabled());
            QMessageBox box(QMessageBox::Critical, kTitle, Q(error), QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        }
    });
    NameAction_ = ContextMenu_->addAction(tr("名前を付ける..."));
    connect(NameAction_, &QAction::triggered, this,
            [this] { NameCaller(this, Service_->CallerNumber()); });
    connect(ContextMenu_, &QMenu::aboutToShow, this, [this] {
        // Only a caller with a number can be given a name.
        NameAction_->setEnabled(!Service_->Describe(Service_->CallerNumber()).MatchKey.empty());
    });
    connect(ContextMenu_->addAction(tr("着信履歴...")), &QAction::triggered, this,
            [this] { ShowHistory(); });
    ContextMenu_->addSeparator();
    connect(ContextMenu_->addAction(tr("電話帳を開く")), &QAction::triggered, this,
            &TMainForm::OpenPhonebook);
    connect(ContextMenu_->addAction(tr("電話帳を選ぶ...")), &QAction::triggered, this,
            &TMainForm::ChoosePhonebook);
    connect(ContextMenu_->addAction(tr("番号表示の設定...")), &QAction::triggered, this,
            &TMainForm::EditCallersSettings);
    connect(ContextMenu_->addAction(tr("設定...")), &QAction::triggered, this,
            &TMainForm::EditSettings);
}

// ---- The user's verbs ----

void TMainForm::CheckButtonClick() {
    if (Service_ != nullptr) {
        Service_->CheckNow();
    }
}

void TMainForm::ShowButtonClick() {
    Service_->ShowAll();
}

void TMainForm::AboutButtonClick() {
    if (ShowAbout_) {
        ShowAbout_();
    }
}

void TMainForm::WaitButtonClick() {
    Service_->Wait();
}

void TMainForm::NameCaller(QWidget* parent, const std::string& callerText) {
    if (Naming_ == nullptr) {
        Naming_ = new TNameDialog(*Service_, this);
    }
    Naming_->Ask(parent, callerText);
}

THistoryWindow& TMainForm::ShowHistory() {
    if (!History_) {
        History_ = new THistoryWindow(
            *Service_,
            [this](QWidget* parent, const std::string& number) { NameCaller(parent, number); },
            this);
        History_->setAttribute(Qt::WA_DeleteOnClose);
    }
    History_->show();
    History_->raise();
    History_->activateWindow();
    return *History_;
}

void TMainForm::OpenPhonebook() {
    const QFileInfo file(Q(Service_->PhonebookPath().u8string()));
    if (file.exists()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
        return;
    }
    // No file yet: show the folder where it belongs.
    QDir().mkpath(file.absolutePath());
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

void TMainForm::ChoosePhonebook() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("電話帳を選ぶ"), Q(Service_->PhonebookPath().u8string()),
        tr("連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)"));
    if (file.isEmpty()) {
        return;
    }
    TAddedSettings settings = Service_->Settings();
    settings.Phonebook = file.toStdString();
    const std::string error = Service_->ChangeSettings(settings);
    if (!error.empty()) {
        QMessageBox::warning(this, kTitle, Q(error));
    }
}

void TMainForm::EditCallersSettings() {
    TCallersSettingsDialog dialog(Service_->Settings(),
                                  Q(Service_->Places().OwnPhonebook.u8string()), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string error = Service_->ChangeSettings(dialog.Result());
    if (!error.empty()) {
        QMessageBox::warning(this, kTitle, Q(error));
    }
}

void TMainForm::EditSettings() {
    TSettingsDialog dialog(
        Service_->Settings(), Service_->Problems(),
        [this](const TAddedSettings& settings) { return Service_->SettingsFault(settings); },
        TService::MqttAvailable(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string error = Service_->ChangeSettings(dialog.Settings());
    if (!error.empty()) {
        QMessageBox::warning(this, dialog.windowTitle(), Q(error));
    }
}

// What the settings ask of the window: the tray icon. (Whether a call is
// notified comes with each call.)
void TMainForm::ApplySettings() {
    const TAddedSettings& settings = Service_->Settings();
    if (settings.Tray && !Tray_) {
        Tray_ = std::make_unique<TTrayIcon>(*this);
        connect(Tray_.get(), &TTrayIcon::CheckRequested, this, &TMainForm::CheckButtonClick);
        connect(Tray_.get(), &TTrayIcon::HistoryRequested, this, [this] { ShowHistory(); });
        connect(Tray_.get(), &TTrayIcon::QuitRequested, this, [this] {
            close();
            QCoreApplication::quit();
        });
        Tray_->Show(Q(Service_->TrayTip()), Service_->AdapterUp());
    } else if (!settings.Tray && Tray_) {
        // Without the icon a hidden window could not be found again.
        BringToFront();
        Tray_.reset();
    }
}

void TMainForm::WatchContacts() {
    // Editors replace a file by renaming a new one over it, which ends a
    // watch on the file itself: watch the folders too.
    QStringList wanted;
    for (const std::filesystem::path& path : Service_->ContactsFiles()) {
        const QFileInfo file(Q(path.u8string()));
        // A folder that does not exist yet is watched through the nearest
        // one that does.
        QDir folder = file.absoluteDir();
        while (!folder.exists() && folder.cdUp()) {
        }
        if (folder.exists()) {
            wanted << folder.absolutePath();
        }
        if (file.exists()) {
            wanted << file.absoluteFilePath();
        }
    }
    // The same watcher throughout, so that no change seen meanwhile is lost.
    const QStringList watched = Watcher_->files() + Watcher_->directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            Watcher_->removePath(path);
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path)) {
            Watcher_->addPath(path);
        }
    }
}

// ---- Closing, standby and placement ----

void TMainForm::closeEvent(QCloseEvent* event) {
    // The history goes with the window, before the service it reads.
    delete History_;
    if (Service_ != nullptr) {
        // A failure is shown in a box while the window is up, unless a signal
        // or the session's end is ending the program, which a box would hold up.
        Service_->Close(Ending_ || !isVisible());
    }
    QDialog::closeEvent(event);
}

void TMainForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || Service_ == nullptr) {
        return;
    }
    const bool minimized = isMinimized();
    if (minimized == WasMinimized_) {
        return;
    }
    WasMinimized_ = minimized;
    if (minimized) {
        Service_->Minimized();
    } else {
        Service_->Restored();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Placed_) {
        return;
    }
    // Centred the first time it is shown, once the window manager has
    // framed it; where the user puts it later, it stays, also across standby.
    Placed_ = true;
    Centre();
    Placing_->start();
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // The window manager is still placing and framing the first showing.
    if (Placing_->isActive()) {
        Placing_->start();
    }
}

// The outer frame at the screen's centre; the frame counts as empty until
// the window manager has told it.
void TMainForm::Centre() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(frame);
    const QRect area = screen->geometry();
    // move() places the outer rectangle of a window.
    move(area.x() + std::max(0, (area.width() - outer.width()) / 2),
         area.y() + std::max(0, (area.height() - outer.height()) / 2));
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    // The window has no cancel button: Escape must not close it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
    if (ContextMenu_ == nullptr) {
        QDialog::contextMenuEvent(event);
        return;
    }
    ContextMenu_->popup(event->globalPos());
}

// ---- IFrontEnd ----

std::string TMainForm::PortText() const {
    return Ui_->PortSelector->Text().toStdString();
}

void TMainForm::SetPortText(const std::string& text) {
    Ui_->PortSelector->SetText(Q(text));
}

std::string TMainForm::IntervalText() const {
    return Ui_->IntervalSelector->Text().toStdString();
}

void TMainForm::SetIntervalText(const std::string& text) {
    Ui_->IntervalSelector->SetText(Q(text));
}

bool TMainForm::LogRingChecked() const {
    return Ui_->LogRingFlag->isChecked();
}

void TMainForm::SetLogRingChecked(bool checked) {
    Ui_->LogRingFlag->setChecked(checked);
}

void TMainForm::SetLogRingHint(const std::string& hint) {
    Ui_->LogRingFlag->setToolTip(Q(hint));
}

void TMainForm::SetCaption(QLabel* label, const QString& text) {
    label->setText(text);
    // Labels size themselves to their text, growing to the right.
    label->adjustSize();
}

void TMainForm::SetNumberCaption(const std::string& text) {
    SetCaption(Ui_->NumberLabel, Q(text));
}

void TMainForm::SetTimeCaption(const std::string& text) {
    SetCaption(Ui_->TimeLabel, Q(text));
}

void TMainForm::SetStatusCaption(const std::string& text) {
    SetCaption(Ui_->StatusLabel, Q(text));
}

void TMainForm::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, Q(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TMainForm::ShowError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, kTitle, Q(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TMainForm::ShowNotice(const std::string& text) {
    // Not modal: the query cycle goes on while the box is open, and a newer
    // notice takes the place of one nobody has closed yet.
    if (Notice_ == nullptr) {
        Notice_ = new QMessageBox(QMessageBox::Critical, kTitle, QString(), QMessageBox::Ok, this);
        Notice_->setTextFormat(Qt::PlainText);
        Notice_->setModal(false);
        Notice_->setAttribute(Qt::WA_DeleteOnClose);
    }
    Notice_->setText(Q(text));
    Notice_->show();
}

void TMainForm::Report(const std::string& line) {
    // One write per line, so that lines from other threads do not mix.
    const std::string text = "telvane: " + line + "\n";
    std::fputs(text.c_str(), stderr);
}

void TMainForm::MinimizeApplication() {
    if (!isMinimized()) {
        showMinimized();
    }
}

void TMainForm::RestoreApplication() {
    // Hidden to the tray icon, or minimised: a new caller brings it back.
    if (isMinimized() || isHidden()) {
        showNormal();
        raise();
        activateWindow();
    }
}

void TMainForm::BringToFront() {
    RestoreApplication();
    raise();
    activateWindow();
}

void TMainForm::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void TMainForm::ShowGlance(const std::string& glance, const std::string& details) {
    Glance_->Show(Q(glance), Q(details));
}

void TMainForm::ShowCall(const TCallShown& call) {
    if (History_) {
        History_->ShowStatus();
    }
    if (call.Notify) {
        Notifier_->Show(Q(call.Title), Q(call.Body), call.Caller);
    }
}

void TMainForm::NotifyProblem(const std::string& title, const std::string& body) {
    Notifier_->ShowProblem(Q(title), Q(body));
}

void TMainForm::ShowTray(const std::string& tooltip, bool adapterUp) {
    if (Tray_) {
        Tray_->Show(Q(tooltip), adapterUp);
    }
}

void TMainForm::ServiceEnding() {
    delete History_;
    delete Naming_;
    Naming_ = nullptr;
    Service_ = nullptr;
}

void TMainForm::SetFollowing(bool following) {
    // The call log's box stays: the followed calls are logged here too.
    for (QWidget* control :
         std::initializer_list<QWidget*>{Ui_->PortSelector, Ui_->IntervalSelector, Ui_->CheckButton,
                                         Ui_->ShowButton, Ui_->WaitButton}) {
        control->setEnabled(!following);
    }
}

void TMainForm::CallersChanged() {
    ApplySettings();
    WatchContacts();
    if (History_) {
        History_->ShowStatus();
    }
}

} // namespace telvane
