#pragma once
// Plain byte files on the platform's own calls: wide paths on Windows, no locale, no text mode.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "engine/text.h"

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
    // Reads exactly `size` bytes at `offset` without moving the current position; throws
    // SourceCut when the file ends before them.
    void readAt(std::uint64_t offset, char* buffer, std::size_t size);
    // Goes back to the start: the next read() reads the first bytes again.
    void rewind() { position_ = 0; }
    // The file's size now; it may change while the file is read.
    std::uint64_t size() const;
    const std::filesystem::path& path() const { return path_; }

  private:
    friend class ReplacementFile;
    InputFile(const std::filesystem::path& path, std::intptr_t handle)
        : path_(path), handle_(handle) {}

    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
    std::uint64_t position_ = 0;
};

// A file opened for writing.
class OutputFile {
  public:
    enum class Mode {
        Replace,  // created, or emptied if it exists (through a symbolic link, too)
        Keep,     // created, or opened as it is: nothing is lost until truncate()
    };
    explicit OutputFile(const std::filesystem::path& path, Mode mode = Mode::Replace);
    ~OutputFile();  // closes without reporting errors; call close() to see them
    OutputFile(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile& operator=(OutputFile&& other) noexcept;

    // The existing file opened as it is, or nothing when there is no such file.
    static std::optional<OutputFile> openExisting(const std::filesystem::path& path);
    // The existing file opened as it is, to be rewritten in place: only a regular file that is
    // nobody else's too, that is not a link of any kind and has no second name, so that no
    // other file is written through it.
    static OutputFile openToRewrite(const std::filesystem::path& path);

    // Takes an exclusive lock that the same call on the same file, from any process, sees;
    // false when someone else holds it. Where the system cannot lock this file, true.
    bool tryLock();
    // Empties a regular file (devices and pipes have nothing to empty). On Linux a large one is
    // emptied on a thread of its own, which on some disks takes as long as writing it anew: what
    // is written meanwhile waits in an unnamed file beside it and is copied in once it is empty,
    // before anything else is done with the file.
    void truncate();

    // Writes all bytes or throws; written() then tells how many reached the file.
    void write(const char* data, std::size_t size);
    std::uint64_t written() const { return written_; }
    // Cuts the file back to `size` bytes and goes on writing there; false if it could not.
    bool cutBackTo(std::uint64_t size) noexcept;
    void close();
    const std::filesystem::path& path() const { return path_; }

  private:
    friend class ReplacementFile;
    OutputFile(const std::filesystem::path& path, std::intptr_t handle)
        : path_(path), handle_(handle) {}
    struct Spool;  // what is written while the file is being emptied
    struct SpoolEnd {
        void operator()(Spool* spool) const;
    };
    // Waits for the emptying and copies the spooled bytes in; throws if either failed, keeping
    // the file's whole lines that the copy brought.
    void settle();

    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
    std::uint64_t written_ = 0;
    std::unique_ptr<Spool, SpoolEnd> spool_;
};

// A new file that takes the place of `target` only once it is complete. Until then it has no
// name where the system allows it (an unnamed file on Linux, a file deleted with its last handle
// on Windows), so that a run that fails or is killed leaves nothing behind; elsewhere it has a
// temporary name of its own (target.tmp, or target.tmp.1 to .99 when that is taken), removed
// when the run fails. An existing file, or a link, is never written through.
class ReplacementFile {
  public:
    explicit ReplacementFile(const std::filesystem::path& target);
    ~ReplacementFile();  // removes the file unless it was put in place
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The file to write; it may be closed before putInPlace().
    OutputFile output();
    // Gives the complete file the target's name, replacing the file there, and returns it
    // opened for reading: the run reads what it wrote, whatever happens to the name meanwhile.
    std::unique_ptr<InputFile> putInPlace();

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;  // the file's name until it is in place, if it has one
    std::intptr_t handle_ = -1;
    bool inPlace_ = false;
};

// A claim on a folder that every run, in this process or another, sees: one run at a time
// works in an application folder. Released when destroyed, or when the process ends however it
// ends.
class FolderLock {
  public:
    // Takes every claim on `folder` that the system allows here. heldElsewhere() says that
    // another run holds one of them; held() that this run holds at least one.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return handle_ != -1 || name_ != -1; }
    bool heldElsewhere() const { return heldElsewhere_; }

  private:
    std::intptr_t handle_ = -1;  // the lock on the folder itself
    std::intptr_t name_ = -1;    // the claim on a name made of the folder's identity
    bool heldElsewhere_ = false;
};

// A file of the run's own in the system's temporary folder, for data too large to hold in
// memory. Nobody else opens it, and it is removed when closed.
class ScratchFile {
  public:
    ScratchFile();
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Appends the bytes; returns where they are in the file.
    FileRegion append(const char* data, std::size_t size);
    // Reads exactly `size` bytes at `offset`.
    void readAt(std::uint64_t offset, char* buffer, std::size_t size) const;
    // Empties the file for its next use.
    void clear();

  private:
    std::filesystem::path path_;  // the folder, or the file where it has a name
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

// Ways of the file layer that not every system offers, or that it rarely takes; the product
// never changes them, tests set them to run the paths other systems take.
struct FileLayerPaths {
    bool unnamedFiles = true;    // new files without a name (Linux's O_TMPFILE) where there are
    bool folderClaims = true;    // FolderLock takes the claims the system allows
    std::size_t writeLimit = 0;  // at most this many bytes per system write, 0: no limit, as a
                                 // signal or a full disk cuts writes short (POSIX)
    // Files at least this large are emptied on a thread of their own (Linux; see truncate()).
    std::uint64_t emptyBehindFrom = std::uint64_t{4} << 20;
    bool spoolToTheEnd = false;  // the spool takes every write until the file is closed or cut
                                 // back, as when emptying outlasts the run
    bool copyInKernel = true;    // the spool copied in by the system (Linux's copy_file_range),
                                 // not through a buffer
};
// The paths later runs take; for tests.
void useFileLayerPaths(const FileLayerPaths& paths);
const FileLayerPaths& fileLayerPaths();

// Makes `folder` the process's current folder.
void setCurrentFolder(const std::filesystem::path& folder);

// True when both paths name one existing file (links and symlinks included).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace dxflist
