// An editable combo box that reports user changes of its text only.
#pragma once

#include <QComboBox>

namespace telvane {

// Change is emitted once for every choice from the list and once for every
// keystroke that alters the text; never when the program sets the text.
class TComboBox final : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* parent = nullptr);

    QString Text() const { return currentText(); }
    // Sets the text without a Change.
    void SetText(const QString& text);

signals:
    void Change();
};

} // namespace telvane
