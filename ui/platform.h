#pragma once
// What differs between platforms in the program, in one place: where the running executable
// is and what its version record says.

#include <filesystem>

#include "engine/host.h"

namespace dxflist::ui {

// The running executable's file, as the OS reports it.
std::filesystem::path executablePath();

// Fills the version numbers and strings of `app` from the executable's version record. On
// Windows that is the VERSIONINFO resource; elsewhere the values the build wrote in.
void readVersionRecord(AppInfo& app);

}  // namespace dxflist::ui
