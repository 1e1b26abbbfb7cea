#include "engine/os_file.h"

#include <system_error>

#include "engine/failure.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
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
constexpr const char* kCloseFailed =
    "ファイルを閉じられません（書き込みが完了していない可能性があります）。";

}  // namespace

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

void InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    while (size > 0) {
        DWORD error = 0;
        const std::size_t got = readAtOffset(asHandle(handle_), offset, buffer, size, error);
        if (error) throwFileFailure(kReadFailed, path_, error);
        if (got == 0) throwFileFailure(kChanged, path_, kChangedReason);
        offset += got;
        buffer += got;
        size -= got;
    }
}

std::uint64_t InputFile::size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(asHandle(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

OutputFile::OutputFile(const std::filesystem::path& path) : path_(path) {
    HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(kCreateFailed, path, GetLastError());
    handle_ = reinterpret_cast<std::intptr_t>(h);
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

void InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::pread(asFd(handle_), buffer, size, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            throwFileFailure(kReadFailed, path_, static_cast<unsigned long>(errno));
        }
        if (got == 0) throwFileFailure(kChanged, path_, kChangedReason);
        offset += static_cast<std::uint64_t>(got);
        buffer += got;
        size -= static_cast<std::size_t>(got);
    }
}

std::uint64_t InputFile::size() const {
    struct stat info {};
    return ::fstat(asFd(handle_), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

OutputFile::OutputFile(const std::filesystem::path& path) : path_(path) {
    // O_NONBLOCK: a FIFO in place of the file fails at once instead of waiting for a reader.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) throwFileFailure(kCreateFailed, path, static_cast<unsigned long>(errno));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    handle_ = fd;
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
