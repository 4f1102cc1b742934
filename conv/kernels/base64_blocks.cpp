// The wide part of the Base64 decoder, compiled once per instruction set (kernel.h).
#include <cstdint>
#include <cstring>

#include "base64.h"
#include "base64_groups.h"
#include "kernel.h"

namespace velko::VELKO_ISA {

#if VELKO_SIMD
namespace {

constexpr std::size_t kW = simd::kWidth;

// kW characters to their 3/4 kW bytes, stored as 3/4 kW + 2 whatever they are; returns the
// bits of those outside the alphabet ('=' among them), whose bytes mean nothing.
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

}  // namespace
#endif

std::size_t DecodeBase64Blocks(unsigned char* out, const char* text, std::size_t length) {
  std::size_t read = 0;
#if VELKO_SIMD
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  // Four more characters after a block leave room for the two bytes stored past its own.
  while (length - read >= kW + 4 && DecodeBlock(p + read, out + read / 4 * 3) == 0) read += kW;
#else
  (void)out, (void)text, (void)length;
#endif
  return read;
}

std::size_t DecodeBase64Lines(unsigned char* out, const char* text, std::size_t length,
                              std::size_t max_line, Base64Lines* run) {
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
