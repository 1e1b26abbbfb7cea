// dxflist-batch SRC APPDIR: lists SRC as the Open command does once a file is chosen, with
// APPDIR as the application folder. Message boxes go to stderr and are answered with OK.
// With DXFLIST_BATCH_STOP_AT=N in the environment the run is stopped at the events hook's Nth
// call, as Exit in the window stops it (for tests of a run stopped midway).
// Exit status: 0 done, 2 failure (its message on stderr), 3 stopped, 64 wrong usage.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "ui/platform.h"

namespace {

class BatchHost : public dxflist::HostServices {
  public:
    void setCaption(std::string_view) override {}
    void doEvents() override {}
    int msgBox(std::string_view utf8, dxflist::MsgBoxStyle) override {
        std::fprintf(stderr, "MSGBOX: %.*s\n", static_cast<int>(utf8.size()), utf8.data());
        return dxflist::kAnswerOk;
    }
    int currentSecond() override { return clock_.now(); }

  private:
    dxflist::SecondOfMinuteClock clock_;
};

// What the window's Exit throws through a run: no failure, nothing to show.
struct Stopped {};

// A host of its own, so that the usual runs (the benchmark's) pay nothing for the count.
class StoppingHost : public BatchHost {
  public:
    explicit StoppingHost(unsigned long stopAt) : stopAt_(stopAt) {}
    void doEvents() override {
        if (++events_ == stopAt_) throw Stopped{};
    }

  private:
    unsigned long stopAt_;
    unsigned long events_ = 0;
};

int run(const std::filesystem::path& src, const std::filesystem::path& appDir) {
    dxflist::AppInfo app;
    app.EXEName = "dxflist";
    app.Path = std::filesystem::absolute(appDir);
    dxflist::ui::fillBuiltInVersion(app);
    const char* stopAt = std::getenv("DXFLIST_BATCH_STOP_AT");
    BatchHost plain;
    StoppingHost stopping(stopAt ? std::strtoul(stopAt, nullptr, 10) : 0);
    dxflist::HostServices& host = stopAt ? stopping : plain;
    try {
        // The open-file dialog hands over a full path.
        dxflist::subDXFver(std::filesystem::absolute(src), host, app);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAILURE: %s\n", e.what());
        return 2;
    } catch (const Stopped&) {
        std::fprintf(stderr, "STOPPED\n");
        return 3;
    }
    return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
    dxflist::ui::surviveFileSizeLimit();
    if (argc != 3) {
        std::fprintf(stderr, "usage: dxflist-batch SRC APPDIR\n");
        return 64;
    }
    return run(argv[1], argv[2]);
}
