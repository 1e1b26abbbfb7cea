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

}  // namespace dxflist::ui
