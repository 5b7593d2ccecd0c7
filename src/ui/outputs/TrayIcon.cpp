#include "ui/outputs/TrayIcon.h"

#include "ui/widgets/ProgramIcon.h"

#include <QEvent>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace telvane {

TTrayIcon::TTrayIcon(QWidget& window, std::function<QString()> lastPoll, QObject* parent)
    : QObject(parent), Window_(window), LastPoll_(std::move(lastPoll)),
      Icon_(new QSystemTrayIcon(this)), Normal_(ProgramIcon()) {
    // Unreachable: the program's icon greyed out.
    Unreachable_ = QIcon(Normal_.pixmap(64, QIcon::Disabled));
    auto* menu = new QMenu(&window);
    connect(menu->addAction(tr("表示")), &QAction::triggered, this,
            [this] { ShowWindow(Window_); });
    connect(menu->addAction(tr("即刻")), &QAction::triggered, this, &TTrayIcon::CheckRequested);
    History_ = menu->addAction(tr("履歴"));
    History_->setVisible(false);
    connect(History_, &QAction::triggered, this, &TTrayIcon::HistoryRequested);
    menu->addSeparator();
    connect(menu->addAction(tr("終了")), &QAction::triggered, this, &TTrayIcon::QuitRequested);
    connect(menu, &QMenu::aboutToShow, this,
            [this] { History_->setVisible(HistoryAvailable_ && HistoryAvailable_()); });
    Icon_->setContextMenu(menu);
    connect(Icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why != QSystemTrayIcon::Trigger) {
                    return;
                }
                if (Window_.isVisible() && !Window_.isMinimized()) {
                    Window_.hide();
                } else {
                    ShowWindow(Window_);
                }
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fputs("telvane: no notification area to put the tray icon in\n", stderr);
    }
    Refresh();
    Icon_->show();
    Window_.installEventFilter(this);
}

TTrayIcon::~TTrayIcon() {
    Window_.removeEventFilter(this);
    delete Icon_->contextMenu();
}

void TTrayIcon::SetLastCaller(const QString& caller) {
    LastCaller_ = caller;
    Refresh();
}

void TTrayIcon::SetAdapterUp(bool up) {
    Up_ = up;
    Refresh();
}

QString TTrayIcon::ToolTip() const {
    QString text = QStringLiteral("Telvane");
    if (!LastCaller_.isEmpty()) {
        text += QLatin1Char('\n') + LastCaller_;
    }
    const QString poll = LastPoll_();
    if (!poll.isEmpty()) {
        text += QLatin1Char('\n') + tr("最終確認 %1").arg(poll);
    }
    if (!Up_) {
        text += QLatin1Char('\n') + tr("検出不可");
    }
    return text;
}

void TTrayIcon::Refresh() {
    Icon_->setIcon(Up_ ? Normal_ : Unreachable_);
    Icon_->setToolTip(ToolTip());
}

void TTrayIcon::ShowWindow(QWidget& window) {
    window.showNormal();
    window.raise();
    window.activateWindow();
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
