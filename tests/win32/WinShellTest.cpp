// The shell's own pieces on the real Windows API: text conversion through
// code page 932, the clock, the window timer, and the stretched icon in GDI.
#include "monitor/Clock.h"
#include "monitor/Texts.h"
#include "monitor/WideText.h"
#include "win32/Timer.h"
#include "win32/widgets/ImageIconStreched.h"

#include "outputs/CallEvent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace telvane::win32 {
namespace {

TEST(WideTextTest, ShiftJisAndUtf16ConvertBothWays) {
    const struct {
        std::string ShiftJis;
        std::wstring Wide;
    } cases[] = {
        {"", L""},
        {"COM1", L"COM1"},
        {texts::kStatusNumberChanged, L"番号変化"},
        {" 5\x95\xAA", L" 5分"},
        {"\xCC\xA7\xB2\xD9", L"ﾌｧｲﾙ"},
        {texts::kHintBefore + std::string("C:\\Tools\\") + texts::kHintAfter,
         L"着信を C:\\Tools\\ に記録します"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideFromShiftJis(c.ShiftJis), c.Wide);
        EXPECT_EQ(ShiftJisFromWide(c.Wide), c.ShiftJis);
    }
}

// The tests' Windows is a Japanese user's, on Tokyo time (wine-env.sh); the
// C runtime's TZ, which any program may set for itself, says UTC.
TEST(ClockTest, LocalTimeIsTheSystemsWhateverTheCRuntimesTzSays) {
    _putenv_s("TZ", "UTC0");
    _tzset();
    TIME_ZONE_INFORMATION zone{};
    ::GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -540) << "the system's time zone is not Tokyo's";
    const std::time_t now = std::time(nullptr);
    std::tm runtime{};
    localtime_s(&runtime, &now);
    SYSTEMTIME system{};
    ::GetLocalTime(&system);
    ASSERT_NE(runtime.tm_hour, system.wHour) << "the C runtime's TZ was not taken";

    // Read again should a second turn between the readings.
    SYSTEMTIME after{};
    std::string clock, iso;
    do {
        ::GetLocalTime(&system);
        clock = TSystemClock().Now();
        iso = IsoNow();
        ::GetLocalTime(&after);
    } while (after.wSecond != system.wSecond);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d+09:00", system.wYear,
                  system.wMonth, system.wDay, system.wHour, system.wMinute, system.wSecond);
    EXPECT_EQ(iso, expected);
    EXPECT_EQ(clock, FormatTimeText(system.wYear, system.wMonth, system.wDay, system.wHour,
                                    system.wMinute, system.wSecond));
}

// Runs the thread's message loop for about the given time.
void Pump(UINT milliseconds) {
    const UINT_PTR deadline = ::SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == deadline) {
            break;
        }
        ::DispatchMessageW(&message);
    }
    ::KillTimer(nullptr, deadline);
}

TEST(WinTimerTest, TicksOnlyWhenEnabledWithAnInterval) {
    int ticks = 0;
    TTimer timer([&ticks] { ++ticks; });
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 5000u);

    timer.SetInterval(0);
    timer.SetEnabled(true);
    Pump(200);
    EXPECT_EQ(ticks, 0) << "interval 0 ticked";

    timer.SetInterval(20);
    Pump(200);
    EXPECT_GT(ticks, 0);

    timer.SetEnabled(false);
    const int before = ticks;
    Pump(100);
    EXPECT_EQ(ticks, before) << "a disabled timer ticked";
}

// A 32 x 32 icon whose every pixel is transparent.
HICON EmptyIcon() {
    BYTE andMask[32 * 32 / 8];
    BYTE xorMask[32 * 32 / 8] = {};
    std::fill(std::begin(andMask), std::end(andMask), BYTE{0xFF});
    return ::CreateIcon(::GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
}

TEST(ImageIconStrechedTest, AnIconBecomesABitmapOverTheParentsBackground) {
    WNDCLASSW panelClass{};
    panelClass.lpfnWndProc = &::DefWindowProcW;
    panelClass.hInstance = ::GetModuleHandleW(nullptr);
    panelClass.hbrBackground = ::CreateSolidBrush(RGB(0, 128, 255));
    panelClass.lpszClassName = L"TelvaneTestPanel";
    ::RegisterClassW(&panelClass);
    const HWND panel = ::CreateWindowW(L"TelvaneTestPanel", L"", WS_POPUP, 0, 0, 100, 100, nullptr,
                                       nullptr, panelClass.hInstance, nullptr);
    ASSERT_TRUE(panel);
    {
        TImageIconStreched image(panel, 1, 8, 8, 64, 64);
        int changes = 0;
        image.OnChange = [&](TPicture& sender) {
            ++changes;
            // A change made while the control handles one is left alone.
            if (changes == 1) {
                sender.SetIcon(EmptyIcon());
            }
        };

        image.Picture().SetIcon(EmptyIcon());
        EXPECT_EQ(changes, 1);
        EXPECT_TRUE(image.Picture().Icon()) << "the nested change was converted";

        image.Picture().SetIcon(EmptyIcon());
        EXPECT_EQ(changes, 2);
        ASSERT_TRUE(image.Picture().Bitmap());
        EXPECT_FALSE(image.Picture().Icon());
        EXPECT_EQ(image.Picture().Width(), ::GetSystemMetrics(SM_CXICON));
        EXPECT_EQ(image.Picture().Height(), ::GetSystemMetrics(SM_CYICON));
        const HDC dc = ::CreateCompatibleDC(nullptr);
        const HGDIOBJ old = ::SelectObject(dc, image.Picture().Bitmap());
        EXPECT_EQ(::GetPixel(dc, 5, 5), RGB(0, 128, 255));
        ::SelectObject(dc, old);
        ::DeleteDC(dc);

        image.Picture().Clear();
        EXPECT_EQ(changes, 3);
    }
    ::DestroyWindow(panel);
    ::DeleteObject(panelClass.hbrBackground);
}

} // namespace
} // namespace telvane::win32
