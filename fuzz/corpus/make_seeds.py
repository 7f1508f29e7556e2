#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target, in the input layouts the targets read
(see the comment above each LLVMFuzzerTestOneInput and Decode). Run from anywhere."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
BLOCK = 1 << 20


def text(b):
    return struct.pack("<H", len(b)) + b


def word(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def write(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    with open(os.path.join(HERE, target, name), "wb") as f:
        f.write(data)


# generate: shape, flags, seed, source (the vector path, plus SECURE or FAILING, plus EVERY
# for the every-set rule), marker, mask, include, exclude, then the words.
CAPS, SMALL, DIGITS, SPECIAL, INCLUDE, EXCLUDE, VARIABLE, LIST = (1 << k for k in range(8))
FILE, FULL_DISK, MISSING = 0, 6 << 5, 7 << 5
SECURE, FAILING, EVERY = 16, 48, 64


def gen(name, size, flags, words, masked=False, where=FILE, seed=12345, path=2, marker=b"", mask=b"",
        include=b"", exclude=b""):
    shape = int(masked) | size << 1 | where
    data = bytes([shape, flags]) + word(seed) + bytes([path]) + text(marker) + text(mask) + text(include)
    write("generate", name, data + text(exclude) + b"".join(words))


DEFAULT = CAPS | SMALL | DIGITS
gen("headline", 0, DEFAULT, [word(8), word(10)])
gen("variable", 0, CAPS | SMALL | DIGITS | SPECIAL | VARIABLE, [word(16), word(40)], path=1)
gen("variable-6", 0, DEFAULT | VARIABLE, [word(6), word(30)])
gen("variable-5", 0, DIGITS | VARIABLE, [word(5), word(3)])
gen("masked", 0, DEFAULT, [word(0), word(20)], masked=True, marker=b"?", mask=b"????-????", path=0)
gen("masked-sets", 0, SMALL | INCLUDE | EXCLUDE, [word(0), word(7)], masked=True, marker=b"#?",
    mask=b"#?#-##\x00#", include=b"zz1\r\n\x80\x00\xff", exclude=b"O0Il1a")
gen("list-capped", 13, DEFAULT | LIST, [word(12), word(2000)])
gen("one-block", 14, DEFAULT, [word(8), word(0), word(4)])
gen("blocks-variable", 14, SPECIAL | VARIABLE, [word(40), word(2), word(1)], path=0)
gen("blocks-masked", 14, DIGITS, [word(0), word(1), word(2)], masked=True, marker=b"x", mask=b"xx-x" * 5)
gen("long-lines", 15, DEFAULT | VARIABLE, [b"\x01", word(300 - 250), word(1)])
gen("block-line", 15, DEFAULT, [b"\x00", word(8), word(0)])
gen("big-pool", 0, CAPS | SMALL | DIGITS | SPECIAL | INCLUDE, [word(30), word(40)], path=1,
    include=bytes(range(128, 256)))
gen("big-pool-variable", 0, DIGITS | INCLUDE | VARIABLE, [word(40), word(40)], path=0, include=bytes(range(100, 256)))
gen("whole-pool-masked", 13, INCLUDE, [word(0), word(300)], masked=True, marker=b"\xff", mask=b"\xff-" * 100,
    include=bytes(range(1, 256)))
gen("full-disk-long-line", 15, DEFAULT, [b"\x00", word(8), word(1)], where=FULL_DISK)
gen("secure", 0, DEFAULT, [word(8), word(10)], path=2 | SECURE)
gen("secure-variable-list", 0, CAPS | SPECIAL | VARIABLE | LIST, [word(16), word(40)], path=1 | SECURE)
gen("secure-masked", 0, DIGITS | INCLUDE, [word(0), word(20)], masked=True, marker=b"?", mask=b"???-\r\n-???",
    path=0 | SECURE, include=b"\r\n\x00\xfe")
gen("secure-variable-line-ends", 0, SMALL | INCLUDE | VARIABLE, [word(12), word(30)], path=2 | SECURE,
    include=b"\r\n")
gen("secure-blocks-variable", 14, DEFAULT | VARIABLE, [word(40), word(1), word(6)], path=2 | SECURE)
gen("secure-block-line", 15, DEFAULT, [b"\x00", word(8), word(0)], path=SECURE)
gen("secure-one-character", 0, INCLUDE | LIST, [word(12), word(5)], path=1 | SECURE, include=b"x")
gen("secure-fails", 0, DEFAULT, [word(8), word(10)], path=FAILING)
gen("secure-fails-list", 0, DEFAULT | LIST, [word(8), word(10)], path=FAILING)
gen("empty-pool", 0, INCLUDE, [word(8), word(5)])
gen("full-disk", 0, DEFAULT, [word(8), word(3)], where=FULL_DISK)
gen("missing-folder", 0, DEFAULT, [word(8), word(3)], where=MISSING)

# The every-set rule: passwords drawn again until they hold each ticked set left in the pool.
ALL = CAPS | SMALL | DIGITS | SPECIAL
gen("every-set", 0, DEFAULT, [word(8), word(10)], path=2 | EVERY)
gen("every-set-four-in-four-list", 0, ALL | LIST, [word(4), word(40)], path=1 | EVERY)
gen("every-set-variable", 0, ALL | VARIABLE, [word(12), word(40)], path=0 | EVERY)
gen("every-set-variable-long", 13, DEFAULT | VARIABLE, [word(280), word(30)], path=2 | EVERY)
gen("every-set-masked", 0, DEFAULT, [word(0), word(30)], masked=True, marker=b"?", mask=b"1a-???-Z", path=EVERY)
gen("every-set-one-digit-left", 0, DIGITS | SPECIAL | SMALL | EXCLUDE, [word(6), word(40)], path=2 | EVERY,
    exclude=b"012345678" + b"`~!@#$%^&*()-_=+\\|,./<>?;:'\"[]{}")
gen("every-set-include-not-required", 0, SMALL | INCLUDE | LIST, [word(1), word(40)], path=1 | EVERY,
    include=b"A1#")
gen("every-set-blocks", 14, ALL, [word(8), word(2), word(1)], path=2 | EVERY)
gen("every-set-blocks-masked", 14, CAPS | DIGITS, [word(0), word(1), word(0)], masked=True, marker=b"#",
    mask=b"########", path=1 | EVERY)
gen("every-set-variable-5", 0, ALL | VARIABLE | LIST, [word(5), word(20)], path=2 | EVERY)
gen("every-set-block-line", 15, ALL, [b"\x00", word(8), word(0)], path=1 | EVERY)
gen("every-set-long-line", 15, ALL, [b"\x01", word(100), word(2)], path=0 | EVERY)
# Long passwords where one set has a single character among many, so some are drawn again.
ONE_CAPITAL = dict(include=bytes(range(128, 256)), exclude=b"ABCDEFGHIJKLMNOPRSTUVWXYZ")
gen("every-set-long-line-drawn-again", 13, CAPS | SMALL | INCLUDE | EXCLUDE, [word(300), word(30)], path=EVERY,
    **ONE_CAPITAL)
gen("every-set-variable-long-drawn-again", 13, CAPS | SMALL | INCLUDE | EXCLUDE | VARIABLE | LIST,
    [word(280), word(30)], path=1 | EVERY, **ONE_CAPITAL)
gen("every-set-secure-long-line-drawn-again", 13, CAPS | SMALL | INCLUDE | EXCLUDE, [word(300), word(30)],
    path=2 | SECURE | EVERY, **ONE_CAPITAL)
gen("every-set-does-not-fit", 0, ALL, [word(3), word(5)], path=EVERY)
gen("every-set-does-not-fit-variable", 0, DEFAULT | VARIABLE, [word(2), word(5)], path=EVERY, where=MISSING)
gen("every-set-does-not-fit-masked", 0, DEFAULT | LIST, [word(0), word(5)], masked=True, marker=b"?",
    mask=b"A1?b?", path=EVERY)
gen("every-set-does-not-fit-secure-fails", 0, ALL, [word(3), word(5)], path=FAILING | EVERY)
gen("every-set-empty-pool", 0, CAPS | EXCLUDE, [word(8), word(5)], path=EVERY, exclude=b"ABCDEFGHIJKLMNOPQRSTUVWXYZ")
gen("every-set-secure", 0, ALL, [word(6), word(40)], path=2 | SECURE | EVERY)
gen("every-set-secure-variable-line-ends", 0, SMALL | DIGITS | INCLUDE | VARIABLE, [word(7), word(40)],
    path=1 | SECURE | EVERY, include=b"\r\n")
gen("every-set-secure-masked-list", 0, ALL | LIST, [word(0), word(40)], masked=True, marker=b"*",
    mask=b"**-**-1a", path=SECURE | EVERY)
gen("every-set-full-disk", 0, DEFAULT, [word(8), word(3)], where=FULL_DISK, path=EVERY)

# pool: flags, then include and exclude as head, repeat count, tail.
def pool(name, flags, include=(b"", 1, b""), exclude=(b"", 1, b"")):
    part = lambda t: text(t[0]) + bytes([t[1]]) + text(t[2])
    write("pool", name, bytes([flags]) + part(include) + part(exclude))


pool("all-but-lookalikes", CAPS | SMALL | DIGITS | SPECIAL | EXCLUDE, exclude=(b"O0Il1", 1, b""))
pool("include-repeats", SMALL | INCLUDE, include=(b"zz1", 1, b""))
pool("include-only", INCLUDE, include=(b"aba", 1, b"\x00c"))
pool("cut-at-1000", INCLUDE | EXCLUDE, include=(bytes(range(1, 251)), 4, b"\xfb\xfc\xfd\xfe\xff"),
     exclude=(b"\x01" * 100, 10, b"\x02"))
pool("include-then-exclude", SPECIAL | INCLUDE | EXCLUDE, include=(b"#\xe9", 1, b""), exclude=(b"#", 1, b""))

# charsetfile: mode, size word, bytes.
write("charsetfile", "line-ends", bytes([0]) + word(0) + text(b"xyz\r\n"))
write("charsetfile", "2500-bytes", bytes([10]) + word(0) + text(bytes(range(1, 251))))
write("charsetfile", "zero-first", bytes([0]) + word(0) + text(b"\x00abc"))
write("charsetfile", "empty", bytes([0]) + word(0) + text(b""))
write("charsetfile", "cut", bytes([16]) + word(3) + text(b"abcdef"))
write("charsetfile", "sparse-5GiB", bytes([16 | 1 << 5]) + word(0xA0000000) + text(b"aab"))
write("charsetfile", "missing", bytes([0xFF]))
write("charsetfile", "folder", bytes([0xFE]))

# listfile: full-disk byte, then operations: 0 or 1 a line, 2 close, 3 a new file.
def line(kind, extra):  # kind 0, 1: near a block, a half; 2: near the current block's end
    return b"\x00" + bytes([kind, extra])  # (extra 16 = exactly), 3: extra itself


write("listfile", "short-lines", b"\x00" + line(3, 5) + line(3, 0) + line(3, 40))
write("listfile", "block-lines", b"\x00" + line(0, 14) + line(0, 16) + line(0, 17) + line(1, 16))
write("listfile", "block-ends", b"\x00" + line(3, 200) + line(2, 14) + line(3, 9) + line(2, 13) + line(2, 16)
      + line(1, 0) + line(2, 15) + line(2, 17))
write("listfile", "reopen", b"\x00" + line(3, 9) + b"\x03" + line(3, 2) + b"\x02" + line(3, 2) + b"\x03"
      + line(3, 1))
write("listfile", "full-disk", b"\x01" + line(3, 5) + line(0, 16) + b"\x02")
