// The program's metadata and the Version box's text.

#include "ui/app_info.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/failure.h"
#include "test_support.h"

namespace dxflist::ui {
namespace {

// The version line, the company (its two line breaks stay when it is empty), the folder, then
// each optional string that is not empty, in a fixed order.
TEST(VersionTextTest, ListsWhatIsKnownInOrder) {
    AppInfo app = test::appIn("/opt/dxflist");
    app.Major = 1, app.Minor = 20, app.Revision = 3;
    const std::string folder =
        "アプリケーションフォルダ \r\n\r\n" + pathText(app.Path) + "\r\n\r\n";
    EXPECT_EQ(versionText(app), "dxflist Ver 1.20.3\r\n\r\n\r\n\r\n" + folder);
    app.CompanyName = "dxflist contributors", app.ProductName = "dxflist";
    const std::string head = "dxflist Ver 1.20.3\r\n\r\ndxflist contributors\r\n\r\n" + folder;
    EXPECT_EQ(versionText(app), head + "製品名 : dxflist\r\n\r\n");
    app.Comments = "c", app.FileDescription = "d", app.LegalCopyright = "(c)",
    app.LegalTrademarks = "t";
    EXPECT_EQ(versionText(app), head +
                                    "Comments : c\r\n\r\n説明 : d\r\n\r\n著作権 : (c)\r\n\r\n"
                                    "製品名 : dxflist\r\n\r\n商標 : t\r\n\r\n");
}

// Texts for the window: bytes that are not UTF-8 become U+FFFD one by one, the rest stays.
TEST(ValidUtf8Test, ReplacesOnlyTheBytesThatAreNotUtf8) {
    const std::string r = "\uFFFD";
    const std::pair<std::string, std::string> rows[] = {
        {"/home/図面/a.dxf", "/home/図面/a.dxf"},
        // A Shift-JIS folder name copied from a Windows disk.
        {"/mnt/\x90\x7d\x96\xca/output.txt", "/mnt/" + r + "}" + r + r + "/output.txt"},
        {"a\xe3\x81", "a" + r + r},           // a sequence cut short at the end
        {"\xc0\xaf", r + r},                  // an overlong "/"
        {"\xed\xa0\x80", r + r + r},          // a surrogate
        {"\xf4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xf0\x9f\x93\x90\xff", "\xf0\x9f\x93\x90" + r},
    };
    for (const auto& [bytes, shown] : rows) EXPECT_EQ(validUtf8(bytes), shown) << bytes;
}

}  // namespace
}  // namespace dxflist::ui
