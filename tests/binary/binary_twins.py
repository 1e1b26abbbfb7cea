#!/usr/bin/env python3
"""Binary DXF against its ASCII twin: every binary drawing is listed by dxflist-batch as the
ASCII DXF that ezdxf's binary reader (a general DXF library, independent of dxflist) makes of
it, byte for byte; so is every cut-off copy at each kind of boundary, and a string value too
long to hold, within 10 MiB. Files that are no binary DXF are refused with a message naming them.

    binary_twins.py DXFLIST_BATCH TESTS_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

import ezdxf
from ezdxf.lldxf import tagger, types

SENTINEL = b"AutoCAD Binary DXF\r\n\x1a\x00"
batch, tests = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
work = Path(tempfile.mkdtemp(prefix="dxflist-binary-"))
failures = 0

# Strings stay bytes, as dxflist lists them: decoded as Latin-1 (R2007 and later: UTF-8 with
# the undecodable bytes escaped), both of which encode back to the very bytes of the file.
tagger.toencoding = lambda codepage: "latin-1"


def check(name, ok, detail=""):
    global failures
    print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    failures += not ok


def groups(data):
    """The groups of a binary DXF as ezdxf reads them: (code, value line, start, code end,
    value end), offsets in the file."""
    tags = list(tagger.binary_tags_loader(data, errors="surrogateescape"))
    version = next((str(b.value) for a, b in zip(tags, tags[1:]) if a.value == "$ACADVER"), "")
    encoding = "utf8" if version >= "AC1021" else "latin-1"
    # ezdxf chose the code width itself; the one whose sizes add up to the file is it.
    for one_byte in (False, True):
        out, at = [], len(SENTINEL)
        for tag in tags:
            code, value = tag.code, tag.value
            code_end = at + (2 if not one_byte else 1 if code < 255 else 3)
            if code in types.BINARY_DATA:
                line, size = bytes(value).hex().upper().encode(), 1 + len(value)
            elif isinstance(value, float):
                line, size = repr(value).encode(), 8
            elif isinstance(value, int):
                size = (1 if code in types.BYTES else 2 if code in types.INT16 else
                        4 if code in types.INT32 else 8)
                line = str(value).encode()
            else:
                line = value.encode(encoding, errors="surrogateescape")
                size = len(line) + 1
            out.append((code, line, at, code_end, code_end + size))
            at = code_end + size
        if at == len(data):
            return out, one_byte
    raise AssertionError("no code width fits the file")


def twin(gs, code_of_next=None):
    text = b"".join(b"%d\r\n%s\r\n" % (code, line) for code, line, *_ in gs)
    return text + (b"%d\r\n" % code_of_next if code_of_next is not None else b"")


def listing(path, app):
    """dxflist-batch's listing of `path`, or None and its message when the run failed."""
    app.mkdir(parents=True, exist_ok=True)
    run = subprocess.run([str(batch), str(path), str(app)], capture_output=True, timeout=120)
    if run.returncode != 0:
        return None, run.stderr.decode(errors="replace")
    return (app / "output.txt").read_bytes(), ""


def same_as_twin(name, binary, twin_text):
    (work / "twin.dxf").write_bytes(twin_text)
    expected, _ = listing(work / "twin.dxf", work / "twin")
    got, message = listing(binary, work / "bin")
    check(name, got == expected, message or "listings differ")


def refused(name, binary, reason):
    got, message = listing(binary, work / "bin")
    check(name, got is None and str(binary) in message and reason in message,
          message or "listed")


def cut_points(gs, one_byte):
    """Cuts at every kind of boundary, for the first groups of each type: at the group's start,
    within its code, after its code, within its value, one byte before its end."""
    seen = {}
    for n, (code, line, start, code_end, value_end) in enumerate(gs):
        kind = (types.TYPE_TABLE.get(code, str), code in types.BINARY_DATA, code_end - start)
        if seen.setdefault(kind, 0) >= 2:
            continue
        seen[kind] += 1
        for cut in {start, start + 1, code_end - 1, code_end, code_end + 1, value_end - 1}:
            if start <= cut < value_end:
                yield n, cut


def cut_cases(name, path, data):
    gs, one_byte = groups(data)
    for n, cut in cut_points(gs, one_byte):
        code, _, start, code_end, _ = gs[n]
        (work / "cut.dxf").write_bytes(data[:cut])
        label = f"{name} cut at {cut} (group {n}, code {code})"
        if cut < len(SENTINEL) + 2:
            refused(label, work / "cut.dxf", "グループコードの形式")
        elif cut < code_end:
            # Within the code: the twin ends with the group before.
            same_as_twin(label, work / "cut.dxf", twin(gs[:n]))
        elif types.TYPE_TABLE.get(code, str) is str and code not in types.BINARY_DATA:
            refused(label, work / "cut.dxf", "NUL")
        else:
            # Within the value: the twin's last line is this group's code.
            same_as_twin(label, work / "cut.dxf", twin(gs[:n], code))


def made_binaries():
    """Binary copies of real drawings saved by ezdxf, and a drawing of every value type with
    extended data (codes 1000 and up: an escape byte before them in one-byte codes)."""
    for name in ("ezdxf_R12_ansi932_crlf.dxf", "libdxf_blender-monkey_head_example_R12.dxf",
                 "gdal_3d.dxf", "ezdxf_R2013_utf8_lf.dxf",
                 "ezdxf-repo_mtext_complex_inline_codes.dxf"):
        out = work / ("bin_" + name)
        ezdxf.readfile(tests / "corpus/public" / name).saveas(out, fmt="bin")
        yield name + " saved binary", out
    for version in ("R12", "R2018"):
        doc = ezdxf.new(version)
        doc.appids.new("DXFLIST")
        line = doc.modelspace().add_line((1e-5, -0.0), (1e16, 123456.789))
        line.set_xdata("DXFLIST", [(1000, "x"), (1004, b"\x00\x7f\xff"), (1040, 5e-324),
                                   (1041, -1.5e300), (1070, -32768), (1071, 2147483647)])
        out = work / f"made_{version}.dxf"
        doc.saveas(out, fmt="bin")
        yield f"every value type ({version})", out


def every_numeric_code():
    """One group of each code the library reads as a number or a chunk, between the groups that
    make ezdxf read two-byte codes: the type of every such code is tried."""
    def group(code, value):
        return struct.pack("<H", code) + value

    def text(code, value):
        return group(code, value.encode() + b"\x00")

    body = b"".join([text(999, "a comment first"), text(0, "SECTION"), text(2, "HEADER"), text(9, "$ACADVER"),
                     text(1, "AC1032"), text(0, "ENDSEC"), text(0, "SECTION"),
                     text(2, "ENTITIES"), text(0, "LINE")])
    for code in range(1072):
        if code in types.BINARY_DATA:
            body += group(code, b"\x02\xab\x01")
        elif code in types.DOUBLE:
            body += group(code, struct.pack("<d", code / 7))
        elif code in types.INT16 or code in types.INT32 or code in types.INT64:
            size = 2 if code in types.INT16 else 4 if code in types.INT32 else 8
            body += group(code, (-code).to_bytes(size, "little", signed=True))
        elif code in types.BYTES:
            body += group(code, b"\x01")
    out = work / "every_code.dxf"
    out.write_bytes(SENTINEL + body + text(0, "ENDSEC") + text(0, "EOF"))
    return out


def main():
    files = [(p.name, p) for p in sorted((tests / "corpus/odd").glob("*.dxf"))
             if p.read_bytes().startswith(SENTINEL)]
    files += list(made_binaries())
    files.append(("every numeric code", every_numeric_code()))
    comment = work / "comment_first.dxf"
    comment.write_bytes(SENTINEL + b"\xff\xe7\x03a comment first\x00\x00SECTION\x00\x02ENTITIES\x00"
                        b"\x00LINE\x00\x0a" + struct.pack("<d", 0.25) + b"\x00ENDSEC\x00\x00EOF\x00")
    files.append(("a comment first", comment))
    for name, path in files:
        data = path.read_bytes()
        gs, one_byte = groups(data)
        same_as_twin(f"{name} ({'one' if one_byte else 'two'}-byte codes)", path, twin(gs))
    for name, path in files:
        if name.startswith(("every value type", "ixmilia", "gdal_BINARY")):
            cut_cases(name, path, path.read_bytes())

    # A string far longer than the reader's buffers, listed from the file within 10 MiB. One-byte
    # codes: without $ACADVER, ezdxf takes a file for R12.
    long = b"\x00SECTION\x00\x02ENTITIES\x00\x00TEXT\x00\x01" + b"x" * 30_000_000
    (work / "long.dxf").write_bytes(SENTINEL + long + b"\x00\x00ENDSEC\x00\x00EOF\x00")
    gs, _ = groups((work / "long.dxf").read_bytes())
    same_as_twin("30 MB string value", work / "long.dxf", twin(gs))
    # The sanitizers' own memory is no measure of the program's.
    if not os.environ.get("DXFLIST_SANITIZED"):
        rss = subprocess.run(["/usr/bin/time", "-f", "%M", str(batch), str(work / "long.dxf"),
                              str(work / "bin")], capture_output=True, text=True, errors="replace")
        kib = int(rss.stderr.split()[-1])
        check(f"30 MB string value in {kib // 1024} MiB", kib < 10 * 1024, f"{kib} KiB")
    # Strings of up to a chunk, each kept where a buffer ends, between runs of doubles whose text
    # the I/O thread writes in the same room: within 10 MiB, and listed as their twin. One-byte
    # codes, as above.
    for size in (300_000, 520_000):
        runs = b"".join(b"\x01" + b"x" * (size + i * 10) + b"\x00"
                        + (b"\x0a" + struct.pack("<d", 12345.6789 + i)) * 60_000 for i in range(24))
        (work / "kept.dxf").write_bytes(SENTINEL + b"\x00SECTION\x00\x02ENTITIES\x00\x00LINE\x00"
                                        + runs + b"\x00ENDSEC\x00\x00EOF\x00")
        gs, _ = groups((work / "kept.dxf").read_bytes())
        same_as_twin(f"strings of {size} bytes between doubles", work / "kept.dxf", twin(gs))
        if not os.environ.get("DXFLIST_SANITIZED"):
            rss = subprocess.run(["/usr/bin/time", "-f", "%M", str(batch), str(work / "kept.dxf"),
                                  str(work / "bin")], capture_output=True, text=True, errors="replace")
            kib = int(rss.stderr.split()[-1])
            check(f"strings of {size} bytes between doubles in {kib // 1024} MiB", kib < 10 * 1024,
                  f"{kib} KiB")

    start = SENTINEL + b"\x00\x00SECTION\x00\x02\x00ENTITIES\x00"
    for name, data, reason in [
        ("neither code 0 nor 999 first", SENTINEL + b"\x02\x00HEADER\x00", "グループコードの形式"),
        ("only the sentinel", SENTINEL, "グループコードの形式"),
        ("code 150, no DXF code", start + b"\x96\x00abc\x00", "グループコード 150"),
        ("code 65535", start + b"\xff\xff\x00", "グループコード 65535"),
        ("string without its NUL", start + b"\x00\x00LINE", "NUL"),
    ]:
        (work / "bad.dxf").write_bytes(data)
        refused(f"refused: {name}", work / "bad.dxf", reason)

    # One byte less of the sentinel: text, as any other file.
    (work / "text.dxf").write_bytes(SENTINEL[:-1] + b"\r\n0\r\nEOF\r\n")
    got, message = listing(work / "text.dxf", work / "bin")
    check("no sentinel: read as text", got is not None and b"0,EOF" not in got, message)


try:
    main()
finally:
    subprocess.run(["rm", "-rf", str(work)])
sys.exit(1 if failures else 0)
