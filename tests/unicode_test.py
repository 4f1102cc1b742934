#!/usr/bin/env python3
"""velko-cli's commands to and from UTF-8 against Python's codecs, which no code here wrote:
cp932 and shift_jis on every double-byte code and every character of the Basic Multilingual
Plane, both ways; iso2022_jp and iso2022_jp_ext for the JIS forms they know; the PC-98 rule
(0x86A2 + k is U+2500 + k); round trips; what --unmapped=fail, --bom and --kana do; check.

    unicode_test.py VELKO_CLI GEN_TEXT
"""
import codecs, os, re, subprocess, sys, tempfile, unicodedata

cli, gen_text = sys.argv[1], sys.argv[2]
os.chdir(tempfile.mkdtemp(prefix="velko-unicode-"))
failures = []
LEADS = [b for b in range(0x81, 0x100) if b <= 0x9F or 0xE0 <= b <= 0xFC]
TRAILS = [b for b in range(0x40, 0xFD) if b != 0x7F]
PC98 = range(0x86A2, 0x86EE)
JIS_READINGS = {0x8160: "\u301C", 0x8161: "\u2016", 0x817C: "\u2212",
                0x8191: "\u00A2", 0x8192: "\u00A3", 0x81CA: "\u00AC"}


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def run(*args, data=None):
    p = subprocess.run([cli, *args], input=data, capture_output=True)
    return p.returncode, p.stdout, p.stderr.decode("utf-8", "replace")


def lines_of(data):
    return data.split(b"\n")


def told(err):  # the count "N without a mapping" on stderr, 0 when none
    m = re.search(r"(\d+) without a mapping", err)
    return int(m.group(1)) if m else 0


def decode_cell(code, jis=False):  # a double-byte code as the commands must read it
    lead, trail = code >> 8, code & 0xFF
    if jis and code in JIS_READINGS:
        return JIS_READINGS[code]
    text = bytes([lead, trail]).decode("cp932", "replace")
    if "\ufffd" not in text:
        return text
    if code in PC98:
        return chr(0x2500 + code - 0x86A2)
    return "\ufffd" + (chr(trail) if trail < 0x80 or trail not in TRAILS else "")


# Windows writes an IBM extension where Python's cp932 writes its NEC-selected copy.
IBM = {}
for code in (lead << 8 | trail for lead in (0xFA, 0xFB, 0xFC) for trail in TRAILS):
    c = code.to_bytes(2, "big").decode("cp932", "replace")
    if "\ufffd" not in c:
        IBM.setdefault(c, code.to_bytes(2, "big"))


def encode_char(c, pc98=False):  # a character as utf82sjis must write it
    if 0x2500 <= ord(c) <= 0x254B:
        try:
            if not pc98:
                return c.encode("cp932")
        except UnicodeEncodeError:
            pass
        return (0x86A2 + ord(c) - 0x2500).to_bytes(2, "big")
    try:
        code = c.encode("cp932")
        return IBM.get(c, code) if code[0] in (0xED, 0xEE) else code
    except UnicodeEncodeError:
        pass
    code = c.encode("shift_jis", "replace")  # JIS' readings of the six cells map back too
    return code if int.from_bytes(code, "big") in JIS_READINGS else b"?"


# Every double-byte code and every single byte, a line each.
codes = [lead << 8 | trail for lead in LEADS for trail in TRAILS]
cells = b"".join(c.to_bytes(2, "big") + b"\n" for c in codes)
singles = bytes(b for b in range(256) if b not in (0x0A, 0x0D))
for jis in (False, True):
    args = ["sjis2utf8", "--force", "-o", "-"] + (["--map=jis"] if jis else [])
    status, out, err = run(*args, data=cells + b"\n".join(bytes([b]) for b in singles) + b"\n")
    got = out.decode("utf-8").split("\n")
    wrong = [hex(c) for c, g in zip(codes, got) if g != decode_cell(c, jis)]
    check(not wrong, "sjis2utf8 %s: codes read otherwise: %s" % (args[-1], wrong[:8]))
    want_singles = [bytes([b]).decode("cp932", "replace") for b in singles]
    wrong = [hex(b) for b, g, w in zip(singles, got[len(codes):], want_singles) if g != w]
    check(not wrong, "sjis2utf8: single bytes read otherwise: %s" % wrong[:8])
    check(status == 1 and told(err) == out.decode().count("\ufffd"),
          "sjis2utf8: every code without a character told, exit 1 (%d, %d told)" % (status, told(err)))

# Every character of the Basic Multilingual Plane but the surrogates and the line ends, a line
# each, and one past it; with --pc98 the box-drawing characters differ.
chars = [chr(u) for u in range(0x10000) if not 0xD800 <= u <= 0xDFFF and u not in (10, 13)]
chars.append("\U0001F600")
text = "".join(c + "\n" for c in chars).encode("utf-8")
for pc98 in (False, True):
    status, out, err = run("utf82sjis", "--force", "-o", "-", *(["--pc98"] if pc98 else []),
                           data=text)
    got = lines_of(out)
    wrong = ["U+%04X" % ord(c) for c, g in zip(chars, got) if g != encode_char(c, pc98)]
    check(len(got) == len(chars) + 1 and not wrong,
          "utf82sjis pc98=%s: characters written otherwise: %s" % (pc98, wrong[:8]))
    check(told(err) == got.count(b"?") - 1 and status == 1,  # U+003F itself is a '?'
          "utf82sjis: every character without a code told (%d told)" % told(err))

# Round trips: every code that reads as a character comes back as Windows writes that
# character; a PC-98 ruled line with --pc98 as itself.
status, out, _ = run("sjis2utf8", "--force", "-o", "-", data=cells)
status, back, _ = run("utf82sjis", "--pc98", "-o", "-", data=out)
wrong = []
for code, line in zip(codes, lines_of(back)):
    raw = code.to_bytes(2, "big")
    if "\ufffd" not in decode_cell(code):
        want = encode_char(decode_cell(code), pc98=True)
        if line != want:
            wrong.append(hex(code))
check(not wrong, "sjis2utf8 | utf82sjis --pc98: codes not back: %s" % wrong[:8])

# The bench's corpora, mixed and prose, against Python's cp932 with the PC-98 rule: what
# sjis2utf8 writes, and back; prose holds PC-98 ruled lines only and comes back whole.
def pc98_read(e):
    code = int.from_bytes(e.object[e.start:e.start + 2], "big")
    if code in PC98:
        return chr(0x2500 + code - 0x86A2), e.start + 2
    raise e


def pc98_write(e):
    return b"".join(encode_char(c) for c in e.object[e.start:e.end]), e.end


codecs.register_error("pc98-read", pc98_read)
codecs.register_error("pc98-write", pc98_write)
for kind in ("mixed", "prose"):
    subprocess.run([gen_text] + (["--prose"] if kind == "prose" else []) + ["1", "7", kind],
                   check=True, capture_output=True)
    sjis = open(kind, "rb").read()
    text = sjis.decode("cp932", "pc98-read")
    status, out, _ = run("sjis2utf8", "-o", "-", kind)
    check(status == 0 and out == text.encode(), "sjis2utf8 on the %s corpus" % kind)
    status, back, _ = run("utf82sjis", "-o", "-", data=out)
    check(status == 0 and back == text.encode("cp932", "pc98-write"), "utf82sjis on the %s corpus" % kind)
    if kind == "prose":
        _, back, _ = run("utf82sjis", "--pc98", "-o", "-", data=out)
        check(back == sjis, "prose back with --pc98, byte for byte")

# EUC-JP: the corpora through utf82eucjp and back whole; Python's euc_jp reads every line it
# knows every character of as utf82eucjp wrote it (VELKO writes the PC-98 ruled lines too).
for kind in ("mixed", "prose"):
    _, text, _ = run("sjis2utf8", "-o", "-", kind)
    status, euc, err = run("utf82eucjp", "-o", "-", data=text)
    _, back, _ = run("eucjp2utf8", "-o", "-", data=euc)
    check(status == 0 and back == text, "utf82eucjp | eucjp2utf8 on the %s corpus" % kind)
    known = 0
    for line, written in zip(lines_of(text), lines_of(euc)):
        try:
            want = line.decode().encode("euc_jp")
        except UnicodeEncodeError:
            continue
        known += 1
        check(written == want, "utf82eucjp %s: %r, not %r" % (kind, written, want))
    print("utf82eucjp %s: %d lines held to Python's euc_jp" % (kind, known))
    check(known > 1000, "utf82eucjp: %d lines Python's euc_jp writes" % known)

# JIS: every cell of the 94 x 94, as mailers write it; Python's iso2022_jp reads JIS X 0208
# (with --map=jis, every cell it knows alike), the Windows vendor rows as code page 932 does.
def jis_to_sjis(j1, j2):
    s1 = (j1 + 1) // 2 + (0x70 if j1 <= 0x5E else 0xB0)
    s2 = j2 + (0x1F if j1 & 1 else 0x7E) + (1 if j1 & 1 and j2 >= 0x60 else 0)
    return s1 << 8 | s2


pairs = [(a, b) for a in range(0x21, 0x7F) for b in range(0x21, 0x7F)]
mail = b"".join(b"\x1b$B" + bytes(p) + b"\x1b(B\n" for p in pairs)
for jis in (False, True):
    _, out, _ = run("jis2utf8", "-o", "-", *(["--map=jis"] if jis else []), data=mail)
    wrong = []
    for (a, b), got in zip(pairs, out.decode("utf-8").split("\n")):
        code = jis_to_sjis(a, b)
        strict = (b"\x1b$B" + bytes([a, b]) + b"\x1b(B").decode("iso2022_jp", "replace")
        # A code with no character is lost whole: both its bytes are below 0x80.
        want = strict if "\ufffd" not in strict and (jis or code not in JIS_READINGS) else \
            decode_cell(code, jis)[:1]
        if got != want:
            wrong.append("%02X%02X" % (a, b))
    check(not wrong, "jis2utf8 map=jis %s: cells read otherwise: %s" % (jis, wrong[:8]))

vectors = [  # JIS forms mailers write, as Python's decoders read them
    (b"a\x1b$@0!\x1b(Bb\x1b$B4A;z\x1b(Jc\n", "iso2022_jp"),
    (b"\x1b(I12^\x1b(B \x1b$B\x1b(B\n", "iso2022_jp_ext"),
    (b"\x1b$B0!\n0!\n", "亜\n0!\n"),  # a line end ends the run
    (b"\x1b$B\x1b(B\x0e34\x0fx\n", "ｳｴx\n"),  # SO and SI shift to kana and back
    (b"\x1b$B0!\x1b(J\xb1\xdf\\\n", "亜ｱﾟ\\\n"),  # VELKO's own: 8-bit kana, ESC ( J as ASCII
]
for data, codec in vectors:
    _, out, err = run("jis2utf8", "-o", "-", data=data)
    want = data.decode(codec) if codec.startswith("iso") else codec
    check(out.decode() == want, "jis2utf8 %r: %r" % (data, out.decode()))
# utf82jis writes what strict decoders read, every character JIS X 0208 holds; the vendor rows
# as Windows writes them, told; half-width kana as --kana says.
jis_chars = []
for c in chars:
    try:
        # Shifts and escapes are JIS' own, a NUL is no text; ESC ( J reads as ASCII, so YEN
        # SIGN and OVERLINE have no code.
        if c in "\x0e\x0f\x1b\x00\u00a5\u203e":
            continue
        c.encode("iso2022_jp")
        jis_chars.append(c)
    except UnicodeEncodeError:
        pass
text = "".join(c + "\n" for c in jis_chars).encode()
status, out, err = run("utf82jis", "-o", "-", data=text)
check(status == 0 and out.decode("iso2022_jp") == text.decode(), "utf82jis: not strict JIS X 0208")
vendor = "①Ⅰ㍉纊ⅰ～"
_, out, err = run("utf82jis", "-o", "-", data=vendor.encode())
_, back, _ = run("jis2utf8", "-o", "-", data=out)
check(back.decode() == vendor and "5 characters are written as codes of the Windows vendor" in err,
      "utf82jis vendor rows: %r %r" % (back.decode(), err))
def full_width(text):  # NFKC, a mark joined where JIS X 0208 has the joined character
    marks, out, i = {"ﾞ": "\u309b", "ﾟ": "\u309c"}, "", 0
    while i < len(text):
        joined = unicodedata.normalize("NFKC", text[i:i + 2])
        if text[i] in marks:
            out, i = out + marks[text[i]], i + 1
        elif i + 1 < len(text) and text[i + 1] in marks and len(joined) == 1 and \
                joined not in "\u30f7\u30f8\u30f9\u30fa":
            out, i = out + joined, i + 2
        else:
            out, i = out + unicodedata.normalize("NFKC", text[i]), i + 1
    return out


kana = "".join(chr(u) for u in range(0xFF61, 0xFFA0))
kana += "".join(k + m for k in kana[:-2] for m in "\uff9e\uff9f")
for how, codec in (("full", "iso2022_jp"), ("esc-i", "iso2022_jp_ext")):
    status, out, err = run("utf82jis", "--kana=" + how, "-o", "-", data=kana.encode())
    want = kana if how == "esc-i" else full_width(kana)
    got = out.decode(codec)
    check(got == want, "utf82jis --kana=%s: %r" % (how, [(a, b) for a, b in zip(got, want) if a != b][:4]))
    sjis = kana.encode("cp932")
    _, out, err = run("sjis2jis", "--kana=" + how, "-o", "-", data=sjis)
    check(out.decode(codec) == want, "sjis2jis --kana=%s" % how)
_, out, err = run("sjis2jis", "-o", "-", data=b"a\n\x82\xa0\n\xb1\n\xb2\n")
check(out == b"a\n\x1b$B$\"\x1b(J\n\xb1\n\xb2\n" and err.count("8-bit") == 1 and "line 3" in err,
      "sjis2jis: 8-bit kana told once, with the first line: %r" % err)

# Nothing written with --unmapped=fail; a BOM written when asked and dropped when read.
with open("lost.txt", "wb") as f:
    f.write(b"ok \x85\x40\n")
status, _, err = run("sjis2utf8", "--unmapped=fail", "lost.txt")
check(status == 1 and not os.path.exists("lost.BAK") and open("lost.txt", "rb").read() ==
      b"ok \x85\x40\n" and "not converted" in err, "--unmapped=fail in place")
status, _, err = run("sjis2utf8", "--unmapped=fail", "-o", "out.txt", "lost.txt")
check(status == 1 and not os.path.exists("out.txt"), "--unmapped=fail -o")
status, out, err = run("sjis2utf8", "--unmapped=fail", data=b"ok \x85\x40\n")
check(status == 1 and out == b"" and "line 1, column 4" in err, "--unmapped=fail filter: %r" % err)
status, out, _ = run("sjis2utf8", "--bom", data=b"\x82\xa0\n")
check(out == "\ufeffあ\n".encode(), "--bom")
status, out, _ = run("utf82sjis", data="\ufeffあ\ufeff\n".encode())
check(out == b"\x82\xa0?\n" and status == 1, "a BOM at the start dropped, elsewhere no character")

# check: one encoding by fixed rules, or ambiguous when the bytes fit several, as Python's
# strict decoders find; the exit status 0 only when each file is named without doubt.
def named(data):
    if b"\0" in data:
        return "binary"
    if max(data) < 0x80:
        return "ISO-2022-JP" if b"\x1b$" in data else "ASCII"
    fits = []
    for name, codec in (("UTF-8", "utf-8"), ("Shift_JIS", "cp932"), ("EUC-JP", "euc_jp")):
        try:
            data.decode(codec)
            fits.append(name)
        except UnicodeDecodeError:
            pass
    return fits[0] if len(fits) == 1 else "ambiguous(%s)" % "|".join(fits)


prose = "日本語の文章です。これはテストです。\n"
files = {"ascii.txt": b"plain\r\n", "sjis.txt": "漢字とｶﾅ、①\n".encode("cp932") * 20,
         "utf8.txt": prose.encode() * 20, "jis.txt": prose.encode("iso2022_jp"),
         "euc.txt": prose.encode("euc_jp"), "short.txt": "漢字とかな\n".encode(),
         "kana.txt": "ｱｲｳｴ\n".encode("cp932"), "nul.bin": b"a\0b"}
for name, data in files.items():
    with open(name, "wb") as f:
        f.write(data)
status, out, _ = run("check", "--tsv", *files)
rows = [line.split("\t") for line in out.decode().splitlines()[1:]]
want = [named(data) for data in files.values()]
check([r[1] for r in rows] == want and status == 1, "check --tsv: %s, not %s" % ([r[1] for r in rows], want))
check(len(set(want)) == len(want), "the table holds each case once")
sjis_row = rows[1]
check(sjis_row[7:9] == ["40", "20"] and sjis_row[2] == "20", "check counts: %s" % sjis_row)
euc_row = rows[4]
check(euc_row[6] == "0" and euc_row[13] == "0", "check counts EUC-JP: %s" % euc_row)
status, _, _ = run("check", "ascii.txt", "sjis.txt", "jis.txt", "utf8.txt")
check(status == 0, "check: exit 0 when each is named")

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
