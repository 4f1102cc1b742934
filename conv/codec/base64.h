// The one Base64 decoder, shared by the in-line expansion and the attachment extraction.
#ifndef VELKO_CONV_CODEC_BASE64_H
#define VELKO_CONV_CODEC_BASE64_H

#include <cstddef>

namespace velko {

// How many of the first `length` bytes of `text` are, from the start, of the alphabet or '=';
// `text` has a NUL at text[length] or before, and the span stops there too.
std::size_t Base64Span(const char* text, std::size_t length);

// Decodes the first `length` bytes of `text` (no NUL among them) group after group; padding
// does not stop it: a group counts 1 byte when its third and fourth places are '=', 2 when
// only its fourth is, else 3, and every byte outside the alphabet enters as 255. A short last
// group counts its missing places as '=' and gives one byte fewer than its characters (none
// for one). Writes the bytes and a NUL to `out` (3 x ceil(length / 4) + 1 bytes) and returns
// their number. Sixteen characters at a time where the CPU allows.
std::size_t DecodeBase64(unsigned char* out, const char* text, std::size_t length);

// What DecodeBase64Lines took.
struct Base64Lines {
  std::size_t written = 0;  // bytes decoded
  unsigned long long lines = 0;
  unsigned long long lone = 0;  // lines whose last group is one character (no byte)
};

// The lines at the start of `text` (`length` bytes) that hold Base64 text alone: one or more
// characters, each of the alphabet or '=', then LF or CR LF, at most `max_line` bytes with
// it. Each is decoded whole, as DecodeBase64 decodes it, into `out` (room for `length` bytes),
// one after the other; the first other line, or one not ended within `length`, stops them.
// Returns the bytes of the lines taken, their ends included. One pass: each character is
// checked and decoded where it is read. `whole_groups`: only lines of whole groups, '=' only
// as their last one or two characters, which a stream of Base64 reads the same way.
std::size_t DecodeBase64Lines(unsigned char* out, const char* text, std::size_t length,
                              std::size_t max_line, bool whole_groups, Base64Lines* run);

// Base64 text that comes in pieces (a body's lines, and lines a read limit cut), decoded a
// piece at a time; a group cut between two pieces waits for the rest.
class Base64Pieces {
 public:
  void Reset() { carried_ = 0, bytes_ = 0, lone_ = 0; }
  // No group waits for the rest of a cut piece: whole lines may be decoded apart and counted.
  bool idle() const { return carried_ == 0; }
  void Count(const Base64Lines& run) { bytes_ += run.written, lone_ += run.lone; }
  // `text`: n characters, each of the alphabet or '='. `whole`: they end a line, where a
  // group left short is decoded as it is. `emit(bytes, count)` takes the bytes; false stops.
  template <typename Emit>
  bool Feed(const char* text, std::size_t n, bool whole, Emit&& emit) {
    if (carried_ > 0) {  // complete a group begun on an earlier piece, or keep waiting
      while (carried_ < 4 && n > 0) carry_[carried_++] = *text++, --n;
      if (carried_ < 4 && !whole) return true;
      const std::size_t k = carried_;
      carried_ = 0;
      if (!Decode(carry_, k, emit)) return false;
    }
    const std::size_t keep = whole ? 0 : n % 4;
    n -= keep;
    while (n > 0) {  // in pieces that fit the decoded area
      const std::size_t k = n < kChars ? n : kChars;
      if (!Decode(text, k, emit)) return false;
      text += k, n -= k;
    }
    for (std::size_t i = 0; i < keep; ++i) carry_[i] = text[i];
    carried_ = keep;
    return true;
  }
  // The group a cut piece left waiting, decoded as it is.
  template <typename Emit>
  bool Finish(Emit&& emit) {
    return Feed(carry_ + carried_, 0, true, emit);
  }
  unsigned long long bytes() const { return bytes_; }
  // Lines that ended in a character that completes no group (six bits make no byte).
  unsigned long long lone() const { return lone_; }

 private:
  static constexpr std::size_t kChars = 1020;  // 255 groups: 765 bytes and a NUL
  template <typename Emit>
  bool Decode(const char* text, std::size_t n, Emit& emit) {
    lone_ += n % 4 == 1;
    const std::size_t k = DecodeBase64(area_, text, n);
    bytes_ += k;
    return emit(area_, k);
  }
  unsigned char area_[kChars / 4 * 3 + 1];
  char carry_[4] = {};
  std::size_t carried_ = 0;
  unsigned long long bytes_ = 0, lone_ = 0;
};

}  // namespace velko

#endif
