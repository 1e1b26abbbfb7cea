#pragma once
// What every listing must hold whatever its input; shared by the corpus test and the fuzzer.

#include <string>
#include <string_view>
#include <vector>

namespace dxflist::test {

// Every line ends with CR LF and has a line number; numbers never decrease but for a header
// variable's line; no hidden group is listed; every generic line's value is in the input as
// read; the last line reports where the end of the file was met (of a binary DXF, only this is
// checked). Returns what is broken and where, or nothing.
std::string listingFault(std::string_view listing, std::string_view input);

// Whether `bytes` begin with the binary DXF sentinel.
bool isBinaryDxf(std::string_view bytes);

// The lines of `bytes` by the rules written out plainly: a line ends at CR or CR LF, a lone LF
// stays in it.
std::vector<std::string_view> linesOf(std::string_view bytes);

}  // namespace dxflist::test
