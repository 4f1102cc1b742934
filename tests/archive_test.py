#!/usr/bin/env python3
"""velko-cli b64bin on mail archives against Python's email package, which no code here wrote:
an mbox and a Maildir of generated messages (every transfer encoding, the naming styles of
today's mailers, parts without names, uuencoded files, LF and CR LF, Base64 lines of any length
and lone CRs, headers that open with a folded line, names in words split inside a character,
raw UTF-8 names, forwarded mails and digests) give the files, names and bytes of walk(),
get_filename() and get_payload(decode=True), and manifest rows that agree with them; where
Python is plainly wrong a table says so. Against the window's reading (--names=raw) on
window-format mails, mboxes and fragments: every file it writes is written with the same bytes.
--list and --encodings=base64 count; a stopped run leaves its manifest whole; b64text --decode
agrees with str(make_header(decode_header(...))) line by line.

    archive_test.py VELKO_CLI [SEED] [MESSAGES]
"""
import base64, binascii, email, email.policy, hashlib, os, random, re, signal, subprocess
import shutil, sys, tempfile, time, unicodedata
from email.header import Header, decode_header, make_header
from email.message import EmailMessage
from email.mime.base import MIMEBase
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

cli = sys.argv[1]
seed = int(sys.argv[2]) if len(sys.argv) > 2 else 11
count = int(sys.argv[3]) if len(sys.argv) > 3 else 300
rng = random.Random(seed)
os.chdir(tempfile.mkdtemp(prefix="velko-archive-"))
failures = []
EXT = {"application/pdf": ".pdf", "image/png": ".png", "application/octet-stream": ".bin",
       "text/plain": ".txt", "image/jpeg": ".jpg"}
RAW = []  # names written as raw UTF-8
NAMES = ["報告", "議事録", "見積書", "資料（案）", "report", "data", "Grüße", "ﾃｽﾄ"]
TEXTS = ["本文です。\n", "Hello,\nsee the files.\n", "From here on, lines\nbegin oddly.\n"]


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def data():
    return bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 3, 57, 300, 4000])))


def words(text, charset):  # an RFC 2047 header value in `charset`, or UTF-8 where it has none
    try:
        # make_header re-encodes Japanese into ISO-2022-JP, which has no half-width kana
        if re.search("[\uff61-\uff9f]", text):
            raise UnicodeEncodeError("x", "", 0, 1, "half-width kana")
        raw = text.encode(charset)
    except UnicodeEncodeError:
        charset, raw = "utf-8", text.encode()
    if charset in ("shift_jis", "euc-jp"):  # Python's Header writes these as ISO-2022-JP
        return "=?%s?B?%s?=" % (charset, base64.b64encode(raw).decode())
    return Header(text, charset).encode()


def attach(msg, index, style):
    """One attachment part in the given transfer encoding and naming style."""
    name = rng.choice(NAMES) + str(index) + rng.choice([".pdf", ".txt", ".bin", ""])
    encoding = rng.choice(["base64", "base64", "quoted-printable", "7bit", "8bit", "x-uuencode"])
    if encoding == "base64":
        part = MIMEBase(*rng.choice(["application/pdf", "image/png", "application/octet-stream"]).split("/"))
        text = base64.b64encode(data()).decode()
        width = rng.choice([76, 76, 57, 1, 7])  # lines of any length, the groups across them
        part.set_payload(rng.choice(["\n", "\n", "\r"]).join(text[i:i + width] for i in range(0, len(text), width)) + "\n")
    elif encoding == "x-uuencode":
        raw = data()
        lines = [binascii.b2a_uu(raw[i:i + 45]).decode() for i in range(0, len(raw), 45)]
        part = MIMEBase("application", "octet-stream")
        part.set_payload("begin 644 %s\n%s`\nend\n" % ("uu.bin", "".join(lines)))
    else:
        text = rng.choice(["表の説明=注記\n", "plain words\nand more\n", "x" * 90 + "\n", "末尾に空白 \n",
                           "From the start\n>From quoted\n"])
        part = MIMEText(text, "plain", "utf-8")
        del part["Content-Transfer-Encoding"]
        if encoding == "quoted-printable":
            import quopri
            part.set_payload(quopri.encodestring(text.encode()).decode())
        elif encoding == "7bit":
            part.set_payload(text.encode("ascii", "replace").decode())
        else:
            part.set_payload(text.encode().decode("ascii", "surrogateescape"))
    part["Content-Transfer-Encoding"] = encoding
    if style == "split":  # one UTF-8 character across two words
        raw = (rng.choice(NAMES) + str(index)).encode()
        cut = rng.randrange(1, len(raw))
        part["Content-Disposition"] = 'attachment; filename="=?utf-8?B?%s?= =?utf-8?B?%s?="' % (
            base64.b64encode(raw[:cut]).decode(), base64.b64encode(raw[cut:]).decode())
    elif style == "raw":  # 8-bit UTF-8 as it stands, put in after the mail is written
        RAW.append(name)
        part["Content-Disposition"] = 'attachment; filename="RAW%dWAR"' % (len(RAW) - 1)
    elif style == "none":
        if part.get_content_maintype() == "text":
            part["Content-Disposition"] = "attachment"
    elif style == "rfc2231":
        part.add_header("Content-Disposition", "attachment", filename=("utf-8", "", name))
    elif style == "name-only":
        part.set_param("name", words(name, "iso-2022-jp"))
    else:
        value = name if style == "plain" and name.isascii() else words(name, rng.choice(["iso-2022-jp", "shift_jis", "utf-8"]))
        part["Content-Disposition"] = 'attachment; filename="%s"' % value
    msg.attach(part)


def message(index):
    kind = rng.random()
    subject = rng.choice(["会議の資料", "Re: 見積", "plain subject", "ﾃｽﾄ 送付"])
    if kind < 0.08:  # no MIME structure: a text with a uuencoded file in it
        raw = data()
        body = "See below.\n\nbegin 644 old%d.bin\n%s`\nend\n\nbye\n" % (
            index, "".join(binascii.b2a_uu(raw[i:i + 45]).decode() for i in range(0, len(raw), 45)))
        msg = MIMEText(body, "plain", "us-ascii")
        uu = [("1.1", "old%d.bin" % index, raw)]
    elif kind < 0.15:  # the whole message one attachment
        msg = MIMEBase("application", "pdf")
        msg.set_payload(base64.encodebytes(data()).decode())
        msg["Content-Transfer-Encoding"] = "base64"
        msg["Content-Disposition"] = 'attachment; filename="whole%d.pdf"' % index
        uu = []
    else:
        msg = MIMEMultipart()
        text = MIMEText(rng.choice(TEXTS), "plain", "utf-8")
        if rng.random() < 0.3:
            alternative = MIMEMultipart("alternative")
            alternative.attach(text)
            alternative.attach(MIMEText("<p>html</p>", "html", "utf-8"))
            msg.attach(alternative)
        else:
            msg.attach(text)
        for i in range(rng.randint(0, 4)):
            attach(msg, i, rng.choice(["plain", "words", "rfc2231", "name-only", "none", "split", "raw"]))
        if rng.random() < 0.1:  # an image inline, with no name
            image = MIMEBase("image", "png")
            image.set_payload(base64.encodebytes(data()).decode())
            image["Content-Transfer-Encoding"] = "base64"
            msg.attach(image)
        if rng.random() < 0.15:  # a mail forwarded in it, as an attachment or inline, or a digest
            inner = MIMEMultipart()
            inner["Subject"] = "inner %d" % index
            inner.attach(MIMEText("forwarded\n", "plain", "utf-8"))
            attach(inner, 9, rng.choice(["plain", "rfc2231"]))
            forward = MIMEBase("message", "rfc822")
            forward.set_payload([inner])
            if rng.random() < 0.5:
                forward["Content-Disposition"] = 'attachment; filename="fwd%d.eml"' % index
            if rng.random() < 0.3:
                digest = MIMEMultipart("digest")
                digest.attach(inner)
                forward = digest
            msg.attach(forward)
        uu = []
    msg["Subject"] = words(subject, rng.choice(["iso-2022-jp", "utf-8", "shift_jis"]))
    msg["From"] = "%s <a%d@example.com>" % (words("山田 太郎", "iso-2022-jp"), index)
    msg["Date"] = "Mon, 07 Dec 2026 10:%02d:00 +0900" % (index % 60)
    linesep = rng.choice(["\n", "\r\n"])
    raw = msg.as_bytes(policy=email.policy.compat32.clone(linesep=linesep))
    raw = re.sub(rb"RAW(\d+)WAR", lambda m: RAW[int(m.group(1))].encode(), raw)
    if rng.random() < 0.1:  # a part's header opening with a folded line
        raw = re.sub(rb"(\r?\n--=+\d+==\r?\n)(Content-Type: image)", rb"\1\tfilename=\"fold.bin\"\r\n\2", raw, 1)
    return raw, uu


def parts_of(msg, prefix=""):
    """(number, part, forwarded) in walk()'s order, numbered as velko-cli numbers them: its
    place in its message, a forwarded mail's parts after its own number."""
    out, n = [], 0
    def visit(p):
        nonlocal n
        if p.is_multipart() and p.get_content_type() != "message/rfc822":
            return [visit(sub) for sub in p.get_payload()]
        n += 1
        out.append((prefix + str(n), p, p.is_multipart()))
        if p.is_multipart():
            out.extend(parts_of(p.get_payload()[0], prefix + str(n) + "."))
    visit(msg)
    return out


def expected(raw, mail, number, uu):
    """The attachments of one message as Python reads them: (part, name, bytes); a forwarded
    mail's bytes are its parts' payloads."""
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    stem = os.path.splitext(os.path.basename(mail))[0]
    out = []
    for i, part, forwarded in parts_of(msg):
        name = part.get_filename()  # raw 8-bit bytes come as surrogates: here they are UTF-8
        name = name and name.encode("utf-8", "surrogateescape").decode("utf-8")
        made = "%s-%d-%s%s" % (stem, number, i, ".eml" if forwarded else EXT.get(part.get_content_type(), ".bin"))
        if forwarded:
            if part.get_content_disposition() == "attachment" or name:
                out.append((i, name or made, leaves(part.get_payload()[0])))
            continue
        if not name and part["Content-Transfer-Encoding"] == "x-uuencode":
            name = "uu.bin"  # the file's own name, on its "begin" line
        if part.get_content_disposition() == "attachment" or name or part.get_content_maintype() != "text":
            out.append((i, name or made, part.get_payload(decode=True)))
    return out + uu, {i for i, p, f in parts_of(msg) if not f and p.get_content_maintype() == "text"}


def leaves(msg):
    return [p.get_payload(decode=True) for p in msg.walk() if not p.is_multipart()]


def fields(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    return [str(make_header(decode_header(re.sub(r"\r?\n([ \t])", r"\1", msg[f] or ""))))
            for f in ("Date", "Subject", "From")]


def quote(raw):  # mboxrd: one '>' more before every "From " line
    return re.sub(rb"(?m)^(>*From )", rb">\1", raw)


def read_manifest(path):
    def unescape(f):
        return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), f)
    lines = open(path, encoding="utf-8").read().split("\n")
    check(lines[-1] == "", "the manifest ends with a line end")
    return [[unescape(f) for f in line.split("\t")] for line in lines[1:-1]], lines[0]


def run(*args):
    p = subprocess.run([cli, *args], capture_output=True)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


# An mbox and a Maildir, and what Python makes of every message in them.
wanted, headers, messages = {}, {}, []
with open("inbox.mbox", "wb") as mbox:
    for n in range(1, count + 1):
        raw, uu = message(n)
        mbox.write(b"From a%d@example.com Mon Dec  7 10:00:00 2026\n" % n + quote(raw) +
                   (b"" if raw.endswith(b"\n") else b"\n") + b"\n")
        messages.append(("inbox.mbox", n, raw, uu))
for sub in ("cur", "new", "tmp"):
    os.makedirs("Maildir/" + sub)
for n in range(1, count // 3 + 1):
    raw, uu = message(1000 + n)
    path = "Maildir/%s/%d.%04d.host:2,S" % (rng.choice(["cur", "new"]), 1700000000 + n, n)
    open(path, "wb").write(raw)
    messages.append((path, 1, raw, uu))
texts = set()  # the mails' own texts, which the window's scan may take for attachments
for mail, number, raw, uu in messages:
    found, text = expected(raw, mail, number, uu)
    for part, name, payload in found:
        wanted[(mail, str(number), part)] = (name, payload)
    texts |= {(mail, str(number), part) for part in text}
    headers[(mail, str(number))] = fields(raw)

status, out, err = run("b64bin", "--dir", "out", "--exists", "rename", "--manifest", "m.tsv",
                       "inbox.mbox", "Maildir")
check(status == 0, "b64bin exit status %d: %s" % (status, err[:500]))
rows, header = read_manifest("m.tsv")
check(header.split("\t") == ["mail", "message", "date", "subject", "from", "part", "type", "encoding",
                             "name", "path", "size", "sha256", "status", "why"], "manifest header")
got = {(r[0], r[1], r[5]): r for r in rows}
extra = {k for k in set(got) - set(wanted) if k not in texts}
check(set(wanted) <= set(got) and not extra, "parts: %d wanted, %d in the manifest, missing %s, extra %s" % (
    len(wanted), len(got), sorted(set(wanted) - set(got))[:5], sorted(extra)[:5]))
wrong = []
for key, (name, payload) in wanted.items():
    r = got.get(key)
    if r is None:
        continue
    saved = open(r[9], "rb").read() if os.path.isfile(r[9]) else None
    file_ok = saved == payload or (isinstance(payload, list) and saved is not None and
                                   leaves(email.message_from_bytes(saved)) == payload)
    base, ext = os.path.splitext(name)
    named = re.fullmatch(re.escape(base) + r"(\(\d+\))?" + re.escape(ext), os.path.basename(r[9]))
    if not (file_ok and named and r[8] == name and r[12] == "saved" and r[2:5] == headers[key[:2]]
            and (isinstance(payload, list) or (r[10] == str(len(payload)) and
                                               r[11] == hashlib.sha256(payload).hexdigest()))):
        wrong.append((key, name, r[8:13], r[2:5] != headers[key[:2]]))
check(not wrong, "%d parts differ from Python's, first %s" % (len(wrong), wrong[:3]))
print("%d messages: %d parts as Python's walk finds them, %d of them with other names or bytes"
      % (len(messages), len(wanted), len(wrong)))
saved = sum(1 for r in rows if r[12] == "saved")
in_mbox = sum(1 for k in got if k[0] == "inbox.mbox")
check(re.search(r"inbox.mbox: %d saved, 0 skipped, 0 failed \(messages: %d\)" % (in_mbox, count), out)
      is not None, "the mbox's count line")
check(len(os.listdir("out")) == saved, "every file saved is in the manifest")

# --list counts and writes nothing; --encodings=base64 leaves the others by the user's choice.
status, out, _ = run("b64bin", "--list", "inbox.mbox")
check(status == 0 and "inbox.mbox: %d attachments (messages: %d)" % (in_mbox, count) in out,
      "--list count: %s" % out[-200:])
status, out, err = run("b64bin", "--dir", "b64", "--exists", "rename", "--encodings=base64",
                       "inbox.mbox")
b64 = sum(1 for (m, n, p), r in got.items() if m == "inbox.mbox" and r[7] == "base64")
check(status == 0 and len(os.listdir("b64")) == b64 and "(--encodings=base64)" in err,
      "--encodings=base64: %d files of %d" % (len(os.listdir("b64")), b64))

# Stopped while it waits for more of its input: the manifest holds whole rows of what was done
# (the last message is not, until the input ends).
with open("big.mbox", "wb") as f:
    for n in range(200):
        f.write(b"From x Mon Dec  7 10:00:00 2026\nContent-Type: application/octet-stream\n"
                b"Content-Transfer-Encoding: base64\nContent-Disposition: attachment; "
                b"filename=\"s%d.bin\"\n\n" % n + base64.encodebytes(os.urandom(30000)) + b"\n")
feed = subprocess.Popen(["sh", "-c", 'cat big.mbox; exec sleep 30'], stdout=subprocess.PIPE)
job = subprocess.Popen([cli, "b64bin", "--dir", "stop", "--manifest", "stop.tsv", "-"],
                       stdin=feed.stdout, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
def rows_so_far():  # of the manifest, under its temporary name until the run ends
    temps = [f for f in os.listdir(".") if f.startswith(".velko-")]
    return open(temps[0], "rb").read().count(b"\n") - 1 if temps else 0


deadline = time.time() + 20
while time.time() < deadline and rows_so_far() < 199:
    time.sleep(0.05)
job.send_signal(signal.SIGTERM)
job.wait()
feed.kill()
rows, _ = read_manifest("stop.tsv")
check(len(rows) == 199 and all(len(r) == 14 and r[12] == "saved" for r in rows),
      "a stopped run's manifest: %d rows" % len(rows))

# The window's reading against the default one on mails in the window's format: fragments
# (parts saved or pasted without their mail), MIME mails whose parts it reads, and an mbox of
# both. Every file the window's reading writes, the default one writes with the same bytes.
def window_part(e, index):
    payload = data()
    text = base64.b64encode(payload).decode()
    head = ["Content-Transfer-Encoding: base64", 'Content-Disposition: attachment; filename="w%d.bin"' % index]
    rng.shuffle(head)
    if rng.random() < 0.3:
        head.insert(0, 'Content-Type: application/octet-stream; name="w%d.bin"' % index)
    body = e.join(text[i:i + 76] for i in range(0, len(text), 76))
    return e.join(head) + e + e + body + e + e


def window_mail(n):
    e = rng.choice(["\r\n", "\n"])
    parts = [window_part(e, 10 * n + i) for i in range(rng.randint(1, 4))]
    if rng.random() < 0.5:  # a fragment, perhaps after some text
        return (rng.choice(["", "Saved parts:" + e + e]) + "".join(parts)).encode()
    b = "=_b%d" % n
    text = "Content-Type: text/plain" + e + e + "hello" + e + e
    return ("Subject: w%d%sMIME-Version: 1.0%sContent-Type: multipart/mixed; boundary=\"%s\"%s%s" % (
        n, e, e, b, e, e) + "".join("--%s%s%s" % (b, e, p) for p in [text] + parts) + "--%s--%s" % (b, e)).encode()


os.mkdir("w")
for n in range(40):
    open("w/%02d.eml" % n, "wb").write(window_mail(n))
with open("w.mbox", "wb") as f:
    for n in range(40, 80):
        f.write(b"From w Mon Dec  7 10:00:00 2026\n" + quote(window_mail(n)) + b"\n")
for source in ("w", "w.mbox"):
    for reading, folder in (("--names=raw", "raw"), ("--names=decoded", "dec")):
        status, out, err = run("b64bin", reading, "--exists", "rename", "--dir", folder + source.replace(".", ""), source)
        check(status == 0, "%s %s: %s" % (reading, source, err[:300]))
    contents = {}
    for folder in ("raw", "dec"):
        found = folder + source.replace(".", "")
        contents[folder] = sorted(open(os.path.join(found, f), "rb").read() for f in os.listdir(found))
    missing = [c for c in contents["raw"] if c not in contents["dec"]]
    check(contents["raw"] and not missing and len(contents["dec"]) >= len(contents["raw"]),
          "%s: the window's reading wrote %d files, the default %d, %d not among them" % (
              source, len(contents["raw"]), len(contents["dec"]), len(missing)))
    print("%s: the window's reading %d files, the default %d, all of the window's among them: %s"
          % (source, len(contents["raw"]), len(contents["dec"]), not missing))

# Where Python is plainly wrong: what velko-cli saves, and what Python makes of the same part.
def one(header, body):
    return ("Content-Type: application/octet-stream\n%s\n\n" % header).encode("latin-1") + body
PLAINLY_WRONG = [
    # Its quoted-string unescaping eats a Shift_JIS 0x5C: 表 is 95 5C.
    ("a Shift_JIS name's 0x5C", one('Content-Transfer-Encoding: base64\nContent-Disposition: '
     'attachment; filename="\x87\x40\x93\xfa\x92\xf6\x95\x5c.txt"', b"QUJD\n"), "①日程表.txt", b"ABC"),
    # It reads each ISO-2022-JP word alone: the second has no escape of its own.
    ("a JIS shift across two words", one('Content-Transfer-Encoding: base64\nContent-Disposition: '
     'attachment; filename="=?iso-2022-jp?B?GyRCSnM=?= =?iso-2022-jp?B?OXAbKEI=?="', b"QUJD\n"), "報告", b"ABC"),
    # It stops at the first padding: texts padded one after the other lose all but the first.
    ("padding inside the text", one('Content-Transfer-Encoding: base64\nContent-Disposition: '
     'attachment; filename="p"', b"QQ==\nQUJD\n"), "p", b"AABC"),
    # Blanks at a quoted-printable line's end came in transport (RFC 2045 6.7): it keeps them.
    ("blanks ending quoted-printable lines", one('Content-Transfer-Encoding: quoted-printable\n'
     'Content-Disposition: attachment; filename="q"', b"ab  \ncd=41=\nx\n"), "q", b"ab\ncdAx\n"),
    # A one-part mail's signature is no Base64: it decodes its letters into the data.
    ("a signature after the data", one('Content-Transfer-Encoding: base64\nContent-Disposition: '
     'attachment; filename="s"', b"QUJD\n\n-- \nsig\n"), "s", b"ABC"),
]
for what, mail, name, payload in PLAINLY_WRONG:
    open("wrong.eml", "wb").write(mail)
    shutil.rmtree("wrong", ignore_errors=True)
    status, out, err = run("b64bin", "--dir", "wrong", "wrong.eml")
    saved = {f: open("wrong/" + f, "rb").read() for f in os.listdir("wrong")}
    part = email.message_from_bytes(mail, policy=email.policy.default)
    python = (part.get_filename(), part.get_payload(decode=True))
    check(saved == {name: payload} and python != (name, payload),
          "%s: velko-cli saved %s, Python reads %s" % (what, saved, python))
# Where it is right: uuencode without a "begin" line is kept as it stands, told.
open("wrong.eml", "wb").write(one("Content-Transfer-Encoding: x-uuencode\nContent-Disposition: "
                                  'attachment; filename="u"', b"no begin\nline two\r\n"))
status, out, err = run("b64bin", "--dir", "uu", "wrong.eml")
check(open("uu/u", "rb").read() == email.message_from_bytes(open("wrong.eml", "rb").read()).get_payload(decode=True)
      and status == 1 and "begin" in err, "uuencode without begin: %s" % err)
# A word that is no Base64 stays as it stands, and is told; Python guesses at it.
open("wrong.eml", "wb").write(one('Content-Transfer-Encoding: base64\nContent-Disposition: attachment; '
                                  'filename="=?utf-8?B?Y[WJj?="', b"QUJD\n"))
status, out, err = run("b64bin", "--dir", "kept", "wrong.eml")
check(os.listdir("kept") == ["=?utf-8?B?Y[WJj?="] and "does not decode" in err and
      email.message_from_bytes(open("wrong.eml", "rb").read(), policy=email.policy.default).get_filename() == "abc",
      "a malformed word: %s %s" % (out, err))

# b64text --decode: each header line as Python shows it, folded lines joined.
samples = []
for n in range(200):
    text = rng.choice(["会議の資料について", "Re: 見積書の件", "plain", "ﾃｽﾄ 送付です", "混在 mixed テキスト",
                       "絵文字なし、長めの件名です。" * 3])
    charset = rng.choice(["iso-2022-jp", "shift_jis", "euc-jp", "utf-8"])
    try:
        text.encode(charset)
        if re.search("[\uff61-\uff9f]", text):
            charset = "utf-8"
    except UnicodeEncodeError:
        charset = "utf-8"
    value = words(text, charset) if rng.random() < 0.5 else Header(text, charset).encode(linesep="\n")
    if rng.random() < 0.3:
        value = "Re: " + value + " (" + rng.choice(["x", "y z"]) + ")"
    samples.append(("Subject: " + value, "Subject: " + text))
data_in = "".join(s + "\n" for s, _ in samples) + "\nbody =?utf-8?B?44GC?= stays\n"
p = subprocess.run([cli, "b64text", "--decode", "--to=utf-8", "-o", "-"], input=data_in.encode(),
                   capture_output=True)
got_lines = p.stdout.decode("utf-8").split("\n")
want_lines = ["Subject: " + str(make_header(decode_header(re.sub(r"\n([ \t])", r"\1", s[len("Subject: "):]))))
              for s, _ in samples]
bad = [(g, w) for g, w in zip(got_lines, want_lines) if g != w]
check(p.returncode == 0 and not bad and got_lines[len(samples) + 1] == "body あ stays",
      "b64text --decode: %d lines differ, first %s" % (len(bad), bad[:2]))
for to, codec in (("sjis", "cp932"), ("jis", "iso2022_jp")):
    p2 = subprocess.run([cli, "b64text", "--decode", "--to=" + to, "-o", "-"], input=data_in.encode(),
                        capture_output=True)
    want = p.stdout.decode("utf-8")
    if to == "jis":  # half-width kana go full-width, as strict JIS has them
        want = re.sub("[\uff61-\uff9f]+", lambda m: unicodedata.normalize("NFKC", m.group()), want)
    check(p2.stdout.decode(codec) == want, "b64text --decode --to=%s" % to)

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
