#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ruled.h"

namespace velko {
namespace {

std::string Hex(const std::string& s) {
  std::string r;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X ", c);
    r += b;
  }
  return r;
}

// Substitutions work in place on an exact-size heap copy, so reads past the NUL are caught.
std::string Substitute(RuledLineSubstitution substitution, const std::string& in) {
  std::unique_ptr<char[]> text(new char[in.size() + 1]);
  std::memcpy(text.get(), in.c_str(), in.size() + 1);
  EXPECT_EQ(substitution(text.get()), text.get());
  return text.get();
}

// The step gets the smallest buffers its contract allows.
std::string Step(RuledLineSubstitution substitution, const std::string& in) {
  std::unique_ptr<char[]> line(new char[3 * in.size() + 3]);
  std::unique_ptr<char[]> work(new char[in.size() + 1]);
  std::memcpy(line.get(), in.c_str(), in.size() + 1);
  RuledLineStep(line.get(), work.get(), substitution);
  return line.get();
}

unsigned Code(const unsigned char* column, int entry) {  // entry is 1-based
  return column[2 * (entry - 1)] << 8 | column[2 * (entry - 1) + 1];
}
unsigned Nec(int entry) { return Code(RuledLineTable.nec, entry); }
unsigned Jis(int entry) { return Code(RuledLineTable.jis, entry); }

std::string Bytes(unsigned code) {
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

TEST(RuledLineTableData, ColumnsHoldSeventySevenCodesEndedByZero) {
  static_assert(sizeof RuledLineTable.nec == 155 && sizeof RuledLineTable.jis == 155, "size");
  for (int i = 0; i < 154; ++i) {
    EXPECT_NE(RuledLineTable.nec[i], 0) << i;
    EXPECT_NE(RuledLineTable.jis[i], 0) << i;
  }
  EXPECT_EQ(RuledLineTable.nec[154], 0);
  EXPECT_EQ(RuledLineTable.jis[154], 0);
}

TEST(RuledLineTableData, NecColumnHoldsEveryNecCodeOnce) {
  std::map<unsigned, std::vector<int>> entries;
  for (int e = 1; e <= 77; ++e) entries[Nec(e)].push_back(e);
  EXPECT_EQ(entries.size(), 0x86EDu - 0x86A2u + 1);
  for (unsigned code = 0x86A2; code <= 0x86ED; ++code) {
    EXPECT_EQ(entries[code].size(), code == 0x86B9 ? 2u : 1u) << std::hex << code;
  }
  EXPECT_EQ(entries[0x86B9], (std::vector<int>{17, 47}));
  EXPECT_EQ(Jis(17), 0x84AFu);
  EXPECT_EQ(Jis(47), 0x84AFu);
}

TEST(RuledLineTableData, JisColumnFoldsOntoTheFirst32) {
  for (int e = 1; e <= 32; ++e) EXPECT_EQ(Jis(e), 0x849Fu + e - 1) << e;
  for (int e = 33; e <= 77; ++e) {
    bool found = false;
    for (int f = 1; f <= 32; ++f) found = found || Jis(f) == Jis(e);
    EXPECT_TRUE(found) << e;
  }
  const struct { int entry; unsigned nec, jis; } rows[] = {
      {1, 0x86A2, 0x849F},  {5, 0x86BA, 0x84A3},  {22, 0x86ED, 0x84B4}, {32, 0x86E4, 0x84BE},
      {33, 0x86A6, 0x849F}, {45, 0x86B7, 0x84AF}, {47, 0x86B9, 0x84AF}, {77, 0x86EC, 0x84B4},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Nec(r.entry), r.nec) << r.entry;
    EXPECT_EQ(Jis(r.entry), r.jis) << r.entry;
  }
}

struct Case {
  RuledLineSubstitution substitution;
  std::string in;
  std::string want;
  const char* shows;
};

void RunCases(std::string (*run)(RuledLineSubstitution, const std::string&),
              const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shows);
    EXPECT_EQ(Hex(run(c.substitution, c.in)), Hex(c.want));
  }
}

TEST(RuledLines, SubstitutionsOnShiftJisText) {
  RunCases(Substitute, {
      {NecToJisRuledLines, "\x86\xA2\x86\xA4\x86\xAE\n", "\x84\x9F\x84\xA0\x84\xA1\n",
       "NEC to JIS"},
      {JisToNecRuledLines, "\x84\x9F\x84\xA0\x84\xA1\n", "\x86\xA2\x86\xA4\x86\xAE\n",
       "JIS to NEC"},
      {NecToJisRuledLines, "\x84\x9F\x84\xBE", "\x84\x9F\x84\xBE",
       "JIS codes untouched by NEC to JIS"},
      {JisToNecRuledLines, "\x86\xA2\x86\xED\x86\xA6", "\x86\xA2\x86\xED\x86\xA6",
       "NEC codes untouched by JIS to NEC"},
      {NecToJisRuledLines, "\x86\xA1\x86\xEE\x88\x9F" "a\xB1", "\x86\xA1\x86\xEE\x88\x9F" "a\xB1",
       "neighbours, kanji, ASCII, kana"},
      {JisToNecRuledLines, "\x84\x9E\x84\xBF\x88\x9F" "a\xB1", "\x84\x9E\x84\xBF\x88\x9F" "a\xB1",
       "neighbours, kanji, ASCII, kana"},
      {NecToJisRuledLines, "\x83\x86\xA2", "\x83\x86\xA2", "86 as a trail byte is no code"},
      {JisToNecRuledLines, "\x83\x86\xA2", "\x83\x86\xA2", "86 as a trail byte is no code"},
      {NecToJisRuledLines, "\x83\x86\xA2\x86\xA2", "\x83\x86\xA2\x84\x9F",
       "scan keeps character boundaries"},
      {NecToJisRuledLines, "\xA2\x86\xA2", "\xA2\x84\x9F", "single byte then a code"},
      {NecToJisRuledLines, "\x86", "\x86", "lead byte alone"},
      {NecToJisRuledLines, "\x86\xA2\x86", "\x84\x9F\x86", "code cut by the end of text stays"},
      {JisToNecRuledLines, "a\x84\x9F\x84", "a\x86\xA2\x84", "code cut by the end of text stays"},
  });
}

TEST(RuledLines, EveryTwoByteCodeMapsByTheFirstMatchingEntry) {
  std::map<unsigned, unsigned> nec_to_jis, jis_to_nec;
  for (int e = 77; e >= 1; --e) {  // descending, so the first entry of a code wins
    nec_to_jis[Nec(e)] = Jis(e);
    jis_to_nec[Jis(e)] = Nec(e);
  }
  for (unsigned code = 0x849F; code <= 0x84BE; ++code) {
    ASSERT_EQ(jis_to_nec[code], Nec(static_cast<int>(code - 0x849F) + 1)) << std::hex << code;
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 1; trail <= 0xFF; ++trail) {
      const unsigned code = static_cast<unsigned>(lead << 8 | trail);
      const auto n = nec_to_jis.find(code);
      const auto j = jis_to_nec.find(code);
      ASSERT_EQ(Substitute(NecToJisRuledLines, Bytes(code)),
                Bytes(n == nec_to_jis.end() ? code : n->second)) << std::hex << code;
      ASSERT_EQ(Substitute(JisToNecRuledLines, Bytes(code)),
                Bytes(j == jis_to_nec.end() ? code : j->second)) << std::hex << code;
    }
  }
}

TEST(RuledLines, NecToJisAndBackRestoresOnlyTheFirst32) {
  for (int e = 1; e <= 77; ++e) {
    const std::string back =
        Substitute(JisToNecRuledLines, Substitute(NecToJisRuledLines, Bytes(Nec(e))));
    // Back to the entry among 1-32 with the same JIS code; 47 is 0x86B9 again, like 17.
    EXPECT_EQ(back, Bytes(Nec(static_cast<int>(Jis(e) - 0x849F) + 1))) << e;
    EXPECT_EQ(back == Bytes(Nec(e)), e <= 32 || e == 47) << e;
  }
  const struct { unsigned nec, jis, back; } trips[] = {
      {0x86A6, 0x849F, 0x86A2}, {0x86EC, 0x84B4, 0x86ED}};
  for (const auto& t : trips) {
    const std::string jis = Substitute(NecToJisRuledLines, Bytes(t.nec));
    EXPECT_EQ(Hex(jis), Hex(Bytes(t.jis)));
    EXPECT_EQ(Hex(Substitute(JisToNecRuledLines, jis)), Hex(Bytes(t.back)));
  }
}

TEST(RuledLines, StepReencodesLinesHoldingEscDollar) {
  RunCases(Step, {
      {NecToJisRuledLines, "\x1B$B\x2C\x24\x1B(B\n", "\x1B$B\x28\x21\x1B(J\n",
       "JIS line, NEC code replaced"},
      {JisToNecRuledLines, "\x1B$B\x28\x21\x1B(B\n", "\x1B$B\x2C\x24\x1B(J\n",
       "JIS line, JIS code replaced"},
      {NecToJisRuledLines, "\x1B$@\x30\x21\x1B(B\n", "\x1B$B\x30\x21\x1B(J\n",
       "JIS line without codes re-encoded"},
      {NecToJisRuledLines, "\x86\xA2x\x1B$B\x2C\x24\x1B(B\n",
       "\x1B$B\x28\x21\x1B(Jx\x1B$B\x28\x21\x1B(J\n", "Shift_JIS before ESC $ comes out framed"},
      {NecToJisRuledLines, "\x86\xA2\x1B$", "\x1B$B\x28\x21\x1B(J\x1B$",
       "ESC $ at the end still means JIS"},
      {NecToJisRuledLines, "\x86\xA2\x1B(B\n", "\x84\x9F\x1B(B\n",
       "no ESC $: substituted in place"},
      {NecToJisRuledLines, "\x2C\x24\x1B(B\n", "\x2C\x24\x1B(B\n",
       "run from an earlier line: 7-bit, unchanged"},
      {JisToNecRuledLines, "\x88\x9F\x84\x9F\n", "\x88\x9F\x86\xA2\n",
       "Shift_JIS line keeps its encoding"},
  });
}

TEST(RuledLines, ArbitraryBytesStayWithinBounds) {
  static const unsigned char kSteer[] = {0x1B, '$', '(', 'B', '\n', 0x84, 0x86, 0x9F, 0xA2, 0x2C};
  std::mt19937 rng(777);
  std::uniform_int_distribution<int> len(1, 300), any(1, 255), pick(0, 2 * sizeof kSteer - 1);
  for (int i = 0; i < 2000; ++i) {
    std::string in;
    for (int n = len(rng); n > 0; --n) {
      const int k = pick(rng);
      in += static_cast<char>(k < static_cast<int>(sizeof kSteer) ? kSteer[k] : any(rng));
    }
    SCOPED_TRACE(Hex(in));
    const bool jis = in.find("\x1B$") != std::string::npos;
    for (RuledLineSubstitution s : {NecToJisRuledLines, JisToNecRuledLines}) {
      EXPECT_EQ(Substitute(s, in).size(), in.size());
      const std::string out = Step(s, in);
      if (jis) {
        EXPECT_LE(out.size(), 3 * in.size() + 2);
      } else {
        EXPECT_EQ(Hex(out), Hex(Substitute(s, in)));
      }
    }
  }
}

}  // namespace
}  // namespace velko
