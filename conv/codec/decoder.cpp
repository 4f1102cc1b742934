// Bytes of a charset into UTF-8, a piece at a time.
#include <cstring>

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

// Three bytes of UTF-8 with one store of four, where the next character's bytes overwrite the
// fourth; the output keeps room for it.
inline void StorePacked(std::uint32_t packed, unsigned char* d) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_WIN32)
  std::memcpy(d, &packed, 4);
#else
  d[0] = static_cast<unsigned char>(packed);
  d[1] = static_cast<unsigned char>(packed >> 8);
  d[2] = static_cast<unsigned char>(packed >> 16);
#endif
}

// Exactly the character's bytes: the room may end right after them.
inline void PutPacked(std::uint32_t packed, unsigned char** d) {
  unsigned char* p = *d;
  const unsigned n = packed >> 24;
  p[0] = static_cast<unsigned char>(packed);
  if (n > 1) p[1] = static_cast<unsigned char>(packed >> 8);
  if (n > 2) p[2] = static_cast<unsigned char>(packed >> 16);
  *d = p + n;
}

// The escape sequences 7-bit JIS text holds, and the set each one selects.
struct Escape {
  const char* bytes;  // after the ESC
  unsigned char length;
  signed char set;  // kAsciiSet, kDoubleSet, kKanaSet; -1 none (an announcer, passed over)
};
constexpr Escape kEscapes[] = {
    {"(B", 2, kAsciiSet},  {"(J", 2, kAsciiSet},   {"(I", 2, kKanaSet}, {"$@", 2, kDoubleSet},
    {"$B", 2, kDoubleSet}, {"$(B", 3, kDoubleSet}, {"&@", 2, -1},
};

inline unsigned JisIndex(const unsigned char* p) { return (p[0] & 0x7Fu) << 7 | (p[1] & 0x7Fu); }

}  // namespace

// One pass of each charset over whole sequences (stream.h's RunStream gives what was cut).
struct DecoderCore {
  using Bytes = const unsigned char*;

  static CodecResult Sjis(Decoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                          std::size_t room, bool last, unsigned long long base) {
    const SjisDecodeTable& t = *static_cast<const SjisDecodeTable*>(self.table_);
    const signed char* const rows = t.rows;
    const std::uint32_t* const pairs = t.pairs;
    const std::uint32_t* const singles = t.singles;
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    while (s < end) {
      const Bytes roomy = RoomyEnd(s, end, d, dend, 3);
      const std::size_t ascii = CopyAscii(d, s, roomy, false);
      s += ascii;
      d += ascii;
      // Characters of two bytes and half-width kana, one after another, those of three bytes
      // of UTF-8 (nearly all) here. Neither where the next one is read nor where it is written
      // waits for this one's tables: the branch on the kind of byte is foreseen.
      while (roomy - s >= 4) {  // two double-byte characters at a time
        const int row0 = rows[s[0]], row1 = rows[s[2]];
        if ((row0 | row1) < 0) break;
        const std::uint32_t packed0 = pairs[row0 * 256 + s[1]], packed1 = pairs[row1 * 256 + s[3]];
        if ((packed0 & packed1 & 0xFF000000u) != kPackedThree) break;
        StorePacked(packed0, d);
        StorePacked(packed1, d + 3);
        d += 6;
        s += 4;
      }
      // Where the next one starts is foreseen too: a branch, not arithmetic on the row.
      while (roomy - s >= 2 && *s >= 0x80) {
        const int row = rows[*s];
        if (row >= 0) {
          const std::uint32_t packed = pairs[row * 256 + s[1]];
          if ((packed & 0xFF000000u) != kPackedThree) break;
          StorePacked(packed, d);
          d += 3;
          s += 2;
        } else {
          const std::uint32_t packed = singles[*s];
          if ((packed & 0xFF000000u) != kPackedThree) break;
          StorePacked(packed, d);
          d += 3;
          s += 1;
        }
      }
      if (s == end) break;
      if (*s < 0x80 && s < roomy) continue;  // ASCII again: copied at once
      // One character, whatever it is, if it fits.
      const unsigned c = *s;
      const int row = rows[c];
      unsigned length = 1;
      std::uint32_t packed = singles[c];
      if (row >= 0) {
        if (end - s < 2 && !last) break;  // the next input may hold its trail byte
        packed = end - s >= 2 ? pairs[row * 256 + s[1]] : 0;
        // A code with no character is malformed whole, but an ASCII byte (or one that is no
        // trail byte) after a lead byte is read again on its own.
        length = packed != 0 || (end - s >= 2 && s[1] >= 0x80 && s[1] <= 0xFC) ? 2 : 1;
      }
      if (packed == 0) {
        return Bad(CodecStatus::kMalformed, s0, s, length, s + length, d - d0, base, kNoCharacter);
      }
      if (dend - d < static_cast<std::ptrdiff_t>(packed >> 24)) {
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      }
      PutPacked(packed, &d);
      s += length;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }

  static CodecResult Jis(Decoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                         std::size_t room, bool last, unsigned long long base) {
    const SjisDecodeTable& t = *static_cast<const SjisDecodeTable*>(self.table_);
    const std::uint32_t* const jis_pairs = JisPairs(self.options_.jis_readings);
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    auto bad = [&](unsigned length) {
      return Bad(CodecStatus::kMalformed, s0, s, length, s + length, d - d0, base, kNoCharacter);
    };
    auto stop = [&](CodecStatus status) { return Done(status, s - s0, d - d0); };
    while (s < end) {
      const unsigned c = *s;
      const bool kana = self.shifted_out_ || self.set_ == kKanaSet;
      if (self.set_ == kDoubleSet && !self.shifted_out_ && c >= 0x21 && c <= 0x7E) {
        if (end - s < 2 && !last) return stop(CodecStatus::kInputEmpty);
        if (end - s < 2 || s[1] < 0x21 || s[1] > 0x7E) return bad(1);
        // Pairs one after another while they are characters of three bytes of UTF-8.
        const Bytes roomy = RoomyEnd(s, end, d, dend, 3);
        while (roomy - s >= 2 && s[0] >= 0x21 && s[0] <= 0x7E && s[1] >= 0x21 && s[1] <= 0x7E) {
          const std::uint32_t packed = jis_pairs[JisIndex(s)];
          if ((packed & 0xFF000000u) != kPackedThree) break;
          StorePacked(packed, d);
          d += 3;
          s += 2;
        }
        if (end - s < 2 || s[0] < 0x21 || s[0] > 0x7E || s[1] < 0x21 || s[1] > 0x7E) continue;
        const std::uint32_t packed = jis_pairs[JisIndex(s)];
        if (packed == 0) return bad(2);
        if (dend - d < static_cast<std::ptrdiff_t>(packed >> 24)) {
          return stop(CodecStatus::kOutputFull);
        }
        PutPacked(packed, &d);
        s += 2;
        continue;
      }
      if (c == kEsc) {
        const std::size_t left = static_cast<std::size_t>(end - s - 1);
        const Escape* found = nullptr;
        bool cut = false;  // the bytes left could still begin one
        for (const Escape& e : kEscapes) {
          const std::size_t have = left < e.length ? left : e.length;
          if (std::memcmp(s + 1, e.bytes, have) != 0) continue;
          if (have < e.length) {
            cut = true;
          } else {
            found = &e;
          }
        }
        if (!found && cut && !last) return stop(CodecStatus::kInputEmpty);
        if (!found) return bad(1);
        if (found->set >= 0) self.set_ = static_cast<unsigned char>(found->set);
        s += 1 + found->length;
        continue;
      }
      if (c == kSo || c == kSi) {
        self.shifted_out_ = c == kSo;
        ++s;
        continue;
      }
      if (self.set_ == kAsciiSet && !self.shifted_out_) {
        const std::size_t ascii = CopyAscii(d, s, AsciiEnd(s, end, d, dend), true);
        s += ascii;
        d += ascii;
        if (ascii > 0) continue;
      }
      // Controls, space and DEL in any set; an 8-bit byte as code page 932 reads it alone
      // (VELKO's own JIS keeps half-width kana so); kana in the kana set.
      std::uint32_t packed = t.singles[c];
      if (kana && c >= 0x21 && c <= 0x7E) packed = c <= 0x5F ? t.singles[c + 0x80] : 0;
      if (packed == 0) return bad(1);
      if (dend - d < static_cast<std::ptrdiff_t>(packed >> 24)) {
        return stop(CodecStatus::kOutputFull);
      }
      PutPacked(packed, &d);
      ++s;
      // A line never begins inside a double-byte or kana run.
      if (c == '\n' || c == '\r') {
        self.set_ = kAsciiSet;
        self.shifted_out_ = false;
      }
    }
    return stop(CodecStatus::kInputEmpty);
  }

  static CodecResult EucJp(Decoder& self, Bytes s0, std::size_t n, unsigned char* d0,
                           std::size_t room, bool last, unsigned long long base) {
    const std::uint32_t* const jis_pairs = JisPairs(self.options_.jis_readings);
    Bytes s = s0;
    const Bytes end = s0 + n;
    unsigned char* d = d0;
    unsigned char* const dend = d0 + room;
    auto in_range = [](unsigned b) { return b >= 0xA1 && b <= 0xFE; };
    while (s < end) {
      const Bytes roomy = RoomyEnd(s, end, d, dend, 3);
      const std::size_t ascii = CopyAscii(d, s, roomy, false);
      s += ascii;
      d += ascii;
      while (roomy - s >= 2 && in_range(s[0]) && in_range(s[1])) {
        const std::uint32_t packed = jis_pairs[JisIndex(s)];
        if ((packed & 0xFF000000u) != kPackedThree) break;
        StorePacked(packed, d);
        d += 3;
        s += 2;
      }
      if (s == end) break;
      if (*s < 0x80 && s < roomy) continue;  // ASCII again: copied at once
      // One sequence, whatever it is, if it fits: its length, and how much of it is there.
      const unsigned c = *s;
      const unsigned need = c < 0x80 ? 1 : c == 0x8F ? 3 : c == 0x8E || in_range(c) ? 2 : 1;
      unsigned got = 1;
      while (got < need && s + got < end && in_range(s[got])) ++got;
      if (got < need && s + got == end && !last) break;
      std::uint32_t packed = 0;
      if (got == need) {
        if (c < 0x80) {
          packed = PackUtf8(c);
        } else if (c == 0x8E) {
          packed = s[1] <= 0xDF ? PackUtf8(0xFF61 + (s[1] - 0xA1)) : 0;
        } else if (c == 0x8F) {
          const char16_t u = kJisX0212Cells[s[1] - 0xA1][s[2] - 0xA1];
          packed = u != 0 ? PackUtf8(u) : 0;
        } else if (need == 2) {
          packed = jis_pairs[JisIndex(s)];
        }
      }
      if (packed == 0) {
        return Bad(CodecStatus::kMalformed, s0, s, got, s + got, d - d0, base, kNoCharacter);
      }
      if (dend - d < static_cast<std::ptrdiff_t>(packed >> 24)) {
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      }
      PutPacked(packed, &d);
      s += need;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }

  // UTF-8, ASCII and Latin-1.
  static CodecResult Plain(Decoder& self, Bytes s0, std::size_t n, unsigned char* d0,
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
      unsigned char bytes[4];
      unsigned length = 1, made = 0;  // ASCII, and a charset it does not know: no byte past 0x7F
      if (self.charset_ == Charset::kUtf8) {
        const Utf8Read u = ReadUtf8(s, static_cast<std::size_t>(end - s));
        if (u.kind == Utf8Kind::kCut && !last) break;
        length = u.length;
        if (u.kind == Utf8Kind::kCharacter) made = WriteUtf8(u.character, bytes);
      } else if (self.charset_ == Charset::kLatin1) {
        made = WriteUtf8(*s, bytes);
      }
      if (made == 0) {
        return Bad(CodecStatus::kMalformed, s0, s, length, s + length, d - d0, base, kNoCharacter);
      }
      if (dend - d < static_cast<std::ptrdiff_t>(made)) {
        return Done(CodecStatus::kOutputFull, s - s0, d - d0);
      }
      std::memcpy(d, bytes, made);
      d += made;
      s += length;
    }
    return Done(CodecStatus::kInputEmpty, s - s0, d - d0);
  }
};

Decoder::Decoder(Charset charset, const DecoderOptions& options)
    : charset_(charset), options_(options) {
  if (charset == Charset::kShiftJis || charset == Charset::kJis || charset == Charset::kEucJp) {
    table_ = &SjisDecoding(options.jis_readings);
  }
}

void Decoder::Reset() {
  offset_ = 0;
  pending_length_ = 0;
  set_ = kAsciiSet;
  shifted_out_ = false;
}

std::size_t Decoder::MaxUtf8Length(std::size_t length) const {
  // Three bytes for each byte: the most any character takes (half-width kana, U+F8F0 from a
  // single byte), and a U+FFFD for a bad sequence of one.
  return 3 * (length + pending_length_);
}

CodecResult Decoder::DecodeToUtf8(const unsigned char* src, std::size_t length, unsigned char* dst,
                                  std::size_t room, bool last) {
  using Core = CodecResult (*)(Decoder&, const unsigned char*, std::size_t, unsigned char*,
                               std::size_t, bool, unsigned long long);
  const Core core = charset_ == Charset::kShiftJis ? DecoderCore::Sjis
                    : charset_ == Charset::kJis    ? DecoderCore::Jis
                    : charset_ == Charset::kEucJp  ? DecoderCore::EucJp
                                                   : DecoderCore::Plain;
  return RunStream(
      {pending_, pending_length_, offset_}, src, length, dst, room, last,
      [&](const unsigned char* s, std::size_t n, unsigned char* d, std::size_t r, bool l,
          unsigned long long base) { return core(*this, s, n, d, r, l, base); });
}

}  // namespace velko
