#include "ui/Translation.h"

#include "monitor/Texts.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QTranslator>

namespace telvane {
namespace {

// The monitor's texts with the same texts as UTF-8 source texts of the
// translation; lupdate reads the latter.
struct TWholeText {
    const char* ShiftJis;
    const char* Source;
};
const TWholeText kWholeTexts[] = {
    {texts::kStatusNumberChanged, QT_TRANSLATE_NOOP("MonitorTexts", "番号変化")},
    {texts::kStatusCannotDetect, QT_TRANSLATE_NOOP("MonitorTexts", "検出不可")},
    {texts::kStatusActivity, QT_TRANSLATE_NOOP("MonitorTexts", "動作検出")},
    {texts::kStatusQuerying, QT_TRANSLATE_NOOP("MonitorTexts", "調査中")},
    {texts::kNumberNoPort, QT_TRANSLATE_NOOP("MonitorTexts", "ポート未指定")},
    {texts::kStatusNoPort, QT_TRANSLATE_NOOP("MonitorTexts", "未指定")},
    {texts::kNoNumberInformation, QT_TRANSLATE_NOOP("MonitorTexts", "番号情報なし")},
};

// Texts that quote something between two fixed parts; %1 stands for it.
// Whatever follows the second part (an appended period, the system's reason
// for a failure) is kept as it is.
struct TQuotingText {
    const char* Before;
    const char* After;
    const char* Source;
};
const TQuotingText kQuotingTexts[] = {
    {texts::kPortTextBefore, texts::kPortTextAfter,
     QT_TRANSLATE_NOOP("MonitorTexts", "ポート \"%1\" の4文字目が数字ではありません")},
    {texts::kIntervalBefore, texts::kIntervalNotNumber,
     QT_TRANSLATE_NOOP("MonitorTexts", "調査間隔 \"%1\" の数値が正しくありません")},
    {texts::kIntervalBefore, texts::kIntervalNegative,
     QT_TRANSLATE_NOOP("MonitorTexts", "調査間隔 \"%1\" に負の値は指定できません")},
    {texts::kRingLogBefore, texts::kRingLogAfter,
     QT_TRANSLATE_NOOP("MonitorTexts", "着信履歴を %1 に書き込めません")},
    {texts::kHintBefore, texts::kHintAfter,
     QT_TRANSLATE_NOOP("MonitorTexts", "着信を %1 に記録します")},
};

QString Translated(const char* source) {
    return QCoreApplication::translate("MonitorTexts", source);
}

} // namespace

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
    for (const auto& whole : kWholeTexts) {
        if (shiftJis == whole.ShiftJis) {
            return Translated(whole.Source);
        }
    }
    for (const auto& quoting : kQuotingTexts) {
        const std::string before = quoting.Before;
        const std::size_t after = shiftJis.rfind(quoting.After);
        if (shiftJis.compare(0, before.size(), before) != 0 || after == std::string::npos ||
            after < before.size()) {
            continue;
        }
        const std::string quoted = shiftJis.substr(before.size(), after - before.size());
        const std::string rest = shiftJis.substr(after + std::string(quoting.After).size());
        return Translated(quoting.Source).arg(FromShiftJis(quoted)) + FromShiftJis(rest);
    }
    return FromShiftJis(shiftJis);
}

} // namespace telvane
