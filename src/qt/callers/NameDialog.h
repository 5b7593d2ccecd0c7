// Naming a caller: asks for a name and writes it into Telvane's own
// phonebook. One dialog at a time, brought to the front when asked again (a
// notification server may repeat its action), modal to its window only, so
// the program goes on polling while it is open.
#pragma once

#include <QInputDialog>
#include <QObject>
#include <QPointer>

#include <string>

class QWidget;

namespace telvane {

class TService;

class TNameDialog final : public QObject {
    Q_OBJECT
public:
    TNameDialog(TService& service, QObject* parent = nullptr);

    // callerText: Shift_JIS, as the monitor holds it. A text without a
    // number gets no dialog.
    void Ask(QWidget* parent, const std::string& callerText);
    QInputDialog* Dialog() const { return Dialog_; }

private:
    TService& Service_;
    QPointer<QInputDialog> Dialog_;
};

} // namespace telvane
