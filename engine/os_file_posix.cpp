// The file layer on POSIX systems: plain descriptors, no locale, no text mode.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/failure.h"
#include "engine/os_file.h"
#include "engine/os_file_common.h"

namespace dxflist {

namespace {
int asFd(std::intptr_t h) {
    return static_cast<int>(h);
}
}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused just below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throwFileFailure(os::kOpenFailed, path, static_cast<unsigned long>(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throwFileFailure(os::kOpenFailed, path, os::kNotRegularReason);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    handle_ = fd;
}

InputFile::~InputFile() {
    ::close(asFd(handle_));
}

namespace os {

std::size_t readSomeAt(std::intptr_t handle, std::uint64_t offset, char* buffer, std::size_t size,
                       const std::filesystem::path& path, const char* readFailed) {
    for (;;) {
        const ssize_t got = ::pread(asFd(handle), buffer, size, static_cast<off_t>(offset));
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throwFileFailure(readFailed, path, static_cast<unsigned long>(errno));
    }
}

std::filesystem::path nativePath(const std::filesystem::path& path) {
    return path;
}

}  // namespace os

std::uint64_t InputFile::size() const {
    struct stat info {};
    return ::fstat(asFd(handle_), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

namespace {
// O_NONBLOCK: a FIFO in place of the file fails at once instead of waiting for a reader.
int openForWriting(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | flags, 0666);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// ext4 writes a file out on the closing thread when it was emptied and written again
// (auto_da_alloc, made for programs that rewrite a file in place): at the end of a run, with
// the run waiting for the disk's queue, 5-80 ms for the listing of a 100 MB drawing and
// 200-260 ms for that of a 400 MB one. A listing can be made again from its drawing, so it may
// reach the disk when the system writes it anyway. ext4 drops that write-out when any open
// description of the file is closed: one closed while the file is empty has nothing to write.
// Elsewhere (no /proc, other file systems) this costs an open and a close.
void forgoWriteOutAtClose(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int other = ::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (other >= 0) ::close(other);
}
}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path, Mode mode) : path_(path) {
    const int fd = openForWriting(path, mode == Mode::Replace ? O_CREAT | O_TRUNC : O_CREAT);
    if (fd < 0) throwFileFailure(os::kCreateFailed, path, static_cast<unsigned long>(errno));
    handle_ = fd;
    struct stat info {};
    if (mode == Mode::Replace && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        forgoWriteOutAtClose(fd);
}

std::optional<OutputFile> OutputFile::openExisting(const std::filesystem::path& path) {
    const int fd = openForWriting(path, 0);
    if (fd >= 0) return OutputFile(path, fd);
    if (errno == ENOENT) return std::nullopt;
    throwFileFailure(os::kCreateFailed, path, static_cast<unsigned long>(errno));
}

// flock, not fcntl: its locks belong to the open file, so that two runs in one process see
// each other too, and closing some other descriptor of the file does not drop them.
bool OutputFile::tryLock() {
    if (::flock(asFd(handle_), LOCK_EX | LOCK_NB) == 0) return true;
    return errno != EWOULDBLOCK;
}

namespace {
// Writes every byte, going on after a short write or a signal: at the file's position, or at
// `end` where `positioned`; `end` counts the bytes written either way, also when it throws.
void writeAll(int fd, const char* data, std::size_t size, bool positioned, std::uint64_t& end,
              const std::filesystem::path& path, const char* failed) {
    const std::size_t limit = fileLayerPaths().writeLimit;
    while (size > 0) {
        const std::size_t want = limit != 0 && limit < size ? limit : size;
        const ssize_t done = positioned ? ::pwrite(fd, data, want, static_cast<off_t>(end))
                                        : ::write(fd, data, want);
        if (done < 0) {
            if (errno == EINTR) continue;
            throwFileFailure(failed, path, static_cast<unsigned long>(errno));
        }
        end += static_cast<std::uint64_t>(done);
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

// A new unnamed file, read and write, in the folder of `path`: in the same file system as the
// file it stands in for. -1 where there is none (not Linux, or a file system without unnamed
// files).
int unnamedFileBeside(const std::filesystem::path& path, mode_t mode) {
#ifdef O_TMPFILE
    if (!fileLayerPaths().unnamedFiles) return -1;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
#else
    (void)path;
    (void)mode;
    return -1;
#endif
}
}  // namespace

// Emptying a file frees its blocks, and on a file system that tells the disk of each freed block
// (ext4 mounted with `discard`), the call waits for the disk: 42-50 ms for the 109 MiB listing
// of a 100 MB drawing on a VM whose whole listing is written in 25. Nothing else is done with
// the file until settle(), which every write, cut and close calls first.
void OutputFile::truncate() {
    struct stat info {};
    if (::fstat(asFd(handle_), &info) != 0 || !S_ISREG(info.st_mode)) return;
    if (static_cast<std::uint64_t>(info.st_size) >= fileLayerPaths().emptyBehindFrom) {
        // In the same file system, the copy is made there without passing through the program.
        const int unnamed = unnamedFileBeside(path_, 0600);
        if (unnamed >= 0) {
            std::unique_ptr<Spool, SpoolEnd> spool(new Spool);
            spool->handle = unnamed;
            try {
                spool->emptying = std::thread([fd = asFd(handle_), &state = *spool] {
                    if (::ftruncate(fd, 0) != 0) state.error = static_cast<unsigned long>(errno);
                    forgoWriteOutAtClose(fd);
                    state.emptied.store(true, std::memory_order_release);
                });
                spool_ = std::move(spool);
                return;
            } catch (const std::system_error&) {
                // No thread to be had: the file is emptied here.
            }
        }
    }
    if (::ftruncate(asFd(handle_), 0) != 0)
        throwFileFailure(os::kCreateFailed, path_, static_cast<unsigned long>(errno));
    forgoWriteOutAtClose(asFd(handle_));
}

void OutputFile::SpoolEnd::operator()(Spool* spool) const {
    if (spool->emptying.joinable()) spool->emptying.join();
    if (spool->handle != -1) ::close(asFd(spool->handle));
    delete spool;
}

namespace {
// Copies `size` bytes from the start of the unnamed file `from` to the start of `to`, the file at
// `path`, in the kernel where it can; `done` counts the bytes that arrived, also when it throws.
void copyFromStart(int from, int to, std::uint64_t size, std::uint64_t& done,
                   const std::filesystem::path& path) {
    done = 0;
#ifdef __linux__
    while (done < size && fileLayerPaths().copyInKernel) {
        auto in = static_cast<off_t>(done);
        auto out = static_cast<off_t>(done);
        const ssize_t n = ::copy_file_range(from, &in, to, &out, size - done, 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 &&
                   (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            break;  // not between these two files: through a buffer below
        } else {
            throwFileFailure(os::kWriteFailed, path,
                             n == 0 ? EIO : static_cast<unsigned long>(errno));
        }
    }
#endif
    if (done == size) return;
    constexpr std::size_t kBuffer = std::size_t{1} << 18;
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBuffer]);
    if (!buffer) throwFileFailure(os::kWriteFailed, path, ENOMEM);
    while (done < size) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kBuffer, size - done));
        const std::size_t got =
            os::readSomeAt(from, done, buffer.get(), want, path, os::kWriteFailed);
        if (got == 0) throwFileFailure(os::kWriteFailed, path, EIO);
        writeAll(to, buffer.get(), got, true, done, path, os::kWriteFailed);
    }
}
}  // namespace

void OutputFile::settle() {
    if (!spool_) return;
    const std::unique_ptr<Spool, SpoolEnd> spool = std::move(spool_);
    spool->emptying.join();
    const int fd = asFd(handle_);
    if (spool->error != 0) {
        written_ = 0;  // nothing written reached the file
        throwFileFailure(os::kCreateFailed, path_, spool->error);
    }
    std::uint64_t arrived = 0;
    try {
        copyFromStart(asFd(spool->handle), fd, written_, arrived, path_);
        if (::lseek(fd, static_cast<off_t>(written_), SEEK_SET) < 0)
            throwFileFailure(os::kWriteFailed, path_, static_cast<unsigned long>(errno));
    } catch (const FileFailure&) {
        // The file keeps the whole lines that arrived.
        std::uint64_t kept = 0;
        for (const std::uint64_t end : spool->lineEnds)
            if (end <= arrived) kept = end;
        written_ = ::ftruncate(fd, static_cast<off_t>(kept)) == 0 &&
                           ::lseek(fd, static_cast<off_t>(kept), SEEK_SET) >= 0
                       ? kept
                       : arrived;
        throw;
    }
}

OutputFile::~OutputFile() {
    try {
        settle();
    } catch (...) {
        // Closing without reporting, as always; the file keeps its whole lines.
    }
    if (handle_ != -1) ::close(asFd(handle_));
}

void OutputFile::write(const char* data, std::size_t size) {
    if (spool_ &&
        (fileLayerPaths().spoolToTheEnd || !spool_->emptied.load(std::memory_order_acquire))) {
        const std::uint64_t before = written_;
        try {
            writeAll(asFd(spool_->handle), data, size, true, written_, path_, os::kWriteFailed);
            if (size >= 2 && data[size - 2] == '\r' && data[size - 1] == '\n')
                spool_->lineEnds.push_back(written_);
            return;
        } catch (const FileFailure&) {
            // The old content may still hold the blocks the spool needs: the rest waits for the
            // emptying and goes to the file itself.
            const auto spooled = static_cast<std::size_t>(written_ - before);
            data += spooled;
            size -= spooled;
        }
    }
    settle();
    writeAll(asFd(handle_), data, size, false, written_, path_, os::kWriteFailed);
}

bool OutputFile::cutBackTo(std::uint64_t size) noexcept {
    try {
        settle();
    } catch (...) {
        return false;
    }
    if (::ftruncate(asFd(handle_), static_cast<off_t>(size)) != 0 ||
        ::lseek(asFd(handle_), static_cast<off_t>(size), SEEK_SET) < 0)
        return false;
    written_ = size;
    return true;
}

void OutputFile::close() {
    settle();
    const int fd = asFd(handle_);
    handle_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throwFileFailure(os::kCloseFailed, path_, static_cast<unsigned long>(errno));
}

OutputFile OutputFile::openToRewrite(const std::filesystem::path& path) {
    const int fd = openForWriting(path, O_NOFOLLOW);
    if (fd < 0) throwFileFailure(os::kCreateFailed, path, static_cast<unsigned long>(errno));
    OutputFile file(path, fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)
        throwFileFailure(os::kCreateFailed, path, os::kNotOwnFileReason);
    return file;
}

namespace {
int dupOrThrow(int fd, const std::filesystem::path& path) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) throwFileFailure(os::kCreateFailed, path, static_cast<unsigned long>(errno));
    return copy;
}
}  // namespace

namespace {
// Whether no page of the file waits to be written to the disk (cachestat, Linux 6.5 and
// later); false where that cannot be told.
bool nothingToWriteOut(int fd) {
#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
    constexpr long kCachestat = 451;
    struct Range {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;  // to the end
    } range;
    struct Counts {
        std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
    } counts{};
    return ::syscall(kCachestat, fd, &range, &counts, 0) == 0 && counts.dirty == 0 &&
           counts.writeback == 0;
#else
    (void)fd;
    return false;
#endif
}

// Drops the cached pages of the file that a new one is to replace, before the new one is
// written, so that its pages are free to be taken again. Otherwise the new file's pages come on
// top of them: on a VM that hands free memory back to its host, writing a 465 MB copy beside a
// cached old one took 1.1-1.5 s, and 115-161 ms with the old one's pages dropped first. The old
// file stays as it is on the disk. Only where none of its pages waits to be written: dropping
// those would start their write-out, which removing the old file would then wait for.
void dropCachedPagesOf(const std::filesystem::path& target) {
#ifdef POSIX_FADV_DONTNEED
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && nothingToWriteOut(fd))
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
#else
    (void)target;
#endif
}
}  // namespace

// Unnamed (O_TMPFILE) in the target's folder where the file system has it; a new name of its
// own elsewhere. Read and write: the run reads the copy through the same file.
ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
    dropCachedPagesOf(target);
    handle_ = unnamedFileBeside(target, 0666);
    if (handle_ >= 0) return;
    for (int number = 0; number <= os::kOtherNames; ++number) {
        const std::filesystem::path name = os::temporaryName(target, number);
        const int fd =
            ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
            temporary_ = name;
            return;
        }
        if (errno != EEXIST)
            throwFileFailure(os::kCreateFailed, name, static_cast<unsigned long>(errno));
    }
    os::temporaryNamesTaken(target);
}

ReplacementFile::~ReplacementFile() {
    if (!inPlace_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    if (handle_ != -1) ::close(asFd(handle_));
}

OutputFile ReplacementFile::output() {
    return OutputFile(temporary_.empty() ? target_ : temporary_,
                      dupOrThrow(asFd(handle_), target_));
}

namespace {
// Replacing a file by rename makes ext4 write the new one out first (auto_da_alloc), on the
// run's thread: 85-94 ms for the copy of a 100 MB drawing, 350-380 ms for that of a 400 MB one.
// Exchanging the two names, then removing the old file under the temporary one, spares that
// (a copy lost in a crash is made again from its drawing), and the target's name never goes
// missing. Only a regular file is exchanged: anything else is left to rename, which refuses a
// folder. False when the caller must rename.
bool exchangeAndRemoveOld(const std::filesystem::path& temporary,
                          const std::filesystem::path& target) {
#ifdef RENAME_EXCHANGE
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0)
        return false;
    if (::unlink(temporary.c_str()) == 0) return true;
    // What took the target's name meanwhile gets it back.
    ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE);
#else
    (void)temporary;
    (void)target;
#endif
    return false;
}
}  // namespace

// An unnamed file gets a temporary name first, as no call gives it a name that replaces
// another; the exchange or the rename then replaces the target in one step.
std::unique_ptr<InputFile> ReplacementFile::putInPlace() {
    for (int number = 0; temporary_.empty(); ++number) {
        if (number > os::kOtherNames) os::temporaryNamesTaken(target_);
        const std::filesystem::path name = os::temporaryName(target_, number);
        const std::string self = "/proc/self/fd/" + std::to_string(handle_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
        } else if (errno != EEXIST) {
            throwFileFailure(os::kCreateFailed, name, static_cast<unsigned long>(errno));
        }
    }
    if (!exchangeAndRemoveOld(temporary_, target_) &&
        std::rename(temporary_.c_str(), target_.c_str()) != 0)
        throwFileFailure(os::kCreateFailed, target_, static_cast<unsigned long>(errno));
    inPlace_ = true;
    const int fd = dupOrThrow(asFd(handle_), target_);
    return std::unique_ptr<InputFile>(new InputFile(target_, fd));
}

// Without a name where the system allows (O_TMPFILE): nothing is left behind even when the
// program is killed. Elsewhere a new name, removed at once.
ScratchFile::ScratchFile() {
    std::error_code error;
    path_ = std::filesystem::temp_directory_path(error);
    if (error) path_ = "/tmp";
    int fd = -1;
#ifdef O_TMPFILE
    if (fileLayerPaths().unnamedFiles)
        fd = ::open(path_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        std::string name = (path_ / "dxflist-XXXXXX").string();
        // Closed on exec from the start: no program started meanwhile inherits it.
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) throwFileFailure(os::kScratchFailed, path_, static_cast<unsigned long>(errno));
        ::unlink(name.c_str());
    }
    handle_ = fd;
}

ScratchFile::~ScratchFile() {
    ::close(asFd(handle_));
}

FileRegion ScratchFile::append(const char* data, std::size_t size) {
    const FileRegion region{size_, size};
    writeAll(asFd(handle_), data, size, true, size_, path_, os::kScratchWriteFailed);
    return region;
}

void ScratchFile::clear() {
    if (size_ == 0) return;
    if (::ftruncate(asFd(handle_), 0) != 0)
        throwFileFailure(os::kScratchWriteFailed, path_, static_cast<unsigned long>(errno));
    size_ = 0;
}

namespace {
// A socket bound to a name of the abstract namespace made of the folder's device and inode: it
// needs no permission on the folder (only the search permission its path needs anyway), and
// the name goes with the socket, so with the process however it ends. -1 where there is no
// such namespace or no socket to be had; heldElsewhere is set when the name is bound already.
int claimFolderName(const std::filesystem::path& folder, bool& heldElsewhere) {
#ifdef __linux__
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays NUL: the name is abstract, no file is made.
    const int length = std::snprintf(
        address.sun_path + 1, sizeof address.sun_path - 1, "dxflist-folder-%llx-%llx",
        static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino));
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) return fd;
    heldElsewhere = errno == EADDRINUSE;
    ::close(fd);
#else
    (void)folder;
    (void)heldElsewhere;
#endif
    return -1;
}
}  // namespace

// Two claims, each taken where it can be, and every run takes both: the name above, and a flock
// on the open folder, which needs read permission on it but is seen by runs of other network
// namespaces and other machines that share the folder. flock, as for the listing: the lock
// belongs to the open folder, so that two runs in one process see each other too. The folder
// itself is claimed, not a file in it, so that nothing need be created before the run knows it
// may write.
FolderLock::FolderLock(const std::filesystem::path& folder) {
    if (!fileLayerPaths().folderClaims) return;
    name_ = claimFolderName(folder, heldElsewhere_);
    if (heldElsewhere_) return;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        handle_ = fd;
        return;
    }
    heldElsewhere_ = errno == EWOULDBLOCK;
    ::close(fd);
}

FolderLock::~FolderLock() {
    if (handle_ != -1) ::close(asFd(handle_));
    if (name_ != -1) ::close(asFd(name_));
}

void setCurrentFolder(const std::filesystem::path& folder) {
    if (::chdir(folder.c_str()) != 0)
        throwFolderFailure(os::kFolderFailed, folder, static_cast<unsigned long>(errno));
}

}  // namespace dxflist
