// Every fast path against its plain one on the same line, byte for byte, on buffers of exactly
// the size each contract names, so that a sixteen-byte load or store past them shows under the
// sanitizers. Input: [mode] then the line; an odd mode maps each byte onto a small alphabet of
// lead bytes, ruled lines, escapes, encoded-word and Base64 characters.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "b64text.h"
#include "base64.h"
#include "jis.h"
#include "ruled.h"

using namespace velko;

namespace {

const char kAlphabet[] =
    "\x86\xA2\x86\xB9\x84\x9F\x84\xBE\x88\x9F\xE0\x40\xFC\x81\xA0\x7F\x80"
    "\x1B$B(J=?BbIiSs_-/+AZaz09 \r\n\t";

std::vector<char> Buffer(const std::string& text, std::size_t size) {
  std::vector<char> b(size, '\x55');
  std::memcpy(b.data(), text.c_str(), text.size() + 1);
  return b;
}

// The fast result, cut at its first NUL as it is written, is the plain one.
// A text said to be plain holds no NUL and no LF but its last byte, when the line read had
// a LF only at its end, as every line read has.
bool one_line;
void Same(LineText fast, const char* plain) {
  std::string written(fast.text, fast.length);
  const std::size_t nul = written.find('\0'), lf = written.find('\n');
  if (one_line && fast.plain &&
      (nul != std::string::npos || (lf != nul && lf + 1 < written.size()))) {
    std::abort();
  }
  written.resize(std::min(nul, written.size()));
  if (written != plain || fast.text[fast.length] != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    for (char& c : line) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
  }
  const std::size_t n = line.size();
  one_line = line.find('\n') == std::string::npos || line.find('\n') + 1 == n;
  const std::vector<char> in = Buffer(line, n + 1);

  std::vector<char> fast(3 * n + 3), plain(3 * n + 3);
  LineText result = {fast.data(), 0, false};
  result.length = SjisToJisLineFast(fast.data(), in.data(), n, &result.plain);
  Same(result, (SjisToJisLine(plain.data(), in.data()), plain.data()));
  std::vector<char> fast_sjis(n + 1), plain_sjis(n + 1);
  result = {fast_sjis.data(), 0, false};
  result.length = JisToSjisLineFast(fast_sjis.data(), in.data(), n, &result.plain);
  Same(result, (JisToSjisLine(plain_sjis.data(), in.data()), plain_sjis.data()));

  const auto steps = {std::make_pair(NecToJisStep, NecToJisRuledLines),
                      std::make_pair(JisToNecStep, JisToNecRuledLines)};
  for (const auto& step : steps) {
    std::vector<char> text = Buffer(line, n + 1), work(4 * n + 4);
    std::vector<char> plain_text = Buffer(line, 3 * n + 3), plain_work(n + 1);
    LineText result = step.first(text.data(), n, work.data());
    RuledLineStep(plain_text.data(), plain_work.data(), step.second);
    Same(result, plain_text.data());
  }

  std::vector<char> text = Buffer(line, n + 1), work(2 * n + 2);
  std::vector<char> plain_text = Buffer(line, n + 1), plain_work(n + 1);
  B64TextStep(plain_text.data(), plain_work.data());
  Same(B64TextLineStep(text.data(), n, work.data()), plain_text.data());
  if (std::memcmp(text.data(), in.data(), n + 1) != 0) std::abort();  // the line left as it is

  if (Base64SpanFast(in.data(), n) != Base64Span(in.data())) std::abort();
  const std::size_t m = std::strlen(in.data());  // the decoder takes text without a NUL
  std::vector<unsigned char> fast_bytes(3 * ((m + 3) / 4) + 1), plain_bytes(fast_bytes.size());
  std::size_t count = DecodeBase64Fast(fast_bytes.data(), in.data(), m);
  if (count != DecodeBase64Length(plain_bytes.data(), in.data(), m) ||
      std::memcmp(fast_bytes.data(), plain_bytes.data(), count + 1) != 0) {
    std::abort();
  }
  return 0;
}
