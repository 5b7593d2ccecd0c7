// Telvane: shows which telephone number last called in on an ISDN line.
#include "monitor/AddedSettings.h"
#include "monitor/Settings.h"
#include "store/IniSettingsStore.h"
#include "ui/MainForm.h"
#include "ui/SingleInstance.h"
#include "ui/Translation.h"
#include "ui/callers/CallersFeature.h"
#include "ui/callers/WhoCalled.h"
#include "ui/outputs/CallOutputs.h"
#include "ui/qtcore/ShiftJisCodec.h"
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

    const QString settingsFile =
        QString::fromStdString(telvane::TIniSettingsStore::UserFile(telvane::SettingsKey).string());
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
    {
        // Said once, here; the settings dialog shows them too.
        telvane::TAddedSettings added;
        for (const std::string& line : LoadAddedSettings(MainForm.SettingsStore(), added)) {
            const std::string text = "telvane: settings: " + line + "\n";
            std::fputs(text.c_str(), stderr);
        }
    }
    telvane::TMyAboutDialogBox MyAboutDialogBox;
    MainForm.SetAboutDialog([&MyAboutDialogBox] { MyAboutDialogBox.ShowModalMaximized(); });
    telvane::TCallersFeature Callers(MainForm);
    QObject::connect(&instance, &telvane::TSingleInstance::ShowRequested, &MainForm,
                     [&MainForm] { MainForm.BringToFront(); });

    // Notification, tray icon, hook command and MQTT for each new caller,
    // told who called by the callers feature.
    telvane::TCallOutputs Outputs(MainForm);
    Outputs.SetDescriber([&Callers](telvane::TCallEvent& event) {
        const telvane::TCallerView caller =
            Callers.Who().Describe(telvane::ToShiftJis(QString::fromStdString(event.Number)));
        event.Display = caller.Info.Display;
        event.Name = caller.Name.toStdString();
        event.Area = caller.Info.Area;
        event.NumberKind = caller.Info.Kind;
    });
    QObject::connect(&Outputs, &telvane::TCallOutputs::NameRequested, &MainForm,
                     [&Callers, &MainForm](const QString& number) {
                         MainForm.BringToFront();
                         Callers.NameCaller(&MainForm, telvane::ToShiftJis(number));
                     });
    QObject::connect(&Outputs, &telvane::TCallOutputs::HistoryRequested, &MainForm,
                     [&Callers] { Callers.ShowHistory(); });
    QObject::connect(&Outputs, &telvane::TCallOutputs::SettingsSaved, &MainForm,
                     [&Callers](const telvane::TAddedSettings& settings) {
                         Callers.Who().ApplySettings(settings);
                     });

    MainForm.AllFormCreated();
    MainForm.show();
    return app.exec();
}
