#include "engine/listing_writer.h"

#include <algorithm>
#include <utility>

namespace dxflist {

ListingWriter::ListingWriter(OutputFile file, std::size_t bufferSize, InputFile& source,
                             std::string_view gap)
    : bytes_(std::move(file), bufferSize),
      source_(source),
      gap_(gap),
      gapFits_(gap.size() <= kReadPadding) {
    std::memcpy(gapPadded_, gap.data(), std::min(gap.size(), kReadPadding));
}

void ListingWriter::putPart(const TextRef& text) {
    if (text.inFile)
        bytes_.putFileBytes(source_, text.region);
    else
        bytes_.put(text.mem);
}

void ListingWriter::putPart(const Rope& text) {
    const std::string_view mem = text.mem();
    std::size_t done = 0;
    for (const Rope::Splice& splice : text.splices()) {
        bytes_.put(mem.substr(done, splice.at - done));
        if (splice.file)
            bytes_.putFileBytes(*splice.file, splice.region);
        else
            bytes_.putFileBytes(source_, splice.region);
        done = splice.at;
    }
    bytes_.put(mem.substr(done));
}

// Any number, also where the buffer has too little room left for the fast way.
void ListingWriter::putLineNumber(std::uint32_t value) {
    char digits[11];
    char* const end = digits + sizeof digits;
    char* first = end - 1;
    *first = ':';
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end - 1 - first < 6) *--first = '0';
    bytes_.put(std::string_view(first, static_cast<std::size_t>(end - first)));
}

}  // namespace dxflist
