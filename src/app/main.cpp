// Telvane: shows which telephone number last called in on an ISDN line.
#include "ui/MainForm.h"
#include "ui/outputs/CallOutputs.h"
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

    // Notification, tray icon, hook command and MQTT for each new caller.
    telvane::TCallOutputs Outputs(MainForm);

    MainForm.AllFormCreated();
    MainForm.show();
    return app.exec();
}
