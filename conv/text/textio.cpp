#include "text/textio.h"

#include <cstdint>
#include <cstring>

#include "codec/kernels.h"
#include "codec/simd.h"

namespace velko {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;

}  // namespace

LineReader::LineReader(File& file, bool text_mode, char* buffer, std::size_t size)
    : file_(file),
      text_(text_mode),
      buffer_(reinterpret_cast<unsigned char*>(buffer)),
      size_(size - 1) {}  // the last byte is kept for a NUL after a line left in place

void LineReader::Restore() {
  if (restore_ != kNone) buffer_[restore_] = restore_byte_;
  restore_ = kNone;
}

std::size_t LineReader::Find(unsigned char c) const {
  const void* hit = std::memchr(buffer_ + pos_, c, end_ - pos_);
  return hit ? static_cast<const unsigned char*>(hit) - buffer_ : end_;
}

bool LineReader::Fill() {
  base_ += end_;
  restore_ = kNone;
  pos_ = 0;
  end_ = 0;
  cr_ = 0;
  ctrl_z_ = 0;
  if (eof_ || failed_) return false;
  long n = file_.Read(buffer_, size_);
  if (n < 0) {
    failed_ = true;
    return false;
  }
  if (n == 0) {
    eof_ = true;
    return false;
  }
  end_ = static_cast<std::size_t>(n);
  if (text_) {
    cr_ = Find('\r');
    ctrl_z_ = Find(kCtrlZ);
  }
  return true;
}

ReadResult LineReader::ReadLineInPlace(char* copy, std::size_t limit, char** line,
                                       std::size_t* length) {
  Restore();
  if (pos_ < end_) {
    unsigned char* p = buffer_ + pos_;
    std::size_t room = end_ - pos_;
    if (room > limit) room = limit;
    // Lines are short: an inline search beats a call per line.
    const unsigned char* hit = FindByte(p, p + room, '\n');
    if (hit < p + room) {
      std::size_t lf = hit - buffer_;
      // A CR not before the LF stays as it is in a copy too: only this one needs a look.
      bool crlf = text_ && lf > pos_ && buffer_[lf - 1] == '\r';
      std::size_t n = crlf ? lf - pos_ : lf - pos_ + 1;  // bytes a copy would store
      if ((!text_ || ctrl_z_ > lf) && n < limit) {
        if (crlf) {
          buffer_[lf - 1] = '\n';
          buffer_[lf] = 0;
        } else {
          // The NUL goes over the next line's first byte until the next call.
          restore_ = lf + 1;
          restore_byte_ = buffer_[lf + 1];
          buffer_[lf + 1] = 0;
        }
        pos_ = lf + 1;
        *line = reinterpret_cast<char*>(p);
        *length = n;
        return ReadResult::kLine;
      }
    }
  }
  *line = copy;
  return ReadLine(copy, limit, length);
}

std::size_t LineReader::ReadLines(std::size_t limit, std::size_t most, char** text,
                                  unsigned long long* lines) {
  Restore();
  if (pos_ == end_ && !Fill()) return 0;
  std::size_t room = end_ - pos_;
  if (room > most) room = most;
  unsigned long long count = 0;
  const std::size_t good =
      PlainLines(reinterpret_cast<const char*>(buffer_ + pos_), room, text_, limit, &count);
  if (good == 0) return 0;
  restore_ = pos_ + good;
  restore_byte_ = buffer_[restore_];
  buffer_[restore_] = 0;
  pos_ += good;
  *text = reinterpret_cast<char*>(buffer_) + (pos_ - good);
  *lines = count;
  return good;
}

std::size_t LineReader::Region(std::size_t most, std::size_t limit, char** text) {
  Restore();
  if (pos_ == end_ && !Fill()) return 0;
  const unsigned char* const p = buffer_ + pos_;
  std::size_t room = end_ - pos_;
  if (room > most) room = most;
  // Lines are short: the last LF is a few bytes from the end. A line longer than one read
  // goes to the line step anyway, so no further than that.
  std::size_t n = room;
  const std::size_t stop = room > limit ? room - limit : 0;
  while (n > stop && p[n - 1] != '\n') --n;
  if (n == stop) {
    const unsigned char* lf = FindByte(p, p + room, '\n');
    n = lf < p + room ? static_cast<std::size_t>(lf - p) + 1 : 0;
  }
  if (n == 0) return 0;
  restore_ = pos_ + n;
  restore_byte_ = buffer_[restore_];
  buffer_[restore_] = 0;
  *text = reinterpret_cast<char*>(buffer_) + pos_;
  return n;
}

void LineReader::Take(std::size_t n) {
  Restore();
  Skip(n);
}

std::size_t LineReader::Ahead(const char** text) {
  Restore();
  *text = reinterpret_cast<const char*>(buffer_ + pos_);
  return end_ - pos_;
}

void LineReader::Skip(std::size_t n) {
  pos_ += n;
  if (text_) {  // the next CR and 0x1A may lie among the bytes skipped
    if (cr_ < pos_) cr_ = Find('\r');
    if (ctrl_z_ < pos_) ctrl_z_ = Find(kCtrlZ);
  }
}

void LineReader::Unread(std::size_t n) {
  Restore();
  pos_ -= n;
}

ReadResult LineReader::ReadLine(char* line, std::size_t limit, std::size_t* length) {
  Restore();
  unsigned char* out = reinterpret_cast<unsigned char*>(line);
  const std::size_t max = limit - 1;
  std::size_t stored = 0;
  while (stored < max) {
    if (pos_ == end_ && !Fill()) break;
    const unsigned char* p = buffer_ + pos_;
    std::size_t room = end_ - pos_;
    if (room > max - stored) room = max - stored;
    if (!text_) {
      const unsigned char* lf = FindByte(p, p + room, '\n');
      std::size_t n = lf < p + room ? lf - p + 1 : room;
      std::memcpy(out + stored, p, n);
      stored += n;
      pos_ += n;
      if (lf < p + room) break;
      continue;
    }
    // The ordinary bytes before the first LF, CR or 0x1A. CR and 0x1A are looked up once per
    // occurrence, not once per line.
    if (cr_ < pos_) cr_ = Find('\r');
    if (ctrl_z_ < pos_) ctrl_z_ = Find(kCtrlZ);
    std::size_t run = room;
    if (cr_ - pos_ < run) run = cr_ - pos_;
    if (ctrl_z_ - pos_ < run) run = ctrl_z_ - pos_;
    run = FindByte(p, p + run, '\n') - p;
    std::memcpy(out + stored, p, run);
    stored += run;
    pos_ += run;
    p += run;
    if (run == room) continue;
    unsigned char c = *p;
    ++pos_;
    if (c == '\n') {
      out[stored++] = '\n';
      break;
    }
    if (c == kCtrlZ) {
      // Ends this read; the next one goes on after it. At the start of a read it is the end,
      // which the last byte of an old file often marks: only text after it counts as lost.
      if (stored == 0) {
        const unsigned long long at = Offset() - 1;
        if (pos_ < end_ || Fill()) text_end_ = at;
        out[0] = 0;
        *length = 0;
        return ReadResult::kEnd;
      }
      if (ctrl_z_dropped_++ == 0) first_ctrl_z_ = Offset() - 1;
      break;
    }
    // CR: part of a CR LF pair only when a LF follows, possibly in the next block.
    if (pos_ == end_) Fill();
    if (pos_ < end_ && buffer_[pos_] == '\n') {
      ++pos_;
      out[stored++] = '\n';
      break;
    }
    out[stored++] = '\r';
  }
  out[stored] = 0;
  *length = stored;
  if (failed_) return ReadResult::kError;
  return stored == 0 ? ReadResult::kEnd : ReadResult::kLine;
}

OutStream::OutStream(File& file, char* buffer, std::size_t size, bool crlf)
    : file_(file), buffer_(buffer), size_(size), crlf_(crlf) {}

bool OutStream::Flush() {
  if (used_ > 0 && !failed_) failed_ = !file_.Write(buffer_, used_);
  used_ = 0;
  return !failed_;
}

char* OutStream::Room(std::size_t size) {
  if (size + 1 > size_ - used_) Flush();
  return buffer_ + used_;
}

bool OutStream::CommitBytes(std::size_t size) {
  used_ += size;
  return !failed_;
}

bool OutStream::Commit(std::size_t size) {
  if (failed_) return false;
  used_ += size;
  if (crlf_ && size > 0 && buffer_[used_ - 1] == '\n') {
    buffer_[used_ - 1] = '\r';
    buffer_[used_++] = '\n';
  }
  return true;
}

bool OutStream::Write(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0 && !failed_) {
    if (used_ == size_) Flush();
    std::size_t n = size_ - used_;
    if (n > size) n = size;
    std::memcpy(buffer_ + used_, p, n);
    used_ += n;
    p += n;
    size -= n;
  }
  return !failed_;
}

bool OutStream::PutText(const char* text, std::size_t length) {
  // Only lines a step could not make direct come here, seldom: one LF at a time.
  const char* const end = text + length;
  for (const char* s = text; s < end && *s != 0 && !failed_;) {
    const char* stop = s;
    while (stop < end && *stop != 0 && *stop != '\n') ++stop;
    Write(s, stop - s);
    s = stop;
    if (s < end && *s == '\n') {
      if (crlf_) Write("\r", 1);
      Write("\n", 1);
      ++s;
    }
  }
  return !failed_;
}

}  // namespace velko
