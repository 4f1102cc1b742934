// The transfer encodings of a MIME body (RFC 2045): bytes in, in pieces of any size, the
// decoded bytes out through `emit(bytes, n)` (false stops), the same whatever the pieces are.
#ifndef VELKO_CONV_MAIL_TRANSFER_H
#define VELKO_CONV_MAIL_TRANSFER_H

#include <cstddef>

namespace velko {

// What a decoder met that its reader should hear of.
struct TransferNotes {
  unsigned long long bytes = 0;    // decoded
  unsigned long long skipped = 0;  // bytes that were no part of the encoding, passed over
  bool lone = false;    // the data ended one character into a group: six bits, no byte
  bool padded = true;   // the last group was whole, or padded with '='
  bool no_begin = false;  // uuencode: no "begin" line, so the body is kept as it stands
};

using Emit = bool (*)(void* context, const unsigned char* bytes, std::size_t n);

// Base64 as a stream of characters: line ends, blanks and tabs are nothing; other bytes outside
// the alphabet are passed over and counted. '=' ends a group begun two or three characters
// before; the next group begins after it, so texts padded one after the other decode to their
// bytes one after the other.
class Base64Stream {
 public:
  void Reset() { *this = Base64Stream(); }
  bool Feed(const char* text, std::size_t n, Emit emit, void* context);
  bool Finish(Emit emit, void* context);
  // Between groups: whole lines of whole groups may be decoded apart (DecodeBase64Lines).
  bool aligned() const { return have_ == 0; }
  void Count(std::size_t bytes) { notes_.bytes += bytes; }
  const TransferNotes& notes() const { return notes_; }

 private:
  unsigned bits_ = 0, have_ = 0, pads_ = 0;
  TransferNotes notes_;
};

// Quoted-printable: "=XX" (either case) a byte; '=' with blanks after it before the line's end
// a soft break; blanks at a line's end dropped (they came in transport); any other '=' itself.
// Line ends are bytes of the data, as they stand.
class QuotedPrintable {
 public:
  void Reset() { *this = QuotedPrintable(); }
  bool Feed(const char* text, std::size_t n, Emit emit, void* context);
  bool Finish(Emit emit, void* context);
  const TransferNotes& notes() const { return notes_; }

 private:
  enum class State { kText, kEquals, kHex, kSoft, kSoftCr };
  State state_ = State::kText;
  char hex_ = 0;
  std::size_t blanks_ = 0;  // held: they may end the line
  char blank_[256];
  bool cr_ = false;         // a CR held: it may begin the line's end
  TransferNotes notes_;
};

// uuencode: the lines after a "begin MODE NAME" line (which the caller finds) up to "end",
// each its length character and its groups of four, the characters it lacks counted as 0;
// what stands after the characters its length asks for is nothing.
class Uudecode {
 public:
  void Reset() { *this = Uudecode(); }
  bool Feed(const char* text, std::size_t n, Emit emit, void* context);
  bool Finish(Emit emit, void* context);
  bool ended() const { return ended_; }  // its "end" line came
  const TransferNotes& notes() const { return notes_; }
  // A "begin" line: its name's start in `line` (n bytes), or null.
  static const char* Begin(const char* line, std::size_t n);

 private:
  bool Line(Emit emit, void* context);
  bool ended_ = false;
  char line_[88];  // a length character and 84 (63 bytes), and a few blanks for "end"
  std::size_t length_ = 0;
  TransferNotes notes_;
};

}  // namespace velko

#endif
