#!/usr/bin/env bash
# Bad input through dxflist-batch as a user's machine meets it: an endless line, files without
# permission, a full disk, long Japanese names.
#   batch_cases.sh DXFLIST_BATCH TESTS_DIR FAIL_IO_LIBRARY (tests/bad_input/fail_io.cpp)
set -uo pipefail
batch=$(realpath "$1")
# The batch driver with the system's failures of tests/bad_input/fail_io.cpp, chosen by the
# variables given after it; the sanitizers' runtime lets the preload go first.
with_failures=(env LD_PRELOAD="$(realpath "$3")" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
corpus=$(realpath "$2")/corpus/public
sample=$corpus/skymakerolof_floorplan.dxf lf=$corpus/gdal_3d.dxf
work=$(mktemp -d)
mounted=""
trap '[[ -n $mounted ]] && umount "$mounted"; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
failures=0
check() { # NAME CONDITION [COMMAND...]: runs COMMAND if given; PASS or FAIL with the run's status and messages
    local name=$1 condition=$2
    shift 2
    (($#)) && run "$@"
    if eval "$condition"; then echo "PASS $name"; else echo "FAIL $name: status $status: $(head -c 300 "$work/err")"; failures=$((failures + 1)); fi
}
# run [setpriv...] SRC APPDIR: status in $status, peak memory (KiB) in $work/rss, stderr in $work/err.
run() {
    /usr/bin/time -f %M -o "$work/rss" timeout 60 "$@" 2>"$work/err"
    status=$?
}
has() { grep -qF -- "$1" "$work/err"; }
same_as_lf() { cmp -s "$1/output.txt" "$work/lfref/output.txt" && cmp -s "$1/unix.dxf" "$work/lfref/unix.dxf"; }
# FILE ends with CR LF and is the start of the full run's listing (REFERENCE, or the sample's).
whole_lines() { [[ $(tail -c 2 "$1" | od -An -tx1 | tr -d " \n") == 0d0a ]] && cmp -s -n "$(stat -c %s "$1")" "$1" "${2:-$work/ref/output.txt}"; }
sjis() { printf %s "$1" | iconv -t CP932; }
# Root ignores permissions: those runs are made as nobody.
as_user=()
[[ $(id -u) -eq 0 ]] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
mkdir -p "$work/ref" "$work/lfref" && "$batch" "$sample" "$work/ref" 2>/dev/null && "$batch" "$lf" "$work/lfref" 2>/dev/null

# 200 MB with neither CR nor LF: one line, never held in memory.
mkdir "$work/app1"
head -c 200000000 /dev/zero | tr '\0' 'x' >"$work/noline.dxf"
run "$batch" "$work/noline.dxf" "$work/app1"
printf '000000:%s\r\n000001:%s\r\n' "$(printf '終端検出[EOF] - グループコード読み込み時' | iconv -t CP932)" \
    "$(printf '終端検出[EOF] - グループコード読み込み時 チェック出たところ' | iconv -t CP932)" >"$work/noline.expected"
check "200 MB without line ends in $(($(cat "$work/rss") / 1024)) MiB" \
    '((status == 0 && $(cat "$work/rss") < 32768)) && cmp -s "$work/app1/output.txt" "$work/noline.expected"'
rm -f "$work/noline.dxf"

# Names, values and codes as long as a line held in memory can be, or just longer, each kept
# while the next comes: a section, a header variable with two such values, a table, an entity
# keyword, a code behind as many spaces, and a code of as many digits; then 400,000 short pairs.
# Memory stays under 10 MiB, with CR LF and with LF line ends (the copy), and the lines are all
# in the listing.
long_line() { head -c "$1" /dev/zero | tr '\0' "$2"; }
long_drawing() { # SIZE LINE_END
    local n=$1 e=$2 part
    for part in "$(long_line "$n" ' ')0" SECTION "  2" "$(long_line "$n" S)" "  0" ENDSEC "  0" SECTION "  2" HEADER \
        "  9" "$(long_line "$n" V)" " 10" "$(long_line "$n" v)" " 20" "$(long_line "$n" w)" " 30" 1 "  0" ENDSEC \
        "  0" SECTION "  2" TABLES "  0" TABLE "  2" "$(long_line "$n" T)" "  0" LAYER "  2" L1 "  0" ENDTAB "  0" ENDSEC \
        "  0" SECTION "  2" ENTITIES "  0" "$(long_line "$n" E)" "  8" 0 " $(long_line "$n" 1)" x; do
        printf "%s$e" "$part"
    done
    # Then many short pairs: their line ends, indexed as each chunk is read, must find room in
    # the buffers the long lines filled, not beside them.
    if [[ $e == '\n' ]]; then yes $'  8\n0'; else yes $'  8\r\n0\r'; fi | head -n 400000
    printf "%s$e" "  0" ENDSEC "  0" EOF
}
mkdir -p "$work/long"
peaks="" # the sanitizers' own memory is no part of the promise
[[ -n ${DXFLIST_SANITIZED:-} ]] && peaks=" (not measured under the sanitizers)" 
for n in $([[ -z ${DXFLIST_SANITIZED:-} ]] && echo 65472 524224 524300 1048000); do
    for e in crlf lf; do
        long_drawing "$n" "$([[ $e == lf ]] && echo '\n' || echo '\r\n')" >"$work/long.dxf"
        run "$batch" "$work/long.dxf" "$work/long"
        peaks+=" $(($(cat "$work/rss") / 1024))"
        ((status == 0 && $(cat "$work/rss") < 10240)) || peaks+="(status $status!)"
        (($(stat -c %s "$work/long/output.txt") > 7 * n)) || peaks+="(short listing!)"
    done
done
rm -rf "$work/long" "$work/long.dxf"
check "long names and values, peaks of$peaks MiB" '[[ $peaks != *!* ]]'

# Permission denied, on the source and on the application folder.
mkdir -p "$work/perm/app" "$work/perm/locked"
install -m 000 "$sample" "$work/perm/unreadable.dxf"
install -m 644 "$sample" "$work/perm/readable.dxf"
chmod 755 "$work" "$work/perm" && chmod 777 "$work/perm/app" && chmod 555 "$work/perm/locked"
check "unreadable source" '((status == 2)) && has unreadable.dxf && has "Permission denied" && [[ ! -e $work/perm/app/output.txt ]]' \
    "${as_user[@]}" "$batch" "$work/perm/unreadable.dxf" "$work/perm/app"
check "application folder without write permission" '((status == 2)) && has locked/output.txt && has "Permission denied"' \
    "${as_user[@]}" "$batch" "$work/perm/readable.dxf" "$work/perm/locked"

# A read-only folder whose unix.dxf and output.txt are writable: the copy is written in place.
# Started with standard input closed, as some launchers start programs: the first file opened,
# the listing, gets descriptor 0.
mkdir -p "$work/perm/ro" && install -m 644 "$lf" "$work/perm/lf.dxf"
touch "$work/perm/ro/unix.dxf" "$work/perm/ro/output.txt" && chmod 666 "$work/perm/ro/"* && chmod 555 "$work/perm/ro"
check "CR LF copy written in place in a read-only folder, standard input closed" '((status == 0)) && same_as_lf "$work/perm/ro"' \
    bash -c 'exec "$@" <&-' - "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/ro"

# Two runs of LF drawings at once in a folder their user may write but not list (mode 0733,
# another owner): one lists its drawing, the other stops at once or comes after it, and the copy
# and the listing are always of one drawing. Ten races.
mkdir -p "$work/race/app" "$work/race/refb"
tr -d '\r' <"$sample" >"$work/race/b.dxf" && cp "$lf" "$work/race/a.dxf" && chmod 644 "$work/race/"*.dxf
"$batch" "$work/race/b.dxf" "$work/race/refb" 2>/dev/null
chmod 755 "$work" "$work/race" && chmod 733 "$work/race/app"
mixed=""
for i in $(seq 10); do
    rm -f "$work/race/app/"*
    "${as_user[@]}" "$batch" "$work/race/a.dxf" "$work/race/app" 2>"$work/race/err.a" & pa=$!
    "${as_user[@]}" "$batch" "$work/race/b.dxf" "$work/race/app" 2>"$work/race/err.b" & pb=$!
    wait $pa; sa=$?; wait $pb; sb=$?
    status="$sa $sb"
    { same_as_lf "$work/race/app" && ((sa == 0)); } || {
        cmp -s "$work/race/app/output.txt" "$work/race/refb/output.txt" &&
            cmp -s "$work/race/app/unix.dxf" "$work/race/refb/unix.dxf" && ((sb == 0)); } ||
        mixed+=" race $i (status $sa $sb)"
    ((sa == 0)) || grep -qF "別の実行" "$work/race/err.a" || mixed+=" race $i: $(tail -c 200 "$work/race/err.a")"
    ((sb == 0)) || grep -qF "別の実行" "$work/race/err.b" || mixed+=" race $i: $(tail -c 200 "$work/race/err.b")"
    [[ $(ls -A "$work/race/app" | tr '\n' ' ') == "output.txt unix.dxf " ]] || mixed+=" race $i left: $(ls -A "$work/race/app")"
done
check "two runs at once in a folder nobody may list: one drawing's copy and listing" '[[ -z $mixed ]] || { echo "$mixed" >"$work/err"; false; }'

# Too little memory (ulimit -v), from too little for the buffers to too little for a thread of
# the program's own: every run ends with the complete listing, or with a message in Japanese that
# names the drawing, the listing then whole lines of it, or the earlier listing left as it was.
if [[ -z ${DXFLIST_SANITIZED:-} ]]; then
    mkdir -p "$work/mem"
    bad=""
    for kib in $(seq 6000 2000 40000); do
        printf 'earlier\r\n' >"$work/mem/output.txt"
        run bash -c 'ulimit -v "$0" && exec "$1" "$2" "$3"' "$kib" "$batch" "$sample" "$work/mem"
        if ((status == 0)) && cmp -s "$work/mem/output.txt" "$work/ref/output.txt"; then continue; fi
        if ((status == 2)) && has "ファイル: $sample" && has "メモリ" &&
            { [[ ! -s $work/mem/output.txt ]] || whole_lines "$work/mem/output.txt" ||
                [[ $(cat "$work/mem/output.txt") == $'earlier\r' ]]; }; then continue; fi
        bad+=" $kib KiB (status $status, $(stat -c %s "$work/mem/output.txt") bytes: $(head -c 80 "$work/err"))"
    done
    check "too little memory, 6 to 40 MB of address space" '[[ -z $bad ]] || { echo "$bad" >"$work/err"; false; }'
fi

# The copy written in place never goes through a link or a second name, nor starts where the
# listing cannot be written, and a copy it could not finish is emptied, and the box says so.
mkdir -p "$work/perm/rw" && install -m 666 "$sample" "$work/perm/rw/other.dxf" && install -m 666 "$sample" "$work/perm/ref.dxf"
for shape in symlink hardlink nolisting filesize reopen itself stopped; do
    d=$work/perm/$shape && mkdir -p "$d" && touch "$d/output.txt"
    case $shape in
    symlink) ln -s "$work/perm/rw/other.dxf" "$d/unix.dxf" ;;
    hardlink) ln "$work/perm/rw/other.dxf" "$d/unix.dxf" ;;
    nolisting) rm "$d/output.txt" && printf 'old copy\r\n' >"$d/unix.dxf" ;;
    filesize | reopen | stopped) touch "$d/unix.dxf" ;;
    itself) cp "$work/perm/lf.dxf" "$d/unix.dxf" ;;
    esac
    chmod 666 "$d"/* 2>/dev/null; chmod 555 "$d"
done
check "in place: a unix.dxf that is a symbolic link is not written through" '((status == 2)) && cmp -s "$work/perm/rw/other.dxf" "$work/perm/ref.dxf"' \
    "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/symlink"
check "in place: a unix.dxf with a second name is not written through" '((status == 2)) && cmp -s "$work/perm/rw/other.dxf" "$work/perm/ref.dxf"' \
    "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/hardlink"
check "in place: the drawing picked is unix.dxf itself, and is not emptied to be its own copy" '((status == 2)) && cmp -s "$work/perm/itself/unix.dxf" "$work/perm/lf.dxf"' \
    "${as_user[@]}" "$batch" "$work/perm/itself/unix.dxf" "$work/perm/itself"
check "in place: without a listing the old copy stays" '((status == 2)) && [[ $(cat "$work/perm/nolisting/unix.dxf") == $'"'"'old copy\r'"'"' ]]' \
    "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/nolisting"
check "in place: a copy stopped by a file-size limit is emptied" '((status == 2)) && has "unix.dxf は書き込みの途中で止まったので、空にしました" && has "File too large" && [[ ! -s $work/perm/filesize/unix.dxf ]]' \
    bash -c 'ulimit -f 1 && exec "$@"' - "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/filesize"
# Stopped as Exit in the window stops it, once part of the copy is written (a buffer of 512 KiB
# fills with about 100 of the 4 KiB slices the events hook is called for): emptied too.
yes $' 70\n1' | head -c 2000000 >"$work/perm/lf2m.dxf" && chmod 644 "$work/perm/lf2m.dxf"
check "in place: a copy stopped from the window is emptied" '((status == 3)) && [[ -f $work/perm/stopped/unix.dxf && ! -s $work/perm/stopped/unix.dxf ]]' \
    env DXFLIST_BATCH_STOP_AT=300 "${as_user[@]}" "$batch" "$work/perm/lf2m.dxf" "$work/perm/stopped"
# The same, where the copy cannot be opened again to be emptied: the box says it is incomplete.
check "in place: a copy that could not be emptied is named incomplete" '((status == 2)) && has "unix.dxf は書き込みの途中で止まったので、不完全です" && has "File too large"' \
    bash -c 'ulimit -f 1 && exec "$@"' - "${with_failures[@]}" DXFLIST_FAIL_REOPEN=/reopen/unix.dxf \
    "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$work/perm/reopen"

# A run killed while it copies an LF drawing leaves no file behind: three such runs, then one
# that lists the drawing as ever.
mkdir -p "$work/killed"
yes $' 70\n1' | head -c 200000000 >"$work/killed.dxf"
leftovers=""
for i in 1 2 3; do
    "$batch" "$work/killed.dxf" "$work/killed" 2>/dev/null &
    pid=$!
    for _ in $(seq 500); do ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF "$work/killed/" && break; sleep 0.01; done
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    leftovers+=$(ls -A "$work/killed")
done
check "runs killed during the copy leave nothing, the next lists" '[[ -z $leftovers ]] && ((status == 0)) && same_as_lf "$work/killed"' \
    "$batch" "$lf" "$work/killed"
# A copy written in place cannot be made in one step: a run killed while it writes leaves it
# part written, and the next run on the drawing writes it again, whole.
d=$work/perm/inplacekilled && mkdir -p "$d" && touch "$d/unix.dxf" "$d/output.txt" && chmod 666 "$d"/* && chmod 555 "$d"
chmod 644 "$work/killed.dxf"
"${as_user[@]}" "$batch" "$work/killed.dxf" "$d" 2>/dev/null &
pid=$!
for _ in $(seq 3000); do [[ -s $d/unix.dxf ]] && break; sleep 0.01; done
kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
partial=$(stat -c %s "$d/unix.dxf")
rm -f "$work/killed.dxf"
check "in place: a copy killed at $partial bytes is written whole by the next run" '((partial > 0)) && ((status == 0)) && same_as_lf "$d"' \
    "${as_user[@]}" "$batch" "$work/perm/lf.dxf" "$d"

# A run killed at a random moment of a CR LF listing leaves a start of the full listing in whole
# lines: 20 kills. Values of 2000 bytes go through the writer's slow way, which fills a buffer to
# its last byte, whatever line that falls in. The one gap left is a write() cut by the kill
# itself: Linux copies a write into the page cache a page (or a larger folio) at a time and stops
# between two when the process is being killed, so such a listing ends within a line at a
# multiple of 4096 bytes; those are counted, not failed.
mkdir -p "$work/cut/ref" "$work/cut/app"
value=$(head -c 2000 /dev/zero | tr '\0' v)
yes $'  1\r\n'"$value"$'\r' | head -c 40000000 >"$work/cut.dxf"
started=$(date +%s%N)
"$batch" "$work/cut.dxf" "$work/cut/ref" 2>/dev/null
took=$((($(date +%s%N) - started) / 1000))
whole=0 cut=0 broken=""
for i in $(seq 20); do
    "$batch" "$work/cut.dxf" "$work/cut/app" 2>/dev/null &
    pid=$!
    sleep "$(awk -v t="$took" -v r="$((RANDOM * 32768 + RANDOM))" 'BEGIN {printf "%.6f", (r % t) / 1e6}')"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    # A kill before the listing is made (a slow start, under the sanitizers) leaves none.
    if [[ ! -e $work/cut/app/output.txt ]]; then
        whole=$((whole + 1))
        continue
    fi
    kept=$(stat -c %s "$work/cut/app/output.txt")
    if ! cmp -s -n "$kept" "$work/cut/app/output.txt" "$work/cut/ref/output.txt"; then
        broken+=" kill $i: $kept bytes, not the listing's start;"
    elif ((kept == 0)) || [[ $(tail -c 2 "$work/cut/app/output.txt" | od -An -tx1 | tr -d " \n") == 0d0a ]]; then
        whole=$((whole + 1))
    elif ((kept % 4096 == 0)); then
        cut=$((cut + 1))
    else
        broken+=" kill $i: $kept bytes, ends within a line;"
    fi
done
rm -rf "$work/cut" "$work/cut.dxf"
check "killed listings: $whole of 20 whole lines, $cut cut within a write" '[[ -z $broken ]] || { echo "$broken" >"$work/err"; false; }'

# No thread to be had (ulimit -u): the reading ahead and writing behind happen on the run's own
# thread, and the listing and the copy are as ever.
# (The leak checker of the sanitizer build needs a thread of its own at the end.)
mkdir -p "$work/threads" && chmod 777 "$work/threads"
[[ -n ${DXFLIST_SANITIZED:-} ]] ||
    check "no thread of its own" '((status == 0)) && same_as_lf "$work/threads"' \
        "${as_user[@]}" bash -c 'ulimit -u 1 && exec "$@"' - "$batch" "$work/perm/lf.dxf" "$work/threads"
# The same with a drawing of many chunks, whose reading ahead and writing behind find no thread.
mkdir -p "$work/threads/ref" "$work/threads/big" && chmod 777 "$work/threads/big"
yes $' 70\n1' | head -c 3000000 >"$work/threads/big.dxf" && chmod 644 "$work/threads/big.dxf"
"$batch" "$work/threads/big.dxf" "$work/threads/ref" 2>/dev/null
[[ -n ${DXFLIST_SANITIZED:-} ]] ||
    check "no thread of its own, a drawing of many chunks" '((status == 0)) &&
        cmp -s "$work/threads/big/output.txt" "$work/threads/ref/output.txt" && cmp -s "$work/threads/big/unix.dxf" "$work/threads/ref/unix.dxf"' \
        "${as_user[@]}" bash -c 'ulimit -u 1 && exec "$@"' - "$batch" "$work/threads/big.dxf" "$work/threads/big"
# And a binary drawing of many chunks, read ahead by the binary reader.
mkdir -p "$work/threads/binref" "$work/threads/bin" && chmod 777 "$work/threads/bin"
python3 -c 'import sys; sys.stdout.buffer.write(b"AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION\0"
    + b"\x46\0\x01\0\x08\0layer 0\0" * 250000 + b"\0\0EOF\0")' >"$work/threads/bin.dxf"
chmod 644 "$work/threads/bin.dxf"
"$batch" "$work/threads/bin.dxf" "$work/threads/binref" 2>/dev/null
[[ -n ${DXFLIST_SANITIZED:-} ]] ||
    check "no thread of its own, a binary drawing of many chunks" '((status == 0)) &&
        cmp -s "$work/threads/bin/output.txt" "$work/threads/binref/output.txt"' \
        "${as_user[@]}" bash -c 'ulimit -u 1 && exec "$@"' - "$batch" "$work/threads/bin.dxf" "$work/threads/bin"

# A file-size limit (ulimit -f): the usual failure and whole lines, not death by a signal.
mkdir -p "$work/fsize"
run bash -c 'ulimit -f 64 && exec "$0" "$@"' "$batch" "$sample" "$work/fsize"
check "file-size limit, $(stat -c %s "$work/fsize/output.txt") bytes kept" '((status == 2)) && has "File too large" && whole_lines "$work/fsize/output.txt"'
# The same with a binary drawing, whose lane writes the listing itself up to the failure.
mkdir -p "$work/fsize-bin"
run bash -c 'ulimit -f 64 && exec "$0" "$@"' "$batch" "$work/threads/bin.dxf" "$work/fsize-bin"
kept=$work/fsize-bin/output.txt
check "file-size limit, binary drawing, $(stat -c %s "$kept") bytes kept" '((status == 2)) && has "File too large" && whole_lines "$kept" "$work/threads/binref/output.txt"'

# No code page converter to be had (its modules missing, or no memory to load them): the listing
# is made as ever, its texts being in code page 932 from the build on.
mkdir -p "$work/noconv"
check "no code page converter" '((status == 0)) && cmp -s "$work/noconv/output.txt" "$work/ref/output.txt"' \
    "${with_failures[@]}" DXFLIST_FAIL_ICONV=1 "$batch" "$sample" "$work/noconv"

# A listing whose close() fails, as a network file system may report a write that failed only
# then: the usual failure with the system's reason, not a listing reported as made.
mkdir -p "$work/close"
check "listing that cannot be closed" '((status == 2)) && has "ファイルを閉じられません" && has "$work/close/output.txt" && has "Input/output error"' \
    "${with_failures[@]}" DXFLIST_FAIL_CLOSE=/output.txt "$batch" "$sample" "$work/close"

# The CR LF copy's close() failing while it has no name yet (the system shows the path of such
# a file ending in "(deleted)"): the failure names unix.dxf, and the copy never takes the place
# of the old one, nor leaves a file of its own behind.
mkdir -p "$work/closecopy" && printf 'old copy\r\n' >"$work/closecopy/unix.dxf"
check "CR LF copy that cannot be closed" '((status == 2)) && has "ファイルを閉じられません" && has "$work/closecopy/unix.dxf" &&
    has "Input/output error" && [[ $(cat "$work/closecopy/unix.dxf") == $'"'"'old copy\r'"'"' && $(ls -A "$work/closecopy") == unix.dxf ]]' \
    "${with_failures[@]}" "DXFLIST_FAIL_CLOSE=(deleted)" "$batch" "$lf" "$work/closecopy"

# A full disk: a small tmpfs where this machine lets us mount one, else /dev/full. Only whole
# lines, each as the full run writes it, stay in the listing.
mkdir -p "$work/full"
if mount -t tmpfs -o size=16k tmpfs "$work/full" 2>/dev/null; then
    mounted=$work/full
    run "$batch" "$sample" "$work/full"
    size=$(stat -c %s "$work/full/output.txt")
    check "full disk (tmpfs), $size bytes kept" '((status == 2 && size > 0)) && has "No space left on device" &&
        has full/output.txt && whole_lines "$work/full/output.txt"'
else
    ln -s /dev/full "$work/full/output.txt"
    check "full disk (/dev/full)" '((status == 2)) && has "No space left on device"' "$batch" "$sample" "$work/full"
fi

# Spaces, Japanese characters and a folder path of over a thousand bytes.
deep="$work/names/図面 フォルダ"
for i in 1 2 3 4 5 6 7 8; do deep="$deep/$(printf 'とても長いフォルダの名前%.0s' {1..5}) $i"; done
mkdir -p "$deep"
cp "$lf" "$deep/平面図 コピー.dxf"
check "Japanese names, folder path of $(printf %s "$deep" | wc -c) bytes" '((status == 0)) && same_as_lf "$deep" && has "$deep/unix.dxf"' \
    "$batch" "$deep/平面図 コピー.dxf" "$deep"

# One header variable of 8 million values (32 MB): the values beyond a bound wait in a scratch
# file, so memory stays small, and the listing is the same.
mkdir "$work/values"
{ printf '  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$V\r\n'; yes 1 | head -n 16000000 | tr '\n' '\r'
    printf '  0\r\nENDSEC\r\n  0\r\nEOF\r\n'; } >"$work/values.dxf"
{ printf '000001:%s\r\n000003:HEADER %s\r\n000005:$V=' "$(sjis セクションの始まり)" "$(sjis セクション)"
    yes '1 , ' | head -n 7999999 | tr -d '\n'
    printf '1\r\n16000007:%s\r\n16000010:%s\r\n' "$(sjis セクションの終わり)" "$(sjis '終端検出[EOF] - グループ値読み込み時')"; } >"$work/values.expected"
run "$batch" "$work/values.dxf" "$work/values"
check "header variable of 8 million values in $(($(tail -n 1 "$work/rss") / 1024)) MiB" \
    '((status == 0 && $(tail -n 1 "$work/rss") < 32768)) && cmp -s "$work/values/output.txt" "$work/values.expected"'
# The same variable past a file-size limit of 4 MiB, which its scratch file reaches before the
# listing does: the scratch file's failure, with the system's reason.
run bash -c 'ulimit -f 4096 && exec "$0" "$@"' "$batch" "$work/values.dxf" "$work/values"
check "scratch file past a file-size limit" '((status == 2)) && has "一時ファイルに書き込めません" && has "File too large"'
rm -rf "$work/values" "$work/values.dxf" "$work/values.expected"

exit $((failures > 0))
