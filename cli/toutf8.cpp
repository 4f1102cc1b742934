// velko-cli toutf8: every file of a tree read by check's rules and turned into UTF-8 from the
// legacy encoding it is in; what is UTF-8 or ASCII already stays byte for byte, what no rule
// names without doubt is passed over and told. Files go through several threads; what is said
// of them comes out in their order.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "check.h"
#include "console.h"
#include "console_host.h"
#include "families.h"
#include "fileops_native.h"
#include "line_commands.h"
#include "ports/texts.h"
#include "text/frame.h"
#include "text/transcode.h"
#include "tree.h"

namespace velko {
namespace {

constexpr int kRecurseKey = 'r', kDryRunKey = 'n', kJobsKey = 'j', kOutKey = 310, kAssumeKey = 311,
              kNewDateKey = 312, kRenameKey = 313;

const Option kOptions[] = {
    {"recursive", kRecurseKey, nullptr, nullptr,
     N("each PATH that is a folder: every file below it (links, hidden\nand version-control "
       "folders, FIFOs and devices passed over and\ntold)")},
    {"dry-run", kDryRunKey, nullptr, nullptr,
     N("change nothing: a row per file (path, what it is, what would be\ndone, sequences "
       "without a mapping), then the summary")},
    {"out", kOutKey, "DIR", nullptr,
     N("write the converted tree under DIR, every other file copied as it\nis; the originals "
       "stay as they are")},
    {"assume", kAssumeKey, "ENCODING", "sjis|jis|euc-jp",
     N("convert the files whose encoding is in doubt from ENCODING\n(binaries stay passed over)")},
    kBackupOption,
    {"new-date", kNewDateKey, nullptr, nullptr,
     N("converted files take the time of the conversion (default: they\nkeep their modification "
       "time)")},
    {"jobs", kJobsKey, "N", nullptr, N("convert N files at once (default: one per core)")},
    {"rename-files", kRenameKey, nullptr, nullptr,
     N("file and folder names in Shift_JIS or EUC-JP renamed to UTF-8\n(with --out: named so "
       "in DIR); a name that is taken is refused")},
};

struct Settings {
  bool dry_run = false, keep_date = true, rename = false;
  std::string out;  // --out DIR, "" in place
  Charset assume = Charset::kUnknown;
  BackupMode backup = BackupMode::kNumbered;
};

// What became of one entry, with what is to be said of it.
struct Outcome {
  enum Kind { kNone, kConverted, kUtf8, kAscii, kPassedOver, kRefused, kFailed, kFolder };
  Kind kind = kNone;
  Charset from = Charset::kUnknown;
  std::string what;  // the encoding as check names it
  unsigned long long bytes = 0, unmapped = 0;
  std::vector<std::pair<bool, std::string>> said;  // (an error, its text)
  std::string row;                                 // --dry-run
};

// A host that keeps the failure the frame shows, for the run to say in order.
class Kept : public ConsoleHost {
 public:
  Kept() : ConsoleHost(true, [] { return std::string(); }) {}
  Fault fault;
  void ShowMessage(Owner, const char*) override {}
  // The frame shows its failures as values: nothing reaches here.
  void ShowError(Owner, const char*, const char*, const char*) override {}
  void ShowFailure(Owner, const Fault& f) override { fault = f; }
};

// Writes nothing: a dry run counts what has no mapping.
class Nowhere : public File {
 public:
  long Read(void*, std::size_t) override { return 0; }
  bool Write(const void*, std::size_t) override { return true; }
  bool Close() override { return true; }
};

// The notice of a file converted, as the one-file commands give it.
const char* Done(Charset from) {
  const char* name = from == Charset::kShiftJis ? "sjis2utf8"
                     : from == Charset::kJis    ? "jis2utf8"
                                                : "eucjp2utf8";
  return FindCliCommand(name)->done;
}

// A backup an earlier run made: NAME.BAK or NAME.BAK.~N~.
bool LooksLikeBackup(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t at = name.rfind(".BAK");
  if (at == std::string::npos || at == 0) return false;
  const std::string rest = name.substr(at + 4);
  if (rest.empty()) return true;
  if (rest.size() < 4 || rest.compare(0, 2, ".~") != 0 || rest.back() != '~') return false;
  return std::all_of(rest.begin() + 2, rest.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

// The failures that protect something (other names, an owner, a backup, another run) refuse a
// file; the rest are failures of the system.
bool Refusal(Failure what) {
  return what == Failure::kHardLinks || what == Failure::kOwner || what == Failure::kBusy ||
         what == Failure::kBackupName;
}

// Copies or converts `from` into `to`, which takes its name only when whole; "" or the failure.
std::string Mirror(FileOps& files, const std::string& from, const std::string& to,
                   Conversion* conversion, bool keep_date) {
  const std::size_t slash = to.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (FileStatus st = files.MakeFolder(to.substr(0, slash).c_str()); !st) {
      return Say("%s: the folder cannot be made", {to.substr(0, slash)}) + ": " +
             SystemReason(st.code());
    }
  }
  if (files.Kind(to.c_str(), false) == EntryKind::kDirectory) {
    return Say("%s is a folder: not written", {to});
  }
  int error = 0;
  std::unique_ptr<File> in = files.Open(from.c_str(), OpenMode::kRead, &error);
  if (!in) return WindowText(kErrInputOpen, from) + ": " + SystemReason(error);
  char temp[kPathSize];
  std::unique_ptr<File> out = OpenTemporary(files, to.c_str(), temp, &error);
  if (!out) {
    return Say("%s: no file can be made beside it: not written", {to}) + ": " + SystemReason(error);
  }
  LinesResult r = LinesResult::kDone;
  int code = 0;
  if (conversion) {
    r = conversion->Run(*in, *out);
    code = r == LinesResult::kReadError ? in->Error() : out->Error();
  } else {
    unsigned char buffer[64 * 1024];
    for (long n = 1; r == LinesResult::kDone && n > 0;) {
      n = in->Read(buffer, sizeof buffer);
      if (n < 0) r = LinesResult::kReadError, code = in->Error();
      if (n > 0 && !out->Write(buffer, static_cast<std::size_t>(n))) {
        r = LinesResult::kWriteError, code = out->Error();
      }
    }
    in->Close();
    if (!out->Close() && r == LinesResult::kDone) r = LinesResult::kWriteError, code = out->Error();
  }
  std::string failed;
  if (r == LinesResult::kReadError) failed = WindowText(kErrInputRead, from);
  if (r != LinesResult::kDone && failed.empty()) failed = WindowText(kErrOutputWrite, to);
  FileStatus st;
  if (failed.empty()) st = files.CopyPermissions(from.c_str(), temp);
  if (failed.empty() && st && keep_date) st = files.CopyTimes(from.c_str(), temp);
  if (failed.empty() && !st) failed = WindowText(kErrPermissions, to), code = st.code();
  if (failed.empty()) {
    if (FileStatus named = files.Replace(temp, to.c_str()); !named) {
      failed = WindowText(kErrRename, temp, to), code = named.code();
    }
  }
  if (failed.empty()) return "";
  files.Remove(temp);
  return failed + ": " + SystemReason(code);
}

// What check finds a file to be, by its fixed byte rules. Their first pass settles all but the
// files it finds no text without a NUL: those it reads again with every decoder.
bool Surveyed(FileOps& files, const std::string& path, Findings* f, unsigned long long* bytes) {
  ByteSurvey survey;
  *bytes = 0;
  {  // closed before any second reading
    std::unique_ptr<File> in = files.Open(path.c_str(), OpenMode::kRead);
    if (!in) return false;
    unsigned char buffer[64 * 1024];
    for (long n; (n = in->Read(buffer, sizeof buffer)) != 0;) {
      if (n < 0) return false;
      survey.Add(buffer, static_cast<std::size_t>(n));
      *bytes += static_cast<unsigned long long>(n);
    }
  }
  f->fits = survey.Candidates();
  f->doubt = (f->fits & (f->fits - 1)) != 0;
  return f->fits != kBinary || survey.Nul() || Examine(files, path, f);
}

// What a thread keeps from file to file: the conversions' room, taken once, and the backups it
// made.
struct Worker {
  FileIdSet backups;
  std::unique_ptr<Transcoding> from[8];  // by the charset read
};

// The work of the run, shared by its threads; each entry is done by one of them.
class Run {
 public:
  Run(FileOps& files, const Settings& settings, std::vector<TreeEntry> entries,
      std::vector<std::string> targets)
      : files_(files),
        settings_(settings),
        entries_(std::move(entries)),
        targets_(std::move(targets)),
        outcomes_(entries_.size()) {}

  const std::vector<TreeEntry>& entries() const { return entries_; }
  std::vector<Outcome>& outcomes() { return outcomes_; }

  // One entry, as one unit of the run.
  void Do(std::size_t i, Worker& worker) {
    Outcome o = Examined(entries_[i], targets_[i], worker);
    std::lock_guard<std::mutex> lock(mutex_);
    outcomes_[i] = std::move(o);
    done_bytes_ += outcomes_[i].bytes;
    done_ += entries_[i].what == TreeEntry::kFile;
    // A wake-up costs more than a small file: while units are left, the thread that tells
    // looks every few milliseconds instead.
    if (i == awaited_ && last_taken_) changed_.notify_all();
  }
  // No unit is left to take: each entry waited for is told at once from now on.
  void LastTaken() {
    std::lock_guard<std::mutex> lock(mutex_);
    last_taken_ = true;
    changed_.notify_all();
  }

  // Waits at most `wait` for entry `i`; true when it is done.
  bool WaitFor(std::size_t i, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    awaited_ = i;
    return changed_.wait_for(lock, wait, [&] { return outcomes_[i].kind != Outcome::kNone; });
  }
  void Progress(std::size_t* files, unsigned long long* bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    *files = done_, *bytes = done_bytes_;
  }
  bool Finished(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcomes_[i].kind != Outcome::kNone;
  }

 private:
  Outcome Examined(const TreeEntry& entry, const std::string& target, Worker& worker);
  void Convert(const TreeEntry& entry, const std::string& target, Outcome& o, Worker& worker);

  FileOps& files_;
  const Settings& settings_;
  const std::vector<TreeEntry> entries_;
  const std::vector<std::string> targets_;  // with --out, where each entry goes
  std::vector<Outcome> outcomes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t done_ = 0;
  unsigned long long done_bytes_ = 0;
  std::size_t awaited_ = 0;  // the entry the thread that tells is waiting for
  bool last_taken_ = false;
};

Outcome Run::Examined(const TreeEntry& entry, const std::string& target, Worker& worker) {
  FileOps& files = files_;
  Outcome o;
  auto error = [&](Outcome::Kind kind, const std::string& text) {
    o.kind = kind;
    o.said.emplace_back(true, text);
    o.row = std::string("-\t") + (kind == Outcome::kRefused ? "refuse" : "fail") + "\t-";
    return o;
  };
  auto passed = [&](const std::string& what, const std::string& why) {
    o.kind = Outcome::kPassedOver;
    o.what = what;
    o.said.emplace_back(false, Say("passed over: %s", {why}));
    o.row = what + "\tskip\t-";
    if (!settings_.out.empty() && !settings_.dry_run && entry.what == TreeEntry::kFile) {
      const std::string failed = Mirror(files, entry.path, target, nullptr, true);
      if (!failed.empty()) return error(Outcome::kFailed, failed);
    }
    return o;
  };
  if (entry.what == TreeEntry::kFolder) {
    o.kind = Outcome::kFolder;
    if (!settings_.out.empty() && !settings_.dry_run) {
      if (FileStatus st = files.MakeFolder(target.c_str()); !st) {
        return error(Outcome::kFailed, Say("%s: the folder cannot be made", {target}) + ": " +
                                           SystemReason(st.code()));
      }
    }
    return o;
  }
  if (entry.unread) return error(Outcome::kFailed, Tr(entry.why));
  if (entry.what == TreeEntry::kPassedOver) {
    o.kind = Outcome::kPassedOver;
    o.said.emplace_back(false, Say("passed over: %s", {Tr(entry.why)}));
    o.row = Tr(entry.why) + std::string("\tskip\t-");
    return o;
  }
  if (entry.path.size() >= kPathSize) {
    return error(Outcome::kRefused, Say("file name longer than %s bytes: not converted",
                                        {std::to_string(kPathSize - 1)}));
  }
  if (!files.Exists(entry.path.c_str())) {
    return error(Outcome::kFailed, WindowText(kErrNoInput, entry.path) + ": " + NotFoundReason());
  }
  if (settings_.out.empty() && settings_.backup != BackupMode::kNone &&
      LooksLikeBackup(entry.path)) {
    return passed("-", Tr("the backup of an earlier run"));
  }
  Findings findings;
  if (!Surveyed(files, entry.path, &findings, &o.bytes)) {
    return error(Outcome::kFailed,
                 WindowText(kErrInputRead, entry.path) + ": " + SystemReason(LastSystemError()));
  }
  const std::string named = Named(findings.fits);
  o.what = findings.doubt ? Say("doubtful %s", {named}) : named;
  const bool one = (findings.fits & (findings.fits - 1)) == 0;
  const Charsets legacy = Bit(Charset::kShiftJis) | Bit(Charset::kJis) | Bit(Charset::kEucJp);
  if (findings.fits == kBinary) return passed(o.what, Tr("binary"));
  if (one && !findings.doubt && findings.fits == Bit(Charset::kUtf8)) {
    o.kind = Outcome::kUtf8;
  } else if (one && !findings.doubt && findings.fits == Bit(Charset::kAscii)) {
    o.kind = Outcome::kAscii;
  } else if (one && !findings.doubt && (findings.fits & legacy)) {
    o.from = findings.fits == Bit(Charset::kShiftJis) ? Charset::kShiftJis
             : findings.fits == Bit(Charset::kJis)    ? Charset::kJis
                                                      : Charset::kEucJp;
  } else if (settings_.assume != Charset::kUnknown) {
    o.from = settings_.assume;
  } else {
    return passed(o.what, Say("in doubt, %s (--assume=sjis|jis|euc-jp converts it)", {named}));
  }
  if (o.kind == Outcome::kUtf8 || o.kind == Outcome::kAscii) {
    o.row = o.what + "\tkeep\t0";
    if (!settings_.out.empty() && !settings_.dry_run) {
      const std::string failed = Mirror(files, entry.path, target, nullptr, true);
      if (!failed.empty()) return error(Outcome::kFailed, failed);
    }
    return o;
  }
  Convert(entry, target, o, worker);
  return o;
}

void Run::Convert(const TreeEntry& entry, const std::string& target, Outcome& o, Worker& worker) {
  FileOps& files = files_;
  auto fail = [&](Outcome::Kind kind, const std::string& text) {
    o.kind = kind;
    o.said.emplace_back(true, text);
  };
  std::unique_ptr<Transcoding>& made = worker.from[static_cast<int>(o.from)];
  if (!made) {
    TranscodeOptions options;
    options.from = o.from;
    options.to = Charset::kUtf8;
    auto fresh = std::make_unique<Transcoding>(options);
    if (!fresh->Prepare()) return fail(Outcome::kFailed, Tr(kErrMemory));
    made = std::move(fresh);
  }
  Transcoding& transcoding = *made;
  o.kind = Outcome::kConverted;
  if (settings_.dry_run) {
    int error = 0;
    std::unique_ptr<File> in = files.Open(entry.path.c_str(), OpenMode::kRead, &error);
    Nowhere nowhere;
    if (!in || transcoding.Run(*in, nowhere) != LinesResult::kDone) {
      return fail(Outcome::kFailed, WindowText(kErrInputRead, entry.path) + ": " +
                                        SystemReason(in ? in->Error() : error));
    }
  } else if (!settings_.out.empty()) {
    const std::string failed = Mirror(files, entry.path, target, &transcoding, settings_.keep_date);
    if (!failed.empty()) return fail(Outcome::kFailed, failed);
  } else {
    char backup[kPathSize];
    if (!MakeBackupPath(backup, entry.path.c_str(), "BAK", files.Style())) backup[0] = 0;
    // A.TXT and A.DOC share A.BAK: the first one's backup is not replaced by the second's.
    if (settings_.backup == BackupMode::kSimple && backup[0] &&
        worker.backups.count(files.Id(backup)) > 0) {
      return fail(Outcome::kRefused,
                  Say("its backup %s was made from another file in this run: not converted "
                      "(--backup=numbered keeps both)",
                      {backup}));
    }
    Kept host;
    Services services{host, files, TextRules::kBytes};
    InPlaceReport report;
    if (!ConvertInPlace(entry.path.c_str(), transcoding, "", nullptr, services,
                        InPlace{settings_.backup, settings_.keep_date}, &report)) {
      return fail(Refusal(host.fault.what) ? Outcome::kRefused : Outcome::kFailed,
                  FailureLine(host.fault, entry.path));
    }
    if (report.backup[0]) worker.backups.insert(files.Id(report.backup));
    if (report.kept[0]) {
      o.said.emplace_back(false, Say("%s; the older %s is kept as %s",
                                     {Tr(Done(o.from)), report.backup, report.kept}));
    }
  }
  const TranscodeReport& r = transcoding.report();
  o.unmapped = r.unmapped;
  o.row = o.what + "\tconvert\t" + std::to_string(r.unmapped);
  if (o.said.empty()) o.said.emplace_back(false, Tr(Done(o.from)));
  if (r.unmapped > 0) {
    for (const std::string& line : UnmappedLines(r, Charset::kUtf8))
      o.said.emplace_back(true, line);
    o.said.emplace_back(
        true, Say("%s without a mapping, written as U+FFFD", {std::to_string(r.unmapped)}));
  }
}

// The UTF-8 form of a name in Shift_JIS or EUC-JP into `*utf8`, and true; false for a name that
// is UTF-8 or ASCII already, or one that no rule names (`*why` then says so, or stays empty).
bool Utf8Name(const std::string& name, std::string* utf8, std::string* why) {
  ByteSurvey survey;
  survey.Add(reinterpret_cast<const unsigned char*>(name.data()), name.size());
  const Charsets fits = survey.Fits(false);
  if (fits == Bit(Charset::kAscii) || fits == Bit(Charset::kUtf8)) return false;
  if (fits != Bit(Charset::kShiftJis) && fits != Bit(Charset::kEucJp)) {
    *why = Say("its name is %s, in doubt: not renamed", {Named(fits)});
    return false;
  }
  Decoder decoder(fits == Bit(Charset::kShiftJis) ? Charset::kShiftJis : Charset::kEucJp);
  std::string out(decoder.MaxUtf8Length(name.size()), '\0');
  const CodecResult r = decoder.DecodeToUtf8(name.data(), name.size(), &out[0], out.size(), true);
  if (r.status != CodecStatus::kInputEmpty || r.read != name.size()) {
    *why = Tr("its name holds bytes that stand for no character: not renamed");
    return false;
  }
  out.resize(r.written);
  *utf8 = out;
  return true;
}

std::string Parent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}
std::string Last(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "1.2 MB"
std::string Megabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  return text;
}

int RunToUtf8(const CliCommand&, const Parsed& parsed) {
  if (parsed.operands.empty()) return Usage(Tr("no PATH given"));
  const auto start = std::chrono::steady_clock::now();  // the walk counts
  Settings settings;
  settings.dry_run = parsed.Has(kDryRunKey);
  settings.keep_date = !parsed.Has(kNewDateKey);
  settings.rename = parsed.Has(kRenameKey);
  settings.out = parsed.Get(kOutKey);
  while (settings.out.size() > 1 && settings.out.back() == '/') settings.out.pop_back();
  const std::string assume = parsed.Get(kAssumeKey);
  settings.assume = assume == "sjis"     ? Charset::kShiftJis
                    : assume == "jis"    ? Charset::kJis
                    : assume == "euc-jp" ? Charset::kEucJp
                                         : Charset::kUnknown;
  const std::string backup = parsed.Get(kBackupKey, "numbered");
  settings.backup = backup == "simple" ? BackupMode::kSimple
                    : backup == "none" ? BackupMode::kNone
                                       : BackupMode::kNumbered;
  unsigned jobs = std::thread::hardware_concurrency();
  if (parsed.Has(kJobsKey)) {
    const std::string n = parsed.Get(kJobsKey);
    char* end = nullptr;
    const unsigned long value = std::strtoul(n.c_str(), &end, 10);
    if (n.empty() || *end || value < 1 || value > 256) {
      return Usage(Say("--jobs takes a number from 1 to 256"));
    }
    jobs = static_cast<unsigned>(value);
  }
  if (jobs == 0) jobs = 1;
  const bool quiet = parsed.Has(kQuietKey);
  FileOps& files = NativeFileOps(false);

  std::vector<TreeEntry> entries =
      WalkTree(files, parsed.operands, parsed.Has(kRecurseKey),
               settings.out.empty() ? FileId() : files.Id(settings.out.c_str()));
  // Where each entry goes under --out: its path below its operand, its names in UTF-8 with
  // --rename-files; two entries that would go to one place are the later one's refusal.
  std::vector<std::string> targets(entries.size());
  std::vector<std::string> early(entries.size());  // a refusal found before the run
  if (!settings.out.empty()) {
    std::map<std::string, std::size_t> taken;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::string relative = entries[i].relative;
      if (settings.rename) {
        std::string renamed, piece, why;
        for (std::size_t from = 0; from <= relative.size();) {
          std::size_t end = relative.find('/', from);
          if (end == std::string::npos) end = relative.size();
          piece = relative.substr(from, end - from);
          std::string utf8;
          if (Utf8Name(piece, &utf8, &why)) piece = utf8;
          renamed += (from ? "/" : "") + piece;
          from = end + 1;
        }
        relative = renamed;
      }
      targets[i] = settings.out + "/" + relative;
      const auto [at, fresh] = taken.emplace(targets[i], i);
      if (!fresh && entries[i].what != TreeEntry::kPassedOver) {
        early[i] =
            Say("%s is where %s goes too: not written", {targets[i], entries[at->second].path});
      }
    }
  }

  Run run(files, settings, entries, targets);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (early[i].empty()) continue;
    run.outcomes()[i].kind = Outcome::kRefused;
    run.outcomes()[i].said.emplace_back(true, early[i]);
    run.outcomes()[i].row = "-\trefuse\t-";
  }
  // Files that share a backup name go through one thread in their order, so that each finds
  // the backups the one before made; every other file is a unit of its own.
  std::vector<std::vector<std::size_t>> units;
  {
    std::map<std::string, std::size_t> by_backup;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!early[i].empty()) continue;
      char name[kPathSize] = "";
      const bool shared = settings.out.empty() && !settings.dry_run &&
                          settings.backup != BackupMode::kNone &&
                          entries[i].what == TreeEntry::kFile &&
                          MakeBackupPath(name, entries[i].path.c_str(), "BAK", files.Style());
      if (!shared) {
        units.push_back({i});
        continue;
      }
      const auto [at, fresh] = by_backup.emplace(name, units.size());
      if (fresh) units.push_back({});
      units[at->second].push_back(i);
    }
  }

  std::atomic<bool> stop(false);
  StopOnRequest(&stop);
  std::atomic<std::size_t> next(0);
  auto work = [&] {
    Worker worker;
    for (std::size_t u; !stop.load() && (u = next++) < units.size();) {
      if (u + 1 == units.size()) run.LastTaken();
      for (std::size_t i : units[u]) {
        if (stop.load()) break;
        run.Do(i, worker);
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < jobs && t < units.size(); ++t) threads.emplace_back(work);

  // Said in the entries' order as they are done, with a line of progress on a terminal once
  // the run has taken a second.
  const bool progress = !quiet && IsTerminal(2);
  bool progress_shown = false;
  auto clear = [&] {
    if (progress_shown) WriteText(stderr, "\r\033[K");
    progress_shown = false;
  };
  if (settings.dry_run) WriteText(stdout, "file\tencoding\taction\tunmapped\n");
  std::size_t counts[8] = {}, converted[8] = {};  // by Outcome::Kind, by Charset
  unsigned long long unmapped = 0;
  std::size_t said = 0, files_said = 0;
  ConsoleHost host(quiet, [] { return std::string(); });
  auto say = [&](std::size_t i) {
    const Outcome& o = run.outcomes()[i];
    const TreeEntry& entry = entries[i];
    ++counts[o.kind];
    files_said += entry.what == TreeEntry::kFile;
    if (o.kind == Outcome::kConverted) ++converted[static_cast<int>(o.from)];
    unmapped += o.unmapped;
    if (o.kind == Outcome::kFolder || o.kind == Outcome::kNone) return;
    clear();
    if (settings.dry_run) {
      WriteText(stdout, Shown(entry.path) + "\t" + o.row + "\n");
      for (const auto& [is_error, text] : o.said) {
        if (is_error) WriteText(stderr, Shown("velko-cli: " + entry.path + ": " + text) + "\n");
      }
      return;
    }
    host.Begin(entry.path, true);
    for (const auto& [is_error, text] : o.said) {
      if (is_error)
        host.Error(text);
      else
        host.Notice(entry.path, text);
    }
  };
  std::size_t total = 0;
  for (const TreeEntry& e : entries) total += e.what == TreeEntry::kFile;
  auto last = start;
  auto tick = [&] {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - start).count();
    if (!progress || seconds <= 1.0 || now - last < std::chrono::milliseconds(200)) return;
    last = now;
    std::size_t files_done = 0;
    unsigned long long bytes = 0;
    run.Progress(&files_done, &bytes);
    WriteText(stderr,
              "\r\033[K" + SayN("%s of %s file, %s, %s/s", "%s of %s files, %s, %s/s", total,
                                {std::to_string(files_done), std::to_string(total),
                                 Megabytes(static_cast<double>(bytes)),
                                 Megabytes(static_cast<double>(bytes) / seconds)}));
    progress_shown = true;
  };
  for (; said < entries.size(); ++said) {
    while (!run.WaitFor(said, std::chrono::milliseconds(5))) {
      tick();
      if (stop.load() && threads.empty()) break;
      if (stop.load()) {
        for (std::thread& t : threads) t.join();
        threads.clear();
      }
    }
    if (!run.Finished(said)) break;
    say(said);
    tick();
  }
  for (std::thread& t : threads) t.join();
  clear();
  // What was done after the first entry left undone is said too.
  std::size_t stopped_at = said;
  for (std::size_t i = said; i < entries.size(); ++i) {
    if (run.Finished(i)) say(i);
  }

  std::size_t renamed = 0;
  if (settings.rename && settings.out.empty() && stopped_at == entries.size()) {
    // The deepest first: a folder's name changes after what it holds.
    for (std::size_t i = entries.size(); i-- > 0;) {
      const TreeEntry& entry = entries[i];
      if (entry.what == TreeEntry::kPassedOver ||
          (entry.operand && entry.what == TreeEntry::kFolder)) {
        continue;
      }
      std::string utf8, why;
      const std::string name = Last(entry.path);
      if (!Utf8Name(name, &utf8, &why)) {
        if (!why.empty()) {
          ++counts[Outcome::kRefused];
          host.Begin(entry.path, true);
          host.Error(why);
        }
        continue;
      }
      const std::string to = Parent(entry.path) + utf8;
      host.Begin(entry.path, true);
      if (settings.dry_run) {
        WriteText(stdout, Shown(entry.path) + "\t-\trename " + Shown(utf8) + "\t-\n");
        ++renamed;
      } else if (files.Exists(to.c_str())) {
        ++counts[Outcome::kRefused];
        host.Error(Say("its name in UTF-8, %s, is taken: not renamed", {to}));
      } else if (FileStatus st = files.RenameNoReplace(entry.path.c_str(), to.c_str()); !st) {
        ++counts[Outcome::kFailed];
        host.Error(WindowText(kErrRename, entry.path, to) + ": " + SystemReason(st.code()));
      } else {
        ++renamed;
        host.Notice(entry.path, Say("renamed %s", {to}));
      }
    }
  }

  if (stopped_at < entries.size()) {
    // Named by the first file left undone: folders and what is passed over take no time.
    std::size_t first = stopped_at;
    while (first + 1 < entries.size() &&
           (entries[first].what != TreeEntry::kFile || run.Finished(first))) {
      ++first;
    }
    WriteText(
        stderr,
        Shown(SayN("velko-cli: stopped: %s of %s file done, every file whole; "
                   "the first not done is %s",
                   "velko-cli: stopped: %s of %s files done, every file whole; "
                   "the first not done is %s",
                   total,
                   {std::to_string(files_said), std::to_string(total), entries[first].path})) +
            "\n");
  }
  std::string summary =
      Say("converted: %s (Shift_JIS %s, JIS %s, EUC-JP %s); already UTF-8: %s; ASCII: %s; "
          "passed over: %s; refused: %s; failed: %s",
          {std::to_string(counts[Outcome::kConverted]),
           std::to_string(converted[static_cast<int>(Charset::kShiftJis)]),
           std::to_string(converted[static_cast<int>(Charset::kJis)]),
           std::to_string(converted[static_cast<int>(Charset::kEucJp)]),
           std::to_string(counts[Outcome::kUtf8]), std::to_string(counts[Outcome::kAscii]),
           std::to_string(counts[Outcome::kPassedOver]), std::to_string(counts[Outcome::kRefused]),
           std::to_string(counts[Outcome::kFailed])});
  if (unmapped > 0) summary += Say("; without a mapping: %s", {std::to_string(unmapped)});
  if (settings.rename) summary += Say("; renamed: %s", {std::to_string(renamed)});
  if (settings.dry_run) summary = Say("dry run, nothing changed: %s", {summary});
  if (!quiet || counts[Outcome::kRefused] + counts[Outcome::kFailed] > 0) {
    WriteText(stdout, Shown(summary) + "\n");
  }
  if (stopped_at < entries.size()) return 130;
  return counts[Outcome::kRefused] + counts[Outcome::kFailed] > 0 || unmapped > 0 ? 1 : 0;
}

}  // namespace

const Family kToUtf8Family = {
    N("[OPTION]... PATH..."),
    N("Reads each file as check does and converts it into UTF-8 from what it is: Shift_JIS\n"
      "(code page 932 with the PC-98 ruled lines, as sjis2utf8 reads it), JIS (ISO-2022-JP) or\n"
      "EUC-JP. Files in UTF-8 or ASCII stay byte for byte as they are and count as done;\n"
      "binaries, and files whose encoding is in doubt, are passed over and told. A file is\n"
      "converted in place as sjis2utf8 converts it (its old content as FILE's name with the\n"
      "extension BAK, kept by --backup; a backup of an earlier run is passed over) and keeps\n"
      "its modification time. What has no mapping is told with its place and written as\n"
      "U+FFFD. A line at the end sums up: converted files per encoding, already UTF-8, ASCII,\n"
      "passed over, refused, failed. The exit status is 0 when nothing was refused, failed or\n"
      "without a mapping, 1 when something was, 130 when a stop (INT) ended the run: the files\n"
      "being converted are finished, whole, and the first one not done is named.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    RunToUtf8,
    "  velko-cli toutf8 -r --dry-run old-disk\n"
    "  velko-cli toutf8 -r --out old-disk-utf8 --rename-files old-disk\n"
    "  velko-cli toutf8 -r --backup=none -j 2 copy-of-old-disk\n"
    "  velko-cli toutf8 --assume=sjis memo.txt\n"};

}  // namespace velko
