#include "ui/MainForm.h"

#include "ui_MainForm.h"

#include "monitor/ErrorReport.h"
#include "ui/TerminationSignals.h"
#include "ui/Translation.h"
#include "ui/qtcore/ShiftJisCodec.h"
#include "ui/widgets/JapaneseFonts.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>

#include <cstdio>

namespace telvane {

namespace {
const QString kTitle = QStringLiteral("Telvane");
}

TMainForm::TMainForm(QWidget* parent)
    : QDialog(parent), Ui_(std::make_unique<Ui::TMainForm>()),
      Timer1([this] { Timer1Timer(); }, this),
      Autostart_(QCoreApplication::applicationFilePath().toStdString()) {
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

    ContextMenu_ = new QMenu(this);
    AddAutostartAction();
    TMonitorEnvironment environment{*this, Timer1, Port_, Clock_, Location_, Settings_, *this};
    environment.CallSink = &CallSinks_;
    Monitor_ = std::make_unique<TCallerMonitor>(environment);
    Comm1.SetOnCommReceive(
        [this](TComm*, std::uint16_t size) { Monitor_->Comm1CommReceive(size); });
    // Errors of the port's watch thread are shown on the window thread.
    SetCommErrorHandler([this](const std::exception& error) {
        QMetaObject::invokeMethod(
            this,
            [this, message = std::string(error.what())] { ShowError(ErrorReportText(message)); },
            Qt::QueuedConnection);
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
        // The session may yet go on: only this save goes without a box.
        Ending_ = true;
        FormClose();
        Ending_ = false;
    });
}

// Start at login: the session starts this very executable.
void TMainForm::AddAutostartAction() {
    QAction* action = ContextMenu_->addAction(tr("ログイン時に起動"));
    action->setObjectName(QStringLiteral("AutostartAction"));
    action->setCheckable(true);
    action->setChecked(Autostart_.Enabled());
    connect(action, &QAction::toggled, this, [this, action](bool checked) {
        try {
            Autostart_.SetEnabled(checked);
        } catch (const std::exception& error) {
            const QSignalBlocker blocker(action);
            action->setChecked(Autostart_.Enabled());
            QMessageBox box(QMessageBox::Critical, kTitle,
                            tr("ログイン時の起動を設定できません") + QStringLiteral("\n") +
                                QString::fromStdString(error.what()),
                            QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        }
    });
}

TMainForm::~TMainForm() {
    // No notification may reach the monitor once it is gone.
    Comm1.Close();
    SetCommErrorHandler(nullptr);
}

template <typename Handler> void TMainForm::Handle(Handler&& handler) {
    RunReportingErrors(*this, std::forward<Handler>(handler));
}

void TMainForm::AllFormCreated() {
    Handle([this] { Monitor_->AllFormCreated(); });
}

void TMainForm::CheckButtonClick() {
    Handle([this] { Monitor_->CheckButtonClick(); });
}

void TMainForm::ShowButtonClick() {
    Handle([this] { Monitor_->ShowButtonClick(); });
}

void TMainForm::AboutButtonClick() {
    if (ShowAbout_) {
        ShowAbout_();
    }
}

void TMainForm::WaitButtonClick() {
    Handle([this] { Monitor_->WaitButtonClick(); });
}

void TMainForm::Timer1Timer() {
    Handle([this] { Monitor_->Timer1Timer(); });
}

void TMainForm::PostReceived() {
    QMetaObject::invokeMethod(
        this, [this] { Handle([this] { Monitor_->DrainReceived(); }); }, Qt::QueuedConnection);
}

void TMainForm::FormClose() {
    try {
        Monitor_->FormClose();
    } catch (const std::exception& error) {
        // Always on stderr, since the program may be ending; in a box too
        // while the window is up, unless a signal or the session's end is
        // ending the program, which a box would hold up.
        const std::string text = ErrorReportText(error.what());
        std::fprintf(stderr, "Telvane: %s\n", FromShiftJis(text).toLocal8Bit().constData());
        if (isVisible() && !Ending_) {
            ShowError(text);
        }
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TMainForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    const bool minimized = isMinimized();
    if (minimized == WasMinimized_) {
        return;
    }
    WasMinimized_ = minimized;
    const auto& handler = minimized ? Minimized_ : Restored_;
    if (handler) {
        handler();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Placed_) {
        return;
    }
    // Centred the first time it is shown; where the user puts it later, it
    // stays, also across standby.
    Placed_ = true;
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.x() + std::max(0, (area.width() - outer.width()) / 2),
             area.y() + std::max(0, (area.height() - outer.height()) / 2));
    }
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
    if (ContextMenu_->isEmpty()) {
        QDialog::contextMenuEvent(event);
        return;
    }
    ContextMenu_->popup(event->globalPos());
}

std::string TMainForm::PortText() const {
    return ToShiftJis(Ui_->PortSelector->Text());
}

void TMainForm::SetPortText(const std::string& text) {
    Ui_->PortSelector->SetText(FromShiftJis(text));
}

std::string TMainForm::IntervalText() const {
    return ToShiftJis(Ui_->IntervalSelector->Text());
}

void TMainForm::SetIntervalText(const std::string& text) {
    Ui_->IntervalSelector->SetText(FromShiftJis(text));
}

bool TMainForm::LogRingChecked() const {
    return Ui_->LogRingFlag->isChecked();
}

void TMainForm::SetLogRingChecked(bool checked) {
    Ui_->LogRingFlag->setChecked(checked);
}

void TMainForm::SetLogRingHint(const std::string& hint) {
    Ui_->LogRingFlag->setToolTip(ShownCoreText(hint));
}

void TMainForm::SetCaption(QLabel* label, const QString& text) {
    label->setText(text);
    // Labels size themselves to their text, growing to the right.
    label->adjustSize();
}

void TMainForm::SetNumberCaption(const std::string& text) {
    SetCaption(Ui_->NumberLabel, ShownCoreText(text));
    emit NumberCaptionSet();
}

void TMainForm::SetTimeCaption(const std::string& text) {
    SetCaption(Ui_->TimeLabel, FromShiftJis(text));
}

void TMainForm::SetStatusCaption(const std::string& text) {
    SetCaption(Ui_->StatusLabel, ShownCoreText(text));
}

void TMainForm::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, ShownCoreText(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TMainForm::ShowError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, kTitle, ShownCoreText(text), QMessageBox::Ok, this);
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
    Notice_->setText(FromShiftJis(text));
    Notice_->show();
}

void TMainForm::MinimizeApplication() {
    if (!isMinimized()) {
        showMinimized();
    }
}

void TMainForm::RestoreApplication() {
    if (isMinimized()) {
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

void TMainForm::SetStandbyHandlers(std::function<void()> minimized,
                                   std::function<void()> restored) {
    Minimized_ = std::move(minimized);
    Restored_ = std::move(restored);
}

} // namespace telvane
