#pragma once
// The program's icon in every size it comes in, for the window's title bar and task switcher.

#include <wx/iconbndl.h>

namespace dxflist::ui {

wxIconBundle programIcons();

}  // namespace dxflist::ui
