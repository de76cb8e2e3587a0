#!/usr/bin/env python3
"""Builds src/jetdb/general_sort_table.cpp, the per-character sort codes of the
General (legacy) text order used by Jet 4 index keys.

Input: the two public code lists that describe that order one UTF-16 code unit
per line (the first for U+0000..U+00FF, the second for U+0100..U+FFFF without
the surrogate range U+D800..U+DFFF). Each line is one of
    X              ignored character
    S<hex>         inline code bytes
    I<hex>,<hex>   inline code bytes, accent ("extra") code bytes
    U<hex>         unprintable code bytes
    P<hex>         one byte added to the previous accent code
    Z<hex>,<hex>,<flag>  inline bytes, optional accent bytes, 1/2 flag
Hex strings of odd length have a leading zero dropped.

Each character also gets its number of sort elements: the positions it takes
in the accent and unprintable sections. Inline codes are made of elements of
one byte (a byte that is, on its own, the whole code of some character) or
two bytes (a lead byte, then a weight); "ss" for U+00DF is two elements.

Output: runs of consecutive code points, each pointing at one record of a
shared byte pool. A run either repeats one record for every code point
(step 0) or, for inline-only records, counts its last inline code up by one
per code point (step 1) in base 254 (digits 0x02..0xFF; 0x00 and 0x01 are
terminators in a key and never appear in codes). Every run is checked by
expanding it again before the file is written.

Usage: gen_general_sort_table.py LATIN1_CODES EXT_CODES OUTPUT_CPP
"""

import sys

KINDS = {
    "X": "Ignored",
    "S": "Simple",
    "I": "International",
    "U": "Unprintable",
    "P": "UnprintableExt",
    "Z": "InternationalExt",
}
SURROGATE_FIRST = 0xD800
SURROGATE_LAST = 0xDFFF
DIGIT_MIN = 0x02
DIGIT_MAX = 0xFF
MAX_INLINE = 8


def hex_bytes(text):
    if text == "":
        return b""
    if len(text) % 2:
        text = "0" + text
    return bytes.fromhex(text)


def parse_line(line):
    line = line.strip()
    kind = KINDS[line[0]]
    parts = line[1:].split(",") if len(line) > 1 else []
    if kind == "Ignored":
        return (kind, b"", b"", 0)
    if kind in ("Simple", "Unprintable", "UnprintableExt"):
        assert len(parts) == 1, line
        data = hex_bytes(parts[0])
        assert data, line
        if kind == "UnprintableExt":
            assert len(data) == 1, line
        return (kind, data, b"", 0)
    if kind == "International":
        assert len(parts) == 2, line
        return (kind, hex_bytes(parts[0]), hex_bytes(parts[1]), 0)
    assert len(parts) == 3, line
    flag = 2 if parts[2] == "1" else 3
    return (kind, hex_bytes(parts[0]), hex_bytes(parts[1]), flag)


def read_codes(latin1_path, ext_path):
    codes = {}
    with open(latin1_path, encoding="ascii") as f:
        lines = [l for l in f.read().splitlines() if l.strip()]
    assert len(lines) == 0x100, len(lines)
    for cp, line in enumerate(lines):
        codes[cp] = parse_line(line)
    with open(ext_path, encoding="ascii") as f:
        lines = [l for l in f.read().splitlines() if l.strip()]
    ext_points = [cp for cp in range(0x100, 0x10000)
                  if not SURROGATE_FIRST <= cp <= SURROGATE_LAST]
    assert len(lines) == len(ext_points), (len(lines), len(ext_points))
    for cp, line in zip(ext_points, lines):
        codes[cp] = parse_line(line)
    for cp in range(SURROGATE_FIRST, SURROGATE_LAST + 1):
        codes[cp] = ("Ignored", b"", b"", 0)
    return codes


def single_byte_codes(codes):
    singles = set()
    for kind, a, b, flag in codes.values():
        if kind in ("Simple", "International", "InternationalExt") and len(a) == 1:
            singles.add(a[0])
    return singles


def count_elements(inline, singles):
    n = 0
    i = 0
    while i < len(inline):
        i += 1 if inline[i] in singles else 2
        n += 1
    assert i == len(inline), inline.hex()
    return n


def add_elements(codes):
    singles = single_byte_codes(codes)
    out = {}
    for cp, (kind, a, b, flag) in codes.items():
        inline = kind in ("Simple", "International", "InternationalExt")
        out[cp] = (kind, a, b, flag, count_elements(a, singles) if inline else 0)
    return out


def increment(data, by):
    digits = list(data)
    base = DIGIT_MAX - DIGIT_MIN + 1
    i = len(digits) - 1
    carry = by
    while carry and i >= 0:
        assert DIGIT_MIN <= digits[i] <= DIGIT_MAX
        value = digits[i] - DIGIT_MIN + carry
        digits[i] = DIGIT_MIN + value % base
        carry = value // base
        i -= 1
    if carry:
        return None
    return bytes(digits)


def expand(record, step, offset):
    kind, a, b, flag, elements = record
    if step == 0 or offset == 0:
        return record
    return (kind, increment(a, offset), b, flag, elements)


def build_runs(codes):
    runs = []  # [first, count, step, record]
    cp = 0
    while cp < 0x10000:
        record = codes[cp]
        count = 1
        step = 0
        while cp + count < 0x10000 and codes[cp + count] == record:
            count += 1
        if count == 1 and record[0] == "Simple":
            while (cp + count < 0x10000 and
                   codes[cp + count] == expand(record, 1, count)):
                count += 1
            if count > 1:
                step = 1
        runs.append((cp, count, step, record))
        cp += count
    return runs


def verify(runs, codes):
    seen = 0
    for first, count, step, record in runs:
        assert first == seen
        for i in range(count):
            assert expand(record, step, i) == codes[first + i], hex(first + i)
        seen += count
    assert seen == 0x10000


def main():
    latin1_path, ext_path, out_path = sys.argv[1:4]
    codes = add_elements(read_codes(latin1_path, ext_path))
    for kind, a, b, flag, elements in codes.values():
        assert len(a) <= MAX_INLINE and len(b) <= 255
    odd = [cp for cp, (kind, a, b, flag, n) in codes.items()
           if kind == "International" and len(b) != n]
    if odd:
        print("accent codes not one per element: " + " ".join("%04X" % c for c in odd[:20]))
    runs = build_runs(codes)
    verify(runs, codes)

    pool = bytearray()
    record_offsets = {}
    run_rows = []
    for first, count, step, record in runs:
        if record not in record_offsets:
            kind, a, b, flag, elements = record
            record_offsets[record] = len(pool)
            pool += bytes([len(a)]) + a + bytes([len(b)]) + b + bytes([flag, elements])
        run_rows.append((first, count, record[0], step, record_offsets[record]))
    assert len(pool) < (1 << 24)

    out = []
    out.append("// Generated by scripts/gen_general_sort_table.py; do not edit.")
    out.append("// Sort codes of the General (legacy) text order, one run of code points per row.")
    out.append('#include "jetdb/general_sort_table.h"')
    out.append("")
    out.append("namespace tessaly::jetdb::general_sort {")
    out.append("")
    out.append("const SortRun kSortRuns[] = {")
    for first, count, kind, step, offset in run_rows:
        out.append("    {0x%04X, %d, CharKind::%s, %d, %d}," % (first, count, kind, step, offset))
    out.append("};")
    out.append("const std::size_t kSortRunCount = sizeof(kSortRuns) / sizeof(kSortRuns[0]);")
    out.append("")
    out.append("const std::uint8_t kSortPool[] = {")
    for i in range(0, len(pool), 24):
        out.append("    " + ",".join("0x%02X" % v for v in pool[i:i + 24]) + ",")
    out.append("};")
    out.append("const std::size_t kSortPoolSize = sizeof(kSortPool);")
    out.append("")
    out.append("}  // namespace tessaly::jetdb::general_sort")
    with open(out_path, "w", encoding="ascii") as f:
        f.write("\n".join(out) + "\n")
    print("%d runs, %d pool bytes" % (len(run_rows), len(pool)))


if __name__ == "__main__":
    main()
