#!/usr/bin/env bash
# dxflist-batch.exe under Wine against the Linux build's dxflist-batch: for every corpus file
# the same exit status, the same output.txt and unix.dxf bytes, and the same messages but for
# the path they name. Then a folder and a file with Japanese names, under Wine's English
# (code page 1252) and Japanese (code page 932) locales, since the engine must not depend on
# the ANSI code page.
#
#   batch_test.sh BATCH_EXE LINUX_BATCH CORPUS_DIR
set -euo pipefail

(($# == 3)) || { echo "usage: $0 BATCH_EXE LINUX_BATCH CORPUS_DIR" >&2; exit 64; }
EXE=$1 LINUX=$2 CORPUS=$3
[[ -x $LINUX ]] || { echo "FAIL: no Linux build at $LINUX (cmake --build build)" >&2; exit 1; }
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
# Without address space randomisation: see cmake/mingw-w64-x86_64.cmake.
wine() { setarch -R wine "$@"; }
export LC_ALL=C.UTF-8   # Wine reads the command line in the locale's character set

T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-winbatch.XXXXXX")
trap 'rm -rf "$T"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Wine's drive Z: is the Unix root.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# compare NAME SRC APPDIR [VAR=VALUE...]: lists SRC with both builds and compares; the
# Windows one writes into APPDIR, under the given environment.
compare() {
    local name=$1 src=$2 win=$3 ref=$T/ref
    shift 3
    rm -rf "$ref" && mkdir -p "$ref" "$win" && rm -f "$win/output.txt" "$win/unix.dxf"
    local refStatus=0 winStatus=0
    "$LINUX" "$src" "$ref" 2>"$T/ref.err" || refStatus=$?
    env "$@" wine "$EXE" "$(winpath "$src")" "$(winpath "$win")" 2>"$T/win.err" || winStatus=$?
    if ((refStatus != winStatus)); then
        fail "$name: exit status $winStatus, Linux $refStatus"
        # Once more with Wine's error and exception messages, for whoever reads the failure.
        mkdir -p "$T/rerun"
        env "$@" WINEDEBUG=err+all,+seh wine "$EXE" "$(winpath "$src")" "$(winpath "$T/rerun")" \
            2>&1 | tail -n 20 >&2 || true
    fi
    for f in output.txt unix.dxf; do
        if [[ -e $ref/$f || -e $win/$f ]]; then
            cmp -s "$ref/$f" "$win/$f" || fail "$name: $f differs from the Linux build's"
        fi
    done
    # The same messages, with the Windows path where Linux names its own; MinGW's stderr is in
    # text mode, so LF arrives as CR LF.
    local want got
    want=$(cat "$T/ref.err")
    want=${want//"$ref/unix.dxf"/"$(winpath "$win")\\unix.dxf"}
    got=$(sed 's/\r$//' "$T/win.err")
    [[ $got == "$want" ]] ||
        fail "$name: messages differ"$'\n'"--- Windows:"$'\n'"$got"$'\n'"--- Linux:"$'\n'"$want"
}

count=0
for src in "$CORPUS"/*; do
    compare "$(basename "$src")" "$src" "$T/app"
    count=$((count + 1))
done
((count > 0)) || fail "no files in $CORPUS"
echo "corpus: $count files compared"

# Japanese folder and file names, program folder and file in the same folder: a CR LF file is
# read in place, an LF file is copied to unix.dxf with a message naming it with backslashes.
mkdir -p "$T/図面"
src=$T/図面/平面図.dxf
locale -a | grep -qix 'ja_JP\.utf-\?8' ||
    fail "the ja_JP.UTF-8 locale is missing (scripts/win.sh makes it)"
for locale in C.UTF-8 ja_JP.UTF-8; do
    for file in ezdxf_R12_ansi932_crlf.dxf derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf; do
        cp "$CORPUS/$file" "$src"
        compare "平面図.dxf from $file, $locale" "$src" "$T/図面" LC_ALL="$locale"
    done
    grep -qF "一時ファイル名 : $(winpath "$T")\\図面\\unix.dxf" "$T/win.err" ||
        fail "the unix.dxf message ($locale) does not name $(winpath "$T")\\図面\\unix.dxf"
done

# Two runs in one folder: the first holds the listing while its box about unix.dxf is up (the
# batch shows boxes on stderr, here a full pipe); the second stops at once and changes nothing;
# the first then completes untouched.
two=$T/two crlf=$CORPUS/ezdxf_R12_ansi932_crlf.dxf lf=$CORPUS/derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf
mkdir -p "$two/app" "$two/ref"
wine "$EXE" "$(winpath "$crlf")" "$(winpath "$two/app")" 2>/dev/null
cp "$two/app/output.txt" "$two/earlier"
"$LINUX" "$lf" "$two/ref" 2>/dev/null
mkfifo "$two/box"
exec 3<>"$two/box"
head -c 65536 /dev/zero >&3
wine "$EXE" "$(winpath "$lf")" "$(winpath "$two/app")" 2>&3 &
first=$!
for _ in $(seq 300); do [[ -e $two/app/unix.dxf ]] && break; sleep 0.1; done
status=0
wine "$EXE" "$(winpath "$crlf")" "$(winpath "$two/app")" 2>"$T/win.err" || status=$?
cmp -s "$two/app/output.txt" "$two/earlier" || fail "two runs: the second changed the listing"
head -c 65536 <&3 >/dev/null
first_status=0
wait "$first" || first_status=$?
exec 3>&-
((status == 2)) && grep -q "別の実行が一覧を書き込んでいます" "$T/win.err" ||
    fail "two runs: the second ended with status $status: $(cat "$T/win.err")"
((first_status == 0)) && cmp -s "$two/app/output.txt" "$two/ref/output.txt" &&
    cmp -s "$two/app/unix.dxf" "$two/ref/unix.dxf" ||
    fail "two runs: the first ended with status $first_status, or its files differ from the Linux build's"

((failures == 0)) || { echo "$failures failure(s)" >&2; exit 1; }
echo "batch under Wine: all listings identical to the Linux build's"
