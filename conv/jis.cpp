#include "jis.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

struct LeadByteTable {
  bool lead[256];
  constexpr LeadByteTable() : lead() {
    for (int b = 0x81; b <= 0x9F; ++b) lead[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) lead[b] = true;
  }
};
constexpr LeadByteTable kLeadBytes;

inline bool IsLead(unsigned char b) { return kLeadBytes.lead[b]; }

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
    unsigned char c = *s;
    // A lead byte without its trail byte (cut off by the read limit) goes out as it is.
    if (!IsLead(c) || s[1] == 0) {
      *d++ = c;
      if (c == 0) return;
      ++s;
      continue;
    }
    *d++ = kEsc;
    *d++ = '$';
    *d++ = 'B';
    while (IsLead(*s) && s[1] != 0) {
      SjisCharToJis(d, s);
      d += 2;
      s += 2;
    }
    *d++ = kEsc;
    *d++ = '(';
    *d++ = 'J';
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
