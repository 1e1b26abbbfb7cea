// dxflist-binary-twin: writes the binary DXF twin of a CR LF ASCII DXF, for timing binary
// listings on the benchmark's drawing.
//
// Usage: dxflist-binary-twin IN.dxf OUT.dxf
//
// Two-byte codes (R13 and later); each value converted by its code's type. A value that does not
// fit its type (a number that is no number) fails: the drawing is the generator's, not a user's.

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "engine/binary_values.h"

namespace {

using dxflist::BinaryType;

template <class Integer>
void putLittleEndian(std::string& out, Integer value, std::size_t size) {
    auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < size; ++i, bits >>= 8) out += static_cast<char>(bits & 255);
}

template <class Number>
Number parse(std::string_view text, unsigned code) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error("code " + std::to_string(code) +
                                 ": not a number: " + std::string(text));
    return value;
}

void putValue(std::string& out, unsigned code, std::string_view value) {
    switch (dxflist::binaryTypeOf(code)) {
        case BinaryType::Double:
            putLittleEndian(out, std::bit_cast<std::uint64_t>(parse<double>(value, code)), 8);
            break;
        case BinaryType::Int16:
            putLittleEndian(out, parse<std::int16_t>(value, code), 2);
            break;
        case BinaryType::Int32:
            putLittleEndian(out, parse<std::int32_t>(value, code), 4);
            break;
        case BinaryType::Int64:
            putLittleEndian(out, parse<std::int64_t>(value, code), 8);
            break;
        case BinaryType::Bool:
            putLittleEndian(out, parse<std::uint8_t>(value, code), 1);
            break;
        case BinaryType::Chunk:
            out += static_cast<char>(value.size() / 2);
            for (std::size_t i = 0; i + 1 < value.size(); i += 2)
                out += static_cast<char>(std::stoi(std::string(value.substr(i, 2)), nullptr, 16));
            break;
        case BinaryType::String:
            out.append(value).push_back('\0');
            break;
        case BinaryType::Unknown:
            throw std::runtime_error("code " + std::to_string(code) + " is no DXF code");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.dxf OUT.dxf\n", argv[0]);
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        std::ofstream out(argv[2], std::ios::binary);
        if (!in || !out) throw std::runtime_error("cannot open the files");
        std::string bytes("AutoCAD Binary DXF\r\n\x1a\0", 22);
        std::string codeLine, valueLine;
        while (std::getline(in, codeLine, '\n') && std::getline(in, valueLine, '\n')) {
            codeLine.pop_back();  // the CR of CR LF
            valueLine.pop_back();
            const auto code = parse<unsigned>(codeLine, 0);
            putLittleEndian(bytes, code, 2);
            putValue(bytes, code, valueLine);
            if (bytes.size() >= (1u << 20)) {
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                bytes.clear();
            }
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw std::runtime_error("cannot write the output");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "dxflist-binary-twin: %s\n", failure.what());
        return 1;
    }
    return 0;
}
