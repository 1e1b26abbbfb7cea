// version_record_test PROGRAM: reads PROGRAM's version record the way the Version box does
// and checks it against the version and names the build was configured with.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dxflist_version.h"
#include "ui/platform.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: version_record_test PROGRAM\n");
        return 64;
    }
    dxflist::AppInfo app;
    dxflist::ui::readVersionRecordOf(argv[1], app);

    int failures = 0;
    const auto expect = [&](const char* what, const std::string& got, const std::string& want) {
        if (got == want) return;
        std::fprintf(stderr, "%s: \"%s\", expected \"%s\"\n", what, got.c_str(), want.c_str());
        ++failures;
    };
    expect("version",
           std::to_string(app.Major) + "." + std::to_string(app.Minor) + "." +
               std::to_string(app.Revision),
           DXFLIST_VERSION_STRING);
    expect("CompanyName", app.CompanyName, DXFLIST_COMPANY_NAME);
    expect("ProductName", app.ProductName, DXFLIST_PRODUCT_NAME);
    expect("Comments", app.Comments, "");
    expect("FileDescription", app.FileDescription, "");
    expect("LegalCopyright", app.LegalCopyright, "");
    expect("LegalTrademarks", app.LegalTrademarks, "");

    // The fields the Version box does not show: the fourth number, and the product version.
    DWORD ignored = 0;
    std::vector<char> record(GetFileVersionInfoSizeW(argv[1], &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (record.empty() || !GetFileVersionInfoW(argv[1], 0, record.size(), record.data()) ||
        !VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size)) {
        std::fprintf(stderr, "no version record\n");
        return 1;
    }
    const auto numbers = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "," + std::to_string(LOWORD(high)) + "," +
               std::to_string(HIWORD(low)) + "," + std::to_string(LOWORD(low));
    };
    const std::string want = std::to_string(DXFLIST_VERSION_MAJOR) + "," +
                             std::to_string(DXFLIST_VERSION_MINOR) + "," +
                             std::to_string(DXFLIST_VERSION_PATCH) + ",0";
    expect("FILEVERSION", numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS), want);
    expect("PRODUCTVERSION", numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS), want);
    return failures == 0 ? 0 : 1;
}
