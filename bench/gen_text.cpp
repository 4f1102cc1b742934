// Benchmark input generator: seeded pseudo-random Shift_JIS text, CR LF line ends.
//
//   gen_text SIZE_MB SEED OUTFILE          the mixed corpus
//   gen_text --prose SIZE_MB SEED OUTFILE  the prose corpus
//
// mixed: ASCII words and short double-byte runs (kanji, kana, both kinds of ruled line)
//   taking turns, plus half-width katakana; lines of 20..120 bytes.
// prose: sentences of kanji, kana and full-width punctuation wrapped at 30..45 full-width
//   characters, blank lines between paragraphs, a few percent of the bytes digits or Latin
//   words, and now and then a small table drawn with NEC ruled lines. The code converters'
//   speed depends on how long the double-byte runs are, and mixed keeps them far shorter
//   than Japanese text does, so each corpus alone would mislead.
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

// Prose, built a paragraph at a time as a list of units: a double-byte character, or a
// digit string or Latin word, which is never split across lines. Lines are cut from it at
// a width drawn per paragraph; closing punctuation may hang past the width and an opening
// bracket moves on to the next line, as in Japanese typesetting.
class ProseWriter {
 public:
  explicit ProseWriter(std::uint64_t seed) : rng_{seed}, kanji_(KanjiTable()) {}

  // Appends the next line's content, without CR LF; an empty line is a paragraph break.
  void NextLine(std::vector<char>& line) {
    if (queued_pos_ < queued_ends_.size()) {
      std::size_t from = queued_pos_ == 0 ? 0 : queued_ends_[queued_pos_ - 1];
      std::size_t to = queued_ends_[queued_pos_++];
      line.insert(line.end(), queued_.begin() + from, queued_.begin() + to);
      return;
    }
    if (unit_pos_ == units_.size()) Paragraph();
    const std::size_t first = unit_pos_;
    const std::size_t start = first == 0 ? 0 : UnitEnd(first - 1);
    for (; unit_pos_ < units_.size(); ++unit_pos_) {
      if (unit_pos_ > first && UnitEnd(unit_pos_) - start > width_ &&
          !(units_[unit_pos_] & kHangs)) {
        if (unit_pos_ - 1 > first && (units_[unit_pos_ - 1] & kOpens)) --unit_pos_;
        break;
      }
    }
    const std::size_t end = UnitEnd(unit_pos_ - 1);
    line.insert(line.end(), para_.begin() + start, para_.begin() + end);
    if (unit_pos_ == units_.size()) {
      queued_.clear();
      queued_ends_.clear();
      queued_pos_ = 0;
      QueueEnd();  // the blank line after the paragraph
      // A table after one paragraph in 14 or so makes about 3% of the characters ruled
      // lines.
      if (rng_.Below(14) == 0) {
        Table();
        QueueEnd();
      }
    }
  }

 private:
  static constexpr std::uint32_t kHangs = 0x80000000u, kOpens = 0x40000000u;
  std::size_t UnitEnd(std::size_t i) const { return units_[i] & ~(kHangs | kOpens); }

  // Full-width punctuation: ideographic space, comma and full stop, corner brackets,
  // parentheses, middle dot, long vowel mark.
  static constexpr Code kSpace = 0x8140, kComma = 0x8141, kStop = 0x8142, kOpenQuote = 0x8175,
                        kCloseQuote = 0x8176, kOpenParen = 0x8169, kCloseParen = 0x816A,
                        kMiddleDot = 0x8145, kLongVowel = 0x815B;

  void Put2(Code c, std::uint32_t flags = 0) {
    para_.push_back(static_cast<char>(c >> 8));
    para_.push_back(static_cast<char>(c & 0xFF));
    units_.push_back(static_cast<std::uint32_t>(para_.size()) | flags);
  }
  void PutAscii(const char* s, std::size_t n) {
    para_.insert(para_.end(), s, s + n);
    units_.push_back(static_cast<std::uint32_t>(para_.size()));
  }

  // Nine kanji in ten from the first level, as in ordinary text.
  Code Kanji() {
    constexpr std::uint32_t kLevel1 = 2965;
    if (rng_.Below(10) != 0) return kanji_[rng_.Below(kLevel1)];
    return kanji_[kLevel1 + rng_.Below(static_cast<std::uint32_t>(kanji_.size()) - kLevel1)];
  }
  Code Hiragana() { return static_cast<Code>(0x8200 | rng_.Between(0x9F, 0xF1)); }
  Code Katakana() {  // 0x8340-0x8396 without the 0x7F hole
    std::uint32_t t = rng_.Between(0x40, 0x95);
    if (t >= 0x7F) ++t;
    return static_cast<Code>(0x8300 | t);
  }
  // Particles and endings: half of the kana after a word are the common ones.
  Code Particle() {
    static constexpr Code kCommon[] = {0x82CC, 0x82C9, 0x82CD, 0x82F0, 0x82AA, 0x82C6, 0x82C5,
                                       0x82C4, 0x82BD, 0x82B5, 0x82E0, 0x82C8, 0x82E9, 0x82A2,
                                       0x82A4, 0x82A9, 0x82C1, 0x82DC, 0x82B7, 0x82E7, 0x82EA};
    constexpr std::uint32_t kCount = sizeof(kCommon) / sizeof(kCommon[0]);
    return rng_.Below(2) ? kCommon[rng_.Below(kCount)] : Hiragana();
  }
  void KatakanaWord() {
    std::uint32_t n = rng_.Between(2, 6);
    for (std::uint32_t i = 0; i < n; ++i) {
      Put2(i > 0 && rng_.Below(6) == 0 ? kLongVowel : Katakana());
    }
  }

  // One phrase: a word, then its particle or inflection in hiragana.
  void Phrase() {
    std::uint32_t kind = rng_.Below(100);
    if (kind < 6) {  // a number and its counter
      char d[4];
      std::uint32_t n = rng_.Between(1, 4);
      for (std::uint32_t i = 0; i < n; ++i) d[i] = static_cast<char>('0' + rng_.Below(10));
      if (n > 1 && d[0] == '0') d[0] = '1';
      PutAscii(d, n);
      Put2(Kanji());
    } else if (kind < 9) {  // a Latin word
      const char* w = kWords[rng_.Below(kWordCount)];
      PutAscii(w, std::strlen(w));
    } else if (kind < 21) {  // katakana, now and then two words joined by a middle dot
      KatakanaWord();
      if (rng_.Below(8) == 0) {
        Put2(kMiddleDot);
        KatakanaWord();
      }
    } else if (kind < 28) {  // a hiragana word
      for (std::uint32_t n = rng_.Between(2, 4); n > 0; --n) Put2(Hiragana());
    } else if (kind < 31) {  // an aside in parentheses
      Put2(kOpenParen, kOpens);
      for (std::uint32_t n = rng_.Between(2, 6); n > 0; --n) Put2(Kanji());
      Put2(kCloseParen, kHangs);
    } else {  // a kanji compound, mostly of two
      std::uint32_t r = rng_.Below(100);
      std::uint32_t n = r < 20 ? 1 : r < 80 ? 2 : r < 92 ? 3 : 4;
      for (; n > 0; --n) Put2(Kanji());
    }
    for (std::uint32_t n = rng_.Between(1, 4); n > 0; --n) Put2(Particle());
  }

  void Sentence() {
    const bool quote = rng_.Below(12) == 0;
    if (quote) Put2(kOpenQuote, kOpens);
    const std::uint32_t phrases = rng_.Between(2, 8);
    for (std::uint32_t i = 0; i < phrases; ++i) {
      Phrase();
      if (i + 1 < phrases && rng_.Below(4) == 0) Put2(kComma, kHangs);
    }
    if (quote) {
      Put2(kStop, kHangs);
      Put2(kCloseQuote, kHangs);
      Put2(0x82C6);  // "to", then a verb
      Put2(Kanji());
      for (std::uint32_t n = rng_.Between(1, 3); n > 0; --n) Put2(Particle());
    }
    Put2(kStop, kHangs);
  }

  void Paragraph() {
    para_.clear();
    units_.clear();
    unit_pos_ = 0;
    width_ = 2 * rng_.Between(30, 45);
    Put2(kSpace);  // indent
    for (std::uint32_t n = rng_.Between(2, 10); n > 0; --n) Sentence();
  }

  void QueueEnd() { queued_ends_.push_back(queued_.size()); }
  void Queue2(Code c) {
    queued_.push_back(static_cast<char>(c >> 8));
    queued_.push_back(static_cast<char>(c & 0xFF));
  }

  // NEC ruled lines: horizontal, vertical, the four corners, the tees pointing right, left,
  // down and up, and the cross; thin and heavy.
  struct Box {
    Code h, v, top_left, top_right, bottom_left, bottom_right, left, right, top, bottom, cross;
  };
  static constexpr Box kThin = {0x86A2, 0x86A4, 0x86AE, 0x86B2, 0x86B6, 0x86BA,
                                0x86BE, 0x86C6, 0x86CE, 0x86D6, 0x86DE};
  static constexpr Box kHeavy = {0x86A3, 0x86A5, 0x86B1, 0x86B5, 0x86B9, 0x86BD,
                                 0x86C5, 0x86CD, 0x86D5, 0x86DD, 0x86ED};

  void Rule(const Box& b, Code left, Code joint, Code right, const std::uint32_t* widths,
            std::uint32_t cols) {
    Queue2(left);
    for (std::uint32_t c = 0; c < cols; ++c) {
      for (std::uint32_t i = 0; i < widths[c]; ++i) Queue2(b.h);
      Queue2(c + 1 < cols ? joint : right);
    }
    QueueEnd();
  }

  // A cell of `w` full-width columns: a number right-aligned in half-width digits, or a
  // word padded with ideographic spaces.
  void Cell(std::uint32_t w) {
    if (rng_.Below(4) == 0) {
      std::uint32_t digits = rng_.Between(1, w * 2 < 7 ? w * 2 : 7);
      for (std::uint32_t i = digits; i < w * 2; ++i) queued_.push_back(' ');
      for (std::uint32_t i = 0; i < digits; ++i)
        queued_.push_back(static_cast<char>('0' + rng_.Below(10)));
      return;
    }
    std::uint32_t n = rng_.Between(1, w);
    const bool kana = rng_.Below(3) == 0;
    for (std::uint32_t i = 0; i < n; ++i) Queue2(kana ? Katakana() : Kanji());
    for (std::uint32_t i = n; i < w; ++i) Queue2(kSpace);
  }

  // A table of 1..4 columns and 1..5 rows, 45 full-width characters wide at most; a rule
  // under the first row or under every row.
  void Table() {
    const Box& b = rng_.Below(4) == 0 ? kHeavy : kThin;
    std::uint32_t widths[4];
    const std::uint32_t cols = rng_.Between(1, 4);
    for (std::uint32_t c = 0; c < cols; ++c) widths[c] = rng_.Between(3, cols == 1 ? 30 : 10);
    const std::uint32_t rows = rng_.Between(1, 5);
    const bool rule_every_row = rng_.Below(3) == 0;
    Rule(b, b.top_left, b.top, b.top_right, widths, cols);
    for (std::uint32_t r = 0; r < rows; ++r) {
      if (r > 0 && (r == 1 || rule_every_row)) Rule(b, b.left, b.cross, b.right, widths, cols);
      Queue2(b.v);
      for (std::uint32_t c = 0; c < cols; ++c) {
        Cell(widths[c]);
        Queue2(b.v);
      }
      QueueEnd();
    }
    Rule(b, b.bottom_left, b.bottom, b.bottom_right, widths, cols);
  }

  Rng rng_;
  std::vector<Code> kanji_;
  std::vector<char> para_;
  std::vector<std::uint32_t> units_;  // end offset of each unit in para_, and its flags
  std::size_t unit_pos_ = 0;
  std::size_t width_ = 0;     // bytes a line
  std::vector<char> queued_;  // whole lines waiting: the blank line, a table
  std::vector<std::size_t> queued_ends_;
  std::size_t queued_pos_ = 0;
};

// Cuts `line` to at most `n` bytes on a character boundary and pads it to exactly `n` with
// spaces. Prose has no half-width katakana, so every byte from 0x81 up is a lead byte.
void FitLine(std::vector<char>& line, std::size_t n) {
  std::size_t i = 0;
  while (i < line.size()) {
    std::size_t step = static_cast<unsigned char>(line[i]) >= 0x81 ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  line.resize(i);
  line.resize(n, ' ');
}

int Usage() {
  std::fprintf(stderr, "usage: gen_text [--prose] SIZE_MB SEED OUTFILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool prose = argc > 1 && std::strcmp(argv[1], "--prose") == 0;
  if (prose) {
    --argc;
    ++argv;
  }
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

  std::uint64_t left = total;
  bool ok = true;
  auto flush = [&] {
    ok = ok && std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
    buf.clear();
  };
  if (prose) {
    ProseWriter writer(seed);
    std::vector<char> line;
    while (left > 0) {
      line.clear();
      writer.NextLine(line);
      // The line that would leave too little for another CR LF is cut to end the file
      // at exactly the requested size.
      if (line.size() + 2 != left && line.size() + 4 > left)
        FitLine(line, static_cast<std::size_t>(left - 2));
      buf.insert(buf.end(), line.begin(), line.end());
      buf.push_back('\r');
      buf.push_back('\n');
      left -= line.size() + 2;
      if (buf.size() >= kFlushAt) flush();
    }
  } else {
    LineWriter writer(seed);
    while (left > 0) {
      std::uint64_t len = writer.rng().Between(20, 120);
      // Let the last line absorb whatever would be too short for a full line, so the file
      // ends on CR LF at exactly the requested size. left >= 2 holds throughout.
      if (left < len + 2 + 22) len = left - 2;
      writer.Line(buf, static_cast<std::size_t>(len));
      left -= len + 2;
      if (buf.size() >= kFlushAt) flush();
    }
  }
  if (!buf.empty()) flush();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::fprintf(stderr, "gen_text: write to %s failed\n", argv[3]);
    return 1;
  }
  return 0;
}
