#!/usr/bin/env python3
"""velko-cli b64bin --decode-names against Python's own mail parser, on mails written in the
styles of today's mailers: the files it writes are those Python names, with the same bytes;
--list tells the same; without --decode-names no Base64 part is left without a line on stderr.

    mail_names_test.py VELKO_CLI [SEED] [MAILS]
"""
import base64, email, email.policy, os, random, subprocess, sys, tempfile
from email import encoders
from email.message import EmailMessage
from email.mime.base import MIMEBase
from email.mime.multipart import MIMEMultipart

cli, seed, count = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 7, 60
rng = random.Random(seed)
JAPANESE = ["報告", "議事録", "見積書", "ﾃｽﾄ", "請求書（案）", "資料", "報告書類の一覧表とその他の会議資料についての覚え書き"]


def words(name, charset, encoding):  # RFC 2047 words in a row, whole characters each
    step, out = rng.choice([1, 3, 100]), []
    try:
        name.encode(charset)
    except UnicodeEncodeError:  # half-width katakana have no JIS X 0208 code
        charset = "utf-8"
    for i in range(0, len(name), step):
        raw = name[i:i + step].encode(charset)
        text = base64.b64encode(raw).decode() if encoding == "B" else "".join(
            "=%02X" % b if b > 126 or chr(b) in "=?_ " else chr(b) for b in raw)
        out.append("=?%s?%s?%s?=" % (charset, encoding, text))
    return " ".join(out)


def mail(index):
    # Thunderbird, Apple Mail and Python write RFC 2231 (add_attachment); Outlook, Becky! and
    # webmails write RFC 2047 words in quotes, in their charsets; some write no quotes at all.
    rfc2231 = rng.random() < 0.4
    msg = EmailMessage() if rfc2231 else MIMEMultipart()
    msg["Subject"], msg["From"] = "files %d" % index, "a@example.com"
    if rfc2231:
        msg.set_content("See the attachments.\n")
    for i in range(rng.randint(1, 5)):
        name = rng.choice(JAPANESE + ["report", "a b"]) + str(i) + rng.choice([".pdf", ".txt", ""])
        data = bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 57, 300, 5000])))
        style = rng.choice(["jis-b", "sjis-b", "utf8-q", "utf8-b", "euc-b", "unquoted", "name-only"])
        if rfc2231:
            msg.add_attachment(data, maintype="application", subtype="octet-stream", filename=name)
            continue
        if style == "unquoted":
            name = "report%d.bin" % i
        charset = {"jis-b": "iso-2022-jp", "sjis-b": "shift_jis", "euc-b": "euc-jp"}.get(style, "utf-8")
        value = name if style == "unquoted" else '"%s"' % words(name, charset, "Q" if style == "utf8-q" else "B")
        part = MIMEBase("application", "octet-stream")
        part.set_payload(data)
        encoders.encode_base64(part)
        part.replace_header("Content-Type", "application/octet-stream; name=%s" % value)
        if style != "name-only":
            part["Content-Disposition"] = "attachment; filename=%s" % value
        msg.attach(part)
    linesep = rng.choice(["\n", "\r\n"])
    policy = email.policy.default if rfc2231 else email.policy.compat32
    return msg.as_bytes(policy=policy.clone(linesep=linesep, max_line_length=rng.choice([78, 998])))


failures = checked = 0
with tempfile.TemporaryDirectory() as work:
    for index in range(count):
        raw = mail(index)
        parts = [p for p in email.message_from_bytes(raw, policy=email.policy.default).walk()
                 if str(p.get("Content-Transfer-Encoding", "")).lower() == "base64"]
        names = [p.get_filename() for p in parts]
        if any(not n or "\ufffd" in n or "/" in n or "\\" in n for n in names):
            continue  # Python itself cannot name it
        checked += 1
        path, out = os.path.join(work, "m%d.eml" % index), os.path.join(work, "out%d" % index)
        open(path, "wb").write(raw)
        os.mkdir(out)
        run = lambda *args: subprocess.run([cli, "b64bin", *args, path], capture_output=True)
        want = {n: p.get_payload(decode=True) for n, p in zip(names, parts)}
        decoded = run("--dir", out)
        got = {f.decode(): open(os.path.join(out.encode(), f), "rb").read() for f in os.listdir(out.encode())}
        listed = run("--list").stdout.decode().splitlines()[:-1]
        told = [l.split(": line ")[1].split(": ", 1)[1] for l in listed]
        os.mkdir(out + "w")
        window = run("--names=raw", "--dir", out + "w")
        told_by_window = window.stderr.decode().count("attachment not extracted") + window.stdout.decode().count(": saved (")
        sizes = [len(p.get_payload(decode=True)) for p in parts]
        lines = ["%s (%d byte%s), " % (n, k, "" if k == 1 else "s") for n, k in zip(names, sizes)]
        ok = (decoded.returncode == 0 and got == want and len(told) == len(lines)
              and all(t.startswith(l) for t, l in zip(told, lines)) and told_by_window == len(parts))
        if not ok:
            failures += 1
            print("FAIL mail %d: want %s\n  got %s\n  listed %s\n  told by the window %d of %d\n  %s" % (
                index, sorted(want), sorted(got), told, told_by_window, len(parts), decoded.stderr.decode()))
print("%d of %d mails named as Python names them (%d left out)" % (checked - failures, checked, count - checked))
sys.exit(1 if failures or checked < count // 2 else 0)
