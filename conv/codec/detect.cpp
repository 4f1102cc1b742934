#include "codec/detect.h"

#include <cstring>

#include "codec/cp932.h"
#include "codec/jis.h"
#include "codec/simd.h"
#include "codec/tables.h"
#include "velko/utf8.h"

namespace velko {

namespace {

// Whether code page 932 has a character for a JIS X 0208 cell: EUC-JP's double-byte codes.
inline bool Assigned(unsigned first, unsigned second) {
  static const std::uint32_t* const pairs = JisPairs(false);
  return pairs[(first & 0x7F) << 7 | (second & 0x7F)] != 0;
}

// An 8-bit byte that is no half-width kana of Shift_JIS.
constexpr bool NotKana(unsigned c) { return c >= 0x80 && (c < 0xA1 || c > 0xDF); }

// Whole vectors of the bytes that change nothing between characters: 0x01-0x7F but ESC, and
// with `eight_bit` any byte but NUL and ESC.
inline std::size_t Plain(const unsigned char* bytes, std::size_t i, std::size_t n, bool eight_bit) {
#if VELKO_SIMD
  while (n - i >= simd::kWidth) {
    const simd::V v = simd::Load(bytes + i);
    const simd::V go = eight_bit ? simd::Or(simd::Eq(v, 0), simd::Eq(v, 0x1B))
                                 : simd::AndNot(simd::Eq(v, 0x1B), simd::InRange(v, 0x01, 0x7F));
    if (simd::Mask(go) != (eight_bit ? 0 : simd::kAll)) break;
    i += simd::kWidth;
  }
#endif
  (void)bytes, (void)n, (void)eight_bit;
  return i;
}

}  // namespace

ByteSurvey::ByteSurvey() : sjis_(SjisDecoding(false)) {}

void ByteSurvey::AddUtf8(const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; utf8_ok_ && i < n;) {
    if (utf8_held_ == 0 && bytes[i] < 0x80) {
      ++i;
#if VELKO_SIMD
      while (n - i >= simd::kWidth && simd::Mask(simd::Load(bytes + i)) == 0) i += simd::kWidth;
#endif
      continue;
    }
    if (utf8_held_ == 0 && n - i >= 4) {  // a whole sequence in this piece: no copy
      const Utf8Read r = ReadUtf8(bytes + i, 4);
      utf8_ok_ = r.kind == Utf8Kind::kCharacter;
      utf8_multibyte_ += r.length > 1;
      i += r.length;
      continue;
    }
    // The sequence at i, after the bytes of it the last piece ended with.
    unsigned char joined[4];
    const std::size_t more = n - i < 4 - utf8_held_ ? n - i : 4 - utf8_held_;
    std::memcpy(joined, utf8_cut_, utf8_held_);
    std::memcpy(joined + utf8_held_, bytes + i, more);
    const Utf8Read r = ReadUtf8(joined, utf8_held_ + more);
    if (r.kind == Utf8Kind::kInvalid) {
      utf8_ok_ = false;
    } else if (r.kind == Utf8Kind::kCut) {
      std::memcpy(utf8_cut_, joined, r.length);
      utf8_held_ = r.length;
      i = n;
    } else {
      utf8_multibyte_ += r.length > 1;
      i += r.length - utf8_held_;
      utf8_held_ = 0;
    }
  }
}

std::size_t ByteSurvey::Quick(const unsigned char* bytes, std::size_t i, std::size_t n) {
  if (sjis_ok_ && euc_ok_) return Plain(bytes, i, n, false);
  if (!sjis_ok_ && !euc_ok_) {
    // Only a NUL or an ESC $ can still tell anything.
    return not_kana_ ? Plain(bytes, i, n, true) : i;
  }
  // One of the double-byte charsets is left: its characters a pair at a time, until a byte
  // it has no place for, a NUL, an ESC or a pair cut by the piece's end.
  const bool sjis = sjis_ok_;
  for (;;) {
    i = Plain(bytes, i, n, false);
    if (i == n) break;
    const unsigned c = bytes[i];
    if (c < 0x80) {
      if (c == 0 || c == 0x1B) break;
      ++i;
      continue;
    }
    if (sjis) {
      const int row = sjis_.rows[c];
      if (row < 0) {
        if (c < 0xA1 || c > 0xDF) break;
        eight_bit_ = true;
        ++i;
        continue;
      }
      if (n - i < 2) break;
      const unsigned trail = bytes[i + 1];
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) break;
      sjis_unassigned_ += sjis_.pairs[row * 256 + trail] == 0;
    } else {
      if (c < 0xA1 || c == 0xFF || n - i < 2) break;  // 0x8E, 0x8F and the rest the long way
      const unsigned second = bytes[i + 1];
      if (second < 0xA1 || second == 0xFF) break;
      ++euc_double_;
      euc_unassigned_ += !Assigned(c, second);
    }
    // A lead byte is no kana, and with EUC-JP left Shift_JIS failed on one that is none.
    eight_bit_ = not_kana_ = true;
    i += 2;
  }
  return i;
}

void ByteSurvey::Add(const unsigned char* bytes, std::size_t n) {
  AddUtf8(bytes, n);
  for (std::size_t i = 0; i < n; ++i) {
    // Between characters of what still fits: the quick ways.
    if (!after_esc_ && (sjis_lead_ == 0 || !sjis_ok_) && (euc_need_ == 0 || !euc_ok_)) {
      sjis_lead_ = 0;
      euc_need_ = 0;
      i = Quick(bytes, i, n);
      if (i == n) break;
    }
    const unsigned char c = bytes[i];
    nul_ |= c == 0;
    if (c >= 0x80) {
      eight_bit_ = true;
      not_kana_ |= NotKana(c);
    }
    // ESC $ opens a double-byte run of 7-bit JIS.
    jis_escapes_ += after_esc_ && c == '$';
    after_esc_ = c == 0x1B;

    if (sjis_lead_ != 0) {
      if (c < 0x40 || c == 0x7F || c > 0xFC) sjis_ok_ = false;
      sjis_unassigned_ += sjis_.pairs[sjis_.rows[sjis_lead_] * 256 + c] == 0;
      sjis_lead_ = 0;
    } else if (IsSjisLeadByte(c)) {
      sjis_lead_ = c;
    } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
      sjis_ok_ = false;
    }

    if (euc_need_ > 0) {
      --euc_need_;
      if (c < 0xA1 || c > 0xFE) euc_ok_ = false;
      euc_double_ += euc_need_ == 0;
      // JIS X 0208, which code page 932 holds whole.
      if (euc_first_ >= 0xA1 && c >= 0xA1 && c <= 0xFE) {
        euc_unassigned_ += !Assigned(euc_first_, c);
      }
      euc_first_ = 0;
    } else if (c == 0x8E || (c >= 0xA1 && c <= 0xFE)) {
      euc_need_ = 1;  // half-width kana after 0x8E, the second byte of a character otherwise
      euc_first_ = static_cast<unsigned char>(c);
    } else if (c == 0x8F) {
      euc_need_ = 2;  // JIS X 0212
      euc_first_ = 0;
    } else if (c >= 0x80) {
      euc_ok_ = false;
    }
  }
}

Charsets ByteSurvey::Fits(bool cut) const {
  if (nul_) return kBinary;
  if (!eight_bit_) return Bit(jis_escapes_ > 0 ? Charset::kJis : Charset::kAscii);
  // What VELKO's own JIS text holds: escapes, and half-width kana as 8-bit bytes.
  if (jis_escapes_ > 0 && !not_kana_) return Bit(Charset::kJis);
  if (utf8_ok_ && (cut || utf8_held_ == 0) && utf8_multibyte_ > 0) return Bit(Charset::kUtf8);
  Charsets fits = 0;
  if (sjis_ok_ && (cut || sjis_lead_ == 0)) fits |= Bit(Charset::kShiftJis);
  if (euc_ok_ && (cut || euc_need_ == 0) && euc_double_ > 0) fits |= Bit(Charset::kEucJp);
  return fits != 0 ? fits : kBinary;
}

Charsets ByteSurvey::Candidates() const {
  const Charsets fits = Fits(false);
  if (fits & (kBinary | Bit(Charset::kAscii) | Bit(Charset::kJis))) return fits;
  Charsets all = 0;
  if (utf8_ok_ && utf8_held_ == 0 && utf8_multibyte_ > 0) all |= Bit(Charset::kUtf8);
  if (sjis_ok_ && sjis_lead_ == 0 && sjis_unassigned_ == 0) all |= Bit(Charset::kShiftJis);
  if (euc_ok_ && euc_need_ == 0 && euc_double_ > 0 && euc_unassigned_ == 0) {
    all |= Bit(Charset::kEucJp);
  }
  return all != 0 ? all : kBinary;
}

void CensusTaker::Count(unsigned code) {
  const unsigned lead = code >> 8;
  census_.nec_row13 += lead == 0x87;
  census_.ibm += lead == 0xED || lead == 0xEE || (lead >= 0xFA && lead <= 0xFC);
  census_.user += lead >= 0xF0 && lead <= 0xF9;
  census_.pc98 += code >= 0x86A2 && code <= 0x86ED;
  census_.jis_ruled += code >= 0x849F && code <= 0x84BE;
}

void CensusTaker::Add(const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned c = bytes[i];
    if (c == '\n') {
      ++(cr_ ? census_.crlf : census_.lf);
    } else if (cr_) {
      ++census_.cr;
    }
    cr_ = c == '\r';
    census_.ctrl_z += c == 0x1A;
    if (!sjis_) continue;
    if (euc_) {
      // 0x8E and a kana; two bytes of 0xA1-0xFE, a JIS X 0208 cell; 0x8F and two more, JIS
      // X 0212, which no Shift_JIS code holds. A byte that cannot go on a sequence ends it.
      const bool high = c >= 0xA1 && c <= 0xFE;
      if (lead_ == 0x8E && high) {
        census_.kana += c <= 0xDF;
        lead_ = 0;
        continue;
      }
      if (lead_ >= 0xA1 && high) {
        const unsigned char jis[2] = {static_cast<unsigned char>(lead_ & 0x7F),
                                      static_cast<unsigned char>(c & 0x7F)};
        unsigned char sjis[2];
        JisCharToSjis(sjis, jis);
        if (Cp932Pair(sjis[0], sjis[1], false) != kNoCharacter) Count(sjis[0] << 8 | sjis[1]);
        lead_ = 0;
        continue;
      }
      if (lead_ >= 0x8F && lead_ <= 0x9F && high) {  // a JIS X 0212 cell, its second byte next
        lead_ = lead_ == 0x8F ? 0x90 : 0;
        continue;
      }
      lead_ = c == 0x8E || c == 0x8F || high ? c : 0;
      continue;
    }
    if (lead_ != 0) {
      const unsigned code = lead_ << 8 | c;
      const bool real = Cp932Pair(lead_, c, false) != kNoCharacter;
      lead_ = 0;
      if (real) {
        Count(code);
        continue;
      }
      if (c >= 0x80) continue;  // a code with no character; an ASCII byte is read again
    }
    if (IsSjisLeadByte(static_cast<unsigned char>(c))) {
      lead_ = c;
    } else {
      census_.kana += c >= 0xA1 && c <= 0xDF;
    }
  }
}

Census CensusTaker::Taken() const {
  Census taken = census_;
  taken.cr += cr_;
  return taken;
}

}  // namespace velko
