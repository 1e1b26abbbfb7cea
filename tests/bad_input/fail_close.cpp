// Preloaded into dxflist-batch by batch_cases.sh: close() of a descriptor of the file whose path
// ends in $DXFLIST_FAIL_CLOSE closes it and then reports EIO, as a network file system may report
// a write that failed only at close. Every other close() is the system's own.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int close(int fd) {
    using Close = int (*)(int);
    static const auto systemClose = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "close"));
    bool failing = false;
    if (const char* name = std::getenv("DXFLIST_FAIL_CLOSE")) {
        char link[64];
        char target[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t size = readlink(link, target, sizeof target - 1);
        const std::size_t nameSize = std::strlen(name);
        failing = size > 0 && static_cast<std::size_t>(size) >= nameSize &&
                  std::memcmp(target + size - nameSize, name, nameSize) == 0;
    }
    const int result = systemClose(fd);
    if (!failing || result != 0) return result;
    errno = EIO;
    return -1;
}
