#include "win32/widgets/ImageIconStreched.h"

#include <stdexcept>

namespace telvane::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TelvaneImage";

// A device context and bitmap that are released on every path.
class TMemoryBitmap {
public:
    TMemoryBitmap(int width, int height) {
        const HDC screen = ::GetDC(nullptr);
        Dc_ = ::CreateCompatibleDC(screen);
        Bitmap_ = ::CreateCompatibleBitmap(screen, width, height);
        ::ReleaseDC(nullptr, screen);
        if (!Dc_ || !Bitmap_) {
            Release();
            throw std::runtime_error("no resources for a bitmap");
        }
        Old_ = ::SelectObject(Dc_, Bitmap_);
    }
    ~TMemoryBitmap() { Release(); }
    TMemoryBitmap(const TMemoryBitmap&) = delete;
    TMemoryBitmap& operator=(const TMemoryBitmap&) = delete;

    HDC Dc() const { return Dc_; }
    // Hands the bitmap over, deselected.
    HBITMAP Take() {
        ::SelectObject(Dc_, Old_);
        Old_ = nullptr;
        const HBITMAP bitmap = Bitmap_;
        Bitmap_ = nullptr;
        return bitmap;
    }

private:
    void Release() {
        if (Dc_ && Old_) {
            ::SelectObject(Dc_, Old_);
        }
        if (Bitmap_) {
            ::DeleteObject(Bitmap_);
        }
        if (Dc_) {
            ::DeleteDC(Dc_);
        }
        Dc_ = nullptr;
        Bitmap_ = nullptr;
    }

    HDC Dc_ = nullptr;
    HBITMAP Bitmap_ = nullptr;
    HGDIOBJ Old_ = nullptr;
};

} // namespace

void TPicture::SetIcon(HICON icon) {
    Release();
    Icon_ = icon;
    Changed();
}

void TPicture::SetBitmap(HBITMAP bitmap) {
    Release();
    Bitmap_ = bitmap;
    Changed();
}

void TPicture::Clear() {
    Release();
    Changed();
}

int TPicture::Width() const {
    if (Icon_) {
        return ::GetSystemMetrics(SM_CXICON);
    }
    BITMAP info{};
    return Bitmap_ && ::GetObjectW(Bitmap_, sizeof info, &info) ? info.bmWidth : 0;
}

int TPicture::Height() const {
    if (Icon_) {
        return ::GetSystemMetrics(SM_CYICON);
    }
    BITMAP info{};
    return Bitmap_ && ::GetObjectW(Bitmap_, sizeof info, &info) ? info.bmHeight : 0;
}

void TPicture::Release() {
    if (Icon_) {
        ::DestroyIcon(Icon_);
        Icon_ = nullptr;
    }
    if (Bitmap_) {
        ::DeleteObject(Bitmap_);
        Bitmap_ = nullptr;
    }
}

void TPicture::Changed() {
    if (OnChange) {
        OnChange(*this);
    }
}

TImage::TImage(HWND parent, int id, int left, int top, int width, int height) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TImage::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);
    Window_ = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, left, top, width, height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                nullptr);
    if (Window_) {
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    Picture_.OnChange = [this](TPicture& sender) { PictureChanged(sender); };
}

TImage::~TImage() {
    if (Window_) {
        ::SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
    }
}

void TImage::PictureChanged(TPicture&) {
    if (Window_) {
        ::InvalidateRect(Window_, nullptr, TRUE);
    }
}

void TImage::Paint(HDC dc) const {
    RECT area{};
    ::GetClientRect(Window_, &area);
    if (Picture_.Icon()) {
        ::DrawIcon(dc, 0, 0, Picture_.Icon());
        return;
    }
    if (!Picture_.Bitmap()) {
        return;
    }
    const HDC source = ::CreateCompatibleDC(dc);
    const HGDIOBJ old = ::SelectObject(source, Picture_.Bitmap());
    const int width = Picture_.Width();
    const int height = Picture_.Height();
    if (Stretch) {
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, 0, 0, area.right, area.bottom, source, 0, 0, width, height, SRCCOPY);
    } else {
        ::BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    }
    ::SelectObject(source, old);
    ::DeleteDC(source);
}

LRESULT CALLBACK TImage::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* image = reinterpret_cast<TImage*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && image) {
        // Destroyed with its parent: the control outlives its window.
        image->Window_ = nullptr;
    }
    if (message == WM_PAINT && image) {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(window, &paint);
        image->Paint(dc);
        ::EndPaint(window, &paint);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TImageIconStreched::TImageIconStreched(HWND parent, int id, int left, int top, int width,
                                       int height)
    : TImage(parent, id, left, top, width, height) {
    SavedPictureChange = Picture().OnChange;
    Picture().OnChange = [this](TPicture& sender) { HandlePictureChange(sender); };
}

void TImageIconStreched::HandlePictureChange(TPicture& sender) {
    if (InPictureChange) {
        return;
    }
    // Cleared on every way out, a failed conversion too, so that the next
    // change is handled again.
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } guard{InPictureChange};
    InPictureChange = true;

    if (const HICON icon = Picture().Icon()) {
        TMemoryBitmap bitmap(Picture().Width(), Picture().Height());
        const HWND parent = ::GetParent(Handle());
        if (!parent) {
            throw std::runtime_error("the image has no parent window");
        }
        ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(bitmap.Dc()), 0);
        ::DrawIcon(bitmap.Dc(), 0, 0, icon);
        // Replaces and releases the icon; the change comes back here and
        // ends at the guard above.
        Picture().SetBitmap(bitmap.Take());
    }
    if (SavedPictureChange) {
        SavedPictureChange(sender);
    }
    if (OnChange) {
        OnChange(sender);
    }
}

} // namespace telvane::win32
