// wintext: what the Telvane window shows, read from outside the program
// under the same Wine server, for the end-to-end test.
//
//   wintext texts   one line per child control: its class, a tab, its text
//   wintext state   "iconic topmost" flags of the window, as 0 or 1
//   wintext close   sends WM_CLOSE, as closing the window does
//   wintext click TEXT   clicks the button with that text (UTF-8)
//
// Texts are UTF-8 with CR and LF shown as \r and \n. Without a window
// the program prints nothing and ends with status 1.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Raw bytes to standard output: the C runtime would turn \n into \r\n.
void Print(const std::string& line) {
    DWORD written = 0;
    const std::string text = line + "\n";
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string Escaped(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        shown += c == '\r'   ? std::string("\\r")
                 : c == '\n' ? std::string("\\n")
                             : std::string(1, c);
    }
    return shown;
}

// The text of a window, asked for with WM_GETTEXT as another program would.
std::string TextOf(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return Utf8(text.data(), static_cast<int>(copied));
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return Utf8(name, length);
}

BOOL CALLBACK FindMain(HWND window, LPARAM found) {
    if (TextOf(window) == "Telvane" || ClassOf(window) == "Telvane") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

struct TButton {
    std::string Text;
    HWND Found = nullptr;
};

BOOL CALLBACK FindButton(HWND child, LPARAM wanted) {
    auto* button = reinterpret_cast<TButton*>(wanted);
    if (ClassOf(child) == "Button" && TextOf(child) == button->Text) {
        button->Found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    Print(ClassOf(child) + "\t" + Escaped(TextOf(child)));
    return TRUE;
}

} // namespace

// wmain: the arguments as Wine got them, not in the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    const std::string command = argc >= 2 ? Utf8(argv[1], lstrlenW(argv[1])) : "";
    HWND window = nullptr;
    EnumWindows(FindMain, reinterpret_cast<LPARAM>(&window));
    if (!window) {
        return 1;
    }
    if (command == "texts") {
        EnumChildWindows(window, PrintChild, 0);
    } else if (command == "state") {
        const bool topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        Print(std::string(IsIconic(window) ? "1" : "0") + " " + (topmost ? "1" : "0"));
    } else if (command == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (command == "click" && argc == 3) {
        TButton button{Utf8(argv[2], lstrlenW(argv[2]))};
        EnumChildWindows(window, FindButton, reinterpret_cast<LPARAM>(&button));
        if (!button.Found) {
            return 1;
        }
        SendMessageW(button.Found, BM_CLICK, 0, 0);
    } else {
        std::fprintf(stderr, "usage: wintext texts|state|close|click TEXT\n");
        return 2;
    }
    return 0;
}
