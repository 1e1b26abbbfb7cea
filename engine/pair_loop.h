#pragma once
// The run's loop over the pairs of the source, once its files are open.

#include <cstdint>
#include <functional>

#include "engine/host.h"
#include "engine/listing_writer.h"
#include "engine/os_file.h"
#include "engine/pair_reader.h"

namespace dxflist {

// Shows the progress: the lines read so far and the bytes of the source they took.
using ShowProgress = std::function<void(std::int32_t lineCnt, std::uint64_t bytesRead)>;

// Lists the pairs of `source`, read a chunk at a time, into `listing`, pass after pass until the
// end of the file and its reports: the progress (showProgress when the clock's second has
// changed), the host's events, a pair, its annotation or its generic line. Lines are counted on
// from `lineCnt`.
void listPairs(InputFile& source, std::size_t chunk, ListingWriter& listing, HostServices& host,
               const ShowProgress& showProgress, std::int32_t lineCnt = 0);

// The same for a binary DXF (engine/binary_reader.h), read from its start: its groups are
// listed as the pairs of its ASCII twin.
void listBinaryPairs(InputFile& source, std::size_t chunk, ListingWriter& listing,
                     HostServices& host, const ShowProgress& showProgress,
                     std::int32_t lineCnt = 0);

}  // namespace dxflist
