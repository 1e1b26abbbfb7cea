#pragma once
// Failures: exceptions whose message tells the user what failed, on which file, and why.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dxflist {

// A failure that abandons the command; its what() is UTF-8 text meant for the user.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure of a file operation, with the platform's error number behind it, for the few
// callers that can do something else when, say, permission is denied.
class FileFailure : public Failure {
  public:
    FileFailure(const std::string& message, unsigned long osError)
        : Failure(message), osError_(osError) {}
    unsigned long osError() const { return osError_; }

  private:
    unsigned long osError_;
};

// The source ends before bytes that were read from it earlier: it was cut short during the run.
// The run then ends as at the end of the file; it is not a failure for the user.
class SourceCut : public Failure {
  public:
    using Failure::Failure;
};

// Whether the error number means that permission was denied (not that the file is missing).
bool isAccessDenied(unsigned long osError);

// The path as UTF-8 text, for messages and captions.
std::string pathText(const std::filesystem::path& path);

// The platform's description of an error number (errno on POSIX, GetLastError on Windows).
std::string osErrorText(unsigned long code);

// Throws a FileFailure saying what was being done to which file, with the OS reason.
[[noreturn]] void throwFileFailure(std::string_view what, const std::filesystem::path& file,
                                   unsigned long osError);

// Throws a Failure about a file that needs no OS reason.
[[noreturn]] void throwFileFailure(std::string_view what, const std::filesystem::path& file,
                                   std::string_view reason);

// Throws SourceCut about the source `file`, which ends before bytes read from it earlier.
[[noreturn]] void throwSourceCut(const std::filesystem::path& file, std::string_view what,
                                 std::string_view reason);

// The same about a folder.
[[noreturn]] void throwFolderFailure(std::string_view what, const std::filesystem::path& folder,
                                     unsigned long osError);
[[noreturn]] void throwFolderFailure(std::string_view what, const std::filesystem::path& folder,
                                     std::string_view reason);

}  // namespace dxflist
