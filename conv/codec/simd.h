// Vectors of bytes, as wide as the instruction set the file is compiled for: sixteen with SSE2
// (every x86-64 CPU has it, and the mingw build targets it), thirty-two where a kernel file is
// compiled for AVX2. Elsewhere, or with VELKO_NO_SIMD, the scalar loops beside them.
#ifndef VELKO_CONV_CODEC_SIMD_H
#define VELKO_CONV_CODEC_SIMD_H

#include <cstddef>
#include <cstdint>

#if !defined(VELKO_NO_SIMD) && (defined(__x86_64__) || defined(_M_X64))
#define VELKO_SIMD 1
#if defined(__AVX2__)
#include <immintrin.h>
#else
#include <emmintrin.h>
#endif
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#else
#define VELKO_SIMD 0
#endif

// Everything here lives in a namespace of its width, so that a file compiled for AVX2 and one
// for SSE2 never share an inline function the linker could pick from the wrong one.
#if VELKO_SIMD && defined(__AVX2__)
#define VELKO_SIMD_ABI simd_avx2
#elif VELKO_SIMD
#define VELKO_SIMD_ABI simd_sse2
#else
#define VELKO_SIMD_ABI simd_none
#endif

#if VELKO_SIMD
namespace velko {
inline namespace VELKO_SIMD_ABI {
namespace simd {

// Index of the lowest set bit of a non-zero mask.
inline unsigned First(std::uint32_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long i;
  _BitScanForward(&i, mask);
  return i;
#else
  return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}
// How many bits of the mask are set (POPCNT where the build has it: every AVX2 CPU does, not
// every SSE2 one).
inline unsigned Count(std::uint32_t m) {
#if defined(__POPCNT__)
  return static_cast<unsigned>(__builtin_popcount(m));
#elif defined(_MSC_VER) && !defined(__clang__) && defined(__AVX2__)
  return __popcnt(m);
#endif
  m = m - ((m >> 1) & 0x55555555u);
  m = (m & 0x33333333u) + ((m >> 2) & 0x33333333u);
  return (((m + (m >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}
// Index of the highest set bit of a non-zero mask.
inline unsigned Last(std::uint32_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long i;
  _BitScanReverse(&i, mask);
  return i;
#else
  return 31u - static_cast<unsigned>(__builtin_clz(mask));
#endif
}

#if defined(__AVX2__)
using V = __m256i;
constexpr int kWidth = 32;
constexpr std::uint32_t kAll = 0xFFFFFFFFu;
inline V Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
inline void Store(unsigned char* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
inline V Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
inline V Splat16(unsigned short c) { return _mm256_set1_epi16(static_cast<short>(c)); }
inline V Splat32(std::uint32_t c) { return _mm256_set1_epi32(static_cast<int>(c)); }
inline V Zero() { return _mm256_setzero_si256(); }
inline std::uint32_t Mask(V v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
inline V Or(V a, V b) { return _mm256_or_si256(a, b); }
inline V And(V a, V b) { return _mm256_and_si256(a, b); }
inline V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }  // ~a & b
inline V Add8(V a, V b) { return _mm256_add_epi8(a, b); }
inline V Sub8(V a, V b) { return _mm256_sub_epi8(a, b); }
inline V EqV(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
inline V Negative(V v) { return _mm256_cmpgt_epi8(Zero(), v); }  // 0xFF where byte >= 0x80
inline V MaxU8(V a, V b) { return _mm256_max_epu8(a, b); }
inline V MinU8(V a, V b) { return _mm256_min_epu8(a, b); }
template <int n> V Srli16(V v) { return _mm256_srli_epi16(v, n); }
template <int n> V Slli16(V v) { return _mm256_slli_epi16(v, n); }
template <int n> V Srli32(V v) { return _mm256_srli_epi32(v, n); }
template <int n> V Slli32(V v) { return _mm256_slli_epi32(v, n); }
// Byte i takes byte i + 1 (the last gets 0), and byte i - 1 (the first gets 0).
inline V NextByte(V v) {
  return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, v, 0x81), v, 1);
}
inline V PreviousByte(V v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 15);
}
// The sum of the bytes.
inline std::uint64_t SumBytes(V v) {
  const V s = _mm256_sad_epu8(v, Zero());
  return static_cast<std::uint64_t>(_mm256_extract_epi64(s, 0)) +
         static_cast<std::uint64_t>(_mm256_extract_epi64(s, 1)) +
         static_cast<std::uint64_t>(_mm256_extract_epi64(s, 2)) +
         static_cast<std::uint64_t>(_mm256_extract_epi64(s, 3));
}
#else
using V = __m128i;
constexpr int kWidth = 16;
constexpr std::uint32_t kAll = 0xFFFFu;
inline V Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
inline void Store(unsigned char* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
inline V Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
inline V Splat16(unsigned short c) { return _mm_set1_epi16(static_cast<short>(c)); }
inline V Splat32(std::uint32_t c) { return _mm_set1_epi32(static_cast<int>(c)); }
inline V Zero() { return _mm_setzero_si128(); }
inline std::uint32_t Mask(V v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
inline V Or(V a, V b) { return _mm_or_si128(a, b); }
inline V And(V a, V b) { return _mm_and_si128(a, b); }
inline V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }  // ~a & b
inline V Add8(V a, V b) { return _mm_add_epi8(a, b); }
inline V Sub8(V a, V b) { return _mm_sub_epi8(a, b); }
inline V EqV(V a, V b) { return _mm_cmpeq_epi8(a, b); }
inline V Negative(V v) { return _mm_cmplt_epi8(v, Zero()); }  // 0xFF where byte >= 0x80
inline V MaxU8(V a, V b) { return _mm_max_epu8(a, b); }
inline V MinU8(V a, V b) { return _mm_min_epu8(a, b); }
template <int n> V Srli16(V v) { return _mm_srli_epi16(v, n); }
template <int n> V Slli16(V v) { return _mm_slli_epi16(v, n); }
template <int n> V Srli32(V v) { return _mm_srli_epi32(v, n); }
template <int n> V Slli32(V v) { return _mm_slli_epi32(v, n); }
inline V NextByte(V v) { return _mm_srli_si128(v, 1); }
inline V PreviousByte(V v) { return _mm_slli_si128(v, 1); }
inline std::uint64_t SumBytes(V v) {
  const V s = _mm_sad_epu8(v, Zero());
  return static_cast<std::uint64_t>(_mm_cvtsi128_si32(s)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(s, 8)));
}
#endif

inline V Eq(V v, unsigned char c) { return EqV(v, Splat(c)); }
// 0xFF where lo <= byte <= hi, unsigned.
inline V InRange(V v, unsigned char lo, unsigned char hi) {
  V x = Sub8(v, Splat(lo));
  return EqV(MinU8(x, Splat(static_cast<unsigned char>(hi - lo))), x);
}
// 0xFF at every Shift_JIS lead byte (0x81-0x9F, 0xE0-0xFC).
inline V LeadBytes(V v) { return Or(InRange(v, 0x81, 0x9F), InRange(v, 0xE0, 0xFC)); }
// 0xFF where byte >= c, unsigned.
inline V AtLeast(V v, unsigned char c) { return EqV(MaxU8(v, Splat(c)), v); }

}  // namespace simd
}  // namespace VELKO_SIMD_ABI
}  // namespace velko
#endif

namespace velko {
inline namespace VELKO_SIMD_ABI {

// The first `a` or `b` in [p, end), or end.
inline const unsigned char* FindByte(const unsigned char* p, const unsigned char* end,
                                     unsigned char a, unsigned char b) {
#if VELKO_SIMD
  for (; end - p >= simd::kWidth; p += simd::kWidth) {
    simd::V v = simd::Load(p);
    std::uint32_t hit = simd::Mask(simd::Or(simd::Eq(v, a), simd::Eq(v, b)));
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
#if VELKO_SIMD
  for (; end - s >= simd::kWidth; s += simd::kWidth, d += simd::kWidth) {
    simd::V v = simd::Load(s);
    simd::Store(d, v);
    std::uint32_t hit =
        simd::Mask(simd::Or(simd::Or(simd::Eq(v, a), simd::Eq(v, b)), simd::Eq(v, c)));
    if (hit != 0) return s - from + simd::First(hit);
  }
#else
  (void)end;
#endif
  while (*s != a && *s != b && *s != c) *d++ = *s++;
  return s - from;
}

// Copies the ASCII bytes from `s` on, and with `shifts` stops at ESC, SO and SI too; returns
// how many it copied. `d` has room for end - s bytes.
inline std::size_t CopyAscii(unsigned char* d, const unsigned char* s, const unsigned char* end,
                             bool shifts) {
  const unsigned char* const from = s;
#if VELKO_SIMD
  for (; end - s >= simd::kWidth; s += simd::kWidth, d += simd::kWidth) {
    const simd::V v = simd::Load(s);
    simd::Store(d, v);
    std::uint32_t stop = simd::Mask(v);
    if (shifts) stop |= simd::Mask(simd::Or(simd::Eq(v, 0x1B), simd::InRange(v, 0x0E, 0x0F)));
    if (stop != 0) return s - from + simd::First(stop);
  }
#endif
  while (s < end && *s < 0x80 && !(shifts && (*s == 0x1B || *s == 0x0E || *s == 0x0F))) {
    *d++ = *s++;
  }
  return s - from;
}

}  // namespace VELKO_SIMD_ABI
}  // namespace velko

#endif
