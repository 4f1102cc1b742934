#include "mail/extract.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codec/base64.h"
#include "codec/bytes.h"
#include "codec/jis.h"
#include "mail/mailnames.h"
#include "mail/partfile.h"
#include "text/textio.h"
#include "ports/texts.h"

namespace velko {
namespace {

constexpr std::size_t kStreamBuffer = 256 * 1024;

// All buffers of one run, taken at its start.
struct Areas {
  char line[MAXCHRS];
  char scan[MAXCHRS];
  char input[kStreamBuffer];
  char output[kStreamBuffer];
  PartHeader header;  // the part's header lines, as a mail reader takes them
  char name[kPathSize];
  char work[kNameWork];
};

enum class Outcome { kDone, kStopped };

class Extraction {
 public:
  Extraction(const char* target, Owner owner, const Services& sv, Areas& areas, File& input,
             const ExtractMode& mode, PartSink* sink)
      : target_(target),
        owner_(owner),
        sv_(sv),
        a_(areas),
        input_(input),
        mode_(mode),
        sink_(sink),
        mail_id_(input.Id()),
        reader_(input, false, areas.input, kStreamBuffer) {}

  // True when the end of the mail was reached; the input is closed either way.
  bool Run();

 private:
  // Reads one line into the line area; false at the end of the file. A read failure is
  // reported (the input closed first) and sets stopped_.
  bool ReadLine(std::size_t* length);
  // A line outside a body: the window's header scan, and the part's header kept whole.
  void Scan(const char* line);
  Outcome BlankLine();
  Outcome ExtractOne(bool window);
  // The failure of the part being written: the window's error box, which ends the command
  // (kStopped), or a sink's report, after which the next part follows.
  Outcome Fail(const Part& part, const char* format, const char* path, const char* other = "");
  Part ThisPart(bool window) const { return {part_line_, form_, a_.name, name_nul_, window}; }
  void Report(SkipReason reason) {
    if (sink_) sink_->Skipped(ThisPart(false), reason);
  }

  const char* target_;
  Owner owner_;
  const Services& sv_;
  Areas& a_;
  File& input_;
  const ExtractMode& mode_;
  PartSink* sink_;
  FileId mail_id_;
  LineReader reader_;
  ExtractState state_{};
  bool stopped_ = false;
  Base64Pieces base64_;
  long line_ = 0, next_line_ = 1;  // the line just read, and the next one
  long part_line_ = 0;             // where the header lines now kept began
  bool in_header_ = false;         // header lines are being kept
  bool announced_ = false;         // they announced Base64 to the window's scan
  NameForm form_ = NameForm::kNone;
  bool name_nul_ = false;  // the name as decoded held a NUL
};

bool Extraction::ReadLine(std::size_t* length) {
  ReadResult r = reader_.ReadLine(a_.line, kReadLimit, length);
  if (r == ReadResult::kError) {
    input_.Close();
    sv_.host.ShowFailure(owner_, Fault(Failure::kInputRead, target_, input_.Error()));
    stopped_ = true;
  }
  line_ = next_line_;
  if (r == ReadResult::kLine && a_.line[*length - 1] == '\n') ++next_line_;
  return r == ReadResult::kLine;
}

void Extraction::Scan(const char* line) {
  // Body lines left in the mail (Base64 text only, or a blank) start no header.
  if (line[0] != '\n' && line[0] != '\r' &&
      (in_header_ || line[Base64Span(line, std::strlen(line))] > '\r')) {
    if (!in_header_) {
      in_header_ = true, announced_ = false, part_line_ = line_;
      a_.header.length = 0, a_.header.text[0] = 0;
    }
    AddHeaderLine(a_.header, line);
  }
  if (ScanHeaderLine(state_.PendingName, line, a_.scan)) {
    state_.Base64Announced = true, announced_ = true;
  }
}

// The blank line after header lines: the window's rule, or a mail reader's, starts an
// extraction here; a part announced as Base64 that is not extracted is told to the sink.
Outcome Extraction::BlankLine() {
  ExtractState& s = state_;
  const bool window = s.Base64Announced && s.PendingName[0] != 0;
  const bool ended = in_header_;
  in_header_ = false;
  const bool base64 = ended && (mode_.list ? AnnouncesBase64(a_.header) : announced_);
  if (base64 || window) form_ = DecodePartName(a_.header, sv_.files, a_.name, a_.work, &name_nul_);
  if (mode_.list) {
    if (window) s.Base64Announced = false;
    return base64 ? ExtractOne(window) : Outcome::kDone;
  }
  if (window) return ExtractOne(true);
  if (base64) Report(SkipReason::kNoName);
  return Outcome::kDone;
}

Outcome Extraction::Fail(const Part& part, const char* format, const char* path,
                         const char* other) {
  if (sink_) {
    sink_->Failed(part, format, path, other);
    return Outcome::kDone;
  }
  input_.Close();
  sv_.host.ShowError(owner_, format, path, other);
  return Outcome::kStopped;
}

// One body, from the line after the blank one: written to the file the host chooses, or, for
// --list, only counted (`window`: the window's rules would extract it).
Outcome Extraction::ExtractOne(bool window) {
  ExtractState& s = state_;
  const Part part = ThisPart(window);
  PartFile file(sv_, owner_, sink_, target_, mail_id_, a_.output, kStreamBuffer);
  bool writing = false;
  const char* failure = nullptr;  // the part's; a sink's body is still read, and only counted
  if (!mode_.list) {
    s.Base64Announced = false;
    const PartFile::Choice choice = file.Choose(part, s.PendingName);
    if (choice != PartFile::Choice::kTaken) {
      s.PendingName[0] = 0;  // its body: scanned as lines
      Report(choice == PartFile::Choice::kKept ? SkipReason::kKept : SkipReason::kNotTaken);
      return Outcome::kDone;
    }
    failure = file.Open();
    if (failure != nullptr) {
      file.Drop();
      if (!sink_) return Fail(part, failure, s.PendingName);
    }
    writing = failure == nullptr;
  }
  PartFile* out = writing ? &file : nullptr;
  // Bytes go to the file, or (none to write, or a write failed) are only counted.
  auto emit = [&out](const unsigned char* bytes, std::size_t n) {
    return !out || out->Write(bytes, n);
  };
  base64_.Reset();
  bool continued = false;  // the last read ended inside a line (the read limit cut it)
  bool ok = true;
  std::size_t length = 0;
  for (;;) {
    if (!ReadLine(&length)) {
      if (stopped_) return Outcome::kStopped;  // the file dropped with `file`
      a_.line[0] = 0;
      break;
    }
    char* text = a_.line;
    // A line of one byte (a lone LF) or one that starts with a NUL ends the body.
    if (!continued && (text[0] == 0 || text[1] == 0)) break;
    // The line end goes, CR LF or a lone LF; a line without one keeps all it holds.
    bool whole = length > 0 && text[length - 1] == '\n';
    if (whole) text[--length] = 0;
    if (length > 0 && text[length - 1] == '\r') text[--length] = 0;
    // One pass tells both whether it is Base64 text and how long it is; a NUL ends the
    // text, as it ends every string here.
    std::size_t span = Base64Span(text, length);
    if (text[span] != 0) break;
    length = span;
    if (length == 0 && !continued) break;  // the blank line after the body
    continued = !whole;
    if (ok) ok = base64_.Feed(text, length, whole, emit);
    if (ok && whole && base64_.idle()) {  // lines one read of kReadLimit takes whole
      Base64Lines run;
      ok = TakeBase64Lines(reader_, out, reinterpret_cast<unsigned char*>(a_.scan), MAXCHRS,
                           kReadLimit - 1, base64_, &run);
      next_line_ += static_cast<long>(run.lines);
      line_ = next_line_ - 1;
    }
    if (!ok && !sink_) break;
    if (!ok) out = nullptr;  // the rest only counted: it is the next part's no more
  }
  // The mail ended inside a line: what came is kept, and said.
  const bool cut = continued && a_.line[0] == 0;
  if (!ok) out = nullptr;
  ok = base64_.Finish(emit) && ok;
  const Body body = {base64_.bytes(), cut, base64_.lone()};
  const char *path = s.PendingName, *other = "";
  if (writing) {
    if (ok) {
      failure = file.Finish(&path, &other);
    } else {
      file.Drop();
      failure = kErrOutputWrite;
    }
  }
  if (failure != nullptr) {
    if (Fail(part, failure, path, other) == Outcome::kStopped) return Outcome::kStopped;
  } else if (writing && sink_) {
    sink_->Written(part, s.PendingName, file.appended(), body);
  } else if (!writing && mode_.list && sink_) {
    sink_->Listed(part, body);
  }
  if (window) s.PendingName[0] = 0;
  // The line that ended the body may be a header line of the next part.
  Scan(a_.line);
  return Outcome::kDone;
}

bool Extraction::Run() {
  ExtractState& s = state_;
  s.PendingName[0] = 0;
  s.Base64Announced = false;
  std::size_t length = 0;
  while (ReadLine(&length)) {
    const char* line = a_.line;
    if (line[0] == '\n' || line[0] == '\r') {
      if (BlankLine() == Outcome::kStopped) return false;
    } else {
      Scan(line);
    }
  }
  if (stopped_) return false;
  input_.Close();
  return true;
}

}  // namespace

bool ScanHeaderLine(char* pending_name, const char* line, char* scan_area) {
  bool direct;
  JisToSjisLine(scan_area, line, std::strlen(line), &direct);
  if (const char* keyword = FindNoCase(scan_area, "FILENAME=")) {
    const char* open = std::strchr(keyword, '"');
    const char* close = open ? std::strchr(open + 1, '"') : nullptr;
    if (close) {
      // A name too long for the buffer is cut, never in the middle of a character.
      std::size_t n = 0;
      const char* name = open + 1;
      std::size_t length = static_cast<std::size_t>(close - name);
      while (n < length) {
        std::size_t step = IsSjisLeadByte(static_cast<unsigned char>(name[n])) ? 2 : 1;
        if (n + step > length || n + step > kPathSize - 1) break;
        n += step;
      }
      std::memcpy(pending_name, name, n);
      pending_name[n] = 0;
    }
    return false;
  }
  return StartsWithNoCase(scan_area, "CONTENT-TRANSFER-ENCODING:") &&
         FindNoCase(scan_area, "BASE64") != nullptr;
}

void UpperCaseChosenPath(char* path, PathStyle style) {
  std::size_t i = 0;
  if (style == PathStyle::kPosix) {
    if (const char* slash = std::strrchr(path, '/')) i = slash + 1 - path;
  }
  while (path[i] != 0) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (NamesInSjis(style) && IsSjisLeadByte(c) && path[i + 1] != 0) {
      i += 2;  // a second byte is part of a character, not a letter
      continue;
    }
    path[i] = UpperAscii(path[i]);
    ++i;
  }
}

bool ExtractAttachmentsFrom(File& input, const char* target, const char* completion, Owner owner,
                            const Services& sv, const ExtractMode& mode, PartSink* sink) {
  std::unique_ptr<Areas> areas(new (std::nothrow) Areas);
  if (!areas) {
    input.Close();
    sv.host.ShowFailure(owner, Fault(Failure::kMemory, ""));
    return false;
  }
  if (!Extraction(target, owner, sv, *areas, input, mode, sink).Run()) return false;
  sv.host.ShowMessage(owner, completion);
  return true;
}

bool ExtractAttachments(const char* target, const char* completion, Owner owner, const Services& sv,
                        const ExtractMode& mode, PartSink* sink) {
  if (!FileExists(sv.files, target)) {
    return sv.host.ShowFailure(owner, Fault(Failure::kNoInput, target)), false;
  }
  int error = 0;
  std::unique_ptr<File> input = sv.files.Open(target, OpenMode::kRead, &error);
  if (!input) return sv.host.ShowFailure(owner, Fault(Failure::kInputOpen, target, error)), false;
  return ExtractAttachmentsFrom(*input, target, completion, owner, sv, mode, sink);
}

}  // namespace velko
