// binary_scan SRC DEST: the least a lister of binary DXF can do, as a reference for the
// benchmark. Reads SRC (two-byte codes) in 1 MiB blocks, takes each group's value by its code's
// type and writes one line per group (a fixed number prefix, code, ",", the value as its ASCII
// twin has it, CR LF) through a 4 MiB buffer. The values are formatted as dxflist formats them;
// no annotation, no line numbers, no checks worth the name: a yardstick, not a tool.
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "engine/binary_values.h"

namespace {

using dxflist::BinaryType;

std::uint64_t littleEndian(const char* bytes, std::size_t size) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, bytes, size);  // the benchmark runs on little-endian machines
    return bits;
}

// Writes the line of the group at `p` to `to`, when the group is whole before `end`: returns
// the group's end, or null.
const char* putGroup(const char* p, const char* end, char*& to) {
    if (end - p < 2) return nullptr;
    const unsigned code = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
    const char* value = p + 2;
    const auto left = static_cast<std::size_t>(end - value);
    char* line = to;
    std::memcpy(line, "000000:", 7);
    line = std::to_chars(line + 7, line + 12, code).ptr;
    *line++ = ',';
    std::size_t size = 0;
    switch (dxflist::binaryTypeOf(code)) {
        case BinaryType::String: {
            const void* nul = std::memchr(value, 0, left);
            if (!nul) return nullptr;
            size = static_cast<std::size_t>(static_cast<const char*>(nul) - value);
            std::memcpy(line, value, size);
            line += size;
            ++size;
            break;
        }
        case BinaryType::Double:
            if (left < 8) return nullptr;
            line = dxflist::formatDouble(std::bit_cast<double>(littleEndian(value, 8)), line);
            size = 8;
            break;
        case BinaryType::Int16:
            if (left < 2) return nullptr;
            line = std::to_chars(line, line + 8, static_cast<std::int16_t>(littleEndian(value, 2)))
                       .ptr;
            size = 2;
            break;
        case BinaryType::Int32:
            if (left < 4) return nullptr;
            line = std::to_chars(line, line + 12, static_cast<std::int32_t>(littleEndian(value, 4)))
                       .ptr;
            size = 4;
            break;
        case BinaryType::Int64:
            if (left < 8) return nullptr;
            line = std::to_chars(line, line + 24, static_cast<std::int64_t>(littleEndian(value, 8)))
                       .ptr;
            size = 8;
            break;
        case BinaryType::Bool:
            if (left < 1) return nullptr;
            line = std::to_chars(line, line + 4, static_cast<unsigned char>(value[0])).ptr;
            size = 1;
            break;
        case BinaryType::Chunk:
            if (left < 1 || left < 1u + static_cast<unsigned char>(value[0])) return nullptr;
            size = 1 + static_cast<unsigned char>(value[0]);
            line = dxflist::formatHex(reinterpret_cast<const unsigned char*>(value + 1), size - 1,
                                      line);
            break;
        case BinaryType::Unknown:
            return nullptr;
    }
    std::memcpy(line, "\r\n", 2);
    to = line + 2;
    return value + size;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: binary_scan SRC DEST\n");
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    constexpr std::size_t kChunk = std::size_t{1} << 20, kOut = 4 * kChunk, kLineMost = 1024;
    auto buffer = std::make_unique<char[]>(2 * kChunk);
    auto listing = std::make_unique<char[]>(kOut);
    std::size_t have = 0;
    char* to = listing.get();
    bool start = true;
    while (in.read(buffer.get() + have, kChunk) || in.gcount() > 0) {
        have += static_cast<std::size_t>(in.gcount());
        const char* p = buffer.get() + (start ? 22 : 0);  // past the sentinel
        start = false;
        const char* const end = buffer.get() + have;
        for (;;) {
            if (to + kLineMost > listing.get() + kOut) {
                out.write(listing.get(), to - listing.get());
                to = listing.get();
            }
            const char* next = putGroup(p, end, to);
            if (!next) break;
            p = next;
        }
        have = static_cast<std::size_t>(end - p);
        std::memmove(buffer.get(), p, have);
        if (have > kChunk) break;  // a string longer than a block: out of its league
    }
    out.write(listing.get(), to - listing.get());
    return out ? 0 : 1;
}
