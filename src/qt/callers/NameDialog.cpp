#include "qt/callers/NameDialog.h"

#include "service/Service.h"

#include <QInputDialog>
#include <QMessageBox>

namespace telvane {

TNameDialog::TNameDialog(TService& service, QObject* parent) : QObject(parent), Service_(service) {}

void TNameDialog::Ask(QWidget* parent, const std::string& callerText) {
    if (Dialog_) {
        Dialog_->show();
        Dialog_->raise();
        Dialog_->activateWindow();
        return;
    }
    const TCallerDescription caller = Service_.Describe(callerText);
    if (caller.MatchKey.empty()) {
        return;
    }
    Dialog_ = new QInputDialog(parent);
    Dialog_->setAttribute(Qt::WA_DeleteOnClose);
    Dialog_->setWindowTitle(tr("名前を付ける"));
    Dialog_->setLabelText(tr("%1 の名前 (空にすると Telvane の電話帳から消します):")
                              .arg(QString::fromStdString(caller.Display)));
    Dialog_->setTextValue(QString::fromStdString(caller.Name));
    connect(Dialog_, &QInputDialog::textValueSelected, this,
            [this, parent, callerText](const QString& name) {
                const std::string error = Service_.NameCaller(callerText, name.toStdString());
                if (!error.empty()) {
                    auto* box = new QMessageBox(
                        QMessageBox::Warning, QStringLiteral("Telvane"),
                        tr("名前を保存できません: %1").arg(QString::fromStdString(error)),
                        QMessageBox::Ok, parent);
                    box->setAttribute(Qt::WA_DeleteOnClose);
                    box->open();
                }
            });
    // open(): modal to its window, without a loop of its own.
    Dialog_->open();
}

} // namespace telvane
