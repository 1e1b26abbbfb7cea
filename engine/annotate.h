#pragma once
// The structure annotation: recognises comments, sections, header variables, tables, entities
// and blocks, writes one annotated line for each, and hides the bookkeeping groups.

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/listing_texts.h"
#include "engine/listing_writer.h"
#include "engine/pair_reader.h"
#include "engine/rope.h"
#include "engine/text.h"

namespace dxflist {

class StructureAnnotator {
  public:
    // `source` is the file the pairs are read from: long values stay there until written.
    StructureAnnotator(const ListingTexts& texts, InputFile& source)
        : texts_(texts), secName(&source), varName(&source), varValue(&source), tblName(&source) {}

    // What the rules did with a pair.
    enum class Outcome : std::uint8_t {
        NotTaken,       // the run writes the generic line
        Taken,          // one of them took it
        TakenAndAgain,  // taken, and it must be processed once more without reading
    };

    // Back to the state at the start of a run.
    void reset();
    // Applies every rule to the pair in order.
    Outcome annotate(const GroupPair& pair, ListingWriter& listing) {
        const Code code = classify(pair.grpCode);
        // Handles, subclass markers, application groups and owner handles are hidden, and no
        // rule looks at them further. Groups of other codes concern only the value collection
        // of a header variable. Most groups of a drawing are of these kinds and leave here.
        if (code == Code::Hidden) return Outcome::Taken;
        if (code == Code::Other && getMode != GetMode::VariableValues) return Outcome::NotTaken;
        return applyRules(code, pair, listing);
    }

  private:
    friend class PairLane;  // engine/pair_lane.h: lists the usual pairs of each state itself
    // Codes by what they mean to the rules: an entity's or a structure's type ("0"), a name
    // ("2"), a header variable's name ("9"), a comment, a hidden group, any other.
    enum class Code { Other, Type, Name, Variable, Comment, Hidden };
    // What a coming pair is awaited to give (getMode).
    enum class GetMode { None, SectionName, VariableValues, TableName };

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
    Outcome applyRules(Code code, const GroupPair& pair, ListingWriter& listing);
    enum class Section { None, Header, Tables, Entities, Blocks, Other };

    void setSecName(const TextRef& name);

    const ListingTexts& texts_;
    Rope secName;
    Section secKind_ = Section::None;  // secName, recognised once when it is set
    GetMode getMode = GetMode::None;
    Rope varName;
    std::int32_t varLine = 0;
    Rope varValue;  // a variable of millions of values costs no more memory than a short one
    Rope tblName;
};

}  // namespace dxflist
