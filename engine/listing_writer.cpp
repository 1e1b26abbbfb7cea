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
    char text[kReadPadding] = {};  // the digits and the colon; room for a word-wise copy
    static_assert(line_format::kMostDigits + 1 <= kReadPadding);
    char* end = line_format::putDigits(text, value);
    *end++ = line_format::kNumberEnd;
    bytes_.put(std::string_view(text, static_cast<std::size_t>(end - text)));
}

}  // namespace dxflist
