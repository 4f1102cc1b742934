#include "reference.h"

#include <cstring>

#include "codec/jis.h"
#include "text/ruled.h"

namespace velko::reference {
namespace {

using Bytes = unsigned char*;
using ConstBytes = const unsigned char*;

bool Lead(const char* p) { return IsSjisLeadByte(static_cast<unsigned char>(*p)); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

int Value(char c) {
  return c >= 'A' && c <= 'Z'   ? c - 'A'
         : c >= 'a' && c <= 'z' ? c - 'a' + 26
         : c >= '0' && c <= '9' ? c - '0' + 52
         : c == '+'             ? 62
         : c == '/'             ? 63
         : c == '='             ? 0
                                : 255;
}

// Every encoded word of `prefix` in `in` replaced by its bytes up to their first zero.
void ExpandEncodedWords(char* out, char* in, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  *out = 0;
  while (*in != 0) {
    std::size_t i = 0;
    while (i < n && in[i] != 0 && Lower(in[i]) == Lower(prefix[i])) ++i;
    char* close = i == n ? std::strstr(in + n, "?=") : nullptr;
    char* end = out + std::strlen(out);
    if (close == nullptr) {
      end[0] = *in++, end[1] = 0;
      continue;
    }
    *close = 0;
    DecodeBase64(reinterpret_cast<Bytes>(end), in + n);
    in = close + 2;
  }
}

}  // namespace

void SjisToJisLine(char* out, const char* in) {
  for (bool run = false;;) {
    const bool pair = Lead(in) && in[1] != 0;  // a lead byte before the NUL has no trail byte
    if (run != pair) {
      std::memcpy(out, pair ? "\x1B$B" : "\x1B(J", 3);
      out += 3, run = pair;
    }
    if (*in == 0) break;
    if (!pair) {
      *out++ = *in++;
      continue;
    }
    SjisCharToJis(reinterpret_cast<Bytes>(out), reinterpret_cast<ConstBytes>(in));
    out += 2, in += 2;
  }
  *out = 0;
}

void JisToSjisLine(char* out, const char* in) {
  for (bool run = false; *in != 0;) {
    if (!run) {
      run = in[0] == 0x1B && in[1] == '$' && in[2] != 0;
      if (run)
        in += 3;
      else
        *out++ = *in++;
    } else if (*in == 0x1B) {
      if (in[1] == 0 || in[2] == 0) break;
      in += 3, run = false;
    } else if (in[1] == 0) {
      *out++ = *in++;
    } else {
      JisCharToSjis(reinterpret_cast<Bytes>(out), reinterpret_cast<ConstBytes>(in));
      out += 2, in += 2;
    }
  }
  *out = 0;
}

void RuledLineStep(char* line, char* work, bool nec_to_jis) {
  const bool jis = std::strstr(line, "\x1B$") != nullptr;
  char* text = jis ? work : line;
  if (jis) JisToSjisLine(work, line);
  const unsigned char* from = nec_to_jis ? RuledLineTable.nec : RuledLineTable.jis;
  const unsigned char* to = nec_to_jis ? RuledLineTable.jis : RuledLineTable.nec;
  for (char* p = text; *p != 0; ++p) {  // on character boundaries
    if (!Lead(p)) continue;
    for (const unsigned char* e = from; *e != 0; e += 2) {
      if (e[0] == static_cast<unsigned char>(p[0]) && e[1] == static_cast<unsigned char>(p[1])) {
        std::memcpy(p, to + (e - from), 2);
        break;
      }
    }
    if (*++p == 0) break;
  }
  if (jis) SjisToJisLine(line, work);
}

void B64TextStep(char* line, char* work) {
  ExpandEncodedWords(work, line, "=?ISO-2022-JP?B?");
  ExpandEncodedWords(line, work, "=?shift_jis?B?");
}

std::size_t Base64Span(const char* text) {
  std::size_t n = 0;
  while (text[n] != 0 && Value(text[n]) != 255) ++n;
  return n;
}

std::size_t DecodeBase64(unsigned char* out, const char* text) {
  const std::size_t length = std::strlen(text);
  std::size_t total = 0;
  for (std::size_t p = 0; p < length; p += 4) {
    char g[4] = {'=', '=', '=', '='};
    const std::size_t have = length - p < 4 ? length - p : 4;
    std::memcpy(g, text + p, have);
    unsigned a = Value(g[0]), b = Value(g[1]), c = Value(g[2]), d = Value(g[3]);
    const unsigned char bytes[3] = {static_cast<unsigned char>(a << 2 | b >> 4),
                                    static_cast<unsigned char>(b << 4 | c >> 2),
                                    static_cast<unsigned char>(c << 6 | d)};
    std::size_t count = g[2] == '=' && g[3] == '=' ? 1 : g[3] == '=' ? 2 : 3;
    if (count > have - 1) count = have - 1;
    for (std::size_t i = 0; i < count; ++i) out[total++] = bytes[i];
  }
  out[total] = 0;
  return total;
}

std::vector<std::string> Reads(const std::string& in, bool text, std::size_t limit) {
  std::vector<std::string> out;
  for (std::size_t pos = 0;;) {
    std::string line;
    while (line.size() < limit - 1 && pos < in.size() && !(text && in[pos] == '\x1A')) {
      bool crlf = text && in[pos] == '\r' && pos + 1 < in.size() && in[pos + 1] == '\n';
      line += in[pos += crlf];
      if (in[pos++] == '\n') break;
    }
    if (line.empty()) return out;
    pos += text && line.size() < limit - 1 && line.back() != '\n' && in[pos] == '\x1A';
    out.push_back(line);
  }
}

}  // namespace velko::reference
