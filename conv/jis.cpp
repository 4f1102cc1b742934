#include "jis.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

// 1 for a lead byte, 2 for the NUL, 0 for every other byte: one test per byte in the
// converters' single-byte loops.
struct ByteClasses {
  unsigned char of[256];
  constexpr ByteClasses() : of() {
    for (int b = 0x81; b <= 0x9F; ++b) of[b] = 1;
    for (int b = 0xE0; b <= 0xFC; ++b) of[b] = 1;
    of[0] = 2;
  }
};
constexpr ByteClasses kClass;

inline bool IsLead(unsigned char b) { return kClass.of[b] == 1; }

// SjisCharToJis of every byte pair, indexed by lead byte | trail byte << 8 (the pair as it
// lies in memory, read as a little-endian 16-bit value) and stored the same way, so the line
// converter maps a pair with one look-up.
struct SjisToJisPairs {
  unsigned char of[65536][2];
  constexpr SjisToJisPairs() : of() {
    for (unsigned s1 = 0; s1 < 256; ++s1) {
      unsigned j1 = s1 <= 0x9F ? 2 * (s1 - 0x71) + 1 : 2 * (s1 - 0xB1) + 1;
      for (unsigned s2 = 0; s2 < 256; ++s2) {
        unsigned t = s2 > 0x7F ? s2 - 1 : s2;
        unsigned carry = t >= 0x9E ? 1 : 0;
        of[s1 | s2 << 8][0] = static_cast<unsigned char>(j1 + carry);
        of[s1 | s2 << 8][1] = static_cast<unsigned char>(carry ? t - 0x7D : t - 0x1F);
      }
    }
  }
};
constexpr SjisToJisPairs kToJis;

}  // namespace

bool IsSjisLeadByte(unsigned char byte) { return IsLead(byte); }

void SjisCharToJis(unsigned char result[2], const unsigned char pair[2]) {
  unsigned s1 = pair[0];
  unsigned s2 = pair[1];
  unsigned j1 = s1 <= 0x9F ? 2 * (s1 - 0x71) + 1 : 2 * (s1 - 0xB1) + 1;
  unsigned t = s2 > 0x7F ? s2 - 1 : s2;
  unsigned j2;
  if (t >= 0x9E) {
    j2 = t - 0x7D;
    j1 += 1;
  } else {
    j2 = t - 0x1F;
  }
  result[0] = static_cast<unsigned char>(j1);
  result[1] = static_cast<unsigned char>(j2);
}

void JisCharToSjis(unsigned char result[2], const unsigned char pair[2]) {
  unsigned j1 = pair[0];
  unsigned j2 = pair[1];
  unsigned d = (j1 - 1) / 2;  // j1 is never 0: a NUL ends the text
  unsigned s1 = d <= 0x2E ? d + 0x71 : d + 0xB1;
  unsigned u = (j1 & 1) ? j2 + 0x1F : j2 + 0x7D;
  if (u >= 0x7F) u += 1;
  result[0] = static_cast<unsigned char>(s1);
  result[1] = static_cast<unsigned char>(u);
}

void SjisToJisLine(char* out, const char* in) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  for (;;) {
    // Single bytes two at a time: s[1] may be read once s[0] is known not to be the NUL.
    for (;;) {
      if (kClass.of[s[0]] != 0) break;
      d[0] = s[0];
      if (kClass.of[s[1]] != 0) {
        ++d;
        ++s;
        break;
      }
      d[1] = s[1];
      d += 2;
      s += 2;
    }
    if (*s == 0) {
      *d = 0;
      return;
    }
    // A lead byte without its trail byte (cut off by the read limit) goes out as it is.
    if (s[1] == 0) {
      *d++ = *s++;
      continue;
    }
    d[0] = kEsc;
    d[1] = '$';
    d[2] = 'B';
    d += 3;
    do {
      const unsigned char* jis = kToJis.of[s[0] | s[1] << 8];
      d[0] = jis[0];
      d[1] = jis[1];
      d += 2;
      s += 2;
    } while (kClass.of[s[0]] == 1 && s[1] != 0);
    d[0] = kEsc;
    d[1] = '(';
    d[2] = 'J';
    d += 3;
  }
}

void JisToSjisLine(char* out, const char* in) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  for (;;) {
    // Single-byte mode.
    for (;;) {
      unsigned char c = *s;
      if (c == kEsc && s[1] == '$' && s[2] != 0) {
        s += 3;
        break;
      }
      *d++ = c;
      if (c == 0) return;
      ++s;
    }
    // Double-byte mode.
    for (;;) {
      unsigned char c = *s;
      if (c == kEsc) {
        if (s[1] == 0 || s[2] == 0) {
          *d = 0;
          return;
        }
        s += 3;
        break;
      }
      if (c == 0) {
        *d = 0;
        return;
      }
      if (s[1] == 0) {
        // An odd byte left at the end of an unclosed run: keep it rather than read past the NUL.
        *d++ = c;
        *d = 0;
        return;
      }
      JisCharToSjis(d, s);
      d += 2;
      s += 2;
    }
  }
}

}  // namespace velko
