// "Who called" in the Qt shell: the name or area at a glance in the main
// window, the call history window, naming callers, and the context menu
// entries that reach them.
#pragma once

#include <QObject>
#include <QPointer>

#include <string>

class QInputDialog;
class QWidget;

namespace telvane {

class TMainForm;
class TWhoCalled;
class TCallerGlance;
class THistoryWindow;

class TCallersFeature final : public QObject {
    Q_OBJECT
public:
    // Adds itself to the window's call sinks and context menu; the window
    // must outlive it (declare it after the window). Create it before AllFormCreated so the first
    // result is seen.
    explicit TCallersFeature(TMainForm& form);
    ~TCallersFeature() override;

    // Asks for a name for the caller text and writes it to the own phonebook.
    // Returns at once: the dialog is modal to its window only, and polling
    // goes on. Asked again while it is open, the dialog comes to the front.
    void NameCaller(QWidget* parent, const std::string& callerText);
    // Opens the call history window, or brings it to the front.
    THistoryWindow& ShowHistory();
    void EditSettings();
    void ChoosePhonebook();
    void OpenPhonebook();

    TWhoCalled& Who() { return *Who_; }
    TCallerGlance& Glance() { return *Glance_; }

private:
    void AddMenu();

    TMainForm& Form_;
    TWhoCalled* Who_;
    TCallerGlance* Glance_;
    QPointer<THistoryWindow> History_;
    QPointer<QInputDialog> Naming_;
};

} // namespace telvane
