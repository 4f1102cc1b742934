#include "base64.h"

#include <cstdint>
#include <cstring>

#include "kernels.h"
#include "simd.h"

namespace velko {
namespace {

constexpr unsigned char kNotBase64 = 255;  // the value of every byte outside the alphabet

struct Base64Values {
  unsigned char of[256];
  constexpr Base64Values() : of() {
    for (int i = 0; i < 256; ++i) of[i] = kNotBase64;
    for (int i = 0; i < 26; ++i) {
      of['A' + i] = static_cast<unsigned char>(i);
      of['a' + i] = static_cast<unsigned char>(26 + i);
    }
    for (int i = 0; i < 10; ++i) of['0' + i] = static_cast<unsigned char>(52 + i);
    of[static_cast<unsigned char>('+')] = 62;
    of[static_cast<unsigned char>('/')] = 63;
    of[static_cast<unsigned char>('=')] = 0;
  }
};
constexpr Base64Values kValues;

inline unsigned Value(char c) { return kValues.of[static_cast<unsigned char>(c)]; }

// What a character at each place of a group adds to the group's three bytes (first byte
// lowest), with DecodeGroup's arithmetic, kNotBase64 included.
struct GroupBits {
  std::uint32_t of[4][256];
  constexpr GroupBits() : of() {
    for (unsigned c = 0; c < 256; ++c) {
      std::uint32_t v = kValues.of[c];
      of[0][c] = (v << 2) & 0xFF;
      of[1][c] = (v >> 4) | ((v << 4) & 0xFF) << 8;
      of[2][c] = (v >> 2) << 8 | ((v << 6) & 0xFF) << 16;
      of[3][c] = v << 16;
    }
  }
};
constexpr GroupBits kBits;

// The design's group: three bytes written, 1, 2 or 3 of them counted.
int DecodeGroup(const char* group, unsigned char* out) {
  int count = group[2] == '=' && group[3] == '=' ? 1 : group[3] == '=' ? 2 : 3;
  unsigned a = Value(group[0]), b = Value(group[1]), c = Value(group[2]), d = Value(group[3]);
  out[0] = static_cast<unsigned char>(a << 2 | b >> 4);
  out[1] = static_cast<unsigned char>(b << 4 | c >> 2);
  out[2] = static_cast<unsigned char>(c << 6 | d);
  return count;
}

// Fewer than four characters at the end of a text: the missing places count as '=', and
// nothing past the text is read.
std::size_t DecodeShortGroup(unsigned char* out, const char* text, std::size_t have) {
  if (have < 2) return 0;
  char group[4] = {'=', '=', '=', '='};
  for (std::size_t i = 0; i < have; ++i) group[i] = text[i];
  unsigned char bytes[3];
  std::size_t count = static_cast<std::size_t>(DecodeGroup(group, bytes));
  if (count > have - 1) count = have - 1;
  for (std::size_t i = 0; i < count; ++i) out[i] = bytes[i];
  return count;
}

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
  std::size_t read = ActiveKernels().decode_base64_blocks(out, text, length);
  std::size_t total = read / 4 * 3;
  p += read;
  length -= read;
  for (std::size_t groups = length / 4; groups > 0; --groups, p += 4) {
    std::uint32_t v = kBits.of[0][p[0]] | kBits.of[1][p[1]] | kBits.of[2][p[2]] | kBits.of[3][p[3]];
    // Four bytes stored, three kept: the fourth is overwritten next or is the NUL's place.
    out[total] = static_cast<unsigned char>(v);
    out[total + 1] = static_cast<unsigned char>(v >> 8);
    out[total + 2] = static_cast<unsigned char>(v >> 16);
    std::size_t pad3 = p[3] == '=', pad2 = p[2] == '=';
    total += 3 - pad3 - (pad2 & pad3);
  }
  total += DecodeShortGroup(out + total, reinterpret_cast<const char*>(p), length % 4);
  out[total] = 0;
  return total;
}

}  // namespace velko
