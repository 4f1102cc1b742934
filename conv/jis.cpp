#include "jis.h"

#include "simd.h"

namespace velko {
namespace {

constexpr unsigned char kEsc = 0x1B;

// 1 for a lead byte, 2 for the NUL, 0 for every other byte: one test per byte in the
// converters' single-byte loops.
struct ByteClasses {
  unsigned char of[256];
  constexpr ByteClasses() : of() {
    for (int b = 1; b < 256; ++b) of[b] = IsSjisLeadByte(static_cast<unsigned char>(b));
    of[0] = 2;
  }
};
constexpr ByteClasses kClass;

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

std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  [[maybe_unused]] const unsigned char* const end = s + length;  // the bound of the wide loads
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  unsigned odd = 0;  // a trail byte ')' or 0x1F, which convert to LF and NUL
  for (;;) {
#if VELKO_SSE2
    // Single bytes: `out` has room for 3 x length bytes, so whole blocks may be stored.
    while (end - s >= 16) {
      V v = simd::Load(s);
      simd::Store(d, v);
      unsigned stop =
          simd::Mask(_mm_or_si128(simd::LeadBytes(v), _mm_cmpeq_epi8(v, _mm_setzero_si128())));
      if (stop != 0) {
        s += simd::First(stop);
        d += simd::First(stop);
        break;
      }
      s += 16;
      d += 16;
    }
#endif
    while (kClass.of[*s] == 0) *d++ = *s++;
    if (*s == 0) {
      *d = 0;
      *direct = odd == 0;
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
    while (kClass.of[s[0]] == 1 && s[1] != 0) {
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
