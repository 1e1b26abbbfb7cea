// libFuzzer target: the whole run on arbitrary bytes (binary DXF too), each listing checked against
// what every listing must hold, and the same listing on every scan path as with the plain reader
// alone.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/line_index.h"
#include "listing_check.h"

namespace {

struct QuietHost : dxflist::HostServices {
    void setCaption(std::string_view) override {}
    void doEvents() override {}
    int msgBox(std::string_view, dxflist::MsgBoxStyle) override { return dxflist::kAnswerOk; }
    int currentSecond() override { return 0; }
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One application folder for the whole fuzzing run, removed when libFuzzer exits normally.
struct WorkDir {
    std::filesystem::path path = mkdtemp(std::string("/tmp/dxflist-fuzz-XXXXXX").data());
    ~WorkDir() { std::filesystem::remove_all(path); }
};

// The listing of the input on one scan path, and the file it was read from.
std::pair<std::string, std::string> listingOn(dxflist::ScanPath path, const std::uint8_t* data,
                                              std::size_t size,
                                              const std::filesystem::path& folder) {
    const std::filesystem::path input = folder / "input.dxf", copy = folder / "unix.dxf";
    std::filesystem::remove(copy);
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    dxflist::AppInfo app;
    app.EXEName = "dxflist";
    app.Path = folder;
    QuietHost host;
    dxflist::useScanPath(path);
    dxflist::subDXFver(input, host, app);
    return {slurp(folder / "output.txt"), slurp(exists(copy) ? copy : input)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WorkDir dir;
    static const std::vector<dxflist::ScanPath> paths = dxflist::scanPathsHere();
    std::string plain;
    for (dxflist::ScanPath path : paths) {
        std::pair<std::string, std::string> listed;
        try {
            listed = listingOn(path, data, size, dir.path);
        } catch (const dxflist::Failure&) {
            // Only an empty file, or a binary DXF the format cannot read on (a code it does not
            // have, a string without its end), may fail here: no disk trouble is provoked.
            if (size != 0 &&
                !dxflist::test::isBinaryDxf({reinterpret_cast<const char*>(data), size}))
                std::abort();
            return 0;
        }
        if (path == dxflist::ScanPath::Off) {
            plain = listed.first;
            const std::string fault = dxflist::test::listingFault(listed.first, listed.second);
            if (fault.empty()) continue;
            std::fprintf(stderr, "listing invariant broken: %.300s\n", fault.c_str());
            std::abort();
        }
        if (listed.first != plain) {
            std::fprintf(stderr, "scan path %d lists otherwise than the plain reader\n",
                         static_cast<int>(path));
            std::abort();
        }
    }
    return 0;
}
