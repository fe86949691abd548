#!/usr/bin/env python3
# Copyright the vexo authors. Licensed under the Apache License, Version 2.0.
"""Derives the word lists in core/data/ from raw corpus counts and SCOWL.

Usage: tools/derive_lists.py RAW_DIR OUT_DIR

RAW_DIR holds the raw material (corpus counts, OCR frequency lists, the two
spelling dictionaries); OUT_DIR receives uzbek.tsv, english.tsv,
sh_exceptions.tsv, brands.txt and foreign_names.txt. The build itself only
reads OUT_DIR. Needs Debian's `scowl` and `hunspell` packages (installed with
apt-get when missing). core/data/README.md explains every step.
"""

import csv
import math
import os
import re
import statistics
import subprocess
import sys

SCOWL_DIR = "/usr/share/dict/scowl"

# Uzbek forms: lowercase old Latin letters, apostrophes only after a letter.
UZBEK_FORM = re.compile(r"^[a-z]+('[a-z]+)*'?$")
# The weight of the most frequent word, and the floor below which forms drop.
TOP_WEIGHT = 6.0
MIN_WEIGHT = 1.5
# At most this many words, so that the table fits 262,144 slots half full.
MAX_WORDS = 131000
# Anchors the weight scale is fitted to (word, target weight).
ANCHORS = [("bor", 5.2), ("o'zbek", 5.09), ("kitob", 4.31), ("bo'r", 3.15)]
# The OCR frequency lists are Wikipedia-skewed rank estimates: scaled to
# corpus counts, they count a tenth and add at most 2 to a form.
CANDIDATE_CAP = 2.0
OCR_DISCOUNT = 10.0
GOOD_TURING_UP_TO = 5  # counts up to this are smoothed
ONE_BOOK_SHARE = 0.25  # weight of the 1920s novel where it dominates a form
SHORT_FORM_MIN = 50  # modern occurrences that keep an undictionaried 1-2 letter form
ENGLISH_IN_UZBEK_MIN = 20  # modern occurrences that make an English word Uzbek
# An apostrophe form must weigh at least this for its bare spelling to be
# listed with weight 0.0; the other three decide whether the bare spelling is
# a word of its own (see is_own_word).
BARE_MIN_WEIGHT = 2.9
BARE_MIN_COUNT = 3
BARE_SLIP_RATE = 0.01
BARE_CYRILLIC_RATIO = 5.0

# English word-list sizes and their weights. Sizes 40 and 50 contribute only
# words with sh or ch, and possessives come from sizes 10 and 20 only.
ENGLISH_TIERS = [(10, 4.0), (20, 3.5), (35, 2.5), (40, 2.0), (50, 1.5)]
ENGLISH_FULL_UP_TO = 35
ENGLISH_POSSESSIVES_UP_TO = 20
FOREIGN_NAME_SIZES = [10, 20, 35, 40, 50, 55, 60, 70, 80]

# Words in which sh is s + h. Their weights are never consulted; they are
# the words' occurrence counts in the corpus (also written with s'h).
SH_EXCEPTIONS = [
    "hibshonasi", "hibshonasida", "ishoq", "ishoqov", "ishoqova", "ishoqovada",
    "ishoqovaga", "ishoqovaning", "ishoqovning", "mashara", "masharabozlik",
    "mushaf", "mushafi", "nusha", "nushada", "nushadagi", "nushadan", "nushasi",
    "nushasini", "roshamkorlik", "rosshamkorlik",
]

BRANDS_TEXT = """\
# Brend va mahsulot nomlari (sh/ch bor): savdo belgisi asl lotin yozuvida qoladi — o'girilmaydi, o'zbek qo'shimchasi
# bilan ham (Photoshopda, Chevroletni). Kishi va joy nomlari bu ro'yxatga kirmaydi: ular o'zbekcha yoziladi.
# Umumiy inglizcha so'zlar (chrome, shell, chat) bu yerda emas, lug'atdan aniqlanadi.
# Kichik harfda, qatorda bitta nom. Manba: qo'lda tuzilgan.
# dasturlar va xizmatlar
chrome
chromebook
chromium
chromecast
photoshop
dashlane
shopify
openshift
sharepoint
powershell
crashlytics
hashicorp
pushbullet
chatgpt
deepseek
shadcn
chakra
shazam
twitch
snapchat
dashboard
checkout
cashback
paycash
chatbot
blockchain
bitcoin
coinmarketcap
binance
shiba
techcrunch
shutterstock
mailchimp
hootsuite
smartsheet
freshdesk
freshworks
bitbucket
flashscore
splash
unsplash
pushwoosh
onesignal
fetch
# texnika
huawei
hisense
chuwi
bosch
michelin
macbook
cherry
toshiba
hitachi
sharp
shimano
casio
# avto
porsche
chevrolet
chery
changan
cherokee
chrysler
shacman
mitsubishi
peugeot
skoda
# kiyim, go'zallik
chanel
hermes
lush
nike
# oziq-ovqat va restoranlar
schweppes
chupa
chups
nesquik
nescafe
cheetos
pringles
snickers
starbucks
shakeshack
mcdonalds
# yoqilg'i, bank, to'lov
shell
chase
schwab
mastercard
cashapp
"""

FOREIGN_HEADER = [
    "# Xorijiy imlodagi kishi va joy nomlari (ch/sh bor, o'zbek korpusida yo'q): "
    "bosh harf bilan yozilsa o'girilmaydi.",
    "# Manba: SCOWL (Debian scowl paketi) english/american-proper-names, 80-o'lchamgacha.",
    "# Tuzilishi: ch yoki sh bor, faqat a-z harflari, o'zbek so'z ro'yxatlarida uchramaydigan nomlar.",
]


def ensure_packages():
    missing = [p for p, path in (("scowl", SCOWL_DIR), ("hunspell", "/usr/bin/hunspell"))
               if not os.path.exists(path)]
    if missing:
        install = ["apt-get", "install", "-y", "--no-install-recommends", *missing]
        if subprocess.run(install).returncode != 0:
            subprocess.run(["apt-get", "update"], check=True)
            subprocess.run(install, check=True)


# Collections of the corpus counts whose licence does not allow shipping
# what is derived from them: CC BY-NC-ND forbids both sharing adaptations and
# commercial use, which an Apache-2.0 word list would allow.
EXCLUDED_SOURCES = tuple(s for s in os.environ.get(
    "VEXO_EXCLUDED_SOURCES", "uzbekpos_sentences").split(",") if s)


def read_counts_by_source(path):
    """word -> (modern count, count in the 1920s novel), without the
    excluded collections; words only they hold are left out."""
    counts = {}
    with open(path, encoding="utf-8") as f:
        reader = csv.DictReader(f, delimiter="\t")
        for row in reader:
            archaic = int(row["otgan_kunlar_qodiriy"])
            modern = int(row["all"]) - archaic - sum(int(row[s]) for s in EXCLUDED_SOURCES)
            if modern + archaic > 0:
                counts[row["word"]] = (modern, archaic)
    return counts


def read_cyrillic_ranks(path):
    """word -> rank in the Cyrillic OCR word list (transliterated)."""
    out = {}
    with open(path, encoding="utf-8") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            if row["tess_cyrillic_rank"]:
                out[row["word"]] = int(row["tess_cyrillic_rank"])
    return out


def read_candidates(path):
    """word -> rank-based frequency estimate from the OCR word lists."""
    out = {}
    with open(path, encoding="utf-8") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            out[row["word"]] = float(row["count"])
    return out


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        return {line.strip() for line in f if line.strip()}


def to_hunspell_spelling(word):
    """The dictionary writes o'/g' with U+02BB and the tutuq with U+02BC."""
    out = []
    for i, ch in enumerate(word):
        if ch == "'":
            out.append("\u02bb" if i > 0 and word[i - 1] in "og" else "\u02bc")
        else:
            out.append(ch)
    return "".join(out)


def hunspell_accepts(words, dictionary):
    """The subset of words the dictionary accepts (used as yes/no evidence only)."""
    words = sorted(words)
    spelled = [to_hunspell_spelling(w) for w in words]
    result = subprocess.run(["hunspell", "-d", dictionary, "-l", "-i", "utf-8"],
                            input="\n".join(spelled) + "\n", capture_output=True,
                            text=True, check=True)
    rejected = set(result.stdout.split())
    return {w for w, s in zip(words, spelled) if s not in rejected}


def plausible_uzbek(word):
    if not UZBEK_FORM.match(word) or "w" in word:
        return False
    if re.search(r"c(?!h)", word) or re.search(r"([a-z])\1\1", word):
        return False
    return word.endswith("g'") or not word.endswith("'")


def scowl_words(kind, size):
    out = set()
    for variant in ("english", "american"):
        path = os.path.join(SCOWL_DIR, f"{variant}-{kind}.{size}")
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            out.update(line.strip() for line in f)
    return out


def good_turing(observed, up_to=GOOD_TURING_UP_TO):
    """Smoothed counts r* = (r + 1) N(r+1) / N(r) for the low counts r <= up_to.

    A form seen once in a small corpus is on average rarer than one in a
    corpus of that size; this keeps singletons from looking as common as the
    rarest words of a larger corpus would.
    """
    count_of_counts = {}
    for r in observed:
        count_of_counts[r] = count_of_counts.get(r, 0) + 1
    smoothed = {}
    for r in range(1, up_to + 1):
        if count_of_counts.get(r) and count_of_counts.get(r + 1):
            smoothed[r] = min(r, (r + 1) * count_of_counts[r + 1] / count_of_counts[r])
    return smoothed


def bare(word):
    """The word with the apostrophes of o' and g' left out (o'zbek -> ozbek)."""
    return re.sub(r"(?<=[og])'", "", word)


def uzbek_lexicon(raw):
    counts = read_counts_by_source(os.path.join(raw, "uz_counts_real_by_source.tsv"))
    candidates = read_candidates(os.path.join(raw, "uz_freq_candidate_detail.tsv"))
    cyrillic_ranks = read_cyrillic_ranks(os.path.join(raw, "uz_freq_candidate_detail.tsv"))
    debian_forms = read_lines(os.path.join(raw, "debian_hunspell_uz_forms_oldlatin.txt"))
    english_words = set()
    for size, _ in ENGLISH_TIERS:
        english_words |= scowl_words("words", size)

    forms = {w for w in set(counts) | set(candidates) if plausible_uzbek(w)}
    bare_spellings = {bare(w) for w in forms if "'" in w}
    accepted = hunspell_accepts(forms | bare_spellings,
                                os.path.join(raw, "hunspell-uz-itsbilolbek", "uz_UZ"))
    accepted |= debian_forms

    # Scale of the OCR estimates against real counts: the median ratio over
    # forms that are frequent in both.
    ratios = [candidates[w] / (sum(counts[w])) for w in candidates
              if w in counts and sum(counts[w]) >= 20]
    scale = statistics.median(ratios)

    smoothed = good_turing([modern for modern, _ in counts.values()])

    def evidence(word):
        """(corpus-count equivalent, modern count, counted novel occurrences)."""
        modern, archaic = counts.get(word, (0, 0))
        # The 1920s novel spells qilg'an, birg'a: its counts only support a
        # form that modern text or a dictionary also knows.
        if archaic and not (word in accepted or modern >= 2):
            archaic = 0
        # Where that one book holds most of a form's occurrences (its 1920s
        # spellings, its characters' names) they count a quarter.
        if archaic > modern:
            archaic *= ONE_BOOK_SHARE
        # A form seen only in the OCR lists ranks below every form seen in
        # running text (the estimate is divided by ten), by its rank.
        estimate = candidates.get(word, 0.0) / scale / OCR_DISCOUNT
        return (smoothed.get(modern, modern) + archaic + min(estimate, CANDIDATE_CAP),
                modern, archaic)

    raw_freq = {}
    for word in forms:
        freq, modern, archaic = evidence(word)
        in_dictionary = word in accepted
        if modern + archaic == 0 and not (in_dictionary and word in candidates):
            continue  # OCR-only forms need a dictionary's support
        if not in_dictionary and modern < 2 and not (modern == 1 and word in candidates):
            continue  # unsupported corpus singletons are mostly typos
        # English words (SCOWL up to size 50) quoted in Uzbek text are not
        # Uzbek unless frequent or attested in Cyrillic spelling (the Debian
        # list is transliterated from Cyrillic). The other dictionary's affix
        # rules accept too much English (shop, finish, french) to count here.
        if word in english_words and word not in debian_forms and modern < ENGLISH_IN_UZBEK_MIN:
            continue
        # One- and two-letter tokens are mostly initials, units and numerals.
        if len(word) <= 2 and not in_dictionary and modern < SHORT_FORM_MIN:
            continue
        raw_freq[word] = freq

    # weight = TOP_WEIGHT + slope * log10(freq / freq(va)), slope fitted to the anchors.
    top = max(raw_freq.values())
    xs = [math.log10(raw_freq[w] / top) for w, _ in ANCHORS]
    ys = [t - TOP_WEIGHT for _, t in ANCHORS]
    slope = sum(x * y for x, y in zip(xs, ys)) / sum(x * x for x in xs)

    weights = {}
    for word, freq in raw_freq.items():
        weight = TOP_WEIGHT + slope * math.log10(freq / top)
        if weight >= MIN_WEIGHT:
            weights[word] = round(weight, 2)

    def is_own_word(plain, apostrophe):
        """Whether a bare spelling (bor, olib, qol) is a word in its own right.

        In the corpus (edited text, where leaving out an apostrophe is a rare
        slip) it occurs at least 3 times and more often than slips would
        explain, 1 in 100 of the apostrophe form (otdi 15 against o'tdi 325);
        or the Cyrillic OCR list, where no apostrophe can be lost (ў, ғ are
        letters), holds it and ranks it at least 1/5 as high as the
        apostrophe form, or does not hold that form (tola, tugma, otash,
        posti); or the dictionary transliterated from Cyrillic accepts it
        (yollagan: hired). The Latin dictionary's acceptance does not count:
        its affix rules build bare spellings from bare stems (ozining,
        bolim), and the Latin OCR list lost many apostrophes (bogi, boshligi).
        A rare own word keeps a low weight, so restoration still prefers a far
        more frequent apostrophe form.
        """
        plain_count = sum(counts.get(plain, (0, 0)))
        if plain_count >= BARE_MIN_COUNT and (
                plain_count >= BARE_SLIP_RATE * sum(counts.get(apostrophe, (0, 0)))):
            return True
        plain_rank = cyrillic_ranks.get(plain)
        rank = cyrillic_ranks.get(apostrophe)
        if plain_rank and (not rank or plain_rank <= rank * BARE_CYRILLIC_RATIO):
            return True
        return plain in debian_forms

    # Bare spellings of apostrophe words: weight 0.0 unless a word of their own.
    bare_forms = set()
    for word, weight in weights.items():
        plain = bare(word)
        if plain == word or weight < BARE_MIN_WEIGHT:
            continue
        if not is_own_word(plain, word):
            bare_forms.add(plain)

    # The least supported forms go when the lexicon would outgrow a
    # 262,144-slot table kept at most half full.
    room = MAX_WORDS - len(bare_forms)
    ranked = sorted((w for w in weights if w not in bare_forms),
                    key=lambda w: (-raw_freq[w], w))
    weights = {w: weights[w] for w in ranked[:room]}
    weights.update((plain, 0.0) for plain in bare_forms)
    bare_count = len(bare_forms)
    info = {"scale": scale, "slope": slope, "top": top, "bare": bare_count}
    return weights, info


def english_list():
    weights = {}
    for size, weight in ENGLISH_TIERS:
        # Words SCOWL lists only capitalised (English, British, Turkish) are
        # English words too; the converter compares lowercase keys.
        capitalised = {w.lower() for w in scowl_words("upper", size)
                       if re.fullmatch(r"[A-Z][a-z]+('s)?", w)}
        for word in sorted(scowl_words("words", size) | capitalised):
            if not re.fullmatch(r"[a-z]+('s)?", word) or word in weights:
                continue
            if size > ENGLISH_POSSESSIVES_UP_TO and word.endswith("'s"):
                continue
            if size > ENGLISH_FULL_UP_TO and "sh" not in word and "ch" not in word:
                continue
            weights[word] = weight
    return weights


def foreign_names(uzbek_known):
    names = set()
    for size in FOREIGN_NAME_SIZES:
        for name in scowl_words("proper-names", size):
            key = name.lower()
            if re.fullmatch(r"[a-z]+", key) and ("ch" in key or "sh" in key):
                names.add(key)
    return sorted(n for n in names if n not in uzbek_known)


def write_weights(path, weights):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for word in sorted(weights, key=lambda w: w.encode()):
            f.write(f"{word}\t{weights[word]:g}\n")


def write_line_list(path, lines):
    with open(path, "w", encoding="utf-8", newline="") as f:
        for line in lines:
            f.write(line + "\r\n")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    raw, out = sys.argv[1], sys.argv[2]
    ensure_packages()
    os.makedirs(out, exist_ok=True)

    uzbek, info = uzbek_lexicon(raw)
    write_weights(os.path.join(out, "uzbek.tsv"), uzbek)
    english = english_list()
    write_weights(os.path.join(out, "english.tsv"), english)
    counts = read_counts_by_source(os.path.join(raw, "uz_counts_real_by_source.tsv"))
    sh_counts = {w: sum(counts.get(w, (0, 0))) + sum(counts.get(w.replace("sh", "s'h", 1), (0, 0)))
                 for w in SH_EXCEPTIONS}
    write_weights(os.path.join(out, "sh_exceptions.tsv"), sh_counts)
    write_line_list(os.path.join(out, "brands.txt"), BRANDS_TEXT.splitlines())

    # A name that Uzbek running text, the lexicon or the Cyrillic OCR list
    # holds is written the Uzbek way (Irtish, Gorbachov). The Latin OCR list
    # alone does not count: it carries names quoted in their own spelling
    # (Chris, Heinrich, Sheldon).
    detail = os.path.join(raw, "uz_freq_candidate_detail.tsv")
    known = set(uzbek) | set(counts) | set(read_cyrillic_ranks(detail))
    names = foreign_names(known)
    write_line_list(os.path.join(out, "foreign_names.txt"), FOREIGN_HEADER + names)

    with_apostrophe = sum(1 for w in uzbek if "'" in w)
    print(f"uzbek: {len(uzbek)} forms, {with_apostrophe} with an apostrophe, "
          f"{info['bare']} bare spellings at 0.0; OCR scale {info['scale']:.2f}, "
          f"slope {info['slope']:.3f}, top count {info['top']:.0f}")
    print(f"english: {len(english)} words; foreign names: {len(names)}")


if __name__ == "__main__":
    main()
