// Sixteen bytes at a time with SSE2 on x86-64 (every such CPU has it, and the mingw build
// targets it); elsewhere the scalar loops beside them. Chosen when compiling.
#ifndef VELKO_CONV_SIMD_H
#define VELKO_CONV_SIMD_H

#include <cstddef>

#if !defined(VELKO_NO_SIMD) && (defined(__x86_64__) || defined(_M_X64))
#define VELKO_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#else
#define VELKO_SSE2 0
#endif

#if VELKO_SSE2
namespace velko::simd {

using V = __m128i;

inline V Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
inline void Store(unsigned char* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
inline V Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
inline unsigned Mask(V v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
inline V Eq(V v, unsigned char c) { return _mm_cmpeq_epi8(v, Splat(c)); }
// 0xFF where lo <= byte <= hi, unsigned.
inline V InRange(V v, unsigned char lo, unsigned char hi) {
  V x = _mm_sub_epi8(v, Splat(lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(x, Splat(static_cast<unsigned char>(hi - lo))), x);
}
// 0xFF at every Shift_JIS lead byte (0x81-0x9F, 0xE0-0xFC).
inline V LeadBytes(V v) { return _mm_or_si128(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC)); }
// 0xFF where byte >= c, unsigned.
inline V AtLeast(V v, unsigned char c) { return _mm_cmpeq_epi8(_mm_max_epu8(v, Splat(c)), v); }
// Index of the lowest set bit of a non-zero mask.
inline unsigned First(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long i;
  _BitScanForward(&i, mask);
  return i;
#else
  return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}

// Index of the highest set bit of a non-zero mask.
inline unsigned Last(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long i;
  _BitScanReverse(&i, mask);
  return i;
#else
  return 31u - static_cast<unsigned>(__builtin_clz(mask));
#endif
}

}  // namespace velko::simd
#endif

namespace velko {

// The first `a` or `b` in [p, end), or end.
inline const unsigned char* FindByte(const unsigned char* p, const unsigned char* end,
                                     unsigned char a, unsigned char b) {
#if VELKO_SSE2
  for (; end - p >= 16; p += 16) {
    simd::V v = simd::Load(p);
    unsigned hit = simd::Mask(_mm_or_si128(simd::Eq(v, a), simd::Eq(v, b)));
    if (hit != 0) return p + simd::First(hit);
  }
#endif
  while (p < end && *p != a && *p != b) ++p;
  return p;
}
inline const unsigned char* FindByte(const unsigned char* p, const unsigned char* end,
                                     unsigned char c) {
  return FindByte(p, end, c, c);
}

// Copies bytes from `s` to `d` up to the first that is `a`, `b` or `c`, and returns how many it
// copied. One of the three is 0, and *end is a NUL; `d` has room for end - s bytes.
inline std::size_t CopyUntil(unsigned char* d, const unsigned char* s, const unsigned char* end,
                             unsigned char a, unsigned char b, unsigned char c) {
  const unsigned char* const from = s;
#if VELKO_SSE2
  for (; end - s >= 16; s += 16, d += 16) {
    simd::V v = simd::Load(s);
    simd::Store(d, v);
    unsigned hit =
        simd::Mask(_mm_or_si128(_mm_or_si128(simd::Eq(v, a), simd::Eq(v, b)), simd::Eq(v, c)));
    if (hit != 0) return s - from + simd::First(hit);
  }
#else
  (void)end;
#endif
  while (*s != a && *s != b && *s != c) *d++ = *s++;
  return s - from;
}

}  // namespace velko

#endif
