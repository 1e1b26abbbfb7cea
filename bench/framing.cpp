// framing FILE: times the I/O thread's work on each chunk of a binary DXF (DoublesAhead, which
// frames the groups and formats the doubles of a share of each chunk), alone on one thread, with
// the chunks laid out as the binary reader lays them out. Prints the best of 7 passes over the
// file, in ms, for shares of 0 (framing only), 12 and 16 sixteenths. The file is read into memory
// first; only prepare() is timed.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/binary_reader.h"
#include "engine/doubles_ahead.h"
#include "engine/line_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: framing FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
    if (!in || file.empty()) {
        std::fprintf(stderr, "framing: cannot read %s\n", argv[1]);
        return 1;
    }
    constexpr std::size_t kChunk = dxflist::LineReader::kDefaultChunk;
    constexpr std::size_t kAt = kChunk + dxflist::BinaryReader::kKeptMore;
    std::vector<char> buffer(kAt + kChunk + dxflist::BinaryReader::kTail);
    std::printf("%-10s %9s %12s\n", "sixteenths", "best_ms", "entry_bytes");
    for (const std::size_t sixteenths : {0, 12, 16}) {
        double best = 1e9;
        std::size_t entryBytes = 0;
        for (int pass = 0; pass < 7; ++pass) {
            dxflist::DoublesAhead doubles(kAt, dxflist::BinaryReader::kSentinelSize, sixteenths);
            std::chrono::steady_clock::duration spent{};
            entryBytes = 0;
            for (std::size_t offset = 0; offset < file.size(); offset += kChunk) {
                const std::size_t got = std::min(kChunk, file.size() - offset);
                std::memcpy(buffer.data() + kAt, file.data() + offset, got);
                const auto start = std::chrono::steady_clock::now();
                entryBytes += doubles.prepare(buffer.data(), got);
                spent += std::chrono::steady_clock::now() - start;
            }
            best = std::min(best, std::chrono::duration<double, std::milli>(spent).count());
        }
        std::printf("%-10zu %9.2f %12zu\n", sixteenths, best, entryBytes);
    }
}
