#include "engine/failure.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#endif

namespace dxflist {

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32
std::string osErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(code);
    return pathText(std::filesystem::path(text));
}

bool isAccessDenied(unsigned long osError) {
    return osError == ERROR_ACCESS_DENIED;
}
#else
std::string osErrorText(unsigned long code) {
    return std::strerror(static_cast<int>(code));
}

bool isAccessDenied(unsigned long osError) {
    return osError == EACCES || osError == EPERM;
}
#endif

namespace {
std::string fileMessage(std::string_view what, const std::filesystem::path& file,
                        std::string_view reason, std::string_view label = "ファイル") {
    std::string message(what);
    message += "\n\n";
    message += label;
    message += ": ";
    message += pathText(file);
    message += "\n理由: ";
    message += reason;
    return message;
}
}  // namespace

void throwFileFailure(std::string_view what, const std::filesystem::path& file,
                      unsigned long osError) {
    throw FileFailure(fileMessage(what, file, osErrorText(osError)), osError);
}

void throwFileFailure(std::string_view what, const std::filesystem::path& file,
                      std::string_view reason) {
    throw Failure(fileMessage(what, file, reason));
}

void throwSourceCut(const std::filesystem::path& file, std::string_view what,
                    std::string_view reason) {
    throw SourceCut(fileMessage(what, file, reason));
}

void throwFolderFailure(std::string_view what, const std::filesystem::path& folder,
                        unsigned long osError) {
    throw FileFailure(fileMessage(what, folder, osErrorText(osError), "フォルダ"), osError);
}

void throwFolderFailure(std::string_view what, const std::filesystem::path& folder,
                        std::string_view reason) {
    throw Failure(fileMessage(what, folder, reason, "フォルダ"));
}

}  // namespace dxflist
