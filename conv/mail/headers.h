// Header text as a mail reader shows it: RFC 2047 encoded words decoded into one encoding,
// adjacent words joined, folded header lines unfolded.
#ifndef VELKO_CONV_MAIL_HEADERS_H
#define VELKO_CONV_MAIL_HEADERS_H

#include <cstddef>
#include <memory>

#include "velko/codec.h"
#include "text/frame.h"
#include "text/textio.h"
#include "text/transcode.h"

namespace velko {

// What decoding could not do.
struct HeaderCounts {
  unsigned long long kept = 0;  // encoded words left as they are: a charset not known here, or
                                // B text that is no Base64
  unsigned long long lost = 0;  // characters with no code in the output, written as '?' or U+FFFD
};

// Where a text with encoded words goes: the text between the words, and their characters.
class WordSink {
 public:
  virtual ~WordSink() = default;
  virtual void Literal(const char* text, std::size_t n) = 0;
  virtual void Utf8(const char* text, std::size_t n) = 0;
  // A byte sequence in a word that is no character: U+FFFD.
  virtual void Malformed() { Utf8("\xEF\xBF\xBD", 3); }
};

// The RFC 2047 words of `text` (n bytes) decoded as Python's decode_header and make_header
// read them: adjacent words of one charset joined as bytes before they are read (a character
// or a JIS shift state runs on from one word to the next), blanks between two words dropped.
// A word of a charset not known here, or whose B text is no Base64, stays as it stands; a
// sequence that is no character is U+FFFD. True when it held a word that decoded.
bool DecodeWords(const char* text, std::size_t n, WordSink& sink, HeaderCounts* counts);

class HeaderText {
 public:
  explicit HeaderText(Charset to) : to_(to) {}
  bool Prepare();
  // `text` (n bytes: a header's value or any line, without its line end) with its encoded
  // words decoded, into `out` (`room` bytes, NUL-terminated, cut at a character when full);
  // the length written. The text between words stays as it is, but for blanks between two.
  std::size_t Decode(const char* text, std::size_t n, char* out, std::size_t room,
                     HeaderCounts* counts) const;

 private:
  Charset to_;
};

// b64text --decode: every line's encoded words decoded, and in a header (from the file's start,
// or an mbox "From " line, to the first blank line) folded lines joined first. Line ends stay.
class HeaderDecoding : public Conversion {
 public:
  explicit HeaderDecoding(Charset to) : text_(to) {}
  bool Prepare() override;
  LinesResult Run(File& in, File& out) override;
  const HeaderCounts& counts() const { return counts_; }
  unsigned long long first_line() const { return first_line_; }  // of what was kept or lost

 private:
  // Decodes `text` and writes it and its line end `end`; false once a write failed.
  bool Put(OutStream& out, const char* text, std::size_t n, const char* end,
           unsigned long long line);

  HeaderText text_;
  std::unique_ptr<char[]> buffers_;
  HeaderCounts counts_;
  unsigned long long first_line_ = 0;
};

}  // namespace velko

#endif
