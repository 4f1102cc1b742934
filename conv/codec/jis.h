// Shift_JIS <-> 7-bit JIS (ISO-2022-JP) conversion of one line.
#ifndef VELKO_CONV_CODEC_JIS_H
#define VELKO_CONV_CODEC_JIS_H

#include <cstddef>

#include "codec/simd.h"
#include "velko/codec.h"

namespace velko {
// In the width's namespace: the kernel files compiled for wider instruction sets inline these
// too, and must not lend the linker their copies.
inline namespace VELKO_SIMD_ABI {

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

// 1 for a lead byte, 2 for the NUL, 4 for half-width kana, 0 for every other byte: one
// test per byte in the converters' single-byte loops.
constexpr unsigned kSjisLead = 1, kSjisNul = 2, kSjisHalfKana = 4;
struct SjisByteClasses {
  unsigned char of[256];
  constexpr SjisByteClasses() : of() {
    for (int b = 1; b < 256; ++b) {
      of[b] = IsSjisLeadByte(static_cast<unsigned char>(b)) ? kSjisLead
              : b >= 0xA1 && b <= 0xDF                     ? kSjisHalfKana
                                                           : 0;
    }
    of[0] = kSjisNul;
  }
};
inline constexpr SjisByteClasses kSjisClass;

// The Shift_JIS code of the full-width form of the half-width kana `kana` (0xA1-0xDF). A
// voiced or semi-voiced mark in `next` that makes one character with it (ｶﾞ ガ, ﾊﾟ パ, ｳﾞ ヴ)
// is taken in, and `*joined` set.
constexpr unsigned FullWidthKana(unsigned char kana, unsigned char next, bool* joined) {
  constexpr unsigned short kFullKana[63] = {
      0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
      0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
      0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
      0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
      0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
      0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
  };
  constexpr unsigned char kVoiced = 0xDE, kSemiVoiced = 0xDF;
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

}  // namespace VELKO_SIMD_ABI
void JisCharToSjis(unsigned char result[2], const unsigned char pair[2]);


// Convert one line, its NUL at in[length] (a NUL before it ends the line there), into `out`,
// NUL-terminated, and return the length written up to that NUL. `out` must not overlap `in`.
// Each call starts afresh: no shift state carries over between lines. `*direct` is set when
// no converted character gave a LF or a NUL: `out` then holds neither but for a LF the line
// ended with, and may be written where it was made.
//
// SjisToJisLine: every run of double-byte characters is framed by ESC $ B ... ESC ( J.
//   `out` needs 3 x length + 3 bytes. A lead byte right before the NUL (a character cut by the
//   read limit) has no trail byte: it is copied as it is, after closing the run. Half-width
//   kana stay 8-bit bytes; `*kana` is set when there are any.
// SjisToJisKanaLine: the same with half-width kana in runs of ESC ( I ... ESC ( J, or as
//   full-width characters inside the double-byte runs. `out` needs 8 x length + 3 bytes.
// JisToSjisLine: ESC $ x opens a double-byte run, any ESC inside a run closes it.
//   `out` needs length + 1 bytes. A run with one byte left before the NUL copies that byte as
//   it is; nothing past the NUL is read.
std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana);
std::size_t SjisToJisKanaLine(char* out, const char* in, std::size_t length, bool* direct,
                              Kana kana);
std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct);

// The same over a block of whole lines, each ended by its LF (CR LF as it stands in the file),
// no NUL among them and one after the last: what the line converters make of each, one after
// the other, with room as they need for the whole block; kNoBlock when a line must go through
// its line step: a character that would take in a CR or a LF, or one that becomes a LF or a NUL.
// `marks` receives the lines the line step would mark (to JIS: those with half-width kana).
constexpr std::size_t kNoBlock = static_cast<std::size_t>(-1);
struct BlockMarks {
  unsigned long long lines = 0;  // how many
  unsigned long long first = 0;  // the first, counted from 0
};
std::size_t SjisToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);
std::size_t JisToSjisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);
// The same over lines as they were read (`in`, `length` bytes, the last ended by its LF, a NUL
// after it): from the start, the lines that the text rules leave as they are (kernels.h's
// PlainLines, with `windows` and `limit`) and that need no line step, converted one after the
// other into `out` (3 x length + 4 bytes); `taken` tells their bytes, their LFs and the lines
// marked. Returns the bytes written; kNoBlock when the first lines' run needs the line step,
// `taken->read` its bytes. A NUL may be put into `in` for a while; it is as it was after.
struct BlockTaken {
  std::size_t read = 0;
  unsigned long long lines = 0;
  BlockMarks marks;
};
std::size_t SjisToJisLines(char* out, char* in, std::size_t length, bool windows,
                           std::size_t limit, BlockTaken* taken);
// SjisToJisKanaLine's lines one after the other (k8bit: SjisToJisBlock's), in room for
// 8 x length + 4 bytes; no line is marked.
std::size_t SjisToJisKanaBlock(char* out, const char* in, std::size_t length, BlockMarks* marks,
                               Kana kana);

}  // namespace velko

#endif
