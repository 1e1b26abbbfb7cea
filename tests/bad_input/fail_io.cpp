// Preloaded into dxflist-batch by batch_cases.sh, failures the system may give where a test
// cannot make it give them:
// - DXFLIST_FAIL_CLOSE=SUFFIX: close() of a descriptor of the file whose path ends in SUFFIX
//   closes it and then reports EIO, as a network file system may report a write that failed
//   only at close.
// - DXFLIST_FAIL_REOPEN=SUFFIX: open() for writing of a path ending in SUFFIX works once and
//   then fails with EIO, as a file on a network drive that went away.
// - DXFLIST_FAIL_ICONV=1: iconv_open() fails with ENOMEM, as where the system's converter
//   modules are missing or cannot be loaded for want of memory.
// Every other call is the system's own.
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool endsWith(const char* text, std::size_t size, const char* suffix) {
    const std::size_t suffixSize = std::strlen(suffix);
    return size >= suffixSize && std::memcmp(text + size - suffixSize, suffix, suffixSize) == 0;
}

// Whether this open() is to fail: the second and later for writing of a path ending in
// $DXFLIST_FAIL_REOPEN.
bool failsToOpen(const char* path, int flags) {
    static int opened = 0;
    const char* suffix = std::getenv("DXFLIST_FAIL_REOPEN");
    return suffix && (flags & O_ACCMODE) != O_RDONLY && endsWith(path, std::strlen(path), suffix) &&
           ++opened > 1;
}

int openOrFail(const char* path, int flags, std::va_list modes) {
    const bool hasMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = hasMode ? va_arg(modes, mode_t) : 0;
    if (failsToOpen(path, flags)) {
        errno = EIO;
        return -1;
    }
    using Open = int (*)(const char*, int, ...);
    static const auto systemOpen = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    return systemOpen(path, flags, mode);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    std::va_list modes;
    va_start(modes, flags);
    const int fd = openOrFail(path, flags, modes);
    va_end(modes);
    return fd;
}

// The same call under its large-file name, which 64-bit systems give the same meaning.
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));

extern "C" int close(int fd) {
    using Close = int (*)(int);
    static const auto systemClose = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "close"));
    bool failing = false;
    if (const char* suffix = std::getenv("DXFLIST_FAIL_CLOSE")) {
        char link[64];
        char target[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t size = readlink(link, target, sizeof target);
        failing = size > 0 && endsWith(target, static_cast<std::size_t>(size), suffix);
    }
    const int result = systemClose(fd);
    if (!failing || result != 0) return result;
    errno = EIO;
    return -1;
}

extern "C" iconv_t iconv_open(const char* to, const char* from) {
    if (std::getenv("DXFLIST_FAIL_ICONV")) {
        errno = ENOMEM;
        return reinterpret_cast<iconv_t>(-1);
    }
    using Open = iconv_t (*)(const char*, const char*);
    static const auto systemOpen = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    return systemOpen(to, from);
}
