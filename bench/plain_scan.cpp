// plain_scan SRC DEST: the least a pair lister can do, as a reference for the benchmark. Reads
// SRC in 1 MiB blocks, finds each pair's two CR-ended lines with memchr and writes one line
// per pair (a fixed number prefix, code, ",", value, CR LF) through a 4 MiB buffer. No
// annotation, no numeric test, no error handling worth the name: a yardstick, not a tool.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain_scan SRC DEST\n");
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    constexpr std::size_t kChunk = std::size_t{1} << 20, kOut = 4 * kChunk;
    auto buffer = std::make_unique<char[]>(2 * kChunk);
    auto listing = std::make_unique<char[]>(kOut);
    std::size_t have = 0, used = 0;
    while (in.read(buffer.get() + have, kChunk) || in.gcount() > 0) {
        have += static_cast<std::size_t>(in.gcount());
        char* p = buffer.get();
        char* const end = p + have;
        for (;;) {
            char* cr = static_cast<char*>(std::memchr(p, '\r', end - p));
            if (!cr || cr + 1 >= end) break;
            char* value = cr + (cr[1] == '\n' ? 2 : 1);
            char* cr2 = static_cast<char*>(std::memchr(value, '\r', end - value));
            if (!cr2 || cr2 + 1 >= end) break;
            const std::size_t codeSize = cr - p, valueSize = cr2 - value;
            if (used + codeSize + valueSize + 16 > kOut) {
                out.write(listing.get(), static_cast<std::streamsize>(used));
                used = 0;
            }
            char* to = listing.get() + used;
            std::memcpy(to, "000000:", 7);
            std::memcpy(to + 7, p, codeSize);
            to[7 + codeSize] = ',';
            std::memcpy(to + 8 + codeSize, value, valueSize);
            std::memcpy(to + 8 + codeSize + valueSize, "\r\n", 2);
            used += 10 + codeSize + valueSize;
            p = cr2 + (cr2[1] == '\n' ? 2 : 1);
        }
        have = static_cast<std::size_t>(end - p);
        std::memmove(buffer.get(), p, have);
        if (have > kChunk) break;  // a line longer than a block: out of its league
    }
    out.write(listing.get(), static_cast<std::streamsize>(used));
    return out ? 0 : 1;
}
