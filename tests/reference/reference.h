// The commands' line steps, the decoder and the reader as reference procedures: one byte at a
// time over NUL-terminated strings, no tables, no wide loads. The tests and the fuzz targets hold
// the product's code to these.
#ifndef VELKO_TESTS_REFERENCE_H
#define VELKO_TESTS_REFERENCE_H

#include <cstddef>
#include <string>
#include <vector>

namespace velko::reference {

// `out` needs 3 x strlen(in) + 3 bytes. A lead byte right before the NUL goes out as it is.
void SjisToJisLine(char* out, const char* in);
// `out` needs strlen(in) + 1 bytes. An odd byte left in an unclosed run is copied as it is.
void JisToSjisLine(char* out, const char* in);
// In place, NEC to JIS codes or back; the first table entry that matches wins. A line holding
// ESC $ goes through `work` as Shift_JIS and back: `line` needs 3 x strlen + 3 bytes.
void RuledLineStep(char* line, char* work, bool nec_to_jis);
// ISO-2022-JP words from `line` into `work`, then shift_jis words back into `line`; a prefix
// without "?=" after it leaves the rest as it is.
void B64TextStep(char* line, char* work);

// Bytes of the alphabet or '=' from the start.
std::size_t Base64Span(const char* text);
// Group after group; a short last group counts its missing places as '=' and gives one byte
// fewer than its characters (none for one). Writes a NUL after the bytes; returns their number.
std::size_t DecodeBase64(unsigned char* out, const char* text);

// The pieces fgets stores: at most limit - 1 bytes each, ended by a LF; with `text` CR LF reads
// as LF and a 0x1A ends the read (the file, when it comes first).
std::vector<std::string> Reads(const std::string& in, bool text, std::size_t limit = 10000);

}  // namespace velko::reference

#endif
