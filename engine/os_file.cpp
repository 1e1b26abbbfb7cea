#include "engine/os_file.h"

#include <string>
#include <system_error>

#include "engine/failure.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#endif

namespace dxflist {
namespace {

constexpr const char* kOpenFailed = "ファイルを開けません。";
constexpr const char* kReadFailed = "ファイルを読み込めません。";
constexpr const char* kNotRegularReason =
    "通常のファイルではありません（フォルダ、デバイス、パイプなど）。";
constexpr const char* kChanged = "ファイルが読み込み中に変更されました。";
constexpr const char* kChangedReason =
    "読み込んだ部分をもう一度読むと、ファイルがそこまで届いていません。";
constexpr const char* kCreateFailed = "ファイルを作成できません。";
constexpr const char* kWriteFailed = "ファイルに書き込めません。";
constexpr const char* kScratchFailed = "一時ファイルを作成できません。";
constexpr const char* kScratchWriteFailed = "一時ファイルに書き込めません。";
constexpr const char* kScratchReadFailed = "一時ファイルを読み込めません。";
constexpr const char* kFolderFailed = "プログラムのフォルダを現在のフォルダにできません。";
// Names tried after the usual one is taken: name.1 to name.99.
constexpr int kOtherNames = 99;
constexpr const char* kCloseFailed =
    "ファイルを閉じられません（書き込みが完了していない可能性があります）。";

std::filesystem::path numberedName(const std::filesystem::path& path, int number) {
    if (number == 0) return path;
    std::filesystem::path name = path;
    name += "." + std::to_string(number);
    return name;
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_), written_(other.written_) {
    other.handle_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    OutputFile old(std::move(*this));  // closes the file this held
    path_ = std::move(other.path_);
    handle_ = other.handle_;
    written_ = other.written_;
    other.handle_ = -1;
    return *this;
}

#ifdef _WIN32

namespace {
HANDLE asHandle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// Windows refuses paths of MAX_PATH characters or more unless they come in the \\?\ form,
// which must be absolute and use backslashes only. Deep project folders are common.
std::wstring systemPath(const std::filesystem::path& path) {
    std::wstring text = path.wstring();
    if (text.size() < 248 || text.starts_with(L"\\\\?\\") || text.starts_with(L"\\\\.\\"))
        return text;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error) return text;
    text = full.lexically_normal().wstring();
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    if (text.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + text.substr(2);
    return L"\\\\?\\" + text;
}
}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
    const std::wstring name = systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throwFileFailure(kOpenFailed, path, kNotRegularReason);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(kOpenFailed, path, GetLastError());
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throwFileFailure(kOpenFailed, path, kNotRegularReason);
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

InputFile::~InputFile() {
    CloseHandle(asHandle(handle_));
}

namespace {
// Positioned reads keep the sequential position our own, so readAt cannot disturb it.
std::size_t readAtOffset(HANDLE h, std::uint64_t offset, char* buffer, std::size_t size,
                         DWORD& error) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (!ReadFile(h, buffer, want, &got, &at)) {
        error = GetLastError();
        if (error == ERROR_HANDLE_EOF) error = 0;
        return 0;
    }
    error = 0;
    return got;
}
}  // namespace

std::size_t InputFile::read(char* buffer, std::size_t size) {
    DWORD error = 0;
    const std::size_t got = readAtOffset(asHandle(handle_), position_, buffer, size, error);
    if (error) throwFileFailure(kReadFailed, path_, error);
    position_ += got;
    return got;
}

namespace {
// Reads exactly `size` bytes at `offset`; a file that ends before them has changed under us.
void readExactlyAt(HANDLE h, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::filesystem::path& path, const char* readFailed,
                   const char* endedEarly) {
    while (size > 0) {
        DWORD error = 0;
        const std::size_t got = readAtOffset(h, offset, buffer, size, error);
        if (error) throwFileFailure(readFailed, path, error);
        if (got == 0) throwFileFailure(endedEarly, path, kChangedReason);
        offset += got;
        buffer += got;
        size -= got;
    }
}
}  // namespace

void InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    readExactlyAt(asHandle(handle_), offset, buffer, size, path_, kReadFailed, kChanged);
}

std::uint64_t InputFile::size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(asHandle(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

// Other programs may read the file while it is written; FILE_SHARE_WRITE lets a second run
// open it far enough to find the lock of the first.
OutputFile::OutputFile(const std::filesystem::path& path, Mode mode) : path_(path) {
    HANDLE h = CreateFileW(
        systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        mode == Mode::Replace ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(kCreateFailed, path, GetLastError());
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

OutputFile OutputFile::createNew(const std::filesystem::path& path) {
    DWORD error = 0;
    for (int number = 0; number <= kOtherNames; ++number) {
        const std::filesystem::path name = numberedName(path, number);
        HANDLE h = CreateFileW(systemPath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return OutputFile(name, reinterpret_cast<std::intptr_t>(h));
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    throwFileFailure(kCreateFailed, path, error);
}

std::optional<OutputFile> OutputFile::openExisting(const std::filesystem::path& path) {
    HANDLE h =
        CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return OutputFile(path, reinterpret_cast<std::intptr_t>(h));
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    throwFileFailure(kCreateFailed, path, error);
}

// One byte far beyond any end the file will have: the lock keeps other runs out without
// keeping readers from the text.
bool OutputFile::tryLock() {
    HANDLE h = asHandle(handle_);
    if (GetFileType(h) != FILE_TYPE_DISK) return true;
    OVERLAPPED at{};
    at.OffsetHigh = 0x7fffffff;
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    const DWORD error = GetLastError();
    return error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION &&
           error != ERROR_IO_PENDING;
}

void OutputFile::truncate() {
    HANDLE h = asHandle(handle_);
    if (GetFileType(h) != FILE_TYPE_DISK) return;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN) || !SetEndOfFile(h))
        throwFileFailure(kCreateFailed, path_, GetLastError());
}

OutputFile::~OutputFile() {
    if (handle_ != -1) CloseHandle(asHandle(handle_));
}

void OutputFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(asHandle(handle_), data, want, &done, nullptr))
            throwFileFailure(kWriteFailed, path_, GetLastError());
        written_ += done;
        data += done;
        size -= done;
    }
}

void OutputFile::truncateNoThrow(std::uint64_t size) noexcept {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (SetFilePointerEx(asHandle(handle_), at, nullptr, FILE_BEGIN))
        SetEndOfFile(asHandle(handle_));
}

void OutputFile::close() {
    HANDLE h = asHandle(handle_);
    handle_ = -1;
    if (!CloseHandle(h)) throwFileFailure(kCloseFailed, path_, GetLastError());
}

void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        throwFileFailure(kCreateFailed, to, GetLastError());
}

void removeFileNoThrow(const std::filesystem::path& path) noexcept {
    try {
        DeleteFileW(systemPath(path).c_str());
    } catch (...) {
        // Out of memory for the name: the file stays, which is all this can do.
    }
}

ScratchFile::ScratchFile() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    path_ =
        length ? std::filesystem::path(std::wstring(folder, length)) : std::filesystem::path(L".");
    DWORD error = 0;
    for (unsigned number = 0; number <= 1000; ++number) {
        const std::filesystem::path name =
            path_ / (L"dxflist-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(number) + L".tmp");
        HANDLE h =
            CreateFileW(systemPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            path_ = name;
            handle_ = reinterpret_cast<std::intptr_t>(h);
            return;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    throwFileFailure(kScratchFailed, path_, error);
}

ScratchFile::~ScratchFile() {
    CloseHandle(asHandle(handle_));
}

FileRegion ScratchFile::append(const char* data, std::size_t size) {
    const FileRegion region{size_, size};
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size_);
        at.OffsetHigh = static_cast<DWORD>(size_ >> 32);
        const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(asHandle(handle_), data, want, &done, &at))
            throwFileFailure(kScratchWriteFailed, path_, GetLastError());
        size_ += done;
        data += done;
        size -= done;
    }
    return region;
}

void ScratchFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    readExactlyAt(asHandle(handle_), offset, buffer, size, path_, kScratchReadFailed,
                  kScratchReadFailed);
}

void ScratchFile::clear() {
    if (size_ == 0) return;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(asHandle(handle_), start, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(asHandle(handle_)))
        throwFileFailure(kScratchWriteFailed, path_, GetLastError());
    size_ = 0;
}

void setCurrentFolder(const std::filesystem::path& folder) {
    if (!SetCurrentDirectoryW(systemPath(folder).c_str()))
        throwFileFailure(kFolderFailed, folder, GetLastError());
}

#else

namespace {
int asFd(std::intptr_t h) {
    return static_cast<int>(h);
}
}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused just below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throwFileFailure(kOpenFailed, path, static_cast<unsigned long>(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throwFileFailure(kOpenFailed, path, kNotRegularReason);
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

std::size_t InputFile::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(asFd(handle_), buffer, size);
        if (got >= 0) {
            position_ += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) throwFileFailure(kReadFailed, path_, static_cast<unsigned long>(errno));
    }
}

namespace {
// Reads exactly `size` bytes at `offset`; a file that ends before them has changed under us.
void readExactlyAt(int fd, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::filesystem::path& path, const char* readFailed,
                   const char* endedEarly) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            throwFileFailure(readFailed, path, static_cast<unsigned long>(errno));
        }
        if (got == 0) throwFileFailure(endedEarly, path, kChangedReason);
        offset += static_cast<std::uint64_t>(got);
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
}
}  // namespace

void InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    readExactlyAt(asFd(handle_), offset, buffer, size, path_, kReadFailed, kChanged);
}

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
}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path, Mode mode) : path_(path) {
    const int fd = openForWriting(path, mode == Mode::Replace ? O_CREAT | O_TRUNC : O_CREAT);
    if (fd < 0) throwFileFailure(kCreateFailed, path, static_cast<unsigned long>(errno));
    handle_ = fd;
}

OutputFile OutputFile::createNew(const std::filesystem::path& path) {
    int error = 0;
    for (int number = 0; number <= kOtherNames; ++number) {
        const std::filesystem::path name = numberedName(path, number);
        const int fd = openForWriting(name, O_CREAT | O_EXCL | O_NOFOLLOW);
        if (fd >= 0) return OutputFile(name, fd);
        error = errno;
        if (error != EEXIST) break;
    }
    throwFileFailure(kCreateFailed, path, static_cast<unsigned long>(error));
}

std::optional<OutputFile> OutputFile::openExisting(const std::filesystem::path& path) {
    const int fd = openForWriting(path, 0);
    if (fd >= 0) return OutputFile(path, fd);
    if (errno == ENOENT) return std::nullopt;
    throwFileFailure(kCreateFailed, path, static_cast<unsigned long>(errno));
}

// flock, not fcntl: its locks belong to the open file, so that two runs in one process see
// each other too, and closing some other descriptor of the file does not drop them.
bool OutputFile::tryLock() {
    if (::flock(asFd(handle_), LOCK_EX | LOCK_NB) == 0) return true;
    return errno != EWOULDBLOCK;
}

void OutputFile::truncate() {
    struct stat info {};
    if (::fstat(asFd(handle_), &info) != 0 || !S_ISREG(info.st_mode)) return;
    if (::ftruncate(asFd(handle_), 0) != 0)
        throwFileFailure(kCreateFailed, path_, static_cast<unsigned long>(errno));
}

OutputFile::~OutputFile() {
    if (handle_ != -1) ::close(asFd(handle_));
}

void OutputFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(asFd(handle_), data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            throwFileFailure(kWriteFailed, path_, static_cast<unsigned long>(errno));
        }
        written_ += static_cast<std::uint64_t>(done);
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

void OutputFile::truncateNoThrow(std::uint64_t size) noexcept {
    if (::ftruncate(asFd(handle_), static_cast<off_t>(size)) == 0)
        ::lseek(asFd(handle_), static_cast<off_t>(size), SEEK_SET);
}

void OutputFile::close() {
    const int fd = asFd(handle_);
    handle_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throwFileFailure(kCloseFailed, path_, static_cast<unsigned long>(errno));
}

void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throwFileFailure(kCreateFailed, to, static_cast<unsigned long>(errno));
}

void removeFileNoThrow(const std::filesystem::path& path) noexcept {
    ::unlink(path.c_str());
}

// Without a name where the system allows (O_TMPFILE): nothing is left behind even when the
// program is killed. Elsewhere a new name, removed at once.
ScratchFile::ScratchFile() {
    std::error_code error;
    path_ = std::filesystem::temp_directory_path(error);
    if (error) path_ = "/tmp";
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(path_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        std::string name = (path_ / "dxflist-XXXXXX").string();
        fd = ::mkstemp(name.data());
        if (fd < 0) throwFileFailure(kScratchFailed, path_, static_cast<unsigned long>(errno));
        ::unlink(name.c_str());
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    handle_ = fd;
}

ScratchFile::~ScratchFile() {
    ::close(asFd(handle_));
}

FileRegion ScratchFile::append(const char* data, std::size_t size) {
    const FileRegion region{size_, size};
    while (size > 0) {
        const ssize_t done = ::pwrite(asFd(handle_), data, size, static_cast<off_t>(size_));
        if (done < 0) {
            if (errno == EINTR) continue;
            throwFileFailure(kScratchWriteFailed, path_, static_cast<unsigned long>(errno));
        }
        size_ += static_cast<std::uint64_t>(done);
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return region;
}

void ScratchFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    readExactlyAt(asFd(handle_), offset, buffer, size, path_, kScratchReadFailed,
                  kScratchReadFailed);
}

void ScratchFile::clear() {
    if (size_ == 0) return;
    if (::ftruncate(asFd(handle_), 0) != 0)
        throwFileFailure(kScratchWriteFailed, path_, static_cast<unsigned long>(errno));
    size_ = 0;
}

void setCurrentFolder(const std::filesystem::path& folder) {
    if (::chdir(folder.c_str()) != 0)
        throwFileFailure(kFolderFailed, folder, static_cast<unsigned long>(errno));
}

#endif

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
#ifdef _WIN32
    return std::filesystem::equivalent(systemPath(a), systemPath(b), error) && !error;
#else
    return std::filesystem::equivalent(a, b, error) && !error;
#endif
}

}  // namespace dxflist
