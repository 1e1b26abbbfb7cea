#include "engine/annotate.h"

namespace dxflist {
namespace {

constexpr std::string_view kBlockPrefix = " --------------------      ";
constexpr std::string_view kEntryPrefix = "---------------------  ";

}  // namespace

void StructureAnnotator::reset() {
    secName.clear();
    secKind_ = Section::None;
    getMode = GetMode::None;
    varName.clear();
    varLine = 0;
    varValue.clear();
    tblName.clear();
    updateNeeds();
}

// What each class of code needs, read off the rules below for the state they leave: the tests
// hold every entry against applyRules() in every state the rules can reach.
void StructureAnnotator::updateNeeds() {
    const bool idle = getMode == GetMode::None;
    const auto set = [this](Code code, Need need) {
        needs_[static_cast<std::size_t>(code)] = need;
    };
    set(Code::Hidden, Need::Hidden);
    set(Code::Comment, Need::Rules);
    // Other codes matter only as the values of a header variable.
    set(Code::Other, getMode == GetMode::VariableValues ? Need::Rules : Need::Generic);
    // A "2" pair names a section or a table only while a name is awaited; entries in TABLES.
    set(Code::Name, idle && secKind_ != Section::Tables ? Need::Generic : Need::Rules);
    // A "9" pair is a header variable's name in HEADER only.
    set(Code::Variable, idle && secKind_ != Section::Header ? Need::Generic : Need::Rules);
    const bool entities = secKind_ == Section::Entities || secKind_ == Section::Blocks;
    set(Code::Type, idle && entities ? Need::Entity : Need::Rules);
}

void StructureAnnotator::setSecName(const TextRef& name) {
    secName.assign(name);
    if (secName.empty())
        secKind_ = Section::None;
    else if (secName.is(keyword::kHeader))
        secKind_ = Section::Header;
    else if (secName.is(keyword::kTables))
        secKind_ = Section::Tables;
    else if (secName.is(keyword::kEntities))
        secKind_ = Section::Entities;
    else if (secName.is(keyword::kBlocks))
        secKind_ = Section::Blocks;
    else
        secKind_ = Section::Other;
}

// The order matters: see how a section end completes a pending header variable.
StructureAnnotator::Outcome StructureAnnotator::applyRules(Code code, const GroupPair& pair,
                                                           ListingWriter& listing) {
    const TextRef& value = pair.grpValue;
    const std::int32_t line = pair.codeLine;
    const GetMode modeBefore = getMode;
    const Section sectionBefore = secKind_;
    const bool type = code == Code::Type;
    bool handled = false;
    // A "0"/"ENDSEC" pair, noted by one rule and cleared by a later one in the same pass: it
    // lives for the pass only (endSecFlag).
    bool endSecFlag = false;
    bool again = false;

    // A comment. It also makes a following "2" name a section.
    if (code == Code::Comment) {
        getMode = GetMode::SectionName;
        listing.putLine(line, texts_.comment, value);
        handled = true;
    }
    // Handles, subclass markers, application groups and owner handles are hidden.
    if (code == Code::Hidden) handled = true;
    // Section start.
    if (type && value.is(keyword::kSection)) {
        getMode = GetMode::SectionName;
        listing.putLine(line, texts_.sectionStart);
        handled = true;
    }
    // Section end, noted first so that a pending header variable is written before it.
    if (type && value.is(keyword::kEndSec)) endSecFlag = true;
    // Section name.
    if (getMode == GetMode::SectionName && secName.empty() && code == Code::Name) {
        getMode = GetMode::None;
        setSecName(value);
        listing.putLine(line, secName, texts_.sectionSuffix);
        handled = true;
    }
    // A pending header variable is complete: the next one begins, or its section ends. The
    // next one's pair comes round again to start it.
    if ((code == Code::Variable && secKind_ == Section::Header && !varName.empty() && !handled) ||
        endSecFlag) {
        getMode = GetMode::None;
        if (!varName.empty()) listing.putLine(varLine, varName, "=", varValue);
        varName.clear();
        varValue.clear();
        handled = true;
        again = !endSecFlag;
        endSecFlag = false;
    }
    // A header variable's name.
    if (code == Code::Variable && secKind_ == Section::Header && varName.empty() && !handled) {
        getMode = GetMode::VariableValues;
        varName.assign(value);
        varLine = line;
        varValue.clear();
        handled = true;
    }
    // A header variable's value. An empty first value is replaced by the next one.
    if (getMode == GetMode::VariableValues && !handled) {
        if (!varValue.empty()) varValue.append(" , ");
        varValue.append(value);
        handled = true;
    }
    // TABLES named after a section start or comment inside a section that has not ended.
    if (code == Code::Name && getMode == GetMode::SectionName && value.is(keyword::kTables)) {
        getMode = GetMode::None;
        setSecName(TextRef::of(keyword::kTables));
        listing.putLine(line, texts_.tablesSection);
        handled = true;
    }
    // Table start.
    if (type && secKind_ == Section::Tables && value.is(keyword::kTable)) {
        getMode = GetMode::TableName;
        listing.putLine(line, texts_.tableStart);
        handled = true;
    }
    // Table end.
    if (type && secKind_ == Section::Tables && value.is(keyword::kEndTab)) {
        getMode = GetMode::None;
        listing.putLine(line, texts_.tableEnd);
        tblName.clear();
        handled = true;
    }
    // Table name.
    if (getMode == GetMode::TableName && secKind_ == Section::Tables && code == Code::Name) {
        getMode = GetMode::None;
        tblName.assign(value);
        listing.putLine(line, "<", tblName, ">", texts_.tableStart);
        handled = true;
    }
    // Entity and block keywords; BLOCK and ENDBLK stand out. A value outside kEntityRunEnds does
    // nothing else in ENTITIES and BLOCKS (Need::Entity).
    if (type && (secKind_ == Section::Entities || secKind_ == Section::Blocks)) {
        const bool block = value.is(keyword::kBlock) || value.is(keyword::kEndBlk);
        getMode = GetMode::None;
        tblName.assign(value);
        listing.putLine(line, block ? kBlockPrefix : std::string_view(), value);
        handled = true;
    }
    // Table entry.
    if (getMode == GetMode::None && !handled && secKind_ == Section::Tables && type) {
        listing.putLine(line, kEntryPrefix, value);
        handled = true;
    }
    // Table entry name, shown with its table's name.
    if (getMode == GetMode::None && !handled && secKind_ == Section::Tables && code == Code::Name) {
        listing.putLine(line, "<", tblName, ":", value, ">");
        handled = true;
    }
    // Section end.
    if (type && value.is(keyword::kEndSec)) {
        getMode = GetMode::None;
        setSecName(TextRef{});
        listing.putLine(line, texts_.sectionEnd);
        handled = true;
    }
    // End-of-file marker.
    if (type && value.is(keyword::kEof)) {
        getMode = GetMode::None;
        listing.putLine(line, texts_.fileEnd);
        handled = true;
    }
    // Any other "0" between sections.
    if (type && secName.empty() && !handled) {
        listing.putLine(line, texts_.unhandled, value);
        handled = true;
    }
    // Most pairs that reach the rules change neither the mode nor the section.
    if (getMode != modeBefore || secKind_ != sectionBefore) updateNeeds();
    if (!handled) return Outcome::NotTaken;
    return again ? Outcome::TakenAndAgain : Outcome::Taken;
}

}  // namespace dxflist
