#!/usr/bin/env bash
# The Windows download as a user gets it: unpacked into a fresh folder, it holds exactly the
# program (stripped, its symbols beside the build), the two READMEs with CR LF line ends (and a
# byte order mark, for Notepad) and the license; its dxflist.exe, run from there under Wine,
# lists a drawing through its window as the Linux build's dxflist-batch does.
#   package_test.sh ZIP WINDOWS_BUILD LINUX_BUILD
set -euo pipefail
(($# == 3)) || { echo "usage: $0 ZIP WINDOWS_BUILD LINUX_BUILD" >&2; exit 64; }
ZIP=$(realpath "$1") WIN=$(realpath "$2") LINUX=$(realpath "$3")
T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-package.XXXXXX")
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL [package]: $*" >&2; exit 1; }

mkdir "$T/unpacked"
unzip -q "$ZIP" -d "$T/unpacked"
contents=$(cd "$T/unpacked" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
[[ $contents == "LICENSE README.ja.txt README.txt dxflist.exe " ]] ||
    fail "the zip holds [$contents]"
for readme in README.txt README.ja.txt; do
    file=$T/unpacked/$readme
    [[ $(head -c 3 "$file" | od -An -tx1 | tr -d ' ') == efbbbf ]] || fail "$readme has no byte order mark"
    lines=$(wc -l <"$file")
    ((lines > 20 && $(grep -c $'\r$' "$file") == lines)) || fail "$readme: not every line ends with CR LF"
done
# The program without its symbols, which stay beside the build: its debug link names them, with
# their CRC-32 (the one gzip writes at its end).
exe=$T/unpacked/dxflist.exe
! x86_64-w64-mingw32-objdump -h "$exe" | grep -q ' \.debug_' || fail "dxflist.exe carries debug sections"
x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$T/link" "$exe" "$T/exe.copy" ||
    fail "dxflist.exe has no debug link"
name=$(head -c 18 "$T/link" | tr '\0' '|')
[[ $name == 'dxflist.exe.debug|' ]] || fail "the debug link names '$name'"
x86_64-w64-mingw32-objdump -h "$WIN/dxflist.exe.debug" | grep -q ' \.debug_info' || fail "no symbols beside the build"
[[ $(tail -c 4 "$T/link" | od -An -tx1) == $(gzip -c "$WIN/dxflist.exe.debug" | tail -c 8 | head -c 4 | od -An -tx1) ]] ||
    fail "the debug link's checksum is not that of $WIN/dxflist.exe.debug"
echo "package: contents and text files as expected; dxflist.exe $(stat -c %s "$exe") bytes, its symbols beside the build"

# Open through the window on an LF and a CR LF drawing (the harness's open scenario), run from
# the unpacked folder.
bash "$(dirname "$0")/../gui/gui_test.sh" wine open "$T/unpacked/dxflist.exe" "$LINUX/dxflist-batch" \
    "$LINUX/bench/dxflist-gen-bench" "$(realpath "$(dirname "$0")/../corpus/public")" "$LINUX/bench-data" \
    "$WIN/screenshots" "$WIN/tests/win/window_text.exe"
