// libFuzzer target: the whole run on arbitrary bytes, with checks of what every listing must
// hold whatever the input.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"

namespace {

class QuietHost : public dxflist::HostServices {
  public:
    void setCaption(std::string_view) override {}
    void doEvents() override {}
    int msgBox(std::string_view, int) override { return dxflist::kAnswerOk; }
    int currentSecond() override { return 0; }
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[noreturn]] void broken(const char* what, std::string_view line) {
    std::fprintf(stderr, "listing invariant broken: %s\nline: %.*s\n", what,
                 static_cast<int>(line.size()), line.data());
    std::abort();
}

// One application folder for the whole fuzzing run, removed when libFuzzer exits normally.
struct WorkDir {
    std::filesystem::path path;
    WorkDir() {
        char name[] = "/tmp/dxflist-fuzz-XXXXXX";
        if (!mkdtemp(name)) std::abort();
        path = name;
    }
    ~WorkDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::filesystem::path& workDir() {
    static const WorkDir dir;
    return dir.path;
}

// The input's lines as the reader splits them (at CR, and a CR LF as one end), for a quick
// answer to "is this text in the input"; anything else is searched for in the whole input.
// Searching every line of a megabyte seed would make the seed run alone take a minute.
class SourceText {
  public:
    explicit SourceText(std::string_view source) : source_(source) {
        std::size_t start = 0;
        while (start <= source.size()) {
            std::size_t end = source.find('\r', start);
            if (end == std::string_view::npos) end = source.size();
            lines_.insert(source.substr(start, end - start));
            start = end + 1;
            if (start < source.size() && source[start] == '\n') ++start;
        }
    }
    bool contains(std::string_view text) const {
        return lines_.contains(text) || source_.find(text) != std::string_view::npos;
    }

  private:
    std::string_view source_;
    std::unordered_set<std::string_view> lines_;
};

// Lines that begin with a value as read (an entity keyword, a section name, a header variable)
// look like generic lines when the value does; then the value is in the input as it stands.
bool looksLikeAnnotatedValue(std::string_view text, const SourceText& source) {
    const std::string& suffix = dxflist::listingTexts().sectionSuffix;
    const bool sectionName = text.size() >= suffix.size() &&
                             text.substr(text.size() - suffix.size()) == suffix &&
                             source.contains(text.substr(0, text.size() - suffix.size()));
    const std::size_t equals = text.find('=');
    const bool variable =
        equals != std::string_view::npos && source.contains(text.substr(0, equals));
    return sectionName || variable || source.contains(text);
}

// Every line ends with CR LF; the last one reports where the end of the file was met; line
// numbers never decrease but for a header variable's line (name "=" values); no hidden group
// is listed; every generic line's value is in the input as it was read.
void checkListing(std::string_view listing, std::string_view input) {
    const dxflist::ListingTexts& texts = dxflist::listingTexts();
    const SourceText source(input);
    if (listing.size() < 2 || listing.substr(listing.size() - 2) != "\r\n")
        broken("the listing does not end with CR LF", listing.substr(0, 80));
    long highest = 0;
    std::string_view last;
    for (std::size_t start = 0; start < listing.size();) {
        const std::size_t end = listing.find("\r\n", start);
        const std::string_view line = listing.substr(start, end - start);
        start = end + 2;
        last = line;
        if (line.find('\r') != std::string_view::npos) broken("CR inside a line", line);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon < 6) broken("no line number", line);
        long number = 0;
        for (char c : line.substr(0, colon)) {
            if (c < '0' || c > '9') broken("line number is not a number", line);
            number = number * 10 + (c - '0');
        }
        const std::string_view text = line.substr(colon + 1);
        if (number < highest && text.find('=') == std::string_view::npos)
            broken("line number decreases", line);
        if (number > highest) highest = number;
        if (text.substr(0, texts.genericGap.size()) != texts.genericGap) continue;
        const std::string_view group = text.substr(texts.genericGap.size());
        const std::size_t comma = group.find(',');
        const std::string_view code =
            comma == std::string_view::npos ? std::string_view{} : group.substr(0, comma);
        const bool hidden = code == "5" || code == "100" || code == "102" || code == "330";
        if (!code.empty() && !hidden && source.contains(group.substr(comma + 1))) continue;
        // Not a sound generic line: sound only if it is an annotated value that looks like one.
        if (looksLikeAnnotatedValue(text, source)) continue;
        if (comma == std::string_view::npos) broken("generic line without a comma", line);
        if (hidden) broken("hidden group listed", line);
        broken("generic value not in the input", line);
    }
    const std::string_view report = last.substr(last.find(':') + 1);
    if (report != texts.eofAtValue && report != texts.eofAtCodeChecked)
        broken("the last line is not an end-of-file report", last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& dir = workDir();
    const std::filesystem::path input = dir / "input.dxf";
    std::error_code ignored;
    std::filesystem::remove(dir / "unix.dxf", ignored);
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    dxflist::AppInfo app;
    app.EXEName = "dxflist";
    app.Path = dir;
    QuietHost host;
    try {
        dxflist::subDXFver(input, host, app);
    } catch (const dxflist::Failure&) {
        // Only an empty file may fail here: no disk trouble is provoked.
        if (size != 0) std::abort();
        return 0;
    }
    const bool copied = std::filesystem::exists(dir / "unix.dxf");
    checkListing(slurp(dir / "output.txt"), copied ? slurp(dir / "unix.dxf") : slurp(input));
    return 0;
}
