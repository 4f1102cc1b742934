// Small byte helpers every part of the program shares: ASCII letters without case, a name cut
// to fit or put in another charset.
#ifndef VELKO_CONV_CODEC_BYTES_H
#define VELKO_CONV_CODEC_BYTES_H

#include <cstddef>
#include <string>

#include "velko/codec.h"
#include "velko/utf8.h"

namespace velko {

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The first `n` bytes of `text` are `word`'s, ASCII letters compared without case; a NUL in
// `text` before that is a mismatch.
bool StartsWithNoCase(const char* text, const char* word, std::size_t n);
// The same for the whole NUL-terminated `word`.
bool StartsWithNoCase(const char* text, const char* word);
// The `n` bytes at `text` are the NUL-terminated `word`, letters without case.
bool EqualNoCase(const char* text, std::size_t n, const char* word);
// The first place of `word` in `text`, letters without case; null when there is none.
const char* FindNoCase(const char* text, const char* word);

// Appends `text` (`length` bytes) to the NUL-terminated `name` (`size` bytes) as whole UTF-8
// characters only, '_' for each sequence that is none; stops before a character that does not
// fit.
void AppendUtf8(char* name, std::size_t size, const char* text, std::size_t length);

// Appends `text` (`length` bytes of `from`) to `out` in `to`: each sequence that is no character
// of `from`, or a character `to` has no code for, as the ASCII `replacement`. For names, where
// VELKO's own tables must read them as its commands do.
void AppendRecoded(std::string* out, Charset from, Charset to, const char* text, std::size_t length,
                   char replacement);

// The bytes of a control character that starts at `text`, 0 for any other: C0 and DEL, and in
// UTF-8 the C1 controls and the bidirectional controls (U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069), which make a name or a line show as another.
std::size_t ControlLength(const char* text, bool utf8);

// The bytes of the character that starts at `text`, in Shift_JIS (`sjis`) or UTF-8; never 0.
std::size_t CharacterLength(const char* text, bool sjis);

// The longest start of `text` (`length` bytes) of whole characters that fits in `limit` bytes.
std::size_t FitCharacters(const char* text, std::size_t length, std::size_t limit, bool sjis);

// The length `name` (`length` bytes) keeps when it must fit in `limit` bytes: whole characters
// of its stem, then its extension (from its last '.', not its first byte, 32 bytes at most),
// which `*ext` receives as an offset into `name` (`length` when it keeps none). The result is
// the stem's kept length; the name is then stem, extension.
std::size_t CutKeepingExtension(const char* name, std::size_t length, std::size_t limit, bool sjis,
                                std::size_t* ext);

}  // namespace velko

#endif
