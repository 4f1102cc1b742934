#include "mail/mime.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codec/base64.h"
#include "codec/bytes.h"
#include "mail/headers.h"
#include "mail/mailnames.h"
#include "mail/partfile.h"
#include "text/textio.h"
#include "ports/texts.h"

namespace velko {
namespace {

constexpr std::size_t kLine = 64 * 1024;  // one read; a longer line comes in pieces
constexpr std::size_t kStream = 256 * 1024;
constexpr int kMaxDepth = 32;           // multiparts in multiparts; a deeper one is one body
constexpr std::size_t kBoundary = 71;   // RFC 2046: at most 70 characters
constexpr std::size_t kField = 1024;    // a date, subject or sender as kept
constexpr std::size_t kToken = 128;

// All buffers of one run, taken at its start.
struct Areas {
  char line[kLine + 1];
  unsigned char decoded[kLine];
  char input[kStream + 1];
  char output[kStream];
  PartHeader header;
  char name[kPathSize];
  char path[kPathSize];
  char made[kPathSize];
  char work[kNameWork];
  char boundaries[kMaxDepth][kBoundary + 1];
  char date[kField], subject[kField], from[kField];
  char type[kToken], encoding[kToken], disposition[kToken], number[32];
};

enum class Kind { kText, kBoundary, kClose, kFrom, kEnd };
enum class Coding { kRaw, kBase64, kQuotedPrintable, kUuencode };

bool IsHeaderLine(const char* s, std::size_t n) {
  if (n >= 5 && std::memcmp(s, "From ", 5) == 0) return true;
  std::size_t i = 0;
  while (i < n && s[i] > ' ' && s[i] < 0x7F && s[i] != ':') ++i;
  return i > 0 && i < n && s[i] == ':';
}

// "begin 644 name": the name's start, or null.
const char* UuBegin(const char* s, std::size_t n) {
  if (n < 10 || std::memcmp(s, "begin ", 6) != 0) return nullptr;
  std::size_t i = 6, digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '7') ++i, ++digits;
  return digits >= 3 && digits <= 4 && i + 1 < n && s[i] == ' ' ? s + i + 1 : nullptr;
}

// One line of uuencoded text: its bytes into `out`; their number.
std::size_t DecodeUuLine(const char* s, std::size_t n, unsigned char* out) {
  if (n == 0) return 0;
  const std::size_t count = static_cast<unsigned char>(s[0] - ' ') & 0x3F;
  std::size_t made = 0;
  for (std::size_t i = 1; made < count; i += 4) {
    unsigned v[4];
    for (int k = 0; k < 4; ++k) {
      v[k] = i + k < n ? static_cast<unsigned char>(s[i + k] - ' ') & 0x3F : 0;
    }
    const unsigned char bytes[3] = {static_cast<unsigned char>(v[0] << 2 | v[1] >> 4),
                                    static_cast<unsigned char>(v[1] << 4 | v[2] >> 2),
                                    static_cast<unsigned char>(v[2] << 6 | v[3])};
    for (int k = 0; k < 3 && made < count; ++k) out[made++] = bytes[k];
  }
  return made;
}

int HexDigit(char c) {
  c = LowerAscii(c);
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

class Walk {
 public:
  Walk(File& input, const char* target, const Services& sv, const ArchiveMode& mode,
       PartSink& sink, Areas& a)
      : input_(input), target_(target), sv_(sv), mode_(mode), sink_(sink), a_(a),
        mail_id_(input.Id()), reader_(input, false, a.input, kStream + 1), text_(Charset::kUtf8) {}

  bool Run(unsigned long* messages);

 private:
  void Next();
  void Classify();
  // True when a blank line ended the header.
  bool ReadHeader();
  void Entity(int depth);
  void Leaf(bool flat);
  void FlatScan();
  void Attachment(Coding coding, bool flat, NameForm form, bool nul);
  bool BodyLine() const { return kind_ == Kind::kText; }
  bool Blank() const { return starts_ && n_ == 0 && end_[0] != 0; }
  void DecodedField(const char* field, char* out);
  Part MakePart(NameForm form, bool nul) const;

  File& input_;
  const char* target_;
  const Services& sv_;
  const ArchiveMode& mode_;
  PartSink& sink_;
  Areas& a_;
  FileId mail_id_;
  LineReader reader_;
  HeaderText text_;
  // The line just read: its kind, its text without its end, whether it begins a line.
  Kind kind_ = Kind::kText;
  std::size_t n_ = 0;
  char end_[3] = "";
  bool starts_ = true, open_ = false;  // open_: the last read ended inside a line
  int level_ = 0;                     // of the boundary it is
  long number_ = 0;                   // its line number
  bool mbox_ = false, failed_ = false, unquoted_ = false;
  int depth_ = 0;  // multiparts open
  unsigned long message_ = 0;
  unsigned part_ = 0;
  long part_line_ = 0;
};

void Walk::Next() {
  starts_ = !open_;
  std::size_t n = 0;
  const ReadResult r = reader_.ReadLine(a_.line, kLine + 1, &n);
  if (r != ReadResult::kLine) {
    failed_ = r == ReadResult::kError;
    kind_ = Kind::kEnd, n_ = 0, end_[0] = 0;
    return;
  }
  number_ += starts_;
  unquoted_ = false;
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

// What the line just read is: text, a boundary of a multipart open, an mbox's "From " line.
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
      std::memmove(s, s + 1, n + std::strlen(end_));
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
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i != n) continue;
    kind_ = close ? Kind::kClose : Kind::kBoundary;
    level_ = level;
    return;
  }
}

// The header lines from the current one on, folded ones joined, into a_.header; the blank
// line after them is read past. A line that is no header line ends them, and is the body's.
bool Walk::ReadHeader() {
  PartHeader& h = a_.header;
  h.length = 0, h.text[0] = 0;
  part_line_ = number_;
  while (BodyLine()) {
    if (Blank()) return Next(), true;
    if (starts_) {
      const bool folded = (a_.line[0] == ' ' || a_.line[0] == '\t') && h.length > 0;
      if (!folded && !IsHeaderLine(a_.line, n_)) return false;
      AddHeaderLine(h, a_.line);
    }
    Next();
  }
  return false;
}

void Walk::DecodedField(const char* field, char* out) {
  out[0] = 0;
  const char* value = HeaderField(a_.header, field);
  if (value == nullptr) return;
  while (*value == ' ' || *value == '\t') ++value;
  const char* lf = std::strchr(value, '\n');
  HeaderCounts ignored;
  text_.Decode(value, lf ? static_cast<std::size_t>(lf - value) : std::strlen(value), out, kField,
               &ignored);
}

Part Walk::MakePart(NameForm form, bool nul) const {
  Part part{part_line_, form, form == NameForm::kNone ? a_.made : a_.name, nul, false};
  part.message = message_;
  part.number = a_.number;
  part.type = a_.type;
  part.encoding = a_.encoding;
  part.made_name = a_.made;
  part.date = a_.date, part.subject = a_.subject, part.from = a_.from;
  return part;
}

void Walk::Entity(int depth) {
  FieldToken(a_.header, "content-type", a_.type, kToken);
  char* boundary = a_.boundaries[depth < kMaxDepth ? depth : 0];
  if (depth < kMaxDepth && std::strncmp(a_.type, "multipart/", 10) == 0 &&
      FieldParameter(a_.header, "content-type", "boundary", boundary, kBoundary + 1) &&
      boundary[0] != 0 && std::strlen(boundary) < kBoundary) {
    depth_ = depth + 1;
    Classify();  // the line after the header may be the first boundary
    while (BodyLine()) Next();  // the preamble
    while (kind_ == Kind::kBoundary && level_ == depth) {
      Next();
      ReadHeader();
      Entity(depth + 1);
      depth_ = depth + 1;
    }
    if (kind_ == Kind::kClose && level_ == depth) {
      Next();
      while (BodyLine()) Next();  // the epilogue
    }
    depth_ = depth;
    return;
  }
  Leaf(false);
  FlatScan();
}

// A part whose header is in a_.header: an attachment is saved; a text is the mail's own. In a
// mail without MIME structure (`flat`) only a part its encoding ends counts.
void Walk::Leaf(bool flat) {
  FieldToken(a_.header, "content-type", a_.type, kToken);
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
  if (flat && (coding == Coding::kRaw || coding == Coding::kQuotedPrintable)) return;
  ++part_;
  std::snprintf(a_.number, sizeof a_.number, "%u", part_);
  bool nul = false;
  const NameForm form = DecodePartName(a_.header, sv_.files, a_.name, a_.work, &nul);
  if (std::strcmp(a_.disposition, "attachment") != 0 && form == NameForm::kNone &&
      std::strncmp(a_.type, "text/", 5) == 0) {
    return;  // the mail's own text
  }
  // A name for a part without one: the mail's, the message's and the part's numbers.
  const std::size_t stem = FinalComponent(target_, sv_.files.Style());
  const char* base = std::strcmp(target_, "-") == 0 ? "stdin" : target_ + stem;
  const char* dot = std::strrchr(base, '.');
  const int length = static_cast<int>(dot && dot != base ? dot - base : std::strlen(base));
  std::snprintf(a_.made, kPathSize, "%.*s-%lu-%s%s", length > 200 ? 200 : length, base, message_,
                a_.number, ExtensionOf(a_.type));
  Attachment(coding, flat, form, nul);
}

void Walk::Attachment(Coding coding, bool flat, NameForm form, bool nul) {
  if (coding == Coding::kUuencode) {
    // The data begins after its "begin" line, which names the file where the header does not.
    while (BodyLine() && !(starts_ && UuBegin(a_.line, n_))) Next();
    if (!BodyLine()) return;
    if (form == NameForm::kNone) {
      const char* name = UuBegin(a_.line, n_);
      PlainName(name, n_ - static_cast<std::size_t>(name - a_.line), sv_.files, a_.name, a_.work);
      form = NameForm::kUuencode, nul = false;
    }
    Next();
  }
  Part part = MakePart(form, nul);
  part.window = coding == Coding::kBase64 && form == NameForm::kQuoted;
  std::strcpy(a_.path, part.name);
  PartFile file(sv_, nullptr, &sink_, target_, mail_id_, a_.output, kStream);
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
  unsigned long long bytes = 0;
  bool ok = true;
  auto emit = [&](const unsigned char* data, std::size_t n) {
    bytes += n;
    if (writing && ok) ok = file.Write(data, n);
    return true;
  };
  Base64Pieces base64;
  const char* held = "";  // a line's end, written when another line follows
  bool cut = false;
  for (; BodyLine(); Next()) {
    char* s = a_.line;
    std::size_t n = n_;
    if (coding == Coding::kBase64) {
      while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
      std::size_t span = Base64Span(s, n);
      if (span < n && depth_ == 0) break;  // the data ends; the rest is read as lines
      if (n == 0 && flat && base64.bytes() > 0) break;
      if (span < n) {  // inside a multipart, what is no Base64 is passed over, as readers do
        span = 0;
        for (std::size_t i = 0; i < n; ++i) {
          if (Base64Span(s + i, 1) == 1) s[span++] = s[i];
        }
      }
      base64.Feed(s, span, !open_, emit);
      cut = open_;
      if (!open_ && base64.idle()) {
        Base64Lines run;
        const bool written = TakeBase64Lines(reader_, writing && ok ? &file : nullptr, a_.decoded,
                                             kLine, kLine, base64, &run);
        if (writing && ok) ok = written;
        number_ += static_cast<long>(run.lines);
        bytes += run.written;
      }
    } else if (coding == Coding::kUuencode) {
      if (starts_ && n == 3 && std::memcmp(s, "end", 3) == 0) {
        Next();
        break;
      }
      if (starts_) emit(a_.decoded, DecodeUuLine(s, n, a_.decoded));
    } else {
      emit(reinterpret_cast<const unsigned char*>(held), std::strlen(held));
      std::size_t length = n;
      const unsigned char* out = reinterpret_cast<const unsigned char*>(s);
      held = end_;
      if (coding == Coding::kQuotedPrintable) {
        // "=XX" is a byte, a "=" at the line's end a soft break, any other "=" itself.
        const bool soft = !open_ && n > 0 && s[n - 1] == '=';
        const std::size_t m = n - soft;
        length = 0;
        for (std::size_t i = 0; i < m; ++i) {
          const int high = s[i] == '=' && i + 2 < m ? HexDigit(s[i + 1]) : -1;
          const int low = high >= 0 ? HexDigit(s[i + 2]) : -1;
          if (low >= 0) {
            a_.decoded[length++] = static_cast<unsigned char>(high << 4 | low), i += 2;
          } else {
            a_.decoded[length++] = static_cast<unsigned char>(s[i]);
          }
        }
        out = a_.decoded;
        if (soft) held = "";
      }
      emit(out, length);
    }
  }
  // The last line's end belongs to the boundary after it, or to the blank line that ends a
  // message of an mbox; it stays at the end of a one-part mail's file.
  if (kind_ == Kind::kEnd && depth_ == 0 && !mbox_) {
    emit(reinterpret_cast<const unsigned char*>(held), std::strlen(held));
  }
  if (coding == Coding::kBase64) base64.Finish(emit);
  if (failed_) return;
  const Body body = {bytes, cut || (kind_ == Kind::kEnd && depth_ > 0),
                     coding == Coding::kBase64 ? base64.lone() : 0};
  if (mode_.list) return sink_.Listed(part, body);
  if (skipped) return sink_.Skipped(part, SkipReason::kEncoding);
  if (choice != PartFile::Choice::kTaken) {
    return sink_.Skipped(part, choice == PartFile::Choice::kKept ? SkipReason::kKept
                                                                : SkipReason::kNotTaken);
  }
  const char *path = a_.path, *other = "";
  if (writing) {
    if (ok) {
      failure = file.Finish(&path, &other);
    } else {
      file.Drop();
      failure = kErrOutputWrite;
    }
  }
  if (failure != nullptr) return sink_.Failed(part, failure, path, other);
  sink_.Written(part, a_.path, file.appended(), body);
}

// The rest of a body: files uuencoded in it, and parts of a mail without MIME structure (a
// header naming Base64 or uuencode, a blank line, the data), as the window reads such mails.
void Walk::FlatScan() {
  const unsigned owner = part_;
  unsigned files = 0;
  bool after_blank = true;
  while (BodyLine()) {
    if (starts_) {
      if (const char* name = UuBegin(a_.line, n_)) {
        std::snprintf(a_.number, sizeof a_.number, "%u.%u", owner, ++files);
        std::strcpy(a_.type, "application/octet-stream");
        std::strcpy(a_.encoding, "x-uuencode");
        part_line_ = number_;
        PlainName(name, n_ - static_cast<std::size_t>(name - a_.line), sv_.files, a_.name, a_.work);
        std::strcpy(a_.made, a_.name);
        Attachment(Coding::kUuencode, false, NameForm::kUuencode, false);
        after_blank = false;
        continue;
      }
      if (after_blank && !Blank() && IsHeaderLine(a_.line, n_)) {
        if (ReadHeader()) {
          char encoding[kToken];
          FieldToken(a_.header, "content-transfer-encoding", encoding, kToken);
          if (std::strcmp(encoding, "base64") == 0 || std::strcmp(encoding, "x-uuencode") == 0) {
            Leaf(true);
          }
        }
        after_blank = !BodyLine() || Blank();
        continue;
      }
    }
    after_blank = Blank();
    Next();
  }
}

bool Walk::Run(unsigned long* messages) {
  Next();
  mbox_ = kind_ == Kind::kText && n_ >= 5 && std::memcmp(a_.line, "From ", 5) == 0;
  if (mbox_) kind_ = Kind::kFrom;
  while (kind_ != Kind::kEnd) {
    if (kind_ == Kind::kFrom) Next();
    ++message_;
    part_ = 0;
    depth_ = 0;
    ReadHeader();
    DecodedField("date", a_.date);
    DecodedField("subject", a_.subject);
    DecodedField("from", a_.from);
    Entity(0);
    while (kind_ != Kind::kFrom && kind_ != Kind::kEnd) Next();
  }
  *messages = message_;
  if (failed_) {
    sv_.host.ShowFailure(nullptr, Fault(Failure::kInputRead, target_, input_.Error()));
    return false;
  }
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
