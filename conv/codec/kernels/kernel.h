// What each kernel file declares, in the namespace of the instruction set it is compiled for.
#ifndef VELKO_CONV_KERNELS_KERNEL_H
#define VELKO_CONV_KERNELS_KERNEL_H

#include <cstddef>

#include "codec/jis.h"
#include "codec/kernels.h"
#include "codec/simd.h"

#if VELKO_SIMD && defined(__AVX2__)
#define VELKO_ISA avx2
#define VELKO_ISA_ENUM Isa::kAvx2
#define VELKO_ISA_NAME "avx2"
#elif VELKO_SIMD
#define VELKO_ISA sse2
#define VELKO_ISA_ENUM Isa::kSse2
#define VELKO_ISA_NAME "sse2"
#else
#define VELKO_ISA scalar
#define VELKO_ISA_ENUM Isa::kScalar
#define VELKO_ISA_NAME "scalar"
#endif

namespace velko::VELKO_ISA {

std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana);
std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct);
std::size_t SjisToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);
std::size_t JisToSjisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks);
std::size_t SjisToJisKanaBlock(char* out, const char* in, std::size_t length, BlockMarks* marks,
                               Kana kana);
std::size_t SjisToJisLines(char* out, char* in, std::size_t length, bool windows,
                           std::size_t limit, BlockTaken* taken);
// The longest run of whole lines from the start of `text`, each ended by its LF, that the text
// rules leave as they are (no NUL; with `windows`, no 0x1A and every LF after a CR), none of
// `limit` bytes or more; `*lines` gets their count.
std::size_t PlainLines(const char* text, std::size_t length, bool windows, std::size_t limit,
                       unsigned long long* lines);
// Decodes whole blocks from the start of `text` while they hold only alphabet characters (no
// '='), keeping 4 characters unread after the last; returns the characters read, 4/3 of the
// bytes written.
std::size_t DecodeBase64Blocks(unsigned char* out, const char* text, std::size_t length);
std::size_t DecodeBase64Lines(unsigned char* out, const char* text, std::size_t length,
                              std::size_t max_line, bool whole_groups, Base64Lines* run);

extern const Kernels kKernels;

}  // namespace velko::VELKO_ISA

#endif
