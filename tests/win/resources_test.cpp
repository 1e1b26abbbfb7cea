// resources_test PROGRAM: what Windows takes from PROGRAM's resources besides the version
// record. Explorer, the taskbar and Alt+Tab show the file's first icon group: it must be the
// program's own, in 16, 24, 32, 48 and 256 pixels, and every image in it must load as an icon
// of its size. The manifest must declare per-monitor (v2) DPI awareness, or Windows stretches
// the window on scaled screens and blurs it.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconDir {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

const void* resource(HMODULE module, const wchar_t* name, const wchar_t* type, DWORD* size) {
    const HRSRC found = FindResourceW(module, name, type);
    if (!found) return nullptr;
    *size = SizeofResource(module, found);
    return LockResource(LoadResource(module, found));
}

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* first = reinterpret_cast<std::wstring*>(param);
    *first = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name))
                                  : std::wstring(name);
    return FALSE;
}

// The sizes of the first icon group, each checked by loading its image; "" if there is none.
std::string firstIconSizes(HMODULE module) {
    std::wstring name;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, firstName,
                       reinterpret_cast<LONG_PTR>(&name));
    DWORD size = 0;
    const auto* group = static_cast<const GroupIconDir*>(
        name.empty() ? nullptr : resource(module, name.c_str(), MAKEINTRESOURCEW(14), &size));
    if (!group) return "";
    std::string sizes;
    for (WORD i = 0; i < group->count; ++i) {
        const GroupIconEntry& entry = group->entries[i];
        const int pixels = entry.width == 0 ? 256 : entry.width;
        sizes += (sizes.empty() ? "" : " ") + std::to_string(pixels);
        DWORD bytes = 0;
        const void* image =
            resource(module, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3) /* RT_ICON */, &bytes);
        const HICON icon =
            image ? CreateIconFromResourceEx(static_cast<BYTE*>(const_cast<void*>(image)), bytes,
                                             TRUE, 0x00030000, 0, 0, 0)
                  : nullptr;
        ICONINFO info{};
        BITMAP bitmap{};
        if (!icon || !GetIconInfo(icon, &info) ||
            !GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) || bitmap.bmWidth != pixels ||
            entry.bitCount != 32)
            sizes += "(broken)";
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (icon) DestroyIcon(icon);
    }
    return sizes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resources_test PROGRAM\n");
        return 64;
    }
    const HMODULE module =
        LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        std::fprintf(stderr, "cannot load the program's resources\n");
        return 1;
    }
    int failures = 0;
    const std::string sizes = firstIconSizes(module);
    if (sizes != "16 24 32 48 256") {
        std::fprintf(stderr, "first icon group: sizes \"%s\", expected \"16 24 32 48 256\"\n",
                     sizes.c_str());
        ++failures;
    }
    DWORD size = 0;
    const auto* manifest = static_cast<const char*>(
        resource(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */, &size));
    const std::string text = manifest ? std::string(manifest, size) : "";
    const auto element = text.find("<dpiAwareness");
    const auto end = text.find("</dpiAwareness>", element);
    if (element == std::string::npos || end == std::string::npos ||
        text.substr(element, end - element).find(">PerMonitorV2") == std::string::npos) {
        std::fprintf(stderr, "the manifest declares no per-monitor (v2) DPI awareness\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
