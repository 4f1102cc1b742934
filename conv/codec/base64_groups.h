// The Base64 decoder's groups of four, one at a time: the decoder's tail and its kernels'.
#ifndef VELKO_CONV_CODEC_BASE64_GROUPS_H
#define VELKO_CONV_CODEC_BASE64_GROUPS_H

#include <cstddef>
#include <cstdint>

#include "codec/simd.h"

namespace velko {
// In the width's namespace, as jis.h's: the kernel files inline these too.
inline namespace VELKO_SIMD_ABI {

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
inline constexpr Base64Values kBase64Values;

// What a character at each place of a group adds to the group's three bytes (first byte
// lowest), kNotBase64 included.
struct Base64GroupBits {
  std::uint32_t of[4][256];
  constexpr Base64GroupBits() : of() {
    for (unsigned c = 0; c < 256; ++c) {
      std::uint32_t v = kBase64Values.of[c];
      of[0][c] = (v << 2) & 0xFF;
      of[1][c] = (v >> 4) | ((v << 4) & 0xFF) << 8;
      of[2][c] = (v >> 2) << 8 | ((v << 6) & 0xFF) << 16;
      of[3][c] = v << 16;
    }
  }
};
inline constexpr Base64GroupBits kBase64Bits;

// The groups of `length` characters at `p`: three bytes each, of which a group counts 1 when
// its third and fourth places are '=', 2 when only its fourth is, else 3. A short last group
// counts its missing places as '=' and gives one byte fewer than its characters (none for
// one); nothing past the text is read. Returns the bytes counted; writes no more than those.
inline std::size_t DecodeBase64Groups(unsigned char* out, const unsigned char* p,
                                      std::size_t length) {
  const auto& bits = kBase64Bits.of;
  std::size_t total = 0;
  for (std::size_t groups = length / 4; groups > 0; --groups, p += 4) {
    std::uint32_t v = bits[0][p[0]] | bits[1][p[1]] | bits[2][p[2]] | bits[3][p[3]];
    out[total] = static_cast<unsigned char>(v);
    out[total + 1] = static_cast<unsigned char>(v >> 8);
    out[total + 2] = static_cast<unsigned char>(v >> 16);
    std::size_t pad3 = p[3] == '=', pad2 = p[2] == '=';
    total += 3 - pad3 - (pad2 & pad3);
  }
  const std::size_t have = length % 4;
  if (have >= 2) {
    const unsigned char c = have == 3 ? p[2] : '=';
    std::uint32_t v = bits[0][p[0]] | bits[1][p[1]] | bits[2][c] | bits[3][static_cast<unsigned char>('=')];
    // The group's count (1 or 2 with its fourth place '='), cut to one fewer than its characters.
    std::size_t count = c == '=' ? 1 : 2;
    if (count > have - 1) count = have - 1;
    out[total] = static_cast<unsigned char>(v);
    if (count == 2) out[total + 1] = static_cast<unsigned char>(v >> 8);
    total += count;
  }
  return total;
}

}  // namespace VELKO_SIMD_ABI
}  // namespace velko

#endif
