#include "text/ruled.h"

#include <cstring>

#include "codec/jis.h"
#include "codec/simd.h"

namespace velko {

// Entries 1-32 pair NEC codes with the 32 JIS ruled-line characters 0x849F-0x84BE in order;
// entries 33-77 fold the remaining NEC codes onto those. 0x86B9 stands at entries 17 and 47.
constexpr RuledLineColumns RuledLineTable = {
    {
        0x86, 0xA2, 0x86, 0xA4, 0x86, 0xAE, 0x86, 0xB2, 0x86, 0xBA, 0x86, 0xB6, 0x86,
        0xBE, 0x86, 0xCE, 0x86, 0xC6, 0x86, 0xD6, 0x86, 0xDE, 0x86, 0xA3, 0x86, 0xA5,
        0x86, 0xB1, 0x86, 0xB5, 0x86, 0xBD, 0x86, 0xB9, 0x86, 0xC5, 0x86, 0xD5, 0x86,
        0xCD, 0x86, 0xDD, 0x86, 0xED, 0x86, 0xC2, 0x86, 0xD1, 0x86, 0xCA, 0x86, 0xD9,
        0x86, 0xE1, 0x86, 0xBF, 0x86, 0xD2, 0x86, 0xC7, 0x86, 0xDA, 0x86, 0xE4,  // entries 1-32
        0x86, 0xA6, 0x86, 0xA7, 0x86, 0xA8, 0x86, 0xA9, 0x86, 0xAA, 0x86, 0xAB, 0x86,
        0xAC, 0x86, 0xAD, 0x86, 0xAF, 0x86, 0xB0, 0x86, 0xB3, 0x86, 0xB4, 0x86, 0xB7,
        0x86, 0xB8, 0x86, 0xB9, 0x86, 0xBB, 0x86, 0xBC, 0x86, 0xC0, 0x86, 0xC1, 0x86,
        0xC3, 0x86, 0xC4, 0x86, 0xC8, 0x86, 0xC9, 0x86, 0xCB, 0x86, 0xCC, 0x86, 0xCF,
        0x86, 0xD0, 0x86, 0xD3, 0x86, 0xD4, 0x86, 0xD7, 0x86, 0xD8, 0x86, 0xDB, 0x86,
        0xDC, 0x86, 0xDF, 0x86, 0xE0, 0x86, 0xE2, 0x86, 0xE3, 0x86, 0xE5, 0x86, 0xE6,
        0x86, 0xE7, 0x86, 0xE8, 0x86, 0xE9, 0x86, 0xEA, 0x86, 0xEB, 0x86, 0xEC,  // entries 33-77
        0,
    },
    {
        0x84, 0x9F, 0x84, 0xA0, 0x84, 0xA1, 0x84, 0xA2, 0x84, 0xA3, 0x84, 0xA4, 0x84,
        0xA5, 0x84, 0xA6, 0x84, 0xA7, 0x84, 0xA8, 0x84, 0xA9, 0x84, 0xAA, 0x84, 0xAB,
        0x84, 0xAC, 0x84, 0xAD, 0x84, 0xAE, 0x84, 0xAF, 0x84, 0xB0, 0x84, 0xB1, 0x84,
        0xB2, 0x84, 0xB3, 0x84, 0xB4, 0x84, 0xB5, 0x84, 0xB6, 0x84, 0xB7, 0x84, 0xB8,
        0x84, 0xB9, 0x84, 0xBA, 0x84, 0xBB, 0x84, 0xBC, 0x84, 0xBD, 0x84, 0xBE,  // entries 1-32
        0x84, 0x9F, 0x84, 0xAA, 0x84, 0xA0, 0x84, 0xAB, 0x84, 0x9F, 0x84, 0xAA, 0x84,
        0xA0, 0x84, 0xAB, 0x84, 0xAC, 0x84, 0xAC, 0x84, 0xAD, 0x84, 0xAD, 0x84, 0xAF,
        0x84, 0xAF, 0x84, 0xAF, 0x84, 0xAE, 0x84, 0xAE, 0x84, 0xB0, 0x84, 0xB0, 0x84,
        0xB0, 0x84, 0xB0, 0x84, 0xB2, 0x84, 0xB2, 0x84, 0xB2, 0x84, 0xB2, 0x84, 0xB1,
        0x84, 0xB1, 0x84, 0xB1, 0x84, 0xB1, 0x84, 0xB3, 0x84, 0xB3, 0x84, 0xB3, 0x84,
        0xB3, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4,
        0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4, 0x84, 0xB4,  // entries 33-77
        0,
    },
};

namespace {

// What the walk makes of the pair `lead`, trail: the code of `to` in the first entry of `from`
// that holds it, or the pair as it is. Every code of a column has one lead byte (checked below),
// so 256 entries, one per trail byte, hold the whole map.
struct PairMap {
  unsigned char of[256][2];
  constexpr PairMap(const unsigned char* from, const unsigned char* to) : of() {
    for (unsigned trail = 0; trail < 256; ++trail) {
      of[trail][0] = from[0];
      of[trail][1] = static_cast<unsigned char>(trail);
    }
    for (std::size_t i = kRuledLineEntries; i-- > 0;) {  // backwards: the first match wins
      of[from[2 * i + 1]][0] = to[2 * i];
      of[from[2 * i + 1]][1] = to[2 * i + 1];
    }
  }
};
constexpr bool OneLeadByte(const unsigned char* codes) {
  for (std::size_t i = 0; i < kRuledLineEntries; ++i) {
    if (codes[2 * i] != codes[0]) return false;
  }
  return true;
}
// The walks look only at bytes equal to the first lead byte of a column.
static_assert(OneLeadByte(RuledLineTable.nec) && OneLeadByte(RuledLineTable.jis));

constexpr PairMap kNecToJis(RuledLineTable.nec, RuledLineTable.jis);
constexpr PairMap kJisToNec(RuledLineTable.jis, RuledLineTable.nec);

// Substitute through `map` for a text whose NUL stands at `end` or before. Every code that
// changes has the lead byte `lead`, so the walk goes from one such byte to the next and tells
// whether it starts a character by the bytes before it: one that cannot lead ends a character,
// and from there on the lead bytes pair up.
void MapPairs(unsigned char* p, const unsigned char* end, const PairMap& map, unsigned char lead) {
  const unsigned char* start = p;  // a character starts here, at or before the next `lead`
  for (;;) {
    p += FindByte(p, end, lead, 0) - p;  // the NUL stands at `end` if not before
    if (*p == 0) return;
    const unsigned char* q = p;
    while (q > start && IsSjisLeadByte(q[-1])) --q;
    if ((p - q) % 2 != 0) {  // a trail byte
      start = ++p;
      continue;
    }
    if (p[1] == 0) return;
    const unsigned char* to = map.of[p[1]];
    p[0] = to[0];
    p[1] = to[1];
    start = p += 2;
  }
}

constexpr unsigned char kEsc = 0x1B;
constexpr std::size_t kJisLine = static_cast<std::size_t>(-2);

// The substitution on Shift_JIS text from `s` to its NUL at `end`, into `out`: the bytes
// written, or kJisLine at an ESC $. kBlock: the text is whole lines (jis.h's blocks), and an
// ESC $ gives kNoBlock instead. A lead byte before a line's CR or LF needs no care: no ruled
// code has either as its second byte, so the pair stays as it is however it is cut.
template <bool kBlock>
std::size_t MapText(const unsigned char* s, const unsigned char* end, unsigned char* out,
                    const PairMap& map, unsigned char lead) {
  unsigned char* d = out;
  const unsigned char* start = s;  // a character starts here, at or before the next `lead`
  for (;;) {
    std::size_t n = CopyUntil(d, s, end, lead, 0, kEsc);
    s += n;
    d += n;
    if (*s == 0) {
      *d = 0;
      return static_cast<std::size_t>(d - out);
    }
    if (*s == kEsc && s[1] == '$') return kBlock ? kNoBlock : kJisLine;
    const unsigned char* q = s;
    while (q > start && IsSjisLeadByte(q[-1])) --q;
    // An ESC, a trail byte, or a lead byte whose trail is missing or an ESC (which must still
    // be seen) goes out as it is.
    if (*s == kEsc || (s - q) % 2 != 0 || s[1] == 0 || s[1] == kEsc) {
      *d++ = *s++;
      start = s;
      continue;
    }
    const unsigned char* to = map.of[s[1]];
    d[0] = to[0];
    d[1] = to[1];
    d += 2;
    start = s += 2;
  }
}

// Writes the line's result into `work` (4 x length + 4 bytes) and leaves `line` as it is, so
// that the frame may give it the output buffer for `work`.
LineText MappedStep(const char* line, std::size_t length, char* work, const PairMap& map,
                    unsigned char lead) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(line);
  unsigned char* const out = reinterpret_cast<unsigned char*>(work);
  std::size_t n = MapText<false>(s, s + length, out, map, lead);
  if (n != kJisLine) return {work, n, true};
  // The first ESC $ marks a JIS line: through Shift_JIS (kept after the room JIS needs) and back.
  unsigned char* sjis = out + 3 * length + 3;
  bool direct_sjis, direct_jis, kana;
  n = JisToSjisLine(reinterpret_cast<char*>(sjis), line, length, &direct_sjis);
  MapPairs(sjis, sjis + n, map, lead);
  n = SjisToJisLine(work, reinterpret_cast<char*>(sjis), n, &direct_jis, &kana);
  return {work, n, direct_sjis && direct_jis};
}

std::size_t MappedBlock(char* out, const char* in, std::size_t length, BlockMarks* marks,
                        const PairMap& map, unsigned char lead) {
  *marks = BlockMarks();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  return MapText<true>(s, s + length, reinterpret_cast<unsigned char*>(out), map, lead);
}

}  // namespace

LineText NecToJisStep(const char* line, std::size_t length, char* work) {
  return MappedStep(line, length, work, kNecToJis, RuledLineTable.nec[0]);
}

LineText JisToNecStep(const char* line, std::size_t length, char* work) {
  return MappedStep(line, length, work, kJisToNec, RuledLineTable.jis[0]);
}

std::size_t NecToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  return MappedBlock(out, in, length, marks, kNecToJis, RuledLineTable.nec[0]);
}

std::size_t JisToNecBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  return MappedBlock(out, in, length, marks, kJisToNec, RuledLineTable.jis[0]);
}

}  // namespace velko
