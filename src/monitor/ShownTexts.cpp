#include "monitor/ShownTexts.h"

#include "monitor/Texts.h"

// Marks a source text for the translation tool (lupdate takes it for
// QT_TRANSLATE_NOOP) without any toolkit here.
#define TELVANE_TRANSLATE_NOOP(context, text) text

namespace telvane {
namespace {

struct TWholeText {
    const char* ShiftJis;
    const char* Source;
};
const TWholeText kWholeTexts[] = {
    {texts::kStatusNumberChanged, TELVANE_TRANSLATE_NOOP("MonitorTexts", "番号変化")},
    {texts::kStatusCannotDetect, TELVANE_TRANSLATE_NOOP("MonitorTexts", "検出不可")},
    {texts::kStatusActivity, TELVANE_TRANSLATE_NOOP("MonitorTexts", "動作検出")},
    {texts::kStatusQuerying, TELVANE_TRANSLATE_NOOP("MonitorTexts", "調査中")},
    {texts::kNumberNoPort, TELVANE_TRANSLATE_NOOP("MonitorTexts", "ポート未指定")},
    {texts::kStatusNoPort, TELVANE_TRANSLATE_NOOP("MonitorTexts", "未指定")},
    {texts::kNoNumberInformation, TELVANE_TRANSLATE_NOOP("MonitorTexts", "番号情報なし")},
};

// Texts that quote something between two fixed parts.
struct TQuotingText {
    const char* Before;
    const char* After;
    const char* Source;
};
const TQuotingText kQuotingTexts[] = {
    {texts::kPortTextBefore, texts::kPortTextAfter,
     TELVANE_TRANSLATE_NOOP("MonitorTexts", "ポート \"%1\" の4文字目が数字ではありません")},
    {texts::kIntervalBefore, texts::kIntervalNotNumber,
     TELVANE_TRANSLATE_NOOP("MonitorTexts", "調査間隔 \"%1\" の数値が正しくありません")},
    {texts::kIntervalBefore, texts::kIntervalNegative,
     TELVANE_TRANSLATE_NOOP("MonitorTexts", "調査間隔 \"%1\" に負の値は指定できません")},
    {texts::kRingLogBefore, texts::kRingLogAfter,
     TELVANE_TRANSLATE_NOOP("MonitorTexts", "着信履歴を %1 に書き込めません")},
    {texts::kHintBefore, texts::kHintAfter,
     TELVANE_TRANSLATE_NOOP("MonitorTexts", "着信を %1 に記録します")},
};

} // namespace

TShownText FindShownText(const std::string& shiftJis) {
    TShownText shown;
    for (const auto& whole : kWholeTexts) {
        if (shiftJis == whole.ShiftJis) {
            shown.Source = whole.Source;
            return shown;
        }
    }
    for (const auto& quoting : kQuotingTexts) {
        const std::string before = quoting.Before;
        const std::string after = quoting.After;
        const std::size_t at = shiftJis.rfind(after);
        if (shiftJis.compare(0, before.size(), before) != 0 || at == std::string::npos ||
            at < before.size()) {
            continue;
        }
        shown.Source = quoting.Source;
        shown.Quotes = true;
        shown.Quoted = shiftJis.substr(before.size(), at - before.size());
        shown.Rest = shiftJis.substr(at + after.size());
        return shown;
    }
    return shown;
}

} // namespace telvane
