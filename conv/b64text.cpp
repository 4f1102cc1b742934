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

LineText B64TextLineStep(char* line, std::size_t length, char* work) {
  const unsigned char* const text = reinterpret_cast<unsigned char*>(line);
  for (const unsigned char* p = text; (p = FindByte(p, text + length, '=')) < text + length; ++p) {
    if (p[1] == '?') {
      if (std::memchr(text, 0, p - text) != nullptr) break;
      B64TextStep(line, work);
      return {line, std::strlen(line), false};
    }
  }
  return {line, length, false};
}

}  // namespace velko
