#pragma once
// What the engine tests share: a fake host, temporary folders, files and listings, and the
// headers every test needs.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/host.h"

namespace dxflist::test {

// Records what the engine asks of the window; its clock and event hook are programmable.
struct FakeHost : HostServices {
    std::vector<std::string> captions;
    std::vector<std::pair<std::string, int>> boxes;
    std::function<int()> clock = [] { return 0; };
    std::function<void()> onEvents = [] {};
    std::function<void()> onBox = [] {};

    void setCaption(std::string_view utf8) override { captions.emplace_back(utf8); }
    void doEvents() override { onEvents(); }
    int msgBox(std::string_view utf8, int style) override {
        boxes.emplace_back(std::string(utf8), style);
        onBox();
        return kAnswerOk;
    }
    int currentSecond() override { return clock(); }
};

// A fresh folder under the system's temporary folder, removed with everything in it.
struct TempDir {
    TempDir();
    ~TempDir();
    std::filesystem::path operator/(std::string_view name) const { return path / name; }
    std::filesystem::path path;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// AppInfo of a program in `folder`.
AppInfo appIn(const std::filesystem::path& folder);
// Lines each ended by CR LF.
std::string crlf(std::initializer_list<std::string_view> lines);
// Listing lines given in UTF-8, as code page 932 bytes, each ended by CR LF.
std::string listing(std::initializer_list<std::string_view> utf8Lines);
// The listing of `dxf`, run in a fresh application folder.
std::string listingOf(std::string_view dxf, FakeHost* host = nullptr);
// The message of the failure `run` throws; fails the test if nothing failed.
std::string failureOf(const std::function<void()>& run);
// The folder of the tests and their data.
inline std::filesystem::path dataDir() {
    return DXFLIST_TEST_DATA_DIR;
}

}  // namespace dxflist::test
