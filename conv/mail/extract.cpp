#include "mail/extract.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codec/base64.h"
#include "codec/bytes.h"
#include "codec/jis.h"
#include "mail/mailnames.h"
#include "mail/mime.h"
#include "mail/partfile.h"
#include "text/textio.h"
#include "ports/texts.h"

namespace velko {
namespace {

// The bytes before the first NUL of the first `length`.
std::size_t TextLength(const char* text, std::size_t length) {
  const void* nul = std::memchr(text, 0, length);
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length;
}

}  // namespace

Answer DialogSink::Exists(const Part&, char*) { return host_.AskYesNoCancel(owner_, kAskOverwrite); }

WindowScan::WindowScan(const Services& sv, PartSink& sink, const char* target, FileId mail,
                       Areas& areas, const ExtractMode& mode, File* input, bool follow)
    : sv_(sv), sink_(sink), mail_(mail), a_(areas), mode_(mode),
      input_(input), follow_(follow),
      file_(new PartFile(sv, &sink, target, mail, areas.output, kOutput)) {}

WindowScan::~WindowScan() = default;

Part WindowScan::ThisPart(bool window) const {
  Part part = context;
  part.line = part_line_, part.form = form_, part.name = a_.name, part.name_has_nul = name_nul_;
  part.window = window;
  if (follow_) part.number = number_, part.made_name = a_.made, part.type = a_.type;
  if (follow_) part.slot = kSlotWindow;
  return part;
}

// A line outside a body: the window's header scan, and the part's header kept whole.
void WindowScan::Scan(const char* line, std::size_t length) {
  length = TextLength(line, length);
  const std::size_t span = Base64Span(line, length);
  // Body lines left in the mail (Base64 text only, or a blank) start no header.
  if (length > 0 && line[0] != '\n' && line[0] != '\r' &&
      (in_header_ || (span < length && line[span] > '\r'))) {
    if (!in_header_) {
      in_header_ = true, announced_ = false, part_line_ = line_;
      a_.header.length = 0, a_.header.text[0] = 0;
    }
    AddHeaderLine(a_.header, line, length);
  }
  if (ScanHeaderLine(state_.PendingName, line, length, a_.scan)) {
    state_.Base64Announced = true, announced_ = true;
  }
}

// The blank line after header lines: the window's rule, or a mail reader's, starts an
// extraction here; a part announced as Base64 that is not extracted is told to the sink.
WindowScan::Step WindowScan::BlankLine() {
  ExtractState& s = state_;
  const bool window = s.Base64Announced && s.PendingName[0] != 0;
  const bool ended = in_header_;
  in_header_ = false;
  const bool base64 = !follow_ && ended && (mode_.list ? AnnouncesBase64(a_.header) : announced_);
  if (base64 || window) form_ = DecodePartName(a_.header, sv_.files, a_.name, a_.work, &name_nul_);
  window_ = window;
  if (follow_) {  // the reading may take this part as its own before its first line
    if (window) s.Base64Announced = false, starting_ = true;
    return Step::kGoOn;
  }
  if (mode_.list) {
    if (window) s.Base64Announced = false;
    return base64 ? Start() : Step::kGoOn;
  }
  if (window) return Start();
  if (base64) sink_.Skipped(ThisPart(false), SkipReason::kNoName);
  return Step::kGoOn;
}

WindowScan::Step WindowScan::Fail(const Part& part, const char* format, const char* path,
                                  const char* other) {
  if (!sink_.Stops()) {
    sink_.Failed(part, format, path, other);
    return Step::kGoOn;
  }
  if (input_) input_->Close();
  sink_.Failed(part, format, path, other);
  return Step::kStopped;
}

// A body from the next piece on: written to the file the sink chooses, or, for --list, only
// counted.
WindowScan::Step WindowScan::Start() {
  ExtractState& s = state_;
  starting_ = false;
  if (follow_) {
    std::snprintf(number_, sizeof number_, "%s.%u", context.number, files ? ++*files : ++parts_);
    FieldToken(a_.header, "content-type", a_.type, sizeof a_.type);
    if (std::strchr(a_.type, '/') == nullptr) std::strcpy(a_.type, "text/plain");
    std::snprintf(a_.made, kPathSize, "%.300s%s%s", made_stem, number_, ExtensionOf(a_.type));
    if (form_ == NameForm::kNone) {  // the quoted name the window found, wherever it stood
      PlainName(s.PendingName, std::strlen(s.PendingName), sv_.files, a_.name, a_.work);
      form_ = NameForm::kQuoted;
    }
  }
  const Part part = ThisPart(window_);
  writing_ = false, failure_ = nullptr, ok_ = true, continued_ = false;
  if (!mode_.list) {
    s.Base64Announced = false;
    char* path = s.PendingName;
    if (follow_) std::strcpy(path, a_.name);  // a name in the encoding the reading names in
    const PartFile::Choice choice = file_->Choose(part, path);
    if (choice != PartFile::Choice::kTaken) {
      s.PendingName[0] = 0;  // its body: scanned as lines
      sink_.Skipped(part, choice == PartFile::Choice::kKept ? SkipReason::kKept
                                                            : SkipReason::kNotTaken);
      return Step::kGoOn;
    }
    failure_ = file_->Open();
    if (failure_ != nullptr) {
      file_->Drop();
      if (sink_.Stops()) return Fail(part, failure_, s.PendingName);
    }
    writing_ = failure_ == nullptr;
  }
  base64_.Reset();
  body_ = BodyOf::kOwn;
  return Step::kGoOn;
}

namespace {

struct Writer {
  PartFile* out;
  bool operator()(const unsigned char* bytes, std::size_t n) const {
    return !out || out->Write(bytes, n);
  }
};

}  // namespace

bool WindowScan::Idle() const {
  return body_ == BodyOf::kOwn && !continued_ && ok_ && base64_.idle();
}

WindowScan::Step WindowScan::BodyPiece(const char* text, std::size_t length) {
  // A line of one byte (a lone LF) or one that starts with a NUL ends the body.
  if (!continued_ && (text[0] == 0 || text[1] == 0)) return EndBody(text, length);
  // The line end goes, CR LF or a lone LF; a line without one keeps all it holds.
  const bool whole = length > 0 && text[length - 1] == '\n';
  std::size_t n = length - whole;
  if (n > 0 && text[n - 1] == '\r') --n;
  // One pass tells both whether it is Base64 text and how long it is; a NUL ends the text,
  // as it ends every string here.
  const std::size_t span = Base64Span(text, n);
  if (span < n && text[span] != 0) return EndBody(text, n);
  if (span == 0 && !continued_) return EndBody(text, n);  // the blank line after the body
  continued_ = !whole;
  if (body_ == BodyOf::kFollowed) return Step::kGoOn;
  if (ok_) ok_ = base64_.Feed(text, span, whole, Writer{writing_ ? file_.get() : nullptr});
  // A failed write ends the window's command at once; velko-cli reads the body on, counted.
  return !ok_ && sink_.Stops() ? EndBody("", 0) : Step::kGoOn;
}

WindowScan::Step WindowScan::TakeLines(LineReader& reader, unsigned long long* lines) {
  Base64Lines run;
  ok_ = TakeBase64Lines(reader, writing_ ? file_.get() : nullptr,
                        reinterpret_cast<unsigned char*>(a_.scan), MAXCHRS, kReadLimit - 1,
                        false, &run);
  base64_.Count(run);
  *lines = run.lines;
  return !ok_ && sink_.Stops() ? EndBody("", 0) : Step::kGoOn;
}

// The end of a body at `line` (`length` bytes as the window scans it then), or at the end of
// the mail (`line` null): the file finished and told, the line scanned.
WindowScan::Step WindowScan::EndBody(const char* line, std::size_t length) {
  ExtractState& s = state_;
  const BodyOf body = body_;
  body_ = BodyOf::kNone;
  const bool cut = continued_ && line == nullptr;
  continued_ = false;
  if (body == BodyOf::kOwn) {
    const Part part = ThisPart(window_);
    const bool ok = ok_ && base64_.Finish(Writer{writing_ ? file_.get() : nullptr});
    const Body decoded = {base64_.bytes(), cut, base64_.lone()};
    const char *path = s.PendingName, *other = "";
    const char* failure = failure_;
    if (writing_) {
      if (ok) {
        failure = file_->Finish(&path, &other);
      } else {
        file_->Drop();
        failure = kErrOutputWrite;
      }
    }
    if (failure != nullptr) {
      if (Fail(part, failure, path, other) == Step::kStopped) return Step::kStopped;
    } else if (writing_) {
      sink_.Written(part, s.PendingName, file_->appended(), decoded);
    } else if (mode_.list) {
      sink_.Listed(part, decoded);
    }
  }
  if (window_) s.PendingName[0] = 0;
  // The line that ended the body may be a header line of the next part.
  if (line != nullptr) Scan(line, length);
  return Step::kGoOn;
}

WindowScan::Step WindowScan::Piece(const char* piece, std::size_t length, long line) {
  line_ = line;
  if (starting_) {
    const Step step = Start();
    if (step != Step::kGoOn) return step;
  }
  if (body_ != BodyOf::kNone) return BodyPiece(piece, length);
  if (piece[0] == '\n' || piece[0] == '\r') return BlankLine();
  Scan(piece, length);
  return Step::kGoOn;
}

WindowScan::Step WindowScan::End() {
  if (starting_) {
    const Step step = Start();
    if (step != Step::kGoOn) return step;
  }
  return body_ != BodyOf::kNone ? EndBody(nullptr, 0) : Step::kGoOn;
}

void WindowScan::Abort() {
  file_->Drop();
  body_ = BodyOf::kNone, starting_ = false;
}

namespace {

constexpr std::size_t kStreamBuffer = 256 * 1024;

// All buffers of one run of the window's command, taken at its start.
struct Areas {
  char line[kReadLimit];
  char input[kStreamBuffer];
  WindowScan::Areas scan;
};

// The window's command over a whole mail: every piece its reads give to the scan.
bool Extract(File& input, const char* target, const Services& sv, const ExtractMode& mode,
             PartSink& sink, Areas& a) {
  LineReader reader(input, false, a.input, kStreamBuffer);
  WindowScan scan(sv, sink, target, input.Id(), a.scan, mode, &input, false);
  long line = 1;
  for (;;) {
    std::size_t length = 0;
    const ReadResult r = reader.ReadLine(a.line, kReadLimit, &length);
    if (r == ReadResult::kError) {
      scan.Abort();
      input.Close();
      sv.host.ShowError(nullptr, kErrInputRead, target, "");
      return false;
    }
    if (r == ReadResult::kEnd) break;
    if (scan.Piece(a.line, length, line) == WindowScan::Step::kStopped) return false;
    if (a.line[length - 1] == '\n') ++line;
    if (scan.Idle()) {  // lines one read of kReadLimit takes whole
      unsigned long long lines = 0;
      if (scan.TakeLines(reader, &lines) == WindowScan::Step::kStopped) return false;
      line += static_cast<long>(lines);
    }
  }
  if (scan.End() == WindowScan::Step::kStopped) return false;
  input.Close();
  return true;
}

}  // namespace

bool ScanHeaderLine(char* pending_name, const char* line, char* scan_area) {
  return ScanHeaderLine(pending_name, line, std::strlen(line), scan_area);
}

bool ScanHeaderLine(char* pending_name, const char* line, std::size_t length, char* scan_area) {
  length = TextLength(line, length);
  // Without an '=' there is no FILENAME=, and the encoding's line begins with its name or an
  // escape: no conversion can make either (no Shift_JIS byte of a JIS pair is '=' or a letter
  // at the start).
  const char c = length > 0 ? UpperAscii(line[0]) : 0;
  if (c != 'C' && c != 0x1B && std::memchr(line, '=', length) == nullptr) return false;
  bool direct;
  JisToSjisLine(scan_area, line, length, &direct);
  // FILENAME= where an '=' ends it: the first such '=' ends the first one.
  const char* keyword = nullptr;
  for (const char* eq = std::strchr(scan_area, '='); eq && !keyword; eq = std::strchr(eq + 1, '=')) {
    if (eq - scan_area >= 8 && EqualNoCase(eq - 8, 8, "FILENAME")) keyword = eq - 8;
  }
  if (keyword) {
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
  DialogSink dialogs(sv.host, owner);
  if (!Extract(input, target, sv, mode, sink ? *sink : dialogs, *areas)) return false;
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
