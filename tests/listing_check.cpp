#include "listing_check.h"

#include <unordered_set>

#include "engine/listing_texts.h"

namespace dxflist::test {

std::vector<std::string_view> linesOf(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t cr = std::min(bytes.find('\r', start), bytes.size());
        lines.push_back(bytes.substr(start, cr - start));
        start = cr + 1 + (cr + 1 < bytes.size() && bytes[cr + 1] == '\n');
    }
    return lines;
}

bool isBinaryDxf(std::string_view bytes) {
    return bytes.starts_with(std::string_view("AutoCAD Binary DXF\r\n\x1a", 22));
}

namespace {

// The listing's last line, which reports the end of the file.
std::string endFault(std::string_view listing) {
    if (!listing.ends_with("\r\n")) return "the listing does not end with CR LF";
    const std::string_view body = listing.substr(0, listing.size() - 2);
    const std::size_t start = body.rfind("\r\n");
    const std::string_view line = body.substr(start == std::string_view::npos ? 0 : start + 2);
    const std::string_view report = line.substr(line.find(':') + 1);
    const ListingTexts& texts = listingTexts();
    if (report != texts.endAtValueLine && report != texts.endAtCodeLineCounted)
        return "the last line is not an end-of-file report: " + std::string(line);
    return {};
}

}  // namespace

std::string listingFault(std::string_view listing, std::string_view input) {
    // A binary DXF's numbers are listed as text that is not in the file, and its strings may
    // hold CR and LF bytes, listed as they are: only the end of its listing is certain. Its
    // listings are held against those of its ASCII twin instead (tests/binary).
    if (isBinaryDxf(input)) return endFault(listing);
    // The input's lines as the reader splits them, for a quick "is this in the input"; other
    // texts, the empty one too, are searched for in the whole input.
    const std::vector<std::string_view> inputLines = linesOf(input);
    const std::unordered_set<std::string_view> lines(inputLines.begin(), inputLines.end());
    const auto inInput = [&](std::string_view text) {
        return lines.contains(text) || input.find(text) != std::string_view::npos;
    };
    const ListingTexts& texts = listingTexts();
    if (!listing.ends_with("\r\n")) return "the listing does not end with CR LF";
    long highest = 0;
    std::string_view line;
    for (std::size_t start = 0; start < listing.size();) {
        line = listing.substr(start, listing.find("\r\n", start) - start);
        start += line.size() + 2;
        const auto broken = [&](const char* what) {
            return what + std::string(": ") + std::string(line);
        };
        const std::size_t colon = line.find(':');
        if (line.find('\r') != std::string_view::npos) return broken("CR inside a line");
        if (colon == std::string_view::npos || colon < 6) return broken("no line number");
        long number = 0;
        for (char c : line.substr(0, colon)) {
            if (c < '0' || c > '9') return broken("line number is not a number");
            number = number * 10 + (c - '0');
        }
        const std::string_view text = line.substr(colon + 1);
        // A header variable's line (name "=" values) has the number of its name.
        if (number < highest && text.find('=') == std::string_view::npos)
            return broken("line number decreases");
        highest = std::max(highest, number);
        if (!text.starts_with(texts.genericGap)) continue;
        const std::string_view group = text.substr(texts.genericGap.size());
        const std::size_t comma = group.find(',');
        const std::string_view code = group.substr(0, comma);
        const bool hidden = code == "5" || code == "100" || code == "102" || code == "330";
        if (comma != std::string_view::npos && comma > 0 && !hidden &&
            inInput(group.substr(comma + 1)))
            continue;
        // Lines that begin with a value as read (an entity keyword, a section name, a header
        // variable) look like generic lines when the value does; then it is in the input.
        const std::string& suffix = texts.sectionSuffix;
        if ((text.ends_with(suffix) && inInput(text.substr(0, text.size() - suffix.size()))) ||
            inInput(text) || inInput(text.substr(0, text.find('='))))
            continue;
        if (comma == std::string_view::npos) return broken("generic line without a comma");
        return broken(hidden ? "hidden group listed" : "generic value not in the input");
    }
    return endFault(listing);
}

}  // namespace dxflist::test
