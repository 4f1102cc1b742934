// Shift_JIS <-> 7-bit JIS (ISO-2022-JP) conversion of one line.
#ifndef VELKO_CONV_JIS_H
#define VELKO_CONV_JIS_H

#include <cstddef>

namespace velko {

// Fixed classification (0x81-0x9F, 0xE0-0xFC); never taken from the system's code page.
constexpr bool IsSjisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One Shift_JIS double-byte character to its two JIS bytes, and back. No range checks:
// every byte pair maps by the same arithmetic, results cut to 8 bits.
constexpr void SjisCharToJis(unsigned char result[2], const unsigned char pair[2]) {
  unsigned s1 = pair[0], s2 = pair[1];
  unsigned j1 = s1 <= 0x9F ? 2 * (s1 - 0x71) + 1 : 2 * (s1 - 0xB1) + 1;
  unsigned t = s2 > 0x7F ? s2 - 1 : s2;
  unsigned carry = t >= 0x9E ? 1 : 0;
  result[0] = static_cast<unsigned char>(j1 + carry);
  result[1] = static_cast<unsigned char>(carry ? t - 0x7D : t - 0x1F);
}
void JisCharToSjis(unsigned char result[2], const unsigned char pair[2]);

// Converts the NUL-terminated line `in` into `out` (NUL-terminated); `out` must not overlap `in`.
// Each call starts afresh: no shift state carries over between lines.
//
// SjisToJisLine: every run of double-byte characters is framed by ESC $ B ... ESC ( J.
//   `out` needs 3 x strlen(in) + 3 bytes. A lead byte directly before the NUL (a character
//   cut by the read limit) has no trail byte: it is copied as it is, after closing the run.
// JisToSjisLine: ESC $ x opens a double-byte run, any ESC inside a run closes it.
//   `out` needs strlen(in) + 1 bytes. A run with one byte left before the NUL copies that
//   byte as it is; nothing past the NUL is read.
void SjisToJisLine(char* out, const char* in);
void JisToSjisLine(char* out, const char* in);

// The same, byte for byte, for a line whose NUL stands at in[length] (the reader knows where),
// sixteen bytes at a time where the CPU allows. A NUL before in[length] ends the line as above.
// Both return the length of `out` up to its NUL, and set `*plain` when no converted character
// gave a LF or a NUL: then `out` holds neither but for a LF the line ended with.
std::size_t SjisToJisLineFast(char* out, const char* in, std::size_t length, bool* plain);
std::size_t JisToSjisLineFast(char* out, const char* in, std::size_t length, bool* plain);

}  // namespace velko

#endif
