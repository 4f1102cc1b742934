// Code page 932 as Windows maps it, with the PC-98 ruled lines, both ways.
#ifndef VELKO_CONV_CODEC_CP932_H
#define VELKO_CONV_CODEC_CP932_H

#include <cstdint>

#include "velko/codec.h"

namespace velko {

// Rows of the generated table: leads 0x81-0x9F, 0xE0-0xEF and 0xFA-0xFC; trail bytes
// 0x40-0x7E and 0x80-0xFC.
constexpr int kCp932Rows = 50;
constexpr int kCp932Trails = 188;
extern const std::uint16_t kCp932Cells[kCp932Rows][kCp932Trails];

constexpr bool IsSjisTrailByte(unsigned byte) {
  return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// The character of a double-byte code; kNoCharacter when it has none. With `jis_readings`,
// the six cells where JIS X 0208 and Windows disagree read as JIS does (0x8160 U+301C, ...).
char32_t Cp932Pair(unsigned lead, unsigned trail, bool jis_readings);
// The character of a byte that is no lead byte: ASCII, half-width kana, and the four bytes
// Windows reads as private characters (0x80 U+0080, 0xA0 U+F8F0, 0xFD-0xFF U+F8F1-U+F8F3).
char32_t Cp932Single(unsigned byte);

// The way back: for every character of the Basic Multilingual Plane its code, one byte (below
// 0x100) or lead * 256 + trail, 0 for none. Where several codes read as one character, Windows'
// choice: a JIS row before NEC row 13 before the IBM extensions before the NEC-selected ones.
// `jis`: only codes that 7-bit JIS can carry (no IBM extension, but its NEC-selected twin; no
// user-defined code; no byte of its own but ASCII). `pc98`: U+2500-U+254B all as PC-98 ruled
// lines; else as the JIS row-8 code where there is one. Made once per process.
const std::uint16_t* Cp932Codes(bool jis, bool pc98);

// The same, held for a run.
class Cp932Encoder {
 public:
  enum class For {
    kShiftJis,  // every code page 932 code
    kJis,       // codes that 7-bit JIS can carry: no IBM extension (their NEC-selected twins
                // instead), no user-defined code, no byte of its own but ASCII
  };
  bool Build(For target, bool pc98) {
    codes_ = Cp932Codes(target == For::kJis, pc98);
    return true;
  }
  // The code of `c`: one byte (below 0x100) or lead * 256 + trail; 0 when it has none.
  unsigned Code(char32_t c) const { return c < 0x10000 ? codes_[c] : 0; }
  // Code() of every character of the Basic Multilingual Plane.
  const std::uint16_t* Codes() const { return codes_; }

 private:
  const std::uint16_t* codes_ = nullptr;
};

// The row of the generated table that holds `lead`, or -1.
constexpr int Cp932Row(unsigned lead) {
  return lead >= 0x81 && lead <= 0x9F   ? static_cast<int>(lead - 0x81)
         : lead >= 0xE0 && lead <= 0xEF ? static_cast<int>(lead - 0xE0 + 31)
         : lead >= 0xFA && lead <= 0xFC ? static_cast<int>(lead - 0xFA + 47)
                                        : -1;
}
constexpr int Cp932Column(unsigned trail) {
  return static_cast<int>(trail < 0x80 ? trail - 0x40 : trail - 0x41);
}

}  // namespace velko

#endif
