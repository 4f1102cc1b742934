#include "line_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command.h"
#include "console.h"
#include "codec/detect.h"
#include "fileops_native.h"
#include "undo.h"
#include "text/frame.h"
#include "ports/texts.h"
#include "mail/headers.h"
#include "text/transcode.h"

namespace velko {
namespace {

constexpr std::size_t kHeadSize = 64 * 1024;  // the first bytes, which tell what the input is

// A file whose first bytes were read ahead: they come first, then the rest.
class Replayed : public File {
 public:
  Replayed(std::string head, std::unique_ptr<File> rest)
      : head_(std::move(head)), rest_(std::move(rest)) {}
  long Read(void* buffer, std::size_t size) override {
    if (pos_ == head_.size()) return rest_->Read(buffer, size);
    std::size_t n = std::min(size, head_.size() - pos_);
    std::memcpy(buffer, head_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  bool Write(const void* data, std::size_t size) override { return rest_->Write(data, size); }
  bool Close() override { return rest_->Close(); }
  FileId Id() override { return rest_->Id(); }

 private:
  std::string head_;
  std::unique_ptr<File> rest_;
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
  const unsigned fits = survey.Fits(head.size() == kHeadSize);
  const char* seen = nullptr;
  const int id = command.id;
  if (id == kUtf8ToSjis || id == kUtf8ToJis) {
    seen = fits == kIso2022Jp ? N("is JIS (ISO-2022-JP), not UTF-8: not converted (--force "
                                  "converts it)")
           : fits & kShiftJis ? N("is no UTF-8 and looks like Shift_JIS: not converted (--force "
                                  "converts it)")
           : fits & kEucJp    ? N("is no UTF-8 and looks like EUC-JP: not converted (--force "
                                  "converts it)")
           : fits == kBinary  ? N("is no UTF-8 text: not converted (--force converts it)")
                              : nullptr;
  } else if (command.sjis_input) {
    if (fits == kUtf8)
      seen = N("looks like UTF-8, not Shift_JIS: not converted (--force converts it)");
    if (fits == kEucJp)
      seen = N("looks like EUC-JP, not Shift_JIS: not converted (--force converts it)");
    if (fits == (kEucJp | kShiftJis)) {
      seen =
          N("looks like EUC-JP (or Shift_JIS of half-width kana alone): not converted (--force "
            "converts it)");
    }
    // A second run, or VELKO's own output: JIS escapes, and no Shift_JIS character.
    if ((id == BTN_SJTOJIS || id == kSjisToUtf8) && fits == kIso2022Jp) {
      seen = id == kSjisToUtf8 ? N("is JIS (ISO-2022-JP), not Shift_JIS: not converted (jis2utf8 "
                                   "converts it; --force converts it as Shift_JIS)")
                               : N("is JIS already: not converted (--force converts it)");
    }
  } else if ((id == BTN_JISTOSJ || id == kJisToUtf8) &&
             (fits & (kShiftJis | kEucJp | kUtf8)) != 0) {
    seen = fits == kUtf8    ? N("has no JIS escape sequence and looks like UTF-8: not converted "
                                   "(--force converts it)")
           : fits == kEucJp ? N("has no JIS escape sequence and looks like EUC-JP: not converted "
                                "(--force converts it)")
           : id == kJisToUtf8
               ? N("has no JIS escape sequence and looks like Shift_JIS: not converted "
                   "(sjis2utf8 converts it; --force converts it as JIS)")
               : N("has no JIS escape sequence and looks like Shift_JIS already: not "
                   "converted (--force converts it)");
  }
  return seen ? Tr(seen) : "";
}

// A file that takes every byte and keeps none: a trial run's output.
class Discarded : public File {
 public:
  long Read(void*, std::size_t) override { return -1; }
  bool Write(const void*, std::size_t) override { return true; }
  bool Close() override { return true; }
};

// The name of the target encoding, as messages give it.
const char* FormName(Form form) {
  return form == Form::kUtf8 ? "UTF-8" : form == Form::kJis ? "JIS" : "Shift_JIS";
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
    host.Error(Say(
        "byte %s: a NUL ends its line's text; the rest of that line is dropped (%s lines in all)",
        {std::to_string(lost.first_nul), std::to_string(lost.nul_cuts)}));
  }
  return lost.text_end != kNowhere || lost.ctrl_z > 0 || lost.nul_cuts > 0;
}

// What has no mapping, each where it is, up to the report's limit.
void TellUnmapped(ConsoleHost& host, const TranscodeReport& report, Form to) {
  const unsigned long long shown =
      report.unmapped < TranscodeReport::kShown ? report.unmapped : TranscodeReport::kShown;
  for (unsigned long long i = 0; i < shown; ++i) {
    const Unmapped& u = report.shown[i];
    const std::string line = std::to_string(u.line), column = std::to_string(u.column);
    const std::string bytes = Hex(u.bytes, u.length);
    if (u.character != kNoCharacter) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u.character));
      host.Error(Say("line %s, column %s: %s %s has no %s code",
                     {line, column, code,
                      std::string(reinterpret_cast<const char*>(u.bytes), u.length),
                      FormName(to)}));
    } else if (to == Form::kUtf8) {
      host.Error(Say("line %s, column %s: bytes %s stand for no character", {line, column, bytes}));
    } else {
      host.Error(Say("line %s, column %s: bytes %s are no UTF-8", {line, column, bytes}));
    }
  }
  if (report.unmapped > shown) {
    host.Error(Say("and %s more", {std::to_string(report.unmapped - shown)}));
  }
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
  unsigned long long Unmapped() const { return transcoding_ ? transcoding_->report().unmapped : 0; }

  // Tells what the run could not keep, as errors, and what its user should know of the
  // result, as warnings; true when anything was lost. `text_rules`: what the text rules left
  // out counts, as it does where no backup keeps it.
  bool Tell(const std::string& about, bool text_rules) {
    ConsoleHost& host = run_.host;
    if (headers_) {
      const HeaderCounts& c = headers_->counts();
      const std::string line = std::to_string(headers_->first_line());
      if (c.kept > 0) {
        host.Error(Say("%s encoded words in a charset not known here are left as they are, "
                       "first on line %s",
                       {std::to_string(c.kept), line}));
      }
      if (c.lost > 0) {
        host.Error(Say("%s characters have no code in the output, written as '?' or U+FFFD, "
                       "first on line %s",
                       {std::to_string(c.lost), line}));
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
      host.Warn(about, Say("%s characters are written as codes of the Windows vendor rows or "
                           "the PC-98 ruled lines, which strict JIS decoders refuse, first on "
                           "line %s",
                           {std::to_string(report.vendor),
                            std::to_string(report.first_vendor_line)}));
    }
    if (report.unmapped == 0) return false;
    TellUnmapped(host, report, run_.transcode.to);
    host.Error(Say(run_.transcode.to == Form::kUtf8 ? N("%s without a mapping, written as U+FFFD")
                                                    : N("%s without a mapping, written as '?'"),
                   {std::to_string(report.unmapped)}));
    return true;
  }

  // With --unmapped=fail: a trial run of `in` that finds nothing without a mapping; else
  // what has none is told, and `not_done` after it.
  bool Clean(File& in, const std::string& name, const char* not_done) {
    if (!run_.fail_unmapped || !transcoding_) return true;
    Discarded nowhere;
    if (transcoding_->Run(in, nowhere) != LinesResult::kDone) {
      run_.host.Error(WindowText(kErrInputRead, name) + ": " + SystemReason(LastSystemError()));
      return false;
    }
    if (Unmapped() == 0) return true;
    TellUnmapped(run_.host, transcoding_->report(), run_.transcode.to);
    run_.host.Error(Say(not_done, {std::to_string(Unmapped())}));
    return false;
  }

 private:
  const LineRun& run_;
  std::unique_ptr<LineConversion> lines_;
  std::unique_ptr<Transcoding> transcoding_;
  std::unique_ptr<HeaderDecoding> headers_;
};

constexpr const char* kNotConverted =
    N("%s without a mapping: not converted (--unmapped=fail)");
constexpr const char* kNotWritten = N("%s without a mapping: nothing written (--unmapped=fail)");

// The folder `path` names a file in, as ListFolder takes it.
std::string FolderOf(const char* path, PathStyle style) {
  const std::size_t n = FinalComponent(path, style);
  return n == 0 ? std::string(".") : std::string(path, n);
}

// Copies `from` to `to` whole; false on a failure of either.
bool CopyFile(File& from, File& to) {
  char buffer[64 * 1024];
  for (long n; (n = from.Read(buffer, sizeof buffer)) != 0;) {
    if (n < 0 || !to.Write(buffer, static_cast<std::size_t>(n))) return false;
  }
  return true;
}

}  // namespace

void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name) {
  if (!in) {
    const bool exists = run.files.Exists(name.c_str());
    return run.host.Error(WindowText(exists ? kErrInputOpen : kErrNoInput, name) +
                          run.host.Reason());
  }
  const std::string& out = run.output;
  const FileId in_id = in->Id();
  std::unique_ptr<File> stdout_file = out.empty() ? StandardStream(1) : nullptr;
  // Reading a file while writing it would read what was written: without end, or with the
  // input gone before it was read.
  if (out.empty() ? in_id == stdout_file->Id() : in_id == run.files.Id(out.c_str())) {
    return run.host.Error(out.empty() ? Say("standard output is this file too: not converted")
                                      : Say("%s is this file itself: not converted", {out}));
  }
  std::string head;
  if (!ReadHead(*in, &head)) {
    return run.host.Error(WindowText(kErrInputRead, name) + ": " + SystemReason(LastSystemError()));
  }
  if (!run.force) {
    const std::string why = Refusal(run.command, head);
    if (!why.empty()) return run.host.Error(why);
  }
  Replayed input(std::move(head), std::move(in));
  Converter converter(run);
  if (!converter.conversion().Prepare()) return run.host.Error(Tr(kErrMemory));
  if (out.empty()) {
    // Nothing may reach standard output before the whole text is known to map: it is
    // converted into a file of its own first.
    char spool[kPathSize] = "";
    std::unique_ptr<File> spooled;
    if (run.fail_unmapped && IsTranscoding(run.command.id)) {
      std::string folder = TemporaryFolder();
      if (folder.back() != '/' && folder.back() != '\\') folder += '/';
      spooled = OpenTemporary(run.files, (folder + "spool").c_str(), spool);
      if (!spooled) {
        return run.host.Error(Say("no file can be made in %s: not converted", {folder}) +
                              run.host.Reason());
      }
    }
    const LinesResult r = converter.conversion().Run(input, spooled ? *spooled : *stdout_file);
    if (r != LinesResult::kDone) {
      const std::string reason = SystemReason(LastSystemError());
      if (spool[0]) run.files.Remove(spool);
      return run.host.Error((r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
                                                          : Tr("standard output: write error")) +
                            ": " + reason);
    }
    if (spool[0]) {
      std::unique_ptr<File> back =
          converter.Unmapped() == 0 ? run.files.Open(spool, OpenMode::kRead) : nullptr;
      const bool copied = back && CopyFile(*back, *stdout_file);
      if (back) back->Close();
      run.files.Remove(spool);
      if (converter.Unmapped() > 0) {
        TellUnmapped(run.host, static_cast<Transcoding&>(converter.conversion()).report(),
                     run.transcode.to);
        return run.host.Error(Say(kNotWritten, {std::to_string(converter.Unmapped())}));
      }
      if (!copied) {
        return run.host.Error(std::string(Tr("standard output: write error")) + ": " +
                              SystemReason(LastSystemError()));
      }
    }
    converter.Tell(name, true);
    return;
  }
  if (run.files.Exists(out.c_str()) && run.files.Kind(out.c_str(), true) != EntryKind::kRegular) {
    return run.host.Error(Say("%s: not a regular file: not written", {out}));
  }
  char temp[kPathSize];
  std::unique_ptr<File> file = OpenTemporary(run.files, out.c_str(), temp);
  if (!file) {
    return run.host.Error(Say("%s: no file can be made beside it: not written", {out}) +
                          run.host.Reason());
  }
  if (run.files.Exists(out.c_str()) && !run.files.CopyPermissions(out.c_str(), temp)) {
    file->Close();
    run.files.Remove(temp);
    return run.host.Error(WindowText(kErrPermissions, out) + run.host.Reason());
  }
  LinesResult r = converter.conversion().Run(input, *file);
  const int code = LastSystemError();
  if (r == LinesResult::kDone && run.fail_unmapped && converter.Unmapped() > 0) {
    run.files.Remove(temp);
    TellUnmapped(run.host, static_cast<Transcoding&>(converter.conversion()).report(),
                 run.transcode.to);
    return run.host.Error(Say(kNotWritten, {std::to_string(converter.Unmapped())}));
  }
  if (r != LinesResult::kDone || !run.files.Replace(temp, out.c_str())) {
    const std::string reason =
        r == LinesResult::kDone ? run.host.Reason() : ": " + SystemReason(code);
    run.files.Remove(temp);
    return run.host.Error((r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
                                                        : WindowText(kErrOutputWrite, out)) +
                          reason);
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
  if (run.files.Kind(file.c_str(), true) == EntryKind::kRegular) {
    std::string head;
    std::unique_ptr<File> in = run.files.Open(file.c_str(), OpenMode::kRead);
    const std::string why =
        !run.force && in && ReadHead(*in, &head) ? Refusal(run.command, head) : "";
    if (!why.empty()) return run.host.Error(why);
    if (in) in->Close();
    // With --unmapped=fail, a trial run first: the file stays as it is unless all maps.
    if (run.fail_unmapped && IsTranscoding(run.command.id)) {
      if (!converter.conversion().Prepare()) return run.host.Error(Tr(kErrMemory));
      in = run.files.Open(file.c_str(), OpenMode::kRead);
      if (in && !converter.Clean(*in, file, kNotConverted)) return;
    }
  }
  // By what they are, not how they are spelt: ./a.BAK, a.BAK and, on Windows, A.BAK are one.
  if (!run.numbered && backup[0] && run.backups.count(run.files.Id(backup)) > 0) {
    return run.host.Error(
        Say("its backup %s was made from another file in this run: not converted "
            "(--backup=numbered keeps both)",
            {backup}));
  }
  if (run.numbered && backup[0] && run.files.Exists(backup) &&
      !run.files.SameFile(backup, file.c_str())) {
    if (run.files.Kind(backup, false) != EntryKind::kRegular) {
      return run.host.Error(Say("%s is not a regular file: not converted", {backup}));
    }
    // The old backup is kept as BAK.~N~, N one above the highest there; the frame then finds
    // none.
    const std::string base = backup + FinalComponent(backup, run.files.Style());
    unsigned long highest = 0;
    run.files.ListFolder(FolderOf(backup, run.files.Style()).c_str(), [&](const char* name) {
      const std::size_t n = std::strlen(name);
      if (n > base.size() + 3 && std::strncmp(name, (base + ".~").c_str(), base.size() + 2) == 0 &&
          name[n - 1] == '~' && name[base.size() + 2] >= '0' && name[base.size() + 2] <= '9') {
        char* end = nullptr;
        const unsigned long number = std::strtoul(name + base.size() + 2, &end, 10);
        if (end == name + n - 1 && number > highest) highest = number;
      }
    });
    const std::string kept = std::string(backup) + ".~" + std::to_string(highest + 1) + "~";
    if (!run.files.RenameNoReplace(backup, kept.c_str())) {
      return run.host.Error(WindowText(kErrRename, backup, kept) + run.host.Reason());
    }
  }
  Services services{run.host, run.files, run.rules};
  if (ConvertInPlace(file.c_str(), converter.conversion(), run.completion, nullptr, services)) {
    if (backup[0]) run.backups.insert(run.files.Id(backup));
    // What the text rules leave out here is the window's way, and the backup keeps it.
    converter.Tell(file, false);
  }
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
  LineRun run{command,
              done.c_str(),
              host,
              ops,
              output == "-" ? "" : output,
              parsed.Get(kBackupKey) == "numbered",
              parsed.Has(kForceKey),
              rules};
  configure(parsed, run);
  bool failed = false;
  for (const std::string& file : files) {
    // Standard output carries the converted text: no notices there.
    const bool to_stdout = run.output.empty() && (file == "-" || output == "-");
    host.Begin(file, !to_stdout);
    if (file.size() >= kPathSize) {
      host.Error(Say("file name longer than %s bytes: not converted",
                     {std::to_string(kPathSize - 1)}));
    } else if (file == "-") {
      ConvertStream(run, StandardStream(0), file);
    } else if (!output.empty()) {
      ConvertStream(run, ops.Open(file.c_str(), OpenMode::kRead), file);
    } else {
      ConvertFile(run, file);
    }
    failed |= host.ErrorShown();
    ops.Settle();
  }
  return failed ? 1 : 0;
}

}  // namespace velko
