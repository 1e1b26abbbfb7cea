// window_text: prints every visible top-level window and the texts of its controls as UTF-8,
// one line each, so that the GUI test can read what the program shows (xdotool reads
// captions only). Line breaks inside a text are written as \r and \n.
//   window<TAB>process id<TAB>class<TAB>caption
//   control<TAB>class<TAB>text

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        switch (c) {
            case L'\r':
                escaped += L"\\r";
                break;
            case L'\n':
                escaped += L"\\n";
                break;
            case L'\t':
                escaped += L"\\t";
                break;
            default:
                escaped += c;
        }
    }
    const int size = static_cast<int>(escaped.size());
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, escaped.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

// WM_GETTEXT crosses process boundaries (GetWindowText does not for controls); a hung window
// must not hang the test.
std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &got))
        return {};
    text.resize(got);
    return text;
}

std::string classOf(HWND window) {
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return utf8(std::wstring(name, n > 0 ? n : 0));
}

BOOL CALLBACK printControl(HWND control, LPARAM) {
    std::printf("control\t%s\t%s\n", classOf(control).c_str(), utf8(textOf(control)).c_str());
    return TRUE;
}

BOOL CALLBACK printWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::printf("window\t%lu\t%s\t%s\n", static_cast<unsigned long>(process),
                classOf(window).c_str(), utf8(textOf(window)).c_str());
    EnumChildWindows(window, printControl, 0);
    return TRUE;
}

}  // namespace

int main() {
    EnumWindows(printWindow, 0);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
