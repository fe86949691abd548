#!/usr/bin/env python3
# Copyright the vexo authors. Licensed under the Apache License, Version 2.0.
"""Turns the word lists in core/data/ into a C++ source of read-only arrays.

Usage: gen_lexicon.py OUTPUT.cpp (NAME=FILE.tsv | NAME=FILE.txt)...

A .tsv file (word TAB weight per line) becomes a hashed lexicon named NAME:
the words sorted by bytes and concatenated, N + 1 offsets, N weights and a
power-of-two slot table of at least twice N slots (home slot by word_hash of
core/word_hash.h, linear probing), each slot four 32-bit words: the top 32
bits of the word's hash, the word's start in the words, its length (0 marks an
empty slot) and the bits of its float32 weight, so that a lookup reads one slot
and the word's bytes, and most probes of an absent word end at the slot. A .txt file becomes
the string_view NAME holding the text as it stands. The result is checked
before it is written, and written through a temporary file.
"""

import math
import os
import struct
import sys

MASK64 = (1 << 64) - 1
SLOT_WORDS = 4  # must match kLexiconSlotWords in core/lexicon.h


def _mix(h):
    h = (h * 0xFF51AFD7ED558CCD) & MASK64
    return h ^ (h >> 32)


def word_hash(data):
    """word_hash of core/word_hash.h: little-endian loads of 8 bytes, the last
    eight overlapping, a shorter word in two overlapping halves."""
    size = len(data)
    h = 0x9E3779B97F4A7C15 ^ size
    le = lambda at, n: int.from_bytes(data[at:at + n], "little")
    if size >= 8:
        i = 0
        while i + 8 < size:
            h = _mix(h ^ le(i, 8))
            i += 8
        h = _mix(h ^ le(size - 8, 8))
    elif size >= 4:
        h = _mix(h ^ le(0, 4) ^ (le(size - 4, 4) << 32))
    elif size > 0:
        h = _mix(h ^ data[0] ^ (data[size // 2] << 8) ^ (data[size - 1] << 16))
    return _mix(h)


def float32_bits(value):
    return struct.unpack("<I", struct.pack("<f", value))[0]


def read_weights(path):
    entries = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line:
                continue
            word, sep, weight = line.partition("\t")
            if not sep or not word:
                sys.exit(f"{path}:{number}: expected word<TAB>weight")
            key = word.encode("utf-8")
            if key in entries:
                sys.exit(f"{path}:{number}: duplicate word {word!r}")
            if any(c.isspace() for c in word):
                sys.exit(f"{path}:{number}: white space in word {word!r}")
            try:
                value = float(weight)
            except ValueError:
                value = math.nan
            if not math.isfinite(value):
                sys.exit(f"{path}:{number}: bad weight {weight!r}")
            entries[key] = value
    return sorted(entries.items())


def build_table(entries):
    """Returns (words, offsets, weights, slots) for sorted (word, weight) pairs;
    slots is the flat list of SLOT_WORDS words per slot."""
    words = b"".join(w for w, _ in entries)
    offsets = [0]
    for w, _ in entries:
        offsets.append(offsets[-1] + len(w))
    weights = [weight for _, weight in entries]
    size = 1
    while size < 2 * max(len(entries), 1):
        size *= 2
    assert len(words) < (1 << 32), "too many bytes of words for the slot format"
    slots = [0] * (size * SLOT_WORDS)
    for (w, weight), begin in zip(entries, offsets):
        h = word_hash(w)
        slot = h & (size - 1)
        while slots[slot * SLOT_WORDS + 2]:
            slot = (slot + 1) & (size - 1)
        slots[slot * SLOT_WORDS:(slot + 1) * SLOT_WORDS] = [h >> 32, begin, len(w), float32_bits(weight)]
    return words, offsets, weights, slots


def check_table(entries, words, offsets, weights, slots):
    size = len(slots) // SLOT_WORDS
    assert size & (size - 1) == 0 and size >= 2 * len(entries)
    assert offsets[0] == 0 and offsets[-1] == len(words) and len(weights) == len(entries)
    assert all(entries[i][0] < entries[i + 1][0] for i in range(len(entries) - 1))
    for (w, weight), begin in zip(entries, offsets):
        h = word_hash(w)
        slot = h & (size - 1)
        while slots[slot * SLOT_WORDS:(slot + 1) * SLOT_WORDS] != [h >> 32, begin, len(w), float32_bits(weight)]:
            assert slots[slot * SLOT_WORDS + 2] != 0, f"{w!r} not reachable"
            slot = (slot + 1) & (size - 1)


def cpp_string(data, width=100):
    """Bytes as C++ string-literal pieces, one per line, octal-escaped outside ASCII."""
    pieces, line = [], ""
    for b in data:
        c = chr(b)
        if c in '"\\?':
            text = "\\" + c
        elif 0x20 <= b < 0x7F:
            text = c
        else:
            text = f"\\{b:03o}"
        line += text
        if len(line) >= width:
            pieces.append(f'"{line}"')
            line = ""
    if line or not pieces:
        pieces.append(f'"{line}"')
    return "\n    ".join(pieces)


def cpp_numbers(values, per_line=12):
    rows = [", ".join(values[i:i + per_line]) for i in range(0, len(values), per_line)]
    return ",\n    ".join(rows) if rows else ""


def float32_literal(value):
    as_float32 = struct.unpack("<f", struct.pack("<f", value))[0]
    return as_float32.hex() + "f"


def lexicon_source(name, entries):
    words, offsets, weights, slots = build_table(entries)
    check_table(entries, words, offsets, weights, slots)
    # Empty arrays are not allowed; a list without words still gets one entry
    # in each, which the sizes below keep out of view.
    weight_values = [float32_literal(w) for w in weights] or ["0.0f"]
    return f"""
namespace {{
constexpr char {name}_words[] =
    {cpp_string(words)};
constexpr std::uint32_t {name}_offsets[] = {{
    {cpp_numbers([str(o) for o in offsets])}}};
constexpr float {name}_weights[] = {{
    {cpp_numbers(weight_values, 8)}}};
alignas(64) constexpr std::uint32_t {name}_slots[] = {{
    {cpp_numbers([str(s) for s in slots], 16)}}};
}}  // namespace

// {len(entries)} words, {len(words)} bytes of words, {len(slots) // SLOT_WORDS} slots.
constinit const Lexicon {name}{{
    std::string_view({name}_words, {len(words)}),
    std::span<const std::uint32_t>({name}_offsets, {len(offsets)}),
    std::span<const float>({name}_weights, {len(weights)}),
    std::span<const std::uint32_t>({name}_slots, {len(slots)})}};
"""


def text_source(name, path):
    with open(path, "rb") as f:
        data = f.read()
    data.decode("utf-8")  # must be valid UTF-8
    return f"""
namespace {{
constexpr char {name}_bytes[] =
    {cpp_string(data)};
}}  // namespace

constinit const std::string_view {name}({name}_bytes, {len(data)});
"""


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    output = sys.argv[1]
    parts = [
        "// Generated by tools/gen_lexicon.py from core/data/. Do not edit.\n"
        '#include "core/list_data.h"\n\n'
        "#include <bit>\n\n"
        'static_assert(std::endian::native == std::endian::little,\n'
        '              "the list tables are stored little-endian");\n\n'
        "namespace vexo::list_data {\n"
    ]
    for argument in sys.argv[2:]:
        name, _, path = argument.partition("=")
        if path.endswith(".tsv"):
            parts.append(lexicon_source(name, read_weights(path)))
        else:
            parts.append(text_source(name, path))
    parts.append("\n}  // namespace vexo::list_data\n")
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="ascii", newline="\n") as f:
        f.write("".join(parts))
    os.replace(temporary, output)


if __name__ == "__main__":
    main()
