#include "qt/callers/CallersSettingsDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace telvane {

TCallersSettingsDialog::TCallersSettingsDialog(const TAddedSettings& settings,
                                               const QString& ownPhonebook, QWidget* parent)
    : QDialog(parent), Settings_(settings), Region_(new QLineEdit(this)),
      Phonebook_(new QLineEdit(this)) {
    setWindowTitle(tr("番号表示の設定"));
    Region_->setText(QString::fromStdString(settings.Region));
    Region_->setMaxLength(2);
    Region_->setToolTip(tr("国番号のない番号を読む国 (例: JP)"));
    Phonebook_->setText(QString::fromStdString(settings.Phonebook));
    Phonebook_->setPlaceholderText(ownPhonebook);
    Phonebook_->setToolTip(tr("空のときは Telvane の電話帳 %1").arg(ownPhonebook));
    Phonebook_->setMinimumWidth(320);

    auto* browse = new QPushButton(tr("参照..."), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, tr("電話帳を選ぶ"), Phonebook_->text(),
                                         tr("連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)"));
        if (!file.isEmpty()) {
            Phonebook_->setText(file);
        }
    });
    auto* phonebook = new QHBoxLayout;
    phonebook->addWidget(Phonebook_, 1);
    phonebook->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(tr("地域"), Region_);
    form->addRow(tr("電話帳"), phonebook);
    form->addRow(buttons);
}

TAddedSettings TCallersSettingsDialog::Result() const {
    TAddedSettings result = Settings_;
    result.Region = Region_->text().trimmed().toUpper().toStdString();
    result.Phonebook = Phonebook_->text().trimmed().toStdString();
    return result;
}

void TCallersSettingsDialog::accept() {
    if (!IsRegionCode(Region_->text().trimmed().toUpper().toStdString())) {
        QMessageBox::warning(this, QStringLiteral("Telvane"),
                             tr("地域は 2 文字の国コードで指定します (例: JP)"));
        Region_->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace telvane
