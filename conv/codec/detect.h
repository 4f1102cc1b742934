// Which encodings the bytes of a text fit, by fixed byte rules, never by the system's locale.
#ifndef VELKO_CONV_CODEC_DETECT_H
#define VELKO_CONV_CODEC_DETECT_H

#include <cstddef>

#include "velko/codec.h"

namespace velko {

// A set of charsets, a bit each. What the bytes fit:
//   kAscii: 7-bit, no JIS escape sequence
//   kJis: 7-bit with ESC $ sequences; half-width kana as 8-bit bytes allowed
//   kUtf8: valid UTF-8 with at least one multi-byte sequence
//   kShiftJis: every byte a Shift_JIS character
//   kEucJp: every byte an EUC-JP character, and at least one double-byte character
// and kUnknown's bit, kBinary: a NUL, or bytes no text charset here has.
using Charsets = unsigned;
constexpr Charsets Bit(Charset charset) { return 1u << static_cast<unsigned>(charset); }
constexpr Charsets kBinary = Bit(Charset::kUnknown);

struct SjisDecodeTable;

// Fed with a text's bytes in pieces of any size; tells which encodings they fit.
class ByteSurvey {
 public:
  ByteSurvey();
  void Add(const unsigned char* bytes, std::size_t n);
  // The charsets all bytes fed fit; with `cut`, the text goes on after them, so a sequence
  // they end inside still fits. One bit but for Shift_JIS and EUC-JP together: the bytes
  // are either (half-width kana, or EUC-JP without a byte Shift_JIS refuses).
  Charsets Fits(bool cut) const;
  // Every charset the bytes fit, by the same rules with no preference among UTF-8, Shift_JIS
  // and EUC-JP, and with every double-byte code a character.
  Charsets Candidates() const;
  // An ESC $ was seen: 7-bit JIS, perhaps with some bytes it has no place for.
  bool JisEscapes() const { return jis_escapes_ > 0; }
  // A NUL was seen: binary, whatever else the bytes are.
  bool Nul() const { return nul_; }
  // No bytes more can make the text fit UTF-8, EUC-JP or 7-bit JIS: Fits gives Shift_JIS or
  // binary, whatever follows.
  bool OnlyShiftJisLeft() const { return !utf8_ok_ && !euc_ok_ && not_kana_; }
  // The charsets of UTF-8, Shift_JIS, EUC-JP and 7-bit JIS that Fits or Candidates may still
  // give, whatever bytes follow.
  Charsets Open() const {
    return (utf8_ok_ ? Bit(Charset::kUtf8) : 0) | (sjis_ok_ ? Bit(Charset::kShiftJis) : 0) |
           (euc_ok_ ? Bit(Charset::kEucJp) : 0) | (not_kana_ ? 0 : Bit(Charset::kJis));
  }

 private:
  void AddUtf8(const unsigned char* bytes, std::size_t n);
  // From `i`, between characters, what the state of the charsets still open lets pass at
  // once; where the byte-by-byte rules must go on.
  std::size_t Quick(const unsigned char* bytes, std::size_t i, std::size_t n);

  const SjisDecodeTable& sjis_;
  bool eight_bit_ = false, not_kana_ = false;  // seen: 8-bit bytes, and those not 0xA1-0xDF
  unsigned long long jis_escapes_ = 0, utf8_multibyte_ = 0, euc_double_ = 0;
  bool nul_ = false;
  bool utf8_ok_ = true, sjis_ok_ = true, euc_ok_ = true;
  unsigned char utf8_cut_[4] = {};  // a UTF-8 sequence the last piece ended inside
  unsigned utf8_held_ = 0;
  unsigned sjis_lead_ = 0;       // a lead byte waiting for its trail byte
  unsigned char euc_first_ = 0;  // the first byte of an EUC-JP double-byte character
  // Double-byte codes of the right form that stand for no character.
  unsigned long long sjis_unassigned_ = 0, euc_unassigned_ = 0;
  unsigned euc_need_ = 0;  // bytes of a double-byte character still to come
  bool after_esc_ = false;
};

// What a text holds that matters to the commands.
struct Census {
  unsigned long long lf = 0, crlf = 0, cr = 0, ctrl_z = 0;  // line ends: LF alone, CR LF, CR
  // Shift_JIS characters: half-width kana, NEC row 13 (0x87), the IBM extensions and their
  // NEC-selected copies (0xED, 0xEE, 0xFA-0xFC), user-defined (0xF0-0xF9), PC-98 ruled lines
  // (0x86A2-0x86ED) and JIS ones (0x849F-0x84BE).
  unsigned long long kana = 0, nec_row13 = 0, ibm = 0, user = 0, pc98 = 0, jis_ruled = 0;
};

// Counts a text's line ends and 0x1A bytes, and with `sjis` its Shift_JIS characters, fed in
// pieces of any size. `euc`: the text is EUC-JP, its JIS X 0208 cells counted by the Shift_JIS
// codes of the same cells.
class CensusTaker {
 public:
  explicit CensusTaker(bool sjis, bool euc = false) : sjis_(sjis), euc_(euc) {}
  void Add(const unsigned char* bytes, std::size_t n);
  // The counts; a CR at the very end counts as a line end.
  Census Taken() const;

 private:
  void Count(unsigned code);

  bool sjis_, euc_;
  Census census_;
  bool cr_ = false;
  unsigned lead_ = 0;  // a lead byte waiting for its trail byte
};

}  // namespace velko

#endif
