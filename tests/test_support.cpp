#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace dxflist::test {

TempDir::TempDir() {
    static std::atomic<int> serial{0};
    path = std::filesystem::temp_directory_path() /
           ("dxflist-test-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
            std::to_string(serial++));
    std::filesystem::create_directories(path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (!std::ofstream(path, std::ios::binary)
             .write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
}

AppInfo appIn(const std::filesystem::path& folder) {
    AppInfo app;
    app.EXEName = "dxflist";
    app.Path = folder;
    return app;
}

std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append("\r\n");
    return text;
}

std::string listing(std::initializer_list<std::string_view> utf8Lines) {
    std::string text;
    for (std::string_view line : utf8Lines) text.append(utf8ToCp932(line)).append("\r\n");
    return text;
}

std::string listingOf(std::string_view dxf, FakeHost* host) {
    TempDir dir;
    writeFile(dir / "in.dxf", dxf);
    FakeHost ownHost;
    subDXFver(dir / "in.dxf", host ? *host : ownHost, appIn(dir.path));
    return readFile(dir / "output.txt");
}

std::string failureOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const Failure& failure) {
        return failure.what();
    }
    ADD_FAILURE() << "no failure";
    return {};
}

}  // namespace dxflist::test
