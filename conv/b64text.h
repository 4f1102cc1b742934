// In-line expansion of Base64 MIME encoded words.
#ifndef VELKO_CONV_B64TEXT_H
#define VELKO_CONV_B64TEXT_H

#include <cstddef>

#include "frame.h"

namespace velko {

constexpr char kPrefixIso2022Jp[] = "=?ISO-2022-JP?B?";
constexpr char kPrefixShiftJis[] = "=?shift_jis?B?";

// The prefix the next expansion pass looks for (letter case does not matter).
extern const char* EncodedWordPrefix;
// The closing marker of every encoded word.
extern const char* const EncodedWordSuffix;

// Writes `byte` over the string's NUL and a new NUL after it.
void AppendChar(char* string, char byte);

// Writes `in` to `out` with every encoded word of EncodedWordPrefix replaced by its decoded
// bytes (up to the first zero byte among them). Overwrites the '?' of each closing "?=" it
// uses in `in` with NUL. A prefix with no "?=" after it leaves the rest of the text as it is.
// `out` needs strlen(in) + 1 bytes and must not overlap `in`.
void ExpandEncodedWords(char* out, char* in);

// Line step of BTN_B64TEXT: ISO-2022-JP words from `line` into `work`, then shift_jis words
// back into `line`. Both buffers need strlen(line) + 1 bytes.
void B64TextStep(char* line, char* work);

// B64TextStep for a line whose NUL stands at line[length], leaving it as it is: the result is
// in `work` (2 x length + 2 bytes). A line with no "=?" before its first NUL, the most of them,
// is copied without the two passes.
LineText B64TextLineStep(const char* line, std::size_t length, char* work);

}  // namespace velko

#endif
