// The kernels of the instruction set this file is compiled for (kernel.h).
#include "kernel.h"

#if VELKO_SIMD && defined(__AVX2__)
// On lines, whose runs are short, the sixteen-byte loops beat the thirty-two-byte ones
// (bench/kernels.cpp: 630 against 550 MB/s on mixed text): AVX2 takes SSE2's.
namespace velko::sse2 {
std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana);
std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct);
}  // namespace velko::sse2
#define VELKO_LINES sse2
#else
#define VELKO_LINES VELKO_ISA
#endif

namespace velko::VELKO_ISA {

const Kernels kKernels = {VELKO_ISA_ENUM,
                          VELKO_ISA_NAME,
                          VELKO_LINES::SjisToJisLine,
                          VELKO_LINES::JisToSjisLine,
                          SjisToJisBlock,
                          JisToSjisBlock,
                          SjisToJisKanaBlock,
                          SjisToJisLines,
                          PlainLines,
                          DecodeBase64Blocks,
                          DecodeBase64Lines};

}  // namespace velko::VELKO_ISA
