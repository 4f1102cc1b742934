// In-line expansion of Base64 MIME encoded words.
#ifndef VELKO_CONV_TEXT_B64TEXT_H
#define VELKO_CONV_TEXT_B64TEXT_H

#include <cstddef>

#include "text/frame.h"

namespace velko {

// The two prefixes, expanded in this order (letter case does not matter), and the closing marker.
constexpr char kPrefixIso2022Jp[] = "=?ISO-2022-JP?B?";
constexpr char kPrefixShiftJis[] = "=?shift_jis?B?";
constexpr char EncodedWordSuffix[] = "?=";

// Line step of BTN_B64TEXT: the ISO-2022-JP words of the line, then the shift_jis words of that
// result, each replaced by its decoded bytes up to the first zero byte among them; a prefix
// with no "?=" after it leaves the rest as it is. `line` has its NUL at line[length] or before
// and is left as it is; the result is in `work` (2 x length + 2 bytes).
LineText B64TextStep(const char* line, std::size_t length, char* work);
// The same over whole lines, each ended by its LF (frame.h's blocks): no line is longer for
// it, and the room past the block's length is the first pass's.
std::size_t B64TextBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);

}  // namespace velko

#endif
