#include "mail/headers.h"

#include <cstring>
#include <new>

#include "codec/base64_groups.h"
#include "codec/bytes.h"
#include "mail/mailnames.h"

namespace velko {
namespace {

constexpr std::size_t kWordBytes = 1024;  // what one word may stand for
constexpr std::size_t kJoined = 4096;     // words of one charset joined before they are read
constexpr std::size_t kLine = 64 * 1024;  // a header, its folded lines joined
constexpr std::size_t kStream = 64 * 1024;

// B text that decodes: the alphabet, then at most two '=' that end its last group.
bool IsBase64Word(const char* t, std::size_t n) {
  std::size_t k = 0;
  while (k < n && t[k] != '=' && kBase64Values.of[static_cast<unsigned char>(t[k])] != kNotBase64) ++k;
  std::size_t pads = 0;
  while (k + pads < n && t[k + pads] == '=') ++pads;
  return k + pads == n && k % 4 != 1 && pads <= 2 && (pads == 0 || n % 4 == 0);
}

// The bytes of adjacent words of one charset, read as one text when another kind of text
// comes: a character or a JIS shift cut between two words is whole.
class Joined {
 public:
  Joined(WordSink& sink, HeaderCounts* counts) : sink_(sink), counts_(counts) {}
  void Add(Charset charset, const char* bytes, std::size_t n) {
    if (n_ > 0 && (charset != charset_ || n_ + n > kJoined)) Flush();
    charset_ = charset;
    if (n > kJoined) n = kJoined;
    std::memcpy(bytes_ + n_, bytes, n), n_ += n;
  }
  void Flush() {
    Decoder decoder(charset_);
    char out[1024];
    for (std::size_t at = 0; at < n_;) {
      const CodecResult r = decoder.DecodeToUtf8(bytes_ + at, n_ - at, out, sizeof out, true);
      sink_.Utf8(out, r.written);
      at += r.read;
      if (r.status == CodecStatus::kMalformed) sink_.Malformed(), ++counts_->lost;
      if (r.status == CodecStatus::kInputEmpty) break;
    }
    n_ = 0;
  }

 private:
  WordSink& sink_;
  HeaderCounts* counts_;
  Charset charset_ = Charset::kUnknown;
  char bytes_[kJoined];
  std::size_t n_ = 0;
};

// Into a bounded output in the encoding asked for: the text between words as it stands, the
// words' characters encoded (what has no code there as '?'; 7-bit JIS back to ASCII after
// each).
class Into : public WordSink {
 public:
  Into(Charset to, char* out, std::size_t room, HeaderCounts* counts)
      : encoder_(to == Charset::kUtf8 ? Charset::kUnknown : to), out_(out), room_(room),
        counts_(counts) {}
  void Literal(const char* text, std::size_t n) override {
    if (n > Left()) n = Left();
    std::memcpy(out_ + n_, text, n), n_ += n;
  }
  void Utf8(const char* text, std::size_t n) override {
    if (!encoder_.Valid()) {
      const std::size_t fit = FitCharacters(text, n, Left(), false);
      std::memcpy(out_ + n_, text, fit), n_ += fit;
      return;
    }
    for (std::size_t at = 0; at <= n;) {
      // Room for the way back to ASCII kept: the text is cut at a character, never in a shift.
      const std::size_t room = Left() > 3 ? Left() - 3 : 0;
      const CodecResult r = encoder_.EncodeFromUtf8(text + at, n - at, out_ + n_, room, true);
      n_ += r.written, at += r.read;
      if (r.status == CodecStatus::kInputEmpty) break;
      if (r.status == CodecStatus::kOutputFull) {
        n_ += encoder_.EncodeFromUtf8("", 0, out_ + n_, Left(), true).written;
        break;
      }
      ++counts_->lost;
      if (Left() > 0) out_[n_++] = '?';
    }
  }
  std::size_t End() {
    out_[n_] = 0;
    return n_;
  }

 private:
  std::size_t Left() const { return room_ - 1 - n_; }  // the NUL's byte kept
  Encoder encoder_;
  char* out_;
  std::size_t room_, n_ = 0;
  HeaderCounts* counts_;
};

}  // namespace

bool DecodeWords(const char* text, std::size_t n, WordSink& sink, HeaderCounts* counts) {
  Joined joined(sink, counts);
  char bytes[kWordBytes];
  std::size_t literal = 0, at, length;
  bool any = false;
  EncodedWord word;
  for (std::size_t from = 0; FindEncodedWord(text, n, from, &at, &length, &word);) {
    from = at + length;
    const Charset charset = CharsetOf(word.charset, word.charset_length);
    if (charset == Charset::kUnknown ||
        (word.encoding == 'b' && !IsBase64Word(word.text, word.text_length))) {
      ++counts->kept;
      continue;  // stays in the text between words, as it stands
    }
    // Blanks between two words vanish; other text stays as it is.
    bool blanks = any;
    for (std::size_t k = literal; k < at && blanks; ++k) blanks = text[k] == ' ' || text[k] == '\t';
    if (!blanks) {
      joined.Flush();
      sink.Literal(text + literal, at - literal);
    }
    joined.Add(charset, bytes, WordBytes(word, bytes, sizeof bytes));
    literal = from;
    any = true;
  }
  joined.Flush();
  sink.Literal(text + literal, n - literal);
  return any;
}

bool HeaderText::Prepare() { return true; }

std::size_t HeaderText::Decode(const char* text, std::size_t n, char* out, std::size_t room,
                               HeaderCounts* counts) const {
  Into into(to_, out, room, counts);
  DecodeWords(text, n, into, counts);
  return into.End();
}

bool HeaderDecoding::Prepare() {
  buffers_.reset(new (std::nothrow) char[kLine + 4 * kLine + kStream + 1 + kStream]);
  return buffers_ && text_.Prepare();
}

bool HeaderDecoding::Put(OutStream& out, const char* text, std::size_t n, const char* end,
                         unsigned long long line) {
  char* decoded = buffers_.get() + kLine;
  const HeaderCounts before = counts_;
  const std::size_t length = text_.Decode(text, n, decoded, 4 * kLine, &counts_);
  if (first_line_ == 0 && (counts_.kept != before.kept || counts_.lost != before.lost)) {
    first_line_ = line;
  }
  return out.Write(decoded, length) && out.Write(end, std::strlen(end));
}

LinesResult HeaderDecoding::Run(File& in, File& out) {
  counts_ = HeaderCounts();
  first_line_ = 0;
  char* header = buffers_.get();  // a header being joined, kLine bytes
  char* in_area = buffers_.get() + 5 * kLine;
  char* out_area = in_area + kStream + 1;
  LineReader reader(in, false, in_area, kStream + 1);
  OutStream writer(out, out_area, kStream, false);
  char line[kReadLimit];
  char end[3] = "", header_end[3] = "";
  std::size_t header_length = 0;
  unsigned long long number = 0, header_line = 0;
  bool in_header = true, held = false, blank_before = true, ok = true;
  for (;;) {
    std::size_t n = 0;
    const ReadResult r = reader.ReadLine(line, sizeof line, &n);
    if (r == ReadResult::kError) {
      in.Close(), out.Close();
      return LinesResult::kReadError;
    }
    if (r == ReadResult::kEnd) break;
    ++number;
    // The line without its end; a line the read limit cut keeps none.
    end[0] = 0;
    if (n > 0 && line[n - 1] == '\n') {
      --n;
      const bool cr = n > 0 && line[n - 1] == '\r';
      n -= cr;
      std::strcpy(end, cr ? "\r\n" : "\n");
    }
    const bool folded = in_header && held && (line[0] == ' ' || line[0] == '\t');
    if (folded && header_length + n < kLine) {
      std::memcpy(header + header_length, line, n);  // the line break goes, the blank stays
      header_length += n;
      std::strcpy(header_end, end);
      continue;
    }
    if (held) ok = ok && Put(writer, header, header_length, header_end, header_line);
    held = false;
    const bool blank = n == 0 && end[0] != 0;
    if (blank_before && n >= 5 && std::memcmp(line, "From ", 5) == 0) in_header = true;
    if (in_header && blank) in_header = false;
    if (in_header && !blank && n < kLine) {
      std::memcpy(header, line, n);
      header_length = n, header_line = number, held = true;
      std::strcpy(header_end, end);
    } else {
      ok = ok && Put(writer, line, n, end, number);
    }
    blank_before = blank;
  }
  if (held) ok = ok && Put(writer, header, header_length, header_end, header_line);
  in.Close();
  ok = writer.Flush() && ok;
  return out.Close() && ok ? LinesResult::kDone : LinesResult::kWriteError;
}

}  // namespace velko
