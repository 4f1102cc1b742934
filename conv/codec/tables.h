// The coders' tables, each made once per process at its first use, in static storage.
#ifndef VELKO_CONV_CODEC_TABLES_H
#define VELKO_CONV_CODEC_TABLES_H

#include <cstdint>

#include "velko/codec.h"

namespace velko {

// UTF-8 of a character of the Basic Multilingual Plane: its bytes from the lowest, and their
// count in the top byte.
constexpr std::uint32_t PackUtf8(char32_t c) {
  return c < 0x80    ? 1u << 24 | c
         : c < 0x800 ? 2u << 24 | (0x80 | (c & 0x3F)) << 8 | (0xC0 | c >> 6)
                     : 3u << 24 | (0x80 | (c & 0x3F)) << 16 | (0x80 | (c >> 6 & 0x3F)) << 8 |
                           (0xE0 | c >> 12);
}
constexpr std::uint32_t kPackedThree = 3u << 24;

// Code page 932 (with the PC-98 ruled lines) into packed UTF-8: every double-byte code by the
// row of its lead byte and its trail byte, every single byte; 0 for none.
struct SjisDecodeTable {
  signed char rows[256];  // a lead byte's row, -1 for the others
  std::uint32_t pairs[60 * 256];
  std::uint32_t singles[256];
};
const SjisDecodeTable& SjisDecoding(bool jis_readings);
// The characters of JIS X 0208 (with code page 932's cells) as packed UTF-8, by row << 7 |
// cell (7 bits each), 0 for none: one lookup a pair for 7-bit JIS and EUC-JP, no arithmetic.
const std::uint32_t* JisPairs(bool jis_readings);

// JIS X 0212 by row and cell (0x21-0x7E each), UTF-16; 0 for none. Generated.
extern const std::uint16_t kJisX0212Cells[94][94];
// The way back: the JIS X 0212 code (row << 8 | cell) of every character of the Basic
// Multilingual Plane, 0 for none.
const std::uint16_t* JisX0212Codes();

}  // namespace velko

#endif
