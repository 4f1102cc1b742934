#include "codec/jis.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

}  // namespace

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


std::size_t SjisToJisKanaLine(char* out, const char* in, std::size_t length, bool* direct,
                              Kana kana) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  const unsigned char* const end = s + length;
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  enum { kSingle, kDouble, kKanaRun } run = kSingle;
  auto shift = [&](int to) {
    if (run == to) return;
    d[0] = kEsc;
    d[1] = to == kDouble ? '$' : '(';
    d[2] = to == kDouble ? 'B' : to == kKanaRun ? 'I' : 'J';
    d += 3;
    run = static_cast<decltype(run)>(to);
  };
  unsigned odd = 0;
  while (s < end && *s != 0) {
    const unsigned c = kSjisClass.of[*s];
    if (c == kSjisLead && s[1] != 0) {
      shift(kDouble);
      SjisCharToJis(d, s);
      odd |= (s[1] == ')') | (s[1] == 0x1F);
      d += 2;
      s += 2;
    } else if (c == kSjisHalfKana && kana == Kana::kEscI) {
      shift(kKanaRun);
      *d++ = static_cast<unsigned char>(*s++ - 0x80);
    } else if (c == kSjisHalfKana && kana == Kana::kFull) {
      bool joined;
      const unsigned code = FullWidthKana(s[0], s + 1 < end ? s[1] : 0, &joined);
      const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8),
                                     static_cast<unsigned char>(code)};
      shift(kDouble);
      SjisCharToJis(d, pair);
      d += 2;
      s += joined ? 2 : 1;
    } else {
      shift(kSingle);
      *d++ = *s++;
    }
  }
  shift(kSingle);
  *d = 0;
  *direct = odd == 0;
  return d - reinterpret_cast<unsigned char*>(out);
}

}  // namespace velko
