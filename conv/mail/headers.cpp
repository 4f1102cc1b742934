#include "mail/headers.h"

#include <cstring>
#include <new>

#include "codec/jis.h"
#include "mail/mailnames.h"

namespace velko {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kWordBytes = 1024;  // what one word may stand for
constexpr std::size_t kLine = 64 * 1024;  // a header, its folded lines joined
constexpr std::size_t kStream = 64 * 1024;

// Characters into a bounded output in the encoding asked for; 7-bit JIS shifts as it needs
// and always returns to ASCII.
class Writer {
 public:
  Writer(Charset to, const Cp932Encoder& encoder, char* out, std::size_t room, HeaderCounts* counts)
      : to_(to), encoder_(encoder), out_(out), room_(room), counts_(counts) {}

  void Bytes(const char* bytes, std::size_t n) {
    char shift[4];
    const std::size_t k = Shift(shift, false);  // the text between words is in ASCII's set
    if (!Fits(k + n)) {
      kanji_ = was_kanji_;
      return;
    }
    std::memcpy(out_ + n_, shift, k), n_ += k;
    std::memcpy(out_ + n_, bytes, n), n_ += n;
  }
  void Character(char32_t c) {
    char bytes[8];
    std::size_t n = 0;
    if (to_ == Charset::kUtf8) {
      n = AppendUtf8(bytes, c);
    } else if (c < 0x80 && !(to_ == Charset::kJis && (c == 0x1B || c == 0x0E || c == 0x0F))) {
      n = Shift(bytes, false), bytes[n++] = static_cast<char>(c);
    } else {
      unsigned code = c == kReplacement ? 0 : encoder_.Code(c);
      if (to_ == Charset::kJis && c >= 0xFF61 && c <= 0xFF9F) {
        bool joined;
        code = FullWidthKana(static_cast<unsigned char>(c - 0xFF61 + 0xA1), 0, &joined);
      }
      if (code == 0 || (to_ == Charset::kJis && code < 0x100)) {
        ++counts_->lost;
        n = Shift(bytes, false), bytes[n++] = '?';
      } else if (to_ == Charset::kJis) {
        const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8),
                                       static_cast<unsigned char>(code)};
        n = Shift(bytes, true);
        SjisCharToJis(reinterpret_cast<unsigned char*>(bytes + n), pair);
        n += 2;
      } else {
        if (code >= 0x100) bytes[n++] = static_cast<char>(code >> 8);
        bytes[n++] = static_cast<char>(code);
      }
    }
    if (Fits(n)) {
      std::memcpy(out_ + n_, bytes, n), n_ += n;
    } else {
      kanji_ = was_kanji_;
    }
    if (to_ == Charset::kUtf8 && c == kReplacement) ++counts_->lost;
  }
  // Back to ASCII, and the NUL; the length.
  std::size_t End() {
    char bytes[4];
    const std::size_t n = Shift(bytes, false);
    std::memcpy(out_ + n_, bytes, n);  // always room: Fits keeps it
    n_ += n;
    out_[n_] = 0;
    return n_;
  }

 private:
  static std::size_t AppendUtf8(char* out, char32_t c) {
    if (c < 0x80) return out[0] = static_cast<char>(c), 1;
    if (c < 0x800) {
      out[0] = static_cast<char>(0xC0 | c >> 6), out[1] = static_cast<char>(0x80 | (c & 0x3F));
      return 2;
    }
    if (c < 0x10000) {
      out[0] = static_cast<char>(0xE0 | c >> 12);
      out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out[2] = static_cast<char>(0x80 | (c & 0x3F));
      return 3;
    }
    out[0] = static_cast<char>(0xF0 | c >> 18), out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F)), out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
  }
  std::size_t Shift(char* bytes, bool kanji) {
    was_kanji_ = kanji_;
    if (to_ != Charset::kJis || kanji == kanji_) return 0;
    kanji_ = kanji;
    bytes[0] = 0x1B, bytes[1] = kanji ? '$' : '(', bytes[2] = 'B';
    return 3;
  }
  // Room for n bytes, the way back to ASCII and the NUL.
  bool Fits(std::size_t n) const { return n_ + n + 4 <= room_; }

  Charset to_;
  const Cp932Encoder& encoder_;
  char* out_;
  std::size_t room_, n_ = 0;
  HeaderCounts* counts_;
  bool kanji_ = false, was_kanji_ = false;
};

// The characters `bytes` stand for in `charset`; one U+FFFD for each sequence that is none.
void DecodeBytes(const unsigned char* b, std::size_t n, Charset charset, Writer& w) {
  enum { kAscii, kKanji, kKana } set = kAscii;
  for (std::size_t i = 0; i < n;) {
    const unsigned c = b[i];
    const unsigned d = i + 1 < n ? b[i + 1] : 0;
    if (charset == Charset::kUtf8 && c >= 0x80) {
      const unsigned need = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                            : c >= 0xF0 && c <= 0xF4                         ? 4
                                                                             : 1;
      const unsigned lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
      const unsigned hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
      unsigned got = 1;
      while (got < need && i + got < n && b[i + got] >= (got == 1 ? lo : 0x80) &&
             b[i + got] <= (got == 1 ? hi : 0xBF)) {
        ++got;
      }
      if (need == 1 || got < need) {
        w.Character(kReplacement);
      } else {
        char32_t cp = c & (0xFF >> (need + 1));
        for (unsigned k = 1; k < need; ++k) cp = cp << 6 | (b[i + k] & 0x3F);
        w.Character(cp);
      }
      i += got;
    } else if (charset == Charset::kJis && c == 0x1B && i + 2 < n) {
      const unsigned e = b[i + 2];
      set = d == '$' && (e == '@' || e == 'B') ? kKanji : d == '(' && e == 'I' ? kKana : kAscii;
      i += 3;
    } else if (charset == Charset::kJis && set == kKanji && c >= 0x21 && c <= 0x7E) {
      unsigned char sjis[2];
      const unsigned char jis[2] = {static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
      JisCharToSjis(sjis, jis);
      const char32_t cp = d >= 0x21 && d <= 0x7E ? Cp932Pair(sjis[0], sjis[1], false) : kNoCharacter;
      w.Character(cp == kNoCharacter ? kReplacement : cp);
      i += 2;
    } else if (charset == Charset::kJis && set == kKana && c >= 0x21 && c <= 0x5F) {
      w.Character(0xFF61 + (c - 0x21)), ++i;
    } else if (charset == Charset::kEucJp && c >= 0xA1 && c <= 0xFE && d >= 0xA1 && d <= 0xFE) {
      unsigned char sjis[2];
      const unsigned char jis[2] = {static_cast<unsigned char>(c - 0x80),
                                    static_cast<unsigned char>(d - 0x80)};
      JisCharToSjis(sjis, jis);
      const char32_t cp = Cp932Pair(sjis[0], sjis[1], false);
      w.Character(cp == kNoCharacter ? kReplacement : cp);
      i += 2;
    } else if (charset == Charset::kEucJp && c == 0x8E && d >= 0xA1 && d <= 0xDF) {
      w.Character(0xFF61 + (d - 0xA1)), i += 2;
    } else if (charset == Charset::kShiftJis && IsSjisLeadByte(static_cast<unsigned char>(c))) {
      const char32_t cp = i + 1 < n ? Cp932Pair(c, d, false) : kNoCharacter;
      w.Character(cp == kNoCharacter ? kReplacement : cp);
      i += cp == kNoCharacter && (d < 0x80 || !IsSjisTrailByte(d)) ? 1 : 2;
    } else if (charset == Charset::kShiftJis) {
      const char32_t cp = Cp932Single(c);
      w.Character(cp == kNoCharacter ? kReplacement : cp), ++i;
    } else if (charset == Charset::kLatin1) {
      w.Character(c), ++i;
    } else {
      w.Character(c < 0x80 ? c : kReplacement), ++i;  // ASCII, and the rest of the others
    }
  }
}

}  // namespace

bool HeaderText::Prepare() {
  if (to_ == Charset::kUtf8) return true;
  return encoder_.Build(
      to_ == Charset::kJis ? Cp932Encoder::For::kJis : Cp932Encoder::For::kShiftJis, false);
}

std::size_t HeaderText::Decode(const char* text, std::size_t n, char* out, std::size_t room,
                               HeaderCounts* counts) const {
  Writer w(to_, encoder_, out, room, counts);
  char bytes[kWordBytes];
  std::size_t literal = 0, at, length;
  bool after_word = false;
  EncodedWord word;
  for (std::size_t from = 0; FindEncodedWord(text, n, from, &at, &length, &word);) {
    from = at + length;
    const Charset charset = CharsetOf(word.charset, word.charset_length);
    if (charset == Charset::kUnknown) {
      ++counts->kept;
      continue;  // stays in the literal text, as it stands
    }
    // Blanks between two words vanish; other text stays as it is.
    bool blanks = after_word;
    for (std::size_t k = literal; k < at && blanks; ++k) blanks = text[k] == ' ' || text[k] == '\t';
    if (!blanks) w.Bytes(text + literal, at - literal);
    const std::size_t got = WordBytes(word, bytes, sizeof bytes);
    DecodeBytes(reinterpret_cast<const unsigned char*>(bytes), got, charset, w);
    literal = from;
    after_word = true;
  }
  w.Bytes(text + literal, n - literal);
  return w.End();
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
