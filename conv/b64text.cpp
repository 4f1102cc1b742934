#include "b64text.h"

#include <cstring>

#include "base64.h"
#include "simd.h"

namespace velko {

const char* EncodedWordPrefix = kPrefixIso2022Jp;
const char* const EncodedWordSuffix = "?=";

void AppendChar(char* string, char byte) {
  std::size_t n = std::strlen(string);
  string[n] = byte;
  string[n + 1] = 0;
}

namespace {

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

// The first `n` bytes of `text` equal `word`, ASCII letters compared without case; a NUL in
// `text` ends the comparison as a mismatch.
bool StartsWithNoCase(const char* text, const char* word, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == 0) return false;
    if (FoldAscii(text[i]) != FoldAscii(word[i])) return false;
  }
  return true;
}

}  // namespace

void ExpandEncodedWords(char* out, char* in) {
  const char* prefix = EncodedWordPrefix;
  const std::size_t prefix_len = std::strlen(prefix);
  // The output's length is tracked rather than measured for every byte appended; a decoded
  // zero byte cuts it there, as appending at the string's end would.
  std::size_t length = 0;
  char* p = in;
  for (;;) {
    char* start = std::strchr(p, prefix[0]);
    if (start == nullptr) break;
    if (!StartsWithNoCase(start, prefix, prefix_len)) {
      std::size_t n = start + 1 - p;
      std::memcpy(out + length, p, n);
      length += n;
      p = start + 1;
      continue;
    }
    char* text = start + prefix_len;
    char* close = std::strstr(text, EncodedWordSuffix);
    if (close == nullptr) break;  // an unclosed word stays as it is, with the rest
    std::memcpy(out + length, p, start - p);
    length += start - p;
    *close = 0;
    unsigned char* decoded = reinterpret_cast<unsigned char*>(out + length);
    DecodeBase64(decoded, text);
    length += std::strlen(out + length);
    p = close + 2;
  }
  std::size_t rest = std::strlen(p);
  std::memcpy(out + length, p, rest + 1);
}

void B64TextStep(char* line, char* work) {
  EncodedWordPrefix = kPrefixIso2022Jp;
  ExpandEncodedWords(work, line);
  EncodedWordPrefix = kPrefixShiftJis;
  ExpandEncodedWords(line, work);
}

namespace {

// ExpandEncodedWords for the `n` bytes at `in` (no NUL among them; in[n] is one) with the
// prefix given, leaving `in` as it is; returns the length written to `out`.
std::size_t ExpandFast(unsigned char* out, const unsigned char* in, std::size_t n,
                       const char* prefix, std::size_t prefix_len) {
  const unsigned char* const end = in + n;
  const unsigned char* p = in;  // copied up to here
  std::size_t length = 0;
  for (const unsigned char* start = p; (start = FindByte(start, end, '=')) < end; ++start) {
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
        DecodeBase64Fast(out + length, reinterpret_cast<const char*>(text), close - text);
    const void* zero = std::memchr(out + length, 0, count);  // a decoded zero byte ends the text
    length += zero ? static_cast<const unsigned char*>(zero) - (out + length) : count;
    p = close + 2;
    start = close + 1;
  }
  std::memcpy(out + length, p, end - p);
  length += end - p;
  out[length] = 0;
  return length;
}

}  // namespace

LineText B64TextLineStep(const char* line, std::size_t length, char* work) {
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
  // Both passes, as B64TextStep makes them, up to the line's first NUL.
  const std::size_t n = (s - reinterpret_cast<const unsigned char*>(line)) +
                        std::strlen(reinterpret_cast<const char*>(s));
  unsigned char* pass = out + length + 1;
  std::size_t n1 = ExpandFast(pass, reinterpret_cast<const unsigned char*>(line), n,
                              kPrefixIso2022Jp, sizeof kPrefixIso2022Jp - 1);
  std::size_t n2 = ExpandFast(out, pass, n1, kPrefixShiftJis, sizeof kPrefixShiftJis - 1);
  // A decoded LF, not the line's own last one, is for the writer to deal with.
  bool plain = n2 == 0 || FindByte(out, out + n2 - 1, '\n') == out + n2 - 1;
  return {work, n2, plain};
}

}  // namespace velko
