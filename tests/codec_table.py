#!/usr/bin/env python3
"""Writes tests/data/codec_table.txt: every code of code page 932, EUC-JP and the double-byte
set of ISO-2022-JP as Python's cp932, euc_jp and iso2022_jp codecs read it, and the code each
codec writes for that character back. Where VELKO reads or writes otherwise on purpose, the row
says what VELKO does and why. A code no row names is no character, to Python and to VELKO.

    tests/codec_table.py > tests/data/codec_table.txt

Rows: SET CODE CHAR [BACK], or SET CODE CHAR BACK VELKO_CHAR VELKO_BACK WHY
  SET  S (cp932), E (euc_jp), J (iso2022_jp, the two bytes after ESC $ B)
  CHAR the character as hex, BACK the code written for it (left out when it is CODE itself);
  '-' for none
"""
def decode(data, codec):
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def encode(c, codec):
    try:
        return chr(c).encode(codec)
    except UnicodeEncodeError:
        return None


LEADS = [b for b in range(0x81, 0x100) if b <= 0x9F or 0xE0 <= b <= 0xFC]
TRAILS = [b for b in range(0x40, 0xFD) if b != 0x7F]
ROWS = range(0xA1, 0xFF)
PC98 = range(0x86A2, 0x86EE)  # PC-98 ruled lines: U+2500-U+254B in order


def cp932_cell(code):  # a code as VELKO reads code page 932
    if code in PC98:
        return 0x2500 + code - 0x86A2
    return decode(code.to_bytes(2, "big"), "cp932")


# Where several codes read as one character, Windows writes the first of: a JIS row, NEC row
# 13, the IBM extensions, their NEC-selected copies.
def rank(code):
    lead = code >> 8
    return 3 if lead in (0xED, 0xEE) else 2 if lead >= 0xFA else 1 if lead == 0x87 else 0


windows = {}
for lead in LEADS:
    for trail in TRAILS:
        code = lead << 8 | trail
        c = decode(code.to_bytes(2, "big"), "cp932")
        if c is not None and (c not in windows or rank(code) < rank(windows[c])):
            windows[c] = code
for k, code in enumerate(PC98):
    windows.setdefault(0x2500 + k, code)  # a box-drawing character without a JIS code


def jis_to_sjis(j1, j2):
    s1 = (j1 + 1) // 2 + (0x70 if j1 <= 0x5E else 0xB0)
    s2 = j2 + (0x1F if j1 & 1 else 0x7E) + (1 if j1 & 1 and j2 >= 0x60 else 0)
    return s1 << 8 | s2


def sjis_to_jis(code):
    s1, s2 = code >> 8, code & 0xFF
    j1 = 2 * (s1 - (0x70 if s1 <= 0x9F else 0xB0)) - (1 if s2 < 0x9F else 0)
    j2 = s2 - (0x1F if s2 < 0x7F else 0x20 if s2 < 0x9F else 0x7E)
    return j1 << 8 | j2


def jis_rows(c):  # the JIS code VELKO writes for c: no IBM extension, no user-defined code
    code = windows.get(c)
    if code is not None and code >= 0xFA00:
        twins = [k for k in range(0xED40, 0xEEFD) if cp932_cell(k) == c]
        code = twins[0] if twins else None
    if code is None or code < 0x100 or code >= 0xF000:
        return None
    return sjis_to_jis(code)


def why(code, jis):  # why a JIS X 0208 cell reads otherwise in VELKO
    row = (jis >> 8) - 0x20
    if code in PC98:
        return "pc98"
    if row == 13:
        return "nec-row-13"
    if 89 <= row <= 92:
        return "nec-selected-ibm"
    return "windows-reading"


def row(out, kind, code, c, back, velko=None, velko_back=None, reason=None):
    hexed = lambda b: b.hex().upper() if b is not None else "-"
    char = lambda c: "%04X" % c if c is not None else "-"
    data = code.to_bytes(1 if code < 0x100 else 2 if code < 0x10000 else 3, "big")
    fields = [kind, hexed(data), char(c)]
    if reason:
        fields += [hexed(back), char(velko), hexed(velko_back), reason]
    elif back != data:
        fields.append(hexed(back))
    out.append(" ".join(fields))


out = []
# Code page 932: single bytes, then every double-byte code.
for b in range(0x100):
    c = decode(bytes([b]), "cp932")
    if c is not None and b not in LEADS:
        row(out, "S", b, c, encode(c, "cp932"))
for lead in LEADS:
    for trail in TRAILS:
        code = lead << 8 | trail
        c = decode(code.to_bytes(2, "big"), "cp932")
        mine = cp932_cell(code)
        if mine is None:
            continue
        back = encode(c, "cp932") if c is not None else None
        mine_back = windows[mine].to_bytes(2 if windows[mine] > 0xFF else 1, "big")
        if c is None:
            row(out, "S", code, None, None, mine, mine_back, "pc98")
        elif back != mine_back:
            row(out, "S", code, c, back, mine, mine_back, "windows-choice")
        else:
            row(out, "S", code, c, back)

# EUC-JP: JIS X 0208 read with code page 932's cells, half-width kana, JIS X 0212 (after
# JIS X 0208 on the way back).
for b in range(0x80):
    row(out, "E", b, b, bytes([b]))
for k in range(0xA1, 0xE0):
    row(out, "E", 0x8E00 | k, 0xFF61 + k - 0xA1, bytes([0x8E, k]))
for set3 in (False, True):
    for r in ROWS:
        for cell in ROWS:
            data = bytes([0x8F, r, cell] if set3 else [r, cell])
            code = int.from_bytes(data, "big")
            c = decode(data, "euc_jp")
            back = encode(c, "euc_jp") if c is not None else None
            jis = (r & 0x7F) << 8 | (cell & 0x7F)
            mine = c if set3 else cp932_cell(jis_to_sjis(jis >> 8, jis & 0xFF))
            if mine is None:
                continue
            j = jis_rows(mine)
            mine_back = bytes([(j >> 8) | 0x80, (j & 0xFF) | 0x80]) if j else \
                bytes([mine]) if mine < 0x80 else encode(mine, "euc_jp")
            if mine != c:
                row(out, "E", code, c, back, mine, mine_back,
                    "-" if set3 else why(jis_to_sjis(jis >> 8, jis & 0xFF), jis))
            elif back != mine_back:
                row(out, "E", code, c, back, mine, mine_back, "jis-x-0208-first")
            else:
                row(out, "E", code, c, back)

# ISO-2022-JP: the cells of JIS X 0208 between ESC $ B and ESC ( B.
for r in range(0x21, 0x7F):
    for cell in range(0x21, 0x7F):
        code = r << 8 | cell
        c = decode(b"\x1b$B" + bytes([r, cell]) + b"\x1b(B", "iso2022_jp")
        mine = cp932_cell(jis_to_sjis(r, cell))
        if mine is None:
            continue
        full = encode(c, "iso2022_jp") if c is not None else None
        back = full[3:5] if full else None
        j = jis_rows(mine)
        mine_back = j.to_bytes(2, "big") if j else None
        if mine != c:
            row(out, "J", code, c, back, mine, mine_back,
                why(jis_to_sjis(r, cell), code))
        elif back != mine_back:
            row(out, "J", code, c, back, mine, mine_back, "jis-x-0208-first")
        else:
            row(out, "J", code, c, back)

print("# Generated by tests/codec_table.py from Python's codecs; do not edit.")
print("\n".join(out))
