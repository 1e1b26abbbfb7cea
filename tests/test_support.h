#pragma once
// Shared helpers for the engine tests: a fake host, temporary folders, files and listings.

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/host.h"

namespace dxflist::test {

// Records what the engine asks of the window; its clock and event hook are programmable.
class FakeHost : public HostServices {
  public:
    std::vector<std::string> captions;
    std::vector<std::pair<std::string, int>> boxes;
    std::function<int()> clock = [] { return 0; };
    std::function<void()> onEvents = [] {};
    std::function<void(std::string_view)> onBox = [](std::string_view) {};

    void setCaption(std::string_view utf8) override { captions.emplace_back(utf8); }
    void doEvents() override { onEvents(); }
    int msgBox(std::string_view utf8, int style) override {
        boxes.emplace_back(std::string(utf8), style);
        onBox(utf8);
        return kAnswerOk;
    }
    int currentSecond() override { return clock(); }
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// AppInfo of a program whose folder is `folder`.
AppInfo appIn(const std::filesystem::path& folder);
// Lines joined with CR LF, each ended by CR LF.
std::string crlf(std::initializer_list<std::string_view> lines);
// Expected listing lines, given in UTF-8, as the listing's code page 932 bytes.
std::string listing(std::initializer_list<std::string_view> utf8Lines);
// Runs the listing on `dxf` in a fresh application folder and returns "output.txt".
std::string listingOf(std::string_view dxf, FakeHost* host = nullptr);
// Runs the listing and returns the failure's message; fails the test if nothing failed.
std::string failureOf(const std::filesystem::path& selFn, const std::filesystem::path& appDir);
// The folder of the project's tests and their data.
std::filesystem::path dataDir();

}  // namespace dxflist::test
