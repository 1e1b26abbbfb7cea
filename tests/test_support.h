#pragma once
// What the engine tests share: a fake host, temporary folders, files and listings, and the
// headers every test needs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/platform_cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/host.h"
#include "engine/os_file.h"
#include "engine/pair_loop.h"

// 1 where the address sanitizer is on: it keeps its own allocator and mappings, which some
// tests of memory must leave alone.
#if defined(__SANITIZE_ADDRESS__)
#define DXFLIST_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DXFLIST_TEST_SANITIZED 1
#endif
#endif
#ifndef DXFLIST_TEST_SANITIZED
#define DXFLIST_TEST_SANITIZED 0
#endif

namespace dxflist::test {

// The file layer takes other paths while this lives, as other systems make it.
struct FileLayerAs {
    explicit FileLayerAs(const FileLayerPaths& paths) { useFileLayerPaths(paths); }
    ~FileLayerAs() { useFileLayerPaths({}); }
    FileLayerAs(const FileLayerAs&) = delete;
    FileLayerAs& operator=(const FileLayerAs&) = delete;
};

// Records what the engine asks of the window; its clock and event hook are programmable.
struct FakeHost : HostServices {
    std::vector<std::string> captions;
    std::vector<std::pair<std::string, MsgBoxStyle>> boxes;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;  // bytes done, of total
    int progressUnknown = 0;
    std::function<int()> clock = [] { return 0; };
    std::function<void()> onEvents = [] {};
    std::function<void()> onBox = [] {};

    void setCaption(std::string_view utf8) override { captions.emplace_back(utf8); }
    void doEvents() override { onEvents(); }
    int msgBox(std::string_view utf8, MsgBoxStyle style) override {
        boxes.emplace_back(std::string(utf8), style);
        onBox();
        return kAnswerOk;
    }
    int currentSecond() override { return clock(); }
    void setProgress(std::uint64_t done, std::uint64_t total) override {
        progress.emplace_back(done, total);
    }
    void setProgressUnknown() override { ++progressUnknown; }
};

// A fresh folder under the system's temporary folder, removed with everything in it.
struct TempDir {
    TempDir() {
        static std::atomic<int> serial{0};
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        path = std::filesystem::temp_directory_path() /
               ("dxflist-test-" + std::to_string(now) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path operator/(std::string_view name) const { return path / name; }
    std::filesystem::path path;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (!std::ofstream(path, std::ios::binary)
             .write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

// AppInfo of a program in `folder`.
inline AppInfo appIn(const std::filesystem::path& folder) {
    AppInfo app;
    app.EXEName = "dxflist";
    app.Path = folder;
    return app;
}

// Lines each ended by CR LF.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append("\r\n");
    return text;
}

// Listing lines given in UTF-8, as code page 932 bytes, each ended by CR LF.
inline std::string listing(std::initializer_list<std::string_view> utf8Lines) {
    std::string text;
    for (std::string_view line : utf8Lines) text.append(utf8ToCp932(line)).append("\r\n");
    return text;
}

// The listing of `dxf`, run in a fresh application folder.
inline std::string listingOf(std::string_view dxf, FakeHost* host = nullptr) {
    TempDir dir;
    writeFile(dir / "in.dxf", dxf);
    FakeHost ownHost;
    subDXFver(dir / "in.dxf", host ? *host : ownHost, appIn(dir.path));
    return readFile(dir / "output.txt");
}

// The message of the failure `run` throws; fails the test if nothing failed.
inline std::string failureOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const Failure& failure) {
        return failure.what();
    }
    ADD_FAILURE() << "no failure";
    return {};
}

// The run's loop (listPairs, or listBinaryPairs) over dir/in.dxf with its line count started at
// `lineCnt`: the listing it wrote to dir/out.txt, then the message of its failure, if any.
template <class Loop>
std::string listFromCount(Loop loop, std::int32_t lineCnt, const TempDir& dir) {
    InputFile source(dir / "in.dxf");
    std::string failure;
    try {
        ListingWriter listing(OutputFile(dir / "out.txt"), ByteWriter::kDefaultBuffer, source,
                              listingTexts().genericGap);
        FakeHost host;
        loop(
            source, LineReader::kDefaultChunk, listing, host, [](std::int32_t, std::uint64_t) {},
            lineCnt);
        listing.finish();
    } catch (const Failure& e) {
        failure = e.what();
    }
    return readFile(dir / "out.txt") + failure;
}

// The folder of the tests and their data.
inline std::filesystem::path dataDir() {
    return DXFLIST_TEST_DATA_DIR;
}

}  // namespace dxflist::test
