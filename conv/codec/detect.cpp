#include "codec/detect.h"

#include "codec/cp932.h"
#include "codec/jis.h"
#include "codec/simd.h"

namespace velko {

void ByteSurvey::Add(const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
#if VELKO_SIMD
    // Between characters, a byte 0x01-0x7F but ESC changes nothing: whole vectors of them pass.
    if (utf8_need_ == 0 && sjis_lead_ == 0 && euc_need_ == 0 && escape_ == 0) {
      while (n - i >= simd::kWidth) {
        const simd::V v = simd::Load(bytes + i);
        const simd::V plain = simd::AndNot(simd::Eq(v, 0x1B), simd::InRange(v, 0x01, 0x7F));
        if (simd::Mask(plain) != simd::kAll) break;
        i += simd::kWidth;
      }
      if (i == n) break;
    }
#endif
    const unsigned char c = bytes[i];
    nul_ |= c == 0;
    if (c >= 0x80) {
      ++eight_bit_;
      not_kana_ += c < 0xA1 || c > 0xDF;
    }
    // ESC $ opens a double-byte run of 7-bit JIS.
    jis_escapes_ += escape_ == 1 && c == '$';
    escape_ = c == 0x1B ? 1 : escape_ == 1 && c == '$' ? 2 : 0;

    if (utf8_need_ > 0) {
      if (c < utf8_low_ || c > utf8_high_) utf8_ok_ = false;
      utf8_low_ = 0x80, utf8_high_ = 0xBF;
      utf8_multibyte_ += --utf8_need_ == 0;
    } else if (c >= 0x80) {
      // Leads of two to four bytes; no overlong form, surrogate or code point past U+10FFFF.
      utf8_need_ = c >= 0xC2 && c <= 0xDF   ? 1
                   : c >= 0xE0 && c <= 0xEF ? 2
                   : c >= 0xF0 && c <= 0xF4 ? 3
                                            : 0;
      if (utf8_need_ == 0) utf8_ok_ = false;
      utf8_low_ = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
      utf8_high_ = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    }

    if (sjis_lead_ != 0) {
      if (c < 0x40 || c == 0x7F || c > 0xFC) sjis_ok_ = false;
      sjis_unassigned_ += Cp932Pair(sjis_lead_, c, false) == kNoCharacter;
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
      if (euc_first_ >= 0xA1 && c >= 0xA1 && c <= 0xFE) {
        // JIS X 0208, which code page 932 holds whole.
        const unsigned char jis[2] = {static_cast<unsigned char>(euc_first_ - 0x80),
                                      static_cast<unsigned char>(c - 0x80)};
        unsigned char sjis[2];
        JisCharToSjis(sjis, jis);
        euc_unassigned_ += Cp932Pair(sjis[0], sjis[1], false) == kNoCharacter;
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

unsigned ByteSurvey::Fits(bool cut) const {
  if (nul_) return kBinary;
  if (eight_bit_ == 0) return jis_escapes_ > 0 ? kIso2022Jp : kAscii;
  // What VELKO's own JIS text holds: escapes, and half-width kana as 8-bit bytes.
  if (jis_escapes_ > 0 && not_kana_ == 0) return kIso2022Jp;
  if (utf8_ok_ && (cut || utf8_need_ == 0) && utf8_multibyte_ > 0) return kUtf8;
  unsigned fits = 0;
  if (sjis_ok_ && (cut || sjis_lead_ == 0)) fits |= kShiftJis;
  if (euc_ok_ && (cut || euc_need_ == 0) && euc_double_ > 0) fits |= kEucJp;
  return fits != 0 ? fits : kBinary;
}

unsigned ByteSurvey::Candidates() const {
  const unsigned fits = Fits(false);
  if (fits & (kBinary | kAscii | kIso2022Jp)) return fits;
  unsigned all = 0;
  if (utf8_ok_ && utf8_need_ == 0 && utf8_multibyte_ > 0) all |= kUtf8;
  if (sjis_ok_ && sjis_lead_ == 0 && sjis_unassigned_ == 0) all |= kShiftJis;
  if (euc_ok_ && euc_need_ == 0 && euc_double_ > 0 && euc_unassigned_ == 0) all |= kEucJp;
  return all != 0 ? all : kBinary;
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
    if (lead_ != 0) {
      const unsigned code = lead_ << 8 | c;
      const bool real = Cp932Pair(lead_, c, false) != kNoCharacter;
      lead_ = 0;
      if (real) {
        const unsigned lead = code >> 8;
        census_.nec_row13 += lead == 0x87;
        census_.ibm += lead == 0xED || lead == 0xEE || (lead >= 0xFA && lead <= 0xFC);
        census_.user += lead >= 0xF0 && lead <= 0xF9;
        census_.pc98 += code >= 0x86A2 && code <= 0x86ED;
        census_.jis_ruled += code >= 0x849F && code <= 0x84BE;
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
