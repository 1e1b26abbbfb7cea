#pragma once
// The structure annotation: recognises comments, sections, header variables, tables, entities
// and blocks, writes one annotated line for each, and hides the bookkeeping groups. Every rule
// lives here: applyRules() applies them, and needs() says for each class of code what a pair
// needs in the current state, so that a short way (the run's fast lane) asks this room instead
// of keeping a copy of the rules.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/listing_texts.h"
#include "engine/listing_writer.h"
#include "engine/pair_reader.h"
#include "engine/rope.h"
#include "engine/text.h"

namespace dxflist {

// The values the rules look for.
namespace keyword {
inline constexpr std::string_view kSection = "SECTION";
inline constexpr std::string_view kEndSec = "ENDSEC";
inline constexpr std::string_view kEof = "EOF";
inline constexpr std::string_view kHeader = "HEADER";
inline constexpr std::string_view kTables = "TABLES";
inline constexpr std::string_view kEntities = "ENTITIES";
inline constexpr std::string_view kBlocks = "BLOCKS";
inline constexpr std::string_view kTable = "TABLE";
inline constexpr std::string_view kEndTab = "ENDTAB";
inline constexpr std::string_view kBlock = "BLOCK";
inline constexpr std::string_view kEndBlk = "ENDBLK";
}  // namespace keyword

// The values of a "0" pair that the rules treat as more than an entity line inside ENTITIES and
// BLOCKS: a section's start and end, the end of the file, and a block's bounds, which the entity
// line shows with a prefix. Any other value there is an entity line and nothing else.
inline constexpr std::array<std::string_view, 5> kEntityRunEnds = {
    keyword::kSection, keyword::kEndSec, keyword::kEof, keyword::kBlock, keyword::kEndBlk};

class StructureAnnotator {
  public:
    // Codes by what they mean to the rules: an entity's or a structure's type ("0"), a name
    // ("2"), a header variable's name ("9"), a comment ("999"), a hidden group (handles "5",
    // subclass markers "100", application groups "102", owner handles "330"), any other.
    enum class Code : std::uint8_t { Other, Type, Name, Variable, Comment, Hidden };
    static constexpr std::size_t kCodes = 6;
    static_assert(static_cast<std::size_t>(Code::Hidden) + 1 == kCodes, "a Need for every Code");
    // What a coming pair is awaited to give (getMode).
    enum class GetMode : std::uint8_t { None, SectionName, VariableValues, TableName };
    // The section being read (secName), recognised once when it is set.
    enum class Section : std::uint8_t { None, Header, Tables, Entities, Blocks, Other };

    // What a pair of a class of code needs in the current state.
    enum class Need : std::uint8_t {
        Generic,  // no rule takes it: the run writes the generic line, and the state stays
        Hidden,   // taken, nothing is listed, and the state stays
        // A "0" pair in ENTITIES or BLOCKS: for a value outside kEntityRunEnds, its entity line
        // (the number and the value) and enterEntity(value) are all the rules do; for the rest
        // it needs the rules.
        Entity,
        Rules,  // only the rules can tell
    };
    using Needs = std::array<Need, kCodes>;

    // What the rules did with a pair.
    enum class Outcome : std::uint8_t {
        NotTaken,       // the run writes the generic line
        Taken,          // one of them took it
        TakenAndAgain,  // taken, and it must be processed once more without reading (reuseFlag)
    };

    // `source` is the file the pairs are read from: long values stay there until written.
    StructureAnnotator(const ListingTexts& texts, InputFile& source)
        : texts_(texts), secName(&source), varName(&source), varValue(&source), tblName(&source) {
        reset();
    }

    // Back to the state at the start of a run.
    void reset();

    static Code classify(const TextRef& code) {
        if (code.inFile) return Code::Other;
        const std::string_view c = code.mem;
        if (c.size() == 1) {
            switch (c[0]) {
                case '0':
                    return Code::Type;
                case '2':
                    return Code::Name;
                case '5':
                    return Code::Hidden;
                case '9':
                    return Code::Variable;
                default:
                    return Code::Other;
            }
        }
        if (c.size() != 3) return Code::Other;
        if (c == "100" || c == "102" || c == "330") return Code::Hidden;
        if (c == "999") return Code::Comment;
        return Code::Other;
    }

    // What a pair of each class of code needs now, by Code. The array stays where it is; its
    // entries change with the state, so whoever keeps a reference reads them again after every
    // call that may change the state (annotate, applyRules, reset).
    const Needs& needs() const { return needs_; }

    // Applies every rule to the pair in order, the pairs that need no rules skipped.
    Outcome annotate(const GroupPair& pair, ListingWriter& listing) {
        const Code code = classify(pair.grpCode);
        const Need need = needs_[static_cast<std::size_t>(code)];
        if (need == Need::Generic) return Outcome::NotTaken;
        if (need == Need::Hidden) return Outcome::Taken;
        return applyRules(code, pair, listing);
    }
    // Every rule in order, each tested against the state the rules before it have left; none
    // stops the others. annotate() and every short way must do what this does.
    Outcome applyRules(Code code, const GroupPair& pair, ListingWriter& listing);

    // The state an entity line leaves (Need::Entity): the entity rule keeps the keyword as the
    // table name. The caller writes the line.
    void enterEntity(const TextRef& value) { tblName.assign(value); }

    // The state as far as it decides which rules may apply: for tests that visit every state.
    struct State {
        Section section;
        GetMode mode;
        bool variablePending;
        bool operator==(const State&) const = default;
    };
    State state() const { return {secKind_, getMode, !varName.empty()}; }

  private:
    void setSecName(const TextRef& name);
    void updateNeeds();

    const ListingTexts& texts_;
    Rope secName;  // the name of the section being read; empty between sections
    Section secKind_ = Section::None;
    GetMode getMode = GetMode::None;
    Rope varName;              // the header variable whose values are being collected
    std::int32_t varLine = 0;  // the line of its name, where its listing line is numbered
    Rope varValue;             // its values so far, joined by " , ": a variable of millions of
                               // values costs no more memory than a short one
    Rope tblName;              // the current table's name; an entity keyword in ENTITIES
    Needs needs_{};
};

}  // namespace dxflist
