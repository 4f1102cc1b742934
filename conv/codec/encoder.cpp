// UTF-8 into a charset, a piece at a time.
#include <cstdint>
#include <cstring>

#include "codec/cp932.h"
#include "codec/jis.h"
#include "codec/simd.h"
#include "codec/stream.h"
#include "codec/tables.h"
#include "velko/codec.h"
#include "velko/utf8.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B, kSo = 0x0E, kSi = 0x0F;
constexpr unsigned char kAsciiSet = 0, kDoubleSet = 1, kKanaSet = 2;

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

// The character of three bytes of UTF-8 in the low bytes of `w`, or 0 when they are none (or
// begin with E0 or ED, whose second bytes have narrower ranges: those go the long way).
inline unsigned ThreeBytes(std::uint32_t w) {
  const unsigned low = w & 0x0F;
  if ((w & 0xC0C0F0u) != 0x8080E0u || low == 0 || low == 0xD) return 0;
  return low << 12 | (w >> 2 & 0xFC0) | (w >> 16 & 0x3F);
}

// Codes that strict JIS decoders refuse: NEC row 13, the PC-98 ruled lines (rows 9-15 in JIS)
// and the NEC-selected IBM rows 89-92.
constexpr bool VendorLead(unsigned lead) {
  return (lead >= 0x85 && lead <= 0x87) || lead == 0xED || lead == 0xEE;
}

// The half-width voiced or semi-voiced mark (as its Shift_JIS byte) in the three bytes of UTF-8
// after the kana at `s`, or 0 for none there or none read yet.
inline unsigned char MarkAfter(const unsigned char* s, const unsigned char* end) {
  return end - s >= 6 && s[3] == 0xEF && s[4] == 0xBE && (s[5] == 0x9E || s[5] == 0x9F)
             ? static_cast<unsigned char>(s[5] + 0x40)
             : 0;
}

// The JIS code (row << 8 | cell) of every character of the Basic Multilingual Plane that 7-bit
// JIS carries, with kVendor set for the codes strict decoders refuse; 0 for none. Made once
// per table of codes, at its first use: the loops look a character up once, no arithmetic.
constexpr std::uint16_t kVendor = 0x8000;
struct JisCodes {
  std::uint16_t of[0x10000] = {};
  explicit JisCodes(const std::uint16_t* codes) {
    for (unsigned c = 0x80; c < 0x10000; ++c) {
      const unsigned code = codes[c];
      if (code < 0x100) continue;
      const unsigned char sjis[2] = {static_cast<unsigned char>(code >> 8),
                                     static_cast<unsigned char>(code)};
      unsigned char jis[2];
      SjisCharToJis(jis, sjis);
      of[c] =
          static_cast<std::uint16_t>(jis[0] << 8 | jis[1] | (VendorLead(sjis[0]) ? kVendor : 0));
    }
  }
};
const std::uint16_t* JisCodesFor(bool pc98) {
  if (pc98) {
    static const JisCodes codes(Cp932Codes(true, true));
    return codes.of;
  }
  static const JisCodes codes(Cp932Codes(true, false));
  return codes.of;
}

}  // namespace

struct EncoderCore {
  using Bytes = const unsigned char*;

  static CodecResult Sjis(Encoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                          std::size_t room, bool last, unsigned long long base) {
    const std::uint16_t* const codes = static_cast<const std::uint16_t*>(self.table_);
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    while (s < end) {
      const Bytes roomy = RoomyEnd(s, end, d, dend, 1);
      const std::size_t ascii = CopyAscii(d, s, roomy, false);
      s += ascii;
      d += ascii;
      // Characters of three bytes of UTF-8 one after another, two at a time while both have
      // codes of two bytes.
      while (roomy - s >= 8) {
        // Both checked at once in six bytes of eight; those whose first byte narrows the
        // second's range (E0, ED) go the long way.
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
      while (roomy - s >= 4) {
        const unsigned c = ThreeBytes(Load4(s));
        const unsigned code = c != 0 ? codes[c] : 0;
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
      if (*s < 0x80 && s < roomy) continue;  // ASCII again: copied at once
      const Utf8Read u = ReadUtf8(s, static_cast<std::size_t>(end - s));
      if (u.kind == Utf8Kind::kCut && !last) break;
      if (u.kind != Utf8Kind::kCharacter) {
        return Bad(CodecStatus::kMalformed, s0, s, u.length, s + u.length, d - d0, base,
                   kNoCharacter);
      }
      const char32_t c = u.character;
      const unsigned code = c < 0x80 ? c : c < 0x10000 ? codes[c] : 0;
      if (code == 0 && c != 0) {
        return Bad(CodecStatus::kUnmappable, s0, s, u.length, s + u.length, d - d0, base, c);
      }
      if (dend - d < (code >= 0x100 ? 2 : 1)) return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      if (code >= 0x100) *d++ = static_cast<unsigned char>(code >> 8);
      *d++ = static_cast<unsigned char>(code);
      s += u.length;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }

  // 7-bit JIS and EUC-JP: the cells of JIS X 0208 that code page 932 holds, as 7-bit JIS
  // carries them.
  static CodecResult Jis(Encoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                         std::size_t room, bool last, unsigned long long base) {
    const std::uint16_t* const codes = static_cast<const std::uint16_t*>(self.table_);
    const bool euc = self.charset_ == Charset::kEucJp;
    const std::uint16_t* const x0212 = euc ? JisX0212Codes() : nullptr;
    const Kana kana = self.options_.kana;
    const unsigned char high = euc ? 0x80 : 0;  // EUC-JP is 7-bit JIS with the high bits set
    const std::uint16_t* const jis = JisCodesFor(self.options_.pc98);
    const bool full_kana = !euc && kana == Kana::kFull;
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    // Into JIS, the bytes that shift to `to` when it is not the set in use.
    unsigned char out[8];
    unsigned k = 0;
    unsigned char set = self.set_;
    auto shift = [&](unsigned char to) {
      if (euc || set == to) return;
      out[k++] = kEsc;
      out[k++] = to == kDoubleSet ? '$' : '(';
      out[k++] = to == kDoubleSet ? 'B' : to == kKanaSet ? 'I' : 'B';
      set = to;
    };
    // The escape to `to`, if any, written at once.
    auto shift_here = [&](unsigned char to) {
      k = 0;
      shift(to);
      std::memcpy(d, out, k);
      d += k;
      self.set_ = set;
    };
    auto pair = [&](unsigned code) {
      const unsigned char sjis[2] = {static_cast<unsigned char>(code >> 8),
                                     static_cast<unsigned char>(code)};
      SjisCharToJis(out + k, sjis);
      out[k++] |= high;
      out[k++] |= high;
    };
    // Back to ASCII before the bad sequence of `length` bytes is told.
    auto bad = [&](CodecStatus status, unsigned length, char32_t c) {
      shift(kAsciiSet);
      if (dend - d < static_cast<std::ptrdiff_t>(k))
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      std::memcpy(d, out, k);
      d += k;
      self.set_ = kAsciiSet;
      return Bad(status, s0, s, length, s + length, d - d0, base, c);
    };
    while (s < end) {
      set = self.set_;
      const Bytes roomy = RoomyEnd(s, end, d, dend, 4);
      if (set == kAsciiSet) {
        const std::size_t ascii = CopyAscii(d, s, roomy, !euc);
        s += ascii;
        d += ascii;
        // Into a run of the JIS rows: its escape here, not the long way.
        if (!euc && roomy - s >= 4) {
          const unsigned c = ThreeBytes(Load4(s));
          if (c != 0 && jis[c] != 0) shift_here(kDoubleSet);
        }
      }
      // Characters of three bytes of UTF-8 one after another with codes of the JIS rows; into
      // 7-bit JIS with kana as full-width characters, half-width kana among them too.
      while ((set == kDoubleSet || euc) && roomy - s >= 4) {
        const unsigned c = ThreeBytes(Load4(s));
        unsigned code = c != 0 ? jis[c] : 0;
        unsigned length = 3;
        if (code != 0) {
          if ((code & kVendor) && self.vendor_++ == 0) self.first_vendor_ = base + (s - s0);
        } else if (full_kana && c >= 0xFF61 && c <= 0xFF9F && end - s >= 6) {
          // A voiced or semi-voiced mark after it joins it.
          bool joined;
          const unsigned sjis = FullWidthKana(static_cast<unsigned char>(c - 0xFF61 + 0xA1),
                                              MarkAfter(s, end), &joined);
          k = 0;
          pair(sjis);
          code = out[0] << 8 | out[1];
          length = joined ? 6 : 3;
        } else {
          break;
        }
        d[0] = static_cast<unsigned char>((code >> 8 & 0x7F) | high);
        d[1] = static_cast<unsigned char>((code & 0x7F) | high);
        d += 2;
        s += length;
      }
      // Back to ASCII for the ASCII after a run: the escape here, the ASCII copied at once.
      if (!euc && set == kDoubleSet && s < roomy && *s < 0x80 && *s != kEsc && *s != kSo &&
          *s != kSi) {
        shift_here(kAsciiSet);
        continue;
      }
      if (s == end) break;
      k = 0;
      const Utf8Read u = ReadUtf8(s, static_cast<std::size_t>(end - s));
      if (u.kind == Utf8Kind::kCut && !last) break;
      if (u.kind != Utf8Kind::kCharacter)
        return bad(CodecStatus::kMalformed, u.length, kNoCharacter);
      const char32_t c = u.character;
      unsigned length = u.length;
      bool vendor = false;
      if (c < 0x80) {
        // ESC, SO and SI would be read as shifts.
        if (!euc && (c == kEsc || c == kSo || c == kSi)) {
          return bad(CodecStatus::kUnmappable, length, c);
        }
        shift(kAsciiSet);
        out[k++] = static_cast<unsigned char>(c);
      } else if (c >= 0xFF61 && c <= 0xFF9F) {
        const unsigned char byte = static_cast<unsigned char>(c - 0xFF61 + 0xA1);
        if (euc) {
          out[k++] = 0x8E;
          out[k++] = byte;
        } else if (kana == Kana::kFull) {
          // A voiced or semi-voiced mark after it may join it: the next character decides.
          if (end - s < 6 && !last) break;
          bool joined;
          const unsigned code = FullWidthKana(byte, MarkAfter(s, end), &joined);
          shift(kDoubleSet);
          pair(code);
          length = joined ? 6 : 3;
        } else if (kana == Kana::kEscI) {
          shift(kKanaSet);
          out[k++] = static_cast<unsigned char>(byte - 0x80);
        } else {
          shift(kAsciiSet);
          out[k++] = byte;
        }
      } else {
        const unsigned code = c < 0x10000 ? codes[c] : 0;
        const unsigned x = euc && code < 0x100 && c < 0x10000 ? x0212[c] : 0;
        if (code >= 0x100) {
          vendor = VendorLead(code >> 8);
          shift(kDoubleSet);
          pair(code);
        } else if (x != 0) {
          out[k++] = 0x8F;
          out[k++] = static_cast<unsigned char>(x >> 8 | 0x80);
          out[k++] = static_cast<unsigned char>(x | 0x80);
        } else {
          return bad(CodecStatus::kUnmappable, length, c);
        }
      }
      if (dend - d < static_cast<std::ptrdiff_t>(k))
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      if (vendor && self.vendor_++ == 0) self.first_vendor_ = base + (s - s0);
      std::memcpy(d, out, k);
      d += k;
      self.set_ = set;
      s += length;
    }
    if (s < end) return Done(CodecStatus::kInputEmpty, s - s0, d - d0);  // a cut sequence
    if (last && self.set_ != kAsciiSet) {
      k = 0;
      set = self.set_;
      shift(kAsciiSet);
      if (dend - d < static_cast<std::ptrdiff_t>(k))
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      std::memcpy(d, out, k);
      d += k;
      self.set_ = kAsciiSet;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }

  // UTF-8, ASCII and Latin-1.
  static CodecResult Plain(Encoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                           std::size_t room, bool last, unsigned long long base) {
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    while (s < end) {
      const std::size_t ascii = CopyAscii(d, s, AsciiEnd(s, end, d, dend), false);
      s += ascii;
      d += ascii;
      if (s == end) break;
      const Utf8Read u = ReadUtf8(s, static_cast<std::size_t>(end - s));
      if (u.kind == Utf8Kind::kCut && !last) break;
      if (u.kind != Utf8Kind::kCharacter) {
        return Bad(CodecStatus::kMalformed, s0, s, u.length, s + u.length, d - d0, base,
                   kNoCharacter);
      }
      const bool utf8 = self.charset_ == Charset::kUtf8;
      const char32_t limit = utf8 ? 0x110000 : self.charset_ == Charset::kLatin1 ? 0x100 : 0x80;
      if (u.character >= limit) {
        return Bad(CodecStatus::kUnmappable, s0, s, u.length, s + u.length, d - d0, base,
                   u.character);
      }
      const unsigned made = utf8 ? u.length : 1;
      if (dend - d < static_cast<std::ptrdiff_t>(made)) {
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      }
      if (utf8) {
        std::memcpy(d, s, made);
      } else {
        *d = static_cast<unsigned char>(u.character);
      }
      d += made;
      s += u.length;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }
};

Encoder::Encoder(Charset charset, const EncoderOptions& options)
    : charset_(charset), options_(options) {
  if (charset == Charset::kShiftJis) table_ = Cp932Codes(false, options.pc98);
  if (charset == Charset::kJis || charset == Charset::kEucJp) {
    table_ = Cp932Codes(true, options.pc98);
  }
}

void Encoder::Reset() {
  offset_ = 0;
  pending_length_ = 0;
  set_ = kAsciiSet;
  vendor_ = first_vendor_ = 0;
}

std::size_t Encoder::MaxLength(std::size_t length) const {
  const std::size_t n = length + pending_length_;
  // Into JIS an ASCII character may need an escape before it, and the text ends in ASCII;
  // into EUC-JP a character of two bytes of UTF-8 may take three (JIS X 0212); into UTF-8 a
  // U+FFFD may stand for a bad byte.
  return charset_ == Charset::kJis     ? 4 * n + 3
         : charset_ == Charset::kEucJp ? 2 * n
         : charset_ == Charset::kUtf8  ? 3 * n
                                       : n;
}

CodecResult Encoder::EncodeFromUtf8(const unsigned char* src, std::size_t length,
                                    unsigned char* dst, std::size_t room, bool last) {
  using Core = CodecResult (*)(Encoder&, const unsigned char*, std::size_t, unsigned char*,
                               std::size_t, bool, unsigned long long);
  const Core core = charset_ == Charset::kShiftJis                             ? EncoderCore::Sjis
                    : charset_ == Charset::kJis || charset_ == Charset::kEucJp ? EncoderCore::Jis
                                                                               : EncoderCore::Plain;
  return RunStream(
      {pending_, pending_length_, offset_}, src, length, dst, room, last,
      [&](const unsigned char* s, std::size_t n, unsigned char* d, std::size_t r, bool l,
          unsigned long long base) { return core(*this, s, n, d, r, l, base); });
}

}  // namespace velko
