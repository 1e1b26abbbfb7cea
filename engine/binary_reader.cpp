#include "engine/binary_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "engine/byte_scan.h"
#include "engine/failure.h"
#include "engine/line_index.h"

namespace dxflist {
namespace {

constexpr char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // and the NUL that ends the literal
static_assert(sizeof kSentinel == BinaryReader::kSentinelSize);

// Every code's decimal text, each with read padding behind it.
struct CodeTexts {
    char text[kBinaryCodeEnd][kReadPadding] = {};
    unsigned char size[kBinaryCodeEnd] = {};
};

constexpr CodeTexts kCodeTexts = [] {
    CodeTexts texts;
    for (unsigned code = 0; code < kBinaryCodeEnd; ++code) {
        char digits[4];
        unsigned count = 0;
        unsigned rest = code;
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        for (unsigned i = 0; i < count; ++i) texts.text[code][i] = digits[count - 1 - i];
        texts.size[code] = static_cast<unsigned char>(count);
    }
    return texts;
}();

template <class Integer>
std::size_t formatInteger(Integer value, char* to) {
    return static_cast<std::size_t>(std::to_chars(to, to + 24, value).ptr - to);
}

}  // namespace

bool hasBinarySentinel(InputFile& source) {
    char start[BinaryReader::kSentinelSize];
    std::size_t got = 0;
    while (got < sizeof start) {
        const std::size_t more = source.read(start + got, sizeof start - got);
        if (more == 0) break;
        got += more;
    }
    source.rewind();
    return got == sizeof start && std::memcmp(start, kSentinel, sizeof start) == 0;
}

BinaryReader::BinaryReader(InputFile& source, std::size_t chunk)
    : source_(source),
      chunk_(chunk),
      chunkAt_(chunk + kKeptMore),
      ahead_(source, chunk, chunkAt_, chunkAt_ + chunk + kTail, LineReader::kBuffers),
      buffer_(ahead_.borrow()),
      lineCnt_(source.path()) {
    std::memset(buffer_, 0, kTail);
    source_.rewind();
    // A file cut short since its sentinel was seen is read from its start, and refused.
    if (have(kSentinelSize)) begin_ += kSentinelSize;
    detectCodeWidth();
}

// The width of the codes, from the first bytes behind the sentinel (codeWidthOf).
void BinaryReader::detectCodeWidth() {
    have(3);
    const auto* first = reinterpret_cast<const unsigned char*>(buffer_ + begin_);
    const CodeWidth width = codeWidthOf(first, std::min<std::size_t>(end_ - begin_, 3));
    if (width != CodeWidth::Unknown) {
        twoByteCodes_ = width == CodeWidth::Two;
        return;
    }
    throwFileFailure(
        "バイナリ DXF のグループコードの形式がわからないため、一覧を作れません。", source_.path(),
        "先頭の見出し（AutoCAD Binary DXF）の後が、コード 0 かコード 999 のグループで始まってい"
        "ません（2 バイトのコードなら 00 00 か E7 03、1 バイトのコードなら 00 と値か FF E7 03）。");
}

PairRead BinaryReader::next() {
    valueInBuffer_ = false;
    const std::uint64_t codeAt = bytesRead();
    const unsigned code = readCode();
    const BinaryType type = binaryTypeOf(code);
    if (type == BinaryType::Unknown) unknownCode(code, codeAt);
    codeLine_ = lineCnt_.next();
    // Codes and values in memory are always padded: only their views change.
    pair_.grpCode.mem = {kCodeTexts.text[code], kCodeTexts.size[code]};
    // A value cut off by the end of the file: the twin's last line is this code line.
    if (!readValue(type, code))
        return PairRead::kNoPair | PairRead::kEndAtCodeLine | PairRead::kEndAtCountedCodeLine;
    lineCnt_.next();
    pair_.codeLine = codeLine_;
    const bool end = atEnd();
    // Made after the end check, which may have moved the buffer.
    if (valueInBuffer_) setValue({buffer_ + valueAt_, valueSize_});
    return end ? PairRead::kNoPair | PairRead::kEndAtValueLine : 0;
}

// atEnd() has seen the whole code in the buffer.
unsigned BinaryReader::readCode() {
    const unsigned first = byteAt(begin_);
    if (!twoByteCodes_ && first != kCodeEscape) {
        begin_ += 1;
        return first;
    }
    const std::size_t at = begin_ + (twoByteCodes_ ? 0 : 1);
    begin_ = at + 2;
    return byteAt(at) | unsigned{byteAt(at + 1)} << 8;
}

// A little-endian number of kSize bytes.
template <std::size_t kSize>
bool BinaryReader::readFixed(std::uint64_t& bits) {
    if (!have(kSize)) return false;
    bits = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&bits, buffer_ + begin_, kSize);
    } else {
        for (std::size_t i = kSize; i-- > 0;) bits = bits << 8 | byteAt(begin_ + i);
    }
    begin_ += kSize;
    return true;
}

// Reads the value of `code`, of `type`; false when the file ends within it.
bool BinaryReader::readValue(BinaryType type, unsigned code) {
    std::uint64_t bits = 0;
    std::size_t size = 0;
    switch (type) {
        case BinaryType::String:
            readString(code);
            return true;
        case BinaryType::Chunk:
            return readChunk();
        case BinaryType::Double:
            if (!readFixed<fixedSizeOf(BinaryType::Double)>(bits)) return false;
            size =
                static_cast<std::size_t>(formatDouble(std::bit_cast<double>(bits), text_) - text_);
            break;
        case BinaryType::Int16:
            if (!readFixed<fixedSizeOf(BinaryType::Int16)>(bits)) return false;
            size = formatInteger(static_cast<std::int16_t>(bits), text_);
            break;
        case BinaryType::Int32:
            if (!readFixed<fixedSizeOf(BinaryType::Int32)>(bits)) return false;
            size = formatInteger(static_cast<std::int32_t>(bits), text_);
            break;
        case BinaryType::Int64:
            if (!readFixed<fixedSizeOf(BinaryType::Int64)>(bits)) return false;
            size = formatInteger(static_cast<std::int64_t>(bits), text_);
            break;
        case BinaryType::Bool:
            // The byte as it is: 0 or 1 in any file that keeps to the format.
            if (!readFixed<fixedSizeOf(BinaryType::Bool)>(bits)) return false;
            size = formatInteger(static_cast<unsigned>(bits), text_);
            break;
        case BinaryType::Unknown:
            break;
    }
    setValue({text_, size});
    return true;
}

// A binary chunk: its length byte, then its bytes, listed as hex digits.
bool BinaryReader::readChunk() {
    if (!have(1)) return false;
    const std::size_t size = byteAt(begin_);
    if (!have(1 + size)) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_ + begin_ + 1);
    pair_.grpValue =
        TextRef::ofPadded({text_, static_cast<std::size_t>(formatHex(bytes, size, text_) - text_)});
    begin_ += 1 + size;
    return true;
}

void BinaryReader::readString(unsigned code) {
    // Most strings are short: their NUL is looked for a word at a time before memchr is asked.
    if constexpr (std::endian::native == std::endian::little) {
        const char* from = buffer_ + begin_;
        const std::size_t unread = end_ - begin_;
        for (std::size_t at = 0; at < 16 && at < unread; at += 8) {
            // Within the buffer's slack behind its end.
            const std::size_t inWord = firstZeroByte(littleEndianWord(from + at));
            if (inWord == 8) continue;
            const std::size_t size = at + inWord;
            if (size >= unread) break;  // a NUL behind the bytes read
            return takeString(size);
        }
    }
    const std::uint64_t at = bytesRead();
    std::size_t scanned = 0;  // bytes from begin_ on that hold no NUL
    for (;;) {
        const char* from = buffer_ + begin_;
        // A string of up to a chunk is held; the NUL of a longer one is not looked for here.
        const std::size_t limit = std::min(end_ - begin_, chunk_ + 1);
        const void* nul = std::memchr(from + scanned, 0, limit - scanned);
        if (nul) return takeString(static_cast<std::size_t>(static_cast<const char*>(nul) - from));
        scanned = limit;
        if (scanned > chunk_) return readLongString(code, scanned);
        if (!fill(scanned + 1)) unendedString(code, at);
    }
}

// Takes the string of `size` bytes at begin_, and its NUL.
void BinaryReader::takeString(std::size_t size) {
    valueInBuffer_ = true;
    valueAt_ = begin_;
    valueSize_ = size;
    setValue({buffer_ + begin_, size});
    begin_ += size + 1;
}

// A string longer than a chunk stays in the file: its region is found chunk by chunk, from
// the first `scanned` bytes on, which hold no NUL.
void BinaryReader::readLongString(unsigned code, std::size_t scanned) {
    const std::uint64_t at = bytesRead();
    begin_ += scanned;
    for (;;) {
        const char* from = buffer_ + begin_;
        if (const void* nul = std::memchr(from, 0, end_ - begin_)) {
            begin_ += static_cast<std::size_t>(static_cast<const char*>(nul) - from);
            pair_.grpValue = TextRef::inSource({at, bytesRead() - at});
            longValue_ = true;
            ++begin_;
            return;
        }
        begin_ = end_;
        if (!fill(1)) unendedString(code, at);
    }
}

// Goes on in the buffer of the next chunk, behind the bytes still needed, until `need` unread
// bytes are there or the file ends. The chunks after it are read ahead on the run's I/O thread
// meanwhile. A short read is not the end: the file is read again.
bool BinaryReader::fill(std::size_t need) {
    do {
        const std::size_t keep = valueInBuffer_ ? valueAt_ : begin_;
        const std::size_t kept = end_ - keep;
        const ReadAhead::Chunk next = ahead_.next();
        const std::size_t at = chunkAt_ - kept;
        std::memcpy(next.buffer + at, buffer_ + keep, kept);
        ahead_.giveBack(std::exchange(buffer_, next.buffer));
        // Offsets are taken modulo 2^64: the buffer may begin before the file does.
        bufferStart_ = bufferStart_ + keep - at;
        if (valueInBuffer_) valueAt_ = valueAt_ - keep + at;
        begin_ = begin_ - keep + at;
        end_ = chunkAt_ + next.size;
        std::memset(buffer_ + end_, 0, kTail);
        if (next.size == 0) return false;
    } while (end_ - begin_ < need);
    return true;
}

void BinaryReader::unknownCode(unsigned code, std::uint64_t at) const {
    throwFileFailure(
        "バイナリ DXF に DXF にないグループコードがあるため、一覧を作れません。", source_.path(),
        "先頭から " + std::to_string(at) + " バイトの位置のグループコード " + std::to_string(code) +
            " は DXF にないコードなので、その値の長さがわかりません。");
}

void BinaryReader::unendedString(unsigned code, std::uint64_t at) const {
    throwFileFailure("バイナリ DXF の文字列の値が終わらないまま、ファイルが終わっています。",
                     source_.path(),
                     "先頭から " + std::to_string(at) + " バイトの位置で始まるグループコード " +
                         std::to_string(code) + " の値に、終わりを示す NUL バイトがありません。");
}

}  // namespace dxflist
