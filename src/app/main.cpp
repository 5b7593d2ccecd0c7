// Telvane: shows which telephone number last called in on an ISDN line.
#include "ui/MainForm.h"
#include "ui/callers/CallersFeature.h"
#include "ui/widgets/AboutDialog.h"
#include "ui/widgets/ProgramIcon.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Telvane"));
    QApplication::setWindowIcon(telvane::ProgramIcon());

    telvane::TMainForm MainForm;
    telvane::TMyAboutDialogBox MyAboutDialogBox;
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });
    telvane::TCallersFeature Callers(MainForm);

    MainForm.AllFormCreated();
    MainForm.show();
    return app.exec();
}
