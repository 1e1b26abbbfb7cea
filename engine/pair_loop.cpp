#include "engine/pair_loop.h"

#include <type_traits>

#include "engine/annotate.h"
#include "engine/binary_lane.h"
#include "engine/binary_reader.h"
#include "engine/failure.h"
#include "engine/listing_texts.h"
#include "engine/pair_lane.h"

namespace dxflist {
namespace {

// The end-of-file reports of a read, each numbered with the line where the end was met.
void putEndReports(const PairRead& read, std::int32_t codeLine, ListingWriter& listing,
                   const ListingTexts& texts) {
    if (read.met(PairRead::kEndAtCodeLine)) listing.putLine(codeLine - 1, texts.endAtCodeLine);
    if (read.met(PairRead::kEndAtCountedCodeLine))
        listing.putLine(codeLine, texts.endAtCodeLineCounted);
    if (read.met(PairRead::kEndAtValueLine)) listing.putLine(codeLine + 1, texts.endAtValueLine);
}

// The loop over either reader, each with its fast lane: text lines (PairReader) or binary
// groups (BinaryReader).
// The reader is the loop's own: known outside it, it would be loaded again after every call of
// the host (9% more instructions when the plain reader takes every pair).
template <class Reader>
void listPairsWith(InputFile& source, std::size_t chunk, ListingWriter& listing, HostServices& host,
                   const ShowProgress& showProgress, std::int32_t lineCnt) {
    const ListingTexts& texts = listingTexts();
    Reader reader(source, chunk);
    reader.setLineCnt(lineCnt);
    StructureAnnotator annotator(texts, source);
    std::conditional_t<std::is_same_v<Reader, PairReader>, PairLane, BinaryLane> lane(
        reader, annotator, listing, texts);
    bool reuseFlag = false;  // the rules want the current pair processed once more, unread
    int lastSec = 0;         // the second of the minute when the progress was last shown
    for (;;) {
        try {
            if (!reuseFlag) lane.run(host, lastSec, showProgress);
            const int second = host.currentSecond();
            if (second != lastSec) {
                showProgress(reader.lineCnt(), reader.bytesRead());
                // Read again, not `second`: the next change counts from the second the caption
                // was shown in, which a slow window may have carried into the next.
                lastSec = host.currentSecond();
            }
            host.doEvents();

            // A pair processed once more is not read again; the rules' answer below sets the
            // flag anew either way.
            if (!reuseFlag) {
                if (const PairRead read = reader.next(); !read.usual()) {
                    putEndReports(read, reader.codeLine(), listing, texts);
                    if (!read.pair()) break;
                }
            }

            const GroupPair& pair = reader.pair();
            const StructureAnnotator::Outcome outcome = annotator.annotate(pair, listing);
            if (outcome == StructureAnnotator::Outcome::NotTaken)
                listing.putGenericLine(pair.codeLine, pair.grpCode, pair.grpValue);
            reuseFlag = outcome == StructureAnnotator::Outcome::TakenAndAgain;
        } catch (const SourceCut&) {
            // A line kept in the file is gone from it: the file was cut short meanwhile, and
            // the listing ends here as at the end of the file, with whole lines.
            listing.dropPartialLine();
            listing.putLine(reader.lineCnt(), texts.endAtValueLine);
            break;
        }
        if (reader.atEnd()) break;
    }
}

}  // namespace

void listPairs(InputFile& source, std::size_t chunk, ListingWriter& listing, HostServices& host,
               const ShowProgress& showProgress, std::int32_t lineCnt) {
    listPairsWith<PairReader>(source, chunk, listing, host, showProgress, lineCnt);
}

void listBinaryPairs(InputFile& source, std::size_t chunk, ListingWriter& listing,
                     HostServices& host, const ShowProgress& showProgress, std::int32_t lineCnt) {
    listPairsWith<BinaryReader>(source, chunk, listing, host, showProgress, lineCnt);
}

}  // namespace dxflist
