#include "textio.h"

#include <cstring>

namespace velko {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;

// Bytes that end the plain copy loop of a text-mode read.
struct TextStops {
  bool stop[256];
  constexpr TextStops() : stop() {
    stop['\n'] = true;
    stop['\r'] = true;
    stop[kCtrlZ] = true;
  }
};
constexpr TextStops kTextStops;

}  // namespace

LineReader::LineReader(File& file, bool text_mode, char* buffer, std::size_t size)
    : file_(file), text_(text_mode), buffer_(reinterpret_cast<unsigned char*>(buffer)), size_(size) {}

bool LineReader::Fill() {
  pos_ = 0;
  end_ = 0;
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
  return true;
}

ReadResult LineReader::ReadLine(char* line, std::size_t limit, std::size_t* length) {
  unsigned char* out = reinterpret_cast<unsigned char*>(line);
  const std::size_t max = limit - 1;
  std::size_t stored = 0;
  while (stored < max) {
    if (pos_ == end_ && !Fill()) break;
    const unsigned char* p = buffer_ + pos_;
    std::size_t room = end_ - pos_;
    if (room > max - stored) room = max - stored;
    if (!text_) {
      const void* lf = std::memchr(p, '\n', room);
      std::size_t n = lf ? static_cast<const unsigned char*>(lf) - p + 1 : room;
      std::memcpy(out + stored, p, n);
      stored += n;
      pos_ += n;
      if (lf) break;
      continue;
    }
    const unsigned char* stop = p + room;
    unsigned char* d = out + stored;
    while (p < stop && !kTextStops.stop[*p]) *d++ = *p++;
    stored = d - out;
    pos_ = p - buffer_;
    if (p == stop) continue;
    unsigned char c = *p;
    ++pos_;
    if (c == '\n') {
      out[stored++] = '\n';
      break;
    }
    if (c == kCtrlZ) {
      // Ends this read; the next one goes on after it. At the start of a read it is the end.
      if (stored == 0) {
        out[0] = 0;
        *length = 0;
        return ReadResult::kEnd;
      }
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

OutStream::OutStream(File& file, bool text_mode, char* buffer, std::size_t size)
    : file_(file), text_(text_mode), buffer_(buffer), size_(size) {}

bool OutStream::Flush() {
  if (used_ > 0 && !failed_) failed_ = !file_.Write(buffer_, used_);
  used_ = 0;
  return !failed_;
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

bool OutStream::PutText(const char* text) {
  if (!text_) return Write(text, std::strlen(text));
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  while (*s != 0 && !failed_) {
    if (size_ - used_ < 2) Flush();
    // Every input byte costs at most two output bytes, so half the room needs no checks.
    std::size_t budget = (size_ - used_) / 2;
    unsigned char* d = reinterpret_cast<unsigned char*>(buffer_ + used_);
    unsigned char* start = d;
    while (budget-- > 0) {
      unsigned char c = *s;
      if (c == 0) break;
      if (c == '\n') *d++ = '\r';
      *d++ = c;
      ++s;
    }
    used_ += d - start;
  }
  return !failed_;
}

}  // namespace velko
