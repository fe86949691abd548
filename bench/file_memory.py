#!/usr/bin/env python3
"""Peak memory and time of `vexo file` on packages built to stress it: many
large text parts, a package whose text parts expand to about 1 GiB, one huge
spreadsheet cell, and a package over the expansion limit; and on long plain
text files, UTF-8 and UTF-16, which are converted a piece at a time. Each case is
converted (or refused) once, in a child process whose peak resident set is
read from the kernel. Usage: file_memory.py VEXO [CASE...]"""
import os
import random
import resource
import subprocess
import sys
import tempfile
import time
import zipfile

MiB = 1 << 20
W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
WORDS = ("shahar choy o'g'il bosh kitob maktab qo'shiq daryo tog' bog' ish yil "
         "Toshkent ma'no sher'iy kecha kunduz").split()


def paragraphs(size, seed):
    """Word paragraphs of old-spelling text, about `size` bytes, as
    incompressible as prose."""
    rng = random.Random(seed)
    out, length = [], 0
    while length < size:
        text = " ".join(rng.choice(WORDS) for _ in range(12)) + f" {rng.randrange(10**6)}"
        p = f"<w:p><w:r><w:t>{text}</w:t></w:r></w:p>"
        out.append(p)
        length += len(p)
    return "".join(out)


def part(body):
    return f'<?xml version="1.0" encoding="UTF-8"?><w:hdr {W}>{body}</w:hdr>'


def many_headers(path, count, size):
    body = part(paragraphs(size, 1))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("word/document.xml", part(paragraphs(1000, 2)).replace("w:hdr", "w:document"))
        for i in range(1, count + 1):
            z.writestr(f"word/header{i}.xml", body)


def expansion(path, count, size):
    """Parts of `size` bytes that are mostly markup (fast to parse), each
    compressed well within the ratio limit."""
    rng = random.Random(3)
    # A block longer than deflate's 32 KiB window, repeated: quick to make,
    # and it still compresses only a few times.
    block = "".join(f'<w:bookmarkStart w:id="{rng.randrange(10**9)}"/>' for _ in range(2000))
    filler = block * (size // len(block))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        for i in range(1, count + 1):
            z.writestr(f"word/footer{i}.xml", part(paragraphs(2000, i) + filler))


def big_cell(path, size):
    rng = random.Random(4)
    words = []
    length = 0
    while length < size:
        w = rng.choice(WORDS) if rng.randrange(8) else str(rng.randrange(10**6))
        words.append(w)
        length += len(w) + 1
    sst = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/'
           f'spreadsheetml/2006/main"><si><t>{" ".join(words)}</t></si></sst>')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/sharedStrings.xml", sst)


def prose(path, size, encoding="utf-8"):
    """Lines of old-spelling words, about `size` bytes of UTF-8, written in
    `encoding` (UTF-16 with its mark)."""
    rng = random.Random(5)
    block = "\n".join(" ".join(rng.choice(WORDS) for _ in range(rng.randrange(5, 60)))
                      for _ in range(20000)) + "\n"
    data = block.encode("utf-8") if encoding == "utf-8" else b"\xff\xfe" + block.encode("utf-16-le")
    with open(path, "wb") as f:
        for _ in range(max(1, size // len(block))):
            f.write(data)


CASES = {
    "ten-9.9MiB-headers.docx": lambda p: many_headers(p, 10, int(9.9 * MiB)),
    "1GiB-expansion.docx": lambda p: expansion(p, 100, 10 * MiB),
    "over-limit.docx": lambda p: expansion(p, 104, 10 * MiB),
    "43MB-cell.xlsx": lambda p: big_cell(p, 43 * 1000 * 1000),
    "100MB-prose.txt": lambda p: prose(p, 100 * 1000 * 1000),
    "30MB-prose-utf16.txt": lambda p: prose(p, 30 * 1000 * 1000, "utf-16"),
}


def expanded_size(path):
    """What the text parts of a package expand to; a text file's own size."""
    if not zipfile.is_zipfile(path):
        return os.path.getsize(path)
    with zipfile.ZipFile(path) as z:
        return sum(i.file_size for i in z.infolist())


def main():
    vexo = sys.argv[1]
    wanted = sys.argv[2:] or list(CASES)
    with tempfile.TemporaryDirectory() as work:
        print(f"{'case':26} {'package':>9} {'parts':>10} {'seconds':>8} {'peak RSS':>10}  result")
        for name in wanted:
            path = os.path.join(work, name)
            CASES[name](path)
            expanded = expanded_size(path)
            start = time.monotonic()
            pid = os.fork()
            if pid == 0:
                os.close(1)
                os.open(os.devnull, os.O_WRONLY)
                os.execv(vexo, [vexo, "file", "-o", path + ".out", path])
            _, status, usage = os.wait4(pid, 0)
            seconds = time.monotonic() - start
            print(f"{name:26} {os.path.getsize(path) / MiB:8.1f}M {expanded / MiB:9.1f}M "
                  f"{seconds:8.1f} {usage.ru_maxrss / 1024:9.0f}M  exit {os.waitstatus_to_exitcode(status)}",
                  flush=True)
            for leftover in (path, path + ".out"):
                if os.path.exists(leftover):
                    os.remove(leftover)


if __name__ == "__main__":
    main()
