#pragma once
// The listing's own texts in code page 932, the listing's encoding, made when the program is
// built: no run depends on the system's converter, which may be missing and, where memory is
// short, fail to load (a run then ended with a conversion failure instead of the message that
// memory is short).

#include <cstddef>
#include <string>
#include <string_view>

namespace dxflist {

// The characters beyond ASCII that the listing's texts use, with their two bytes in code page
// 932.
struct Cp932Char {
    char32_t code;
    unsigned char first;
    unsigned char second;
};
inline constexpr Cp932Char kCp932Chars[] = {
    {U'　', 0x81, 0x40}, {U'こ', 0x82, 0xB1}, {U'た', 0x82, 0xBD}, {U'と', 0x82, 0xC6},
    {U'の', 0x82, 0xCC}, {U'ま', 0x82, 0xDC}, {U'み', 0x82, 0xDD}, {U'り', 0x82, 0xE8},
    {U'ろ', 0x82, 0xEB}, {U'わ', 0x82, 0xED}, {U'ァ', 0x83, 0x40}, {U'イ', 0x83, 0x43},
    {U'ェ', 0x83, 0x46}, {U'オ', 0x83, 0x49}, {U'ク', 0x83, 0x4E}, {U'グ', 0x83, 0x4F},
    {U'コ', 0x83, 0x52}, {U'シ', 0x83, 0x56}, {U'ジ', 0x83, 0x57}, {U'セ', 0x83, 0x5A},
    {U'チ', 0x83, 0x60}, {U'ッ', 0x83, 0x62}, {U'ト', 0x83, 0x67}, {U'ド', 0x83, 0x68},
    {U'フ', 0x83, 0x74}, {U'ブ', 0x83, 0x75}, {U'プ', 0x83, 0x76}, {U'メ', 0x83, 0x81},
    {U'ョ', 0x83, 0x87}, {U'ル', 0x83, 0x8B}, {U'ン', 0x83, 0x93}, {U'ー', 0x81, 0x5B},
    {U'了', 0x97, 0xB9}, {U'値', 0x92, 0x6C}, {U'処', 0x8F, 0x88}, {U'出', 0x8F, 0x6F},
    {U'始', 0x8E, 0x6E}, {U'時', 0x8E, 0x9E}, {U'未', 0x96, 0xA2}, {U'検', 0x8C, 0x9F},
    {U'理', 0x97, 0x9D}, {U'端', 0x92, 0x5B}, {U'終', 0x8F, 0x49}, {U'読', 0x93, 0xC7},
    {U'込', 0x8D, 0x9E},
};

// A text of up to kMost bytes in code page 932.
struct Cp932Text {
    static constexpr std::size_t kMost = 96;
    char bytes[kMost] = {};
    std::size_t size = 0;
    std::string_view view() const { return {bytes, size}; }
    std::string str() const { return std::string(view()); }
};

// `utf8` in code page 932; a character outside ASCII and kCp932Chars, or a text too long, stops
// the build.
consteval Cp932Text toCp932(std::string_view utf8) {
    Cp932Text text;
    const auto put = [&](unsigned char byte) {
        if (text.size == Cp932Text::kMost) throw "a text longer than Cp932Text::kMost";
        text.bytes[text.size++] = static_cast<char>(byte);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            put(lead);
            ++i;
            continue;
        }
        // The table's characters all take three bytes in UTF-8.
        if ((lead & 0xF0) != 0xE0 || i + 3 > utf8.size()) throw "not a three-byte character";
        const char32_t code = char32_t{lead & 0x0Fu} << 12 |
                              char32_t{static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu} << 6 |
                              char32_t{static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu};
        i += 3;
        const Cp932Char* found = nullptr;
        for (const Cp932Char& entry : kCp932Chars)
            if (entry.code == code) found = &entry;
        if (!found) throw "a character missing from kCp932Chars";
        put(found->first);
        put(found->second);
    }
    return text;
}

}  // namespace dxflist
