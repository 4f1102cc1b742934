// The converters' inner loops, compiled once per instruction set and chosen once, at the
// first call, from what the CPU reports. VELKO_ISA=scalar|sse2|avx2 in the environment asks
// for one (tests, benchmarks, bug reports); a set the CPU lacks is never chosen.
#ifndef VELKO_CONV_CODEC_KERNELS_H
#define VELKO_CONV_CODEC_KERNELS_H

#include <cstddef>

namespace velko {

struct BlockMarks;
struct BlockTaken;
struct Base64Lines;
enum class Kana : unsigned char;

enum class Isa { kScalar, kSse2, kAvx2 };
constexpr Isa kIsas[] = {Isa::kScalar, Isa::kSse2, Isa::kAvx2};

struct Kernels {
  Isa isa;
  const char* name;
  std::size_t (*sjis_to_jis_line)(char* out, const char* in, std::size_t length, bool* direct,
                                  bool* kana);
  std::size_t (*jis_to_sjis_line)(char* out, const char* in, std::size_t length, bool* direct);
  // The same over whole lines, each ended by its LF, NUL after the last: the line results one
  // after the other, or kNoBlock when a line needs the line step (jis.h).
  std::size_t (*sjis_to_jis_block)(char* out, const char* in, std::size_t length, BlockMarks* marks);
  std::size_t (*jis_to_sjis_block)(char* out, const char* in, std::size_t length, BlockMarks* marks);
  // Shift_JIS to JIS with half-width kana as `kana` says (jis.h's SjisToJisKanaBlock).
  std::size_t (*sjis_to_jis_kana_block)(char* out, const char* in, std::size_t length,
                                        BlockMarks* marks, Kana kana);
  // SjisToJisBlock over lines as read (jis.h's SjisToJisLines).
  std::size_t (*sjis_to_jis_lines)(char* out, char* in, std::size_t length, bool windows,
                                   std::size_t limit, BlockTaken* taken);
  // The run of whole lines a block form may take (kernel.h's PlainLines).
  std::size_t (*plain_lines)(const char* text, std::size_t length, bool windows, std::size_t limit,
                             unsigned long long* lines);
  // Base64 blocks while they hold only alphabet characters; returns the characters read.
  std::size_t (*decode_base64_blocks)(unsigned char* out, const char* text, std::size_t length);
  // Whole lines of Base64 alone, each checked and decoded in one pass (base64.h).
  std::size_t (*decode_base64_lines)(unsigned char* out, const char* text, std::size_t length,
                                     std::size_t max_line, bool whole_groups, Base64Lines* run);
};

// The kernels of `isa`, or null when this build has none for it or the CPU cannot run them.
const Kernels* KernelsFor(Isa isa);
// The kernels in use.
const Kernels& ActiveKernels();
// Use the kernels of `isa` from now on; false (and nothing changed) when KernelsFor has none.
bool UseKernels(Isa isa);

// The longest run of whole lines from the start of `text` (`length` bytes), each ended by its
// LF, that the text rules leave as they are: no NUL; with `windows`, no 0x1A and every LF after
// a CR (one first of all counts as without); none of `limit` bytes or more with its LF. Returns
// its length; `*lines` gets their count.
std::size_t PlainLines(const char* text, std::size_t length, bool windows, std::size_t limit,
                       unsigned long long* lines);

}  // namespace velko

#endif
