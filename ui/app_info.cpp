#include "ui/app_info.h"

#include "engine/failure.h"
#include "ui/platform.h"

namespace dxflist::ui {

AppInfo currentAppInfo() {
    AppInfo app;
    const std::filesystem::path exe = executablePath();
    app.EXEName = pathText(exe.stem());
    app.Path = exe.parent_path();
    readVersionRecord(app);
    return app;
}

std::string versionText(const AppInfo& app) {
    const std::string gap = "\r\n\r\n";
    std::string text = app.EXEName + " Ver " + std::to_string(app.Major) + "." +
                       std::to_string(app.Minor) + "." + std::to_string(app.Revision) + gap;
    text += app.CompanyName + gap;
    text += "アプリケーションフォルダ " + gap + pathText(app.Path) + gap;
    const auto optional = [&](const char* label, const std::string& value) {
        if (!value.empty()) text += label + value + gap;
    };
    optional("Comments : ", app.Comments);
    optional("説明 : ", app.FileDescription);
    optional("著作権 : ", app.LegalCopyright);
    optional("製品名 : ", app.ProductName);
    optional("商標 : ", app.LegalTrademarks);
    return text;
}

namespace {
// The length of the well-formed UTF-8 sequence at the start of `text`, or 0 if there is none:
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
    return length;
}
}  // namespace

std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            result += "\uFFFD";
            text.remove_prefix(1);
        } else {
            result.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return result;
}

}  // namespace dxflist::ui
