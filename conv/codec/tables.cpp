#include "codec/tables.h"

#include "codec/cp932.h"
#include "codec/jis.h"

namespace velko {
namespace {

struct SjisTable : SjisDecodeTable {
  explicit SjisTable(bool jis_readings) : SjisDecodeTable() {
    int row = 0;
    for (unsigned lead = 0; lead < 256; ++lead) {
      const bool is_lead = IsSjisLeadByte(static_cast<unsigned char>(lead));
      rows[lead] = static_cast<signed char>(is_lead ? row++ : -1);
      const char32_t single = Cp932Single(lead);
      singles[lead] = single == kNoCharacter ? 0 : PackUtf8(single);
      if (!is_lead) continue;
      for (unsigned trail = 0; trail < 256; ++trail) {
        const char32_t c = Cp932Pair(lead, trail, jis_readings);
        pairs[rows[lead] * 256 + trail] = c == kNoCharacter ? 0 : PackUtf8(c);
      }
    }
  }
};

struct JisPairTable {
  std::uint32_t of[128 * 128] = {};
  explicit JisPairTable(const SjisDecodeTable& t) {
    for (unsigned row = 0x21; row <= 0x7E; ++row) {
      for (unsigned cell = 0x21; cell <= 0x7E; ++cell) {
        const unsigned char jis[2] = {static_cast<unsigned char>(row),
                                      static_cast<unsigned char>(cell)};
        unsigned char sjis[2];
        JisCharToSjis(sjis, jis);
        of[row << 7 | cell] = t.pairs[t.rows[sjis[0]] * 256 + sjis[1]];
      }
    }
  }
};

struct X0212Codes {
  std::uint16_t of[0x10000] = {};
  X0212Codes() {
    for (unsigned row = 0; row < 94; ++row) {
      for (unsigned cell = 0; cell < 94; ++cell) {
        if (const char16_t c = kJisX0212Cells[row][cell]) {
          of[c] = static_cast<std::uint16_t>((row + 0x21) << 8 | (cell + 0x21));
        }
      }
    }
  }
};

}  // namespace

const SjisDecodeTable& SjisDecoding(bool jis_readings) {
  if (jis_readings) {
    static const SjisTable table(true);
    return table;
  }
  static const SjisTable table(false);
  return table;
}

const std::uint32_t* JisPairs(bool jis_readings) {
  if (jis_readings) {
    static const JisPairTable pairs(SjisDecoding(true));
    return pairs.of;
  }
  static const JisPairTable pairs(SjisDecoding(false));
  return pairs.of;
}

const std::uint16_t* JisX0212Codes() {
  static const X0212Codes codes;
  return codes.of;
}

}  // namespace velko
