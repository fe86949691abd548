#!/usr/bin/env python3
"""Writes N megabytes of made-up Uzbek prose in the old Latin spelling.

Words are drawn from core/data/uzbek.tsv by their weights (Zipf-like, as in
running text), with a few English words, numbers and links mixed in, capitals
after a full stop, commas, and paragraphs of a few sentences. The text means
nothing, but its words, their frequencies and its punctuation look like prose,
which is what the speed figures need. The same seed gives the same text.

    tools/gen_prose.py MEGABYTES [SEED] > prose.txt
"""
import bisect
import itertools
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "core", "data")


def weighted_words(name, limit):
    words, weights = [], []
    with open(os.path.join(DATA, name), encoding="utf-8") as f:
        for line in f:
            word, _, weight = line.rstrip("\n").partition("\t")
            if word and weight:
                words.append(word)
                weights.append(10 ** float(weight))
    order = sorted(range(len(words)), key=lambda i: -weights[i])[:limit]
    return [words[i] for i in order], list(itertools.accumulate(weights[i] for i in order))


def main():
    megabytes = float(sys.argv[1]) if len(sys.argv) > 1 else 50
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 2026)
    uz, uz_cum = weighted_words("uzbek.tsv", 60000)
    en, en_cum = weighted_words("english.tsv", 5000)
    extras = ["2026-yil", "15", "SMS-xabar", "https://kun.uz/news", "#yangilik", "100%", "BMT", "iPhone"]

    def pick(words, cum):
        return words[min(bisect.bisect(cum, rng.random() * cum[-1]), len(words) - 1)]

    def sentence():
        n = rng.randint(4, 18)
        out = []
        for i in range(n):
            r = rng.random()
            w = pick(en, en_cum) if r < 0.02 else rng.choice(extras) if r < 0.03 else pick(uz, uz_cum)
            if i == 0:
                w = w[:1].upper() + w[1:]
            if i < n - 1 and rng.random() < 0.08:
                w += ","
            out.append(w)
        return " ".join(out) + rng.choice(".....?!")

    out = sys.stdout
    target = int(megabytes * 1_000_000)
    written = 0
    while written < target:
        paragraph = " ".join(sentence() for _ in range(rng.randint(2, 7))) + "\n"
        out.write(paragraph)
        written += len(paragraph.encode("utf-8"))


if __name__ == "__main__":
    main()
