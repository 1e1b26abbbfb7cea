#include "listing_check.h"

#include <unordered_set>

#include "engine/cp932.h"

namespace dxflist::test {
namespace {

// The input's lines as the reader splits them, for a quick "is this text in the input";
// anything else is searched for in the whole input.
class SourceText {
  public:
    explicit SourceText(std::string_view source) : source_(source) {
        for (std::size_t start = 0; start <= source.size();) {
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

// Lines that begin with a value as read (an entity keyword, a section name, a header
// variable) look like generic lines when the value does; then the value is in the input.
bool annotatedValue(std::string_view text, const SourceText& source) {
    const std::string& suffix = listingTexts().sectionSuffix;
    const std::size_t equals = text.find('=');
    return (text.ends_with(suffix) &&
            source.contains(text.substr(0, text.size() - suffix.size()))) ||
           (equals != std::string_view::npos && source.contains(text.substr(0, equals))) ||
           source.contains(text);
}

}  // namespace

std::string listingFault(std::string_view listing, std::string_view input) {
    const ListingTexts& texts = listingTexts();
    const SourceText source(input);
    if (!listing.ends_with("\r\n")) return "the listing does not end with CR LF";
    long highest = 0;
    std::string_view last;
    for (std::size_t start = 0; start < listing.size();) {
        const std::size_t end = listing.find("\r\n", start);
        const std::string_view line = last = listing.substr(start, end - start);
        const auto broken = [&](const char* what) {
            return std::string(what) + ": " + std::string(line);
        };
        start = end + 2;
        const std::size_t colon = line.find(':');
        if (line.find('\r') != std::string_view::npos) return broken("CR inside a line");
        if (colon == std::string_view::npos || colon < 6) return broken("no line number");
        long number = 0;
        for (char c : line.substr(0, colon)) {
            if (c < '0' || c > '9') return broken("line number is not a number");
            number = number * 10 + (c - '0');
        }
        const std::string_view text = line.substr(colon + 1);
        if (number < highest && text.find('=') == std::string_view::npos)
            return broken("line number decreases");
        highest = std::max(highest, number);
        if (!text.starts_with(texts.genericGap)) continue;
        const std::string_view group = text.substr(texts.genericGap.size());
        const std::size_t comma = group.find(',');
        const std::string_view code = group.substr(0, comma);
        const bool hidden = code == "5" || code == "100" || code == "102" || code == "330";
        if (comma != std::string_view::npos && comma > 0 && !hidden &&
            source.contains(group.substr(comma + 1)))
            continue;
        if (annotatedValue(text, source)) continue;
        if (comma == std::string_view::npos) return broken("generic line without a comma");
        return broken(hidden ? "hidden group listed" : "generic value not in the input");
    }
    const std::string_view report = last.substr(last.find(':') + 1);
    if (report != texts.eofAtValue && report != texts.eofAtCodeChecked)
        return "the last line is not an end-of-file report: " + std::string(last);
    return {};
}

}  // namespace dxflist::test
