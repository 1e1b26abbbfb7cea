// window_text: prints every visible top-level window and the texts of its controls as UTF-8,
// one line each, so that the GUI tests can read what the program shows (xdotool reads captions
// only). Line breaks and tabs inside a text are written as \r, \n and \t.
//   window<TAB>process id<TAB>class<TAB>caption<TAB>client area's width x height in pixels
//   control<TAB>class<TAB>text
// then the window that keys go to and its control that has the keyboard (Wine follows the window
// manager's focus in its own time; a key sent before is lost):
//   foreground<TAB>class<TAB>caption
//   focus<TAB>class<TAB>text

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text, int size) {
    std::wstring escaped;
    for (int i = 0; i < size; ++i)
        escaped += text[i] == L'\r'   ? L"\\r"
                   : text[i] == L'\n' ? L"\\n"
                   : text[i] == L'\t' ? L"\\t"
                                      : std::wstring(1, text[i]);
    std::string out(escaped.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()),
                                   out.data(), static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

// Class and text; WM_GETTEXT crosses process boundaries (GetWindowText does not for controls),
// and a hung window must not hang the test.
std::string describe(HWND window) {
    wchar_t name[256], text[4096];
    DWORD_PTR got = 0;
    const int n = GetClassNameW(window, name, 256);
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &got))
        got = 0;
    return utf8(name, n > 0 ? n : 0) + "\t" + utf8(text, static_cast<int>(got));
}

BOOL CALLBACK printControl(HWND control, LPARAM) {
    std::printf("control\t%s\n", describe(control).c_str());
    return TRUE;
}

BOOL CALLBACK printWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT client{};
    GetClientRect(window, &client);
    std::printf("window\t%lu\t%s\t%ldx%ld\n", static_cast<unsigned long>(process),
                describe(window).c_str(), client.right, client.bottom);
    EnumChildWindows(window, printControl, 0);
    return TRUE;
}

void printForeground() {
    const HWND window = GetForegroundWindow();
    if (!window) return;
    std::printf("foreground\t%s\n", describe(window).c_str());
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus)
        std::printf("focus\t%s\n", describe(thread.hwndFocus).c_str());
}

}  // namespace

int main() {
    EnumWindows(printWindow, 0);
    printForeground();
    return std::fflush(stdout) == 0 ? 0 : 1;
}
