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
}

void StructureAnnotator::setSecName(const TextRef& name) {
    secName.assign(name);
    if (secName.empty())
        secKind_ = Section::None;
    else if (secName.is("HEADER"))
        secKind_ = Section::Header;
    else if (secName.is("TABLES"))
        secKind_ = Section::Tables;
    else if (secName.is("ENTITIES"))
        secKind_ = Section::Entities;
    else if (secName.is("BLOCKS"))
        secKind_ = Section::Blocks;
    else
        secKind_ = Section::Other;
}

// Every rule is tested in turn against the state the rules before it have left; none stops
// the others. The order matters: see how a section end completes a pending header variable.
StructureAnnotator::Outcome StructureAnnotator::applyRules(Code code, const GroupPair& pair,
                                                           ListingWriter& listing) {
    const TextRef& value = pair.grpValue;
    const std::int32_t line = pair.codeLine;
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
    // Section start.
    if (type && value.is("SECTION")) {
        getMode = GetMode::SectionName;
        listing.putLine(line, texts_.sectionStart);
        handled = true;
    }
    // Section end, noted first so that a pending header variable is written before it.
    if (type && value.is("ENDSEC")) endSecFlag = true;
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
    if (code == Code::Name && getMode == GetMode::SectionName && value.is("TABLES")) {
        getMode = GetMode::None;
        setSecName(TextRef::of("TABLES"));
        listing.putLine(line, texts_.tablesSection);
        handled = true;
    }
    // Table start.
    if (type && secKind_ == Section::Tables && value.is("TABLE")) {
        getMode = GetMode::TableName;
        listing.putLine(line, texts_.tableStart);
        handled = true;
    }
    // Table end.
    if (type && secKind_ == Section::Tables && value.is("ENDTAB")) {
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
    // Entity and block keywords; BLOCK and ENDBLK stand out.
    if (type && (secKind_ == Section::Entities || secKind_ == Section::Blocks)) {
        const bool block = value.is("BLOCK") || value.is("ENDBLK");
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
    if (type && value.is("ENDSEC")) {
        getMode = GetMode::None;
        setSecName(TextRef{});
        listing.putLine(line, texts_.sectionEnd);
        handled = true;
    }
    // End-of-file marker.
    if (type && value.is("EOF")) {
        getMode = GetMode::None;
        listing.putLine(line, texts_.fileEnd);
        handled = true;
    }
    // Any other "0" between sections.
    if (type && secName.empty() && !handled) {
        listing.putLine(line, texts_.unhandled, value);
        handled = true;
    }
    if (!handled) return Outcome::NotTaken;
    return again ? Outcome::TakenAndAgain : Outcome::Taken;
}

}  // namespace dxflist
