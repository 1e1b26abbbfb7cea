#pragma once
// The listing run and its two hooks.

#include <filesystem>

#include "engine/host.h"

namespace dxflist {

// The listing: "output.txt" in the application folder.
std::filesystem::path listingPath(const AppInfo& app);
// The CR LF copy of a file with LF line ends: "unix.dxf" in the application folder.
std::filesystem::path copyPath(const AppInfo& app);

// Line-ending preparation, run before anything else: returns the path to read. A file whose
// first line (up to its first CR) holds LF characters is copied to copyPath() with CR LF line
// ends, the user is told so, and the copy is read instead.
std::filesystem::path prepareLineEnds(const std::filesystem::path& selFn, HostServices& host,
                                      const AppInfo& app);

// Structure annotation: see StructureAnnotator in engine/annotate.h.

// Lists selFn into listingPath(): reads it as group pairs, annotates each, shows the progress
// in the caption and lets the host run its events once per pass. Failures are thrown.
void subDXFver(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app);

}  // namespace dxflist
