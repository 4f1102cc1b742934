// The one Base64 decoder, shared by the in-line expansion and the attachment extraction.
#ifndef VELKO_CONV_BASE64_H
#define VELKO_CONV_BASE64_H

#include <cstddef>

namespace velko {

// How many of the first `length` bytes of `text` are, from the start, of the alphabet or '=';
// `text` has a NUL at text[length] or before, and the span stops there too.
std::size_t Base64Span(const char* text, std::size_t length);

// Decodes the first `length` bytes of `text` (no NUL among them) group after group; padding
// does not stop it: a group counts 1 byte when its third and fourth places are '=', 2 when
// only its fourth is, else 3, and every byte outside the alphabet enters as 255. A short last
// group counts its missing places as '=' and gives one byte fewer than its characters (none
// for one). Writes the bytes and a NUL to `out` (3 x ceil(length / 4) + 1 bytes) and returns
// their number. Sixteen characters at a time where the CPU allows.
std::size_t DecodeBase64(unsigned char* out, const char* text, std::size_t length);

}  // namespace velko

#endif
