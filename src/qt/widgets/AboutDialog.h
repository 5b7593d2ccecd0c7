// The version dialog: the program icon, the product title and the version.
#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class TMyAboutDialogBox;
}
QT_END_NAMESPACE

namespace telvane {

// Laid out in AboutDialog.ui. The program creates it once, hidden, and shows
// it modally for each request; closing it only hides it.
class TMyAboutDialogBox : public QDialog {
    Q_OBJECT

public:
    explicit TMyAboutDialogBox(QWidget* parent = nullptr);
    ~TMyAboutDialogBox() override;

    // Shows the dialog modal and maximised and returns when it is closed:
    // QDialog::Accepted for OKButton or Enter, QDialog::Rejected for the
    // Close command. Its normal-state rectangle is centred on the screen the
    // first time and keeps its place afterwards.
    int ShowModalMaximized();

protected:
    // The dialog has no cancel button, so Escape does not close it.
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Puts the program icon into the image, once, at creation.
    void FormCreate();
    void CentreOnScreen();
    void FillScreen();

    std::unique_ptr<Ui::TMyAboutDialogBox> Ui_;
    bool Placed_ = false;
    // Restarted by every move, resize and state change of the window.
    QTimer Settle_;
};

} // namespace telvane
