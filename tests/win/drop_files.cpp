// drop_files CAPTION FILE...: drops FILE... on the middle of the visible top-level window whose
// caption starts with CAPTION (boxes aside), as Explorer does for a program that takes
// WM_DROPFILES: to the window under the point that accepts dropped files, or to none (status 1).
// The HDROP must live in the receiving process, so the file list is written there.

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

HWND found = nullptr;

BOOL CALLBACK match(HWND window, LPARAM caption) {
    wchar_t text[512], type[64];
    const auto* prefix = reinterpret_cast<const wchar_t*>(caption);
    if (!IsWindowVisible(window) || !GetClassNameW(window, type, 64) ||
        std::wcscmp(type, L"#32770") == 0 || !GetWindowTextW(window, text, 512) ||
        std::wcsncmp(text, prefix, std::wcslen(prefix)) != 0)
        return TRUE;
    found = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 64;
    EnumWindows(match, reinterpret_cast<LPARAM>(argv[1]));
    RECT client{};
    GetClientRect(found, &client);
    POINT point{client.right / 2, client.bottom / 2};
    ClientToScreen(found, &point);
    HWND target = found ? WindowFromPoint(point) : nullptr;
    while (target && target != GetDesktopWindow() &&
           !(GetWindowLongPtrW(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES))
        target = GetAncestor(target, GA_PARENT);
    if (!target || target == GetDesktopWindow()) {
        std::fprintf(stderr, "no window there takes dropped files\n");
        return 1;
    }
    ScreenToClient(target, &point);

    // DROPFILES, then the names, each ended by a null, and one more null after the last.
    std::vector<wchar_t> names;
    for (int i = 2; i < argc; ++i)
        names.insert(names.end(), argv[i], argv[i] + wcslen(argv[i]) + 1);
    names.push_back(L'\0');
    const DROPFILES header{sizeof(DROPFILES), point, FALSE, TRUE};
    std::vector<char> block(reinterpret_cast<const char*>(&header),
                            reinterpret_cast<const char*>(&header + 1));
    block.insert(block.end(), reinterpret_cast<const char*>(names.data()),
                 reinterpret_cast<const char*>(names.data() + names.size()));

    DWORD process = 0;
    GetWindowThreadProcessId(target, &process);
    const HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
    void* remote = VirtualAllocEx(handle, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(handle, remote, block.data(), block.size(), nullptr) ||
        !PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        std::fprintf(stderr, "the files could not be handed over (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}
