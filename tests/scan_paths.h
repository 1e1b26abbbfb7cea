#pragma once
// Runs a test once on every way the run can scan its input.

#include <functional>
#include <string>

#include "engine/line_index.h"
#include "test_support.h"

namespace dxflist::test {

inline std::string nameOf(ScanPath path) {
    const char* names[] = {"plain reader", "portable", "SSE2", "AVX2", "AVX-512"};
    return names[static_cast<int>(path)];
}

// Calls `body` for each scan path this processor has, the plain reader alone (Off) first, and
// leaves the path the run uses as it was.
inline void forEachScanPath(const std::function<void(ScanPath)>& body) {
    const ScanPath before = scanPath();
    for (ScanPath path : scanPathsHere()) {
        SCOPED_TRACE("scan path: " + nameOf(path));
        useScanPath(path);
        body(path);
    }
    useScanPath(before);
}

}  // namespace dxflist::test
