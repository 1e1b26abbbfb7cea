#pragma once
// What differs between platforms in the program, in one place: where the running executable
// is, what its version record says, and what its command line names.

#include <filesystem>
#include <vector>

#include "engine/host.h"

namespace dxflist::ui {

// The running executable's file, as the OS reports it.
std::filesystem::path executablePath();

// Fills the version numbers and strings of `app` from the executable's version record. On
// Windows that is the VERSIONINFO resource; elsewhere the values the build wrote in.
void readVersionRecord(AppInfo& app);

// Fills them with the values the build wrote in: the version record's, for a program that has
// none of its own (the batch driver).
void fillBuiltInVersion(AppInfo& app);

// Past a file-size limit (ulimit -f) a write then fails with EFBIG and the run ends with the
// usual failure, instead of the signal killing the program in the middle of a line.
void surviveFileSizeLimit();

// The files named on the command line, every argument after the program's own name, made
// absolute against the folder the program was started in. There are no options: a name that
// begins with "-" is a file too. On Windows the wide command line; elsewhere the bytes as given.
std::vector<std::filesystem::path> commandLineFiles();

}  // namespace dxflist::ui
