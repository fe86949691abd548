#!/usr/bin/env python3
# Copyright the vexo authors. Licensed under the Apache License, Version 2.0.
"""Derives core/data/context.tsv, the word-pair counts that tell apart two
words written alike once the o'/g' apostrophes are left out (oz/o'z,
ota/o'ta, olim/o'lim).

Usage: derive_context.py RAW_DIR core/data

Reads RAW_DIR/uz_counts_real.tsv and RAW_DIR/uz_bigrams_real.tsv (the
permissively licensed collections only) and core/data/uzbek.tsv. A reading is
a form of a group: forms of the Uzbek list with a weight above 0 that are the
same word once the apostrophes after o and g are dropped, the bare form being
one of them. For every reading it writes
  READING TAB count                    its own count,
  NEIGHBOUR<READING TAB count          the word before it,
  READING>NEIGHBOUR TAB count          the word after it,
the neighbour written without o'/g' apostrophes, as text typed without them
shows it. Pairs seen once are kept: for rare readings they are all there is.
"""

import collections
import os
import re
import sys

MARK = re.compile(r"(?<=[og])'")


def bare(word):
    return MARK.sub("", word)


def read_counts(path, columns):
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == columns:
                yield fields


def main(raw, data):
    weights = {}
    for word, weight in read_counts(os.path.join(data, "uzbek.tsv"), 2):
        if float(weight) > 0.0:
            weights[word] = float(weight)
    groups = collections.defaultdict(set)
    for word in weights:
        groups[bare(word)].add(word)
    readings = set()
    for key, forms in groups.items():
        if key in forms and len(forms) >= 2:
            readings |= forms

    counts = {}
    for word, count in read_counts(os.path.join(raw, "uz_counts_real.tsv"), 2):
        if word in readings:
            counts[word] = counts.get(word, 0) + int(count)
    pairs = collections.Counter()
    for first, second, count in read_counts(os.path.join(raw, "uz_bigrams_real.tsv"), 3):
        if second in readings:
            pairs[bare(first) + "<" + second] += int(count)
        if first in readings:
            pairs[first + ">" + bare(second)] += int(count)

    rows = sorted(counts.items()) + sorted(pairs.items())
    out = os.path.join(data, "context.tsv")
    with open(out + ".tmp", "w", encoding="utf-8", newline="\n") as f:
        for key, count in rows:
            f.write(f"{key}\t{count}\n")
    os.replace(out + ".tmp", out)
    print(f"{len(readings)} readings, {len(counts)} counted, {len(pairs)} pairs", file=sys.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
