// The program's metadata and the Version box's text.

#include "ui/app_info.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/failure.h"

namespace dxflist::ui {
namespace {

AppInfo versionOnePointZeroPointThree() {
    AppInfo app;
    app.EXEName = "dxflist";
    app.Path = "/opt/dxflist";
    app.Major = 1;
    app.Minor = 0;
    app.Revision = 3;
    return app;
}

// An empty company name still leaves its two line breaks: three empty lines between the
// version line and the folder label.
TEST(VersionTextTest, EmptyCompanyKeepsItsLineBreaks) {
    EXPECT_EQ(versionText(versionOnePointZeroPointThree()),
              "dxflist Ver 1.0.3\r\n\r\n\r\n\r\nアプリケーションフォルダ \r\n\r\n" +
                  pathText(std::filesystem::path("/opt/dxflist")) + "\r\n\r\n");
}

TEST(VersionTextTest, EachOptionalStringAppearsExactlyWhenNotEmptyInOrder) {
    AppInfo app = versionOnePointZeroPointThree();
    app.CompanyName = "dxflist contributors";
    app.ProductName = "dxflist";
    std::string head = "dxflist Ver 1.0.3\r\n\r\ndxflist contributors\r\n\r\n";
    head.append("アプリケーションフォルダ \r\n\r\n").append(pathText(app.Path)).append("\r\n\r\n");
    EXPECT_EQ(versionText(app), std::string(head).append("製品名 : dxflist\r\n\r\n"));

    app.Comments = "c";
    app.FileDescription = "d";
    app.LegalCopyright = "(c)";
    app.LegalTrademarks = "t";
    EXPECT_EQ(versionText(app),
              head.append("Comments : c\r\n\r\n説明 : d\r\n\r\n著作権 : (c)\r\n\r\n"
                          "製品名 : dxflist\r\n\r\n商標 : t\r\n\r\n"));
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

TEST(AppInfoTest, DescribesTheRunningExecutable) {
    const AppInfo app = currentAppInfo();
    EXPECT_EQ(app.EXEName, "dxflist_engine_tests");
    EXPECT_TRUE(std::filesystem::exists(app.Path / "dxflist_engine_tests") ||
                std::filesystem::exists(app.Path / "dxflist_engine_tests.exe"));
#ifndef _WIN32
    EXPECT_EQ(app.Major, 1);
    EXPECT_EQ(app.Minor, 0);
    EXPECT_EQ(app.Revision, 3);
    EXPECT_EQ(app.CompanyName, "dxflist contributors");
    EXPECT_EQ(app.ProductName, "dxflist");
    EXPECT_TRUE(app.Comments.empty() && app.FileDescription.empty() && app.LegalCopyright.empty() &&
                app.LegalTrademarks.empty());
#endif
}

}  // namespace
}  // namespace dxflist::ui
