#include "engine/line_ends.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "engine/byte_scan.h"
#include "engine/byte_writer.h"
#include "engine/failure.h"
#include "engine/line_reader.h"
#include "engine/os_file.h"
#include "engine/read_ahead.h"

namespace dxflist {
namespace {

// Bytes of the copy between two chances for window events.
constexpr std::size_t kCopySlice = 4096;
// The chunk being copied and those read ahead meanwhile.
constexpr std::size_t kCopyBuffers = 4;

// Whether the first line, up to the first CR, holds an LF; `in` is read from its start and left
// there again. Reading the first line of an empty file is reading past its end. A first line
// usually ends within a few bytes: a page is read first, and a buffer of the reading's size only
// for a longer line. That buffer is memory the process has not touched yet, and a VM can take
// 10 us a page to hand it over: 1.3 ms before the listing began, for half a megabyte.
bool firstLineHasLf(InputFile& in) {
    char page[4096];
    std::unique_ptr<char[]> longer;
    char* buffer = page;
    std::size_t size = sizeof page;
    bool any = false;
    bool lf = false;
    for (;;) {
        const std::size_t got = in.read(buffer, size);
        if (got == 0) break;
        any = true;
        const void* cr = std::memchr(buffer, '\r', got);
        const std::size_t upTo = cr ? static_cast<const char*>(cr) - buffer : got;
        lf = std::memchr(buffer, '\n', upTo) != nullptr;
        if (lf || cr) break;
        if (!longer) {
            size = LineReader::chunkFor(in.size());
            longer = std::make_unique_for_overwrite<char[]>(size);
            buffer = longer.get();
        }
    }
    if (!any)
        throwFileFailure("ファイルの終わりを越えて読み込もうとしました。", in.path(),
                         "ファイルが空です（0 バイト）。");
    in.rewind();
    return lf;
}

// Copies `size` bytes, up to one block, with one 16-byte copy for the usual short piece. May
// read and write up to 16 bytes past the piece.
void copyPiece(char* to, const char* from, std::size_t size) {
    std::memcpy(to, from, 16);
    if (size > 16) std::memcpy(to, from, size);
}

// Copies [from, stop) to `to` with a CR put before every LF; returns the end of the copy.
// Reads up to kBlock bytes past `stop` and writes up to 16 bytes past the copy. The LFs of a
// 64-byte block are found at once and the bytes between two of them go over as one piece:
// 26% fewer instructions and 10% less CPU time for the whole run than a branch-free pass byte
// by byte (100 MB LF drawing, copy and listing).
char* copyWithCrLf(const char* from, const char* stop, char* to) {
    for (const char* block = from; block < stop; block += kBlock) {
        const auto size = std::min(kBlock, static_cast<std::size_t>(stop - block));
        std::uint64_t lfs = byteBits(block, '\n');
        if (size < kBlock) lfs &= (std::uint64_t{1} << size) - 1;
        std::size_t done = 0;
        for (; lfs != 0; lfs &= lfs - 1) {
            const auto lf = static_cast<std::size_t>(std::countr_zero(lfs));
            copyPiece(to, block + done, lf - done);
            to += lf - done;
            *to++ = '\r';
            done = lf;  // the LF itself begins the next piece
        }
        copyPiece(to, block + done, size - done);
        to += size - done;
    }
    return to;
}

// Copies the first line of `in` to `out` with every LF made CR LF, then one CR LF. Returns
// whether the first line ended at a CR, that is whether more of the file follows it. Window
// events are let in every few kilobytes, as the listing run does every pair: a copy of hundreds
// of megabytes takes seconds, and Exit must be able to stop it.
bool writeCrLfCopy(InputFile& in, std::size_t chunk, ByteWriter& out, HostServices& host) {
    // The block scan reads up to a block past the bytes it was given.
    ReadAhead ahead(in, chunk, 0, chunk + kBlock, kCopyBuffers);
    bool endedAtCr = false;
    for (ReadAhead::Chunk piece = ahead.next(); piece.size > 0;) {
        std::memset(piece.buffer + piece.size, 0, kBlock);  // read by the block scan, never copied
        const auto* cr = static_cast<const char*>(std::memchr(piece.buffer, '\r', piece.size));
        const char* stop = cr ? cr : piece.buffer + piece.size;
        for (const char* from = piece.buffer; from < stop;) {
            host.doEvents();
            const char* sliceEnd =
                from + std::min(kCopySlice, static_cast<std::size_t>(stop - from));
            char* to = out.reserve(2 * static_cast<std::size_t>(sliceEnd - from) + kBlock);
            out.commit(copyWithCrLf(from, sliceEnd, to));
            from = sliceEnd;
        }
        if (cr) {
            endedAtCr = true;
            break;
        }
        char* const copied = piece.buffer;
        piece = ahead.next();
        ahead.giveBack(copied);
    }
    out.endLine();
    out.finish();
    return endedAtCr;
}

// Where the folder lets nobody create files but the copy is already there as a file of its own
// (no link, no second name), the copy is written in place instead; and only where the listing,
// which cannot be created there either, already exists and may be written: otherwise the run
// would fail having emptied the old copy.
std::optional<OutputFile> openInPlace(const std::filesystem::path& copy,
                                      const std::filesystem::path& selFn,
                                      const std::filesystem::path& listing) {
    if (sameFile(copy, selFn) || sameFile(copy, listing)) return std::nullopt;
    try {
        if (!OutputFile::openExisting(listing)) return std::nullopt;
        OutputFile file = OutputFile::openToRewrite(copy);
        file.truncate();
        return file;
    } catch (const Failure&) {
        // Not writable either: the new file's failure says what the folder lacks.
        return std::nullopt;
    }
}

// What was written of a copy in place that could not be finished is not the drawing's copy:
// it is emptied, so that no later run reads it as one (an empty file is refused). Called once
// the copy's writer is gone, which would otherwise write its last lines after the emptying.
// Returns whether the copy is empty now.
bool emptyCopy(const std::filesystem::path& copy) noexcept {
    try {
        OutputFile file = OutputFile::openToRewrite(copy);
        file.truncate();
        file.close();  // the emptying may go on behind truncate(); close() reports its end
        return true;
    } catch (...) {
        return false;
    }
}

[[noreturn]] void throwCopyUnfinished(const Failure& failure, const std::filesystem::path& copy) {
    const bool emptied = emptyCopy(copy);
    throw Failure(std::string(failure.what()) + "\n\n" + pathText(copy) +
                  (emptied ? " は書き込みの途中で止まったので、空にしました。"
                           : " は書き込みの途中で止まったので、不完全です。"));
}

}  // namespace

std::filesystem::path copyPath(const AppInfo& app) {
    return app.Path / "unix.dxf";
}

PreparedSource prepareLineEnds(const std::filesystem::path& selFn,
                               const std::filesystem::path& listing, HostServices& host,
                               const AppInfo& app, const std::function<void()>& beforeCopy) {
    auto chosen = std::make_unique<InputFile>(selFn);
    if (!firstLineHasLf(*chosen)) return {std::move(chosen), false};
    beforeCopy();

    host.setProgressUnknown();
    // The copy is a new file that replaces the old one once complete, so that a failure or a
    // kill never leaves a damaged copy and no file there (a link to a drawing) is written through.
    const std::filesystem::path copy = copyPath(app);
    std::optional<ReplacementFile> replacement;
    std::optional<OutputFile> inPlace;
    try {
        replacement.emplace(copy);
    } catch (const FileFailure& failure) {
        if (!isAccessDenied(failure.osError())) throw;
        inPlace = openInPlace(copy, selFn, listing);
        if (!inPlace) throw;
    }
    const auto writeCopy = [&] {
        // Closed before the copy is put in place, which Windows refuses for a file that is
        // open: the chosen file may be the copy itself.
        const std::unique_ptr<InputFile> closing = std::move(chosen);
        InputFile& in = *closing;
        const std::size_t chunk = LineReader::chunkFor(in.size());
        // Every byte may become two: a slice of input needs twice its size of output.
        ByteWriter out(inPlace ? std::move(*inPlace) : replacement->output(),
                       std::max(chunk, 2 * kCopySlice + kBlock));
        return writeCrLfCopy(in, chunk, out, host);
    };
    bool endedAtCr = false;
    try {
        endedAtCr = writeCopy();
    } catch (const Failure& failure) {
        if (inPlace) throwCopyUnfinished(failure, copy);
        throw;
    } catch (...) {
        // Stopped from the window (Exit) in the middle of a copy in place.
        if (inPlace) emptyCopy(copy);
        throw;
    }
    if (endedAtCr && sameFile(selFn, copy)) {
        // Rewriting the copy from its own first line would drop everything after its first
        // CR: read it as it is.
        return {std::make_unique<InputFile>(selFn), false};
    }
    std::unique_ptr<InputFile> made =
        inPlace ? std::make_unique<InputFile>(copy) : replacement->putInPlace();

    std::string text = "\r\n\r\n";
    text +=
        "指定されたファイルはUNIXの改行コード(0A)"
        "が使用されていたので、一時ファイルを作成しました。";
    text += "\r\n\r\n";
    text += "一時ファイル名 : ";
    text += pathText(copy);
    host.msgBox(text, kMsgBoxOk);
    return {std::move(made), true};
}

}  // namespace dxflist
