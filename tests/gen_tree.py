#!/usr/bin/env python3
"""A seeded tree of old Japanese files, every kind: Shift_JIS with PC-98 ruled lines and vendor
rows, JIS mails, EUC-JP, UTF-8 with and without BOM, ASCII, binaries, names in Shift_JIS and
EUC-JP, a hidden and a version-control folder, a link, a FIFO. Writes DEST/../NAME.json: each
file's path (latin-1) and kind.

    gen_tree.py DEST [--files N] [--seed S] [--large K] [--large-size BYTES]
"""
import argparse, json, os, random

HIRA = [chr(c) for c in range(0x3041, 0x3094)]
KATA = [chr(c) for c in range(0x30A1, 0x30F7)]
# JIS X 0208 level 1 kanji, by way of cp932 (rows 16-47).
KANJI = []
for code in range(0x889F, 0x9872):
    c = code.to_bytes(2, "big").decode("cp932", "replace")
    if len(c) == 1 and c != "\ufffd":
        KANJI.append(c)
HALF = [chr(c) for c in range(0xFF61, 0xFFA0)]
NEC13 = ["①", "②", "Ⅲ", "㍉", "㈱", "№"]
IBM = ["纊", "褜", "鍈", "銈"]
ASCII_WORDS = "the tree of old mail and notes from a disk copied long ago".split()
# Shift_JIS only: the PC-98 ruled lines, raw codes cp932 has no character for.
PC98 = [bytes([0x86, b]) for b in range(0xA2, 0xEE)]


def sentence(rng, extra=()):
    pools = [HIRA, HIRA, KATA, KANJI, KANJI, *extra]
    words = ["".join(rng.choice(rng.choice(pools)) for _ in range(rng.randint(2, 6)))
             for _ in range(rng.randint(3, 12))]
    return "、".join(words) + "。"


def text(rng, lines, extra=()):
    return "".join(sentence(rng, extra) + rng.choice(["\n", "\r\n"]) for _ in range(lines))


def content(kind, rng, size=0):
    lines = max(1, size // 120) if size else rng.randint(1, 60)
    if kind == "sjis":
        body = text(rng, lines, (HALF, NEC13, IBM)).encode("cp932")
        parts = body.split(b"\n")
        for i in range(0, len(parts), 3):  # a ruled line every third line
            parts[i] += b"".join(rng.choice(PC98) for _ in range(rng.randint(1, 8)))
        return b"\n".join(parts)
    if kind == "jis":
        head = "Subject: %s\nFrom: someone@example.jp\n\n" % rng.choice(ASCII_WORDS)
        return (head + text(rng, lines)).encode("iso2022_jp")
    if kind == "euc":
        return text(rng, lines).encode("euc_jp")
    if kind in ("utf8", "utf8bom"):
        bom = b"\xef\xbb\xbf" if kind == "utf8bom" else b""
        return bom + text(rng, lines, (HALF, NEC13, ["￥", "ｶ", "～"])).encode("utf-8")
    if kind == "ascii":
        return "".join(" ".join(rng.choice(ASCII_WORDS) for _ in range(9)) + "\n"
                       for _ in range(lines)).encode()
    return b"\x89PNG\r\n\x1a\n\0\0" + bytes(rng.randrange(256) for _ in range(rng.randint(50, 5000)))


KINDS = ["sjis"] * 5 + ["jis"] * 2 + ["euc"] * 2 + ["utf8", "utf8bom", "ascii", "ascii", "binary"]
EXT = {"sjis": ".txt", "jis": ".eml", "euc": ".euc", "binary": ".png"}


def make(dest, files, seed, large=0, large_size=4 << 20):
    rng = random.Random(seed)
    listing = {}
    folders = ["", "doc", "doc/old", "mail", "mail/1996", "メモ".encode("cp932").decode("latin-1"),
               "メール".encode("euc_jp").decode("latin-1"), "src/pc98"]
    for i in range(files):
        kind = rng.choice(KINDS) if i >= len(KINDS) else KINDS[i]
        folder = folders[i % len(folders)]
        name = "f%04d%s" % (i, EXT.get(kind, ".txt"))
        if i % 17 == 3:  # a name in Shift_JIS
            name = ("ファイル%d" % i).encode("cp932").decode("latin-1") + EXT.get(kind, ".txt")
        path = os.path.join(folder, name)
        listing[path] = kind
    big = set(sorted(listing)[:large])
    for path in big:
        listing[path] = "sjis"  # every large file is Shift_JIS
    for path, kind in listing.items():
        full = os.path.join(dest, path).encode("latin-1")
        os.makedirs(os.path.dirname(full), exist_ok=True)
        size = large_size if path in big else 0
        with open(full, "wb") as f:
            f.write(content(kind, rng, size))
    passed = {".cache/x.txt": "sjis", ".git/HEAD": "sjis", "CVS/Entries": "sjis"}
    for path, kind in passed.items():
        os.makedirs(os.path.join(dest, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(dest, path), "wb") as f:
            f.write(content(kind, rng))
    os.symlink(sorted(listing)[0].encode("latin-1"), os.path.join(dest, "link.txt").encode())
    os.mkfifo(os.path.join(dest, "fifo"))
    return listing


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("dest")
    p.add_argument("--files", type=int, default=300)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--large", type=int, default=0)
    p.add_argument("--large-size", type=int, default=4 << 20)
    a = p.parse_args()
    listing = make(a.dest, a.files, a.seed, a.large, a.large_size)
    with open(a.dest.rstrip("/") + ".json", "w") as f:
        json.dump(listing, f)
