// dxflist-run-path PATH SRC APPDIR: lists SRC into APPDIR as dxflist-batch does, on the scan
// path named (off, portable, sse2, avx2, avx512), so that each path can be timed and counted.
// Exit status: 0 done, 2 failure, 64 wrong usage or a path this processor lacks.

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

#include "engine/dxflist.h"
#include "engine/line_index.h"

namespace {

class QuietHost : public dxflist::HostServices {
  public:
    void setCaption(std::string_view) override {}
    void doEvents() override {}
    int msgBox(std::string_view, dxflist::MsgBoxStyle) override { return dxflist::kAnswerOk; }
    int currentSecond() override { return clock_.now(); }

  private:
    dxflist::SecondOfMinuteClock clock_;
};

}  // namespace

int main(int argc, char** argv) {
    const char* names[] = {"off", "portable", "sse2", "avx2", "avx512"};
    if (argc != 4) {
        std::fprintf(stderr, "usage: dxflist-run-path off|portable|sse2|avx2|avx512 SRC APPDIR\n");
        return 64;
    }
    bool known = false;
    for (dxflist::ScanPath path : dxflist::scanPathsHere()) {
        if (std::strcmp(argv[1], names[static_cast<int>(path)]) != 0) continue;
        dxflist::useScanPath(path);
        known = true;
    }
    if (!known) {
        std::fprintf(stderr, "no scan path %s on this processor\n", argv[1]);
        return 64;
    }
    dxflist::AppInfo app;
    app.EXEName = "dxflist";
    app.Path = std::filesystem::absolute(argv[3]);
    QuietHost host;
    try {
        dxflist::subDXFver(std::filesystem::absolute(argv[2]), host, app);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAILURE: %s\n", e.what());
        return 2;
    }
    return 0;
}
