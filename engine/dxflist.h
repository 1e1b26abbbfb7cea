#pragma once
// The listing run and its two hooks.

#include <filesystem>
#include <memory>

#include "engine/host.h"
#include "engine/os_file.h"

namespace dxflist {

// The listing: "output.txt" in the application folder.
std::filesystem::path listingPath(const AppInfo& app);
// The CR LF copy of a file with LF line ends: "unix.dxf" in the application folder.
std::filesystem::path copyPath(const AppInfo& app);

// The file a run reads: the chosen one, or the CR LF copy, which comes already open, so that
// the run reads the copy it made whatever another run does with the name meanwhile.
struct PreparedSource {
    std::filesystem::path srcPath;
    std::unique_ptr<InputFile> copy;  // open when srcPath is the copy
};

// Line-ending preparation, run before anything else: returns the file to read. A file whose
// first line (up to its first CR) holds LF characters is copied to copyPath() with CR LF line
// ends, the user is told so, and the copy is read instead.
PreparedSource prepareLineEnds(const std::filesystem::path& selFn, HostServices& host,
                               const AppInfo& app);

// Structure annotation: see StructureAnnotator in engine/annotate.h.

// Lists selFn into listingPath(): reads it as group pairs, annotates each, shows the progress
// in the caption and lets the host run its events once per pass. Failures are thrown.
void subDXFver(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app);

}  // namespace dxflist
