// The annotator's answer (what a pair of each class of code needs) against its own rules, in
// every state the rules can reach: a short way that trusts the answer must list what the rules
// list, and leave the state the rules leave. A rule changed without its answer fails here.

#include "engine/annotate.h"

#include <algorithm>
#include <deque>
#include <map>
#include <utility>

#include "test_support.h"

namespace dxflist::test {
namespace {

using Need = StructureAnnotator::Need;
using Outcome = StructureAnnotator::Outcome;
using Pair = std::pair<std::string, std::string>;  // trimmed code, value

// The pairs the states are reached by: every keyword the rules look for, with the codes that
// carry them, and the other classes of code.
const std::vector<Pair> kSteps = {
    {"0", "SECTION"}, {"0", "ENDSEC"},  {"0", "EOF"},    {"0", "TABLE"},  {"0", "ENDTAB"},
    {"0", "BLOCK"},   {"0", "LINE"},    {"2", "HEADER"}, {"2", "TABLES"}, {"2", "ENTITIES"},
    {"2", "BLOCKS"},  {"2", "OBJECTS"}, {"2", "X"},      {"9", "$V"},     {"999", "note"},
    {"10", "1.5"},    {"5", "1F"},
};

// The pairs whose answer is held against the rules: codes of every class, with every keyword
// and values near them where the rules look at values ("0" and "2" pairs), a few elsewhere.
std::vector<Pair> probes() {
    const char* keywords[] = {"SECTION", "ENDSEC",  "EOF",      "TABLE",    "ENDTAB",  "BLOCK",
                              "ENDBLK",  "HEADER",  "TABLES",   "ENTITIES", "BLOCKS",  "LINE",
                              "",        "section", "SECTION ", " EOF",     "ENDBLKS", "$V"};
    const std::pair<std::vector<const char*>, std::vector<const char*>> groups[] = {
        {{"0", "2"}, {std::begin(keywords), std::end(keywords)}},
        {{"9"}, {"$V", "", "SECTION"}},
        {{"999"}, {"note"}},
        {{"5", "100", "102", "330"}, {"SECTION", "ENDSEC"}},
        {{"10", "70"}, {"1", "ENDSEC", "TABLES"}},
    };
    std::vector<Pair> pairs;
    for (const auto& [codes, values] : groups)
        for (const char* code : codes)
            for (const char* value : values) pairs.emplace_back(code, value);
    return pairs;
}

// What follows the probe in both lists: pairs that show the state left behind (the mode, the
// section, a pending variable, the table name an entry shows).
const std::vector<Pair> kAfterwards = {
    {"10", "1"}, {"2", "N"},      {"9", "$W"},      {"10", "2"},     {"0", "E"},
    {"2", "M"},  {"0", "ENDSEC"}, {"0", "SECTION"}, {"2", "TABLES"}, {"0", "E"},
    {"2", "M"},  {"0", "ENDSEC"}, {"0", "EOF"},
};

// An annotator and its listing, fed pair after pair as the run feeds them: through the rules
// alone, each pair again while they ask for it.
class Feed {
  public:
    Feed(const TempDir& dir, const char* name)
        : source_(madeSource(dir)),
          listing_(OutputFile(dir / name), 4096, source_, listingTexts().genericGap),
          annotator_(listingTexts(), source_),
          out_(dir / name) {}

    void byRules(const Pair& pair) {
        const GroupPair group = groupOf(pair);
        Outcome outcome;
        do {
            outcome =
                annotator_.applyRules(StructureAnnotator::classify(group.grpCode), group, listing_);
            if (outcome == Outcome::NotTaken)
                listing_.putGenericLine(group.codeLine, group.grpCode, group.grpValue);
        } while (outcome == Outcome::TakenAndAgain);
    }
    void byRules(const std::vector<Pair>& pairs) {
        for (const Pair& pair : pairs) byRules(pair);
    }
    // What the answer promises for the pair, done the short way; false where it promises
    // nothing (the rules must see it).
    bool byAnswer(const Pair& pair) {
        const GroupPair group = groupOf(pair);
        const StructureAnnotator::Code code = StructureAnnotator::classify(group.grpCode);
        switch (annotator_.needs()[static_cast<std::size_t>(code)]) {
            case Need::Generic:
                listing_.putGenericLine(group.codeLine, group.grpCode, group.grpValue);
                return true;
            case Need::Hidden:
                return true;
            case Need::Entity:
                if (std::ranges::find(kEntityRunEnds, pair.second) != kEntityRunEnds.end())
                    return false;
                listing_.putLine(group.codeLine, group.grpValue);
                annotator_.enterEntity(group.grpValue);
                return true;
            case Need::Rules:
                return false;
        }
        return false;
    }
    std::string listed() {
        listing_.finish();
        return readFile(out_);
    }
    StructureAnnotator::State state() const { return annotator_.state(); }
    Need needOf(const std::string& code) const {
        return annotator_
            .needs()[static_cast<std::size_t>(StructureAnnotator::classify(TextRef::of(code)))];
    }

  private:
    // The file the pairs stand for; the rules keep no region of it, as every value is short.
    static std::filesystem::path madeSource(const TempDir& dir) {
        writeFile(dir / "source.dxf", "x");
        return dir / "source.dxf";
    }
    GroupPair groupOf(const Pair& pair) {
        line_ += 2;
        return {TextRef::of(pair.first), TextRef::of(pair.second), line_};
    }

    InputFile source_;
    ListingWriter listing_;
    StructureAnnotator annotator_;
    std::filesystem::path out_;
    std::int32_t line_ = -1;
};

// Every state the rules reach from the start of a run, each with the shortest way there.
std::vector<std::vector<Pair>> reachableStates() {
    TempDir dir;
    std::vector<std::vector<Pair>> ways{{}};
    std::vector<StructureAnnotator::State> seen;
    {
        Feed start(dir, "walk.txt");
        seen.push_back(start.state());
    }
    for (std::size_t next = 0; next < ways.size(); ++next) {
        for (const Pair& step : kSteps) {
            std::vector<Pair> way = ways[next];
            way.push_back(step);
            Feed feed(dir, "walk.txt");
            feed.byRules(way);
            if (std::ranges::find(seen, feed.state()) != seen.end()) continue;
            seen.push_back(feed.state());
            ways.push_back(way);
        }
    }
    return ways;
}

TEST(StructureAnnotatorTest, AnswerDoesWhatTheRulesDoInEveryState) {
    const std::vector<std::vector<Pair>> ways = reachableStates();
    // Sections of five kinds and none, four modes, a variable pending or not: far from all
    // combine, but a walk that found few would hold the answer against little.
    EXPECT_GE(ways.size(), 19u);
    std::map<Need, int> promised;
    TempDir dir;
    for (const std::vector<Pair>& way : ways) {
        std::string wayText;
        for (const Pair& pair : way) wayText += pair.first + "/" + pair.second + " ";
        for (const Pair& probe : probes()) {
            SCOPED_TRACE("after [" + wayText + "] the pair " + probe.first + "/" + probe.second);
            Feed answer(dir, "answer.txt");
            answer.byRules(way);
            const Need need = answer.needOf(probe.first);
            if (!answer.byAnswer(probe)) continue;
            ++promised[need];
            answer.byRules(kAfterwards);

            Feed rules(dir, "rules.txt");
            rules.byRules(way);
            rules.byRules(probe);
            rules.byRules(kAfterwards);
            ASSERT_EQ(answer.listed(), rules.listed());
        }
    }
    // Every kind of promise was held against the rules somewhere.
    for (const Need need : {Need::Generic, Need::Hidden, Need::Entity})
        EXPECT_GT(promised[need], 0) << static_cast<int>(need);
}

}  // namespace
}  // namespace dxflist::test
