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
    for (unsigned pair = 0; pair < 65536; ++pair) {
      const unsigned char bytes[2] = {static_cast<unsigned char>(pair & 0xFF),
                                      static_cast<unsigned char>(pair >> 8)};
      SjisCharToJis(of[pair], bytes);
    }
  }
};
constexpr SjisToJisPairs kToJis;

}  // namespace

bool IsSjisLeadByte(unsigned char byte) { return IsLead(byte); }

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
