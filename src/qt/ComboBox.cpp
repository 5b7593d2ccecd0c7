#include "qt/ComboBox.h"

#include <QLineEdit>

namespace telvane {

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed texts are used as they are: no completion rewriting them and no
    // new list items on Enter.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(8);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { emit Change(); });
    connect(this, &QComboBox::textActivated, this, [this] { emit Change(); });
}

void TComboBox::SetText(const QString& text) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    setEditText(text);
}

} // namespace telvane
