// Which encodings the bytes of a text fit, by fixed byte rules, never by the system's locale.
#ifndef VELKO_CONV_DETECT_H
#define VELKO_CONV_DETECT_H

#include <cstddef>

namespace velko {

enum Encoding : unsigned {
  kAscii = 1,      // 7-bit, no JIS escape sequence
  kIso2022Jp = 2,  // 7-bit with ESC $ sequences; half-width kana as 8-bit bytes allowed
  kUtf8 = 4,       // valid UTF-8 with at least one multi-byte sequence
  kShiftJis = 8,   // every byte a Shift_JIS character
  kEucJp = 16,     // every byte an EUC-JP character, and at least one double-byte character
  kBinary = 32,    // a NUL, or bytes no text encoding here has
};

// Fed with a text's bytes in pieces of any size; tells which encodings they fit.
class ByteSurvey {
 public:
  void Add(const unsigned char* bytes, std::size_t n);
  // The encodings all bytes fed fit; with `cut`, the text goes on after them, so a sequence
  // they end inside still fits. One bit but for Shift_JIS and EUC-JP together: the bytes
  // are either (half-width kana, or EUC-JP without a byte Shift_JIS refuses).
  unsigned Fits(bool cut) const;

 private:
  unsigned long long eight_bit_ = 0, not_kana_ = 0;  // 8-bit bytes, and those not 0xA1-0xDF
  unsigned long long jis_escapes_ = 0, utf8_multibyte_ = 0, euc_double_ = 0;
  bool nul_ = false;
  bool utf8_ok_ = true, sjis_ok_ = true, euc_ok_ = true;
  unsigned utf8_need_ = 0;                            // continuation bytes still to come
  unsigned char utf8_low_ = 0x80, utf8_high_ = 0xBF;  // the range of the next one
  bool sjis_trail_ = false;                           // a lead byte waits for its trail byte
  unsigned euc_need_ = 0;  // bytes of a double-byte character still to come
  unsigned escape_ = 0;    // 1 after ESC, 2 after ESC $
};

}  // namespace velko

#endif
