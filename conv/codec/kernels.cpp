#include "codec/kernels.h"

#include <cstdlib>
#include <cstring>

#include "codec/jis.h"

#if defined(_MSC_VER) && !defined(__clang__) && defined(_M_X64)
#include <intrin.h>
#endif

namespace velko {

namespace scalar {
extern const Kernels kKernels;
}
#ifdef VELKO_KERNELS_SSE2
namespace sse2 {
extern const Kernels kKernels;
}
#endif
#ifdef VELKO_KERNELS_AVX2
namespace avx2 {
extern const Kernels kKernels;
}
#endif

namespace {

#ifdef VELKO_KERNELS_AVX2
bool CpuHasAvx2() {
#if defined(_MSC_VER) && !defined(__clang__) && defined(_M_X64)
  int r[4];
  __cpuid(r, 0);
  if (r[0] < 7) return false;
  __cpuid(r, 1);
  const int popcnt = 1 << 23, osxsave = 1 << 27, avx = 1 << 28;
  if ((r[2] & (popcnt | osxsave | avx)) != (popcnt | osxsave | avx)) return false;
  if ((_xgetbv(0) & 6) != 6) return false;  // the system saves the YMM registers
  __cpuidex(r, 7, 0);
  return (r[1] & (1 << 5)) != 0;
#elif defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  // Checks the system's support of the YMM registers too. The AVX2 kernels count bits with
  // POPCNT, which every AVX2 CPU has.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}
#endif

// The widest this build has and the CPU runs.
const Kernels* Best() {
  const Kernels* best = &scalar::kKernels;
  for (Isa isa : kIsas) {
    if (const Kernels* k = KernelsFor(isa)) best = k;
  }
  return best;
}

// Chosen at the first call; the environment may ask for one the CPU can run.
const Kernels* Chosen() {
  const Kernels* k = Best();
  if (const char* wanted = std::getenv("VELKO_ISA")) {
    for (Isa isa : kIsas) {
      const Kernels* candidate = KernelsFor(isa);
      if (candidate != nullptr && std::strcmp(candidate->name, wanted) == 0) k = candidate;
    }
  }
  return k;
}

const Kernels*& Active() {
  static const Kernels* active = Chosen();
  return active;
}

}  // namespace

const Kernels* KernelsFor(Isa isa) {
  switch (isa) {
    case Isa::kScalar:
      return &scalar::kKernels;
    case Isa::kSse2:
#ifdef VELKO_KERNELS_SSE2
      return &sse2::kKernels;
#else
      return nullptr;
#endif
    case Isa::kAvx2:
#ifdef VELKO_KERNELS_AVX2
      if (CpuHasAvx2()) return &avx2::kKernels;
#endif
      return nullptr;
  }
  return nullptr;
}

const Kernels& ActiveKernels() { return *Active(); }

bool UseKernels(Isa isa) {
  const Kernels* k = KernelsFor(isa);
  if (k == nullptr) return false;
  Active() = k;
  return true;
}

std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana) {
  return Active()->sjis_to_jis_line(out, in, length, direct, kana);
}

std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct) {
  return Active()->jis_to_sjis_line(out, in, length, direct);
}

std::size_t SjisToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  return Active()->sjis_to_jis_block(out, in, length, marks);
}

std::size_t JisToSjisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  return Active()->jis_to_sjis_block(out, in, length, marks);
}

std::size_t SjisToJisKanaBlock(char* out, const char* in, std::size_t length, BlockMarks* marks,
                               Kana kana) {
  return Active()->sjis_to_jis_kana_block(out, in, length, marks, kana);
}

std::size_t PlainLines(const char* text, std::size_t length, bool windows, std::size_t limit,
                       unsigned long long* lines) {
  return Active()->plain_lines(text, length, windows, limit, lines);
}

std::size_t SjisToJisLines(char* out, char* in, std::size_t length, bool windows,
                           std::size_t limit, BlockTaken* taken) {
  return Active()->sjis_to_jis_lines(out, in, length, windows, limit, taken);
}

}  // namespace velko
