#include "qt/widgets/JapaneseFonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace telvane {
namespace {

const QString& LayoutGothic() {
    static const QString face = QString::fromUtf8(u8"ＭＳ Ｐゴシック");
    return face;
}

const QString& LayoutMincho() {
    static const QString face = QString::fromUtf8(u8"ＭＳ Ｐ明朝");
    return face;
}

QString FirstAvailable(const QStringList& candidates) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& face : candidates) {
        if (installed.contains(face, Qt::CaseInsensitive)) {
            return face;
        }
    }
    return candidates.front();
}

void Replace(QWidget* widget) {
    QFont font = widget->font();
    bool changed = false;
    if (font.family() == LayoutGothic()) {
        font.setFamily(GothicFamily());
        changed = true;
    } else if (font.family() == LayoutMincho()) {
        font.setFamily(MinchoFamily());
        changed = true;
    }
    const QVariant height = widget->property("characterHeight");
    if (height.isValid() && height.toInt() > 0) {
        font.setPixelSize(height.toInt());
        changed = true;
    }
    if (changed) {
        widget->setFont(font);
    }
}

} // namespace

QString GothicFamily() {
    static const QString face =
        FirstAvailable({LayoutGothic(), "MS PGothic", "IPAPGothic", "IPAexGothic",
                        "Noto Sans CJK JP", "VL PGothic", "IPAGothic", "Droid Sans Fallback"});
    return face;
}

QString MinchoFamily() {
    static const QString face = FirstAvailable({LayoutMincho(), "MS PMincho", "IPAPMincho",
                                                "IPAexMincho", "Noto Serif CJK JP", "IPAMincho"});
    return face;
}

void ApplyJapaneseFonts(QWidget* root) {
    Replace(root);
    for (QWidget* child : root->findChildren<QWidget*>()) {
        // Children that inherit the window's font follow it already.
        if (child->testAttribute(Qt::WA_SetFont)) {
            Replace(child);
        }
    }
}

} // namespace telvane
