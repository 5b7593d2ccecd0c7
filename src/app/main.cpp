// Telvane: shows which telephone number last called in on an ISDN line.
#include "monitor/Settings.h"
#include "ui/MainForm.h"
#include "ui/SingleInstance.h"
#include "ui/Translation.h"
#include "ui/callers/CallersFeature.h"
#include "ui/qtcore/QtSettingsStore.h"
#include "ui/widgets/AboutDialog.h"
#include "ui/widgets/ProgramIcon.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvane"));
    QApplication::setWindowIcon(telvane::ProgramIcon());
    // English where the desktop's language is neither Japanese nor unset.
    const std::unique_ptr<QTranslator> translation = telvane::LoadTranslation(QLocale::system());
    if (translation) {
        QApplication::installTranslator(translation.get());
    }

    const QString settingsFile = telvane::TQtSettingsStore::StoreFile(telvane::SettingsKey);
    telvane::TSingleInstance instance(settingsFile);
    if (!instance.IsFirst()) {
        const bool shown = instance.AskFirstToShow();
        std::fprintf(stderr, "Telvane is already running with the settings %s; %s\n",
                     qPrintable(settingsFile),
                     shown ? "its window was brought to the front"
                           : "its window could not be reached");
        return 0;
    }
    if (!instance.LockError().empty()) {
        std::fprintf(stderr, "Telvane: cannot guard against a second start (%s)\n",
                     instance.LockError().c_str());
    }

    telvane::TMainForm MainForm;
    telvane::TMyAboutDialogBox MyAboutDialogBox;
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });
    telvane::TCallersFeature Callers(MainForm);
    QObject::connect(&instance, &telvane::TSingleInstance::ShowRequested, &MainForm,
                     [&MainForm] { MainForm.BringToFront(); });

    MainForm.AllFormCreated();
    MainForm.show();
    return app.exec();
}
