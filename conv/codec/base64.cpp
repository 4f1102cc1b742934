#include "codec/base64.h"

#include <cstdint>
#include <cstring>

#include "codec/base64_groups.h"
#include "codec/kernels.h"
#include "codec/simd.h"

namespace velko {
namespace {

inline unsigned Value(char c) { return kBase64Values.of[static_cast<unsigned char>(c)]; }

// The span one byte at a time; the NUL ends it.
std::size_t SpanByBytes(const char* text) {
  const char* p = text;
  while (Value(*p) != kNotBase64) ++p;
  return static_cast<std::size_t>(p - text);
}

}  // namespace

#if VELKO_SIMD
namespace {

constexpr std::size_t kW = simd::kWidth;

// Bits of the kW bytes at `p` that are not of the alphabet or '='.
inline std::uint32_t NotBase64Bits(const char* p) {
  simd::V v = simd::Load(reinterpret_cast<const unsigned char*>(p));
  simd::V ok = simd::Or(simd::Or(simd::InRange(v, 'A', 'Z'), simd::InRange(v, 'a', 'z')),
                        simd::InRange(v, '/', '9'));  // '/' and the digits
  ok = simd::Or(ok, simd::Or(simd::Eq(v, '+'), simd::Eq(v, '=')));
  return ~simd::Mask(ok) & simd::kAll;
}

}  // namespace
#endif

std::size_t Base64Span(const char* text, std::size_t length) {
  std::size_t i = 0;
#if VELKO_SIMD
  for (; i + kW <= length; i += kW) {
    if (std::uint32_t bad = NotBase64Bits(text + i)) return i + simd::First(bad);
  }
  // The rest by the last kW bytes, which overlap what was checked.
  if (length >= kW && i < length) {
    std::uint32_t bad = NotBase64Bits(text + length - kW) >> (i - (length - kW));
    return bad != 0 ? i + simd::First(bad) : length + SpanByBytes(text + length);
  }
#else
  (void)length;  // the loop below stops at the NUL
#endif
  return i + SpanByBytes(text + i);
}

std::size_t DecodeBase64(unsigned char* out, const char* text, std::size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const std::size_t read = ActiveKernels().decode_base64_blocks(out, text, length);
  const std::size_t total = read / 4 * 3 + DecodeBase64Groups(out + read / 4 * 3, p + read, length - read);
  out[total] = 0;
  return total;
}

std::size_t DecodeBase64Lines(unsigned char* out, const char* text, std::size_t length,
                              std::size_t max_line, bool whole_groups, Base64Lines* run) {
  return ActiveKernels().decode_base64_lines(out, text, length, max_line, whole_groups, run);
}

}  // namespace velko
