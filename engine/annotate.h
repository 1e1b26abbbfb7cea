#pragma once
// The structure annotation: recognises comments, sections, header variables, tables, entities
// and blocks, writes one annotated line for each, and hides the bookkeeping groups.

#include <cstdint>

#include "engine/cp932.h"
#include "engine/listing_writer.h"
#include "engine/text.h"

namespace dxflist {

// One group: its code (trimmed), its value (as read) and the line number of its code line.
struct GroupPair {
    TextRef grpCode;
    TextRef grpValue;
    std::int32_t codeLine = 0;
};

class StructureAnnotator {
  public:
    explicit StructureAnnotator(const ListingTexts& texts) : texts_(texts) {}

    // Back to the state at the start of a run.
    void reset();
    // Applies every rule to the pair in order; returns true when one of them took it. Sets
    // reuseFlag when the pair must be processed once more without reading.
    bool annotate(const GroupPair& pair, TextWriter& listing, bool& reuseFlag);

  private:
    enum class GetMode { None, Sec, Var, Tab };
    enum class Section { None, Header, Tables, Entities, Blocks, Other };

    void setSecName(const TextRef& name);

    const ListingTexts& texts_;
    Rope secName;
    Section secKind_ = Section::None;  // secName, recognised once when it is set
    GetMode getMode = GetMode::None;
    Rope varName;
    std::int32_t varLine = 0;
    Rope varValue;
    Rope tblName;
    bool endSecFlag = false;
};

}  // namespace dxflist
