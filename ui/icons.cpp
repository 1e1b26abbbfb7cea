#include "ui/icons.h"

#ifndef __WXMSW__
#include <wx/bitmap.h>
#include <wx/image.h>

#include "dxflist_icon_pngs.h"
#endif

namespace dxflist::ui {

#ifdef __WXMSW__

// The icon group of the program's resources, the one Explorer shows for the file; no module
// handle means the executable's own.
wxIconBundle programIcons() {
    return wxIconBundle("DXFLIST", nullptr);
}

#else

// The PNGs the build rendered from the icon's SVG, carried inside the program.
wxIconBundle programIcons() {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    wxIconBundle icons;
    for (const auto& png : kIconPngs) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap::NewFromPNGData(png.data, png.size));
        if (icon.IsOk()) icons.AddIcon(icon);
    }
    return icons;
}

#endif

}  // namespace dxflist::ui
