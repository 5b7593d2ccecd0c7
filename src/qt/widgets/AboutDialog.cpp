#include "qt/widgets/AboutDialog.h"

#include "qt/widgets/JapaneseFonts.h"
#include "qt/widgets/ProgramIcon.h"
#include "ui_AboutDialog.h"

#include "telvane_version.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMargins>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace telvane {

namespace {

// A title bar with the system menu and a close button only: no minimise or
// maximise button, so the system menu offers no more than Move and Close
// where the window system builds it from these hints. The dialog stays on
// top of ordinary windows.
constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint;

} // namespace

TMyAboutDialogBox::TMyAboutDialogBox(QWidget* parent)
    : QDialog(parent, kWindowFlags), Ui_(std::make_unique<Ui::TMyAboutDialogBox>()) {
    Ui_->setupUi(this);
    ApplyJapaneseFonts(this);
    Ui_->Version->setText(QStringLiteral("Version " TELVANE_VERSION_TEXT));
    // Labels take the size of their text, growing to the right and down from
    // their place; the sizes in the layout are those of the designed face,
    // and a stand-in face may need more room.
    for (QLabel* label : {Ui_->ProductName, Ui_->Version}) {
        label->adjustSize();
    }
    FormCreate();
    setFixedSize(size());
    Settle_.setSingleShot(true);
    Settle_.setInterval(100);
    connect(&Settle_, &QTimer::timeout, this, &TMyAboutDialogBox::FillScreen);
}

TMyAboutDialogBox::~TMyAboutDialogBox() = default;

void TMyAboutDialogBox::FormCreate() {
    // The image turns the icon into a stretchable bitmap at once, over the
    // panel's background.
    Ui_->ImageIconStreched1->Picture()->SetIcon(ProgramIcon());
}

int TMyAboutDialogBox::ShowModalMaximized() {
    if (!Placed_) {
        CentreOnScreen();
        Placed_ = true;
    }
    // Modal already (set in the layout), so it is shown modal from the start.
    showMaximized();
    Settle_.start();
    return exec();
}

// The frame fills the screen's available area, and the size is fixed, so
// that the window system offers no resizing. A window system that does not
// maximise a window of fixed size (most on X11 do not), or takes back the
// maximised state once the size is fixed, still sees one that fills the
// screen. Run once the window system has stopped moving the window: the
// frame is known only when it has framed it.
void TMyAboutDialogBox::FillScreen() {
    const QScreen* target = screen();
    if (!isVisible() || target == nullptr || windowHandle() == nullptr) {
        return;
    }
    const QRect area = target->availableGeometry();
    const QMargins frame = windowHandle()->frameMargins();
    const QSize client = area.size().shrunkBy(frame);
    if (size() != client || minimumSize() != client || maximumSize() != client) {
        setFixedSize(client);
    }
    if (pos() != area.topLeft()) {
        move(area.topLeft());
    }
}

void TMyAboutDialogBox::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Settle_.start();
}

void TMyAboutDialogBox::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    Settle_.start();
}

void TMyAboutDialogBox::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        Settle_.start();
    }
}

// The normal-state rectangle's outer left edge at (screen width - outer
// width) / 2 and its top edge at (screen height - outer height) / 2, each
// rounded towards zero and at least 0. The native window is created first so
// that the frame is known where the window system tells it before the window
// is mapped; where it does not, the frame counts as empty.
void TMyAboutDialogBox::CentreOnScreen() {
    create();
    const QScreen* target = screen();
    if (target == nullptr) {
        return;
    }
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(frame);
    const QRect whole = target->geometry();
    // move() places the outer rectangle of a window.
    move(whole.left() + std::max(0, (whole.width() - outer.width()) / 2),
         whole.top() + std::max(0, (whole.height() - outer.height()) / 2));
}

void TMyAboutDialogBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace telvane
