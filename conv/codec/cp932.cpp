#include "codec/cp932.h"

namespace velko {
namespace {

// Where JIS X 0208 reads a cell otherwise than Windows: the code and JIS' character.
struct Reading {
  std::uint16_t code;
  char16_t jis;
};
constexpr Reading kJisReadings[] = {
    {0x8160, u'\u301C'}, {0x8161, u'\u2016'}, {0x817C, u'\u2212'},
    {0x8191, u'\u00A2'}, {0x8192, u'\u00A3'}, {0x81CA, u'\u00AC'},
};

// The PC-98 ruled lines 0x86A2-0x86ED are the box-drawing characters U+2500-U+254B in order.
constexpr unsigned kPc98First = 0x86A2, kPc98Last = 0x86ED;
constexpr char32_t kBoxFirst = 0x2500;
// The user-defined area, 0xF040-0xF9FC, is U+E000-U+E757, cell by cell.
constexpr unsigned kUserFirstLead = 0xF0, kUserLastLead = 0xF9;
constexpr char32_t kUserFirst = 0xE000;

}  // namespace

char32_t Cp932Pair(unsigned lead, unsigned trail, bool jis_readings) {
  if (!IsSjisTrailByte(trail)) return kNoCharacter;
  const unsigned code = lead << 8 | trail;
  if (code >= kPc98First && code <= kPc98Last) return kBoxFirst + (code - kPc98First);
  if (lead >= kUserFirstLead && lead <= kUserLastLead) {
    return kUserFirst + (lead - kUserFirstLead) * kCp932Trails + Cp932Column(trail);
  }
  const int row = Cp932Row(lead);
  if (row < 0) return kNoCharacter;
  if (jis_readings) {
    for (const Reading& r : kJisReadings) {
      if (r.code == code) return r.jis;
    }
  }
  const char32_t c = kCp932Cells[row][Cp932Column(trail)];
  return c != 0 ? c : kNoCharacter;
}

char32_t Cp932Single(unsigned byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xA1 && byte <= 0xDF) return 0xFF61 + (byte - 0xA1);
  if (byte == 0x80) return 0x80;
  if (byte == 0xA0) return 0xF8F0;
  if (byte >= 0xFD && byte <= 0xFF) return 0xF8F1 + (byte - 0xFD);
  return kNoCharacter;
}

namespace {

struct Codes {
  std::uint16_t of[0x10000] = {};
  Codes(bool jis, bool pc98);
};

Codes::Codes(bool jis, bool pc98) {
  // Least wanted first, so that a better code for the same character overwrites it.
  constexpr unsigned char kOrder[] = {0xED, 0xEE, 0xFA, 0xFB, 0xFC, 0x87};
  auto put_row = [&](unsigned lead) {
    if (jis && lead >= 0xFA) return;
    const int row = Cp932Row(lead);
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      if (const char16_t c = kCp932Cells[row][Cp932Column(trail)]) {
        of[c] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
  };
  for (unsigned lead : kOrder) put_row(lead);
  for (unsigned lead = 0x81; lead <= 0xEF; ++lead) {
    if (Cp932Row(lead) >= 0 && lead != 0x87 && lead != 0xED && lead != 0xEE) put_row(lead);
  }
  // JIS' readings of the six cells lead to them too; Windows' own stay.
  for (const Reading& r : kJisReadings) {
    if (of[r.jis] == 0) of[r.jis] = r.code;
  }
  for (unsigned k = 0; k <= kPc98Last - kPc98First; ++k) {
    std::uint16_t& code = of[kBoxFirst + k];
    if (pc98 || code == 0) code = static_cast<std::uint16_t>(kPc98First + k);
  }
  for (unsigned byte = 0x80; byte < 0x100; ++byte) {
    const char32_t c = Cp932Single(byte);
    if (c != kNoCharacter && !jis) of[c] = static_cast<std::uint16_t>(byte);
  }
  if (!jis) {
    for (unsigned lead = kUserFirstLead; lead <= kUserLastLead; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail != 0x7F)
          of[Cp932Pair(lead, trail, false)] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
  }
}

}  // namespace

const std::uint16_t* Cp932Codes(bool jis, bool pc98) {
  // Each made at its first use; static storage, nothing to allocate.
  if (jis) {
    if (pc98) {
      static const Codes codes(true, true);
      return codes.of;
    }
    static const Codes codes(true, false);
    return codes.of;
  }
  if (pc98) {
    static const Codes codes(false, true);
    return codes.of;
  }
  static const Codes codes(false, false);
  return codes.of;
}

}  // namespace velko
