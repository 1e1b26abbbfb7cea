#pragma once
// Line texts that may be too long to hold: short lines stay in memory, long ones are kept as
// regions of the source file and copied from there when they are written.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace dxflist {

inline constexpr std::size_t kReadPadding = 16;

// Copies without a library call for the few bytes most lines and listing pieces have.
template <class Word>
void copyOverlapping(char* to, const char* from, std::size_t n) {
    // Two word copies that overlap in the middle cover any n from one to two words.
    Word head, tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

inline void copyShort(char* to, const char* from, std::size_t n) {
    if (n >= 16) {
        std::memcpy(to, from, n);
    } else if (n >= 8) {
        copyOverlapping<std::uint64_t>(to, from, n);
    } else if (n >= 4) {
        copyOverlapping<std::uint32_t>(to, from, n);
    } else if (n >= 2) {
        copyOverlapping<std::uint16_t>(to, from, n);
    } else if (n == 1) {
        *to = *from;
    }
}

// Bytes of the source file, [offset, offset + size).
struct FileRegion {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// One line's bytes: a view into memory, or a region of the source file. A region is used only
// for lines longer than any keyword, so a region never equals a keyword.
struct TextRef {
    std::string_view mem;
    FileRegion region;
    bool inFile = false;
    // The memory behind `mem` may be read kReadPadding bytes from its start, whatever its
    // size, so that a short text can be copied as one fixed-size block.
    bool padded = false;

    // Bytes in memory.
    static TextRef of(std::string_view bytes) { return {bytes, {}, false, false}; }
    // Bytes in memory that may be read kReadPadding bytes from their start.
    static TextRef ofPadded(std::string_view bytes) { return {bytes, {}, false, true}; }
    // Bytes of the source file.
    static TextRef inSource(const FileRegion& region) { return {{}, region, true, false}; }

    bool is(std::string_view text) const { return !inFile && mem == text; }
};

}  // namespace dxflist
