// The file layer on Windows: wide paths, handles, no locale, no text mode.

// Built on Windows only (CMake picks it); the guard keeps tools that read every source file
// from taking it for code of this platform.
#ifdef _WIN32
#include <windows.h>

#include <string>
#include <system_error>

#include "engine/failure.h"
#include "engine/os_file.h"
#include "engine/os_file_common.h"

namespace dxflist {

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

namespace os {

// Positioned reads keep the sequential position our own, so a read at an offset cannot disturb
// it.
std::size_t readSomeAt(std::intptr_t handle, std::uint64_t offset, char* buffer, std::size_t size,
                       const std::filesystem::path& path, const char* readFailed) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    if (ReadFile(asHandle(handle), buffer, want, &got, &at)) return got;
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    throwFileFailure(readFailed, path, error);
}

std::filesystem::path nativePath(const std::filesystem::path& path) {
    return systemPath(path);
}

}  // namespace os

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
    const std::wstring name = systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throwFileFailure(os::kOpenFailed, path, os::kNotRegularReason);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(os::kOpenFailed, path, GetLastError());
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throwFileFailure(os::kOpenFailed, path, os::kNotRegularReason);
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

InputFile::~InputFile() {
    CloseHandle(asHandle(handle_));
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
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(os::kCreateFailed, path, GetLastError());
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

std::optional<OutputFile> OutputFile::openExisting(const std::filesystem::path& path) {
    HANDLE h =
        CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return OutputFile(path, reinterpret_cast<std::intptr_t>(h));
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    throwFileFailure(os::kCreateFailed, path, error);
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
        throwFileFailure(os::kCreateFailed, path_, GetLastError());
}

OutputFile::~OutputFile() {
    if (handle_ != -1) CloseHandle(asHandle(handle_));
}

// Windows empties a file in place at once; no spool is ever made here.
void OutputFile::SpoolEnd::operator()(Spool* spool) const {
    delete spool;
}

void OutputFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(asHandle(handle_), data, want, &done, nullptr))
            throwFileFailure(os::kWriteFailed, path_, GetLastError());
        written_ += done;
        data += done;
        size -= done;
    }
}

bool OutputFile::cutBackTo(std::uint64_t size) noexcept {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(asHandle(handle_), at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(asHandle(handle_)))
        return false;
    written_ = size;
    return true;
}

void OutputFile::close() {
    HANDLE h = asHandle(handle_);
    handle_ = -1;
    if (!CloseHandle(h)) throwFileFailure(os::kCloseFailed, path_, GetLastError());
}

OutputFile OutputFile::openToRewrite(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) throwFileFailure(os::kCreateFailed, path, GetLastError());
    OutputFile file(path, reinterpret_cast<std::intptr_t>(h));
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        info.nNumberOfLinks != 1)
        throwFileFailure(os::kCreateFailed, path, os::kNotOwnFileReason);
    return file;
}

namespace {
// Marks the file to be deleted when its last handle closes, or takes the mark back.
bool deleteOnClose(HANDLE h, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove;
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

std::intptr_t duplicateOrThrow(std::intptr_t handle, const std::filesystem::path& path) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), asHandle(handle), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        throwFileFailure(os::kCreateFailed, path, GetLastError());
    return reinterpret_cast<std::intptr_t>(copy);
}
}  // namespace

// A file has a name on Windows from the start; marked to be deleted with its last handle, it
// goes with the process however that ends, until the mark is taken back to put it in place.
ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
    for (int number = 0; number <= os::kOtherNames; ++number) {
        const std::filesystem::path name = os::temporaryName(target, number);
        HANDLE h = CreateFileW(systemPath(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(h);
            temporary_ = name;
            deleteOnClose(h, true);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            throwFileFailure(os::kCreateFailed, name, error);
    }
    os::temporaryNamesTaken(target);
}

ReplacementFile::~ReplacementFile() {
    if (handle_ == -1) return;
    const bool marked = inPlace_ || deleteOnClose(asHandle(handle_), true);
    CloseHandle(asHandle(handle_));
    if (!marked) DeleteFileW(systemPath(temporary_).c_str());
}

OutputFile ReplacementFile::output() {
    return OutputFile(temporary_, duplicateOrThrow(handle_, temporary_));
}

// The file is read through a handle of its own without DELETE access: while a handle with it is
// open, nobody can open the copy without sharing deletion, which viewers do not. That handle is
// opened by the temporary name, which only this run knows, before the file moves.
std::unique_ptr<InputFile> ReplacementFile::putInPlace() {
    HANDLE h = asHandle(handle_);
    deleteOnClose(h, false);
    HANDLE reading = CreateFileW(systemPath(temporary_).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (reading == INVALID_HANDLE_VALUE)
        throwFileFailure(os::kOpenFailed, temporary_, GetLastError());
    std::unique_ptr<InputFile> made(
        new InputFile(target_, reinterpret_cast<std::intptr_t>(reading)));
    if (!MoveFileExW(systemPath(temporary_).c_str(), systemPath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING))
        throwFileFailure(os::kCreateFailed, target_, GetLastError());
    inPlace_ = true;
    CloseHandle(h);
    handle_ = -1;
    return made;
}

ScratchFile::ScratchFile() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    path_ =
        length ? std::filesystem::path(std::wstring(folder, length)) : std::filesystem::path(L".");
    DWORD error = 0;
    // The process number keeps the names of two programs apart; they are deleted with their
    // handles, so the names of one process are few.
    for (int number = 0; number <= os::kOtherNames; ++number) {
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
    throwFileFailure(os::kScratchFailed, path_, error);
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
            throwFileFailure(os::kScratchWriteFailed, path_, GetLastError());
        size_ += done;
        data += done;
        size -= done;
    }
    return region;
}

void ScratchFile::clear() {
    if (size_ == 0) return;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(asHandle(handle_), start, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(asHandle(handle_)))
        throwFileFailure(os::kScratchWriteFailed, path_, GetLastError());
    size_ = 0;
}

// A folder cannot be locked as a file can; a semaphore named after the folder's identity (its
// volume and file index, the same for every path that leads to it) stands for it. A semaphore,
// not a mutex, which its owner could take twice: two runs in one thread must see each other.
// Global, so that runs of every user logged on to this computer see it; made so that every user
// may open it. Runs on other computers sharing the folder do not see it.
FolderLock::FolderLock(const std::filesystem::path& folder) {
    if (!fileLayerPaths().folderClaims) return;
    HANDLE h = CreateFileW(systemPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!known) return;
    wchar_t name[64];
    swprintf(name, 64, L"Global\\dxflist-folder-%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
             info.nFileIndexHigh, info.nFileIndexLow);
    // No access list: the semaphore of a run of another user can be opened and waited for.
    SECURITY_DESCRIPTOR everyone;
    InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &everyone, FALSE};
    HANDLE semaphore = CreateSemaphoreW(&attributes, 1, 1, name);
    if (!semaphore) {
        // It exists but this run may not open it (a run at a higher integrity level made it):
        // it exists only while a run holds it.
        heldElsewhere_ = GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    // A run that was killed holding it released it with its handle: then the semaphore is new.
    if (WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0) {
        name_ = reinterpret_cast<std::intptr_t>(semaphore);
        return;
    }
    heldElsewhere_ = true;
    CloseHandle(semaphore);
}

FolderLock::~FolderLock() {
    if (name_ == -1) return;
    ReleaseSemaphore(asHandle(name_), 1, nullptr);
    CloseHandle(asHandle(name_));
}

void setCurrentFolder(const std::filesystem::path& folder) {
    if (!SetCurrentDirectoryW(systemPath(folder).c_str()))
        throwFolderFailure(os::kFolderFailed, folder, GetLastError());
}

}  // namespace dxflist
#endif  // _WIN32
