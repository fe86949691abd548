#!/usr/bin/env python3
"""Converts every office document in a folder with `vexo file` and re-opens
each result in LibreOffice headless: the output must convert to text (.docx,
.odt) or CSV (.xlsx, .ods), and each line or cell of it must be what `vexo`
makes of the same line or cell of the input's export. Other formats must at
least open (they are exported to PDF). Usage:
lo_check.py VEXO FIXTURE_DIR WORK_DIR (run with tools/libreoffice.sh's
helpers available through LO_CONVERT, a command taking FILTER OUTDIR FILE)."""
import csv
import os
import shutil
import subprocess
import sys

VEXO, FIXTURES, WORK = sys.argv[1:4]
EXPORT = {".docx": "txt", ".odt": "txt", ".xlsx": "csv", ".ods": "csv"}
FILTERS = {"txt": "txt:Text (encoded):UTF8", "csv": "csv:Text - txt - csv (StarCalc):44,34,76,1",
           "pdf": "pdf"}
failures = []
cache = {}


def converted(text):
    if text not in cache:
        result = subprocess.run([VEXO], input=text.encode(), capture_output=True, check=True)
        out = result.stdout.decode()
        cache[text] = out if text.endswith("\n") else out[:-1]
    return cache[text]


def export(path, kind):
    outdir = os.path.join(WORK, "export-" + os.path.basename(path))
    os.makedirs(outdir, exist_ok=True)
    subprocess.run(["bash", "-c", 'source tools/libreoffice.sh && lo_convert "$@"', "lo",
                    FILTERS[kind], outdir, path], check=False)
    name = os.path.splitext(os.path.basename(path))[0] + "." + kind
    target = os.path.join(outdir, name)
    if not os.path.exists(target):
        failures.append(f"{path}: LibreOffice could not open it")
        return None
    with open(target, encoding="utf-8-sig", newline="") as f:
        if kind == "csv":
            return [cell for row in csv.reader(f) for cell in row]
        return f.read().split("\n")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    names = sorted(n for n in os.listdir(FIXTURES) if os.path.isfile(os.path.join(FIXTURES, n)))
    for name in names:
        stem, extension = os.path.splitext(name)
        source = os.path.join(WORK, name)
        shutil.copyfile(os.path.join(FIXTURES, name), source)
        result = subprocess.run([VEXO, "file", source], capture_output=True)
        if result.returncode != 0:
            failures.append(f"{name}: vexo exit {result.returncode}: {result.stderr.decode()!r}")
            continue
        output = os.path.join(WORK, stem + ".yangi" + extension)
        kind = EXPORT.get(extension.lower(), "pdf")
        before, after = export(source, kind), export(output, kind)
        if before is None or after is None or kind == "pdf":
            continue
        if len(before) != len(after):
            failures.append(f"{name}: {len(before)} lines or cells became {len(after)}")
            continue
        for old, new in zip(before, after):
            if converted(old) != new:
                failures.append(f"{name}: {old!r} became {new!r}, not {converted(old)!r}")
        print(f"{name}: {len(after)} lines or cells re-opened and checked")
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
