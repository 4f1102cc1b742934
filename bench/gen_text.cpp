// Benchmark input generator: seeded pseudo-random Shift_JIS text, CR LF line ends.
//
//   gen_text SIZE_MB SEED OUTFILE
//
// SIZE_MB may be fractional; the file is exactly round(SIZE_MB * 10^6) bytes so MB/s
// figures need no correction. The same seed gives the same bytes on every machine:
// the generator and all range reductions are our own integer code, nothing from <random>.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rng.h"

namespace {

using Code = std::uint16_t;  // lead byte << 8 | trail byte

void AddTrailRange(std::vector<Code>& out, unsigned lead, unsigned from, unsigned to) {
  for (unsigned t = from; t <= to; ++t) {
    if (t != 0x7F) out.push_back(static_cast<Code>(lead << 8 | t));  // 0x7F is never a trail
  }
}

// Kanji: only assigned JIS X 0208 cells, so nkf and iconv see valid input. The holes are
// the unassigned start of 0x88, the gap between the two kanji levels in 0x98, and the
// tail of 0xEA.
std::vector<Code> KanjiTable() {
  std::vector<Code> t;
  for (unsigned lead = 0x88; lead <= 0x9F; ++lead) {
    if (lead == 0x88) {
      AddTrailRange(t, lead, 0x9F, 0xFC);
    } else if (lead == 0x98) {
      AddTrailRange(t, lead, 0x40, 0x72);
      AddTrailRange(t, lead, 0x9F, 0xFC);
    } else {
      AddTrailRange(t, lead, 0x40, 0xFC);
    }
  }
  for (unsigned lead = 0xE0; lead <= 0xEA; ++lead) {
    AddTrailRange(t, lead, 0x40, lead == 0xEA ? 0xA4 : 0xFC);
  }
  return t;
}

const char* const kWords[] = {
    "the",  "data",   "file",   "line",  "text",   "Tokyo", "Osaka", "and",   "of",
    "to",   "in",     "code",   "page",  "byte",   "table", "JIS",   "EUC",   "kanji",
    "kana", "report", "sample", "value", "record", "ID",    "No",    "OK",    "test",
    "run",  "input",  "output", "block", "field",  "memo",  "list",  "total", "A",
};
constexpr std::size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
// No backslash or tilde: they are yen sign and overline in Shift_JIS, and tools disagree
// about them, which would only blur the output comparison.
const char kPunct[] = ".,;:!?-()[]/\"'#%&*+=<>@";
constexpr std::size_t kPunctCount = sizeof(kPunct) - 1;

class LineWriter {
 public:
  explicit LineWriter(std::uint64_t seed) : rng_{seed}, kanji_(KanjiTable()) {}

  // Appends exactly `len` content bytes followed by CR LF.
  void Line(std::vector<char>& buf, std::size_t len) {
    std::size_t left = len;
    while (left > 0) {
      std::size_t before = buf.size();
      Token(buf, left);
      left -= buf.size() - before;
    }
    buf.push_back('\r');
    buf.push_back('\n');
  }

  Rng& rng() { return rng_; }

 private:
  static void Put2(std::vector<char>& buf, Code c) {
    buf.push_back(static_cast<char>(c >> 8));
    buf.push_back(static_cast<char>(c & 0xFF));
  }

  // Emits one token of at most `room` bytes (room >= 1). A double-byte character never
  // straddles the line end: with one byte left, an ASCII byte is written instead.
  void Token(std::vector<char>& buf, std::size_t room) {
    std::uint32_t kind = rng_.Below(100);
    if (room < 2) kind = 0;  // only single-byte kinds fit
    if (kind < 30) {  // ASCII word plus separator
      const char* w = kWords[rng_.Below(kWordCount)];
      std::size_t n = std::strlen(w);
      if (n > room) n = room;
      buf.insert(buf.end(), w, w + n);
      room -= n;
      if (room > 0) {
        std::uint32_t s = rng_.Below(4);
        if (s == 0 && room > 1) buf.push_back(kPunct[rng_.Below(kPunctCount)]);
        buf.push_back(' ');
      }
      return;
    }
    if (kind < 35) {  // digits
      std::size_t n = rng_.Between(1, 6);
      if (n > room) n = room;
      for (std::size_t i = 0; i < n; ++i) buf.push_back(static_cast<char>('0' + rng_.Below(10)));
      return;
    }
    if (kind < 42) {  // half-width katakana, single bytes 0xA1-0xDF
      std::size_t n = rng_.Between(1, 8);
      if (n > room) n = room;
      for (std::size_t i = 0; i < n; ++i) buf.push_back(static_cast<char>(0xA1 + rng_.Below(0x3F)));
      return;
    }
    const std::size_t max_chars = room / 2;
    std::size_t n = rng_.Between(1, 10);
    if (n > max_chars) n = max_chars;
    if (kind < 67) {  // kanji
      for (std::size_t i = 0; i < n; ++i) Put2(buf, kanji_[rng_.Below(static_cast<std::uint32_t>(kanji_.size()))]);
    } else if (kind < 82) {  // hiragana 0x829F-0x82F1, with the odd ideographic comma/stop
      for (std::size_t i = 0; i < n; ++i) {
        if (rng_.Below(16) == 0) {
          Put2(buf, rng_.Below(2) ? 0x8141 : 0x8142);
        } else {
          Put2(buf, static_cast<Code>(0x8200 | rng_.Between(0x9F, 0xF1)));
        }
      }
    } else if (kind < 90) {  // katakana 0x8340-0x8396, skipping the 0x7F hole
      for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t t = rng_.Between(0x40, 0x95);
        if (t >= 0x7F) ++t;
        Put2(buf, static_cast<Code>(0x8300 | t));
      }
    } else if (kind < 95) {  // JIS ruled lines 0x849F-0x84BE
      for (std::size_t i = 0; i < n; ++i) Put2(buf, static_cast<Code>(0x8400 | rng_.Between(0x9F, 0xBE)));
    } else {  // NEC ruled lines 0x86A2-0x86ED
      for (std::size_t i = 0; i < n; ++i) Put2(buf, static_cast<Code>(0x8600 | rng_.Between(0xA2, 0xED)));
    }
  }

  Rng rng_;
  std::vector<Code> kanji_;
};

int Usage() {
  std::fprintf(stderr, "usage: gen_text SIZE_MB SEED OUTFILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  char* end = nullptr;
  double mb = std::strtod(argv[1], &end);
  if (end == argv[1] || *end != '\0' || !(mb > 0) || mb > 1e6) return Usage();
  errno = 0;
  unsigned long long seed = std::strtoull(argv[2], &end, 0);
  if (end == argv[2] || *end != '\0' || errno != 0) return Usage();

  const std::uint64_t total = static_cast<std::uint64_t>(std::llround(mb * 1e6));
  if (total < 2) return Usage();

  std::FILE* f = std::fopen(argv[3], "wb");
  if (!f) {
    std::fprintf(stderr, "gen_text: cannot open %s: %s\n", argv[3], std::strerror(errno));
    return 1;
  }

  // Lines are built into one big buffer and flushed in large blocks; per-byte stdio
  // calls would dominate the run time.
  constexpr std::size_t kFlushAt = std::size_t{8} << 20;
  std::vector<char> buf;
  buf.reserve(kFlushAt + 256);

  LineWriter writer(seed);
  std::uint64_t left = total;
  bool ok = true;
  while (left > 0) {
    std::uint64_t len = writer.rng().Between(20, 120);
    // Let the last line absorb whatever would be too short for a full line, so the file
    // ends on CR LF at exactly the requested size. left >= 2 holds throughout.
    if (left < len + 2 + 22) len = left - 2;
    writer.Line(buf, static_cast<std::size_t>(len));
    left -= len + 2;
    if (buf.size() >= kFlushAt) {
      ok = ok && std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
      buf.clear();
    }
  }
  if (!buf.empty()) ok = ok && std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::fprintf(stderr, "gen_text: write to %s failed\n", argv[3]);
    return 1;
  }
  return 0;
}
