#include "ui/Translation.h"

#include "monitor/ShownTexts.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QTranslator>

namespace telvane {

bool UsesEnglish(const QLocale& locale) {
    return locale.language() != QLocale::Japanese && locale.language() != QLocale::C;
}

std::unique_ptr<QTranslator> LoadTranslation(const QLocale& locale) {
    if (!UsesEnglish(locale)) {
        return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/telvane_en.qm"))) {
        return nullptr;
    }
    return translator;
}

QString ShownCoreText(const std::string& shiftJis) {
    const TShownText shown = FindShownText(shiftJis);
    if (shown.Source == nullptr) {
        return FromShiftJis(shiftJis);
    }
    QString text = QCoreApplication::translate(kShownTextContext, shown.Source);
    if (shown.Quotes) {
        text = text.arg(FromShiftJis(shown.Quoted));
    }
    return text + FromShiftJis(shown.Rest);
}

} // namespace telvane
