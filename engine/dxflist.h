#pragma once
// The listing run, and the two hooks it calls: the line-ending preparation before the listing,
// and the structure annotation of every pair.

#include <filesystem>

#include "engine/annotate.h"
#include "engine/host.h"
#include "engine/line_ends.h"

namespace dxflist {

// The listing: "output.txt" in the application folder.
std::filesystem::path listingPath(const AppInfo& app);

// Lists selFn (the path of the chosen drawing) into listingPath(): reads it as group pairs,
// annotates each, shows the progress in the caption and lets the host run its events once per
// pass. Failures are thrown.
void subDXFver(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app);

}  // namespace dxflist
