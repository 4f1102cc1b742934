#include "base64.h"

#include <cstring>

namespace velko {
namespace {

struct Base64Values {
  unsigned char of[256];
  constexpr Base64Values() : of() {
    for (int i = 0; i < 256; ++i) of[i] = NotBase64;
    for (int i = 0; i < 26; ++i) {
      of['A' + i] = static_cast<unsigned char>(i);
      of['a' + i] = static_cast<unsigned char>(26 + i);
    }
    for (int i = 0; i < 10; ++i) of['0' + i] = static_cast<unsigned char>(52 + i);
    of[static_cast<unsigned char>('+')] = 62;
    of[static_cast<unsigned char>('/')] = 63;
    of[static_cast<unsigned char>('=')] = 0;
  }
};
constexpr Base64Values kValues;

inline unsigned Value(char c) { return kValues.of[static_cast<unsigned char>(c)]; }

}  // namespace

unsigned char Base64Value(unsigned char byte) { return kValues.of[byte]; }

int DecodeBase64Group(const char* group, unsigned char* out) {
  int count = 3;
  if (group[2] == '=' && group[3] == '=') {
    count = 1;
  } else if (group[3] == '=') {
    count = 2;
  }
  unsigned a = Value(group[0]);
  unsigned b = Value(group[1]);
  unsigned c = Value(group[2]);
  unsigned d = Value(group[3]);
  out[0] = static_cast<unsigned char>(a << 2 | b >> 4);
  out[1] = static_cast<unsigned char>(b << 4 | c >> 2);
  out[2] = static_cast<unsigned char>(c << 6 | d);
  return count;
}

std::size_t Base64Span(const char* text) {
  const char* p = text;
  while (Value(*p) != NotBase64) ++p;  // the NUL is NotBase64 too
  return static_cast<std::size_t>(p - text);
}

bool IsBase64Text(const char* text) { return text[Base64Span(text)] == 0; }

std::size_t DecodeBase64Length(unsigned char* out, const char* text, std::size_t length) {
  std::size_t total = 0;
  const char* p = text;
  const char* const full_end = text + length / 4 * 4;
  for (; p < full_end; p += 4) total += DecodeBase64Group(p, out + total);
  // A short last group: its missing places count as '=', and nothing past the NUL is read.
  std::size_t have = length % 4;
  if (have >= 2) {
    char group[4] = {'=', '=', '=', '='};
    for (std::size_t i = 0; i < have; ++i) group[i] = p[i];
    unsigned char bytes[3];
    std::size_t count = static_cast<std::size_t>(DecodeBase64Group(group, bytes));
    if (count > have - 1) count = have - 1;
    for (std::size_t i = 0; i < count; ++i) out[total++] = bytes[i];
  }
  out[total] = 0;
  return total;
}

std::size_t DecodeBase64(unsigned char* out, const char* text) {
  return DecodeBase64Length(out, text, std::strlen(text));
}

}  // namespace velko
