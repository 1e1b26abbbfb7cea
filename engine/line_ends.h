#pragma once
// The line-ending preparation, run before the listing: a drawing whose first line (up to its
// first CR) holds LF characters has Unix line ends, which the pair reader would take for one
// endless line. It is copied to "unix.dxf" in the application folder with every LF made CR LF,
// the user is told so, and the copy is read instead.

#include <filesystem>
#include <functional>
#include <memory>

#include "engine/host.h"
#include "engine/os_file.h"

namespace dxflist {

// The CR LF copy: "unix.dxf" in the application folder.
std::filesystem::path copyPath(const AppInfo& app);

// The file the run reads, already open: the chosen one, or the copy made of it. The copy comes
// open from its making, so that the run reads the copy it made whatever happens to the name.
struct PreparedSource {
    std::unique_ptr<InputFile> source;
    bool isCopy = false;
};

// Looks at selFn's first line and makes the copy where it has LF characters (telling the user
// through the host's message box before returning), calling beforeCopy just before it writes
// anything. An empty file fails: it has no first line. `listing` is the run's listing, which
// the copy must never be written through.
PreparedSource prepareLineEnds(const std::filesystem::path& selFn,
                               const std::filesystem::path& listing, HostServices& host,
                               const AppInfo& app, const std::function<void()>& beforeCopy);

}  // namespace dxflist
