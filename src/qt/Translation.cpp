#include "qt/Translation.h"

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

} // namespace telvane
