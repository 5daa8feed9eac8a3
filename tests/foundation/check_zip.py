#!/usr/bin/env python3
"""Reads an archive of the zip writer with Python's zipfile and compares it
with the folder it was made from: names (with "\\" between parts), contents
and CRC-32, sizes, times and folder attributes.

Usage: check_zip.py EXPORT_FOLDER   (holds source/ and archive.zip)
"""
import os
import sys
import time
import zipfile


def expected_entries(source):
    entries = {}
    for folder, folders, files in os.walk(source):
        relative = os.path.relpath(folder, source)
        prefix = "" if relative == "." else relative.replace("/", "\\") + "\\"
        for name in files:
            entries[prefix + name] = os.path.join(folder, name)
        if not folders and not files and prefix:
            entries[prefix] = None
    return entries


def main():
    export = sys.argv[1]
    source = os.path.join(export, "source")
    archive = os.path.join(export, "archive.zip")
    expected = expected_entries(source)
    problems = []
    with zipfile.ZipFile(archive) as zf:
        bad = zf.testzip()
        if bad is not None:
            problems.append("CRC or data error in %r" % bad)
        seen = {}
        for info in zf.infolist():
            # The names are code page 932 bytes, which zipfile reads as cp437.
            name = info.filename.encode("cp437").decode("cp932")
            seen[name] = info
        if sorted(seen) != sorted(expected):
            problems.append("names differ: %r != %r" % (sorted(seen), sorted(expected)))
        for name, info in seen.items():
            path = expected.get(name)
            if info.compress_type != zipfile.ZIP_DEFLATED:
                problems.append("%s: not deflated" % name)
            if path is None:
                if not info.external_attr & 0x10 or info.file_size != 0:
                    problems.append("%s: not an empty folder entry" % name)
                continue
            with open(path, "rb") as f:
                data = f.read()
            if zf.read(info) != data or info.file_size != len(data):
                problems.append("%s: contents differ" % name)
            if info.external_attr & 0x10:
                problems.append("%s: file marked as folder" % name)
            local = time.localtime(os.stat(path).st_mtime)
            want = local[:5] + (local.tm_sec // 2 * 2,)
            if info.date_time != want:
                problems.append("%s: time %r != %r" % (name, info.date_time, want))
    for problem in problems:
        print(problem)
    print("checked %d entries" % len(expected))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
