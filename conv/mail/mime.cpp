#include "mail/mime.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/base64_groups.h"
#include "codec/bytes.h"
#include "mail/headers.h"
#include "mail/mailnames.h"
#include "mail/partfile.h"
#include "mail/transfer.h"
#include "text/textio.h"
#include "ports/texts.h"

namespace velko {
namespace {

constexpr std::size_t kStream = 256 * 1024;
constexpr int kMaxDepth = 100;          // multiparts and forwarded mails in one another
constexpr std::size_t kBoundary = 71;   // RFC 2046: at most 70 characters
constexpr std::size_t kField = 1024;    // a date, subject or sender as kept
constexpr std::size_t kToken = 128;
constexpr std::size_t kNumber = 64;
constexpr std::size_t kHeld = 1 << 20;  // a uuencoded part's text kept while its "begin" is sought

// All buffers of one run, taken at its start.
struct Areas {
  char line[kReadLimit];  // one piece, as the window's reads give them
  char raw[kReadLimit];   // the same before an mbox's quoting was taken off
  unsigned char decoded[kReadLimit];
  char input[kStream + 1];
  char output[kStream];
  PartHeader header;
  char name[kPathSize];
  char path[kPathSize];
  char made[kPathSize];
  char stem[kPathSize];
  char work[kNameWork];
  char boundaries[kMaxDepth][kBoundary + 1];
  char date[kField], subject[kField], from[kField];
  char type[kToken], encoding[kToken], disposition[kToken], number[kNumber];
  WindowScan::Areas scan;
};

enum class Kind { kText, kBoundary, kClose, kFrom, kEnd };
enum class Coding { kRaw, kBase64, kQuotedPrintable, kUuencode };

// A header line as Python's feedparser tells one: a field name (possibly empty) and a colon,
// or an mbox's "From " line.
bool IsHeaderLine(const char* s, std::size_t n) {
  if (n >= 5 && std::memcmp(s, "From ", 5) == 0) return true;
  std::size_t i = 0;
  while (i < n && s[i] > ' ' && s[i] < 0x7F && s[i] != ':') ++i;
  return i < n && s[i] == ':';
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line's end held back until the next line shows whether it belongs to the data (RFC 2046:
// the one before a boundary is the boundary's).
struct HeldEnd {
  char bytes[3] = "";
  void Hold(const char* end) { std::memcpy(bytes, end, std::strlen(end) + 1); }
  std::size_t size() const { return std::strlen(bytes); }
};

// Bytes out of a decoder, to the part's file, counted.
struct Sink {
  PartFile* file;
  bool ok;
  static bool Take(void* context, const unsigned char* bytes, std::size_t n) {
    Sink& s = *static_cast<Sink*>(context);
    if (s.file && s.ok) s.ok = s.file->Write(bytes, n);
    return true;
  }
};

// A forwarded mail saved whole while its own parts are read.
struct Forwarded {
  std::unique_ptr<char[]> buffer;
  std::unique_ptr<PartFile> file;
  Part part{};
  std::string name, number, made, encoding;
  char path[kPathSize] = "";
  PartFile::Choice choice = PartFile::Choice::kNotTaken;
  const char* failure = nullptr;
  bool writing = false, ok = true, skipped = false;
  int level = 0;  // multiparts open around it: their boundaries end it, its own are its text
  unsigned long long bytes = 0;
  HeldEnd held;
};

class Walk {
 public:
  Walk(File& input, const char* target, const Services& sv, const ArchiveMode& mode,
       PartSink& sink, Areas& a)
      : input_(input), target_(target), sv_(sv), mode_(mode), sink_(sink), a_(a),
        mail_id_(input.Id()), reader_(input, false, a.input, kStream + 1),
        text_(Charset::kUtf8), list_{mode.list},
        shadow_(sv, sink, target, mail_id_, a.scan, list_, nullptr, true) {}

  bool Run(unsigned long* messages);

 private:
  void Next();
  void Classify();
  void FeedWindow();
  void ToForwarded(const char* text, std::size_t n, const char* end);
  bool ReadHeader();
  void Entity(int nest, const char* default_type);
  void Message(int nest);
  void ForwardedMail(int nest);
  void Leaf(bool flat);
  void FlatScan();
  void Attachment(Coding coding, NameForm form, bool nul, bool flat);
  bool DataEnds() const;
  bool KeepLastEnd() const;
  bool BodyLine() const { return kind_ == Kind::kText; }
  bool Blank() const { return starts_ && n_ == 0 && end_[0] != 0; }
  void DecodedField(const char* field, char* out);
  void Fields();
  Part MakePart(NameForm form, bool nul) const;
  void Report(const Part& part, PartFile& file, PartFile::Choice choice, const char* failure,
              bool writing, bool ok, const Body& body, bool skipped, const char* path);
  void Number();

  File& input_;
  const char* target_;
  const Services& sv_;
  const ArchiveMode& mode_;
  PartSink& sink_;
  Areas& a_;
  FileId mail_id_;
  LineReader reader_;
  HeaderText text_;
  ExtractMode list_;
  WindowScan shadow_;
  // The piece just read: its kind, its text without its end, whether it begins a line.
  Kind kind_ = Kind::kEnd;
  std::size_t n_ = 0, raw_length_ = 0;
  char end_[3] = "";
  bool starts_ = true, open_ = false;  // open_: the last read ended inside a line
  bool fed_ = true;                   // the window's scan has had it
  bool raw_ = false;                  // a_.raw holds it as it stood
  bool last_blank_ = false;           // the piece before it was a blank line
  bool after_lines_ = false;          // whole lines were taken after it, at once
  bool ended_in_line_ = false;        // the mail ended inside a line
  int level_ = 0;                     // of the boundary it is
  long number_ = 0;                   // its line number
  bool mbox_ = false, failed_ = false, unquoted_ = false;
  int depth_ = 0;          // multiparts open
  int message_depth_ = 0;  // multiparts open where the message being read began
  unsigned long message_ = 0;
  std::string prefix_;     // the numbers of the forwarded mails the parts stand in: "3."
  unsigned leaves_ = 0;    // parts numbered in the message being read
  unsigned files_ = 0;     // files found in the part being read (uuencoded, the window's)
  std::string owner_;      // that part's number
  long part_line_ = 0;
  bool kept_ = false;  // an encoded word of the part's name stands as it is
  std::vector<std::unique_ptr<Forwarded>> forwarded_;
};

void Walk::FeedWindow() {
  if (fed_) return;
  fed_ = true;
  shadow_.Piece(raw_ ? a_.raw : a_.line, raw_ ? raw_length_ : n_ + std::strlen(end_), number_);
}

// Text of the forwarded mails being saved whole: their last line's end held back.
void Walk::ToForwarded(const char* text, std::size_t n, const char* end) {
  for (auto& f : forwarded_) {
    if (kind_ != Kind::kText && level_ < f->level) continue;
    const std::size_t held = f->held.size();
    if (f->writing && f->ok) {
      f->ok = f->file->Write(f->held.bytes, held) && f->file->Write(text, n);
    }
    f->bytes += held + n;
    f->held.Hold(end);
  }
}

void Walk::Next() {
  FeedWindow();
  const bool text = kind_ == Kind::kText || kind_ == Kind::kBoundary || kind_ == Kind::kClose;
  if (text && !forwarded_.empty() && !after_lines_) ToForwarded(a_.line, n_, end_);
  last_blank_ = !after_lines_ && Blank();
  after_lines_ = false;
  starts_ = !open_;
  std::size_t n = 0;
  const ReadResult r = reader_.ReadLine(a_.line, kReadLimit, &n);
  if (r != ReadResult::kLine) {
    failed_ = r == ReadResult::kError;
    ended_in_line_ = open_;
    kind_ = Kind::kEnd, n_ = 0, end_[0] = 0, open_ = false;
    return;
  }
  number_ += starts_;
  unquoted_ = raw_ = fed_ = false;
  char* s = a_.line;
  open_ = s[n - 1] != '\n';
  end_[0] = 0;
  if (!open_) {
    const bool cr = n >= 2 && s[n - 2] == '\r';
    std::strcpy(end_, cr ? "\r\n" : "\n");
    n -= cr ? 2 : 1;
  }
  n_ = n;
  Classify();
}

// What the piece just read is: text, a boundary of a multipart open, an mbox's "From " line.
void Walk::Classify() {
  char* s = a_.line;
  const std::size_t n = n_;
  kind_ = Kind::kText;
  if (!starts_) return;
  if (mbox_ && n >= 5 && std::memcmp(s, "From ", 5) == 0) {
    kind_ = Kind::kFrom;
    return;
  }
  if (mbox_ && s[0] == '>' && !unquoted_) {  // mboxrd: one '>' less before "From "
    std::size_t q = 0;
    while (q < n && s[q] == '>') ++q;
    if (n - q >= 5 && std::memcmp(s + q, "From ", 5) == 0) {
      raw_length_ = n + std::strlen(end_);
      std::memcpy(a_.raw, s, raw_length_ + 1);
      raw_ = true;
      std::memmove(s, s + 1, raw_length_);
      --n_;
      unquoted_ = true;  // a second look must not take another one
    }
    return;
  }
  if (n < 2 || s[0] != '-' || s[1] != '-') return;
  for (int level = depth_ - 1; level >= 0; --level) {
    const char* b = a_.boundaries[level];
    const std::size_t length = std::strlen(b);
    if (n < 2 + length || std::memcmp(s + 2, b, length) != 0) continue;
    std::size_t i = 2 + length;
    const bool close = i + 2 <= n && s[i] == '-' && s[i + 1] == '-';
    if (close) i += 2;
    while (i < n && IsBlank(s[i])) ++i;
    if (i != n) continue;
    kind_ = close ? Kind::kClose : Kind::kBoundary;
    level_ = level;
    return;
  }
}

// The header lines from the current one on, folded ones joined, into a_.header; the blank
// line after them is read past. A line that is no header line ends them, and is the body's.
// A folded line before any field is passed over, as Python passes it.
bool Walk::ReadHeader() {
  PartHeader& h = a_.header;
  h.length = 0, h.text[0] = 0;
  part_line_ = number_;
  while (BodyLine()) {
    if (Blank()) return Next(), true;
    if (starts_) {
      const bool folded = IsBlank(a_.line[0]);
      if (!folded && !IsHeaderLine(a_.line, n_)) return false;
      if (!folded || h.length > 0) AddHeaderLine(h, a_.line, n_);
    }
    Next();
  }
  return false;
}

void Walk::DecodedField(const char* field, char* out) {
  out[0] = 0;
  const char* value = HeaderField(a_.header, field);
  if (value == nullptr) return;
  while (IsBlank(*value)) ++value;
  const char* lf = std::strchr(value, '\n');
  HeaderCounts ignored;
  text_.Decode(value, lf ? static_cast<std::size_t>(lf - value) : std::strlen(value), out, kField,
               &ignored);
}

// The message's own fields, and the start of the names made for its parts.
void Walk::Fields() {
  DecodedField("date", a_.date);
  DecodedField("subject", a_.subject);
  DecodedField("from", a_.from);
  const std::size_t stem = FinalComponent(target_, sv_.files.Style());
  const char* base = std::strcmp(target_, "-") == 0 ? "stdin" : target_ + stem;
  const char* dot = std::strrchr(base, '.');
  const int length = static_cast<int>(dot && dot != base ? dot - base : std::strlen(base));
  std::snprintf(a_.stem, kPathSize, "%.*s-%lu-", length > 200 ? 200 : length, base, message_);
  Part& c = shadow_.context;
  c.message = message_, c.date = a_.date, c.subject = a_.subject, c.from = a_.from;
  c.archive = mbox_, c.type = "application/octet-stream", c.encoding = "base64";
  owner_ = "0", files_ = 0;
  c.number = owner_.c_str();
  shadow_.made_stem = a_.stem;
  shadow_.files = &files_;
}

Part Walk::MakePart(NameForm form, bool nul) const {
  Part part{part_line_, form, form == NameForm::kNone ? a_.made : a_.name, nul, false};
  part.message = message_;
  part.number = a_.number;
  part.type = a_.type;
  part.encoding = a_.encoding;
  part.made_name = a_.made;
  part.date = a_.date, part.subject = a_.subject, part.from = a_.from;
  part.archive = mbox_;
  part.name_kept = kept_ && form != NameForm::kNone;
  return part;
}

// The next part's number in the message being read; the window's scan names its own after it.
void Walk::Number() {
  std::snprintf(a_.number, kNumber, "%s%u", prefix_.c_str(), ++leaves_);
  files_ = 0;
  owner_ = a_.number;
  shadow_.context.number = owner_.c_str();
}

void Walk::Entity(int nest, const char* default_type) {
  FieldToken(a_.header, "content-type", a_.type, kToken);
  if (std::strchr(a_.type, '/') == nullptr) std::strcpy(a_.type, default_type);
  const bool multipart = std::strncmp(a_.type, "multipart/", 10) == 0;
  const bool forwarded = std::strcmp(a_.type, "message/rfc822") == 0;
  if ((multipart || forwarded) && nest >= kMaxDepth) {
    Part where{number_, NameForm::kNone, "", false, false};
    where.message = message_;
    sink_.Noted(where, MailNote::kTooDeep);
  } else if (forwarded) {
    FieldToken(a_.header, "content-transfer-encoding", a_.encoding, kToken);
    const char* e = a_.encoding;
    // A forwarded mail in Base64 or quoted-printable is only a part of this one.
    if (*e == 0 || std::strcmp(e, "7bit") == 0 || std::strcmp(e, "8bit") == 0 ||
        std::strcmp(e, "binary") == 0) {
      return ForwardedMail(nest);
    }
  } else if (multipart) {
    char* boundary = a_.boundaries[depth_];
    if (FieldParameter(a_.header, "content-type", "boundary", boundary, kBoundary + 1) &&
        boundary[0] != 0 && std::strlen(boundary) < kBoundary) {
      const int level = depth_;
      const char* child = std::strcmp(a_.type, "multipart/digest") == 0 ? "message/rfc822"
                                                                        : "text/plain";
      depth_ = level + 1;
      Classify();                 // the line after the header may be the first boundary
      while (BodyLine()) Next();  // the preamble
      while (kind_ == Kind::kBoundary && level_ == level) {
        Next();
        ReadHeader();
        Entity(nest + 1, child);
        depth_ = level + 1;
      }
      if (kind_ == Kind::kClose && level_ == level) {
        Next();
        while (BodyLine()) Next();  // the epilogue
      }
      depth_ = level;
      return;
    }
  }
  Leaf(false);
  FlatScan();
}

// A message/rfc822 part: saved whole as .eml when it is an attachment, and read as a message,
// its parts numbered after its own number.
void Walk::ForwardedMail(int nest) {
  Number();
  FieldToken(a_.header, "content-disposition", a_.disposition, kToken);
  bool nul = false;
  const NameForm form = DecodePartName(a_.header, sv_.files, a_.name, a_.work, &nul, &kept_);
  std::snprintf(a_.made, kPathSize, "%.300s%s.eml", a_.stem, a_.number);
  if (*a_.encoding == 0) std::strcpy(a_.encoding, "7bit");
  auto f = std::make_unique<Forwarded>();
  if (std::strcmp(a_.disposition, "attachment") == 0 || form != NameForm::kNone) {
    const bool window = shadow_.starting();
    if (window) shadow_.Follow();
    f->name = form == NameForm::kNone ? a_.made : a_.name;
    f->number = a_.number, f->made = a_.made;
    f->part = MakePart(form, nul);
    f->part.name = f->name.c_str(), f->part.number = f->number.c_str();
    f->part.made_name = f->made.c_str(), f->part.type = "message/rfc822";
    f->encoding = a_.encoding;
    f->part.encoding = f->encoding.c_str();
    f->part.slot = kSlotForwarded + static_cast<unsigned>(forwarded_.size());
    f->part.window = window;
    f->skipped = mode_.base64_only && !mode_.list;
    std::strcpy(f->path, f->part.name);
    f->buffer.reset(new (std::nothrow) char[kStream]);
    if (f->buffer) {
      f->file.reset(new PartFile(sv_, &sink_, target_, mail_id_, f->buffer.get(), kStream));
    }
    if (f->file && !mode_.list && !f->skipped) {
      f->choice = f->file->Choose(f->part, f->path);
      if (f->choice == PartFile::Choice::kTaken) {
        f->failure = f->file->Open();
        if (f->failure != nullptr) f->file->Drop();
      }
    }
    f->writing = f->choice == PartFile::Choice::kTaken && f->failure == nullptr;
  } else {
    f->skipped = true, f->choice = PartFile::Choice::kNotTaken;
    f->part.slot = ~0u;  // read, not told: the mail's own
  }
  f->level = depth_;
  forwarded_.push_back(std::move(f));
  const std::string outer = prefix_;
  const unsigned outer_leaves = leaves_;
  const int outer_depth = message_depth_;
  prefix_ = std::string(a_.number) + ".", leaves_ = 0, message_depth_ = depth_;
  Message(nest + 1);
  prefix_ = outer, leaves_ = outer_leaves, message_depth_ = outer_depth;
  std::unique_ptr<Forwarded> done = std::move(forwarded_.back());
  forwarded_.pop_back();
  if (done->part.slot == ~0u) return;
  if (!done->file) {
    sink_.Failed(done->part, kErrMemory, "", "");
    return;
  }
  if (KeepLastEnd() && done->writing && done->ok) {
    done->ok = done->file->Write(done->held.bytes, done->held.size());
  }
  if (KeepLastEnd()) done->bytes += done->held.size();
  const Body body = {done->bytes, kind_ == Kind::kEnd && depth_ > 0, 0};
  Report(done->part, *done->file, done->choice, done->failure, done->writing, done->ok, body,
         done->skipped, done->path);
}

// A message from its header on (the mail itself, or one forwarded in it).
void Walk::Message(int nest) {
  ReadHeader();
  Entity(nest, "text/plain");
}

bool Walk::KeepLastEnd() const {
  // A mail's last line end is its own; an mbox's blank line before "From " is the mbox's.
  if (kind_ == Kind::kEnd || kind_ == Kind::kFrom) return !mbox_ || !last_blank_;
  return false;  // a boundary's
}

// A part whose header is in a_.header: an attachment is saved; a text is the mail's own. A
// part found in the text of another (`flat`, a mail pasted or saved without its structure, as
// the window reads one) counts when its encoding ends it, and is numbered after the other.
void Walk::Leaf(bool flat) {
  if (a_.type[0] == 0) std::strcpy(a_.type, "text/plain");
  FieldToken(a_.header, "content-transfer-encoding", a_.encoding, kToken);
  if (a_.encoding[0] == 0) std::strcpy(a_.encoding, "7bit");
  FieldToken(a_.header, "content-disposition", a_.disposition, kToken);
  const char* e = a_.encoding;
  const Coding coding =
      std::strcmp(e, "base64") == 0             ? Coding::kBase64
      : std::strcmp(e, "quoted-printable") == 0 ? Coding::kQuotedPrintable
      : std::strcmp(e, "x-uuencode") == 0 || std::strcmp(e, "uuencode") == 0 ||
              std::strcmp(e, "x-uue") == 0 || std::strcmp(e, "uue") == 0
          ? Coding::kUuencode
          : Coding::kRaw;
  if (flat && coding != Coding::kBase64 && coding != Coding::kUuencode) return;
  if (flat) {
    std::snprintf(a_.number, kNumber, "%s.%u", owner_.c_str(), ++files_);
  } else {
    Number();
  }
  bool nul = false;
  const NameForm form = DecodePartName(a_.header, sv_.files, a_.name, a_.work, &nul, &kept_);
  // The mail's own text stays, unless the window's scan takes it for an attachment.
  if (!flat && std::strcmp(a_.disposition, "attachment") != 0 && form == NameForm::kNone &&
      std::strncmp(a_.type, "text/", 5) == 0 && !shadow_.starting()) {
    return;
  }
  std::snprintf(a_.made, kPathSize, "%.300s%s%s", a_.stem, a_.number, ExtensionOf(a_.type));
  Attachment(coding, form, nul, flat);
}

// In a Base64 body that is a whole message's, the data ends at a line that is no Base64 text
// and begins what follows it: after a blank line, a header, a boundary, a uuencoded file.
bool Walk::DataEnds() const {
  const char* s = a_.line;
  bool other = false;
  for (std::size_t i = 0; i < n_ && !other; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    other = kBase64Values.of[c] == kNotBase64 && !IsBlank(s[i]) && c != '\r';
  }
  return other && (last_blank_ || IsHeaderLine(s, n_) || (n_ >= 2 && s[0] == '-' && s[1] == '-') ||
                   Uudecode::Begin(s, n_) != nullptr);
}

void Walk::Report(const Part& part, PartFile& file, PartFile::Choice choice, const char* failure,
                  bool writing, bool ok, const Body& body, bool skipped, const char* path) {
  if (mode_.list) return sink_.Listed(part, body);
  if (skipped) return sink_.Skipped(part, SkipReason::kEncoding);
  if (choice != PartFile::Choice::kTaken) {
    return sink_.Skipped(part, choice == PartFile::Choice::kKept ? SkipReason::kKept
                                                                : SkipReason::kNotTaken);
  }
  const char* other = "";
  if (writing) {
    if (ok) {
      failure = file.Finish(&path, &other);
    } else {
      file.Drop();
      failure = kErrOutputWrite;
    }
  }
  if (failure != nullptr) return sink_.Failed(part, failure, path, other);
  sink_.Written(part, path, file.appended(), body);
}

void Walk::Attachment(Coding coding, NameForm form, bool nul, bool flat) {
  // The window's scan reads the same part: it only follows it.
  const bool window = shadow_.starting();
  if (window) shadow_.Follow();
  std::string before;  // uuencode: the text before its "begin" line, kept as it stands
  bool begun = false;
  if (coding == Coding::kUuencode) {
    // The data begins after its "begin" line, which names the file where the header does not.
    HeldEnd held;
    while (BodyLine() && !(starts_ && Uudecode::Begin(a_.line, n_))) {
      if (before.size() < kHeld) before.append(held.bytes).append(a_.line, n_);
      held.Hold(end_);
      Next();
    }
    if (KeepLastEnd() && before.size() < kHeld) before.append(held.bytes);
    begun = BodyLine();
    if (begun && form == NameForm::kNone) {
      const char* name = Uudecode::Begin(a_.line, n_);
      PlainName(name, n_ - static_cast<std::size_t>(name - a_.line), sv_.files, a_.name, a_.work);
      form = NameForm::kUuencode, nul = false;
    }
    if (begun) Next();
  }
  Part part = MakePart(form, nul);
  part.window = window;
  part.slot = kSlotPart;
  std::strcpy(a_.path, part.name);
  PartFile file(sv_, &sink_, target_, mail_id_, a_.output, kStream);
  const bool skipped = mode_.base64_only && coding != Coding::kBase64 && !mode_.list;
  PartFile::Choice choice = PartFile::Choice::kNotTaken;
  const char* failure = nullptr;
  if (!mode_.list && !skipped) {
    choice = file.Choose(part, a_.path);
    if (choice == PartFile::Choice::kTaken) {
      failure = file.Open();
      if (failure != nullptr) file.Drop();
    }
  }
  const bool writing = choice == PartFile::Choice::kTaken && failure == nullptr;
  Sink out{writing ? &file : nullptr, true};
  Body body = {0, false, 0};
  const bool whole_message = depth_ == message_depth_;
  if (coding == Coding::kBase64) {
    Base64Stream stream;
    for (; BodyLine(); Next()) {
      if (whole_message && starts_ && DataEnds()) break;  // the rest is read as lines
      if (flat && Blank() && stream.notes().bytes > 0) break;
      stream.Feed(a_.line, n_, Sink::Take, &out);
      if (open_ || !stream.aligned()) continue;
      FeedWindow();  // the window's scan has this line before the lines after it go past it
      if (!shadow_.Transparent()) continue;
      // Lines of whole groups straight from the read-ahead area into the file's.
      const char* text;
      std::size_t taken = 0;
      Base64Lines run;
      PartFile* to = out.file && out.ok ? out.file : nullptr;
      const bool written = TakeBase64Lines(reader_, to, a_.decoded, sizeof a_.decoded,
                                           kReadLimit - 1, true, &run, &text, &taken);
      if (to) out.ok = written;
      if (taken == 0) continue;
      stream.Count(run.written);
      number_ += static_cast<long>(run.lines);
      if (!forwarded_.empty()) {  // the line read before them, then they
        const std::size_t end = text[taken - 2] == '\r' ? 2 : 1;
        ToForwarded(a_.line, n_, end_);
        ToForwarded(text, taken - end, end == 2 ? "\r\n" : "\n");
      }
      after_lines_ = true;
    }
    stream.Finish(Sink::Take, &out);
    const TransferNotes& notes = stream.notes();
    body.bytes = notes.bytes, body.skipped = notes.skipped;
    body.lone_characters = notes.lone;
    // Cut short: its last group lacks characters where the mail ended inside a line or a
    // multipart.
    body.cut = kind_ == Kind::kEnd && (depth_ > 0 || ended_in_line_) && !notes.padded;
  } else if (coding == Coding::kUuencode) {
    Uudecode uu;
    if (begun) {
      for (; BodyLine() && !uu.ended(); Next()) {
        uu.Feed(a_.line, n_, Sink::Take, &out);
        if (!open_) uu.Feed("\n", 1, Sink::Take, &out);
      }
      uu.Finish(Sink::Take, &out);
      body.bytes = uu.notes().bytes;
      body.cut = !uu.ended();
    } else {
      Sink::Take(&out, reinterpret_cast<const unsigned char*>(before.data()), before.size());
      body.bytes = before.size(), body.as_it_stands = true;
    }
  } else {
    QuotedPrintable qp;
    const bool decode = coding == Coding::kQuotedPrintable;
    HeldEnd held;
    auto put = [&](const char* text, std::size_t n) {
      if (decode) return void(qp.Feed(text, n, Sink::Take, &out));
      Sink::Take(&out, reinterpret_cast<const unsigned char*>(text), n);
      body.bytes += n;
    };
    for (; BodyLine(); Next()) {
      put(held.bytes, held.size());
      put(a_.line, n_);
      held.Hold(end_);
    }
    if (KeepLastEnd()) put(held.bytes, held.size());
    if (decode) qp.Finish(Sink::Take, &out), body.bytes = qp.notes().bytes;
  }
  if (failed_) return;
  Report(part, file, choice, failure, writing, out.ok, body, skipped, a_.path);
}

// The rest of a body: files uuencoded in it, and parts pasted or saved without the structure
// around them (a header naming Base64 or uuencode, a blank line, the data), as the window reads
// such mails; the window's own scan finds the rest of what it would.
void Walk::FlatScan() {
  bool after_blank = true;
  while (BodyLine()) {
    const char* name = starts_ ? Uudecode::Begin(a_.line, n_) : nullptr;
    if (name != nullptr) {
      std::snprintf(a_.number, kNumber, "%s.%u", owner_.c_str(), ++files_);
      std::strcpy(a_.type, "application/octet-stream");
      std::strcpy(a_.encoding, "x-uuencode");
      part_line_ = number_;
      PlainName(name, n_ - static_cast<std::size_t>(name - a_.line), sv_.files, a_.name, a_.work);
      std::strcpy(a_.made, a_.name);
      kept_ = false;
      Attachment(Coding::kUuencode, NameForm::kUuencode, false, false);
      after_blank = false;
      continue;
    }
    if (starts_ && after_blank && !Blank() && IsHeaderLine(a_.line, n_)) {
      if (ReadHeader()) {
        FieldToken(a_.header, "content-type", a_.type, kToken);
        if (std::strchr(a_.type, '/') == nullptr) std::strcpy(a_.type, "text/plain");
        Leaf(true);
      }
      after_blank = !BodyLine() || Blank();
      continue;
    }
    after_blank = Blank();
    Next();
  }
}

bool Walk::Run(unsigned long* messages) {
  Next();
  mbox_ = kind_ == Kind::kText && n_ >= 5 && std::memcmp(a_.line, "From ", 5) == 0;
  if (mbox_) kind_ = Kind::kFrom;
  while (kind_ != Kind::kEnd && !failed_) {
    if (kind_ == Kind::kFrom) Next();
    ++message_;
    leaves_ = 0, depth_ = 0, message_depth_ = 0, prefix_.clear();
    ReadHeader();
    Fields();
    Entity(0, "text/plain");
    while (kind_ != Kind::kFrom && kind_ != Kind::kEnd) Next();
  }
  FeedWindow();
  *messages = message_;
  if (failed_) {
    shadow_.Abort();
    sv_.host.ShowFailure(nullptr, Fault(Failure::kInputRead, target_, input_.Error()));
    return false;
  }
  shadow_.End();
  input_.Close();
  return true;
}

}  // namespace

const char* ExtensionOf(const char* type) {
  static const struct {
    const char* type;
    const char* extension;
  } kTypes[] = {
      {"application/pdf", ".pdf"},        {"application/zip", ".zip"},
      {"application/x-zip-compressed", ".zip"}, {"application/gzip", ".gz"},
      {"application/x-gzip", ".gz"},      {"application/x-tar", ".tar"},
      {"application/x-lzh-compressed", ".lzh"}, {"application/x-lzh", ".lzh"},
      {"application/msword", ".doc"},     {"application/vnd.ms-excel", ".xls"},
      {"application/vnd.ms-powerpoint", ".ppt"},
      {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", ".docx"},
      {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", ".xlsx"},
      {"application/vnd.openxmlformats-officedocument.presentationml.presentation", ".pptx"},
      {"application/json", ".json"},      {"application/xml", ".xml"},
      {"image/jpeg", ".jpg"},             {"image/png", ".png"},
      {"image/gif", ".gif"},              {"image/bmp", ".bmp"},
      {"image/tiff", ".tif"},             {"image/webp", ".webp"},
      {"image/svg+xml", ".svg"},          {"audio/mpeg", ".mp3"},
      {"audio/wav", ".wav"},              {"video/mp4", ".mp4"},
      {"video/mpeg", ".mpg"},             {"text/plain", ".txt"},
      {"text/html", ".html"},             {"text/csv", ".csv"},
      {"text/calendar", ".ics"},          {"text/x-vcard", ".vcf"},
      {"text/vcard", ".vcf"},             {"message/rfc822", ".eml"},
  };
  for (const auto& t : kTypes) {
    if (std::strcmp(type, t.type) == 0) return t.extension;
  }
  return std::strncmp(type, "text/", 5) == 0 ? ".txt" : ".bin";
}

bool ExtractArchive(File& input, const char* target, const Services& sv, const ArchiveMode& mode,
                    PartSink& sink, unsigned long* messages) {
  *messages = 0;
  std::unique_ptr<Areas> areas(new (std::nothrow) Areas);
  if (!areas) {
    input.Close();
    sv.host.ShowFailure(nullptr, Fault(Failure::kMemory, ""));
    return false;
  }
  return Walk(input, target, sv, mode, sink, *areas).Run(messages);
}

}  // namespace velko
