#include "base64.h"

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
    of['+'] = 62;
    of['/'] = 63;
    of['='] = 0;
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

bool IsBase64Text(const char* text) {
  for (const char* p = text; *p != 0; ++p) {
    if (Value(*p) == NotBase64) return false;
  }
  return true;
}

std::size_t DecodeBase64(unsigned char* out, const char* text) {
  std::size_t total = 0;
  const char* p = text;
  for (;;) {
    // Only look as far as the NUL: a short last group is padded here, not read beyond.
    char group[4];
    int have = 0;
    while (have < 4 && p[have] != 0) {
      group[have] = p[have];
      ++have;
    }
    if (have == 4) {
      total += DecodeBase64Group(p, out + total);
      p += 4;
      continue;
    }
    if (have >= 2) {
      for (int i = have; i < 4; ++i) group[i] = '=';
      unsigned char bytes[3];
      int count = DecodeBase64Group(group, bytes);
      if (count > have - 1) count = have - 1;
      for (int i = 0; i < count; ++i) out[total++] = bytes[i];
    }
    break;
  }
  out[total] = 0;
  return total;
}

}  // namespace velko
