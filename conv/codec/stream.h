// What the coders share: a call's input taken after the bytes an earlier call left cut, and
// the results they give.
#ifndef VELKO_CONV_CODEC_STREAM_H
#define VELKO_CONV_CODEC_STREAM_H

#include <cstddef>
#include <cstring>

#include "velko/codec.h"

namespace velko {

// The bytes of a stream a coder has not finished: a sequence cut by the end of a call's input.
struct Pending {
  unsigned char* bytes;  // 8 bytes
  unsigned char& length;
  unsigned long long& offset;  // the stream's bytes before the next call's input
};

constexpr CodecResult Done(CodecStatus status, std::size_t read, std::size_t written) {
  return {status, read, written, 0, 0, {0, 0, 0, 0}, kNoCharacter};
}

// A bad sequence of `length` bytes at `at` of an input whose first byte is the stream's `base`;
// the input is taken up to `next`.
inline CodecResult Bad(CodecStatus status, const unsigned char* from, const unsigned char* at,
                       unsigned length, const unsigned char* next, std::size_t written,
                       unsigned long long base, char32_t c) {
  CodecResult r = Done(status, static_cast<std::size_t>(next - from), written);
  r.at = base + static_cast<unsigned long long>(at - from);
  r.length = length;
  std::memcpy(r.bytes, at, length);
  r.character = c;
  return r;
}

// The input up to which every character fits the room left without a check, at most `ratio`
// bytes of output for a byte of input and 8 bytes spare.
inline const unsigned char* RoomyEnd(const unsigned char* s, const unsigned char* end,
                                     const unsigned char* d, const unsigned char* dend,
                                     std::size_t ratio) {
  const std::size_t room = static_cast<std::size_t>(dend - d);
  if (room >= ratio * static_cast<std::size_t>(end - s) + 8) return end;
  return room > 8 ? s + (room - 8) / ratio : s;
}

// The input up to which ASCII, a byte out for a byte in, fits the room left.
inline const unsigned char* AsciiEnd(const unsigned char* s, const unsigned char* end,
                                     const unsigned char* d, const unsigned char* dend) {
  return s + (dend - d < end - s ? dend - d : end - s);
}

// Runs `core(in, n, out, room, last, base)` on the pending bytes and `src`, as on one stream.
// The core takes whole sequences only: it stops with kInputEmpty before a sequence the end of
// its input cuts (unless `last`), changing no state for it; those bytes are kept for the next
// call. A cut sequence with what may follow it takes at most 7 bytes.
template <typename Core>
CodecResult RunStream(Pending p, const unsigned char* src, std::size_t n, unsigned char* dst,
                      std::size_t room, bool last, Core&& core) {
  std::size_t taken = 0, made = 0;
  if (p.length > 0) {
    // The cut sequence ends within the next bytes: taken together with them, aside.
    unsigned char joined[16];
    const std::size_t had = p.length;
    const std::size_t more = n < sizeof joined - had ? n : sizeof joined - had;
    std::memcpy(joined, p.bytes, had);
    if (more > 0) std::memcpy(joined + had, src, more);
    CodecResult r = core(joined, had + more, dst, room, last && more == n, p.offset - had);
    if (r.read < had) {                            // the old bytes are not all taken yet
      if (r.status == CodecStatus::kInputEmpty) {  // still cut: everything is kept
        std::memmove(p.bytes, joined + r.read, had + more - r.read);
        p.length = static_cast<unsigned char>(had + more - r.read);
        p.offset += n;
        return Done(CodecStatus::kInputEmpty, n, r.written);
      }
      std::memmove(p.bytes, p.bytes + r.read, had - r.read);
      p.length = static_cast<unsigned char>(had - r.read);
      r.read = 0;
      return r;
    }
    p.length = 0;
    taken = r.read - had;
    made = r.written;
    if (r.status != CodecStatus::kInputEmpty || (r.read < had + more && more == n)) {
      if (r.status == CodecStatus::kInputEmpty) {  // a new cut sequence, all of it in `src`
        std::memcpy(p.bytes, joined + r.read, had + more - r.read);
        p.length = static_cast<unsigned char>(had + more - r.read);
        taken = n;
      }
      r.read = taken;
      p.offset += taken;
      return r;
    }
  }
  CodecResult r = core(src + taken, n - taken, dst + made, room - made, last, p.offset + taken);
  r.read += taken;
  r.written += made;
  if (r.status == CodecStatus::kInputEmpty && r.read < n) {
    std::memcpy(p.bytes, src + r.read, n - r.read);
    p.length = static_cast<unsigned char>(n - r.read);
    r.read = n;
  }
  p.offset += r.read;
  return r;
}

}  // namespace velko

#endif
