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
    endSecFlag = false;
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
bool StructureAnnotator::applyRules(Code code, const GroupPair& pair, ListingWriter& listing,
                                    bool& reuseFlag) {
    const TextRef& value = pair.grpValue;
    const std::int32_t line = pair.codeLine;
    const bool zero = code == Code::Zero;
    bool handled = false;

    // A comment. It also makes a following "2" name a section.
    if (code == Code::Comment) {
        getMode = GetMode::Sec;
        listing.putLine(line, texts_.comment, value);
        handled = true;
    }
    // Section start.
    if (zero && value.is("SECTION")) {
        getMode = GetMode::Sec;
        listing.putLine(line, texts_.sectionStart);
        handled = true;
    }
    // Section end, noted first so that a pending header variable is written before it.
    if (zero && value.is("ENDSEC")) endSecFlag = true;
    // Section name.
    if (getMode == GetMode::Sec && secName.empty() && code == Code::Two) {
        getMode = GetMode::None;
        setSecName(value);
        listing.putLine(line, secName, texts_.sectionSuffix);
        handled = true;
    }
    // A pending header variable is complete: the next one begins, or its section ends. The
    // next one's pair comes round again to start it.
    if ((code == Code::Nine && secKind_ == Section::Header && !varName.empty() && !handled) ||
        endSecFlag) {
        getMode = GetMode::None;
        if (!varName.empty()) listing.putLine(varLine, varName, "=", varValue);
        varName.clear();
        varValue.clear();
        handled = true;
        if (!endSecFlag) reuseFlag = true;
        endSecFlag = false;
    }
    // A header variable's name.
    if (code == Code::Nine && secKind_ == Section::Header && varName.empty() && !handled) {
        getMode = GetMode::Var;
        varName.assign(value);
        varLine = line;
        varValue.clear();
        handled = true;
    }
    // A header variable's value. An empty first value is replaced by the next one.
    if (getMode == GetMode::Var && !handled) {
        if (!varValue.empty()) varValue.append(" , ");
        varValue.append(value);
        handled = true;
    }
    // TABLES named after a section start or comment inside a section that has not ended.
    if (code == Code::Two && getMode == GetMode::Sec && value.is("TABLES")) {
        getMode = GetMode::None;
        setSecName(TextRef::of("TABLES"));
        listing.putLine(line, texts_.tablesSection);
        handled = true;
    }
    // Table start.
    if (zero && secKind_ == Section::Tables && value.is("TABLE")) {
        getMode = GetMode::Tab;
        listing.putLine(line, texts_.tableStart);
        handled = true;
    }
    // Table end.
    if (zero && secKind_ == Section::Tables && value.is("ENDTAB")) {
        getMode = GetMode::None;
        listing.putLine(line, texts_.tableEnd);
        tblName.clear();
        handled = true;
    }
    // Table name.
    if (getMode == GetMode::Tab && secKind_ == Section::Tables && code == Code::Two) {
        getMode = GetMode::None;
        tblName.assign(value);
        listing.putLine(line, "<", tblName, ">", texts_.tableStart);
        handled = true;
    }
    // Entity and block keywords; BLOCK and ENDBLK stand out.
    if (zero && (secKind_ == Section::Entities || secKind_ == Section::Blocks)) {
        const bool block = value.is("BLOCK") || value.is("ENDBLK");
        getMode = GetMode::None;
        tblName.assign(value);
        listing.putLine(line, block ? kBlockPrefix : std::string_view(), value);
        handled = true;
    }
    // Table entry.
    if (getMode == GetMode::None && !handled && secKind_ == Section::Tables && zero) {
        listing.putLine(line, kEntryPrefix, value);
        handled = true;
    }
    // Table entry name, shown with its table's name.
    if (getMode == GetMode::None && !handled && secKind_ == Section::Tables && code == Code::Two) {
        listing.putLine(line, "<", tblName, ":", value, ">");
        handled = true;
    }
    // Section end.
    if (zero && value.is("ENDSEC")) {
        getMode = GetMode::None;
        setSecName(TextRef{});
        listing.putLine(line, texts_.sectionEnd);
        handled = true;
    }
    // End-of-file marker.
    if (zero && value.is("EOF")) {
        getMode = GetMode::None;
        listing.putLine(line, texts_.fileEnd);
        handled = true;
    }
    // Any other "0" between sections.
    if (zero && secName.empty() && !handled) {
        listing.putLine(line, texts_.unhandled, value);
        handled = true;
    }
    return handled;
}

}  // namespace dxflist
