#include "text/b64text.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/bytes.h"
#include "codec/simd.h"

namespace velko {

namespace {

constexpr std::size_t kUnchanged = ~std::size_t{0};

// The next "=?" whole in [p, end), or end: most '=' close a word or pad its Base64.
inline const unsigned char* FindWordStart(const unsigned char* p, const unsigned char* end) {
#if VELKO_SIMD
  while (end - p > simd::kWidth) {
    const std::uint32_t m =
        simd::Mask(simd::And(simd::Eq(simd::Load(p), '='), simd::Eq(simd::Load(p + 1), '?')));
    if (m != 0) return p + simd::First(m);
    p += simd::kWidth;
  }
#endif
  for (; end - p > 1; ++p) {
    if (p[0] == '=' && p[1] == '?') return p;
  }
  return end;
}

// One pass: the `n` bytes at `in` (no NUL among them) into `out`, every word of `prefix`
// expanded; returns the length written, or kUnchanged, with nothing written, when no word was.
std::size_t Expand(unsigned char* out, const unsigned char* in, std::size_t n, const char* prefix,
                   std::size_t prefix_len) {
  const unsigned char* const end = in + n;
  const unsigned char* p = in;  // copied up to here
  std::size_t length = 0;
  for (const unsigned char* start = p; (start = FindWordStart(start, end)) < end; ++start) {
    if (static_cast<std::size_t>(end - start) < prefix_len ||
        !StartsWithNoCase(reinterpret_cast<const char*>(start), prefix, prefix_len)) {
      continue;
    }
    const unsigned char* text = start + prefix_len;
    const unsigned char* close = text;
    while ((close = FindByte(close, end, '?')) < end && close[1] != '=') ++close;
    if (close == end) break;  // unclosed: the rest as it is
    std::memcpy(out + length, p, start - p);
    length += start - p;
    std::size_t count =
        DecodeBase64(out + length, reinterpret_cast<const char*>(text), close - text);
    const void* zero = std::memchr(out + length, 0, count);  // a decoded zero byte ends the text
    length += zero ? static_cast<const unsigned char*>(zero) - (out + length) : count;
    p = close + 2;
    start = close + 1;
  }
  if (p == in) return kUnchanged;
  std::memcpy(out + length, p, end - p);
  length += end - p;
  out[length] = 0;
  return length;
}

// Both passes over one line, `n` bytes at `line` (no NUL among them; line[n] readable), into
// `out`, the first pass into `pass`; returns the length written.
std::size_t ExpandLine(unsigned char* out, unsigned char* pass, const unsigned char* line,
                       std::size_t n) {
  // A line the first pass leaves as it is goes to the second as it stands.
  std::size_t n1 = Expand(pass, line, n, kPrefixIso2022Jp, sizeof kPrefixIso2022Jp - 1);
  const unsigned char* first = n1 == kUnchanged ? line : pass;
  if (n1 == kUnchanged) n1 = n;
  std::size_t n2 = Expand(out, first, n1, kPrefixShiftJis, sizeof kPrefixShiftJis - 1);
  if (n2 == kUnchanged) {
    std::memmove(out, first, n1);
    out[n1] = 0;
    n2 = n1;
  }
  return n2;
}

// A decoded LF, not the line's own last one, is for the writer to deal with.
bool Direct(const unsigned char* out, std::size_t n) {
  return n == 0 || FindByte(out, out + n - 1, '\n') == out + n - 1;
}

}  // namespace

LineText B64TextStep(const char* line, std::size_t length, char* work) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(line);
  const unsigned char* const end = s + length;
  unsigned char* const out = reinterpret_cast<unsigned char*>(work);
  unsigned char* d = out;
  for (;;) {
    std::size_t n = CopyUntil(d, s, end, '=', 0, 0);
    s += n;
    d += n;
    if (*s == 0) {  // no "=?" before the line's first NUL: the line as it is
      *d = 0;
      return {work, static_cast<std::size_t>(d - out), true};
    }
    if (s[1] == '?') break;
    *d++ = *s++;
  }
  // Both passes, up to the line's first NUL.
  const std::size_t n = (s - reinterpret_cast<const unsigned char*>(line)) +
                        std::strlen(reinterpret_cast<const char*>(s));
  std::size_t n2 = ExpandLine(out, out + length + 1, reinterpret_cast<const unsigned char*>(line), n);
  return {work, n2, Direct(out, n2)};
}

std::size_t B64TextBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  *marks = BlockMarks();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  const unsigned char* const end = s + length;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* d = start;
  unsigned char* const pass = start + length + 2;  // past all the block can make
  // The lines without "=?" as they are; each other one through both passes.
  for (const unsigned char* at = s; (at = FindWordStart(at, end)) < end; ++at) {
    const unsigned char* line = at;
    while (line > s && line[-1] != '\n') --line;
    const unsigned char* next = FindByte(at, end, '\n') + 1;
    std::memcpy(d, s, line - s);
    d += line - s;
    const std::size_t n = ExpandLine(d, pass, line, next - line);
    if (!Direct(d, n)) return kNoBlock;
    d += n;
    s = next;
    at = next - 1;  // the loop steps to the next line
  }
  std::memcpy(d, s, end - s);
  return d + (end - s) - start;
}

}  // namespace velko
