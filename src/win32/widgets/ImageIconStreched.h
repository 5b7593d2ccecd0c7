// An image control that shows an icon at any size. Windows draws an icon only
// at its own size but stretches a bitmap, so an icon put into the picture is
// replaced at once by a bitmap of the standard icon size: the icon drawn over
// the background the parent window paints there.
#pragma once

#include <functional>

#include <windows.h>

namespace telvane::win32 {

// One graphic (an icon, a bitmap or nothing), owned, with a change callback.
class TPicture {
public:
    using TChangeEvent = std::function<void(TPicture& sender)>;

    TPicture() = default;
    ~TPicture() { Release(); }
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Each takes ownership and reports the change.
    void SetIcon(HICON icon);
    void SetBitmap(HBITMAP bitmap);
    void Clear();

    HICON Icon() const { return Icon_; }
    HBITMAP Bitmap() const { return Bitmap_; }
    // An icon's are the system's standard icon size; nothing is 0 x 0.
    int Width() const;
    int Height() const;

    TChangeEvent OnChange;

private:
    void Release();
    void Changed();

    HICON Icon_ = nullptr;
    HBITMAP Bitmap_ = nullptr;
};

// A child window that draws its picture, stretched to its area when Stretch
// is set; a change of the picture repaints it.
class TImage {
public:
    TImage(HWND parent, int id, int left, int top, int width, int height);
    virtual ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TPicture& Picture() { return Picture_; }
    HWND Handle() const { return Window_; }
    bool Stretch = false;

protected:
    // The control's own reaction to a change of its picture.
    void PictureChanged(TPicture& sender);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    TPicture Picture_;
    HWND Window_ = nullptr;
};

class TImageIconStreched final : public TImage {
public:
    TImageIconStreched(HWND parent, int id, int left, int top, int width, int height);

    // Called after each change of the picture, once the control handled it.
    std::function<void(TPicture& sender)> OnChange;

private:
    void HandlePictureChange(TPicture& sender);

    TPicture::TChangeEvent SavedPictureChange;
    bool InPictureChange = false;
};

} // namespace telvane::win32
