#include "text/transcode.h"

#include <cstring>
#include <new>

#include "codec/simd.h"

namespace velko {
namespace {

constexpr std::size_t kBlock = 128 * 1024;
constexpr std::size_t kCarry = 8;  // bytes a block may leave to the next: a cut sequence
// Input byte by input byte, the output grows at most five times (an escape sequence and a
// JIS pair for two bytes of UTF-8, or ESC ( B and '?' for one), with room for wide stores.
constexpr std::size_t kOut = 5 * (kBlock + kCarry) + 64;
constexpr unsigned char kEsc = 0x1B, kSo = 0x0E, kSi = 0x0F;
constexpr char32_t kReplacement = 0xFFFD;
constexpr unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};

// UTF-8 of a character of the Basic Multilingual Plane: its bytes from the lowest, and their
// count in the top byte.
constexpr std::uint32_t PackUtf8(char32_t c) {
  return c < 0x80    ? 1u << 24 | c
         : c < 0x800 ? 2u << 24 | (0x80 | (c & 0x3F)) << 8 | (0xC0 | c >> 6)
                     : 3u << 24 | (0x80 | (c & 0x3F)) << 16 | (0x80 | (c >> 6 & 0x3F)) << 8 |
                           (0xE0 | c >> 12);
}

inline void PutPacked(std::uint32_t packed, unsigned char** d) {
  unsigned char* p = *d;
  p[0] = static_cast<unsigned char>(packed);
  p[1] = static_cast<unsigned char>(packed >> 8);
  p[2] = static_cast<unsigned char>(packed >> 16);
  *d = p + (packed >> 24);
}

// Three bytes of UTF-8 with one store of four, where the next character's bytes overwrite the
// fourth; the output keeps room for it.
inline void StorePacked(std::uint32_t packed, unsigned char* d) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_WIN32)
  std::memcpy(d, &packed, 4);
#else
  PutPacked(packed, &d);
#endif
}

// Four bytes, the first lowest.
inline std::uint32_t Load4(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_WIN32)
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
#else
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
#endif
}

// Copies the ASCII bytes from `s` on, and with `shifts` stops at ESC, SO and SI too; returns
// how many it copied. `d` has room for end - s + 16 bytes.
inline std::size_t CopyAscii(unsigned char* d, const unsigned char* s, const unsigned char* end,
                             bool shifts) {
  const unsigned char* const from = s;
#if VELKO_SIMD
  for (; end - s >= simd::kWidth; s += simd::kWidth, d += simd::kWidth) {
    const simd::V v = simd::Load(s);
    simd::Store(d, v);
    std::uint32_t stop = simd::Mask(v);
    if (shifts) stop |= simd::Mask(simd::Or(simd::Eq(v, kEsc), simd::InRange(v, kSo, kSi)));
    if (stop != 0) return s - from + simd::First(stop);
  }
#endif
  while (s < end && *s < 0x80 && !(shifts && (*s == kEsc || *s == kSo || *s == kSi))) {
    *d++ = *s++;
  }
  return s - from;
}

// The escape sequences 7-bit JIS text holds, and the set each one selects.
struct Escape {
  const char* bytes;  // after the ESC
  int set;            // 0 ASCII, 1 double-byte, 2 kana, -1 none (an announcer)
};
constexpr Escape kEscapes[] = {
    {"(B", 0}, {"(J", 0}, {"(I", 2}, {"$@", 1}, {"$B", 1}, {"$(B", 1}, {"&@", -1},
};

}  // namespace

bool Transcoding::Prepare() {
  in_.reset(new (std::nothrow) unsigned char[kBlock + kCarry]);
  out_.reset(new (std::nothrow) unsigned char[kOut]);
  if (!in_ || !out_) return false;
  if (options_.crlf) {
    eol_.reset(new (std::nothrow) unsigned char[2 * kOut]);
    if (!eol_) return false;
  }
  if (options_.from == Form::kUtf8) {
    return encoder_.Build(options_.to == Form::kJis ? Cp932Encoder::For::kJis
                                                    : Cp932Encoder::For::kShiftJis,
                          options_.pc98);
  }
  pairs_.reset(new (std::nothrow) std::uint32_t[60 * 256]);
  if (!pairs_) return false;
  int row = 0;
  for (unsigned lead = 0; lead < 256; ++lead) {
    rows_[lead] = static_cast<signed char>(IsSjisLeadByte(static_cast<unsigned char>(lead)) ? row++
                                                                                           : -1);
    const char32_t single = Cp932Single(lead);
    singles_[lead] = single == kNoCharacter ? 0 : PackUtf8(single);
    if (rows_[lead] < 0) continue;
    for (unsigned trail = 0; trail < 256; ++trail) {
      const char32_t c = Cp932Pair(lead, trail, options_.jis_readings);
      pairs_[rows_[lead] * 256 + trail] = c == kNoCharacter ? 0 : PackUtf8(c);
    }
  }
  return true;
}

bool Transcoding::Tracking() const {
  return report_.unmapped < TranscodeReport::kShown ||
         (options_.to == Form::kJis && report_.first_vendor_line == 0);
}

void Transcoding::CountLines(const unsigned char* to) {
  const unsigned char* p = counted_;
  unsigned long long lines = 0;
#if VELKO_SIMD
  // A count a byte, summed every 255 blocks before one could overflow.
  while (to - p >= simd::kWidth) {
    simd::V counts = simd::Zero();
    for (int i = 0; i < 255 && to - p >= simd::kWidth; ++i, p += simd::kWidth) {
      counts = simd::Sub8(counts, simd::Eq(simd::Load(p), '\n'));
    }
    lines += simd::SumBytes(counts);
  }
#endif
  for (; p < to; ++p) lines += *p == '\n';
  if (lines > 0) {
    const unsigned char* last = to - 1;
    while (*last != '\n') --last;
    line_ += lines;
    line_start_ = base_ + (last - block_) + 1;
  }
  counted_ = to;
}

void Transcoding::Lost(const unsigned char* at, unsigned length, char32_t c, unsigned char** d) {
  if (report_.unmapped < TranscodeReport::kShown) {
    CountLines(at);
    Unmapped& u = report_.shown[report_.unmapped];
    u.line = line_;
    u.column = base_ + (at - block_) - line_start_ + 1;
    std::memcpy(u.bytes, at, length);
    u.length = length;
    u.character = c;
  }
  ++report_.unmapped;
  report_.invalid += c == kNoCharacter;
  if (options_.to == Form::kUtf8) return PutPacked(PackUtf8(kReplacement), d);
  if (options_.to == Form::kJis) Shift(Set::kAscii, d);
  *(*d)++ = '?';
}

void Transcoding::Shift(Set to, unsigned char** d) {
  if (out_set_ == to) return;
  unsigned char* p = *d;
  p[0] = kEsc;
  p[1] = to == Set::kDouble ? '$' : '(';
  p[2] = to == Set::kDouble ? 'B' : to == Set::kKana ? 'I' : 'B';
  *d = p + 3;
  out_set_ = to;
}

std::size_t Transcoding::FromSjis(const unsigned char* s0, std::size_t n, bool last,
                                  unsigned char** out) {
  const unsigned char *s = s0, *const end = s0 + n;
  unsigned char* d = *out;
  // Locals: the stores through `d` could otherwise be the members' bytes.
  const signed char* const rows = rows_;
  const std::uint32_t* const pairs = pairs_.get();
  const std::uint32_t* const singles = singles_;
  while (s < end) {
    const std::size_t ascii = CopyAscii(d, s, end, false);
    s += ascii;
    d += ascii;
    // Characters of two bytes and half-width kana, one after another, those of three bytes
    // of UTF-8 (nearly all) here. Neither where the next one is read nor where it is written
    // waits for this one's tables: the branch on the kind of byte is foreseen.
    constexpr std::uint32_t kThree = 3u << 24;
    while (end - s >= 4) {  // two double-byte characters at a time
      const int row0 = rows[s[0]], row1 = rows[s[2]];
      if ((row0 | row1) < 0) break;
      const std::uint32_t packed0 = pairs[row0 * 256 + s[1]], packed1 = pairs[row1 * 256 + s[3]];
      if ((packed0 & packed1 & 0xFF000000u) != kThree) break;
      StorePacked(packed0, d);
      StorePacked(packed1, d + 3);
      d += 6;
      s += 4;
    }
    while (end - s >= 2 && *s >= 0x80) {
      const int row = rows[*s];
      if (row >= 0) {
        const std::uint32_t packed = pairs[row * 256 + s[1]];
        if ((packed & 0xFF000000u) != kThree) break;
        StorePacked(packed, d);
        d += 3;
        s += 2;
      } else {
        const std::uint32_t packed = singles[*s];
        if ((packed & 0xFF000000u) != kThree) break;
        StorePacked(packed, d);
        d += 3;
        s += 1;
      }
    }
    if (s == end || *s < 0x80) continue;
    if (rows[*s] >= 0 && end - s >= 2) {
      if (const std::uint32_t packed = pairs[rows[*s] * 256 + s[1]]) {  // two bytes of UTF-8
        PutPacked(packed, &d);
        s += 2;
        continue;
      }
    }
    if (rows[*s] < 0) {  // the last byte, one with no character, or U+0080
      if (const std::uint32_t packed = singles[*s]) {
        PutPacked(packed, &d);
      } else {
        Lost(s, 1, kNoCharacter, &d);
      }
      ++s;
      continue;
    }
    if (end - s < 2) {  // a lead byte the next block may complete
      if (!last) break;
      Lost(s++, 1, kNoCharacter, &d);
      continue;
    }
    // A code with no character is lost whole, but an ASCII byte after a lead byte is read
    // again on its own.
    const unsigned length = s[1] >= 0x80 && IsSjisTrailByte(s[1]) ? 2 : 1;
    Lost(s, length, kNoCharacter, &d);
    s += length;
  }
  *out = d;
  return s - s0;
}

std::size_t Transcoding::FromJis(const unsigned char* s0, std::size_t n, bool last,
                                 unsigned char** out) {
  const unsigned char *s = s0, *const end = s0 + n;
  unsigned char* d = *out;
  while (s < end) {
    const unsigned c = *s;
    const bool kana = shifted_out_ || in_set_ == Set::kKana;
    if (in_set_ == Set::kDouble && !shifted_out_ && c >= 0x21 && c <= 0x7E) {
      if (end - s < 2 && !last) break;
      if (end - s < 2 || s[1] < 0x21 || s[1] > 0x7E) {
        Lost(s++, 1, kNoCharacter, &d);
        continue;
      }
      unsigned char sjis[2];
      JisCharToSjis(sjis, s);
      if (const std::uint32_t packed = pairs_[rows_[sjis[0]] * 256 + sjis[1]]) {
        PutPacked(packed, &d);
      } else {
        Lost(s, 2, kNoCharacter, &d);
      }
      s += 2;
      continue;
    }
    if (c == kEsc) {
      const std::size_t left = end - s - 1;
      int set = -2;  // none known
      std::size_t length = 0;
      bool cut = false;  // the bytes left could still begin one
      for (const Escape& e : kEscapes) {
        const std::size_t size = std::strlen(e.bytes);
        const std::size_t have = left < size ? left : size;
        if (std::memcmp(s + 1, e.bytes, have) != 0) continue;
        if (have < size) {
          cut = true;
        } else {
          set = e.set, length = 1 + size;
        }
      }
      if (set == -2 && cut && !last) break;
      if (set == -2) {
        Lost(s++, 1, kNoCharacter, &d);
        continue;
      }
      if (set >= 0) in_set_ = static_cast<Set>(set);
      s += length;
      continue;
    }
    if (c == kSo || c == kSi) {
      shifted_out_ = c == kSo;
      ++s;
      continue;
    }
    // A line never begins inside a double-byte or kana run.
    if (c == '\n' || c == '\r') {
      in_set_ = Set::kAscii;
      shifted_out_ = false;
    }
    if (kana && c >= 0x21 && c <= 0x7E) {
      if (c <= 0x5F) {
        PutPacked(singles_[c + 0x80], &d);
      } else {
        Lost(s, 1, kNoCharacter, &d);
      }
      ++s;
      continue;
    }
    if (in_set_ == Set::kAscii && !shifted_out_) {
      const std::size_t ascii = CopyAscii(d, s, end, true);
      s += ascii;
      d += ascii;
      if (ascii > 0) continue;
    }
    // Controls, space and DEL in any set; an 8-bit byte as code page 932 reads it alone
    // (VELKO's own JIS keeps half-width kana so).
    if (const std::uint32_t packed = singles_[c]) {
      PutPacked(packed, &d);
    } else {
      Lost(s, 1, kNoCharacter, &d);
    }
    ++s;
  }
  *out = d;
  return s - s0;
}

std::size_t Transcoding::FromUtf8(const unsigned char* s0, std::size_t n, bool last,
                                  unsigned char** out) {
  const unsigned char *s = s0, *const end = s0 + n;
  unsigned char* d = *out;
  const bool jis = options_.to == Form::kJis;
  const Cp932Encoder& encoder = encoder_;
  while (s < end) {
    if (out_set_ == Set::kAscii) {
      const std::size_t ascii = CopyAscii(d, s, end, jis);
      s += ascii;
      d += ascii;
      if (s == end) break;
    }
    // Into Shift_JIS, characters of three bytes of UTF-8 one after another, read four bytes
    // at a time; those whose first byte narrows the second's range (0xE0, 0xED) and all others
    // go the long way.
    const std::uint16_t* const codes = encoder.Codes();
    // Two at a time while both have codes of two bytes.
    while (!jis && end - s >= 8) {
      const std::uint64_t w = Load4(s) | static_cast<std::uint64_t>(Load4(s + 4)) << 32;
      const unsigned low0 = w & 0x0F, low1 = w >> 24 & 0x0F;
      if ((w & 0xC0C0F0C0C0F0u) != 0x8080E08080E0u || low0 == 0 || low0 == 0xD || low1 == 0 ||
          low1 == 0xD) {
        break;
      }
      const unsigned code0 = codes[low0 << 12 | (w >> 2 & 0xFC0) | (w >> 16 & 0x3F)];
      const unsigned code1 = codes[low1 << 12 | (w >> 26 & 0xFC0) | (w >> 40 & 0x3F)];
      if (code0 < 0x100 || code1 < 0x100) break;
      d[0] = static_cast<unsigned char>(code0 >> 8);
      d[1] = static_cast<unsigned char>(code0);
      d[2] = static_cast<unsigned char>(code1 >> 8);
      d[3] = static_cast<unsigned char>(code1);
      d += 4;
      s += 6;
    }
    while (!jis && end - s >= 4) {
      const std::uint32_t w = Load4(s);
      const unsigned low = w & 0x0F;
      if ((w & 0xC0C0F0u) != 0x8080E0u || low == 0 || low == 0xD) break;
      const unsigned code = codes[low << 12 | (w >> 2 & 0xFC0) | (w >> 16 & 0x3F)];
      if (code >= 0x100) {
        d[0] = static_cast<unsigned char>(code >> 8);
        d[1] = static_cast<unsigned char>(code);
        d += 2;
      } else if (code != 0) {
        *d++ = static_cast<unsigned char>(code);
      } else {
        break;
      }
      s += 3;
    }
    if (s == end) break;
    const unsigned c0 = *s;
    if (c0 < 0x80) {
      PutCharacter(c0, s, &d);
      ++s;
      continue;
    }
    // Two to four bytes; no overlong form, surrogate or code point past U+10FFFF.
    const unsigned need = c0 >= 0xC2 && c0 <= 0xDF   ? 2
                          : c0 >= 0xE0 && c0 <= 0xEF ? 3
                          : c0 >= 0xF0 && c0 <= 0xF4 ? 4
                                                     : 1;
    const unsigned lo = c0 == 0xE0 ? 0xA0 : c0 == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = c0 == 0xED ? 0x9F : c0 == 0xF4 ? 0x8F : 0xBF;
    unsigned got = 1;
    while (got < need && s + got < end && s[got] >= (got == 1 ? lo : 0x80) &&
           s[got] <= (got == 1 ? hi : 0xBF)) {
      ++got;
    }
    if (got < need && s + got == end && !last) break;
    if (need == 1 || got < need) {  // the longest valid beginning is lost as one
      Lost(s, got, kNoCharacter, &d);
      s += got;
      continue;
    }
    char32_t c = need == 2 ? (c0 & 0x1F) << 6 | (s[1] & 0x3F)
                 : need == 3
                     ? (c0 & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F)
                     : (c0 & 0x07) << 18 | (s[1] & 0x3F) << 12 | (s[2] & 0x3F) << 6 | (s[3] & 0x3F);
    if (jis && options_.kana == Kana::kFull && c >= 0xFF61 && c <= 0xFF9F) {
      // A voiced or semi-voiced mark after it may join it: wait for the next character.
      if (end - s < 6 && !last) break;
      const unsigned char next =
          end - s >= 6 && s[3] == 0xEF && s[4] == 0xBE && (s[5] == 0x9E || s[5] == 0x9F)
              ? static_cast<unsigned char>(s[5] + 0x40)
              : 0;
      bool joined;
      const unsigned code = FullWidthKana(static_cast<unsigned char>(c - 0xFF61 + 0xA1), next,
                                          &joined);
      const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8),
                                     static_cast<unsigned char>(code)};
      Shift(Set::kDouble, &d);
      SjisCharToJis(d, pair);
      d += 2;
      s += joined ? 6 : 3;
      continue;
    }
    PutCharacter(c, s, &d);
    s += need;
  }
  *out = d;
  return s - s0;
}

void Transcoding::PutCharacter(char32_t c, const unsigned char* at, unsigned char** d) {
  const unsigned length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  if (options_.to == Form::kShiftJis) {
    const unsigned code = c < 0x80 ? c : encoder_.Code(c);
    if (code == 0 && c != 0) return Lost(at, length, c, d);
    unsigned char* p = *d;
    if (code >= 0x100) *p++ = static_cast<unsigned char>(code >> 8);
    *p++ = static_cast<unsigned char>(code);
    *d = p;
    return;
  }
  if (c < 0x80) {
    // ESC, SO and SI would be read as shifts.
    if (c == kEsc || c == kSo || c == kSi) return Lost(at, length, c, d);
    Shift(Set::kAscii, d);
    *(*d)++ = static_cast<unsigned char>(c);
    return;
  }
  if (c >= 0xFF61 && c <= 0xFF9F) {  // not kFull: FromUtf8 writes those
    const unsigned char byte = static_cast<unsigned char>(c - 0xFF61 + 0xA1);
    Shift(options_.kana == Kana::kEscI ? Set::kKana : Set::kAscii, d);
    *(*d)++ = options_.kana == Kana::kEscI ? byte - 0x80 : byte;
    return;
  }
  const unsigned code = encoder_.Code(c);
  if (code < 0x100) return Lost(at, length, c, d);
  const unsigned lead = code >> 8;
  if ((lead >= 0x85 && lead <= 0x87) || lead == 0xED || lead == 0xEE) {
    if (report_.vendor++ == 0) {
      CountLines(at);
      report_.first_vendor_line = line_;
    }
  }
  const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                 static_cast<unsigned char>(code)};
  Shift(Set::kDouble, d);
  SjisCharToJis(*d, pair);
  *d += 2;
}

LinesResult Transcoding::Run(File& in, File& out) {
  report_ = TranscodeReport();
  in_set_ = out_set_ = Set::kAscii;
  shifted_out_ = last_cr_ = false;
  base_ = 0;
  line_ = 1;
  line_start_ = 0;
  bool bom_seen = options_.from != Form::kUtf8;  // one at the start of UTF-8 is dropped
  unsigned char* d = out_.get();
  if (options_.bom && options_.to == Form::kUtf8) PutPacked(PackUtf8(0xFEFF), &d);
  LinesResult result = LinesResult::kDone;
  std::size_t carry = 0;
  for (bool last = false; !last;) {
    unsigned char* const s = in_.get();
    const long got = in.Read(s + carry, kBlock);
    if (got < 0) {
      result = LinesResult::kReadError;
      break;
    }
    last = got == 0;
    const std::size_t n = carry + static_cast<std::size_t>(got);
    block_ = counted_ = s;
    std::size_t taken = 0;
    if (!bom_seen) {
      const std::size_t have = n < 3 ? n : 3;
      if (have < 3 && !last && std::memcmp(s, kBom, have) == 0) {
        carry = n;
        continue;
      }
      bom_seen = true;
      if (have == 3 && std::memcmp(s, kBom, 3) == 0) taken = 3;
    }
    taken += options_.from == Form::kShiftJis ? FromSjis(s + taken, n - taken, last, &d)
             : options_.from == Form::kJis    ? FromJis(s + taken, n - taken, last, &d)
                                              : FromUtf8(s + taken, n - taken, last, &d);
    if (Tracking()) CountLines(s + taken);
    if (last && options_.to == Form::kJis) Shift(Set::kAscii, &d);
    // The block's text, every lone LF made CR LF when asked.
    const unsigned char* text = out_.get();
    std::size_t size = d - text;
    if (options_.crlf) {
      unsigned char* e = eol_.get();
      for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n' && !last_cr_) *e++ = '\r';
        last_cr_ = text[i] == '\r';
        *e++ = text[i];
      }
      text = eol_.get();
      size = e - text;
    }
    if (size > 0 && !out.Write(text, size)) {
      result = LinesResult::kWriteError;
      break;
    }
    d = out_.get();
    std::memmove(s, s + taken, n - taken);
    carry = n - taken;
    base_ += taken;
  }
  in.Close();
  const bool closed = out.Close();
  return result == LinesResult::kDone && !closed ? LinesResult::kWriteError : result;
}

}  // namespace velko
