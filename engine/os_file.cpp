// The file layer's part that is the same on every platform; the rest is in os_file_posix.cpp
// and os_file_windows.cpp, one of which CMake builds.

#include "engine/os_file.h"

#include <string>
#include <system_error>

#include "engine/failure.h"
#include "engine/os_file_common.h"

namespace dxflist {

namespace os {

std::filesystem::path numberedName(const std::filesystem::path& path, int number) {
    if (number == 0) return path;
    std::filesystem::path name = path;
    name += "." + std::to_string(number);
    return name;
}

std::filesystem::path temporaryName(const std::filesystem::path& target, int number) {
    std::filesystem::path name = target;
    name += ".tmp";
    return numberedName(name, number);
}

void temporaryNamesTaken(const std::filesystem::path& target) {
    const std::string first = pathText(temporaryName(target, 0).filename());
    throwFolderFailure(
        "一時ファイルの名前がすべて使われているため、コピーを作れません。", target.parent_path(),
        "このフォルダには " + first + " から " + first + "." + std::to_string(kOtherNames) +
            " までの名前のファイルがすべてあります。不要なものを削除してから、もう一度"
            "開いてください。");
}

bool readExactlyAt(std::intptr_t handle, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::filesystem::path& path, const char* readFailed) {
    while (size > 0) {
        const std::size_t got = readSomeAt(handle, offset, buffer, size, path, readFailed);
        if (got == 0) return false;
        offset += got;
        buffer += got;
        size -= got;
    }
    return true;
}

}  // namespace os

namespace {
FileLayerPaths& paths() {
    static FileLayerPaths chosen;
    return chosen;
}
}  // namespace

void useFileLayerPaths(const FileLayerPaths& chosen) {
    paths() = chosen;
}

const FileLayerPaths& fileLayerPaths() {
    return paths();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(other.handle_),
      written_(other.written_),
      spool_(std::move(other.spool_)) {
    other.handle_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    OutputFile old(std::move(*this));  // closes the file this held
    path_ = std::move(other.path_);
    handle_ = other.handle_;
    written_ = other.written_;
    spool_ = std::move(other.spool_);
    other.handle_ = -1;
    return *this;
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
    const std::size_t got =
        os::readSomeAt(handle_, position_, buffer, size, path_, os::kReadFailed);
    position_ += got;
    return got;
}

void InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (!os::readExactlyAt(handle_, offset, buffer, size, path_, os::kReadFailed))
        throwSourceCut(path_, os::kChanged, os::kChangedReason);
}

void ScratchFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    // Nobody else writes the scratch file: a short one has failed.
    if (!os::readExactlyAt(handle_, offset, buffer, size, path_, os::kScratchReadFailed))
        throwFileFailure(os::kScratchReadFailed, path_, os::kChangedReason);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::equivalent(os::nativePath(a), os::nativePath(b), error) && !error;
}

}  // namespace dxflist
