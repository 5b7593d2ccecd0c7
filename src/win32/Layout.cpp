#include "win32/Layout.h"

#include "win32/Resource.h"

namespace telvane::win32 {

using K = TControlKind;
using F = TFontKind;

const std::array<TControlLayout, 12> kMainControls{{
    {IDC_PORTSELECTOR, K::ckComboBox, 232, 80, 65, 20, L"",
     L"ターミナルアダプタのデジタルポートを指定します", F::fkWindow},
    {IDC_CHECKBUTTON, K::ckDefaultButton, 160, 112, 65, 25, L"即刻", L"いますぐ調べます",
     F::fkWindow},
    {IDC_SHOWBUTTON, K::ckButton, 88, 112, 65, 25, L"全部", L"状態を全て表示します", F::fkWindow},
    {IDC_ABOUTBUTTON, K::ckButton, 16, 112, 65, 25, L"(^^)/", L"バージョン情報を表示します (^^)/",
     F::fkWindow},
    {IDC_WAITBUTTON, K::ckButton, 232, 112, 65, 25, L"待機",
     L"待機中に Windows を終了すると次回起動後待機状態になります", F::fkWindow},
    {IDC_INTERVALSELECTOR, K::ckComboBox, 88, 80, 65, 20, L" 5分",
     L"電話番号の調査間隔を指定します", F::fkWindow},
    {IDC_LOGRINGFLAG, K::ckCheckBox, 184, 56, 113, 17, L"着信履歴をﾌｧｲﾙ", nullptr, F::fkWindow},
    {IDC_NUMBERLABEL, K::ckLabel, 16, 8, 13, 24, L"?", nullptr, F::fkNumber},
    {IDC_TIMELABEL, K::ckLabel, 16, 40, 129, 13, L"1998/01/01 00:00:00", nullptr, F::fkTime},
    {IDC_STATUSLABEL, K::ckLabel, 232, 40, 60, 12, L"StatusLabel", nullptr, F::fkStatus},
    {IDC_LABEL2, K::ckLabel, 24, 80, 48, 12, L"調査間隔", nullptr, F::fkWindow},
    {IDC_LABEL1, K::ckLabel, 184, 80, 31, 12, L"ポート", nullptr, F::fkWindow},
}};

const std::array<const wchar_t*, 9> kPortItems{L"COM1", L"COM2", L"COM3", L"COM4", L"COM5",
                                               L"COM6", L"COM7", L"COM8", L"COM9"};

const std::array<const wchar_t*, 11> kIntervalItems{L"30分", L"20分", L"15分", L"10分",
                                                    L" 5分", L" 3分", L" 2分", L" 1分",
                                                    L"30秒", L"20秒", L"15秒"};

TPoint CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    const int x = (screenWidth - windowWidth) / 2;
    const int y = (screenHeight - windowHeight) / 2;
    return {x < 0 ? 0 : x, y < 0 ? 0 : y};
}

} // namespace telvane::win32
