#include "ui/platform.h"

#include "dxflist_version.h"
#include "engine/failure.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>
#endif

namespace dxflist::ui {

#ifdef _WIN32

std::filesystem::path executablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

std::string versionString(const std::vector<char>& record, const wchar_t* name) {
    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation))
        return {};
    wchar_t key[128];
    swprintf(key, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
             translations[0].codePage, name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), key, reinterpret_cast<void**>(&value), &length) ||
        length == 0)
        return {};
    return pathText(std::filesystem::path(std::wstring(value, wcsnlen(value, length))));
}

}  // namespace

void readVersionRecord(AppInfo& app) {
    const std::wstring exe = executablePath().wstring();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) return;
    std::vector<char> record(size);
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, record.data())) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) &&
        fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
        app.Major = HIWORD(fixed->dwFileVersionMS);
        app.Minor = LOWORD(fixed->dwFileVersionMS);
        app.Revision = HIWORD(fixed->dwFileVersionLS);
    }
    app.CompanyName = versionString(record, L"CompanyName");
    app.Comments = versionString(record, L"Comments");
    app.FileDescription = versionString(record, L"FileDescription");
    app.LegalCopyright = versionString(record, L"LegalCopyright");
    app.ProductName = versionString(record, L"ProductName");
    app.LegalTrademarks = versionString(record, L"LegalTrademarks");
}

#else

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe;
}

void readVersionRecord(AppInfo& app) {
    app.Major = DXFLIST_VERSION_MAJOR;
    app.Minor = DXFLIST_VERSION_MINOR;
    app.Revision = DXFLIST_VERSION_PATCH;
    app.CompanyName = DXFLIST_COMPANY_NAME;
    app.ProductName = DXFLIST_PRODUCT_NAME;
}

#endif

}  // namespace dxflist::ui
