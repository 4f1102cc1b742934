#include "detect.h"

#include "jis.h"

namespace velko {

void ByteSurvey::Add(const unsigned char* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
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

    if (sjis_trail_) {
      sjis_trail_ = false;
      if (c < 0x40 || c == 0x7F || c > 0xFC) sjis_ok_ = false;
    } else if (IsSjisLeadByte(c)) {
      sjis_trail_ = true;
    } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
      sjis_ok_ = false;
    }

    if (euc_need_ > 0) {
      --euc_need_;
      if (c < 0xA1 || c > 0xFE) euc_ok_ = false;
      euc_double_ += euc_need_ == 0;
    } else if (c == 0x8E || (c >= 0xA1 && c <= 0xFE)) {
      euc_need_ = 1;  // half-width kana after 0x8E, the second byte of a character otherwise
    } else if (c == 0x8F) {
      euc_need_ = 2;  // JIS X 0212
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
  if (sjis_ok_ && (cut || !sjis_trail_)) fits |= kShiftJis;
  if (euc_ok_ && (cut || euc_need_ == 0) && euc_double_ > 0) fits |= kEucJp;
  return fits != 0 ? fits : kBinary;
}

}  // namespace velko
