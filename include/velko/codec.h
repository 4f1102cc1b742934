// Japanese text to and from UTF-8 on memory buffers, a piece at a time.
//
// A Decoder turns bytes of a charset into UTF-8, an Encoder UTF-8 into a charset. Each call
// takes what input it is given and stops at the first of: all input taken, no room left for
// the next character, a byte sequence that is no character, a character with no code. What
// happens then is the caller's choice (write a replacement, give up, tell the place) before
// it calls again with the rest. A coder keeps what runs on from one call to the next: a
// sequence cut between two pieces, the shift state of 7-bit JIS, a kana waiting for its voiced
// mark. So any split of a stream gives the same output and the same errors, at the same places,
// as one call on the whole.
//
//   velko::Decoder decoder(velko::Charset::kShiftJis);
//   CodecResult r = decoder.DecodeToUtf8(in, n, out, room, true);  // room: MaxUtf8Length(n)
//
// Tables are made once per process, at a coder's first use; a coder allocates nothing. A call
// given fewer than 8 bytes of room may end in kOutputFull with nothing read or written.
#ifndef VELKO_CODEC_H
#define VELKO_CODEC_H

#include <cstddef>

namespace velko {

enum class Charset : unsigned char {
  kUnknown,
  kAscii,
  kUtf8,
  kShiftJis,  // code page 932 as Windows maps it; 0x86A2-0x86ED as U+2500-U+254B (PC-98)
  kJis,       // 7-bit JIS, ISO-2022-JP
  kEucJp,     // JIS X 0208 (with code page 932's cells), half-width kana, JIS X 0212
  kLatin1,    // ISO-8859-1
};

// The charset a MIME or IANA label names (letters in any case: "Shift_JIS", "x-sjis", "cp932",
// "ISO-2022-JP", "euc-jp", "utf8", "us-ascii", "latin1", ...); kUnknown for any other.
Charset CharsetForLabel(const char* label, std::size_t length);
Charset CharsetForLabel(const char* label);  // NUL-terminated
// Its preferred MIME name: "Shift_JIS", "ISO-2022-JP", "EUC-JP", "UTF-8", "US-ASCII",
// "ISO-8859-1"; "unknown".
const char* CharsetName(Charset charset);

enum class CodecStatus : unsigned char {
  kInputEmpty,  // every byte of the input taken (a sequence it ends inside is kept for later)
  kOutputFull,  // the next character needs more room than is left
  kMalformed,   // a byte sequence that is no character of the charset read, and taken
  kUnmappable,  // a character the target charset has no code for read, and taken (Encoder)
};

struct CodecResult {
  CodecStatus status;
  std::size_t read;     // input bytes taken, a bad sequence included
  std::size_t written;  // output bytes made
  // kMalformed and kUnmappable: where the sequence begins, in bytes from the start of the
  // stream (it may begin in an earlier call's input), its length and its bytes; for
  // kUnmappable the character, for kMalformed kNoCharacter.
  unsigned long long at;
  unsigned length;
  unsigned char bytes[4];
  char32_t character;
};
constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// How half-width kana (U+FF61-U+FF9F) go into 7-bit JIS.
enum class Kana : unsigned char {
  k8bit,  // as their Shift_JIS bytes, 0xA1-0xDF, which strict decoders refuse
  kEscI,  // in runs of ESC ( I
  kFull,  // as the full-width JIS characters, a voiced or semi-voiced mark joined to its kana
};

struct DecoderOptions {
  // The six cells where JIS X 0208 and Windows differ (0x8160 ... in Shift_JIS) read as JIS
  // does (U+301C U+2016 U+2212 U+00A2 U+00A3 U+00AC), not as Windows (U+FF5E U+2225 U+FF0D
  // U+FFE0 U+FFE1 U+FFE2). Shift_JIS, JIS and EUC-JP.
  bool jis_readings = false;
};

struct EncoderOptions {
  // U+2500-U+254B all as PC-98 ruled lines (0x86A2-0x86ED in Shift_JIS, the same cells in JIS
  // and EUC-JP); else as the JIS row-8 code where there is one.
  bool pc98 = false;
  Kana kana = Kana::kFull;  // 7-bit JIS only
};

// Bytes of `charset` to UTF-8.
//   ASCII: bytes past 0x7F are malformed.
//   Shift_JIS: code page 932 (NEC row 13, the IBM extensions, user-defined codes as
//     U+E000-U+E757, 0x80 U+0080, 0xA0 U+F8F0, 0xFD-0xFF U+F8F1-U+F8F3), the PC-98 ruled lines.
//     A code with no character is malformed as a whole; after a lead byte, an ASCII byte or
//     0xFD-0xFF is malformed alone and read again.
//   JIS: ESC $ @, ESC $ B, ESC $ ( B (JIS X 0208, with the cells of code page 932),
//     ESC ( B and ESC ( J (ASCII), ESC ( I and SO/SI (kana), 8-bit bytes as code page 932 reads
//     them alone; a line end returns to ASCII. ESC & @ is passed over; any other ESC is
//     malformed.
//   EUC-JP: JIS X 0208 with code page 932's cells (as Windows and browsers read EUC-JP), 0x8E
//     kana, 0x8F JIS X 0212. A sequence with no character is malformed as a whole; a byte
//     that cannot go on a sequence ends it and is read again.
//   UTF-8: checked and copied; the longest valid start of a bad sequence is malformed as one.
//   Latin-1: every byte is its character.
class Decoder {
 public:
  Decoder() = default;
  explicit Decoder(Charset charset, const DecoderOptions& options = {});
  Charset charset() const { return charset_; }
  // False for a charset it cannot read (kUnknown).
  bool Valid() const { return charset_ != Charset::kUnknown; }

  // Decodes src[0, length) into dst (`room` bytes). With `last`, the input ends here: a
  // sequence it ends inside is malformed.
  CodecResult DecodeToUtf8(const unsigned char* src, std::size_t length, unsigned char* dst,
                           std::size_t room, bool last);
  CodecResult DecodeToUtf8(const char* src, std::size_t length, char* dst, std::size_t room,
                           bool last) {
    return DecodeToUtf8(reinterpret_cast<const unsigned char*>(src), length,
                        reinterpret_cast<unsigned char*>(dst), room, last);
  }
  // Room enough for the output of `length` more input bytes, whatever they are, with a U+FFFD
  // written in place of each bad sequence: in that room no call ends in kOutputFull. It is
  // 3 x (length + the bytes of a cut sequence kept, at most 7).
  std::size_t MaxUtf8Length(std::size_t length) const;
  // A new stream: no state, offsets from 0.
  void Reset();

 private:
  friend struct DecoderCore;
  Charset charset_ = Charset::kUnknown;
  DecoderOptions options_;
  const void* table_ = nullptr;
  unsigned long long offset_ = 0;  // stream bytes before the next call's input
  unsigned char pending_[8] = {};  // bytes of a sequence cut by the end of a call's input
  unsigned char pending_length_ = 0;
  unsigned char set_ = 0;     // JIS: the set in use
  bool shifted_out_ = false;  // JIS: SO, until SI
};

// UTF-8 to `charset`.
//   ASCII, Latin-1: the characters they hold.
//   Shift_JIS: every code page 932 code; where several codes read as one character, Windows'
//     choice (a JIS row before NEC row 13 before the IBM extensions before their NEC-selected
//     copies); the JIS readings of the six cells lead to them too; U+2500-U+254B without a
//     JIS code, or all with `pc98`, as PC-98 ruled lines.
//   JIS: ESC $ B and ESC ( B only; the IBM extensions as their NEC-selected copies, no
//     user-defined code; ESC, SO and SI have no code; half-width kana as `kana` says.
//   EUC-JP: what has a JIS X 0208 code as in JIS, half-width kana as 0x8E, then JIS X 0212.
//   UTF-8: checked and copied.
// Input that is no UTF-8 is kMalformed, its longest valid start as one. Into JIS, the text is
// back in ASCII before any error is told, so an ASCII replacement may follow; with `last`, it
// ends in ASCII.
class Encoder {
 public:
  Encoder() = default;
  explicit Encoder(Charset charset, const EncoderOptions& options = {});
  Charset charset() const { return charset_; }
  bool Valid() const { return charset_ != Charset::kUnknown; }

  CodecResult EncodeFromUtf8(const unsigned char* src, std::size_t length, unsigned char* dst,
                             std::size_t room, bool last);
  CodecResult EncodeFromUtf8(const char* src, std::size_t length, char* dst, std::size_t room,
                             bool last) {
    return EncodeFromUtf8(reinterpret_cast<const unsigned char*>(src), length,
                          reinterpret_cast<unsigned char*>(dst), room, last);
  }
  // Room enough for the output of `length` more input bytes, with a '?' (into UTF-8 a U+FFFD)
  // written in place of each bad sequence: at most 4 x (length + 7) + 3.
  std::size_t MaxLength(std::size_t length) const;
  // Characters written as codes that strict JIS decoders refuse (JIS and EUC-JP: NEC row 13,
  // the NEC-selected IBM rows 89-92, the PC-98 ruled lines), and where the first one began in
  // the stream.
  unsigned long long VendorCodes() const { return vendor_; }
  unsigned long long FirstVendorCode() const { return first_vendor_; }
  void Reset();

 private:
  friend struct EncoderCore;
  Charset charset_ = Charset::kUnknown;
  EncoderOptions options_;
  const void* table_ = nullptr;
  unsigned long long offset_ = 0;
  unsigned char pending_[8] = {};  // a cut sequence, or a kana and what follows it
  unsigned char pending_length_ = 0;
  unsigned char set_ = 0;  // JIS: the set written last
  unsigned long long vendor_ = 0, first_vendor_ = 0;
};

}  // namespace velko

#endif
