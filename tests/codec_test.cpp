// The codec against Python's codecs (tests/data/codec_table.txt, every code both ways), against
// itself cut anywhere (every split, every piece size, every room), and the bad places it tells.
#include "velko/codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "codec/bytes.h"
#include "codec/jis.h"
#include "fileops_native.h"
#include "velko/utf8.h"

namespace velko {
namespace {

struct Told {
  CodecStatus status;
  unsigned long long at;
  std::string bytes;
  char32_t character;
  bool operator==(const Told& o) const {
    return status == o.status && at == o.at && bytes == o.bytes && character == o.character;
  }
};
struct Outcome {
  std::string out;
  std::vector<Told> told;
  bool operator==(const Outcome& o) const { return out == o.out && told == o.told; }
};
std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  os << '"' << o.out << "\" told";
  for (const Told& t : o.told) os << ' ' << int(t.status) << '@' << t.at << '+' << t.bytes.size();
  return os;
}

// A coder's run over `in` fed `piece` bytes a call (0: all at once) into `room` bytes at a time
// (0: as much as it may need); what it told is recorded and nothing written for it.
struct Coder {
  bool decode;
  Charset charset;
  DecoderOptions dopt = {};
  EncoderOptions eopt = {};
  Outcome Run(const std::string& in, std::size_t piece = 0, std::size_t room = 0,
              std::size_t cut = 0) const {
    Decoder decoder(charset, dopt);
    Encoder encoder(charset, eopt);
    Outcome o;
    std::size_t at = 0;
    do {
      // The first piece ends at `cut` when one is given.
      const std::size_t want = cut > 0 && at < cut ? cut - at : piece;
      const std::size_t n = want == 0 || in.size() - at < want ? in.size() - at : want;
      const bool last = at + n == in.size();
      // An exact-size copy: a read past the piece is ASan's to see.
      std::vector<char> src(in.begin() + at, in.begin() + at + n);
      for (std::size_t taken = 0;;) {
        const std::size_t max =
            decode ? decoder.MaxUtf8Length(n - taken) : encoder.MaxLength(n - taken);
        std::vector<char> dst(room == 0 ? max : room);
        const CodecResult r = decode ? decoder.DecodeToUtf8(src.data() + taken, n - taken,
                                                            dst.data(), dst.size(), last)
                                     : encoder.EncodeFromUtf8(src.data() + taken, n - taken,
                                                              dst.data(), dst.size(), last);
        EXPECT_LE(r.written, dst.size());
        EXPECT_LE(r.read, n - taken);
        o.out.append(dst.data(), r.written);
        taken += r.read;
        if (r.status == CodecStatus::kInputEmpty) {
          EXPECT_EQ(taken, n);
          break;
        }
        if (r.status == CodecStatus::kOutputFull) {
          EXPECT_NE(room, 0u) << "output full in the room MaxLength gives";
          EXPECT_GT(r.read + r.written, 0u) << "no progress in " << room << " bytes";
          if (room == 0 || r.read + r.written == 0) return o;
          continue;
        }
        o.told.push_back({r.status, r.at,
                          std::string(reinterpret_cast<const char*>(r.bytes), r.length),
                          r.character});
      }
      at += n;
    } while (at < in.size());
    return o;
  }
};

std::string Utf8(char32_t c) {
  unsigned char bytes[4];
  return std::string(reinterpret_cast<char*>(bytes), WriteUtf8(c, bytes));
}
std::string Bytes(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

TEST(Codec, EveryCodeAsPythonsCodecsReadAndWriteIt) {
  std::ifstream file(VELKO_TEST_DATA "/codec_table.txt");
  ASSERT_TRUE(file) << "tests/data/codec_table.txt";
  const Charset kSets[] = {Charset::kShiftJis, Charset::kEucJp, Charset::kJis};
  std::set<std::string> listed[3];
  std::size_t rows = 0, differing = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string set, code, py_char, py_back, mine, mine_back, why;
    fields >> set >> code >> py_char >> py_back >> mine >> mine_back >> why;
    const int k = set == "S" ? 0 : set == "E" ? 1 : 2;
    SCOPED_TRACE(line);
    ++rows;
    listed[k].insert(code);
    // Where VELKO differs on purpose, the row says what it does instead, and why.
    differing += !why.empty();
    const std::string want_char = why.empty() ? py_char : mine;
    const std::string want_back = why.empty() ? (py_back.empty() ? code : py_back) : mine_back;
    const std::string shift_in = k == 2 ? "\x1B$B" : "", shift_out = k == 2 ? "\x1B(B" : "";
    const std::string in = shift_in + Bytes(code) + shift_out;
    const Outcome read = Coder{true, kSets[k]}.Run(in);
    const char32_t c = static_cast<char32_t>(std::stoul(want_char, nullptr, 16));
    EXPECT_EQ(read, (Outcome{Utf8(c), {}}));
    const Outcome written = Coder{false, kSets[k]}.Run(Utf8(c));
    if (want_back == "-") {
      ASSERT_EQ(written.told.size(), 1u);
      EXPECT_EQ(written.told[0].status, CodecStatus::kUnmappable);
    } else {
      const bool ascii = want_back.size() == 2 && std::stoi(want_back, nullptr, 16) < 0x80;
      EXPECT_EQ(written,
                (Outcome{ascii ? Bytes(want_back) : shift_in + Bytes(want_back) + shift_out, {}}));
    }
    // JIS' readings of the six cells, where Windows reads them otherwise: Python's with --map=jis,
    // from each of the three.
    if (why == "windows-reading") {
      const unsigned char jis[2] = {
          static_cast<unsigned char>(std::stoi(code.substr(0, 2), nullptr, 16) & 0x7F),
          static_cast<unsigned char>(std::stoi(code.substr(2, 2), nullptr, 16) & 0x7F)};
      unsigned char sjis[2];
      JisCharToSjis(sjis, jis);
      const std::string as_sjis(reinterpret_cast<char*>(sjis), 2);
      const std::string want = Utf8(static_cast<char32_t>(std::stoul(py_char, nullptr, 16)));
      const Coder by_jis{true, kSets[k], {true}}, by_sjis{true, Charset::kShiftJis, {true}};
      EXPECT_EQ(by_jis.Run(in).out, want);
      EXPECT_EQ(by_sjis.Run(as_sjis).out, want);
    }
  }
  EXPECT_GT(rows, 30000u);
  EXPECT_GT(differing, 2000u);
  // A code no row names is no character.
  auto none = [&](int k, const std::string& code, const std::string& in) {
    if (listed[k].count(code)) return;
    const Outcome read = Coder{true, kSets[k]}.Run(in);
    EXPECT_FALSE(read.told.empty()) << code;
  };
  char hex[8];
  for (unsigned b = 0; b < 256; ++b) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    none(0, hex, std::string(1, char(b)));
    none(1, hex, std::string(1, char(b)));
    for (unsigned t = 0x40; t < 0x100; ++t) {
      std::snprintf(hex, sizeof hex, "%02X%02X", b, t);
      if (IsSjisLeadByte(static_cast<unsigned char>(b))) none(0, hex, {char(b), char(t)});
      if (b >= 0xA1 && t >= 0xA1) none(1, hex, {char(b), char(t)});
      if (b == 0x8E && t >= 0xA1) none(1, hex, {char(b), char(t)});
      for (unsigned u = 0xA1; b == 0x8F && t >= 0xA1 && u < 0xFF; ++u) {
        std::snprintf(hex, sizeof hex, "8F%02X%02X", t, u);
        none(1, hex, {char(b), char(t), char(u)});
      }
      std::snprintf(hex, sizeof hex, "%02X%02X", b, t - 0x1F);
      if (b >= 0x21 && b <= 0x7E && t - 0x1F <= 0x7E)
        none(2, hex, "\x1B$B" + std::string{char(b), char(t - 0x1F)});
    }
  }
}

const Coder kSjisIn{true, Charset::kShiftJis}, kJisIn{true, Charset::kJis},
    kEucIn{true, Charset::kEucJp}, kUtf8In{true, Charset::kUtf8},
    kSjisOut{false, Charset::kShiftJis}, kJisOut{false, Charset::kJis},
    kEucOut{false, Charset::kEucJp}, kUtf8Out{false, Charset::kUtf8};
const std::string kKanji = "\x88\x9F\x8A\xBF\x8E\x9A\x82\xA0\x83\x41\x81\x5B\x88\xA0\x89\x40";

TEST(Codec, EverySplitGivesWhatOneCallGives) {
  const Coder kJisOutEscI{false, Charset::kJis, {}, {false, Kana::kEscI}};
  const Coder kJisOut8bit{false, Charset::kJis, {}, {true, Kana::k8bit}};
  const Coder kSjisOutPc98{false, Charset::kShiftJis, {}, {true}};
  const Coder kSjisInJis{true, Charset::kShiftJis, {true}};
  const struct {
    const Coder& coder;
    std::string in;
  } inputs[] = {
      // clang-format off
      {kSjisIn, "a\x82\xA0" "b\x86\xA2\xB1\xFD" + kKanji + "\x83\xBF\x84\x40x" + kKanji + kKanji},
      {kSjisIn, "x\n\x85\x40\x85\xA0\x82\n\x82\x85\xFD\xFA\x40\xED\x40\xF0\x40\x80\xA0\xFF\x82"},
      {kSjisInJis, "\x81\x60\x81\xCA\x81\x61"},
      {kJisIn, "\x1B$B0!\x1B(B0!\x1B(I1\x1B$@0\n0\x0E" "1\x0F" "1\x1B$(B0!\x1B&@\x1B$B0!4A\x1B(J\\\x1B(Q\x1B"},
      {kJisIn, "\x1B$B0!4A;z$\"%\"0!4A;z$\"%\"-!\x1B(Ba\x1B$B0\n\x1B$B\x7F!\x1B$B0\x1B$"},
      {kJisIn, "\x1B$B0!4A;z$\"%\"0!4A;z$\"%\"0!+D!!\x1B(B\x1B$("},
      {kEucIn, "a\xA4\xA2\xB0\xA1\x8E\xB1\x8F\xB0\xA1\xA1\xC1\xAD\xA1\xF9\xA1\xAB\xA4\xB0\xA1\xB0\xA2\xB0\xA3\xB0\xA4\xB0\xA5\xB0\xA6\xB0\xA7\xB0\xA8\xB0\xA9"},
      {kEucIn, "\x8F\xA2x\x8F\xA2\x8E\xE0\x8E" "a\xA4" "a\x80\xFF\xF5\xA1\x8F\xA1\xA1\x8F"},
      {kUtf8In, "a\xE3\x81\x82\xC0\xE3\x81\xF0\x9F\x98\x80\xED\xA0\x80\xF4\x90\xC3\xA9\xF0"},
      {kSjisOut, "\xEF\xBB\xBF" "a\xE3\x81\x82\xC0\xE3\x81" "\xE4\xBA\x9C\xE6\xBC\xA2\xE5\xAD\x97\xE3\x81\x82\xE3\x82\xA2\xE4\xBA\x9C\xE6\xBC\xA2\xE5\xAD\x97\xEF\xBD\xB1\xCE\xB1\xF0\x9F\x98\x80\xE2\x94\x84\xEF\xBB"},
      {kSjisOutPc98, "\xE2\x94\x80\xE2\x95\x8B\xEE\x80\x80\xEF\xBD\x9E\xE3\x80\x9C\xEF\xA3\xB0\xC2\x80"},
      {kJisOut, "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A\xEF\xBE\x9F\xEF\xBE\x9E" "a\x1B\xE2\x91\xA0\xC2\xA5\xE4\xBA\x9C\xE6\xBC\xA2\xE5\xAD\x97\xE4\xBA\x9C\xE6\xBC\xA2\xE5\xAD\x97\xE3\x81\x82\xC0\x0E\xEF\xBD\xB6"},
      {kJisOutEscI, "\xEF\xBD\xB1\xE4\xBA\x9C\xEF\xBD\xB1\n\xEF\xBD\xB1"},
      {kJisOut8bit, "\xEF\xBD\xB1\xE4\xBA\x9C" "a\xE2\x94\x84\xEF\xBD\xB1"},
      {kEucOut, "a\xE4\xBA\x9C\xEF\xBD\xB1\xE2\x91\xA0\xE7\xBA\x8A\xE2\x84\x96\xE4\xB8\x82\xF0\x9F\x98\x80\xC0\xE2\x85\xB0\xC2\xA6\xC3\xA9\xE4\xBA\x9C\xE6\xBC\xA2\xE5\xAD\x97\xE4\xBA\x9C\xE6\xBC\xA2"},
      {kUtf8Out, "a\xE3\x81\x82\xC0\xF0\x9F\x98\x80\xED\xA0\x80\xF4"},
      // clang-format on
  };
  for (const auto& v : inputs) {
    SCOPED_TRACE(::testing::PrintToString(v.in));
    const Outcome whole = v.coder.Run(v.in);
    for (std::size_t k = 1; k <= v.in.size(); ++k) {
      EXPECT_EQ(v.coder.Run(v.in, k), whole) << "pieces of " << k;
      EXPECT_EQ(v.coder.Run(v.in, 0, 0, k), whole) << "cut at " << k;
    }
    for (std::size_t room = 8; room < 40; ++room) {
      EXPECT_EQ(v.coder.Run(v.in, 0, room), whole) << "room " << room;
      EXPECT_EQ(v.coder.Run(v.in, 3, room), whole) << "room " << room << ", pieces of 3";
    }
  }
}

TEST(Codec, BadSequencesToldWhereTheyAre) {
  constexpr CodecStatus M = CodecStatus::kMalformed, U = CodecStatus::kUnmappable;
  const Coder kJisOut8bit{false, Charset::kJis, {}, {false, Kana::k8bit}};
  const Coder kLatin1Out{false, Charset::kLatin1}, kAsciiOut{false, Charset::kAscii};
  constexpr char32_t X = kNoCharacter;
  const struct {
    const Coder& coder;
    std::string in;
    Outcome want;
  } vectors[] = {
      // clang-format off
      // A code with no character whole; an ASCII byte after a lead byte read again.
      {kSjisIn, "x\n\x85\x40\x85\xA0\x82", {"x\n@", {{M, 2, "\x85", X}, {M, 4, "\x85\xA0", X}, {M, 6, "\x82", X}}}},
      // A line end or 0xFD-0xFF after a lead byte: the lead byte alone.
      {kSjisIn, "\x82\n\x85\xFD", {"\n\uF8F1", {{M, 0, "\x82", X}, {M, 2, "\x85", X}}}},
      // A pair cut by an escape; an escape it does not know; a pair with no character; a run
      // cut by the end.
      {kJisIn, "\x1B$B0!\x7F!\x1B(Q\x1B$B0", {"亜\x7F", {{M, 6, "!", X}, {M, 7, "\x1B", X}, {M, 8, "(Q", X}, {M, 13, "0", X}}}},
      // A sequence ends at the first byte that cannot go on it; a code of no character whole.
      {kEucIn, "\x8F\xA2x\x8E\xE0\xA4" "a\xF5\xA1\x8F\xA2\xB7", {"xa~", {{M, 0, "\x8F\xA2", X}, {M, 3, "\x8E\xE0", X}, {M, 5, "\xA4", X}, {M, 7, "\xF5\xA1", X}}}},
      // The longest valid start of a bad sequence, as one.
      {kUtf8In, "a\xE3\x81\xC0\xF4\x90", {"a", {{M, 1, "\xE3\x81", X}, {M, 3, "\xC0", X}, {M, 4, "\xF4", X}, {M, 5, "\x90", X}}}},
      {kSjisOut, "a\xE2\x82\xAC\xF0\x9F\x98\x80\xC0\xEF\xBB", {"a", {{U, 1, "\xE2\x82\xAC", 0x20AC}, {U, 4, "\xF0\x9F\x98\x80", 0x1F600}, {M, 8, "\xC0", X}, {M, 9, "\xEF\xBB", X}}}},
      // Into JIS the text is back in ASCII before a character without a code is told.
      {kJisOut, "\xE4\xBA\x9C\x1B\xE4\xBA\x9C\xC2\xA5", {"\x1B$B0!\x1B(B\x1B$B0!\x1B(B", {{U, 3, "\x1B", 0x1B}, {U, 7, "\xC2\xA5", 0xA5}}}},
      // IBM extensions as their NEC-selected copies.
      {kEucOut, "\xE2\x82\xAC\xE7\xBA\x8A\xE2\x85\xB0", {"\xF9\xA1\xFC\xF1", {{U, 0, "\xE2\x82\xAC", 0x20AC}}}},
      // SO has no code in JIS, nor has U+0080; a kana as an 8-bit byte is written in ASCII.
      {kJisOut, "\xE4\xBA\x9C\x0E\xC2\x80", {"\x1B$B0!\x1B(B", {{U, 3, "\x0E", 0x0E}, {U, 4, "\xC2\x80", 0x80}}}},
      {kJisOut8bit, "\xE4\xBA\x9C\xEF\xBD\xB1", {"\x1B$B0!\x1B(B\xB1", {}}},
      {kLatin1Out, "\xC3\xA9\xC4\x80\xC3\xBF", {"\xE9\xFF", {{U, 2, "\xC4\x80", 0x100}}}},
      {kAsciiOut, "a\xC2\x80\x7F", {"a\x7F", {{U, 1, "\xC2\x80", 0x80}}}},
      // A kana takes the voiced or semi-voiced mark after it in, where JIS has the character.
      {kJisOut, "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBD\xB3\xEF\xBE\x9E\xEF\xBE\x9F", {"\x1B$B%,%t!,\x1B(B", {}}},
      // clang-format on
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(::testing::PrintToString(v.in));
    EXPECT_EQ(v.coder.Run(v.in), v.want);
    // A byte of room at a time, where each character takes one.
    if (&v.coder == &kLatin1Out) {
      EXPECT_EQ(v.coder.Run(v.in, 0, 1), v.want);
    }
  }
  // Codes that strict JIS decoders refuse, counted, and where the first began.
  Encoder euc(Charset::kEucJp);
  char out[32];
  euc.EncodeFromUtf8("a\xE2\x91\xA0\xE7\xBA\x8A\xE4\xBA\x9C", 10, out, sizeof out, true);
  EXPECT_EQ(euc.VendorCodes(), 2u);
  EXPECT_EQ(euc.FirstVendorCode(), 1u);
}

TEST(Codec, LabelsNameTheirCharsets) {
  const struct {
    const char* label;
    Charset charset;
  } labels[] = {
      {"Shift_JIS", Charset::kShiftJis},
      {"X-SJIS", Charset::kShiftJis},
      {"ms_kanji", Charset::kShiftJis},
      {"csShiftJIS", Charset::kShiftJis},
      {"Windows-31J", Charset::kShiftJis},
      {"cp932", Charset::kShiftJis},
      {"ISO-2022-JP", Charset::kJis},
      {"csISO2022JP", Charset::kJis},
      {"euc-jp", Charset::kEucJp},
      {"X-EUC-JP", Charset::kEucJp},
      {"csEUCPkdFmtJapanese", Charset::kEucJp},
      {"UTF-8", Charset::kUtf8},
      {"utf8", Charset::kUtf8},
      {"US-ASCII", Charset::kAscii},
      {"iso-8859-1", Charset::kLatin1},
      {"Latin1", Charset::kLatin1},
      {"iso-2022-jp-2", Charset::kUnknown},
      {"utf-8 ", Charset::kUnknown},
      {"shift_jis2004", Charset::kUnknown},
      {"", Charset::kUnknown},
  };
  for (const auto& l : labels) EXPECT_EQ(CharsetForLabel(l.label), l.charset) << l.label;
  EXPECT_EQ(CharsetForLabel("euc-jpx", 6), Charset::kEucJp);
}

TEST(Codec, NamesReadAsTheCommandsReadThem) {
  // A PC-98 ruled line and a byte Windows reads as a private character, then a code page 932
  // code with no character: the characters sjis2utf8 reads, '_' for the rest, the name going on.
  char name[64] = "";
  NativeFileOps().AppendName(name, sizeof name, "\x86\xA2\xA0x\x85\x40.txt", 10, false);
  EXPECT_STREQ(name, "\u2500\uF8F0x_@.txt");
  std::string sjis;
  AppendRecoded(&sjis, Charset::kUtf8, Charset::kShiftJis, "\xE2\x94\x80\xE2\x82\xAC\xC0x", 8, '_');
  EXPECT_EQ(sjis, "\x84\x9F__x");
}

}  // namespace
}  // namespace velko