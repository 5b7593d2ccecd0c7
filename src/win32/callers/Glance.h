// Who called at a glance: the name or area of the caller on show, in the
// free row below the time, and what is known of the number as the tooltip
// of both. Made when there is first something to show, so that until then
// the window has exactly the controls it always had.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

namespace telvane::win32 {

class TGlance {
public:
    // setHint gives a control of the window its tooltip.
    using TSetHint = std::function<void(HWND, const std::wstring&)>;

    TGlance(HWND window, HWND numberLabel, HFONT font, TSetHint setHint);

    // glance and details: UTF-8; an empty glance hides the label.
    void Show(const std::string& glance, const std::string& details);
    // nullptr until there was something to show.
    HWND Handle() const { return Label_; }

private:
    HWND Window_;
    HWND Number_;
    HFONT Font_;
    TSetHint SetHint_;
    HWND Label_ = nullptr;
};

} // namespace telvane::win32
