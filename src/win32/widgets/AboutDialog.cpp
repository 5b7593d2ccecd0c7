#include "win32/widgets/AboutDialog.h"

#include "monitor/WideText.h"
#include "win32/Layout.h"
#include "win32/Resource.h"
#include "win32/Translation.h"
#include "win32/widgets/Fonts.h"

namespace telvane::win32 {
namespace {

constexpr wchar_t kPanelClass[] = L"TelvanePanel";
constexpr wchar_t kCaption[] = L"ﾊﾞｰｼﾞｮﾝ情報";

// The panel: the button-face background with a lowered outer and a raised
// inner bevel, one pixel each.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(window, &paint);
        RECT area{};
        ::GetClientRect(window, &area);
        ::DrawEdge(dc, &area, EDGE_ETCHED, BF_RECT);
        ::EndPaint(window, &paint);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPanel(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &PanelProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPanelClass;
    ::RegisterClassExW(&windowClass);
}

void Place(HWND control, const TRect& rect) {
    ::SetWindowPos(control, nullptr, Scaled(rect.Left), Scaled(rect.Top), Scaled(rect.Width),
                   Scaled(rect.Height), SWP_NOZORDER | SWP_NOACTIVATE);
}

// A system menu of Move and Close: every other entry goes (some systems add
// their own), and a separator stays only between two entries.
void KeepMoveAndCloseOnly(HMENU menu) {
    for (int i = ::GetMenuItemCount(menu) - 1; i >= 0; --i) {
        const UINT id = ::GetMenuItemID(menu, i);
        if (id != SC_MOVE && id != SC_CLOSE && id != 0) {
            ::DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
        }
    }
    for (int i = ::GetMenuItemCount(menu) - 1; i >= 0; --i) {
        const bool separator = ::GetMenuItemID(menu, i) == 0;
        const bool afterSeparator = i > 0 && ::GetMenuItemID(menu, i - 1) == 0;
        const bool atEdge = i == 0 || i == ::GetMenuItemCount(menu) - 1;
        if (separator && (afterSeparator || atEdge)) {
            ::DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
        }
    }
}

} // namespace

TMyAboutDialogBox::TMyAboutDialogBox(HINSTANCE instance, HWND owner)
    : Instance_(instance), Owner_(owner) {
    RegisterPanel(instance);
    Window_ = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner,
                                   &TMyAboutDialogBox::DialogProc, reinterpret_cast<LPARAM>(this));
}

TMyAboutDialogBox::~TMyAboutDialogBox() {
    ImageIconStreched1.reset();
    if (Window_) {
        ::DestroyWindow(Window_);
    }
    for (HFONT font : {ProductFont_, DialogFont_}) {
        if (font) {
            ::DeleteObject(font);
        }
    }
}

void TMyAboutDialogBox::FormCreate() {
    ::SetWindowTextW(Window_, UiText("TMyAboutDialogBox", Utf8FromWide(kCaption).c_str()).c_str());
    DialogFont_ = CreateJapaneseFont(TFace::fcGothic, 12, false, false);
    ProductFont_ = CreateJapaneseFont(TFace::fcGothic, 16, true, true);

    const HWND panel = ::GetDlgItem(Window_, IDC_PANEL1);
    const HWND productName = ::GetDlgItem(Window_, IDC_PRODUCTNAME);
    const HWND version = ::GetDlgItem(Window_, IDC_VERSION);
    const HWND ok = ::GetDlgItem(Window_, IDC_OKBUTTON);
    // The labels and the image sit on the panel.
    ::SetParent(productName, panel);
    ::SetParent(version, panel);
    Place(panel, kPanel1);
    Place(productName, kProductName);
    Place(version, kVersion);
    Place(ok, kOKButton);
    for (HWND control : {panel, version, ok}) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont_), FALSE);
    }
    ::SendMessageW(productName, WM_SETFONT, reinterpret_cast<WPARAM>(ProductFont_), FALSE);
    SizeLabelToText(productName);
    SizeLabelToText(version);

    ImageIconStreched1 = std::make_unique<TImageIconStreched>(
        panel, IDC_IMAGEICON, Scaled(kImageIcon.Left), Scaled(kImageIcon.Top),
        Scaled(kImageIcon.Width), Scaled(kImageIcon.Height));
    ImageIconStreched1->Stretch = true;
    ImageIconStreched1->Picture().SetIcon(static_cast<HICON>(
        ::LoadImageW(Instance_, MAKEINTRESOURCEW(IDI_TELVANE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));

    KeepMoveAndCloseOnly(::GetSystemMenu(Window_, FALSE));

    // The normal-state rectangle: the layout's client area, centred.
    RECT outer{0, 0, Scaled(kAboutClientWidth), Scaled(kAboutClientHeight)};
    ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(Window_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Window_, GWL_EXSTYLE)));
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const TPoint origin = CentredOrigin(::GetSystemMetrics(SM_CXSCREEN),
                                        ::GetSystemMetrics(SM_CYSCREEN), width, height);
    ::SetWindowPos(Window_, nullptr, origin.X, origin.Y, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMyAboutDialogBox::ShowModalMaximized() {
    if (!Window_) {
        return;
    }
    Closed_ = false;
    ::EnableWindow(Owner_, FALSE);
    ::ShowWindow(Window_, SW_SHOWMAXIMIZED);
    ::SetFocus(::GetDlgItem(Window_, IDC_OKBUTTON));
    MSG message{};
    bool quit = false;
    while (!Closed_) {
        if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (!::IsDialogMessageW(Window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // The owner first, so that activation goes back to it.
    ::EnableWindow(Owner_, TRUE);
    ::ShowWindow(Window_, SW_HIDE);
    if (quit) {
        // The main loop must see the end of the program too.
        ::PostQuitMessage(static_cast<int>(message.wParam));
    }
}

INT_PTR CALLBACK TMyAboutDialogBox::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<TMyAboutDialogBox*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->Window_ = window;
        dialog->FormCreate();
        return FALSE;
    }
    auto* dialog = reinterpret_cast<TMyAboutDialogBox*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        // OK or Enter close it; Escape does not, as there is no cancel button.
        if (LOWORD(wParam) == IDC_OKBUTTON) {
            dialog->Closed_ = true;
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        dialog->Closed_ = true;
        return TRUE;
    case WM_NCDESTROY:
        // Destroyed with its owner, the main window.
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->Window_ = nullptr;
        dialog->Closed_ = true;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace telvane::win32
