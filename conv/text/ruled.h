// Exchange of NEC and JIS ruled-line (box-drawing) characters.
#ifndef VELKO_CONV_TEXT_RULED_H
#define VELKO_CONV_TEXT_RULED_H

#include <cstddef>

#include "text/frame.h"

namespace velko {

constexpr std::size_t kRuledLineEntries = 77;

// Two parallel columns of two-byte Shift_JIS codes, lead byte first, each ended by a zero
// byte. Entry i of one column pairs with entry i of the other.
struct RuledLineColumns {
  unsigned char nec[kRuledLineEntries * 2 + 1];
  unsigned char jis[kRuledLineEntries * 2 + 1];
};
extern const RuledLineColumns RuledLineTable;

// The two commands' line steps. Every code of the one column found on a character boundary
// becomes the code of the same entry in the other; the first entry that holds it wins. A line
// holding ESC $ is taken as JIS: it is converted to Shift_JIS, substituted, and written as
// SjisToJisLine writes it. `line` has its NUL at line[length] and is left as it is; the result
// is in `work` (4 x length + 4 bytes).
LineText NecToJisStep(const char* line, std::size_t length, char* work);
LineText JisToNecStep(const char* line, std::size_t length, char* work);
// The same over a block of whole lines (jis.h); kNoBlock for a JIS line among them.
std::size_t NecToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);
std::size_t JisToNecBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);

}  // namespace velko

#endif
