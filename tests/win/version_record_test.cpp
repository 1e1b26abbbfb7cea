// version_record_test PROGRAM: reads PROGRAM's version record the way the Version box does, and
// its fixed part, against the version and names the build was configured with.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dxflist_version.h"
#include "ui/platform.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 64;
    dxflist::AppInfo app;
    dxflist::ui::readVersionRecordOf(argv[1], app);
    std::vector<char> record(GetFileVersionInfoSizeW(argv[1], nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (record.empty() ||
        !GetFileVersionInfoW(argv[1], 0, static_cast<DWORD>(record.size()), record.data()) ||
        !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size))
        return 1;
    const auto numbers = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
               std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
    };
    const std::string version = DXFLIST_VERSION_STRING, shown = std::to_string(app.Major) + "." +
                                                                std::to_string(app.Minor) + "." +
                                                                std::to_string(app.Revision);
    const std::string got[][2] = {
        {shown, version},
        {app.CompanyName + "|" + app.ProductName, DXFLIST_COMPANY_NAME "|" DXFLIST_PRODUCT_NAME},
        {app.Comments + app.FileDescription + app.LegalCopyright + app.LegalTrademarks, ""},
        {numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version + ".0"},
        {numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version + ".0"}};
    int failures = 0;
    for (const auto& [value, want] : got) {
        if (value == want) continue;
        std::fprintf(stderr, "\"%s\", expected \"%s\"\n", value.c_str(), want.c_str());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
