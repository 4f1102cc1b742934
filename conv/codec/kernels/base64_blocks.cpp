// The wide part of the Base64 decoder, compiled once per instruction set (kernel.h).
#include <cstdint>
#include <cstring>

#include "codec/base64.h"
#include "codec/base64_groups.h"
#include "kernel.h"

namespace velko::VELKO_ISA {

#if VELKO_SIMD
namespace {

constexpr std::size_t kW = simd::kWidth;

// kW characters to their 3/4 kW bytes, stored as 3/4 kW + 4 at most whatever they are;
// returns the bits of those outside the alphabet ('=' among them), whose bytes mean nothing.
#if defined(__AVX2__)
inline std::uint32_t DecodeBlock(const unsigned char* p, unsigned char* out) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi32(v, 4), nibble);
  const __m256i lo = _mm256_and_si256(v, nibble);
  // A byte is of the alphabet when the classes of its two nibbles share no bit.
  const __m256i lo_class = _mm256_setr_epi8(
      0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A,
      0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i hi_class = _mm256_setr_epi8(
      0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
      0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i clash = _mm256_and_si256(_mm256_shuffle_epi8(lo_class, lo),
                                         _mm256_shuffle_epi8(hi_class, hi));
  const std::uint32_t other =
      ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(clash, _mm256_setzero_si256())));
  // What to add by the high nibble ('/' apart from the other 0x2_ byte, '+').
  const __m256i shift = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i slash = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('/'));
  const __m256i values =
      _mm256_add_epi8(v, _mm256_shuffle_epi8(shift, _mm256_add_epi8(slash, hi)));
  // Two values to twelve bits, four to 24, then each group's three bytes, first one first.
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i bytes = _mm256_shuffle_epi8(
      groups, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                               2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(bytes, 1));
  return other;
}
#else
inline std::uint32_t DecodeBlock(const unsigned char* p, unsigned char* out) {
  using simd::V;
  V v = simd::Load(p);
  V upper = simd::InRange(v, 'A', 'Z'), lower = simd::InRange(v, 'a', 'z');
  V digit = simd::InRange(v, '0', '9'), plus = simd::Eq(v, '+'), slash = simd::Eq(v, '/');
  V valid = simd::Or(simd::Or(simd::Or(upper, lower), simd::Or(digit, plus)), slash);
  V offset = simd::Or(simd::And(upper, simd::Splat(0x100 - 'A')),
                      simd::And(lower, simd::Splat(0x100 - 'a' + 26)));
  offset = simd::Or(offset, simd::And(digit, simd::Splat(52 - '0')));
  offset = simd::Or(offset, simd::And(plus, simd::Splat(62 - '+')));
  offset = simd::Or(offset, simd::And(slash, simd::Splat(63 - '/')));
  V values = simd::Add8(v, offset);
  // Two values to twelve bits in each 16-bit lane, four to 24 bits in each 32-bit lane.
  V pairs = simd::Or(simd::Slli16<6>(simd::And(values, simd::Splat16(0xFF))),
                     simd::Srli16<8>(values));
  V groups = simd::Or(simd::Slli32<12>(simd::And(pairs, simd::Splat32(0xFFFF))),
                      simd::Srli32<16>(pairs));
  // Each group's three bytes, first one lowest.
  V bytes = simd::Or(simd::And(simd::Srli32<16>(groups), simd::Splat32(0xFF)),
                     simd::And(groups, simd::Splat32(0xFF00)));
  bytes = simd::Or(bytes, simd::Slli32<16>(simd::And(groups, simd::Splat32(0xFF))));
  std::uint64_t quarters[kW / 8];
  simd::Store(reinterpret_cast<unsigned char*>(quarters), bytes);
  for (std::size_t i = 0; i < kW / 8; ++i) {
    std::uint64_t six = (quarters[i] & 0xFFFFFF) | ((quarters[i] >> 8) & 0xFFFFFF000000);
    std::memcpy(out + 6 * i, &six, 8);
  }
  return ~simd::Mask(valid) & simd::kAll;
}
#endif

}  // namespace
#endif

std::size_t DecodeBase64Blocks(unsigned char* out, const char* text, std::size_t length) {
  std::size_t read = 0;
#if VELKO_SIMD
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  // Four more characters after a block leave room for the bytes stored past its own.
  while (length - read >= kW + 4 && DecodeBlock(p + read, out + read / 4 * 3) == 0) read += kW;
#else
  (void)out, (void)text, (void)length;
#endif
  return read;
}

std::size_t DecodeBase64Lines(unsigned char* out, const char* text, std::size_t length,
                              std::size_t max_line, bool whole_groups, Base64Lines* run) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const auto& values = kBase64Values.of;
  std::size_t taken = 0;    // the lines decoded, with their ends
  unsigned char* o = out;   // where the line being read writes
  Base64Lines r;
  while (taken < length) {
    std::size_t at = taken;
#if VELKO_SIMD
    // Whole windows of the alphabet decode as they are checked; at the first other byte
    // (the line's end, a '=', anything else) the groups before it are kept and the bytes
    // below go on.
    while (at + kW <= length) {
      const std::uint32_t other = DecodeBlock(p + at, o);
      const std::size_t good = other == 0 ? kW : simd::First(other) / 4 * 4;
      at += good, o += good / 4 * 3;
      if (good < kW) break;
    }
#endif
    std::size_t last = at;  // after the line's last character
    while (last < length && values[p[last]] != kNotBase64) ++last;
    const std::size_t characters = last - taken;
    const std::size_t end = last + (last < length && p[last] == '\r');  // its LF
    if (characters == 0 || end >= length || p[end] != '\n' || end + 1 - taken > max_line) break;
    if (whole_groups) {  // groups of four, '=' only as the last one or two
      std::size_t pad = at;
      while (pad < last && p[pad] != '=') ++pad;
      std::size_t pads = 0;
      while (pad + pads < last && p[pad + pads] == '=') ++pads;
      if (characters % 4 != 0 || pad + pads != last || pads > 2) break;
    }
    o += DecodeBase64Groups(o, p + at, last - at);
    r.lone += characters % 4 == 1;
    ++r.lines;
    taken = end + 1;
    r.written = static_cast<std::size_t>(o - out);
  }
  *run = r;
  return taken;
}

}  // namespace velko::VELKO_ISA
