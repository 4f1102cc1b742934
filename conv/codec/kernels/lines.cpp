// The run of whole lines a block form may take at once, compiled once per instruction set.
#include <cstdint>

#include "kernel.h"

namespace velko::VELKO_ISA {

std::size_t PlainLines(const char* text, std::size_t length, bool windows, std::size_t limit,
                       unsigned long long* lines) {
  const unsigned char* const p = reinterpret_cast<const unsigned char*>(text);
  // The lines end where the first byte the rules treat apart stands, or the first LF after
  // too long a line; a LF first of all has its CR, if any, before the text.
  std::size_t line_start = 0, good = 0, i = 0;
  unsigned long long count = 0;
  bool too_long = false;
#if VELKO_SIMD
  std::uint32_t after_cr = 0;  // a CR before the vector, at the place of its first byte
  // A limit below the width would let a later line of a vector be long too: bytes one by one.
  for (; i + simd::kWidth <= length && !too_long && limit > simd::kWidth; i += simd::kWidth) {
    const simd::V v = simd::Load(p + i);
    const std::uint32_t lf = simd::Mask(simd::Eq(v, '\n'));
    std::uint32_t bad = simd::Mask(simd::Eq(v, 0));
    if (windows) {
      const std::uint32_t crs = simd::Mask(simd::Eq(v, '\r'));
      bad |= simd::Mask(simd::Eq(v, 0x1A)) | (lf & ~(crs << 1 | after_cr));
      after_cr = crs >> (simd::kWidth - 1);
    }
    if (bad != 0) break;  // the bytes below find where
    // Only the first line ending here can be long: the others are shorter than the vector.
    // Lines are short, so this is rarely looked at, and nothing below waits on a branch.
    if (i + simd::kWidth - line_start >= limit && lf != 0 &&
        i + simd::First(lf) + 1 - line_start >= limit) {
      too_long = true;
      break;
    }
    // By masks: a branch on whether the vector holds a LF would fail on every other line.
    const std::size_t has_lf = 0 - static_cast<std::size_t>(lf != 0);
    line_start = (line_start & ~has_lf) | ((i + simd::Last(lf | 1) + 1) & has_lf);
    count += simd::Count(lf);
  }
  good = line_start;
#endif
  bool cr = i > 0 && p[i - 1] == '\r';  // the byte before is a CR
  for (; i < length && !too_long; ++i) {
    const unsigned char c = p[i];
    if (c == '\n') {
      if ((windows && !cr) || i + 1 - line_start >= limit) break;
      line_start = good = i + 1;
      ++count;
    } else if (c == 0 || (windows && c == 0x1A)) {
      break;
    }
    cr = c == '\r';
  }
  // Every line counted ends within `good`: a line cut off after the last LF was not counted.
  *lines = count;
  return good;
}

}  // namespace velko::VELKO_ISA
