#!/usr/bin/env python3
"""toutf8 on a seeded tree of every kind (gen_tree.py) against Python's codecs, file by file:
cp932 with the PC-98 rule (0x86A2 + k is U+2500 + k), iso2022_jp, euc_jp; UTF-8, ASCII and
binaries byte for byte; the summary's counts; a dry run, a mirror (--out) and in place, names
renamed; a second run that finds nothing to do; a run stopped by INT leaves every file whole.

    tree_test.py VELKO_CLI
"""
import codecs, os, re, shutil, signal, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_tree

cli = sys.argv[1]
work = tempfile.mkdtemp(prefix="velko-tree-")
os.chdir(work)
ENV = dict(os.environ, LC_ALL="C.UTF-8", LANGUAGE="")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def pc98_read(e):
    code = int.from_bytes(e.object[e.start:e.start + 2], "big")
    if 0x86A2 <= code <= 0x86ED:
        return chr(0x2500 + code - 0x86A2), e.start + 2
    raise e


codecs.register_error("pc98-read", pc98_read)
READ = {"sjis": ("cp932", "pc98-read"), "jis": ("iso2022_jp", "strict"),
        "euc": ("euc_jp", "strict")}
PASSED = 5  # .cache, .git, CVS, the link, the FIFO


def want(kind, data):  # what a file of that kind must become
    return data.decode(*READ[kind]).encode("utf-8") if kind in READ else data


def utf8_name(path):  # a path of names in Shift_JIS or EUC-JP, as --rename-files names it
    out = []
    for name in path.split("/"):
        raw = name.encode("latin-1")
        for codec in ("utf-8", "euc_jp", "cp932"):
            try:
                out.append(raw.decode(codec))
                break
            except UnicodeDecodeError:
                pass
    return "/".join(out)


def shown(raw):  # a name as velko-cli prints it on a UTF-8 terminal: UTF-8, else Shift_JIS, else \xNN
    out, i = [], 0
    while i < len(raw):
        for n, codec in ((1, "ascii"), (2, "utf-8"), (3, "utf-8"), (4, "utf-8"), (1, "cp932"),
                         (2, "cp932")):
            try:
                c = raw[i:i + n].decode(codec)
            except UnicodeDecodeError:
                continue
            if len(c) == 1 and i + n <= len(raw):
                out.append(c)
                i += n
                break
        else:
            out.append("\\x%02X" % raw[i])
            i += 1
    return "".join(out)


def run(*args):
    p = subprocess.run([cli, "toutf8", *args], capture_output=True, env=ENV)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def counts(out):
    m = re.search(r"converted: (\d+) \(Shift_JIS (\d+), JIS (\d+), EUC-JP (\d+)\); already "
                  r"UTF-8: (\d+); ASCII: (\d+); passed over: (\d+); refused: (\d+); failed: (\d+)",
                  out)
    return tuple(map(int, m.groups())) if m else None


def expected_counts(listing):
    n = lambda *kinds: sum(k in kinds for k in listing.values())
    return (n("sjis", "jis", "euc"), n("sjis"), n("jis"), n("euc"), n("utf8", "utf8bom"),
            n("ascii"), n("binary") + PASSED, 0, 0)


def snapshot(root):
    found = {}
    for folder, _, names in os.walk(root.encode()):
        for name in names:
            full = os.path.join(folder, name)
            if os.path.isfile(full) and not os.path.islink(full):
                with open(full, "rb") as f:
                    found[os.path.relpath(full, root.encode()).decode("latin-1")] = (
                        f.read(), os.stat(full).st_mtime_ns)
    return found


def files_as(root, listing, before, rename, what):
    after = snapshot(root)
    for path, kind in listing.items():
        target = utf8_name(path) if rename else path
        target = target.encode("utf-8").decode("latin-1") if rename else target
        data, mtime = before[path]
        got = after.get(target)
        check(got is not None and got[0] == want(kind, data), "%s: %s (%s) not as Python has it"
              % (what, target, kind))
        check(got is None or got[1] == mtime, "%s: %s lost its date" % (what, target))
    return after


# Small enough for a test, large enough that the threads share it; one large Shift_JIS file.
SIZE = dict(files=240, seed=7, large=1, large_size=1 << 20)
listing = gen_tree.make("a", **SIZE)
before = snapshot("a")

# A plan: a row per file, nothing changed.
status, out, err = run("-r", "--dry-run", "--rename-files", "a")
renames = out.count("\trename ")
rows = {}
for line in out.splitlines():
    rows.setdefault(line.split("\t")[0], line.split("\t"))
ACTION = {"sjis": "convert", "jis": "convert", "euc": "convert", "utf8": "keep",
          "utf8bom": "keep", "ascii": "keep", "binary": "skip"}
for path, kind in listing.items():
    row = rows.get("a/" + shown(path.encode("latin-1")))
    check(row is not None and row[2] == ACTION[kind] and row[3] in ("0", "-"),
          "dry run: %s (%s): %s" % (path, kind, row))
check(status == 0 and counts(out) == expected_counts(listing),
      "dry run: status %d, counts %s" % (status, counts(out)))
fields = [len(line.split("\t")) for line in out.splitlines()[:-1]]
check(fields == [4] * (len(listing) + PASSED + 1 + out.count("\trename ")),
      "dry run: rows %s" % fields)
check(snapshot("a") == before, "dry run: the tree changed")

# check on the same tree: a line per file it reads, standard input as '-'.
p = subprocess.run([cli, "check", "-r", "a"], capture_output=True, env=ENV)
check(len(p.stdout.splitlines()) == len(listing) and p.stderr.count(b"passed over") == PASSED,
      "check -r: %d lines for %d files" % (len(p.stdout.splitlines()), len(listing)))
one = next(path for path, kind in listing.items() if kind == "euc")
p = subprocess.run([cli, "check"], input=before[one][0], capture_output=True, env=ENV)
check(p.stdout.startswith(b"-: EUC-JP"), "check < an EUC-JP file: %s" % p.stdout[:60])

# A mirror with names in UTF-8; the originals untouched, the passed-over folders not copied.
status, out, err = run("-r", "--out", "o", "--rename-files", "-j", "3", "a")
check(status == 0 and counts(out) == expected_counts(listing),
      "--out: status %d, counts %s: %s" % (status, counts(out), err[:300]))
mirror = files_as("o/a", listing, before, True, "--out")
check(len(mirror) == len(listing), "--out: %d files, not %d" % (len(mirror), len(listing)))
check(snapshot("a") == before, "--out: the originals changed")
check("o\tthe output folder\tskip\t-\n" in run("-r", "-n", "--out", "o", "o")[1],
      "--out: the output folder walked")
check("a\ta folder (-r converts what it holds)\tskip\t-\n" in run("-n", "a")[1],
      "a folder entered without -r")
check([run("-j", j, "a")[0] for j in ("0", "a", "257")] + [run()[0]] == [2] * 4,
      "-j takes 1-256 only, and a PATH is needed")

# A file where the mirror's folder should be: each file there fails, and says why.
open("blocked", "w").close()
binary = next(path for path, kind in listing.items() if kind == "binary" and path.isascii())
status, out, err = run("--out", "blocked", "a/" + one, "a/" + binary)
check(status == 1 and counts(out)[-1] == 2 and err.count("blocked: the folder cannot be made") == 2,
      "--out over a file: %d %s %s" % (status, out, err))

# In place, two threads: each converted file beside its backup, the original.
gen_tree.make("b", **SIZE)
before_b = snapshot("b")
status, out, err = run("-r", "--rename-files", "-j", "2", "b")
check(status == 0 and counts(out) == expected_counts(listing) and out.count(": renamed ") == renames
      and renames > 0, "in place: status %d, counts %s: %s" % (status, counts(out), err[:300]))
after = files_as("b", listing, before_b, True, "in place")
check("b/.git: passed over: a version-control folder\n" in out, "in place: .git not told")
for kind, name in (("sjis", "Shift_JIS"), ("jis", "JIS"), ("euc", "EUC-JP")):
    check(out.count(": converted from %s to UTF-8\n" % name) == list(listing.values()).count(kind),
          "in place: notices of %s" % name)
for path, kind in listing.items():
    folder, _, name = path.rpartition("/")  # the backup keeps its name, in a folder renamed
    folder = utf8_name(folder).encode("utf-8").decode("latin-1") + "/" if folder else ""
    stem = folder + name.rsplit(".", 1)[0] + ".BAK"
    check((stem in after and after[stem][0] == before[path][0]) == (kind in READ),
          "in place: %s (%s): backup wrong" % (stem, kind))
check(not any(".velko-" in p for p in after), "in place: a temporary left")
status, out, err = run("-r", "b")
check(status == 0 and counts(out)[0] == 0, "second run converted: %s" % out[-300:])

# Refusals: a file with another name (hard link), a name whose UTF-8 form is taken.
os.makedirs("d")
sjis = "メモ".encode("cp932")
both = "日記".encode("euc_jp")  # Shift_JIS half-width kana too: in doubt
for name, data in (("x.txt", sjis), (sjis + b".txt", b"memo\n"), ("メモ.txt", b"memo\n"),
                   (both, b"diary\n")):
    open(os.path.join(b"d", name.encode() if isinstance(name, str) else name), "wb").write(data)
os.link("d/x.txt", "d/y.txt")
status, out, err = run("-r", "--rename-files", "d")
check(status == 1 and counts(out)[-2:] == (4, 0) and open("d/x.txt", "rb").read() == sjis
      and os.path.exists(b"d/" + sjis + b".txt") and os.path.exists(b"d/" + both)
      and err.count("not renamed") == 2
      and "velko-cli: d/%s: its name is ambiguous" % shown(both) in err
      and "velko-cli: d/%s.txt: its name in UTF-8, d/メモ.txt, "
      "is taken" % shown(sjis) in err, "refusals: %d %s %s" % (status, out, err))

# Two files of one backup name: numbered keeps both originals, simple refuses the second.
for mode, want_status, backups in (("simple", 1, 1), ("numbered", 0, 2)):
    os.makedirs(mode)
    for name in ("m.doc", "m.txt"):
        open(os.path.join(mode, name), "wb").write(sjis + name.encode())
    status, out, err = run("-q", "--backup=" + mode, "-j", "2", mode + "/m.doc", mode + "/m.txt")
    kept = sorted(open(os.path.join(mode, n), "rb").read() for n in os.listdir(mode) if ".BAK" in n)
    check(status == want_status and kept == [sjis + b"m.doc", sjis + b"m.txt"][:backups] and
          out == ("converted: 1 (Shift_JIS 1, JIS 0, EUC-JP 0); already UTF-8: 0; ASCII: 0; "
                  "passed over: 0; refused: 1; failed: 0\n" if status else ""),
          "--backup=%s: %d %s %s" % (mode, status, kept, err))

# In doubt (one code without a character): passed over; --assume converts it and tells where.
doubtful = ("あいうえお" * 30 + "\n").encode("cp932") + b"\x85\x40\n"
open("d/doubt.txt", "wb").write(doubtful)
status, out, err = run("d/doubt.txt")
check(status == 0 and counts(out)[6] == 1, "in doubt: %d %s" % (status, out))
status, out, err = run("-n", "--assume=sjis", "d/doubt.txt")
check("d/doubt.txt\tdoubtful Shift_JIS\tconvert\t1\n" in out, "-n --assume=sjis: %s" % out)
os.utime("d/doubt.txt", (1e9, 1e9))
status, out, err = run("--assume=sjis", "d/doubt.txt")
check(status == 1 and "line 2, column 1: bytes 85" in err and "1 without a mapping" in err
      and os.stat("d/doubt.txt").st_mtime == 1e9
      and open("d/doubt.txt", "rb").read() == doubtful.decode("cp932", "replace").encode(),
      "--assume=sjis: %d %s" % (status, err))
open("d/new.txt", "wb").write(sjis)
os.utime("d/new.txt", (1e9, 1e9))
check(run("--new-date", "d/new.txt")[0] == 0 and os.stat("d/new.txt").st_mtime > 1e9,
      "--new-date kept the date")

# INT as the run starts: it ends at a file's end, says so, and every file is whole.
def started(p):  # polls until velko-cli catches INT: its threads are about to start
    deadline = time.time() + 20
    while time.time() < deadline and p.poll() is None:
        caught = [l for l in open("/proc/%d/status" % p.pid) if l.startswith("SigCgt:")]
        if caught and int(caught[0].split()[1], 16) & (1 << (signal.SIGINT - 1)):
            return


def on_terminal(*args):  # stderr of a dry run on a terminal, the run held up 1.2 s by STOP
    main, other = os.openpty()
    p = subprocess.Popen([cli, "toutf8", "-r", "-n", *args, "a"], env=ENV,
                         stdout=subprocess.DEVNULL, stderr=other)
    os.close(other)
    started(p)
    p.send_signal(signal.SIGSTOP)
    time.sleep(1.2)
    p.send_signal(signal.SIGCONT)
    said, piece = b"", b"-"
    while piece:
        try:
            piece = os.read(main, 4096)  # EIO once velko-cli has ended
        except OSError:
            piece = b""
        said += piece
    p.wait()
    return said


check(re.search(rb"\r\x1b\[K\d+ of %d files, [\d.]+ MB, [\d.]+ MB/s\r\x1b\[K" % len(listing),
                on_terminal()), "no line of progress on a terminal")
check(on_terminal("-q") == b"", "a line of progress with -q")

gen_tree.make("c", **SIZE)
p = subprocess.Popen([cli, "toutf8", "-r", "-j", "2", "--backup=none", "c"], env=ENV,
                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
started(p)
p.send_signal(signal.SIGINT)
out, err = (s.decode("utf-8", "replace") for s in p.communicate(timeout=60))
stopped = re.search(r"stopped: (\d+) of (\d+) files done, every file whole; the first not done "
                    r"is c/(.*)", err)
now = snapshot("c")
check(p.returncode == 130 and stopped and int(stopped.group(2)) == len(listing) and
      now.get(stopped.group(3), (0,))[0] == before[stopped.group(3)][0],
      "INT: status %d, %s" % (p.returncode, err[-300:]))
old = sum(now[path][0] == before[path][0] for path in listing if path in now)
untouched = sum(now[p][0] == before[p][0] for p, kind in listing.items() if p in now and kind in READ)
new = sum(now[path][0] == want(kind, before[path][0]) for path, kind in listing.items()
          if path in now and kind in READ)
check(old + new >= len(listing) and untouched > 0,
      "INT: %d files, %d as they were, %d converted, of %d" % (len(now), old, new, len(listing)))

print("%d failures" % len(failures))
if not failures:  # kept to look into otherwise
    shutil.rmtree(work)
sys.exit(1 if failures else 0)
