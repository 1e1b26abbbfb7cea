#include "tests/platform_cp932.h"

#include "engine/failure.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <cerrno>
#endif

namespace dxflist::test {
namespace {

[[noreturn]] void conversionFailed(std::string_view utf8, std::string_view reason) {
    std::string message = "文字列をコードページ932に変換できません: ";
    message += utf8;
    message += "\n理由: ";
    message += reason;
    throw Failure(message);
}

}  // namespace

#ifdef _WIN32

std::string utf8ToCp932(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int wideSize =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wideSize <= 0) conversionFailed(utf8, osErrorText(GetLastError()));
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wideSize);
    BOOL usedDefault = FALSE;
    const int outSize = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize,
                                            nullptr, 0, nullptr, &usedDefault);
    if (outSize <= 0) conversionFailed(utf8, osErrorText(GetLastError()));
    std::string out(static_cast<std::size_t>(outSize), '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, out.data(), outSize,
                        nullptr, &usedDefault);
    if (usedDefault) conversionFailed(utf8, "no code page 932 form");
    return out;
}

#else

std::string utf8ToCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) conversionFailed(utf8, osErrorText(errno));
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &next, &outLeft);
    const int error = errno;
    iconv_close(cd);
    // A non-zero count means characters were converted irreversibly (approximated).
    if (result == static_cast<std::size_t>(-1)) conversionFailed(utf8, osErrorText(error));
    if (result != 0) conversionFailed(utf8, "no code page 932 form");
    out.resize(out.size() - outLeft);
    return out;
}

#endif

}  // namespace dxflist::test
