#!/usr/bin/env python3
"""Converts office documents with `vexo file`, re-opens each result in
LibreOffice headless (saved again as flat XML) and checks every text a reader
sees: each paragraph, heading, cell, note, comment, header, footer, slide and
notes text, and the title, subject, description and keywords, must be what
`vexo` makes of the same text of the input, except text `vexo file` reports
as left in the old spelling on purpose (code). Then `vexo file --old` on the
result (with plain apostrophes) must give back the input's text, links
apart (the way back converts them letter by letter). Usage:
document_check.py VEXO WORK_DIR DOCUMENT_OR_FOLDER..."""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

VEXO, WORK = sys.argv[1:3]
FLAT = {".docx": "fodt", ".odt": "fodt", ".xlsx": "fods", ".ods": "fods", ".pptx": "fodp",
        ".odp": "fodp"}
TEXT = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"
OFFICE = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"
DC = "{http://purl.org/dc/elements/1.1/}"
META = "{urn:oasis:names:tc:opendocument:xmlns:meta:1.0}"
PROPERTIES = [DC + "title", DC + "subject", DC + "description", META + "keyword"]
PROFILE = tempfile.mkdtemp(prefix="vexo-lo-check.")
failures = []
cache = {}


def vexo(text, old=False):
    key = (text, old)
    if key not in cache:
        args = [VEXO, "old"] if old else [VEXO]
        out = subprocess.run(args, input=text.encode(), capture_output=True, check=True).stdout
        out = out.decode()
        cache[key] = out if text.endswith("\n") else out[:-1]
    return cache[key]


def reopened(path, flat):
    """The document as LibreOffice saves it again in flat XML, parsed."""
    outdir = os.path.join(os.path.dirname(path), "flat-" + os.path.basename(path))
    os.makedirs(outdir, exist_ok=True)
    subprocess.run(["soffice", f"-env:UserInstallation=file://{PROFILE}", "--headless",
                    "--norestore", "--convert-to", flat, "--outdir", outdir, path],
                   capture_output=True, check=False)
    target = os.path.join(outdir, os.path.splitext(os.path.basename(path))[0] + "." + flat)
    if not os.path.exists(target):
        failures.append(f"{path}: LibreOffice could not open it")
        return None
    return ET.parse(target).getroot()


def own_text(paragraph):
    """A paragraph's text without the paragraphs nested in it (notes,
    comments, text boxes) and without comment authors and dates."""
    parts = [paragraph.text or ""]
    for child in paragraph:
        if child.tag == TEXT + "s":
            parts.append(" " * int(child.get(TEXT + "c", "1")))
        elif child.tag == TEXT + "tab":
            parts.append("\t")
        elif child.tag == TEXT + "line-break":
            parts.append("\n")
        elif child.tag in (TEXT + "note", OFFICE + "annotation", TEXT + "tracked-changes") or \
                child.tag.endswith("}frame"):
            pass
        elif child.tag in (TEXT + "span", TEXT + "a", TEXT + "title", TEXT + "subject"):
            parts.append(own_text(child))
        parts.append(child.tail or "")
    return "".join(parts)


def texts(root):
    found = [own_text(p) for p in root.iter() if p.tag in (TEXT + "p", TEXT + "h")]
    found += [e.text or "" for e in root.iter() if e.tag in PROPERTIES]
    return [t for t in found if t.strip()]


def expected(text, kept):
    """`vexo` on the text, with the kept pieces left as they are."""
    for piece in kept:
        if piece and piece in text:
            return piece.join(expected(part, kept) for part in text.split(piece))
    return vexo(text)


def vexo_file(path, *options):
    result = subprocess.run([VEXO, "file", *options, path], capture_output=True)
    if result.returncode != 0:
        failures.append(f"{path}: vexo exit {result.returncode}: {result.stderr.decode()!r}")
        return None, []
    listing = subprocess.run([VEXO, "file", "-n", *options, path], capture_output=True).stdout
    kept = [line.split("): ", 1)[1] for line in listing.decode().splitlines()
            if line.startswith("eski imloda qoldi (kod")]
    stem, extension = os.path.splitext(path)
    return stem + (".eski" if "--old" in options else ".yangi") + extension, kept


def has_link(text):
    return any(mark in text for mark in ("://", "www.", "@"))


def compare(name, what, before, after, convert):
    if len(before) != len(after):
        failures.append(f"{name}: {what}: {len(before)} texts became {len(after)}")
        return
    for old, new in zip(before, after):
        if convert is None and has_link(old):
            continue  # links go back letter by letter, not as they were
        if (convert or (lambda t: t))(old) != new:
            failures.append(f"{name}: {what}: {old!r} became {new!r}, not {convert(old)!r}")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    documents = []
    for given in sys.argv[3:]:
        if os.path.isdir(given):
            documents += sorted(os.path.join(given, n) for n in os.listdir(given)
                                if os.path.splitext(n)[1] in FLAT)
        else:
            documents.append(given)
    for number, document in enumerate(documents):
        name = os.path.basename(document)
        flat = FLAT[os.path.splitext(name)[1]]
        os.makedirs(os.path.join(WORK, str(number)))
        source = os.path.join(WORK, str(number), name)
        shutil.copyfile(document, source)
        output, kept = vexo_file(source)
        if output is None:
            continue
        before, after = reopened(source, flat), reopened(output, flat)
        if before is None or after is None:
            continue
        original = texts(before)
        compare(name, "converted", original, texts(after), lambda t: expected(t, kept))
        back, _ = vexo_file(output, "--old", "--ascii")
        if back is None:
            continue
        returned = reopened(back, flat)
        if returned is not None:
            compare(name, "round trip", original, texts(returned), None)
        print(f"{name}: {len(original)} texts re-opened and checked")
    shutil.rmtree(PROFILE, ignore_errors=True)
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
