#include "mail/transfer.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/base64_groups.h"

namespace velko {
namespace {

constexpr std::size_t kArea = 1024;
constexpr std::size_t kRun = 1020;  // characters decoded at once: 765 bytes and a NUL

// Decoded bytes gathered, and given on in batches.
struct Out {
  Out(Emit e, void* c, TransferNotes& t) : emit(e), context(c), notes(t) {}
  Emit emit;
  void* context;
  TransferNotes& notes;
  unsigned char area[kArea];
  std::size_t n = 0;

  bool Flush() {
    const std::size_t k = n;
    n = 0;
    notes.bytes += k;
    return k == 0 || emit(context, area, k);
  }
  bool Byte(unsigned char b) {
    area[n++] = b;
    return n < kArea || Flush();
  }
  bool Bytes(const char* p, std::size_t k) {
    while (k > 0) {
      const std::size_t m = k < kArea - n ? k : kArea - n;
      std::memcpy(area + n, p, m);
      n += m, p += m, k -= m;
      if (n == kArea && !Flush()) return false;
    }
    return true;
  }
};

bool Blank(char c) { return c == ' ' || c == '\t'; }

int Hex(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                               : -1;
}

}  // namespace

bool Base64Stream::Feed(const char* text, std::size_t n, Emit emit, void* context) {
  Out out{emit, context, notes_};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const auto& values = kBase64Values.of;
  for (std::size_t i = 0; i < n;) {
    if (have_ == 0) {  // whole groups of the alphabet at once
      std::size_t run = i;
      while (run < n && run - i < kRun && values[p[run]] < 64 && p[run] != '=') ++run;
      const std::size_t whole = (run - i) / 4 * 4;
      if (whole > 0) {
        if (out.n + whole / 4 * 3 + 1 > kArea && !out.Flush()) return false;
        out.n += DecodeBase64(out.area + out.n, text + i, whole);
        i += whole;
        pads_ = 0;
        continue;
      }
    }
    const unsigned char c = p[i++];
    const unsigned v = values[c];
    if (c == '=') {
      // Padding counts two or three characters into a group; elsewhere it is nothing.
      if (have_ >= 2 && have_ + ++pads_ >= 4) {
        const unsigned bits = bits_ << (6 * (4 - have_));
        if (!out.Byte(static_cast<unsigned char>(bits >> 16))) return false;
        if (have_ == 3 && !out.Byte(static_cast<unsigned char>(bits >> 8))) return false;
        have_ = 0, pads_ = 0, bits_ = 0;
      }
    } else if (v < 64) {
      pads_ = 0;
      bits_ = bits_ << 6 | v;
      if (++have_ == 4) {
        if (!out.Byte(static_cast<unsigned char>(bits_ >> 16)) ||
            !out.Byte(static_cast<unsigned char>(bits_ >> 8)) ||
            !out.Byte(static_cast<unsigned char>(bits_))) {
          return false;
        }
        have_ = 0, bits_ = 0;
      }
    } else if (c != '\r' && c != '\n' && !Blank(static_cast<char>(c))) {
      ++notes_.skipped;
    }
  }
  return out.Flush();
}

bool Base64Stream::Finish(Emit emit, void* context) {
  Out out{emit, context, notes_};
  notes_.lone = have_ == 1;
  notes_.padded = have_ == 0;
  if (have_ >= 2) {  // the bytes its characters hold, as if it were padded
    const unsigned bits = bits_ << (6 * (4 - have_));
    if (!out.Byte(static_cast<unsigned char>(bits >> 16))) return false;
    if (have_ == 3 && !out.Byte(static_cast<unsigned char>(bits >> 8))) return false;
  }
  have_ = 0, pads_ = 0, bits_ = 0;
  return out.Flush();
}

bool QuotedPrintable::Feed(const char* text, std::size_t n, Emit emit, void* context) {
  Out out{emit, context, notes_};
  for (std::size_t i = 0; i < n;) {
    const char c = text[i];
    if (state_ == State::kText && blanks_ == 0 && !cr_) {  // a run of plain text at once
      std::size_t end = i;
      while (end < n && text[end] != '=' && text[end] != '\r' && text[end] != '\n' &&
             !Blank(text[end])) {
        ++end;
      }
      if (end > i) {
        if (!out.Bytes(text + i, end - i)) return false;
        i = end;
        continue;
      }
    }
    switch (state_) {
      case State::kText:
        if (c == '\n') {  // blanks before the line's end go
          blanks_ = 0;
          if (cr_ && !out.Byte('\r')) return false;
          cr_ = false;
          if (!out.Byte('\n')) return false;
        } else if ((c == '\r' || Blank(c)) && !cr_) {
          if (c == '\r') {
            cr_ = true;
          } else if (blanks_ < sizeof blank_) {
            blank_[blanks_++] = c;
          } else if (!out.Bytes(blank_, blanks_) || !out.Byte(static_cast<unsigned char>(c))) {
            return false;  // more blanks than any line ends in: text
          } else {
            blanks_ = 0;
          }
        } else {
          // Blanks and a CR that end no line are text.
          if (!out.Bytes(blank_, blanks_)) return false;
          blanks_ = 0;
          if (cr_ && !out.Byte('\r')) return false;
          cr_ = false;
          if (c == '=') {
            state_ = State::kEquals;
          } else if (c == '\r' || Blank(c)) {
            continue;  // held, as above
          } else if (!out.Byte(static_cast<unsigned char>(c))) {
            return false;
          }
        }
        ++i;
        continue;
      case State::kEquals:
        if (Hex(c) >= 0) {
          hex_ = c, state_ = State::kHex, ++i;
          continue;
        }
        if (c == '\n' || c == '\r' || Blank(c)) {
          state_ = State::kSoft;
          continue;
        }
        if (!out.Byte('=')) return false;
        state_ = State::kText;  // c again, as text
        continue;
      case State::kHex:
        if (Hex(c) >= 0) {
          if (!out.Byte(static_cast<unsigned char>(Hex(hex_) << 4 | Hex(c)))) return false;
          ++i;
        } else if (!out.Byte('=') || !out.Byte(static_cast<unsigned char>(hex_))) {
          return false;
        }
        state_ = State::kText;
        continue;
      case State::kSoft:  // '=' and blanks: a soft break when the line ends here
        if (Blank(c)) {
          if (blanks_ < sizeof blank_) blank_[blanks_++] = c;
          ++i;
        } else if (c == '\n') {
          blanks_ = 0, state_ = State::kText, ++i;
        } else if (c == '\r') {
          state_ = State::kSoftCr, ++i;
        } else {
          if (!out.Byte('=') || !out.Bytes(blank_, blanks_)) return false;
          blanks_ = 0, state_ = State::kText;
        }
        continue;
      case State::kSoftCr:
        if (c == '\n') {
          blanks_ = 0, state_ = State::kText, ++i;
          continue;
        }
        if (!out.Byte('=') || !out.Bytes(blank_, blanks_)) return false;
        blanks_ = 0, cr_ = true, state_ = State::kText;
        continue;
    }
  }
  return out.Flush();
}

bool QuotedPrintable::Finish(Emit emit, void* context) {
  Out out{emit, context, notes_};
  // A '=' at the very end breaks to nothing; blanks at the end went in transport.
  if (state_ == State::kHex && (!out.Byte('=') || !out.Byte(static_cast<unsigned char>(hex_)))) {
    return false;
  }
  if (state_ == State::kSoftCr && !out.Byte('\r')) return false;
  if (state_ == State::kText && cr_ && !out.Byte('\r')) return false;  // blanks held go
  state_ = State::kText, blanks_ = 0, cr_ = false;
  return out.Flush();
}

const char* Uudecode::Begin(const char* s, std::size_t n) {
  if (n < 10 || std::memcmp(s, "begin ", 6) != 0) return nullptr;
  std::size_t i = 6, digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '7') ++i, ++digits;
  return digits >= 3 && digits <= 4 && i + 1 < n && s[i] == ' ' ? s + i + 1 : nullptr;
}

bool Uudecode::Line(Emit emit, void* context) {
  const std::size_t n = length_;
  length_ = 0;
  std::size_t first = 0, last = n;
  while (first < last && (Blank(line_[first]) || line_[first] == '\r' || line_[first] == '\f')) {
    ++first;
  }
  while (last > first && (Blank(line_[last - 1]) || line_[last - 1] == '\r' || line_[last - 1] == '\f')) {
    --last;
  }
  if (last - first == 3 && std::memcmp(line_ + first, "end", 3) == 0) {
    ended_ = true;
    return true;
  }
  if (n == 0) return true;
  Out out{emit, context, notes_};
  const std::size_t count = static_cast<unsigned char>(line_[0] - ' ') & 0x3F;
  std::size_t made = 0;
  for (std::size_t i = 1; made < count; i += 4) {
    unsigned v[4];
    for (int k = 0; k < 4; ++k) {
      v[k] = i + k < n ? static_cast<unsigned char>(line_[i + k] - ' ') & 0x3F : 0;
    }
    const unsigned char bytes[3] = {static_cast<unsigned char>(v[0] << 2 | v[1] >> 4),
                                    static_cast<unsigned char>(v[1] << 4 | v[2] >> 2),
                                    static_cast<unsigned char>(v[2] << 6 | v[3])};
    for (int k = 0; k < 3 && made < count; ++k, ++made) {
      if (!out.Byte(bytes[k])) return false;
    }
  }
  return out.Flush();
}

bool Uudecode::Feed(const char* text, std::size_t n, Emit emit, void* context) {
  for (std::size_t i = 0; i < n && !ended_; ++i) {
    if (text[i] == '\n') {
      if (!Line(emit, context)) return false;
    } else if (length_ < sizeof line_) {
      line_[length_++] = text[i];
    }
  }
  return true;
}

bool Uudecode::Finish(Emit emit, void* context) {
  return ended_ || length_ == 0 || Line(emit, context);
}

}  // namespace velko
