// The Base64 decoder and the in-line expansion of encoded words.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "b64text.h"
#include "base64.h"

namespace velko {
namespace {

// Decodes from an exact-size copy into an output of exactly the documented size.
std::string Decode(const std::string& text, std::size_t* count) {
  std::vector<char> in(text.begin(), text.end());
  in.push_back(0);
  std::vector<unsigned char> out(3 * ((text.size() + 3) / 4) + 1, 0xEE);
  *count = DecodeBase64(out.data(), in.data());
  EXPECT_EQ(out[*count], 0);
  return std::string(out.begin(), out.begin() + *count);
}

struct DecodeCase {
  std::string text;
  std::string bytes;
  bool is_base64;
  const char* shows;
};

TEST(Base64, DecodesGroupByGroup) {
  const std::vector<DecodeCase> cases = {
      {"QUJD", "ABC", true, "a full group"},
      {"QUI=", "AB", true, "one '=' gives two bytes"},
      {"QQ==", "A", true, "two '=' give one byte"},
      {"QQ==QUJD", "AABC", true, "padding in the middle does not stop decoding"},
      {"A=BC", std::string("\0\0B", 3), true, "'=' in second place counts 0"},
      {"AB=C", std::string("\0\x10\x02", 3), true, "'=' in third place alone does not shorten"},
      {"====", std::string("\0", 1), true, "four '=' give one zero byte"},
      {"A*AA", "\x0F\xF0", false, "a byte outside the alphabet enters the arithmetic"},
      {"", "", true, "the empty text"},
      {"QUJD\r\n", "ABC\xFF", false, "CR and LF are outside the alphabet, yet decoded"},
      {"+/+/", "\xFB\xFF\xBF", true, "the last two letters of the alphabet"},
      // A short last group: its missing places count as '=', nothing past the NUL is read.
      {"QUJDQUI", "ABCAB", true, "three characters left give two bytes"},
      {"QUJDQQ", "ABCA", true, "two characters left give one byte"},
      {"QUJDQ", "ABC", true, "one character left gives nothing"},
      {"QQ=", "A", true, "a '=' in a short group shortens it too"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.shows);
    std::size_t count = 0;
    std::string bytes = Decode(c.text, &count);
    if (c.text == "A*AA") {
      EXPECT_EQ(count, 3u);
      EXPECT_EQ(bytes, std::string("\x0F\xF0\0", 3));
    } else {
      EXPECT_EQ(bytes, c.bytes);
    }
    EXPECT_EQ(IsBase64Text(c.text.c_str()), c.is_base64);
  }
}

TEST(Base64, ValuesOfEveryByte) {
  const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int b = 0; b < 256; ++b) {
    std::size_t at = alphabet.find(static_cast<char>(b));
    unsigned char expected = b == '=' ? 0 : at == std::string::npos || b == 0 ? NotBase64 : at;
    EXPECT_EQ(Base64Value(static_cast<unsigned char>(b)), expected) << b;
  }
  unsigned char out[3];
  EXPECT_EQ(DecodeBase64Group("QQ==", out), 1);
  EXPECT_EQ(DecodeBase64Group("QUI=", out), 2);
  EXPECT_EQ(DecodeBase64Group("Q=I=", out), 2);
  EXPECT_EQ(DecodeBase64Group("QU=J", out), 3);
}

// One line through the whole step, from exact-size buffers.
std::string Expand(const std::string& line) {
  std::vector<char> a(line.begin(), line.end());
  a.push_back(0);
  std::vector<char> b(a.size(), 'X');
  B64TextStep(a.data(), b.data());
  return std::string(a.data());
}

struct ExpandCase {
  std::string line;
  std::string result;
  const char* shows;
};

TEST(B64TextStep, ExpandsEncodedWordsInPlaceOfThemselves) {
  const std::string kanji_jis = "\x1B$B4A;z\x1B(B";
  const std::string kanji_sjis = "\x8A\xBF\x8E\x9A";
  const std::vector<ExpandCase> cases = {
      {"Subject: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=\n", "Subject: " + kanji_jis + "\n",
       "an ISO-2022-JP word keeps its escape sequences"},
      {"=?shift_jis?B?ir+Omg==?=", kanji_sjis, "a shift_jis word"},
      {"=?iso-2022-jp?b?GyRCNEE7ehsoQg==?= =?SHIFT_JIS?b?ir+Omg==?=",
       kanji_jis + " " + kanji_sjis, "prefixes in any letter case; the space between stays"},
      {"=?shift_jis?B?QUJD?=x=?ISO-2022-JP?B?REVG?=", "ABCxDEF",
       "a shift_jis word before an ISO-2022-JP word: both, each in place"},
      {"a=?ISO-2022-JP?B?" "?=b\r\n", "ab\r\n", "an empty word leaves no trace"},
      {"=?ISO-2022-JP?B?=QUJD?=", "\x01\x05\x09", "the prefix's '?' does not close it"},
      {"=?UTF-8?B?QUJD?= =?ISO-2022-JP?Q?=41?=", "=?UTF-8?B?QUJD?= =?ISO-2022-JP?Q?=41?=",
       "other charsets and the Q encoding stay"},
      {"x=?ISO-2022-JP?B?QQBC?=y", "xAy", "a decoded zero byte cuts the word there"},
      {"no words here =? ?= ==\n", "no words here =? ?= ==\n", "a line without words"},
      {"a =?ISO-2022-JP?B?QUJD and no end\n", "a =?ISO-2022-JP?B?QUJD and no end\n",
       "an unclosed word leaves the rest of the line as it is"},
      {"=?ISO-2022-JP?B?QUJD?==?ISO-2022-JP?B?QUI?=", "ABCAB",
       "adjacent words; a short last group still decodes"},
      {"=?ISO-2022-JP?B", "=?ISO-2022-JP?B", "a prefix cut by the end of the line"},
  };
  for (const ExpandCase& c : cases) {
    SCOPED_TRACE(c.shows);
    EXPECT_EQ(Expand(c.line), c.result);
  }
  EXPECT_STREQ(EncodedWordPrefix, "=?shift_jis?B?");  // the second pass ran last
}

TEST(ExpandEncodedWords, ClosesEachWordInItsInputAndAppendCharAppends) {
  char in[] = "=?ISO-2022-JP?B?QUJD?=rest";
  char out[sizeof in];
  EncodedWordPrefix = kPrefixIso2022Jp;
  ExpandEncodedWords(out, in);
  EXPECT_STREQ(out, "ABCrest");
  EXPECT_EQ(in[20], '\0');  // the '?' of "?="
  char s[4] = "ab";
  AppendChar(s, 'c');
  EXPECT_STREQ(s, "abc");
}

TEST(Base64, RandomBytesStayInsideTheirBuffers) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < 3000; ++i) {
    std::string text(rng() % 120, 'x');
    for (char& c : text) {
      // Mostly pieces of encoded words, so the expansion's paths are all taken.
      static const char kPieces[] = "=?ISOshift_jis-2022JPBb?QUJDqx\r\n\x1B\x8A ";
      c = rng() % 4 ? kPieces[rng() % (sizeof kPieces - 1)] : static_cast<char>(rng() % 255 + 1);
    }
    std::size_t count = 0;
    std::string decoded = Decode(text, &count);
    EXPECT_LE(count, 3 * ((text.size() + 3) / 4));
    if (rng() % 2) text = "=?ISO-2022-JP?B?" + text;
    std::string expanded = Expand(text);
    EXPECT_LE(expanded.size(), text.size());
  }
}

}  // namespace
}  // namespace velko
