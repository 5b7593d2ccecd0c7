#include "ui/callers/CallersFeature.h"

#include "ui/MainForm.h"
#include "ui/callers/CallerGlance.h"
#include "ui/callers/CallersPlaces.h"
#include "ui/callers/CallersSettingsDialog.h"
#include "ui/callers/HistoryWindow.h"
#include "ui/callers/WhoCalled.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

namespace telvane {

namespace {
const QString kTitle = QStringLiteral("Telvane");
} // namespace

TCallersFeature::TCallersFeature(TMainForm& form)
    : Form_(form), Who_(new TWhoCalled(form.SettingsStore(), this)),
      Glance_(new TCallerGlance(
          *Who_, form.findChild<QLabel*>(QStringLiteral("NumberLabel")),
          [&form] { return form.Monitor().GetCallerNumber(); }, this)) {
    Form_.CallSinks().Add(Glance_);
    connect(&Form_, &TMainForm::NumberCaptionSet, Glance_, &TCallerGlance::Update);
    connect(Glance_, &TCallerGlance::CallLogged, this, [this] {
        if (History_) {
            History_->Refresh();
        }
    });
    AddMenu();
}

TCallersFeature::~TCallersFeature() {
    Form_.CallSinks().Remove(Glance_);
    delete History_;
}

void TCallersFeature::AddMenu() {
    QMenu* menu = Form_.ContextMenu();
    QAction* name = menu->addAction(tr("名前を付ける..."));
    connect(name, &QAction::triggered, this,
            [this] { NameCaller(&Form_, Form_.Monitor().GetCallerNumber()); });
    connect(menu, &QMenu::aboutToShow, name, [this, name] {
        // Only a caller with a number can be given a name.
        name->setEnabled(!Who_->MatchKey(Form_.Monitor().GetCallerNumber()).empty());
    });
    connect(menu->addAction(tr("着信履歴...")), &QAction::triggered, this,
            [this] { ShowHistory(); });
    menu->addSeparator();
    connect(menu->addAction(tr("電話帳を開く")), &QAction::triggered, this,
            &TCallersFeature::OpenPhonebook);
    connect(menu->addAction(tr("電話帳を選ぶ...")), &QAction::triggered, this,
            &TCallersFeature::ChoosePhonebook);
    connect(menu->addAction(tr("番号表示の設定...")), &QAction::triggered, this,
            &TCallersFeature::EditSettings);
}

void TCallersFeature::NameCaller(QWidget* parent, const std::string& callerText) {
    if (Naming_) {
        // One at a time: a notification server may repeat its action.
        Naming_->show();
        Naming_->raise();
        Naming_->activateWindow();
        return;
    }
    const TCallerView view = Who_->Describe(callerText);
    if (view.Info.MatchKey.empty()) {
        return;
    }
    Naming_ = new QInputDialog(parent);
    Naming_->setAttribute(Qt::WA_DeleteOnClose);
    Naming_->setWindowTitle(tr("名前を付ける"));
    Naming_->setLabelText(tr("%1 の名前 (空にすると Telvane の電話帳から消します):")
                              .arg(QString::fromStdString(view.Info.Display)));
    Naming_->setTextValue(view.Name);
    connect(Naming_, &QInputDialog::textValueSelected, this,
            [this, callerText](const QString& name) {
                if (const auto error = Who_->AddName(name, callerText)) {
                    auto* box = new QMessageBox(QMessageBox::Warning, kTitle,
                                                tr("名前を保存できません: %1").arg(*error),
                                                QMessageBox::Ok, &Form_);
                    box->setAttribute(Qt::WA_DeleteOnClose);
                    box->open();
                }
            });
    // open(): modal to its window, without a loop of its own.
    Naming_->open();
}

THistoryWindow& TCallersFeature::ShowHistory() {
    if (!History_) {
        History_ = new THistoryWindow(
            *Who_, CallLogPath(Form_.Location()),
            [this](QWidget* parent, const std::string& number) { NameCaller(parent, number); },
            &Form_);
        History_->setAttribute(Qt::WA_DeleteOnClose);
    }
    History_->show();
    History_->raise();
    History_->activateWindow();
    return *History_;
}

void TCallersFeature::OpenPhonebook() {
    const QFileInfo file(Who_->PhonebookPath());
    if (file.exists()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
        return;
    }
    // No file yet: show the folder where it belongs.
    QDir().mkpath(file.absolutePath());
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

void TCallersFeature::ChoosePhonebook() {
    const QString file =
        QFileDialog::getOpenFileName(&Form_, tr("電話帳を選ぶ"), Who_->PhonebookPath(),
                                     tr("連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)"));
    if (file.isEmpty()) {
        return;
    }
    TAddedSettings loaded;
    LoadAddedSettings(Who_->Store(), loaded);
    TAddedSettings settings = loaded;
    settings.Phonebook = file.toStdString();
    if (!SaveAddedSettings(Who_->Store(), loaded, settings)) {
        QMessageBox::warning(&Form_, kTitle, tr("設定を保存できません"));
    }
    Who_->ApplySettings(settings);
}

void TCallersFeature::EditSettings() {
    TAddedSettings loaded;
    LoadAddedSettings(Who_->Store(), loaded);
    TCallersSettingsDialog dialog(loaded, &Form_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const TAddedSettings settings = dialog.Result();
    if (!SaveAddedSettings(Who_->Store(), loaded, settings)) {
        QMessageBox::warning(&Form_, kTitle, tr("設定を保存できません"));
    }
    Who_->ApplySettings(settings);
}

} // namespace telvane
