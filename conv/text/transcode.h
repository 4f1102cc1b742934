// A file from one charset into another through the codec, a block at a time, nothing lost
// unsaid: what has no mapping is told with its line and column.
#ifndef VELKO_CONV_TEXT_TRANSCODE_H
#define VELKO_CONV_TEXT_TRANSCODE_H

#include <cstddef>
#include <memory>

#include "text/frame.h"
#include "velko/codec.h"

namespace velko {

struct TranscodeOptions {
  // Shift_JIS, JIS or EUC-JP into UTF-8, or UTF-8 into one of them.
  Charset from = Charset::kShiftJis, to = Charset::kUtf8;
  bool jis_readings = false;  // the six cells where JIS X 0208 differs, read as JIS does
  bool pc98 = false;          // U+2500-U+254B all as PC-98 ruled lines
  Kana kana = Kana::kFull;    // half-width kana into 7-bit JIS
  bool bom = false;           // UTF-8 output begins with U+FEFF
  bool crlf = false;          // every LF written as CR LF (a CR LF stays one)
  // Stop at the first sequence without a mapping: the run ends in kStopped, having told it.
  bool stop_at_unmapped = false;
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
  Unmapped shown[kShown];           // the first ones
  unsigned long long unmapped = 0;  // all of them
  unsigned long long invalid = 0;   // of them, bytes that are no character of the input's
  // Into 7-bit JIS or EUC-JP: characters written as codes of the Windows vendor rows or the
  // PC-98 ruled lines (JIS rows 9-15 and 89-92), which strict decoders refuse.
  unsigned long long vendor = 0, first_vendor_line = 0;
};

class Transcoding : public Conversion {
 public:
  explicit Transcoding(const TranscodeOptions& options);
  bool Prepare() override;
  // Every run starts afresh, its report too.
  LinesResult Run(File& in, File& out) override;
  const TranscodeReport& report() const { return report_; }

 private:
  // Sends out_[0, *d) to `out`, each lone LF as CR LF when asked; false on a write failure.
  bool Flush(File& out, unsigned char** d);
  void Lost(const CodecResult& r, unsigned char** d);
  // Counts the lines up to the stream's offset `to`.
  void CountLines(unsigned long long to);
  // The line and column of the stream's offset `at`.
  void Place(unsigned long long at, unsigned long long* line, unsigned long long* column);
  bool Tracking() const;

  TranscodeOptions options_;
  TranscodeReport report_;
  Decoder decoder_;
  Encoder encoder_;
  std::unique_ptr<unsigned char[]> in_, out_, eol_;
  bool last_cr_ = false;
  unsigned long long skipped_ = 0;        // a byte order mark dropped before the coder's first byte
  const unsigned char* block_ = nullptr;  // the block being converted, at offset base_
  std::size_t block_size_ = 0;
  unsigned long long base_ = 0;
  const unsigned char* counted_ = nullptr;  // lines are counted up to here
  unsigned long long line_ = 1, line_start_ = 0;
  // The offsets of the last LFs counted; a bad sequence the coder kept from a block begins
  // at most 7 bytes before its end, so 8 are enough.
  static constexpr unsigned kLastLfs = 8;
  unsigned long long lfs_[kLastLfs] = {};
  unsigned last_lfs_ = 0;
};

}  // namespace velko

#endif
