#pragma once
// Runs a test once on every way the run can scan its input.

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/annotate.h"
#include "engine/line_index.h"
#include "engine/listing_texts.h"
#include "engine/listing_writer.h"
#include "engine/os_file.h"
#include "test_support.h"

namespace dxflist::test {

inline std::string nameOf(ScanPath path) {
    const char* names[] = {"plain reader", "portable", "SSE2", "AVX2", "AVX-512"};
    return names[static_cast<int>(path)];
}

// Calls `body` for each scan path this processor has, the plain reader alone (Off) first, and
// leaves the path the run uses as it was, which must be among them: a list that left out the
// fastest path would let its faults pass unseen.
inline void forEachScanPath(const std::function<void(ScanPath)>& body) {
    const ScanPath before = scanPath();
    const std::vector<ScanPath> paths = scanPathsHere();
    EXPECT_NE(std::find(paths.begin(), paths.end(), before), paths.end())
        << "the run's own path, " << nameOf(before) << ", is not among those tested";
    for (ScanPath path : paths) {
        SCOPED_TRACE("scan path: " + nameOf(path));
        useScanPath(path);
        body(path);
    }
    useScanPath(before);
}

// What the host saw: the captions, and each call in order (clock c, events e).
struct HostLog {
    std::vector<std::string> captions;
    std::string calls;
    bool operator==(const HostLog&) const = default;
};

// The listing of `dxf` and what the host saw, with a clock whose second changes every few
// calls; the events hook throws at its stopAt-th call when stopAt is not 0, as Exit does.
inline std::pair<std::string, HostLog> listWith(const std::string& dxf, std::size_t stopAt = 0) {
    TempDir dir;
    writeFile(dir / "in.dxf", dxf);
    FakeHost host;
    HostLog log;
    std::size_t events = 0;
    host.clock = [&] {
        log.calls += 'c';
        return static_cast<int>(log.calls.size() / 7 % 60);
    };
    host.onEvents = [&] {
        log.calls += 'e';
        if (++events == stopAt) throw std::runtime_error("exit");
    };
    try {
        subDXFver(dir / "in.dxf", host, appIn(dir.path));
    } catch (const std::runtime_error&) {
    }
    log.captions = host.captions;
    return {readFile(dir / "output.txt"), log};
}

// The listing and host calls of `dxf` on every scan path are those of the plain reader alone.
inline void expectSameOnEveryPath(const std::string& dxf, std::size_t stopAt = 0) {
    std::pair<std::string, HostLog> plain;
    forEachScanPath([&](ScanPath path) {
        const auto listed = listWith(dxf, stopAt);
        if (path == ScanPath::Off) {
            plain = listed;
            return;
        }
        EXPECT_TRUE(listed.first == plain.first) << "listings differ";
        EXPECT_TRUE(listed.second == plain.second) << "host calls differ";
    });
}

// The lines of `drawing` that a fast lane (Lane, over Reader) takes in the run's first two
// passes, as the run's loop makes them: the lane, then the reader's first pair if the lane left
// it (the text lane finds no lines before the reader has read some), then the lane once more. A
// lane that takes nothing lists just as the reader does, so the tests that hold one against the
// other cannot see it: only the speed would.
template <class Reader, class Lane>
std::int32_t linesTheLaneTakes(const std::string& drawing) {
    TempDir dir;
    writeFile(dir / "in.dxf", drawing);
    InputFile source(dir / "in.dxf");
    const ListingTexts& texts = listingTexts();
    ListingWriter listing(OutputFile(dir / "output.txt"), std::size_t{1} << 16, source,
                          texts.genericGap);
    Reader reader(source);
    StructureAnnotator annotator(texts, source);
    Lane lane(reader, annotator, listing, texts);
    FakeHost host;
    int lastSec = 0;
    const auto shown = [](std::int32_t, std::uint64_t) {};
    lane.run(host, lastSec, shown);
    std::int32_t taken = reader.lineCnt();
    if (!reader.next().pair()) return taken;
    const GroupPair& pair = reader.pair();
    const StructureAnnotator::Outcome outcome = annotator.annotate(pair, listing);
    if (outcome == StructureAnnotator::Outcome::NotTaken)
        listing.putGenericLine(pair.codeLine, pair.grpCode, pair.grpValue);
    // The drawings begin with no pair the rules process once more.
    EXPECT_NE(outcome, StructureAnnotator::Outcome::TakenAndAgain);
    const std::int32_t read = reader.lineCnt();
    lane.run(host, lastSec, shown);
    return taken + reader.lineCnt() - read;
}

}  // namespace dxflist::test
