#include "line_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command.h"
#include "console.h"
#include "detect.h"
#include "fileops_native.h"
#include "frame.h"
#include "texts.h"

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
std::string Refusal(const LineCommand& command, const std::string& head) {
  ByteSurvey survey;
  survey.Add(reinterpret_cast<const unsigned char*>(head.data()), head.size());
  const unsigned fits = survey.Fits(head.size() == kHeadSize);
  const char* seen = nullptr;
  if (command.sjis_input) {
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
    if (command.id == BTN_SJTOJIS && fits == kIso2022Jp) {
      seen = N("is JIS already: not converted (--force converts it)");
    }
  } else if (command.id == BTN_JISTOSJ && (fits & (kShiftJis | kEucJp | kUtf8)) != 0) {
    seen = fits == kUtf8    ? N("has no JIS escape sequence and looks like UTF-8: not converted "
                                   "(--force converts it)")
           : fits == kEucJp ? N("has no JIS escape sequence and looks like EUC-JP: not converted "
                                "(--force converts it)")
                            : N("has no JIS escape sequence and looks like Shift_JIS already: not "
                                "converted (--force converts it)");
  }
  return seen ? Tr(seen) : "";
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

// The folder `path` names a file in, as ListFolder takes it.
std::string FolderOf(const char* path, PathStyle style) {
  const std::size_t n = FinalComponent(path, style);
  return n == 0 ? std::string(".") : std::string(path, n);
}

}  // namespace

void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name) {
  const LineStep& step = *LineStepFor(run.command.id);
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
  std::unique_ptr<char[]> buffers = LineBuffers(step);
  if (!buffers) return run.host.Error(Tr(kErrMemory));
  Losses lost;
  if (out.empty()) {
    const LinesResult r = ConvertLines(input, *stdout_file, step, buffers.get(), run.rules, &lost);
    if (r != LinesResult::kDone) {
      const std::string reason = SystemReason(LastSystemError());
      run.host.Error((r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
                                                   : Tr("standard output: write error")) +
                     ": " + reason);
    }
    TellLosses(run.host, lost);
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
  LinesResult r = ConvertLines(input, *file, step, buffers.get(), run.rules, &lost);
  const int code = LastSystemError();
  if (r != LinesResult::kDone || !run.files.Replace(temp, out.c_str())) {
    const std::string reason =
        r == LinesResult::kDone ? run.host.Reason() : ": " + SystemReason(code);
    run.files.Remove(temp);
    return run.host.Error((r == LinesResult::kReadError ? WindowText(kErrInputRead, name)
                                                        : WindowText(kErrOutputWrite, out)) +
                          reason);
  }
  if (!TellLosses(run.host, lost)) run.host.Notice(out, run.completion);
}

void ConvertFile(LineRun& run, const std::string& file) {
  if (run.files.Kind(file.c_str(), true) == EntryKind::kDirectory) {
    return run.host.Error(WindowText(kErrInputOpen, file) + ": " + Tr("it is a folder"));
  }
  char backup[kPathSize];
  if (!MakeBackupPath(backup, file.c_str(), "BAK", run.files.Style())) backup[0] = 0;
  if (!run.force && run.files.Kind(file.c_str(), true) == EntryKind::kRegular) {
    std::string head;
    std::unique_ptr<File> in = run.files.Open(file.c_str(), OpenMode::kRead);
    const std::string why = in && ReadHead(*in, &head) ? Refusal(run.command, head) : "";
    if (!why.empty()) return run.host.Error(why);
  }
  // By what they are, not how they are spelt: ./a.BAK, a.BAK and, on Windows, A.BAK are one.
  for (const std::string& made : run.backups) {
    if (!run.numbered && backup[0] && run.files.SameFile(backup, made.c_str())) {
      return run.host.Error(
          Say("its backup %s was made from another file in this run: not converted "
              "(--backup=numbered keeps both)",
              {backup}));
    }
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
  const LineStep& step = *LineStepFor(run.command.id);
  if (ConvertInPlace(file.c_str(), step, run.completion, nullptr, services) && backup[0]) {
    run.backups.push_back(backup);
  }
}

}  // namespace velko
