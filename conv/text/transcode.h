// Shift_JIS, 7-bit JIS and UTF-8 into one another, a block at a time, nothing lost unsaid.
#ifndef VELKO_CONV_TEXT_TRANSCODE_H
#define VELKO_CONV_TEXT_TRANSCODE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/cp932.h"
#include "text/frame.h"
#include "codec/jis.h"

namespace velko {

enum class Form { kShiftJis, kJis, kUtf8 };

struct TranscodeOptions {
  Form from = Form::kShiftJis, to = Form::kUtf8;
  bool jis_readings = false;  // the six cells where JIS X 0208 differs, read as JIS does
  bool pc98 = false;          // U+2500-U+254B all as PC-98 ruled lines
  Kana kana = Kana::kFull;    // half-width kana into 7-bit JIS
  bool bom = false;           // UTF-8 output begins with U+FEFF
  bool crlf = false;          // every LF written as CR LF (a CR LF stays one)
};

// A byte sequence, or a character, with no mapping; where it is in the input.
struct Unmapped {
  unsigned long long line, column;  // from 1; the column counts bytes
  unsigned char bytes[4];
  unsigned length;
  char32_t character;  // the character that has no code; kNoCharacter for bytes that are none
};

struct TranscodeReport {
  static constexpr int kShown = 20;
  Unmapped shown[kShown];      // the first ones
  unsigned long long unmapped = 0;  // all of them
  unsigned long long invalid = 0;   // of them, bytes that are no character of the input's
  // Into 7-bit JIS: characters written as codes of the Windows vendor rows or the PC-98 ruled
  // lines (JIS rows 9-15 and 89-92), which strict decoders refuse.
  unsigned long long vendor = 0, first_vendor_line = 0;
};

class Transcoding : public Conversion {
 public:
  explicit Transcoding(const TranscodeOptions& options) : options_(options) {}
  bool Prepare() override;
  // Every run starts afresh, its report too.
  LinesResult Run(File& in, File& out) override;
  const TranscodeReport& report() const { return report_; }

 private:
  enum class Set : unsigned char { kAscii, kDouble, kKana };

  // Converts s[0, n) into `d`; returns how many bytes were taken. Bytes that may begin a
  // sequence the next block ends are left, unless `last`.
  std::size_t FromSjis(const unsigned char* s, std::size_t n, bool last, unsigned char** d);
  std::size_t FromJis(const unsigned char* s, std::size_t n, bool last, unsigned char** d);
  std::size_t FromUtf8(const unsigned char* s, std::size_t n, bool last, unsigned char** d);

  void PutCharacter(char32_t c, const unsigned char* at, unsigned char** d);
  void Shift(Set to, unsigned char** d);
  void Lost(const unsigned char* at, unsigned length, char32_t c, unsigned char** d);
  void CountLines(const unsigned char* to);
  bool Tracking() const;

  TranscodeOptions options_;
  TranscodeReport report_;
  Cp932Encoder encoder_;
  // UTF-8 of every double-byte code by lead row and trail byte, and of every single byte:
  // the bytes from the lowest, their count in the top byte; 0 for none.
  std::unique_ptr<std::uint32_t[]> pairs_;
  std::uint32_t singles_[256] = {};
  signed char rows_[256] = {};
  std::unique_ptr<unsigned char[]> in_, out_, eol_;

  // The stream's state.
  Set in_set_ = Set::kAscii, out_set_ = Set::kAscii;
  bool shifted_out_ = false;  // SO: kana until SI
  bool last_cr_ = false;
  const unsigned char* block_ = nullptr;  // the block being converted, at offset base_
  unsigned long long base_ = 0;
  const unsigned char* counted_ = nullptr;  // lines are counted up to here
  unsigned long long line_ = 1, line_start_ = 0;
};

}  // namespace velko

#endif
