#pragma once
// The running program's metadata, and the Version box's text made from it.

#include <string>
#include <string_view>

#include "engine/host.h"

namespace dxflist::ui {

// Name and folder of the running executable, and its version record.
AppInfo currentAppInfo();

// Name and version, company, application folder, then each descriptive string that is not
// empty; every item is followed by a blank line. UTF-8, CR LF line breaks.
std::string versionText(const AppInfo& app);

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD, and all else as it is. Names from the file system are bytes: a Shift-JIS file name
// on Linux would otherwise make the whole text fail to convert and show as an empty box.
std::string validUtf8(std::string_view text);

}  // namespace dxflist::ui
