#include "ui/MainForm.h"

#include "ui_MainForm.h"

#include "monitor/ErrorReport.h"
#include "ui/TerminationSignals.h"
#include "ui/qtcore/ShiftJisCodec.h"
#include "ui/widgets/JapaneseFonts.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>

namespace telvane {

namespace {
const QString kTitle = QStringLiteral("Telvane");
}

TMainForm::TMainForm(QWidget* parent)
    : QDialog(parent), Ui_(std::make_unique<Ui::TMainForm>()),
      Timer1([this] { Timer1Timer(); }, this) {
    Ui_->setupUi(this);
    ApplyJapaneseFonts(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(311, 152);
    Ui_->CheckButton->setFocus();

    ContextMenu_ = new QMenu(this);
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
        close();
        // Ends every event loop running now (a message box's too) and, queued,
        // the main loop if it has not started yet: a signal can come while
        // start-up shows an error.
        QCoreApplication::exit(0);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { FormClose(); });
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
    Handle([this] { Monitor_->FormClose(); });
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
    Ui_->LogRingFlag->setToolTip(FromShiftJis(hint));
}

void TMainForm::SetCaption(QLabel* label, const std::string& text) {
    label->setText(FromShiftJis(text));
    // Labels size themselves to their text, growing to the right.
    label->adjustSize();
}

void TMainForm::SetNumberCaption(const std::string& text) {
    SetCaption(Ui_->NumberLabel, text);
    emit NumberCaptionSet();
}

void TMainForm::SetTimeCaption(const std::string& text) {
    SetCaption(Ui_->TimeLabel, text);
}

void TMainForm::SetStatusCaption(const std::string& text) {
    SetCaption(Ui_->StatusLabel, text);
}

void TMainForm::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, FromShiftJis(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TMainForm::ShowError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, kTitle, FromShiftJis(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
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

void TMainForm::SetStandbyHandlers(std::function<void()> minimized,
                                   std::function<void()> restored) {
    Minimized_ = std::move(minimized);
    Restored_ = std::move(restored);
}

} // namespace telvane
