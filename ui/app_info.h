#pragma once
// The running program's metadata, and the Version box's text made from it.

#include <string>

#include "engine/host.h"

namespace dxflist::ui {

// Name and folder of the running executable, and its version record.
AppInfo currentAppInfo();

// Name and version, company, application folder, then each descriptive string that is not
// empty; every item is followed by a blank line. UTF-8, CR LF line breaks.
std::string versionText(const AppInfo& app);

}  // namespace dxflist::ui
