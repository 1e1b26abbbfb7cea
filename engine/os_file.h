#pragma once
// Plain byte files on the platform's own calls: wide paths on Windows, no locale, no text mode.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace dxflist {

// A regular file opened for reading. Folders, pipes and devices are refused, so a run can
// neither hang on a FIFO nor read a device without end.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Reads up to `size` bytes at the current position; 0 means no byte is left now.
    std::size_t read(char* buffer, std::size_t size);
    // Reads exactly `size` bytes at `offset` without moving the current position.
    void readAt(std::uint64_t offset, char* buffer, std::size_t size);
    // The file's size now; it may change while the file is read.
    std::uint64_t size() const;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
    std::uint64_t position_ = 0;
};

// A file created (or truncated) for writing.
class OutputFile {
  public:
    explicit OutputFile(const std::filesystem::path& path);
    ~OutputFile();  // closes without reporting errors; call close() to see them
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes all bytes or throws; written() then tells how many reached the file.
    void write(const char* data, std::size_t size);
    std::uint64_t written() const { return written_; }
    // Cuts the file back to `size` bytes; best effort, used when a write has failed.
    void truncateNoThrow(std::uint64_t size) noexcept;
    void close();
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
    std::uint64_t written_ = 0;
};

// True when both paths name one existing file (links and symlinks included).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Renames `from` to `to`, replacing `to` if it exists.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Deletes a file of our own if it is there; for clean-up, so it never fails.
void removeFileNoThrow(const std::filesystem::path& path) noexcept;

}  // namespace dxflist
