#include "qt/outputs/TrayIcon.h"

#include "qt/widgets/ProgramIcon.h"

#include <QEvent>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace telvane {

TTrayIcon::TTrayIcon(QWidget& window, QObject* parent)
    : QObject(parent), Window_(window), Icon_(new QSystemTrayIcon(this)), Normal_(ProgramIcon()) {
    // Unreachable: the program's icon greyed out.
    Unreachable_ = QIcon(Normal_.pixmap(64, QIcon::Disabled));
    auto* menu = new QMenu(&window);
    connect(menu->addAction(tr("表示")), &QAction::triggered, this, &TTrayIcon::ShowWindow);
    connect(menu->addAction(tr("即刻")), &QAction::triggered, this, &TTrayIcon::CheckRequested);
    connect(menu->addAction(tr("履歴")), &QAction::triggered, this, &TTrayIcon::HistoryRequested);
    menu->addSeparator();
    connect(menu->addAction(tr("終了")), &QAction::triggered, this, &TTrayIcon::QuitRequested);
    Icon_->setContextMenu(menu);
    connect(Icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why != QSystemTrayIcon::Trigger) {
                    return;
                }
                if (Window_.isVisible() && !Window_.isMinimized()) {
                    Window_.hide();
                } else {
                    ShowWindow();
                }
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fputs("telvane: no notification area to put the tray icon in\n", stderr);
    }
    Icon_->setIcon(Normal_);
    Icon_->show();
    Window_.installEventFilter(this);
}

TTrayIcon::~TTrayIcon() {
    Window_.removeEventFilter(this);
    delete Icon_->contextMenu();
}

void TTrayIcon::Show(const QString& tooltip, bool adapterUp) {
    Up_ = adapterUp;
    Icon_->setIcon(Up_ ? Normal_ : Unreachable_);
    Icon_->setToolTip(tooltip);
}

QString TTrayIcon::ToolTip() const {
    return Icon_->toolTip();
}

void TTrayIcon::ShowWindow() {
    Window_.showNormal();
    Window_.raise();
    Window_.activateWindow();
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    // Minimised with the icon there, the window leaves the task bar too. It
    // stays minimised in state, so the monitor's restore brings it back.
    if (watched == &Window_ && event->type() == QEvent::WindowStateChange &&
        Window_.isMinimized()) {
        QTimer::singleShot(0, &Window_, [this] {
            if (Window_.isMinimized()) {
                Window_.hide();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace telvane
