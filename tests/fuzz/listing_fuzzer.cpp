// libFuzzer target: the whole run on arbitrary bytes, each listing checked against what every
// listing must hold.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/dxflist.h"
#include "engine/failure.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const WorkDir dir;
    const std::filesystem::path input = dir.path / "input.dxf", copy = dir.path / "unix.dxf";
    std::filesystem::remove(copy);
    std::ofstream(input, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    dxflist::AppInfo app;
    app.EXEName = "dxflist";
    app.Path = dir.path;
    QuietHost host;
    try {
        dxflist::subDXFver(input, host, app);
    } catch (const dxflist::Failure&) {
        // Only an empty file may fail here: no disk trouble is provoked.
        if (size != 0) std::abort();
        return 0;
    }
    const std::string fault = dxflist::test::listingFault(slurp(dir.path / "output.txt"),
                                                          slurp(exists(copy) ? copy : input));
    if (fault.empty()) return 0;
    std::fprintf(stderr, "listing invariant broken: %.300s\n", fault.c_str());
    std::abort();
}
