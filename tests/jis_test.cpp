#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "jis.h"

namespace velko {
namespace {

// Inputs and outputs live in exact-size heap blocks so that the sanitizer build catches any
// access past the NUL or past the documented output bound.
std::unique_ptr<char[]> HeapCopy(const std::string& s) {
  std::unique_ptr<char[]> p(new char[s.size() + 1]);
  std::memcpy(p.get(), s.c_str(), s.size() + 1);
  return p;
}

std::string ToJis(const std::string& in) {
  std::unique_ptr<char[]> src = HeapCopy(in);
  std::unique_ptr<char[]> out(new char[3 * in.size() + 3]);
  SjisToJisLine(out.get(), src.get());
  EXPECT_EQ(std::string(src.get()), in) << "input changed";
  return out.get();
}

std::string ToSjis(const std::string& in) {
  std::unique_ptr<char[]> src = HeapCopy(in);
  std::unique_ptr<char[]> out(new char[in.size() + 1]);
  JisToSjisLine(out.get(), src.get());
  EXPECT_EQ(std::string(src.get()), in) << "input changed";
  return out.get();
}

std::string Hex(const std::string& s) {
  std::string r;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X ", c);
    r += b;
  }
  return r;
}

using Convert = std::string (*)(const std::string&);

struct LineCase {
  Convert convert;
  std::string in;
  std::string want;
  const char* shows;
};

void RunCases(const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.shows);
    EXPECT_EQ(Hex(c.convert(c.in)), Hex(c.want));
  }
}

TEST(JisLines, DoubleByteRunsAreBracketed) {
  RunCases({
      {ToJis, "\x8A\xBF\x8E\x9A\n", "\x1B$B\x34\x41\x3B\x7A\x1B(J\n", "one run, closed before LF"},
      {ToJis, "a\x8A\xBF" "b\x8E\x9A", "a\x1B$B\x34\x41\x1B(J" "b\x1B$B\x3B\x7A\x1B(J",
       "each run its own brackets, closed at end of text"},
      {ToJis, "\x88\x9F\xB1\x88\x9F", "\x1B$B\x30\x21\x1B(J\xB1\x1B$B\x30\x21\x1B(J",
       "half-width kana splits runs"},
      {ToJis, "\xF0\x40\xFC\xFC", "\x1B$B\x7F\x21\x98\x7E\x1B(J", "F0-FC leads are mapped too"},
      {ToSjis, "\x1B$@\x30\x21\x1B(J\n", "\x88\x9F\n", "ESC $ @ opens, ESC ( J closes"},
      {ToSjis, "\x1B$B\x30\x21\x1B(B\n", "\x88\x9F\n", "ESC $ B opens, ESC ( B closes"},
      {ToSjis, "\x1B$A\x30\x21\x1B(B", "\x88\x9F", "ESC $ with any other byte opens"},
      {ToSjis, "\x1B$B\x30\x21\x1B(I\x30\x21", "\x88\x9F\x30\x21", "ESC ( I in a run closes it"},
      {ToSjis, "\x1B$B\x30\x21\x1B" "AB\x30\x21", "\x88\x9F\x30\x21",
       "any ESC x y in a run closes it"},
      {ToSjis, "\x1B$B\x1B$B\x30\x21\x1B(B", "\x30\x21\x1B(B",
       "second ESC $ B ends the run; later ESC ( B is outside"},
      {ToSjis, "\x1B$B\x5D\x21\x5E\x7E\x5F\x21\x1B(B", "\x9F\x40\x9F\xFC\xE0\x40",
       "0x5D/0x5E go to lead 9F, 0x5F to E0"},
  });
}

TEST(JisLines, SingleBytesPassUnchanged) {
  RunCases({
      {ToJis, "\xB1\n", "\xB1\n", "half-width kana stays 8-bit"},
      {ToJis, "\x1B$B\x30\x21\x1B(B\n", "\x1B$B\x30\x21\x1B(B\n", "7-bit JIS has no lead bytes"},
      {ToJis, "\x80\xA0\xFD\xFE\xFF\x0E\x0F\x1B(I", "\x80\xA0\xFD\xFE\xFF\x0E\x0F\x1B(I",
       "non-lead 8-bit bytes, SO/SI"},
      {ToSjis, "\x88\x9F\xB1" "abc\x1B(J\x0E\x0F\n", "\x88\x9F\xB1" "abc\x1B(J\x0E\x0F\n",
       "no ESC $: copied, 8-bit included"},
      {ToSjis, "a\x1B(Bb\x1B(Jc", "a\x1B(Bb\x1B(Jc", "ESC ( B / ESC ( J outside a run"},
      {ToSjis, "\x1B$B\x30\x21\x34\x0A", "\x88\x9F\x8A\x88", "unclosed run swallows LF"},
      {ToSjis, "\x30\x21\n", "\x30\x21\n", "next line starts in single-byte mode"},
  });
}

TEST(JisLines, PairBytesAreNotExamined) {
  RunCases({
      {ToJis, "\x82\x0A", "\x1B$B\x23\xEB\x1B(J", "LF after a lead byte is its trail"},
      {ToJis, "\x88\x88\x9F", "\x1B$B\x2F\x68\x1B(J\x9F", "lead byte as trail; next byte single"},
      {ToSjis, "\x1B$B\x30\x1B(B\x30\x21", "\x88\x99\x84\xC0\x88\x9F",
       "ESC in second place is paired"},
  });
}

// What happens when the text ends inside a character or an escape sequence.
TEST(JisLines, EndOfTextInsideACharacter) {
  RunCases({
      {ToJis, "\x88", "\x88", "lone lead byte copied, no empty brackets"},
      {ToJis, "a\x88", "a\x88", "lead byte after a single byte copied"},
      {ToJis, "\x88\x9F\x88", "\x1B$B\x30\x21\x1B(J\x88", "run closed, then lead byte copied"},
      {ToSjis, "a\x1B$", "a\x1B$", "ESC $ at end of text copied"},
      {ToSjis, "a\x1B$B", "a", "ESC $ B at end opens an empty run"},
      {ToSjis, "\x1B$B\x30\x21\x1B", "\x88\x9F", "ESC at end inside a run"},
      {ToSjis, "\x1B$B\x30\x21\x1B(", "\x88\x9F", "ESC plus one byte at end inside a run"},
      {ToSjis, "\x1B$B\x30\x21\x34", "\x88\x9F\x34", "odd byte left in an unclosed run copied"},
      {ToSjis, "\x1B$B\x30\x21\n", "\x88\x9F\n", "complete pairs then LF: LF kept"},
  });
}

struct PairCase {
  unsigned char sjis[2];
  unsigned char jis[2];
  const char* shows;
};

TEST(JisCharacters, KnownCharactersBothWays) {
  const PairCase cases[] = {
      {{0x88, 0x9F}, {0x30, 0x21}, "亜"},         {{0x8A, 0xBF}, {0x34, 0x41}, "漢"},
      {{0x8E, 0x9A}, {0x3B, 0x7A}, "字"},         {{0x82, 0xA0}, {0x24, 0x22}, "あ"},
      {{0x9F, 0xFC}, {0x5E, 0x7E}, "last of 9F"}, {{0xE0, 0x40}, {0x5F, 0x21}, "first of E0"},
      {{0x9F, 0x40}, {0x5D, 0x21}, "first of 9F"}, {{0x81, 0x80}, {0x21, 0x60}, "trail 80"},
      {{0x81, 0x7E}, {0x21, 0x5F}, "trail 7E"},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.shows);
    unsigned char r[2];
    SjisCharToJis(r, c.sjis);
    EXPECT_EQ(Hex(std::string(r, r + 2)), Hex(std::string(c.jis, c.jis + 2)));
    JisCharToSjis(r, c.jis);
    EXPECT_EQ(Hex(std::string(r, r + 2)), Hex(std::string(c.sjis, c.sjis + 2)));
  }
}

TEST(JisCharacters, OutOfRangeBytesFollowTheArithmetic) {
  const struct {
    bool to_jis;
    unsigned char in[2];
    unsigned char want[2];
    const char* shows;
  } cases[] = {
      {true, {0xF0, 0x40}, {0x7F, 0x21}, "lead F0 gives 7F"},
      {true, {0x88, 0x7F}, {0x2F, 0x60}, "trail 7F"},
      {true, {0x88, 0xFF}, {0x30, 0x81}, "trail FF"},
      {true, {0x88, 0x3F}, {0x2F, 0x20}, "trail 3F"},
      {false, {0x22, 0xFF}, {0x81, 0x7D}, "u compared before the 8-bit cut"},
      {false, {0x7F, 0x21}, {0xF0, 0x40}, "first byte 7F"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shows);
    unsigned char r[2];
    (c.to_jis ? SjisCharToJis : JisCharToSjis)(r, c.in);
    EXPECT_EQ(Hex(std::string(r, r + 2)), Hex(std::string(c.want, c.want + 2)));
  }
}

TEST(JisCharacters, MappingsAreExactInversesOverJisX0208) {
  for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
    for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
      const unsigned char jis[2] = {static_cast<unsigned char>(j1), static_cast<unsigned char>(j2)};
      unsigned char s[2], back[2];
      JisCharToSjis(s, jis);
      SjisCharToJis(back, s);
      SCOPED_TRACE(testing::Message() << std::hex << j1 << " " << j2);
      ASSERT_TRUE((s[0] >= 0x81 && s[0] <= 0x9F) || (s[0] >= 0xE0 && s[0] <= 0xEF));
      ASSERT_TRUE((s[1] >= 0x40 && s[1] <= 0x7E) || (s[1] >= 0x80 && s[1] <= 0xFC));
      ASSERT_EQ(back[0], jis[0]);
      ASSERT_EQ(back[1], jis[1]);
    }
  }
}

TEST(JisCharacters, LeadByteClassificationIsFixed) {
  for (int b = 0; b < 256; ++b) {
    const bool want = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsSjisLeadByte(static_cast<unsigned char>(b)), want) << "byte " << b;
  }
}

TEST(JisLines, RandomShiftJisSurvivesTheRoundTrip) {
  std::mt19937 rng(1729);
  std::uniform_int_distribution<int> count(0, 40), kind(0, 3), ascii(0x20, 0x7E), kana(0xA1, 0xDF),
      lead(0, 46), trail(0, 187), coin(0, 1);
  for (int i = 0; i < 2000; ++i) {
    std::string line;
    for (int n = count(rng); n > 0; --n) {
      switch (kind(rng)) {
        case 0: line += static_cast<char>(ascii(rng)); break;
        case 1: line += static_cast<char>(kana(rng)); break;
        default: {
          const int l = lead(rng), t = trail(rng);
          line += static_cast<char>(l < 31 ? 0x81 + l : 0xE0 + l - 31);
          line += static_cast<char>(t < 63 ? 0x40 + t : 0x80 + t - 63);
        }
      }
    }
    if (coin(rng)) line += '\n';
    SCOPED_TRACE(Hex(line));
    ASSERT_EQ(Hex(ToSjis(ToJis(line))), Hex(line));
  }
}

TEST(JisLines, ArbitraryBytesStayWithinBounds) {
  // Bias towards the bytes that steer the converters, so escape and run paths get hit.
  static const unsigned char kSteer[] = {0x1B, '$', '(', 'B', '@', '\n', 0x86, 0x9F, 0xE0, 0xFC};
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> len(1, 300), any(1, 255), pick(0, 2 * sizeof kSteer - 1);
  for (int i = 0; i < 2000; ++i) {
    std::string in;
    for (int n = len(rng); n > 0; --n) {
      const int k = pick(rng);
      in += static_cast<char>(k < static_cast<int>(sizeof kSteer) ? kSteer[k] : any(rng));
    }
    SCOPED_TRACE(Hex(in));
    EXPECT_LE(ToJis(in).size(), 3 * in.size() + 2);
    EXPECT_LE(ToSjis(in).size(), in.size());
  }
}

TEST(JisLines, AlternatingCharactersReachTheOutputBound) {
  // Pair, single, pair, ...: every run pays six escape bytes, the worst case.
  std::string in = "\x88\x9F";
  for (int n = 0; n < 50; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ToJis(in).size(), 3 * in.size() + 2);
    in += "A\x88\x9F";
  }
}

TEST(JisLines, EveryPairMapsAsItsCharacterDoes) {
  // The line converter's own pair table against the character arithmetic, for every lead
  // byte and every trail byte but the NUL.
  for (int lead = 0; lead < 256; ++lead) {
    if (!IsSjisLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 1; trail < 256; ++trail) {
      const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                     static_cast<unsigned char>(trail)};
      unsigned char jis[2];
      SjisCharToJis(jis, pair);
      std::string expected = std::string("\x1B$B") + static_cast<char>(jis[0]) +
                             static_cast<char>(jis[1]) + "\x1B(J";
      expected.resize(std::strlen(expected.c_str()));  // a zero byte ends the text there
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(ToJis(in), expected) << lead << " " << trail;
    }
  }
}

}  // namespace
}  // namespace velko
