#include "codec/jis.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

// The full-width forms of the half-width kana 0xA1-0xDF, as Shift_JIS codes.
constexpr unsigned short kFullKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};
constexpr unsigned char kVoiced = 0xDE, kSemiVoiced = 0xDF;

}  // namespace

unsigned FullWidthKana(unsigned char kana, unsigned char next, bool* joined) {
  const unsigned full = kFullKana[kana - 0xA1];
  *joined = true;
  // ｶ-ﾄ and ﾊ-ﾎ take a voiced mark as the next code, ﾊ-ﾎ a semi-voiced one as the one after.
  if (next == kVoiced && kana == 0xB3) return 0x8394;
  if (next == kVoiced && ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE))) {
    return full + 1;
  }
  if (next == kSemiVoiced && kana >= 0xCA && kana <= 0xCE) return full + 2;
  *joined = false;
  return full;
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
