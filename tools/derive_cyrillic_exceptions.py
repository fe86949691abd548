#!/usr/bin/env python3
# Copyright the vexo authors. Licensed under the Apache License, Version 2.0.
"""Derives core/data/cyrillic_exceptions.tsv from a list of loanword spellings.

Usage: derive_cyrillic_exceptions.py RAW.tsv OUTPUT.tsv

RAW.tsv holds Cyrillic TAB Latin pairs (old Latin spelling, two header lines).
The output holds key TAB Cyrillic, sorted by key: the key is the Latin word in
the 2026 alphabet (o' g' sh ch -> ö ğ ş ç, other apostrophes -> U+02BC),
lowercased; the Cyrillic is lowercased too, since the converter applies the
case of the word it replaces. Pairs are dropped, with a note on stderr, when

- the two sides do not spell the same word (the Latin is not one of the
  readings of the Cyrillic letter by letter, e.g. a typing slip),
- one Latin word has two different Cyrillic spellings (a homograph), or
- the Latin word is a common Uzbek word of another meaning (HOMOGRAPHS), or
- the Cyrillic has a known typing slip (MISSPELT).
"""

import os
import re
import sys

APOSTROPHES = "'`\u00b4\u02b9\u02bb\u02bc\u02bd\u2018\u2019\u201b\u2032\uff07"

# Latin words that are also everyday Uzbek words (or other loanwords)
# spelled with the plain letters: tush (dream, noon, to descend), tol
# (willow), mil (rod), tilda (in a language), sanga (to you), kokil (lock of
# hair), normal (нормал, ordinary), polka (полка, shelf).
HOMOGRAPHS = {"tush", "tol", "mil", "tilda", "sanga", "kokil", "normal", "polka"}

# Pairs whose Cyrillic has a typing slip that the letter check lets through.
MISSPELT = {"degustatsiya"}  # written дегустатция

# How each Cyrillic letter may be read in the old Latin spelling of a loanword
# (я is a alone in the month names: sentabr, oktabr).
READINGS = {
    "а": "a", "б": "b", "в": "v", "г": "g", "д": "d", "е": "(?:y?e)", "ё": "yo",
    "ж": "j", "з": "z", "и": "i", "й": "y", "к": "k", "л": "l", "м": "m",
    "н": "n", "о": "o", "п": "p", "р": "r", "с": "s", "т": "t", "у": "u",
    "ф": "f", "х": "x", "ц": "(?:t?s)", "ч": "ch", "ш": "sh", "щ": "shch",
    "ъ": "'?", "ы": "i", "ь": "(?:y|')?", "э": "e", "ю": "yu", "я": "(?:y?a)",
    "ў": "o'", "қ": "q", "ғ": "g'", "ҳ": "h", "-": "-",
}


def spells_same_word(cyrillic, latin):
    pattern = []
    for ch in cyrillic:
        if ch not in READINGS:
            return False
        pattern.append(READINGS[ch])
    return re.fullmatch("".join(pattern), latin) is not None


def to_new_alphabet(old):
    """o' g' sh ch and the apostrophe of a lowercase old-spelling word."""
    out = []
    i = 0
    while i < len(old):
        pair = old[i:i + 2]
        if pair in ("o'", "g'"):
            out.append("ö" if pair[0] == "o" else "ğ")
            i += 2
        elif old[i:i + 3] in ("s'h", "c'h"):
            out.append(old[i] + "h")
            i += 3
        elif pair in ("sh", "ch"):
            out.append("ş" if pair[0] == "s" else "ç")
            i += 2
        elif old[i] == "'":
            out.append("\u02bc")
            i += 1
        else:
            out.append(old[i])
            i += 1
    return "".join(out)


def main(raw_path, out_path):
    spellings = {}
    with open(raw_path, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f][2:]
    for number, row in enumerate(rows, 3):
        if len(row) != 2:
            sys.exit(f"{raw_path}:{number}: expected Cyrillic<TAB>Latin")
        cyrillic = row[0].strip().lower()
        latin = row[1].strip().lower()
        for a in APOSTROPHES:
            latin = latin.replace(a, "'")
        if not spells_same_word(cyrillic, latin):
            print(f"dropped (spellings differ): {cyrillic} {latin}", file=sys.stderr)
            continue
        spellings.setdefault(latin, set()).add(cyrillic)

    pairs = []
    for latin, cyrillics in spellings.items():
        if len(cyrillics) > 1:
            print(f"dropped (two spellings): {latin} {sorted(cyrillics)}", file=sys.stderr)
        elif latin in HOMOGRAPHS:
            print(f"dropped (Uzbek homograph): {latin}", file=sys.stderr)
        elif latin in MISSPELT:
            print(f"dropped (misspelt): {latin}", file=sys.stderr)
        else:
            pairs.append((to_new_alphabet(latin), cyrillics.pop()))
    pairs.sort(key=lambda p: p[0].encode("utf-8"))

    tmp = out_path + ".tmp"
    with open(tmp, "w", encoding="utf-8", newline="\n") as f:
        for key, cyrillic in pairs:
            f.write(f"{key}\t{cyrillic}\n")
    os.replace(tmp, out_path)
    print(f"{len(pairs)} pairs written to {out_path}", file=sys.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
