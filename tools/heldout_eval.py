#!/usr/bin/env python3
"""Checks apostrophe restoration on text the word lists never saw.

    tools/heldout_eval.py RAW_DIR [--vexo BIN ...] [--source COLUMN]
                          [--sentences N] [--seed S] [--tsv OUT]

The raw word-pair counts keep one column per corpus collection. One
collection (by default the CC BY-NC-ND sentence set that tools/derive_lists.py
leaves out, and that tools/derive_context.py never reads) is held out: from its
pairs this script strings sentences of 6 to 14 words in which every two
neighbours occur side by side in that collection, writes them as an eval file
(label `uz` as written, `uz-noapos` with the o'/g' apostrophes left out, both
expecting the letters mapped one by one), runs `BIN eval` on it for every
binary given, and prints per label the share of sentences fully right and
the word error rate. The same seed gives the same sentences.
"""
import argparse
import collections
import os
import random
import re
import subprocess
import sys
import tempfile

MIN_WORDS, MAX_WORDS = 6, 14


def read_pairs(raw_dir, source):
    nexts = collections.defaultdict(list)
    starts = []
    with open(os.path.join(raw_dir, "uz_bigrams_real_by_source.tsv"), encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        col = header.index(source)
        for line in f:
            cells = line.rstrip("\n").split("\t")
            count = int(cells[col])
            if count > 0:
                nexts[cells[0]].append((cells[1], count))
                starts.append((cells[0], cells[1], count))
    return starts, nexts


def weighted(rng, items, weight):
    return rng.choices(items, weights=[weight(i) for i in items])[0]


def sentences(starts, nexts, n, rng):
    out = []
    while len(out) < n:
        w1, w2, _ = weighted(rng, starts, lambda s: s[2])
        words = [w1, w2]
        length = rng.randint(MIN_WORDS, MAX_WORDS)
        while len(words) < length and nexts.get(words[-1]):
            words.append(weighted(rng, nexts[words[-1]], lambda p: p[1])[0])
        if len(words) >= MIN_WORDS:
            text = " ".join(words)
            out.append(text[0].upper() + text[1:] + ".")
    return out


def new_letters(text):
    for old, new in (("O'", "Ö"), ("o'", "ö"), ("G'", "Ğ"), ("g'", "ğ"), ("Sh", "Ş"),
                     ("sh", "ş"), ("Ch", "Ç"), ("ch", "ç"), ("'", "\u02bc")):
        text = text.replace(old, new)
    return text


def without_marks(text):
    return re.sub(r"([oOgG])'", r"\1", text)


def score(vexo, tsv, lines):
    run = subprocess.run([vexo, "eval", tsv], capture_output=True, text=True)
    words = collections.Counter()
    for label, text in lines:
        words[label] += len(text.split())
    wrong_words = collections.Counter()
    wrong_lines = collections.Counter()
    label = expected = None
    for line in run.stdout.splitlines():
        m = re.match(r"^\d+:(\S+)\s", line)
        if m:
            label = m.group(1)
        elif line.strip().startswith("kutilgan:"):
            expected = line.split(":", 1)[1].split()
        elif line.strip().startswith("chiqdi:") and label:
            got = line.split(":", 1)[1].split()
            wrong_lines[label] += 1
            wrong_words[label] += sum(a != b for a, b in zip(expected, got)) + abs(len(expected) - len(got))
    total = collections.Counter(label for label, _ in lines)
    for label in sorted(total):
        right = total[label] - wrong_lines[label]
        print(f"  {label:10} sentences {right}/{total[label]} ({100 * right / total[label]:.2f} %), "
              f"words wrong {wrong_words[label]}/{words[label]} "
              f"({100 * wrong_words[label] / words[label]:.2f} %)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("raw_dir")
    ap.add_argument("--vexo", action="append", default=[])
    ap.add_argument("--source", default="uzbekpos_sentences")
    ap.add_argument("--sentences", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--tsv")
    args = ap.parse_args()
    starts, nexts = read_pairs(args.raw_dir, args.source)
    if not starts:
        sys.exit(f"no pairs in column {args.source}")
    made = sentences(starts, nexts, args.sentences, random.Random(args.seed))
    lines = [("uz", s) for s in made] + [("uz-noapos", without_marks(s)) for s in made]
    truth = [new_letters(s) for s in made] * 2
    tsv = args.tsv or tempfile.mkstemp(suffix=".tsv")[1]
    with open(tsv, "w", encoding="utf-8") as f:
        for (label, text), expected in zip(lines, truth):
            f.write(f"{label}\t{text}\t{expected}\n")
    restorable = sum(without_marks(s) != s for s in made)
    print(f"{len(made)} sentences from {args.source} ({restorable} with o'/g'), seed {args.seed}: {tsv}")
    for vexo in args.vexo:
        print(vexo)
        score(vexo, tsv, lines)


if __name__ == "__main__":
    main()
