#include "line_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command.h"
#include "codec/detect.h"
#include "console.h"
#include "fileops_native.h"
#include "mail/headers.h"
#include "ports/texts.h"
#include "text/frame.h"
#include "text/transcode.h"
#include "undo.h"

namespace velko {
namespace {

constexpr std::size_t kHeadSize = 64 * 1024;  // the first bytes, which tell what the input is

// A file whose first bytes were read ahead: they come first, then the rest.
class Replayed : public File {
 public:
  Replayed(std::string head, File& rest) : head_(std::move(head)), rest_(rest) {}
  long Read(void* buffer, std::size_t size) override {
    if (pos_ == head_.size()) return rest_.Read(buffer, size);
    std::size_t n = std::min(size, head_.size() - pos_);
    std::memcpy(buffer, head_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  bool Write(const void* data, std::size_t size) override { return rest_.Write(data, size); }
  bool Close() override { return rest_.Close(); }
  FileId Id() override { return rest_.Id(); }
  int Error() const override { return rest_.Error(); }

 private:
  std::string head_;
  File& rest_;
  std::size_t pos_ = 0;
};

// The first bytes of `file`, read ahead; false after a read failure.
bool ReadHead(File& file, std::string* head) {
  head->resize(kHeadSize);
  std::size_t got = 0;
  for (long n = 1; n > 0 && got<head->size(); got += n> 0 ? n : 0) {
    n = file.Read(&(*head)[got], head->size() - got);
    if (n < 0) return false;
  }
  head->resize(got);
  return true;
}

// Why the command would not do what its user means with input that begins with `head`:
// it is not what the command reads, or already what it makes. Empty when nothing speaks
// against it.
std::string Refusal(const CliCommand& command, const std::string& head) {
  ByteSurvey survey;
  // Shift_JIS input is refused only when it fits another encoding: no need to read on once it
  // cannot.
  constexpr std::size_t kPiece = 256;
  for (std::size_t at = 0; at < head.size(); at += kPiece) {
    survey.Add(reinterpret_cast<const unsigned char*>(head.data()) + at,
               std::min(kPiece, head.size() - at));
    if (command.sjis_input && survey.OnlyShiftJisLeft()) return "";
  }
  const Charsets fits = survey.Fits(head.size() == kHeadSize);
  const Charsets jis = Bit(Charset::kJis), utf8 = Bit(Charset::kUtf8),
                 sjis = Bit(Charset::kShiftJis), euc = Bit(Charset::kEucJp);
  const char* seen = nullptr;
  const int id = command.id;
  if (id == kUtf8ToSjis || id == kUtf8ToJis || id == kUtf8ToEucJp) {
    seen = fits == jis       ? N("is JIS (ISO-2022-JP), not UTF-8: not converted (--force "
                                       "converts it)")
           : fits & sjis     ? N("is not UTF-8 and looks like Shift_JIS: not converted (--force "
                                     "converts it)")
           : fits & euc      ? N("is not UTF-8 and looks like EUC-JP: not converted (--force "
                                      "converts it)")
           : fits == kBinary ? N("is not UTF-8 text: not converted (--force converts it)")
                             : nullptr;
  } else if (id == kEucJpToUtf8) {
    seen = fits == utf8   ? N("looks like UTF-8, not EUC-JP: not converted (--force converts it)")
           : fits == sjis ? N("looks like Shift_JIS, not EUC-JP: not converted (--force "
                              "converts it)")
           : fits == jis  ? N("is JIS (ISO-2022-JP), not EUC-JP: not converted (jis2utf8 "
                               "converts it; --force converts it as EUC-JP)")
                          : nullptr;
  } else if (command.sjis_input) {
    if (fits == utf8)
      seen = N("looks like UTF-8, not Shift_JIS: not converted (--force converts it)");
    if (fits == euc)
      seen = N("looks like EUC-JP, not Shift_JIS: not converted (--force converts it)");
    if (fits == (euc | sjis)) {
      seen =
          N("looks like EUC-JP (or Shift_JIS of half-width kana alone): not converted (--force "
            "converts it)");
    }
    // A second run, or VELKO's own output: JIS escapes, and no Shift_JIS character.
    if ((id == BTN_SJTOJIS || id == kSjisToUtf8) && fits == jis) {
      seen = id == kSjisToUtf8 ? N("is JIS (ISO-2022-JP), not Shift_JIS: not converted (jis2utf8 "
                                   "converts it; --force converts it as Shift_JIS)")
                               : N("is JIS already: not converted (--force converts it)");
    }
  } else if ((id == BTN_JISTOSJ || id == kJisToUtf8) && survey.JisEscapes() && fits != jis) {
    // JIS text with bytes JIS has no place for (Shift_JIS pasted in): named, with where.
    unsigned long long eight_bit = 0, line = 1, first_line = 0;
    for (const char c : head) {
      const unsigned char b = static_cast<unsigned char>(c);
      eight_bit += b >= 0x80;
      if (b >= 0x80 && (b < 0xA1 || b > 0xDF) && first_line == 0) first_line = line;
      line += c == '\n';
    }
    return SayN(
        "is JIS text with %s byte that is not JIS, on line %s: not converted (--force "
        "converts it as it stands)",
        "is JIS text with %s bytes that are not JIS, first on line %s: not converted "
        "(--force converts them as they stand)",
        eight_bit, {std::to_string(eight_bit), std::to_string(first_line)});
  } else if ((id == BTN_JISTOSJ || id == kJisToUtf8) && (fits & (sjis | euc | utf8)) != 0) {
    seen = fits == utf8  ? N("has no JIS escape sequence and looks like UTF-8: not converted "
                              "(--force converts it)")
           : fits == euc ? N("has no JIS escape sequence and looks like EUC-JP: not converted "
                             "(--force converts it)")
           : id == kJisToUtf8
               ? N("has no JIS escape sequence and looks like Shift_JIS: not converted "
                   "(sjis2utf8 converts it; --force converts it as JIS)")
               : N("has no JIS escape sequence and looks like Shift_JIS already: not "
                   "converted (--force converts it)");
  }
  return seen ? Tr(seen) : "";
}

// The name of the target charset, as messages give it.
const char* TargetName(Charset charset) {
  return charset == Charset::kJis ? "JIS" : CharsetName(charset);
}

std::string Hex(const unsigned char* bytes, unsigned length) {
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    char two[4];
    std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
    text += two;
  }
  return text;
}

// What the text rules left out of the bytes written, said where it happened; true when
// anything was.
bool TellLosses(ConsoleHost& host, const Losses& lost) {
  if (lost.text_end != kNowhere) {
    host.Error(
        Say("byte %s: a 0x1A ends the text by the Windows text rules; what follows is not written",
            {std::to_string(lost.text_end)}));
  }
  if (lost.ctrl_z > 0) {
    host.Error(Say("byte %s: a 0x1A inside a line is dropped (%s in all)",
                   {std::to_string(lost.first_ctrl_z), std::to_string(lost.ctrl_z)}));
  }
  if (lost.nul_cuts > 0) {
    host.Error(SayN(
        "byte %s: a NUL ends its line's text; the rest of that line is dropped (%s line in all)",
        "byte %s: a NUL ends its line's text; the rest of that line is dropped (%s lines in all)",
        lost.nul_cuts, {std::to_string(lost.first_nul), std::to_string(lost.nul_cuts)}));
  }
  return lost.text_end != kNowhere || lost.ctrl_z > 0 || lost.nul_cuts > 0;
}

void TellUnmapped(ConsoleHost& host, const TranscodeReport& report, Charset to) {
  for (const std::string& line : UnmappedLines(report, to)) host.Error(line);
}

// A run's conversion, and what it has to say afterwards.
class Converter {
 public:
  explicit Converter(const LineRun& run) : run_(run) {
    if (IsTranscoding(run.command.id)) {
      transcoding_ = std::make_unique<Transcoding>(run.transcode);
    } else if (run.decode_headers) {
      headers_ = std::make_unique<HeaderDecoding>(run.header_to);
    } else {
      const LineStep& step = run.command.id == BTN_SJTOJIS ? SjisToJisKanaStep(run.kana)
                                                           : *LineStepFor(run.command.id);
      lines_ = std::make_unique<LineConversion>(step, run.rules);
    }
  }
  Conversion& conversion() {
    return transcoding_ ? static_cast<Conversion&>(*transcoding_)
           : headers_   ? static_cast<Conversion&>(*headers_)
                        : *lines_;
  }
  // The last run stopped at a sequence without a mapping.
  bool Stopped() const {
    return transcoding_ && run_.fail_unmapped && transcoding_->report().unmapped > 0;
  }

  // Tells what the run could not keep, as errors, and what its user should know of the
  // result, as warnings; true when anything was lost. `text_rules`: what the text rules left
  // out counts, as it does where no backup keeps it.
  bool Tell(const std::string& about, bool text_rules) {
    ConsoleHost& host = run_.host;
    if (headers_) {
      const HeaderCounts& c = headers_->counts();
      const std::string line = std::to_string(headers_->first_line());
      if (c.kept > 0) {
        host.Error(
            SayN("%s encoded word in a charset not known here is left as it is, on "
                 "line %s",
                 "%s encoded words in a charset not known here are left as they are, "
                 "first on line %s",
                 c.kept, {std::to_string(c.kept), line}));
      }
      if (c.lost > 0) {
        host.Error(
            SayN("%s character has no code in the output, written as '?' or U+FFFD, "
                 "on line %s",
                 "%s characters have no code in the output, written as '?' or U+FFFD, "
                 "first on line %s",
                 c.lost, {std::to_string(c.lost), line}));
      }
      return c.kept > 0 || c.lost > 0;
    }
    if (lines_) {
      const Losses& lost = lines_->losses();
      if (lost.marked > 0 && run_.command.id == BTN_SJTOJIS) {
        host.Warn(about, Say("half-width kana stay 8-bit bytes, which strict JIS decoders refuse, "
                             "first on line %s (--kana=full or --kana=esc-i keeps JIS 7-bit)",
                             {std::to_string(lost.first_marked_line)}));
      }
      return text_rules && TellLosses(host, lost);
    }
    const TranscodeReport& report = transcoding_->report();
    if (report.vendor > 0) {
      host.Warn(about,
                SayN("%s character is written as a code of the Windows vendor rows or the "
                     "PC-98 ruled lines, which strict decoders refuse, on line %s",
                     "%s characters are written as codes of the Windows vendor rows or "
                     "the PC-98 ruled lines, which strict decoders refuse, first on "
                     "line %s",
                     report.vendor,
                     {std::to_string(report.vendor), std::to_string(report.first_vendor_line)}));
    }
    if (report.unmapped == 0) return false;
    TellUnmapped(host, report, run_.transcode.to);
    host.Error(Say(run_.transcode.to == Charset::kUtf8
                       ? N("%s without a mapping, written as U+FFFD")
                       : N("%s without a mapping, written as '?'"),
                   {std::to_string(report.unmapped)}));
    return true;
  }

  // After a run that stopped at the first sequence without a mapping (--unmapped=fail): that
  // one told, and `not_done` after it.
  void TellStop(const char* not_done) {
    TellUnmapped(run_.host, transcoding_->report(), run_.transcode.to);
    run_.host.Error(Tr(not_done));
  }

 private:
  const LineRun& run_;
  std::unique_ptr<LineConversion> lines_;
  std::unique_ptr<Transcoding> transcoding_;
  std::unique_ptr<HeaderDecoding> headers_;
};

constexpr const char* kNotConverted =
    N("stopped at the first sequence without a mapping: not converted (--unmapped=fail)");
constexpr const char* kNotWritten =
    N("stopped at the first sequence without a mapping: nothing written (--unmapped=fail)");

// A file read once: its first bytes tell whether it is what the command reads (or already
// what it makes) before it all goes through the conversion; a refusal stops the run.
class Checked : public Conversion {
 public:
  Checked(const LineRun& run, Conversion& conversion) : run_(run), conversion_(conversion) {}
  bool Prepare() override { return conversion_.Prepare(); }
  LinesResult Run(File& in, File& out) override {
    std::string head;
    if (!ReadHead(in, &head)) {
      in.Close();
      out.Close();
      return LinesResult::kReadError;
    }
    refusal_ = run_.force ? "" : Refusal(run_.command, head);
    if (!refusal_.empty()) {
      in.Close();
      out.Close();
      return LinesResult::kStopped;
    }
    Replayed input(std::move(head), in);
    return conversion_.Run(input, out);
  }
  const std::string& refusal() const { return refusal_; }

 private:
  const LineRun& run_;
  Conversion& conversion_;
  std::string refusal_;
};

}  // namespace

// What has no mapping, each where it is, up to the report's limit.
std::vector<std::string> UnmappedLines(const TranscodeReport& report, Charset to) {
  std::vector<std::string> lines;
  const unsigned long long shown =
      report.unmapped < TranscodeReport::kShown ? report.unmapped : TranscodeReport::kShown;
  for (unsigned long long i = 0; i < shown; ++i) {
    const Unmapped& u = report.shown[i];
    const std::string line = std::to_string(u.line), column = std::to_string(u.column);
    const std::string bytes = Hex(u.bytes, u.length);
    if (u.character != kNoCharacter) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u.character));
      lines.push_back(
          Say("line %s, column %s: %s %s has no %s code",
              {line, column, code, std::string(reinterpret_cast<const char*>(u.bytes), u.length),
               TargetName(to)}));
    } else if (to == Charset::kUtf8) {
      lines.push_back(
          Say("line %s, column %s: bytes %s stand for no character", {line, column, bytes}));
    } else {
      lines.push_back(Say("line %s, column %s: bytes %s are not UTF-8", {line, column, bytes}));
    }
  }
  if (report.unmapped > shown) {
    lines.push_back(Say("and %s more", {std::to_string(report.unmapped - shown)}));
  }
  return lines;
}

void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name,
                   int open_error) {
  FileOps& files = run.files;
  if (!in) {
    const bool exists = files.Exists(name.c_str());
    return run.host.Error(WindowText(exists ? kErrInputOpen : kErrNoInput, name) + ": " +
                          (exists ? SystemReason(open_error) : NotFoundReason()));
  }
  const std::string& out = run.output;
  const EntryKind kind = out.empty() ? EntryKind::kOther : files.Kind(out.c_str(), true);
  if (kind == EntryKind::kDirectory)
    return run.host.Error(Say("%s is a folder: not written", {out}));
  // Standard output, a device, a FIFO or a terminal, under any link: written into as it
  // stands, never replaced.
  const bool into = kind == EntryKind::kOther;
  // A file through a symbolic link: the file it leads to is replaced; the link stays.
  char real[kPathSize] = "";
  if (!into && (!FollowLinks(files, out.c_str(), real) || files.Kind(real, true) != kind)) {
    return run.host.Error(Say("%s: a chain of links too long to follow: not written", {out}));
  }
  const std::string sink_name = out.empty() ? Tr("standard output") : out;
  int error = 0;
  std::unique_ptr<File> sink = out.empty() ? StandardStream(1)
                               : into      ? files.Open(out.c_str(), OpenMode::kInto, &error)
                                           : nullptr;
  if (into && !sink) {
    return run.host.Error(WindowText(kErrOutputOpen, out) + ": " + SystemReason(error));
  }
  const FileId in_id = in->Id();
  // Reading a file while writing it would read what was written: without end, or with the
  // input gone before it was read.
  if (into ? in_id == sink->Id() : in_id == files.Id(real)) {
    return run.host.Error(out.empty() ? Say("standard output is this file too: not converted")
                                      : Say("%s is this file itself: not converted", {out}));
  }
  std::string head;
  if (!ReadHead(*in, &head)) {
    return run.host.Error(WindowText(kErrInputRead, name) + ": " + SystemReason(in->Error()));
  }
  if (!run.force) {
    const std::string why = Refusal(run.command, head);
    if (!why.empty()) return run.host.Error(why);
  }
  Replayed input(std::move(head), *in);
  Converter converter(run);
  if (!converter.conversion().Prepare()) return run.host.Error(Tr(kErrMemory));
  if (into) {
    // Nothing may reach the output before the whole text is known to map: it is converted
    // into a spool of its own first, which goes however the run ends.
    char spool[kPathSize] = "";
    std::unique_ptr<File> spooled;
    if (run.fail_unmapped && IsTranscoding(run.command.id)) {
      std::string folder = TemporaryFolder();
      if (folder.back() != '/' && folder.back() != '\\') folder += '/';
      spooled = OpenTemporary(files, (folder + "spool").c_str(), spool, &error);
      if (!spooled) {
        return run.host.Error(Say("no file can be made in %s: not converted", {folder}) + ": " +
                              SystemReason(error));
      }
    }
    File& to = spooled ? *spooled : *sink;
    const LinesResult r = converter.conversion().Run(input, to);
    if (r == LinesResult::kStopped) {
      if (spool[0]) files.Remove(spool);
      return converter.TellStop(kNotWritten);
    }
    if (r != LinesResult::kDone) {
      if (spool[0]) files.Remove(spool);
      return run.host.Error(
          (r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
           : spool[0]                   ? Say("%s (the spool): write error", {spool})
                                        : Say("%s: write error", {sink_name})) +
          ": " + SystemReason(r == LinesResult::kReadError ? input.Error() : to.Error()));
    }
    if (spool[0]) {
      std::unique_ptr<File> back = files.Open(spool, OpenMode::kRead, &error);
      std::string failed;  // which side of the copy failed, and why
      if (!back) failed = Say("%s (the spool): read error", {spool}) + ": " + SystemReason(error);
      char buffer[64 * 1024];
      for (long n = 1; back && failed.empty() && n > 0;) {
        n = back->Read(buffer, sizeof buffer);
        if (n < 0) {
          failed = Say("%s (the spool): read error", {spool}) + ": " + SystemReason(back->Error());
        }
        if (n > 0 && !sink->Write(buffer, static_cast<std::size_t>(n))) {
          failed = Say("%s: write error", {sink_name}) + ": " + SystemReason(sink->Error());
        }
      }
      if (back) back->Close();
      // Closed by the conversion where there is no spool.
      if (failed.empty() && !sink->Close()) {
        failed = Say("%s: write error", {sink_name}) + ": " + SystemReason(sink->Error());
      }
      files.Remove(spool);
      if (!failed.empty()) return run.host.Error(failed);
    }
    // No notice: standard output may be where the output went under another name.
    converter.Tell(name, true);
    return;
  }
  // A file: written beside it and put in its place whole, with its owner and permissions.
  if (kind != EntryKind::kNone && files.Links(real) > 1) {
    return run.host.Error(WindowText(kErrHardLinks, out) + ": " + Tr("it has other hard links"));
  }
  char temp[kPathSize];
  std::unique_ptr<File> file = OpenTemporary(files, real, temp, &error);
  if (!file) {
    return run.host.Error(Say("%s: no file can be made beside it: not written", {out}) + ": " +
                          SystemReason(error));
  }
  auto refuse = [&](const std::string& why) {
    file->Close();
    files.Remove(temp);
    run.host.Error(why);
  };
  if (kind != EntryKind::kNone) {
    if (FileStatus st = files.KeepOwner(real, temp); !st) {
      return refuse(WindowText(kErrOwner, out) + ": " + SystemReason(st.code()));
    }
    if (FileStatus st = files.CopyPermissions(real, temp); !st) {
      return refuse(WindowText(kErrPermissions, out) + ": " + SystemReason(st.code()));
    }
  }
  const LinesResult r = converter.conversion().Run(input, *file);
  const int code = r == LinesResult::kReadError ? input.Error() : file->Error();
  if (r == LinesResult::kStopped) {
    files.Remove(temp);
    return converter.TellStop(kNotWritten);
  }
  if (r != LinesResult::kDone) {
    files.Remove(temp);
    return run.host.Error((r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
                                                        : WindowText(kErrOutputWrite, out)) +
                          ": " + SystemReason(code));
  }
  // Again, as a write clears the set-id bits.
  FileStatus st = kind != EntryKind::kNone ? files.CopyPermissions(real, temp) : FileStatus();
  if (st && run.keep_date && name != "-") st = files.CopyTimes(name.c_str(), temp);
  if (!st) {
    files.Remove(temp);
    return run.host.Error(WindowText(kErrPermissions, out) + ": " + SystemReason(st.code()));
  }
  if (FileStatus named = files.Replace(temp, real); !named) {
    files.Remove(temp);
    return run.host.Error(WindowText(kErrRename, temp, out) + ": " + SystemReason(named.code()));
  }
  if (!converter.Tell(out, true)) run.host.Notice(out, run.completion);
}

void ConvertFile(LineRun& run, const std::string& file) {
  if (run.files.Kind(file.c_str(), true) == EntryKind::kDirectory) {
    return run.host.Error(WindowText(kErrInputOpen, file) + ": " + Tr("it is a folder"));
  }
  char backup[kPathSize];
  if (!MakeBackupPath(backup, file.c_str(), "BAK", run.files.Style())) backup[0] = 0;
  Converter converter(run);
  // By what they are, not how they are spelt: ./a.BAK, a.BAK and, on Windows, A.BAK are one.
  if (run.backup == BackupMode::kSimple && backup[0] &&
      run.backups.count(run.files.Id(backup)) > 0) {
    return run.host.Error(
        Say("its backup %s was made from another file in this run: not converted "
            "(--backup=numbered keeps both)",
            {backup}));
  }
  Services services{run.host, run.files, run.rules};
  // Read once: what its first bytes look like is found on the way, and a refusal, or a stop at
  // the first sequence without a mapping (--unmapped=fail), leaves everything as it was.
  Checked checked(run, converter.conversion());
  InPlaceReport report;
  if (!ConvertInPlace(file.c_str(), checked, "", nullptr, services,
                      InPlace{run.backup, run.keep_date}, &report)) {
    if (!checked.refusal().empty()) run.host.Error(checked.refusal());
    if (checked.refusal().empty() && converter.Stopped()) converter.TellStop(kNotConverted);
    return;
  }
  if (report.unchanged) return run.host.Notice(file, Tr("nothing to convert"));
  if (report.backup[0]) run.backups.insert(run.files.Id(report.backup));
  run.host.Notice(file, report.kept[0] ? Say("%s; the older %s is kept as %s",
                                             {run.completion, report.backup, report.kept})
                                       : std::string(run.completion));
  // What the text rules leave out here is the window's way, and the backup keeps it.
  converter.Tell(file, false);
}

int ConvertFiles(const CliCommand& command, const Parsed& parsed,
                 void (*configure)(const Parsed& parsed, LineRun& run)) {
  std::vector<std::string> files = parsed.operands;
  const std::string output = parsed.Get(kOutputKey);
  if (files.empty() && !IsTerminal(0)) files.push_back("-");
  if (files.empty()) return Usage(Tr("no FILE given"));
  if (parsed.Has(kOutputKey) && files.size() != 1) return Usage(Tr("-o takes one FILE"));
  const bool windows_rules = PlatformTextRules() == TextRules::kWindows;
  const TextRules rules = parsed.Get(kEolKey, windows_rules ? "crlf" : "keep") == "crlf"
                              ? TextRules::kWindows
                              : TextRules::kBytes;
  // Never writes through a link; puts every file back under its own name when stopped.
  UndoOnStop ops(NativeFileOps(false));
  ConsoleHost host(parsed.Has(kQuietKey), [&ops] { return ops.TakeReason(); });
  const std::string done = Tr(command.done);
  const std::string backup = parsed.Get(kBackupKey, "numbered");
  LineRun run{command,
              done.c_str(),
              host,
              ops,
              output == "-" ? "" : output,
              backup == "simple" ? BackupMode::kSimple
              : backup == "none" ? BackupMode::kNone
                                 : BackupMode::kNumbered,
              parsed.Has(kForceKey),
              rules};
  run.keep_date = parsed.Has(kKeepDateKey);
  configure(parsed, run);
  bool failed = false;
  for (const std::string& file : files) {
    // Standard output carries the converted text: no notices there.
    const bool to_stdout = run.output.empty() && (file == "-" || output == "-");
    host.Begin(file, !to_stdout);
    if (file.size() >= kPathSize) {
      host.Error(
          Say("file name longer than %s bytes: not converted", {std::to_string(kPathSize - 1)}));
    } else if (file == "-") {
      ConvertStream(run, StandardStream(0), file);
    } else if (!output.empty()) {
      int error = 0;
      std::unique_ptr<File> in = ops.Open(file.c_str(), OpenMode::kRead, &error);
      ConvertStream(run, std::move(in), file, error);
    } else {
      ConvertFile(run, file);
    }
    failed |= host.ErrorShown();
    ops.Settle();
  }
  return failed ? 1 : 0;
}

}  // namespace velko
