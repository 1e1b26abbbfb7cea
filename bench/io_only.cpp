// dxflist-io-only SRC DEST LISTING_BYTES: a run's reading and writing with no scan between them,
// to show what the arrangement of threads costs by itself. SRC is read through the run's
// read-ahead (its I/O thread, its buffers), and LISTING_BYTES bytes of CR LF lines are written to
// DEST through the run's byte writer, a share with each chunk read as the scan would hand them
// over. Whatever a run takes beyond this is its scan's. Exit status: 0 done, 2 failure, 64 wrong
// usage.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "engine/byte_writer.h"
#include "engine/line_reader.h"
#include "engine/os_file.h"
#include "engine/read_ahead.h"

namespace {

// A listing's line, about as long as its usual line.
constexpr char kListingLine[] = "001234:  10,123.456789\r\n";
constexpr std::size_t kLine = sizeof kListingLine - 1;

void copyThrough(dxflist::InputFile& in, dxflist::ByteWriter& out, std::uint64_t listingBytes) {
    const std::uint64_t sourceBytes = std::max<std::uint64_t>(in.size(), 1);
    const std::size_t chunk = dxflist::LineReader::kDefaultChunk;
    dxflist::ReadAhead ahead(in, chunk, 0, chunk, dxflist::LineReader::kBuffers);
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    for (dxflist::ReadAhead::Chunk piece = ahead.next(); piece.size > 0; piece = ahead.next()) {
        read += piece.size;
        // The listing's bytes due by now, in whole lines of the bytes just read.
        const std::uint64_t due = listingBytes * read / sourceBytes;
        while (written + kLine <= due) {
            char* to = out.reserve(kLine);
            std::memcpy(to, kListingLine, kLine);
            out.commitLines(to + kLine);
            written += kLine;
        }
        ahead.giveBack(piece.buffer);
    }
    out.finish();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: dxflist-io-only SRC DEST LISTING_BYTES\n");
        return 64;
    }
    try {
        dxflist::InputFile in(argv[1]);
        // The listing's buffers are a chunk each, as a run makes them for a large drawing.
        dxflist::ByteWriter out{std::filesystem::path(argv[2]), dxflist::LineReader::kDefaultChunk};
        copyThrough(in, out, std::strtoull(argv[3], nullptr, 10));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 2;
    }
    return 0;
}
