#!/usr/bin/env bash
# dxflist-batch.exe under Wine against the Linux build's dxflist-batch: for every corpus file,
# and for Japanese names under Wine's English and Japanese locales (the engine must not depend
# on the ANSI code page) and a folder deeper than MAX_PATH, the same status, output.txt and
# unix.dxf bytes, and the same messages but for the Windows path.
#   batch_test.sh BATCH_EXE LINUX_BATCH CORPUS_DIR
set -euo pipefail
EXE=$1 LINUX=$2 CORPUS=$3
[[ -x $LINUX ]] || { echo "FAIL: no Linux build at $LINUX" >&2; exit 1; }
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
export LC_ALL=C.UTF-8 # Wine reads the command line in the locale's character set
T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-winbatch.XXXXXX")
trap 'rm -rf "$T"' EXIT
failures=0 count=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# compare SRC APPDIR [VAR=VALUE...]: lists SRC with both builds, the Windows one into APPDIR.
compare() {
    local src=$1 win=$2 ref=$T/ref want got status=0 winStatus=0
    rm -rf "$ref" && mkdir -p "$ref" "$win" && rm -f "$win/output.txt" "$win/unix.dxf"
    "$LINUX" "$src" "$ref" 2>"$T/ref.err" || status=$?
    env "${@:3}" setarch -R wine "$EXE" "$(winpath "$src")" "$(winpath "$win")" 2>"$T/win.err" || winStatus=$?
    ((status == winStatus)) || fail "$src: exit status $winStatus, Linux $status: $(tail -n 5 "$T/win.err")"
    for f in output.txt unix.dxf; do
        [[ ! -e $ref/$f && ! -e $win/$f ]] || cmp -s "$ref/$f" "$win/$f" || fail "$src: $f differs from the Linux build's"
    done
    # MinGW's stderr is in text mode: LF arrives as CR LF.
    want=$(cat "$T/ref.err") got=$(sed 's/\r$//' "$T/win.err")
    [[ $got == "${want//"$ref/unix.dxf"/"$(winpath "$win")\\unix.dxf"}" ]] || fail "$src: messages differ: '$got' and '$want'"
    count=$((count + 1))
}
for src in "$CORPUS"/*; do compare "$src" "$T/app"; done
locale -a | grep -qix 'ja_JP\.utf-\?8' || fail "no ja_JP.UTF-8 locale (scripts/win.sh makes it)"
mkdir -p "$T/図面"
for locale in C.UTF-8 ja_JP.UTF-8; do
    for file in ezdxf_R12_ansi932_crlf.dxf derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf; do
        cp "$CORPUS/$file" "$T/図面/平面図.dxf"
        compare "$T/図面/平面図.dxf" "$T/図面" LC_ALL="$locale"
    done
    grep -qF "一時ファイル名 : $(winpath "$T")\\図面\\unix.dxf" "$T/win.err" || fail "the unix.dxf message ($locale) names no $(winpath "$T")\\図面\\unix.dxf"
done
deep=$T/$(printf '図面フォルダ-%040d/' 1 2 3 4 5 6 7)
deep=${deep%/}
mkdir -p "$deep" && cp "$CORPUS/derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf" "$deep/in.dxf"
compare "$deep/in.dxf" "$deep"
# A run killed while it copies an LF drawing leaves nothing behind: its new file goes with the
# process, and so does its claim on the folder. While it copies, a second run in the folder
# stops at once; once it is killed, the drawing is listed as ever.
mkdir -p "$T/killed"
{ yes $' 70\n1' || true; } | head -c 300000000 >"$T/killed.dxf"
setarch -R wine "$EXE" "$(winpath "$T/killed.dxf")" "$(winpath "$T/killed")" >/dev/null 2>&1 &
killed=$! # Wine's loader keeps the process number: this is the program itself
for _ in $(seq 1000); do [[ -n $(ls -A "$T/killed") ]] && break; sleep 0.01; done
[[ -n $(ls -A "$T/killed") ]] || fail "the killed run's copy was never seen"
# Held still while the second run starts, which under Wine on a busy machine can take long
# enough for the copy to finish and the listing to begin.
kill -STOP "$killed"
second=0
setarch -R wine "$EXE" "$(winpath "$CORPUS/gdal_3d.dxf")" "$(winpath "$T/killed")" 2>"$T/second.err" || second=$?
((second == 2)) && grep -qF "別の実行" "$T/second.err" ||
    fail "a second run in the folder of a run that copies: status $second: $(tail -c 300 "$T/second.err")"
kill -KILL "$killed"
wait "$killed" || true
for _ in $(seq 500); do [[ -z $(ls -A "$T/killed") ]] && break; sleep 0.01; done
[[ -z $(ls -A "$T/killed") ]] || fail "a run killed during the copy left $(ls -A "$T/killed")"
rm -f "$T/killed.dxf"
compare "$CORPUS/derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf" "$T/killed"
((failures == 0 && count > 3)) || { echo "$failures failure(s) in $count comparisons" >&2; exit 1; }
echo "batch under Wine: $count listings identical to the Linux build's"
