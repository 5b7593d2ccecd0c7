// Telvane: shows which telephone number last called in on an ISDN line.
#include "ui/MainForm.h"
#include "ui/Translation.h"
#include "ui/widgets/AboutDialog.h"
#include "ui/widgets/ProgramIcon.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Telvane"));
    QApplication::setWindowIcon(telvane::ProgramIcon());
    // English where the desktop's language is neither Japanese nor unset.
    const std::unique_ptr<QTranslator> translation = telvane::LoadTranslation(QLocale::system());
    if (translation) {
        QApplication::installTranslator(translation.get());
    }

    telvane::TMainForm MainForm;
    telvane::TMyAboutDialogBox MyAboutDialogBox;
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });

    MainForm.AllFormCreated();
    MainForm.show();
    return app.exec();
}
