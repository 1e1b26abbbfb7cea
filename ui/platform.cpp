#include "ui/platform.h"

#include <csignal>

#include "dxflist_version.h"
#include "engine/failure.h"

#include <algorithm>
#include <string>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <fstream>
#include <iterator>
#endif

namespace dxflist::ui {

namespace {

// Relative names are taken from the folder the program started in, before a run makes the
// application folder current.
std::vector<std::filesystem::path> madeAbsolute(std::vector<std::filesystem::path> files) {
    for (std::filesystem::path& file : files) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(file, error);
        if (!error) file = std::move(absolute);
    }
    return files;
}

}  // namespace

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

std::vector<std::filesystem::path> commandLineFiles() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return {};
    std::vector<std::filesystem::path> files(args + std::min(count, 1), args + count);
    LocalFree(args);
    return madeAbsolute(std::move(files));
}

#else

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe;
}

void readVersionRecord(AppInfo& app) {
    fillBuiltInVersion(app);
}

// The arguments as the system keeps them, NUL after each: GTK never sees them (see main).
std::vector<std::filesystem::path> commandLineFiles() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::filesystem::path> files;
    std::size_t from = all.find('\0');  // after the program's own name
    while (from != std::string::npos && from + 1 < all.size()) {
        const std::size_t end = all.find('\0', from + 1);
        files.emplace_back(all.substr(from + 1, end - from - 1));
        from = end;
    }
    return madeAbsolute(std::move(files));
}

#endif

void fillBuiltInVersion(AppInfo& app) {
    app.Major = DXFLIST_VERSION_MAJOR;
    app.Minor = DXFLIST_VERSION_MINOR;
    app.Revision = DXFLIST_VERSION_PATCH;
    app.CompanyName = DXFLIST_COMPANY_NAME;
    app.ProductName = DXFLIST_PRODUCT_NAME;
}

void surviveFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace dxflist::ui
