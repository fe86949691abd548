#!/usr/bin/env python3
"""Converts the office fixtures with `vexo file` and checks the results with
independent readers: the output opens in python-docx / openpyxl, every
paragraph's text is the conversion of the input paragraph's text, every run
keeps its formatting, and every part that holds no changed text is
byte-identical. Usage: office_check.py VEXO FIXTURE_DIR WORK_DIR.
Exits with 77 (skipped) when python-docx or openpyxl is missing."""
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile

try:
    import docx
    import openpyxl
except ImportError:
    print("python3-docx / python3-openpyxl not installed; skipping")
    sys.exit(77)

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
S = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
VEXO, FIXTURES, WORK = sys.argv[1:4]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def converted(text):
    """The text as `vexo` converts it on its own."""
    out = subprocess.run([VEXO], input=text.encode(), capture_output=True, check=True).stdout.decode()
    return out if text.endswith("\n") else out[:-1]


def paragraph_part(name):
    """Parts whose paragraphs are compared one by one."""
    return (name.startswith("word/") and name.endswith(".xml") and "/" not in name[5:]
            and name[5:].startswith(("document", "header", "footer", "footnotes", "endnotes",
                                     "comments"))) or name == "xl/sharedStrings.xml" or (
        name.startswith("xl/worksheets/") and name.endswith(".xml") and "/" not in name[14:])


def text_part(name):
    """Parts that may change at all."""
    return paragraph_part(name) or name in ("docProps/core.xml", "xl/workbook.xml") or \
        name.startswith(("xl/comments", "xl/tables/", "xl/charts/", "xl/drawings/drawing"))


def expected(text, kept=()):
    """`vexo` on the text, with the kept pieces left as they are."""
    for piece in kept:
        if piece in text:
            return piece.join(expected(part, kept) for part in text.split(piece))
    return converted(text)


def paragraphs(root, paragraph, text):
    """Each paragraph's own text (nested paragraphs apart), in document order
    of their ends; breaks stand for a tab or a line feed."""
    found = []

    def walk(element, into, skip=False):
        for child in element:
            if child.tag == paragraph:
                own = []
                walk(child, own)
                found.append("".join(own))
            elif child.tag == S + "rPh":
                continue
            elif child.tag == text:
                if into is not None:
                    into.append(child.text or "")
            elif child.tag == W + "tab" and into is not None:
                into.append("\t")
            elif child.tag in (W + "br", W + "cr") and into is not None:
                into.append("\n")
            else:
                walk(child, into)

    walk(root, None)
    return found


def formatting(root, run, properties):
    return [ET.tostring(r.find(properties)) if r.find(properties) is not None else b"" for r in
            root.iter(run)]


def compare_package(name, before_path, after_path, text_paragraph, text, run, properties,
                    kept=()):
    with zipfile.ZipFile(before_path) as before, zipfile.ZipFile(after_path) as after:
        check(before.namelist() == after.namelist(), f"{name}: entries differ")
        for info in before.infolist():
            old, new = before.read(info.filename), after.read(info.filename)
            changed_info = after.getinfo(info.filename)
            check(info.date_time == changed_info.date_time, f"{name}: {info.filename} time differs")
            paragraph = text_paragraph
            if not text_part(info.filename):
                check(old == new, f"{name}: {info.filename} is not byte-identical")
                continue
            if not paragraph_part(info.filename):
                continue
            old_root, new_root = ET.fromstring(old), ET.fromstring(new)
            if info.filename.startswith("xl/worksheets/"):
                paragraph = S + "is"
            old_texts = paragraphs(old_root, paragraph, text)
            new_texts = paragraphs(new_root, paragraph, text)
            check(len(old_texts) == len(new_texts), f"{name}: {info.filename} paragraph count")
            for o, n in zip(old_texts, new_texts):
                check(expected(o, kept) == n, f"{name}: {info.filename}: {o!r} became {n!r}")
            check(formatting(old_root, run, properties) == formatting(new_root, run, properties),
                  f"{name}: {info.filename}: run formatting moved")
            if all(expected(o, kept) == o for o in old_texts):
                check(old == new, f"{name}: unchanged {info.filename} is not byte-identical")


def run_file(path):
    result = subprocess.run([VEXO, "file", path], capture_output=True)
    check(result.returncode == 0, f"{path}: exit {result.returncode}: {result.stderr!r}")
    stem, extension = os.path.splitext(path)
    return stem + ".yangi" + extension


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    code = ["git checkout shahar", "choy shahar"]
    for name in ["letter.docx", "unchanged.docx", "sheet.xlsx", "code.docx", "prefixed.docx",
                 "tables.xlsx"]:
        source = os.path.join(WORK, name)
        shutil.copyfile(os.path.join(FIXTURES, name), source)
        output = run_file(source)
        if name.endswith(".docx"):
            document = docx.Document(output)  # opens
            check(len(document.paragraphs) > 0, f"{name}: no paragraphs")
            compare_package(name, source, output, W + "p", W + "t", W + "r", W + "rPr", code)
            original = docx.Document(source).core_properties
            for field in ["title", "subject", "keywords", "comments", "category", "author"]:
                want = getattr(original, field)
                want = want if field == "author" else converted(want)
                got = getattr(document.core_properties, field)
                check(got == want, f"{name}: {field} is {got!r}, not {want!r}")
        else:
            book = openpyxl.load_workbook(output)
            original = openpyxl.load_workbook(source)
            for old_sheet, new_sheet in zip(original, book):
                for old_row, new_row in zip(old_sheet.iter_rows(), new_sheet.iter_rows()):
                    for old, new in zip(old_row, new_row):
                        expected = old.value
                        if isinstance(expected, str) and not expected.startswith("="):
                            expected = converted(expected)
                        elif isinstance(expected, str):  # table columns followed
                            expected = re.sub(r"\[([^\[\]#@]+)\]", lambda m: "[" + converted(
                                m.group(1).replace("''", "'")).replace("'", "''") + "]", expected)
                        check(new.value == expected, f"{name}: {old.coordinate}: {new.value!r}")
            compare_package(name, source, output, S + "si", S + "t", S + "r", S + "rPr")
            check((book.properties.title or "") == converted(original.properties.title or ""),
                  f"{name}: title {book.properties.title!r}")
            for old_sheet, new_sheet in zip(original, book):
                check(old_sheet.title == new_sheet.title, f"{name}: sheet renamed")
                for table in new_sheet.tables.values():
                    header = next(new_sheet[table.ref].__iter__())
                    names = [column.name for column in table.tableColumns]
                    check(names == [cell.value for cell in header],
                          f"{name}: table columns {names} do not match their header cells")
                for old_row, new_row in zip(old_sheet.iter_rows(), new_sheet.iter_rows()):
                    for old, new in zip(old_row, new_row):
                        if old.comment:
                            check(new.comment.text == converted(old.comment.text),
                                  f"{name}: comment {new.comment.text!r}")
                for part in ["left", "center", "right"]:
                    old_text = getattr(old_sheet.oddHeader, part).text or ""
                    new_text = getattr(new_sheet.oddHeader, part).text or ""
                    check(new_text == converted(old_text), f"{name}: header {new_text!r}")
        if name == "unchanged.docx":
            with open(source, "rb") as a, open(output, "rb") as b:
                check(a.read() == b.read(), "unchanged.docx: output differs from input")
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
