#!/usr/bin/env bash
# Bad input through dxflist-batch, as a user's machine would meet it: endless lines, files
# without permission, a full disk, things that are not files, awkward names.
#   batch_cases.sh DXFLIST_BATCH TESTS_DIR
set -uo pipefail
batch=$(realpath "$1")
tests=$(realpath "$2")
work=$(mktemp -d)
mounted=""
cleanup() {
    [[ -n $mounted ]] && umount "$mounted"
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
pass() { echo "PASS $1"; }
fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Runs the batch with peak memory in $work/rss (KiB), status in $status, stderr in $work/err.
run() {
    /usr/bin/time -f %M -o "$work/rss" timeout 60 "$batch" "$@" 2>"$work/err"
    status=$?
}

# The run as an unprivileged user, so that permissions count (root ignores them).
as_user() {
    if [[ $(id -u) -eq 0 ]]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
    else
        "$@"
    fi
}

# 1. 200 MB with neither CR nor LF: one line, never held in memory.
mkdir "$work/app1"
head -c 200000000 /dev/zero | tr '\0' 'x' >"$work/noline.dxf"
run "$work/noline.dxf" "$work/app1"
{
    cp932 '000000:終端検出[EOF] - グループコード読み込み時'; printf '\r\n'
    cp932 '000001:終端検出[EOF] - グループコード読み込み時 チェック出たところ'; printf '\r\n'
} >"$work/noline.expected"
if [[ $status -eq 0 ]] && cmp -s "$work/app1/output.txt" "$work/noline.expected" && (($(cat "$work/rss") < 32768)); then
    pass "200 MB without line ends (peak $(($(cat "$work/rss") / 1024)) MiB)"
else
    fail "200 MB without line ends" "status $status, peak $(cat "$work/rss") KiB"
fi
rm -f "$work/noline.dxf"

# 2. One 50 MB value line inside a normal file, listed whole in bounded memory.
mkdir "$work/app2"
{
    printf '  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n  1\r\n'
    head -c 50000000 /dev/zero | tr '\0' 'y'
    printf '\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n'
} >"$work/longline.dxf"
{
    cp932 '000001:セクションの始まり'; printf '\r\n'
    cp932 '000003:ENTITIES セクション'; printf '\r\n000005:TEXT\r\n000007:'
    cp932 '　　1,'; head -c 50000000 /dev/zero | tr '\0' 'y'; printf '\r\n000009:ENDSEC\r\n'
    cp932 '000009:セクションの終わり'; printf '\r\n'
    cp932 '000012:終端検出[EOF] - グループ値読み込み時'; printf '\r\n'
} >"$work/longline.expected"
run "$work/longline.dxf" "$work/app2"
if [[ $status -eq 0 ]] && cmp -s "$work/app2/output.txt" "$work/longline.expected" && (($(cat "$work/rss") < 32768)); then
    pass "50 MB line inside a file (peak $(($(cat "$work/rss") / 1024)) MiB)"
else
    fail "50 MB line inside a file" "status $status, peak $(cat "$work/rss") KiB"
fi
rm -f "$work/longline.dxf" "$work/longline.expected" "$work/app2/output.txt"

# 3. Permissions, as an unprivileged user.
sample=$tests/corpus/public/librecad_alg1.dxf
lf_sample=$tests/corpus/public/gdal_3d.dxf
mkdir -p "$work/perm/app" "$work/perm/locked"
cp "$sample" "$work/perm/unreadable.dxf"
cp "$sample" "$work/perm/readable.dxf"
cp "$lf_sample" "$work/perm/lf.dxf"
chmod 000 "$work/perm/unreadable.dxf"
chmod 755 "$work" "$work/perm"
chmod 777 "$work/perm/app"
chmod 555 "$work/perm/locked"
chmod 644 "$work/perm/readable.dxf" "$work/perm/lf.dxf"
as_user "$batch" "$work/perm/unreadable.dxf" "$work/perm/app" 2>"$work/err"
status=$?
if [[ $status -eq 2 ]] && grep -q "unreadable.dxf" "$work/err" && grep -q "Permission denied" "$work/err" &&
    [[ ! -e $work/perm/app/output.txt ]]; then
    pass "unreadable source"
else
    fail "unreadable source" "status $status: $(cat "$work/err")"
fi
as_user "$batch" "$work/perm/readable.dxf" "$work/perm/locked" 2>"$work/err"
status=$?
if [[ $status -eq 2 ]] && grep -q "locked/output.txt" "$work/err" && grep -q "Permission denied" "$work/err"; then
    pass "application folder without write permission"
else
    fail "application folder without write permission" "status $status: $(cat "$work/err")"
fi
as_user "$batch" "$work/perm/lf.dxf" "$work/perm/locked" 2>"$work/err"
status=$?
if [[ $status -eq 2 ]] && grep -q "locked/unix.dxf" "$work/err" && cmp -s "$lf_sample" "$work/perm/lf.dxf"; then
    pass "CR LF copy in a folder without write permission"
else
    fail "CR LF copy in a folder without write permission" "status $status: $(cat "$work/err")"
fi

# A read-only folder whose unix.dxf and output.txt are writable: the copy is written in place.
mkdir -p "$work/perm/ref" "$work/perm/ro"
"$batch" "$work/perm/lf.dxf" "$work/perm/ref" 2>/dev/null
touch "$work/perm/ro/unix.dxf" "$work/perm/ro/output.txt"
chmod 666 "$work/perm/ro/unix.dxf" "$work/perm/ro/output.txt"
chmod 555 "$work/perm/ro"
as_user "$batch" "$work/perm/lf.dxf" "$work/perm/ro" 2>"$work/err"
status=$?
if [[ $status -eq 0 ]] && cmp -s "$work/perm/ro/output.txt" "$work/perm/ref/output.txt" &&
    cmp -s "$work/perm/ro/unix.dxf" "$work/perm/ref/unix.dxf"; then
    pass "CR LF copy written in place in a read-only folder"
else
    fail "CR LF copy written in place in a read-only folder" "status $status: $(cat "$work/err")"
fi

# 4. A full disk: a small tmpfs when this machine lets us mount one, else /dev/full.
big_sample=$tests/corpus/public/skymakerolof_floorplan.dxf
mkdir -p "$work/full" "$work/fullref"
"$batch" "$big_sample" "$work/fullref" 2>/dev/null
if mount -t tmpfs -o size=16k tmpfs "$work/full" 2>/dev/null; then
    mounted=$work/full
    run "$big_sample" "$work/full"
    listed=$(stat -c %s "$work/full/output.txt")
    if [[ $status -eq 2 ]] && grep -q "No space left on device" "$work/err" && grep -q "full/output.txt" "$work/err" &&
        ((listed > 0)) && [[ $(tail -c 2 "$work/full/output.txt" | od -An -c | tr -d ' ') == '\r\n' ]] &&
        cmp -s "$work/full/output.txt" <(head -c "$listed" "$work/fullref/output.txt"); then
        pass "full disk (tmpfs): failure named, $listed bytes of whole lines kept"
    else
        fail "full disk (tmpfs)" "status $status, $listed bytes: $(cat "$work/err")"
    fi
    umount "$work/full" && mounted=""
else
    ln -s /dev/full "$work/full/output.txt"
    run "$big_sample" "$work/full"
    if [[ $status -eq 2 ]] && grep -q "No space left on device" "$work/err"; then
        pass "full disk (/dev/full)"
    else
        fail "full disk (/dev/full)" "status $status: $(cat "$work/err")"
    fi
fi

# A file-size limit (ulimit -f): a failure that names it, whole lines only, not a signal.
mkdir -p "$work/fsize"
(ulimit -f 64 && exec "$batch" "$big_sample" "$work/fsize") 2>"$work/err"
status=$?
listed=$(stat -c %s "$work/fsize/output.txt")
if [[ $status -eq 2 ]] && grep -q "File too large" "$work/err" &&
    [[ $(tail -c 2 "$work/fsize/output.txt" | od -An -c | tr -d ' ') == '\r\n' ]] &&
    cmp -s "$work/fsize/output.txt" <(head -c "$listed" "$work/fullref/output.txt"); then
    pass "file-size limit: failure named, $listed bytes of whole lines kept"
else
    fail "file-size limit" "status $status, $listed bytes: $(cat "$work/err")"
fi

# 5. Things that are not files: a clear failure, at once.
mkdir -p "$work/notfile/app" "$work/notfile/folder.dxf"
mkfifo "$work/notfile/pipe.dxf"
for source in "$work/notfile/folder.dxf" "$work/notfile/pipe.dxf" /dev/zero; do
    run "$source" "$work/notfile/app"
    if [[ $status -eq 2 ]] && grep -q "$source" "$work/err"; then
        pass "not a file: $source"
    else
        fail "not a file: $source" "status $status: $(cat "$work/err")"
    fi
done

# 6. Names with spaces, Japanese characters and a path of over a thousand bytes.
deep="$work/names/図面 フォルダ"
for i in 1 2 3 4 5 6 7 8; do deep="$deep/$(printf 'とても長いフォルダの名前%.0s' {1..5}) $i"; done
mkdir -p "$deep" "$work/names/plain"
cp "$lf_sample" "$deep/平面図 コピー.dxf"
"$batch" "$lf_sample" "$work/names/plain" 2>/dev/null
run "$deep/平面図 コピー.dxf" "$deep"
if [[ $status -eq 0 ]] && cmp -s "$deep/output.txt" "$work/names/plain/output.txt" &&
    cmp -s "$deep/unix.dxf" "$work/names/plain/unix.dxf" && grep -qF "$deep/unix.dxf" "$work/err"; then
    pass "spaces, Japanese and a folder path of $(printf %s "$deep" | wc -c) bytes"
else
    fail "spaces, Japanese and a long path" "status $status: $(head -c 300 "$work/err")"
fi

# 7. One header variable of 16 million values (64 MB): its values wait in a scratch file, the
# memory stays small and the listing is the same.
mkdir "$work/app7"
{
    printf '  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$V\r\n'
    yes 1 | head -n 32000000 | tr '\n' '\r'
    printf '  0\r\nENDSEC\r\n  0\r\nEOF\r\n'
} >"$work/manyvalues.dxf"
{
    cp932 '000001:セクションの始まり'; printf '\r\n'
    cp932 '000003:HEADER セクション'; printf '\r\n000005:$V='
    yes '1 , ' | head -n 15999999 | tr -d '\n'; printf '1\r\n'
    cp932 '32000007:セクションの終わり'; printf '\r\n'
    cp932 '32000010:終端検出[EOF] - グループ値読み込み時'; printf '\r\n'
} >"$work/manyvalues.expected"
run "$work/manyvalues.dxf" "$work/app7"
if [[ $status -eq 0 ]] && cmp -s "$work/app7/output.txt" "$work/manyvalues.expected" && (($(cat "$work/rss") < 32768)); then
    pass "header variable of 16 million values (peak $(($(cat "$work/rss") / 1024)) MiB)"
else
    fail "header variable of 16 million values" "status $status, peak $(cat "$work/rss") KiB"
fi
rm -f "$work/manyvalues.dxf" "$work/manyvalues.expected" "$work/app7/output.txt"

# 8. Two runs in one folder. The first holds the listing while its box about unix.dxf is up
# (the batch shows boxes on stderr, here a full pipe); the second stops at once and changes
# nothing; the first then completes untouched.
two=$work/two
mkdir -p "$two/app" "$two/ref"
"$batch" "$sample" "$two/app" 2>/dev/null
cp "$two/app/output.txt" "$two/earlier"
"$batch" "$lf_sample" "$two/ref" 2>/dev/null
mkfifo "$two/box"
exec 3<>"$two/box"
head -c 65536 /dev/zero >&3
"$batch" "$lf_sample" "$two/app" 2>&3 &
first=$!
for _ in $(seq 100); do [[ -e $two/app/unix.dxf ]] && break; sleep 0.1; done
"$batch" "$sample" "$two/app" 2>"$work/err"
status=$?
same=$(cmp -s "$two/app/output.txt" "$two/earlier" && echo yes)
head -c 65536 <&3 >/dev/null
wait "$first"
first_status=$?
exec 3>&-
if [[ $status -eq 2 ]] && grep -q "別の実行が一覧を書き込んでいます" "$work/err" && [[ $same == yes ]] &&
    ((first_status == 0)) && cmp -s "$two/app/output.txt" "$two/ref/output.txt" &&
    cmp -s "$two/app/unix.dxf" "$two/ref/unix.dxf"; then
    pass "two runs in one folder: the second stopped, the first untouched"
else
    fail "two runs in one folder" "second: status $status, listing kept: ${same:-no}; first: status $first_status: $(cat "$work/err")"
fi

exit $((failures > 0))
