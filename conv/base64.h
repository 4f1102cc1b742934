// The one Base64 decoder, shared by the in-line expansion and the attachment extraction.
#ifndef VELKO_CONV_BASE64_H
#define VELKO_CONV_BASE64_H

#include <cstddef>

namespace velko {

// The value of every byte outside the alphabet and '='.
constexpr unsigned char NotBase64 = 255;

// 0-63 for the alphabet, 0 for '=', NotBase64 for everything else (bytes 0x80-0xFF included).
unsigned char Base64Value(unsigned char byte);

// Decodes the four bytes at `group` into exactly three bytes at `out`; returns how many count
// (1 when the third and fourth are '=', 2 when only the fourth is, else 3). Values are not
// checked: NotBase64 enters the arithmetic like any other value.
int DecodeBase64Group(const char* group, unsigned char* out);

// True when no byte of the NUL-terminated text is NotBase64 (so true for "").
bool IsBase64Text(const char* text);

// How many bytes from the start of the text are of the alphabet or '=' (stops at the NUL):
// the text is Base64 text when the byte there is its NUL.
std::size_t Base64Span(const char* text);

// Decodes the NUL-terminated text group after group (padding does not stop it), writes the
// counted bytes and a NUL to `out`, and returns their number. `out` needs 3 x ceil(len / 4) + 1
// bytes. A short last group reads nothing past the NUL: its missing places count as '=', so
// two or three characters give one or two bytes, and a single one gives none.
std::size_t DecodeBase64(unsigned char* out, const char* text);

// The same for the first `length` bytes of `text`, which must hold no NUL.
std::size_t DecodeBase64Length(unsigned char* out, const char* text, std::size_t length);

// Base64Span and DecodeBase64Length, byte for byte, the fast way: the span sixteen bytes at a
// time where the CPU allows (`text` has its NUL at text[length] or before), the groups by one
// table look-up per character and no branch per group.
std::size_t Base64SpanFast(const char* text, std::size_t length);
std::size_t DecodeBase64Fast(unsigned char* out, const char* text, std::size_t length);

}  // namespace velko

#endif
