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

exit $((failures > 0))
