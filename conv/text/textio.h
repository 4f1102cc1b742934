// Buffered line reading and writing over binary files, with the text-mode rules done here so
// that every platform behaves alike.
#ifndef VELKO_CONV_TEXT_TEXTIO_H
#define VELKO_CONV_TEXT_TEXTIO_H

#include <cstddef>

#include "ports/fileops.h"

namespace velko {

// A byte offset that names no place in a file.
constexpr unsigned long long kNowhere = static_cast<unsigned long long>(-1);

enum class ReadResult {
  kLine,   // bytes were stored
  kEnd,    // end of the file (or, in text mode, a 0x1A) before any byte of this read
  kError,  // the file could not be read
};

// Text mode: CR LF reads as LF; a CR not followed by LF is kept; a 0x1A is never stored and
// ends the read in progress (a read that stored nothing gives kEnd).
// Binary mode: every byte as it is.
class LineReader {
 public:
  // `buffer` is the read-ahead area, owned by the caller for the reader's lifetime; its last
  // byte is kept for a NUL.
  LineReader(File& file, bool text_mode, char* buffer, std::size_t size);

  // Like fgets(line, limit, stream): stores at most limit - 1 bytes, stopping after a LF,
  // then a NUL; `*length` receives the bytes stored (a NUL read from the file counts).
  ReadResult ReadLine(char* line, std::size_t limit, std::size_t* length);

  // The same for a caller that only reads the line: the usual one (ended by its LF, or by CR LF
  // in text mode, whole in the read-ahead area, no 0x1A) is left where it lies, NUL-terminated
  // there until the next call; any other is read into `copy` (`limit` bytes). `*line` points to it.
  ReadResult ReadLineInPlace(char* copy, std::size_t limit, char** line, std::size_t* length);

  // Whole lines at once, for a caller that converts many alike: from the next byte, the
  // longest run of lines, each ended by its LF and read in one ReadLine of `limit`, in which the
  // rules drop and change nothing (no NUL; in text mode no 0x1A and every LF after a CR), at
  // most `most` bytes of what is already read ahead. Left where it lies with a NUL after it
  // until the next call; `*lines` receives their number. 0 when the next line is not such a one.
  std::size_t ReadLines(std::size_t limit, std::size_t most, char** text,
                        unsigned long long* lines);
  // Gives back the last `n` bytes read by ReadLines, to be read again.
  void Unread(std::size_t n);
  // The bytes read ahead (read now when there are none) up to the last LF among the first
  // `most`, or the first LF when a line too long for one read ends them; 0 when there is none.
  // Left where they lie with a NUL after them until the next call; Take(n) takes the first `n`
  // of them as read.
  std::size_t Region(std::size_t most, std::size_t limit, char** text);
  void Take(std::size_t n);

  // For a binary-mode caller that reads lines in place: the bytes already read ahead, as they
  // are (none read now), and Skip(n), which takes the first `n` of them as read.
  std::size_t Ahead(const char** text);
  void Skip(std::size_t n);

  // Bytes of the file read so far (the next read starts there).
  unsigned long long Offset() const { return base_ + pos_; }
  // What the text rules left out: where a 0x1A with text after it ended the text (kNowhere:
  // none), and the 0x1A bytes dropped inside lines, with the place of the first.
  unsigned long long text_end() const { return text_end_; }
  unsigned long long ctrl_z_dropped() const { return ctrl_z_dropped_; }
  unsigned long long first_ctrl_z() const { return first_ctrl_z_; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  bool Fill();  // false at the end of the file or on an error (then failed_ is set)
  std::size_t Find(unsigned char c) const;  // next c from pos_, or end_
  void Restore();                           // puts back the byte a NUL covered

  File& file_;
  bool text_;
  unsigned char* buffer_;
  std::size_t size_;
  unsigned long long base_ = 0;  // the file's byte at buffer_[0]
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::size_t cr_ = 0;      // next CR at or after pos_ in the buffer, or end_
  std::size_t ctrl_z_ = 0;  // next 0x1A likewise
  std::size_t restore_ = kNone;
  unsigned char restore_byte_ = 0;
  bool eof_ = false;
  bool failed_ = false;
  unsigned long long text_end_ = kNowhere, ctrl_z_dropped_ = 0, first_ctrl_z_ = kNowhere;
};

// Buffered output: text with every LF as CR LF (`crlf`) or as it is, or bytes as they are.
class OutStream {
 public:
  OutStream(File& file, char* buffer, std::size_t size, bool crlf = true);

  // The first `length` bytes of `text`, up to a NUL among them, each LF written as CR LF when
  // the stream does so.
  // False once any write has failed.
  bool PutText(const char* text, std::size_t length);
  // Bytes as they are (binary data). False once any write has failed.
  bool Write(const void* data, std::size_t size);
  // Writes out what is buffered. False once any write has failed.
  bool Flush();
  // Takes `size` bytes made in Room as they are.
  bool CommitBytes(std::size_t size);
  // Free room of at least `size` bytes at the buffer's end (`size` + 1 at most the buffer's
  // size), for a line made there; Commit then takes its first `size` bytes, a last LF as CR LF
  // when the stream does so.
  char* Room(std::size_t size);
  bool Commit(std::size_t size);

 private:
  File& file_;
  char* buffer_;
  std::size_t size_;
  std::size_t used_ = 0;
  bool crlf_;
  bool failed_ = false;
};

}  // namespace velko

#endif
