// Telvane: shows which telephone number last called in on an ISDN line.
// Builds the service and its Qt window, and runs them.
#include "qt/MainForm.h"
#include "qt/SingleInstance.h"
#include "qt/Translation.h"
#include "qt/widgets/AboutDialog.h"
#include "qt/widgets/ProgramIcon.h"
#include "service/Service.h"
#include "store/IniSettingsStore.h"

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

    telvane::TServiceOptions options;
    options.English = telvane::UsesEnglish(QLocale::system());
    options.WatchesFiles = true;
    const QString settingsFile = QString::fromStdString(options.Places.SettingsFile.string());
    telvane::TSingleInstance instance(options.Places);
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
    telvane::TIniSettingsStore store(options.Places.SettingsFile);
    telvane::TService service(MainForm, MainForm.Timer(), store, options);
    MainForm.Attach(service);
    telvane::TMyAboutDialogBox MyAboutDialogBox;
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });
    QObject::connect(&instance, &telvane::TSingleInstance::ShowRequested, &MainForm,
                     [&MainForm] { MainForm.BringToFront(); });

    service.Start();
    MainForm.show();
    return app.exec();
}
