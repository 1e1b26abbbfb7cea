// drop_files CAPTION FILE...: drops FILE... on the middle of the visible top-level window whose
// caption starts with CAPTION (dialogs aside), as Explorer does for a program that takes
// WM_DROPFILES: the message goes to the window under the point that accepts dropped files, or
// to none. The file list is written into the target process, where the HDROP must live.
// Exit status: 0 dropped, 1 no window or none that accepts files, 64 wrong usage.

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[512];
    wchar_t type[64];
    if (!IsWindowVisible(window) || !GetClassNameW(window, type, 64) ||
        std::wcscmp(type, L"#32770") == 0 || GetWindowTextW(window, text, 512) == 0)
        return TRUE;
    if (std::wcsncmp(text, search->caption, std::wcslen(search->caption)) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// The first window from `window` up that has asked for dropped files (DragAcceptFiles).
HWND acceptingWindow(HWND window) {
    for (; window; window = GetAncestor(window, GA_PARENT)) {
        if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) return window;
        if (window == GetAncestor(window, GA_ROOT)) break;
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: drop_files CAPTION FILE...\n");
        return 64;
    }
    Search search{argv[1], nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::fprintf(stderr, "no window with that caption\n");
        return 1;
    }
    RECT client;
    GetClientRect(search.found, &client);
    POINT point{client.right / 2, client.bottom / 2};
    ClientToScreen(search.found, &point);
    const HWND target = acceptingWindow(WindowFromPoint(point));
    if (!target) {
        std::fprintf(stderr, "the window under the drop point does not accept files\n");
        return 1;
    }
    ScreenToClient(target, &point);

    // DROPFILES, then the names, each ended by a null, and one more null after the last.
    std::vector<char> block(sizeof(DROPFILES));
    auto* header = reinterpret_cast<DROPFILES*>(block.data());
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = TRUE;
    for (int i = 2; i < argc; ++i) {
        const auto* name = reinterpret_cast<const char*>(argv[i]);
        block.insert(block.end(), name, name + (std::wcslen(argv[i]) + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), '\0');

    DWORD process = 0;
    GetWindowThreadProcessId(target, &process);
    const HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
    void* remote = handle ? VirtualAllocEx(handle, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                           PAGE_READWRITE)
                          : nullptr;
    if (!remote || !WriteProcessMemory(handle, remote, block.data(), block.size(), nullptr) ||
        !PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        std::fprintf(stderr, "could not hand the files over (error %lu)\n", GetLastError());
        return 1;
    }
    CloseHandle(handle);
    return 0;
}
