// Exchange of NEC and JIS ruled-line (box-drawing) characters.
#ifndef VELKO_CONV_RULED_H
#define VELKO_CONV_RULED_H

#include <cstddef>

#include "frame.h"

namespace velko {

constexpr std::size_t kRuledLineEntries = 77;

// Two parallel columns of two-byte Shift_JIS codes, lead byte first, each ended by a zero
// byte. Entry i of one column pairs with entry i of the other.
struct RuledLineColumns {
  unsigned char nec[kRuledLineEntries * 2 + 1];
  unsigned char jis[kRuledLineEntries * 2 + 1];
};
extern const RuledLineColumns RuledLineTable;

// Rewrite a NUL-terminated Shift_JIS string in place; its length never changes.
// The scan stays on character boundaries from the start of the string; the first match wins.
char* NecToJisRuledLines(char* text);
char* JisToNecRuledLines(char* text);

using RuledLineSubstitution = char* (*)(char* text);

// Line step of both ruled-line commands. A line holding ESC $ is taken as JIS: it goes through
// `work` as Shift_JIS and comes back re-encoded. The result is left in `line`.
// `line` must hold 3 x strlen(line) + 3 bytes, `work` strlen(line) + 1.
void RuledLineStep(char* line, char* work, RuledLineSubstitution substitution);

// The two commands' line steps: RuledLineStep with the substitution of its direction, one
// table look-up per double-byte character. `line` has its NUL at line[length] and is left as
// it is; the result is in `work` (4 x length + 4 bytes).
LineText NecToJisStep(const char* line, std::size_t length, char* work);
LineText JisToNecStep(const char* line, std::size_t length, char* work);

}  // namespace velko

#endif
