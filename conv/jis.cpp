#include "jis.h"

#include "simd.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

// 1 for a lead byte, 2 for the NUL, 4 for half-width kana, 0 for every other byte: one
// test per byte in the converters' single-byte loops.
constexpr unsigned kLead = 1, kNul = 2, kHalfKana = 4;
struct ByteClasses {
  unsigned char of[256];
  constexpr ByteClasses() : of() {
    for (int b = 1; b < 256; ++b) {
      of[b] = IsSjisLeadByte(static_cast<unsigned char>(b)) ? kLead
              : b >= 0xA1 && b <= 0xDF                     ? kHalfKana
                                                           : 0;
    }
    of[0] = kNul;
  }
};
constexpr ByteClasses kClass;

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

#if VELKO_SSE2
namespace {

using simd::V;

// SjisCharToJis of the eight pairs in `v`, lead bytes at the even places.
inline V SjisPairsToJis(V v) {
  const V zero = _mm_setzero_si128();
  V t = _mm_add_epi8(v, _mm_cmplt_epi8(v, zero));  // a trail byte over 0x7F counts one less
  V carry = simd::AtLeast(t, 0x9E);
  V trail =
      _mm_sub_epi8(_mm_sub_epi8(t, simd::Splat(0x1F)), _mm_and_si128(carry, simd::Splat(0x5E)));
  // 2 x lead + 0x1F below 0xA0, + 0x9F above; the trail's carry moves one place down.
  V lead = _mm_add_epi8(_mm_add_epi8(v, v), simd::Splat(0x1F));
  lead = _mm_add_epi8(lead, _mm_and_si128(simd::AtLeast(v, 0xA0), simd::Splat(0x80)));
  lead = _mm_sub_epi8(lead, _mm_srli_si128(carry, 1));
  const V low = _mm_set1_epi16(0x00FF);
  return _mm_or_si128(_mm_and_si128(low, lead), _mm_andnot_si128(low, trail));
}

// JisCharToSjis of the eight pairs in `v`, first bytes at the even places.
inline V JisPairsToSjis(V v) {
  const V one = simd::Splat(1);
  V d = _mm_and_si128(_mm_srli_epi16(_mm_sub_epi8(v, one), 1), simd::Splat(0x7F));
  V first = _mm_add_epi8(d, simd::Splat(0x71));
  first = _mm_add_epi8(first, _mm_andnot_si128(simd::InRange(d, 0, 0x2E), simd::Splat(0x40)));
  // An odd first byte: second + 0x1F, one more from 0x60 on; even: + 0x7D, one more from 2 on.
  V odd = _mm_slli_si128(_mm_cmpeq_epi8(_mm_and_si128(v, one), one), 1);
  V add =
      _mm_or_si128(_mm_and_si128(odd, simd::Splat(0x1F)), _mm_andnot_si128(odd, simd::Splat(0x7D)));
  V from =
      _mm_or_si128(_mm_and_si128(odd, simd::Splat(0x60)), _mm_andnot_si128(odd, simd::Splat(0x02)));
  V second = _mm_add_epi8(v, add);
  second = _mm_sub_epi8(second, _mm_cmpeq_epi8(_mm_max_epu8(v, from), v));
  const V low = _mm_set1_epi16(0x00FF);
  return _mm_or_si128(_mm_and_si128(low, first), _mm_andnot_si128(low, second));
}

// How many of the eight places hold a pair: first bytes in `firsts`, second bytes non-zero.
inline unsigned LeadingPairs(unsigned firsts, unsigned zeros) {
  unsigned good = firsts & ~(zeros >> 1) & 0x5555u;
  unsigned bad = ~good & 0x5555u;
  return bad == 0 ? 8 : simd::First(bad) / 2;
}

}  // namespace
#endif

std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  [[maybe_unused]] const unsigned char* const end = s + length;  // the bound of the wide loads
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  unsigned odd = 0;  // a trail byte ')' or 0x1F, which convert to LF and NUL
  unsigned half = 0;  // half-width kana written as they are
  for (;;) {
#if VELKO_SSE2
    // Single bytes: `out` has room for 3 x length bytes, so whole blocks may be stored.
    while (end - s >= 16) {
      V v = simd::Load(s);
      simd::Store(d, v);
      unsigned stop =
          simd::Mask(_mm_or_si128(simd::LeadBytes(v), _mm_cmpeq_epi8(v, _mm_setzero_si128())));
      unsigned kana_bytes = simd::Mask(simd::InRange(v, 0xA1, 0xDF));
      if (stop != 0) {
        half |= kana_bytes & ((1u << simd::First(stop)) - 1);
        s += simd::First(stop);
        d += simd::First(stop);
        break;
      }
      half |= kana_bytes;
      s += 16;
      d += 16;
    }
#endif
    for (unsigned c; ((c = kClass.of[*s]) & (kLead | kNul)) == 0; half |= c) *d++ = *s++;
    if (*s == 0) {
      *d = 0;
      *direct = odd == 0;
      *kana = half != 0;
      return d - reinterpret_cast<unsigned char*>(out);
    }
    if (s[1] == 0) {
      *d++ = *s++;
      continue;
    }
    d[0] = kEsc;
    d[1] = '$';
    d[2] = 'B';
    d += 3;
#if VELKO_SSE2
    while (end - s >= 16) {
      V v = simd::Load(s);
      unsigned pairs = LeadingPairs(simd::Mask(simd::LeadBytes(v)),
                                    simd::Mask(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
      simd::Store(d, SjisPairsToJis(v));
      odd |= simd::Mask(_mm_or_si128(simd::Eq(v, ')'), simd::Eq(v, 0x1F))) & 0xAAAAu &
             ((1u << 2 * pairs) - 1);
      s += 2 * pairs;
      d += 2 * pairs;
      if (pairs < 8) break;
    }
#endif
    while (kClass.of[s[0]] == kLead && s[1] != 0) {
      SjisCharToJis(d, s);
      odd |= (s[1] == ')') | (s[1] == 0x1F);
      d += 2;
      s += 2;
    }
    d[0] = kEsc;
    d[1] = '(';
    d[2] = 'J';
    d += 3;
  }
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
    const unsigned c = kClass.of[*s];
    if (c == kLead && s[1] != 0) {
      shift(kDouble);
      SjisCharToJis(d, s);
      odd |= (s[1] == ')') | (s[1] == 0x1F);
      d += 2;
      s += 2;
    } else if (c == kHalfKana && kana == Kana::kEscI) {
      shift(kKanaRun);
      *d++ = static_cast<unsigned char>(*s++ - 0x80);
    } else if (c == kHalfKana && kana == Kana::kFull) {
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

std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  const unsigned char* const end = s + length;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* d = start;
  unsigned odd = 0;  // a converted character with a LF or a NUL in it
  for (;;) {
    // Single-byte mode. The output is never longer than what was read, so whole blocks fit.
    for (;;) {
      std::size_t n = CopyUntil(d, s, end, kEsc, 0, 0);
      s += n;
      d += n;
      unsigned char c = *s;
      if (c == kEsc && s[1] == '$' && s[2] != 0) {
        s += 3;
        break;
      }
      *d++ = c;
      if (c == 0) return *direct = odd == 0, d - 1 - start;
      ++s;
    }
    // Double-byte mode.
    for (;;) {
#if VELKO_SSE2
      while (end - s >= 16) {
        V v = simd::Load(s);
        V zero = _mm_cmpeq_epi8(v, _mm_setzero_si128());
        unsigned pairs =
            LeadingPairs(~simd::Mask(_mm_or_si128(zero, simd::Eq(v, kEsc))), simd::Mask(zero));
        V sjis = JisPairsToSjis(v);
        simd::Store(d, sjis);
        odd |= simd::Mask(_mm_or_si128(simd::Eq(sjis, '\n'), simd::Eq(sjis, 0))) &
               ((1u << 2 * pairs) - 1);
        s += 2 * pairs;
        d += 2 * pairs;
        if (pairs < 8) break;
      }
#endif
      unsigned char c = *s;
      if (c == kEsc) {
        if (s[1] == 0 || s[2] == 0) {
          *d = 0;
          return *direct = odd == 0, d - start;
        }
        s += 3;
        break;
      }
      if (c == 0) {
        *d = 0;
        return *direct = odd == 0, d - start;
      }
      if (s[1] == 0) {
        *d++ = c;
        *d = 0;
        return *direct = odd == 0, d - start;
      }
      JisCharToSjis(d, s);
      odd |= (d[0] == '\n') | (d[0] == 0) | (d[1] == '\n') | (d[1] == 0);
      d += 2;
      s += 2;
    }
  }
}

}  // namespace velko
