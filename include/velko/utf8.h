// UTF-8, one character at a time: the one reader and writer of it that everything shares.
#ifndef VELKO_UTF8_H
#define VELKO_UTF8_H

#include <cstddef>

namespace velko {

// U+FEFF, the byte order mark, as UTF-8 writes it.
constexpr unsigned char kUtf8Bom[3] = {0xEF, 0xBB, 0xBF};

// Bytes of the UTF-8 sequence that `lead` begins: 1 to 4, 0 for a byte that begins none
// (a continuation byte, C0, C1, F5-FF).
constexpr std::size_t Utf8Length(unsigned char lead) {
  return lead < 0x80                    ? 1
         : lead >= 0xC2 && lead <= 0xDF ? 2
         : lead >= 0xE0 && lead <= 0xEF ? 3
         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                        : 0;
}

enum class Utf8Kind : unsigned char {
  kCharacter,  // a whole, valid sequence
  kInvalid,    // bytes that begin no character: one replacement stands for them
  kCut,        // every byte there is begins a valid sequence that the bytes after them may end
};
struct Utf8Read {
  Utf8Kind kind;
  unsigned length;     // kCharacter: its bytes; kInvalid: the longest valid start, at least 1;
                       // kCut: all of them
  char32_t character;  // kCharacter only
};

// The sequence at `s` (`n` bytes there, n > 0). No overlong form, surrogate or code point
// past U+10FFFF is a character.
constexpr Utf8Read ReadUtf8(const unsigned char* s, std::size_t n) {
  const unsigned c0 = s[0];
  if (c0 < 0x80) return {Utf8Kind::kCharacter, 1, c0};
  const unsigned need = static_cast<unsigned>(Utf8Length(static_cast<unsigned char>(c0)));
  if (need == 0) return {Utf8Kind::kInvalid, 1, 0};
  // The second byte's range narrows after E0, ED, F0 and F4.
  const unsigned lo = c0 == 0xE0 ? 0xA0 : c0 == 0xF0 ? 0x90 : 0x80;
  const unsigned hi = c0 == 0xED ? 0x9F : c0 == 0xF4 ? 0x8F : 0xBF;
  char32_t c = c0 & (0x7Fu >> need);
  unsigned got = 1;
  for (; got < need && got < n; ++got) {
    const unsigned b = s[got];
    if (b < (got == 1 ? lo : 0x80) || b > (got == 1 ? hi : 0xBF)) {
      return {Utf8Kind::kInvalid, got, 0};
    }
    c = c << 6 | (b & 0x3F);
  }
  if (got < need) return {Utf8Kind::kCut, got, 0};
  return {Utf8Kind::kCharacter, need, c};
}

// Writes `c` (a Unicode scalar value) as UTF-8 at `out`, which has room for 4 bytes; returns
// the bytes written.
constexpr unsigned WriteUtf8(char32_t c, unsigned char* out) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | c >> 18);
  out[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace velko

#endif
