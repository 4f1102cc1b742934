// The Shift_JIS <-> JIS line converters, compiled once per instruction set (kernel.h).
#include <cstdint>

#include "codec/jis.h"
#include "kernel.h"

namespace velko {
namespace VELKO_ISA {
namespace {

constexpr unsigned char kEsc = 0x1B;

}  // namespace

#if VELKO_SIMD
namespace {

using simd::V;

// SjisCharToJis of the pairs in `v`, lead bytes at the even places.
inline V SjisPairsToJis(V v) {
  V t = simd::Add8(v, simd::Negative(v));  // a trail byte over 0x7F counts one less
  V carry = simd::AtLeast(t, 0x9E);
  V trail = simd::Sub8(simd::Sub8(t, simd::Splat(0x1F)), simd::And(carry, simd::Splat(0x5E)));
  // 2 x lead + 0x1F below 0xA0, + 0x9F above; the trail's carry moves one place down.
  V lead = simd::Add8(simd::Add8(v, v), simd::Splat(0x1F));
  lead = simd::Add8(lead, simd::And(simd::AtLeast(v, 0xA0), simd::Splat(0x80)));
  lead = simd::Sub8(lead, simd::NextByte(carry));
  const V low = simd::Splat16(0x00FF);
  return simd::Or(simd::And(low, lead), simd::AndNot(low, trail));
}

// JisCharToSjis of the pairs in `v`, first bytes at the even places.
inline V JisPairsToSjis(V v) {
  const V one = simd::Splat(1);
  V d = simd::And(simd::Srli16<1>(simd::Sub8(v, one)), simd::Splat(0x7F));
  V first = simd::Add8(d, simd::Splat(0x71));
  first = simd::Add8(first, simd::AndNot(simd::InRange(d, 0, 0x2E), simd::Splat(0x40)));
  // An odd first byte: second + 0x1F, one more from 0x60 on; even: + 0x7D, one more from 2 on.
  V odd = simd::PreviousByte(simd::EqV(simd::And(v, one), one));
  V add = simd::Or(simd::And(odd, simd::Splat(0x1F)), simd::AndNot(odd, simd::Splat(0x7D)));
  V from = simd::Or(simd::And(odd, simd::Splat(0x60)), simd::AndNot(odd, simd::Splat(0x02)));
  V second = simd::Add8(v, add);
  second = simd::Sub8(second, simd::EqV(simd::MaxU8(v, from), v));
  const V low = simd::Splat16(0x00FF);
  return simd::Or(simd::And(low, first), simd::AndNot(low, second));
}

// How many of the places, two by two, hold a pair: first bytes in `firsts`, second bytes
// non-zero.
constexpr std::uint32_t kEven = static_cast<std::uint32_t>(0x5555555555555555ull & simd::kAll);
inline unsigned LeadingPairs(std::uint32_t firsts, std::uint32_t zeros) {
  std::uint32_t good = firsts & ~(zeros >> 1) & kEven;
  std::uint32_t bad = ~good & kEven;
  return bad == 0 ? simd::kWidth / 2 : simd::First(bad) / 2;
}
constexpr unsigned kPairs = simd::kWidth / 2;
inline std::uint32_t Below(unsigned n) {  // the mask of the first n places
  return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1;
}

}  // namespace
#endif

namespace {

// A byte that ends a line: in a block, a character must not take one in.
inline bool LineEnd(unsigned char c) { return c == '\n' || c == '\r'; }

// The lines of a block that hold half-width kana, told by their place: LFs are counted once,
// from where the last count stopped, and not at all for more kana in a line already told.
class KanaLines {
 public:
  KanaLines(const unsigned char* start, const unsigned char* end, BlockMarks* marks)
      : counted_(start), end_(end), marks_(marks) {}
  void At(const unsigned char* p) {
    if (p < line_end_) return;
    for (; counted_ < p; ++counted_) line_ += *counted_ == '\n';
    if (marks_->lines++ == 0) marks_->first = line_;
    line_end_ = FindByte(p, end_, '\n');
    told_ = p;
  }
  // The lines from `from` on were not taken after all: the last one told may be among them.
  void Forget(const unsigned char* from) {
    if (told_ != nullptr && told_ >= from) --marks_->lines;
  }

 private:
  const unsigned char* told_ = nullptr;  // the kana of the last line told
  const unsigned char* counted_;  // the LFs before it are in line_
  const unsigned char* end_;
  const unsigned char* line_end_ = nullptr;  // the LF of the last line told
  unsigned long long line_ = 0;
  BlockMarks* marks_;
};

#if VELKO_SIMD && defined(__AVX2__)
// Shift_JIS to JIS sixteen bytes at a time with no branch on the text: each byte's part (single,
// lead, trail) from carry arithmetic on the lead-byte mask, every byte converted as its part
// says, and the escapes placed by a byte shuffle chosen per eight bytes.
namespace windows {

// For eight bytes: which of them an escape goes before, and whether a double-byte run is open
// before the first (the escapes alternate, so that tells each one's kind). The shuffle takes
// from [8 converted bytes, ESC, '$', 'B', '(', 'J'].
struct Shuffles {
  alignas(32) unsigned char control[512][32];
  unsigned char length[512];
  constexpr Shuffles() : control(), length() {
    for (unsigned index = 0; index < 512; ++index) {
      bool open = index & 256;
      unsigned n = 0;
      for (unsigned i = 0; i < 8; ++i) {
        if (index & (1u << i)) {
          control[index][n++] = 8;
          control[index][n++] = open ? 11 : 9;
          control[index][n++] = open ? 12 : 10;
          open = !open;
        }
        control[index][n++] = static_cast<unsigned char>(i);
      }
      length[index] = static_cast<unsigned char>(n);
      while (n < 32) control[index][n++] = 0x80;
    }
  }
};
constexpr Shuffles kShuffles;

inline __m256i Splat(int c) { return _mm256_set1_epi8(static_cast<char>(c)); }

inline std::uint64_t Bits(__m256i v) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

// 0xFF in the bytes whose bit of `mask` is set.
inline __m256i Spread(std::uint64_t mask) {
  const __m256i bytes = _mm256_shuffle_epi8(
      _mm256_set1_epi32(static_cast<int>(mask)),
      _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3,
                       3, 3, 3, 3, 3, 3, 3));
  const __m256i bits = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
  return _mm256_cmpeq_epi8(_mm256_and_si256(bytes, bits), bits);
}

inline __m256i Between(__m256i v, unsigned char lo, unsigned char hi) {
  const __m256i x = _mm256_sub_epi8(v, Splat(lo));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(x, Splat(hi - lo)), x);
}

// The 32 bytes before `x`'s, the last of `last` first.
inline __m256i Previous(__m256i x, __m256i last) {
  return _mm256_alignr_epi8(x, _mm256_permute2x128_si256(last, x, 0x21), 15);
}

constexpr std::uint64_t kEvenBits = 0x55555555, kOddBits = 0xAAAAAAAA, kWindow = 0xFFFFFFFF;

struct State {
  bool open = false;   // the byte before is of a double-byte character
  bool carry = false;  // ... and its lead byte: this one is the trail
  __m256i last = _mm256_setzero_si256();  // the bytes before, the last of them at place 31
};

enum class Stop { kEnd, kNoBlock, kKana };

// The text rules over raw lines, window by window (PlainLines' rules), and where the last line
// that the windows took whole ends, in the input and in the output.
struct Lines {
  const unsigned char* start;  // of the text
  bool windows;                // the Windows text rules
  std::size_t limit;           // more than 64
  std::uint64_t after_cr = 0;  // a CR before the window, at the place of its first byte
  std::size_t line_start = 0;  // after the last LF taken
  unsigned char* line_out;     // where its output ends
  unsigned long long lines = 0;

  // The LFs of the window at `s`, or ~0 when it holds a byte the rules treat apart or ends a
  // line too long.
  std::uint64_t Check(__m256i x, const unsigned char* s) {
    const std::uint64_t lf = Bits(_mm256_cmpeq_epi8(x, Splat('\n')));
    std::uint64_t bad = Bits(_mm256_cmpeq_epi8(x, _mm256_setzero_si256()));
    if (windows) {
      const std::uint64_t cr = Bits(_mm256_cmpeq_epi8(x, Splat('\r')));
      bad |= Bits(_mm256_cmpeq_epi8(x, Splat(0x1A))) | (lf & ~((cr << 1) | after_cr) & kWindow);
      after_cr = cr >> 31;
    }
    // Only the first line ending here can be too long: the others are shorter than a window.
    const std::size_t at = static_cast<std::size_t>(s - start);
    if (at + 32 - line_start >= limit &&
        (lf == 0 || at + simd::First(static_cast<std::uint32_t>(lf)) + 1 - line_start >= limit)) {
      bad = 1;
    }
    return bad != 0 ? ~0ull : lf;
  }
  // After the window at `s`, written from `out` with escapes before the bytes `escapes_at`.
  void Took(const unsigned char* s, std::uint64_t lf, unsigned char* out, std::uint64_t escapes_at) {
    // By masks: a branch on whether the window holds a LF would fail on every other line.
    const unsigned last = simd::Last(static_cast<std::uint32_t>(lf | 1));
    const std::size_t has = 0 - static_cast<std::size_t>(lf != 0);
    const std::size_t after = static_cast<std::size_t>(s - start) + last + 1;
    unsigned char* const end = out + last + 1 + 3 * simd::Count(static_cast<std::uint32_t>(
                                                     escapes_at & ((2ull << last) - 1)));
    line_start = (line_start & ~has) | (after & has);
    line_out = lf != 0 ? end : line_out;
    lines += simd::Count(static_cast<std::uint32_t>(lf));
  }
};

// Converts from `*s` while 64 bytes or more are left, so that the last window's stores stay
// within the 3 x length + 4 bytes of room: kEnd. kNoBlock at a trail byte that is a CR, a LF
// or a NUL, or becomes a LF or a NUL. kStopAtKana: kKana before a window with half-width
// kana, `*s` at its start, for a caller that writes them another way.
// `lines`: the text is raw lines, checked here as the windows go (kNoBlock at a window that
// holds a byte the rules treat apart).
template <bool kStopAtKana, typename Kana>
Stop Convert(const unsigned char*& s, const unsigned char* end, unsigned char*& d, State& st,
             unsigned& half, Kana&& kana_at, Lines* lines = nullptr) {
  const __m128i escapes = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, kEsc, '$', 'B', '(', 'J', 0, 0, 0);
  const __m128i low8 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0);
  for (; end - s >= 64; s += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const std::uint64_t lf = lines ? lines->Check(x, s) : 0;
    if (lf == ~0ull) return Stop::kNoBlock;
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 1));
    const __m256i prev = Previous(x, st.last);
    std::uint64_t m = Bits(_mm256_or_si256(Between(x, 0x81, 0x9F), Between(x, 0xE0, 0xFC)));
    const std::uint64_t first_trail = st.carry ? 1u : 0u;
    m &= ~first_trail;
    // Leads stand at even distances from the start of each run of lead-class bytes.
    const std::uint64_t starts = m & ~(m << 1);
    const std::uint64_t even_runs = m & ~(m + (starts & kEvenBits));
    const std::uint64_t leads = ((even_runs & kEvenBits) | (m & ~even_runs & ~kEvenBits)) & kWindow;
    const std::uint64_t trails = ((leads << 1) | first_trail) & kWindow;
    const std::uint64_t in_pair = leads | trails;
    const std::uint64_t pair_before = ((in_pair << 1) | (st.open ? 1u : 0u)) & kWindow;
    const std::uint64_t escapes_at = (leads & ~pair_before) | (~in_pair & pair_before & kWindow);
    // A trail that the line step would not take, or that becomes a LF or a NUL.
    __m256i bad = _mm256_or_si256(_mm256_cmpeq_epi8(x, Splat('\n')), _mm256_cmpeq_epi8(x, Splat('\r')));
    bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(x, _mm256_setzero_si256()));
    bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(x, Splat(')')));
    bad = _mm256_or_si256(bad, _mm256_cmpeq_epi8(x, Splat(0x1F)));
    if ((Bits(bad) & trails) != 0) return Stop::kNoBlock;
    const std::uint64_t kana_bytes = Bits(Between(x, 0xA1, 0xDF)) & ~in_pair;
    if (kStopAtKana && kana_bytes != 0) return Stop::kKana;
    st.last = x;
    for (std::uint64_t k = kana_bytes; k != 0; k &= k - 1) {
      kana_at(s + simd::First(static_cast<std::uint32_t>(k)));
    }
    half |= kana_bytes != 0;
    // Each pair's lead and trail at both of its places, then the two JIS bytes.
    const __m256i lead_v = Spread(leads);
    const __m256i lead = _mm256_blendv_epi8(prev, x, lead_v);
    const __m256i trail = _mm256_blendv_epi8(x, next, lead_v);
    const __m256i t = _mm256_add_epi8(trail, _mm256_cmpgt_epi8(_mm256_setzero_si256(), trail));
    const __m256i carry = _mm256_cmpeq_epi8(_mm256_max_epu8(t, Splat(0x9E)), t);
    const __m256i second =
        _mm256_sub_epi8(_mm256_sub_epi8(t, Splat(0x1F)), _mm256_and_si256(carry, Splat(0x5E)));
    __m256i first = _mm256_add_epi8(_mm256_add_epi8(lead, lead), Splat(0x1F));
    first = _mm256_add_epi8(first, _mm256_and_si256(Between(lead, 0xA0, 0xFF), Splat(0x80)));
    first = _mm256_sub_epi8(first, carry);
    __m256i converted = _mm256_blendv_epi8(second, first, lead_v);
    converted = _mm256_blendv_epi8(x, converted, Spread(in_pair));
    st.open = (in_pair >> 31) & 1;
    st.carry = (leads >> 31) & 1;
    // The escapes in: eight bytes at a time with their escapes, stored whole.
    unsigned char* const window_out = d;
    for (unsigned quarter = 0; quarter < 4; ++quarter) {
      __m128i source = quarter < 2 ? _mm256_castsi256_si128(converted)
                                   : _mm256_extracti128_si256(converted, 1);
      if (quarter & 1) source = _mm_srli_si128(source, 8);
      source = _mm_or_si128(_mm_and_si128(source, low8), escapes);
      const unsigned index = ((escapes_at >> (8 * quarter)) & 0xFF) |
                             (((pair_before >> (8 * quarter)) & 1) << 8);
      const __m256i control =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(kShuffles.control[index]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(source), control));
      d += kShuffles.length[index];
    }
    if (lines) lines->Took(s, lf, window_out, escapes_at);
  }
  return Stop::kEnd;
}

}  // namespace windows
#endif

// The pairs of a double-byte run a vector at a time, while whole vectors are left; stops
// before the first byte that is no lead byte with a trail (kBlock: a CR or a LF is none).
template <bool kBlock>
inline void WidePairs([[maybe_unused]] const unsigned char*& s,
                      [[maybe_unused]] const unsigned char* end, [[maybe_unused]] unsigned char*& d,
                      [[maybe_unused]] unsigned& odd) {
#if VELKO_SIMD
  while (end - s >= simd::kWidth) {
    V v = simd::Load(s);
    V stop = simd::Eq(v, 0);
    if (kBlock) stop = simd::Or(stop, simd::Or(simd::Eq(v, '\n'), simd::Eq(v, '\r')));
    unsigned pairs = LeadingPairs(simd::Mask(simd::LeadBytes(v)), simd::Mask(stop));
    simd::Store(d, SjisPairsToJis(v));
    odd |= simd::Mask(simd::Or(simd::Eq(v, ')'), simd::Eq(v, 0x1F))) & (kEven << 1) &
           Below(2 * pairs);
    s += 2 * pairs;
    d += 2 * pairs;
    if (pairs < kPairs) break;
  }
#endif
}

// kBlock: `in` is a run of whole lines; a lead byte before a CR or a LF (which the line step
// copies alone, or pairs with the CR the text rules would have taken away) gives kNoBlock.
// The lines with half-width kana go to `marks`.
template <bool kBlock>
std::size_t SjisToJis(char* out, const char* in, std::size_t length, bool* direct, bool* kana,
                      BlockMarks* marks = nullptr) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  [[maybe_unused]] const unsigned char* const end = s + length;  // the bound of the wide loads
  [[maybe_unused]] KanaLines kana_lines(s, end, marks);
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  unsigned odd = 0;  // a trail byte ')' or 0x1F, which convert to LF and NUL
  unsigned half = 0;  // half-width kana written as they are
  // The pairs left in a run, one at a time, and the escape that closes it.
  auto last_pairs_and_close = [&] {
    while (kSjisClass.of[s[0]] == kSjisLead && s[1] != 0 && !(kBlock && LineEnd(s[1]))) {
      SjisCharToJis(d, s);
      odd |= (s[1] == ')') | (s[1] == 0x1F);
      d += 2;
      s += 2;
    }
    d[0] = kEsc;
    d[1] = '(';
    d[2] = 'J';
    d += 3;
  };
#if VELKO_SIMD && defined(__AVX2__)
  if (kBlock) {
    windows::State st;
    if (windows::Convert<false>(s, end, d, st, half,
                                [&](const unsigned char* p) { kana_lines.At(p); }) ==
        windows::Stop::kNoBlock) {
      return kNoBlock;
    }
    // The rest from a character's start, a run closed.
    if (st.carry) {
      if (*s == 0 || LineEnd(*s) || *s == ')' || *s == 0x1F) return kNoBlock;
      unsigned char jis[2];
      SjisCharToJis(jis, s - 1);
      *d++ = jis[1];
      ++s;
    }
    if (st.open) last_pairs_and_close();
  }
#endif
  for (;;) {
#if VELKO_SIMD
    // Single bytes: `out` has room for 3 x length bytes, so whole blocks may be stored.
    while (end - s >= simd::kWidth) {
      V v = simd::Load(s);
      simd::Store(d, v);
      std::uint32_t stop = simd::Mask(simd::Or(simd::LeadBytes(v), simd::Eq(v, 0)));
      std::uint32_t kana_bytes = simd::Mask(simd::InRange(v, 0xA1, 0xDF));
      if (stop != 0) kana_bytes &= Below(simd::First(stop));
      if (kBlock) {
        for (std::uint32_t k = kana_bytes; k != 0; k &= k - 1) kana_lines.At(s + simd::First(k));
      }
      if (stop != 0) {
        half |= kana_bytes;
        s += simd::First(stop);
        d += simd::First(stop);
        break;
      }
      half |= kana_bytes;
      s += simd::kWidth;
      d += simd::kWidth;
    }
#endif
    for (unsigned c; ((c = kSjisClass.of[*s]) & (kSjisLead | kSjisNul)) == 0; half |= c) {
      if (kBlock && c == kSjisHalfKana) kana_lines.At(s);
      *d++ = *s++;
    }
    if (*s == 0) {
      *d = 0;
      *direct = odd == 0;
      *kana = half != 0;
      return d - reinterpret_cast<unsigned char*>(out);
    }
    if (kBlock && LineEnd(s[1])) return kNoBlock;
    if (s[1] == 0) {
      *d++ = *s++;
      continue;
    }
    d[0] = kEsc;
    d[1] = '$';
    d[2] = 'B';
    d += 3;
    WidePairs<kBlock>(s, end, d, odd);
    last_pairs_and_close();
  }
}

// Half-width kana into 7-bit JIS over a block of whole lines, as SjisToJisKanaLine writes each
// line: kFull as the full-width characters inside the double-byte runs, a voiced or semi-voiced
// mark joined to its kana; kEscI in runs of ESC ( I. Lines without kana come out as the
// default's, so the AVX2 windows take every stretch without them.
struct FullKanaJis {
  struct Entry {
    unsigned char jis[2];
    unsigned char joined;
  };
  Entry of[63][3];  // [kana - 0xA1][the byte after it: another, a voiced mark, a semi-voiced one]
  constexpr FullKanaJis() : of() {
    for (unsigned kana = 0; kana < 63; ++kana) {
      for (unsigned mark = 0; mark < 3; ++mark) {
        bool joined = false;
        const unsigned code = FullWidthKana(static_cast<unsigned char>(0xA1 + kana),
                                            mark == 1 ? 0xDE : mark == 2 ? 0xDF : 0, &joined);
        const unsigned char pair[2] = {static_cast<unsigned char>(code >> 8),
                                       static_cast<unsigned char>(code)};
        SjisCharToJis(of[kana][mark].jis, pair);
        of[kana][mark].joined = joined;
      }
    }
  }
};
constexpr FullKanaJis kFullKanaJis;

template <Kana kKana>
std::size_t SjisToJisKana(char* out, const char* in, std::size_t length) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  [[maybe_unused]] const unsigned char* const end = s + length;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* d = start;
  enum Run { kSingle, kDouble, kKanaRun } run = kSingle;
  auto shift = [&](Run to) {
    if (run == to) return;
    d[0] = kEsc;
    d[1] = to == kDouble ? '$' : '(';
    d[2] = to == kDouble ? 'B' : to == kKanaRun ? 'I' : 'J';
    d += 3;
    run = to;
  };
  unsigned odd = 0;  // a trail byte ')' or 0x1F, which convert to LF and NUL
#if VELKO_SIMD && defined(__AVX2__)
  const unsigned char* windows_from = s;  // past the window the windows last left
#endif
  for (;;) {
#if VELKO_SIMD && defined(__AVX2__)
    if (run != kKanaRun && s >= windows_from && end - s >= 64) {
      windows::State st;
      st.open = run == kDouble;
      unsigned half = 0;
      if (windows::Convert<true>(s, end, d, st, half, [](const unsigned char*) {}) ==
          windows::Stop::kNoBlock) {
        return kNoBlock;
      }
      if (st.carry) {  // the trail of the pair the last window began
        if (*s == 0 || LineEnd(*s) || *s == ')' || *s == 0x1F) return kNoBlock;
        unsigned char jis[2];
        SjisCharToJis(jis, s - 1);
        *d++ = jis[1];
        ++s;
      }
      run = st.open ? kDouble : kSingle;
      windows_from = s + 32;
    }
#endif
    const unsigned c = kSjisClass.of[*s];
    if (c == kSjisNul) {
      shift(kSingle);
      *d = 0;
      return odd == 0 ? static_cast<std::size_t>(d - start) : kNoBlock;
    }
    if (c == kSjisLead && s[1] != 0) {
      if (LineEnd(s[1])) return kNoBlock;
      shift(kDouble);
      WidePairs<true>(s, end, d, odd);
      while (kSjisClass.of[s[0]] == kSjisLead && s[1] != 0 && !LineEnd(s[1])) {
        SjisCharToJis(d, s);
        odd |= (s[1] == ')') | (s[1] == 0x1F);
        d += 2;
        s += 2;
      }
      continue;
    }
    if (c == kSjisHalfKana && kKana == Kana::kEscI) {
      shift(kKanaRun);
#if VELKO_SIMD
      while (end - s >= simd::kWidth) {
        const V v = simd::Load(s);
        const std::uint32_t kana = simd::Mask(simd::InRange(v, 0xA1, 0xDF));
        simd::Store(d, simd::Sub8(v, simd::Splat(0x80)));
        const unsigned n = kana == simd::kAll ? simd::kWidth : simd::First(~kana);
        s += n;
        d += n;
        if (n < simd::kWidth) break;
      }
#endif
      while (kSjisClass.of[*s] == kSjisHalfKana) *d++ = static_cast<unsigned char>(*s++ - 0x80);
      continue;
    }
    if (c == kSjisHalfKana) {
      shift(kDouble);
      do {
        const unsigned mark = (s[1] == 0xDE) + 2 * (s[1] == 0xDF);
        const FullKanaJis::Entry& e = kFullKanaJis.of[*s - 0xA1][mark];
        d[0] = e.jis[0];
        d[1] = e.jis[1];
        d += 2;
        s += 1 + e.joined;
      } while (kSjisClass.of[*s] == kSjisHalfKana);
      continue;
    }
    // Single bytes up to the next lead byte, kana or NUL; the first may be a lead byte the NUL
    // cuts off.
    shift(kSingle);
    *d++ = *s++;
#if VELKO_SIMD
    while (end - s >= simd::kWidth) {
      const V v = simd::Load(s);
      simd::Store(d, v);
      const std::uint32_t stop = simd::Mask(simd::Or(
          simd::Or(simd::LeadBytes(v), simd::Eq(v, 0)), simd::InRange(v, 0xA1, 0xDF)));
      const unsigned n = stop == 0 ? simd::kWidth : simd::First(stop);
      s += n;
      d += n;
      if (n < simd::kWidth) break;
    }
#endif
    while (kSjisClass.of[*s] == 0) *d++ = *s++;
  }
}

#if VELKO_SIMD && defined(__AVX2__)
// JIS to Shift_JIS 32 bytes at a time with no branch on the text: where escapes are, each
// byte's mode by a running parity of them, each pair's place by carry arithmetic in the runs
// of double-byte mode, and the escapes dropped by a byte shuffle chosen per eight bytes. A
// window that needs the line step's rules (an escape in single-byte mode other than ESC $, a
// CR or a LF in a double-byte run or an escape, a run of an odd length) is left to it, from
// the start of its line.
namespace jis_windows {

// For eight bytes, which to keep: their places, and how many.
struct Compaction {
  unsigned char index[256][8];
  unsigned char count[256];
  constexpr Compaction() : index(), count() {
    for (unsigned keep = 0; keep < 256; ++keep) {
      unsigned n = 0;
      for (unsigned i = 0; i < 8; ++i) {
        if (keep & (1u << i)) index[keep][n++] = static_cast<unsigned char>(i);
      }
      count[keep] = static_cast<unsigned char>(n);
      while (n < 8) index[keep][n++] = 0x80;
    }
  }
};
constexpr Compaction kCompaction;

using windows::Bits;
using windows::kEvenBits;
using windows::kOddBits;
using windows::kWindow;
using windows::Previous;
using windows::Splat;
using windows::Spread;

inline std::uint64_t RunningParity(std::uint64_t x) {  // bit i: the parity of bits 0 to i
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  return x ^ (x << 32);
}

// Converts from `*s` while 64 bytes or more are left (so that stores stay within the length's
// room) and the windows follow the model; leaves `*s` and `*d` at the start of a line, for the
// line step's loop. False (for kNoBlock) at a pair that becomes a LF or a NUL.
inline bool Convert(const unsigned char*& s, const unsigned char* end, unsigned char*& d) {
  const unsigned char* line_in = s;
  unsigned char* line_out = d;
  bool dbl = false, carry = false;  // double-byte mode; the first byte is a pair's second
  std::uint64_t skip = 0;           // the first bytes: the rest of an escape
  __m256i last = _mm256_setzero_si256();
  const __m256i one = Splat(1);
  for (; end - s >= 64; s += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 1));
    const __m256i prev = Previous(x, last);
    const std::uint64_t esc = Bits(_mm256_cmpeq_epi8(x, Splat(kEsc)));
    const std::uint64_t lf = Bits(_mm256_cmpeq_epi8(x, Splat('\n')));
    const std::uint64_t ends = lf | Bits(_mm256_cmpeq_epi8(x, Splat('\r')));
    const std::uint64_t dollar = Bits(_mm256_cmpeq_epi8(next, Splat('$')));
    const std::uint64_t dropped = esc | esc << 1 | esc << 2 | skip;
    // Every escape turns the mode from the byte after it: in double-byte mode any escape
    // closes the run, in single-byte mode ESC $ opens one.
    const std::uint64_t mode = RunningParity(esc << 3) ^ (dbl ? ~0ull : 0ull);
    const std::uint64_t pairs = mode & ~dropped & kWindow;
    // Pairs stand at even distances from the start of each run, the first one's second
    // byte first when a pair crosses into this window.
    const std::uint64_t starts = pairs & ~(pairs << 1);
    const std::uint64_t odd_runs = pairs & ~(pairs + ((starts & kOddBits) | (carry ? 1u : 0u)));
    const std::uint64_t firsts = (pairs & ~odd_runs & kEvenBits) | (odd_runs & kOddBits);
    const std::uint64_t seconds = pairs & ~firsts;
    const std::uint64_t outside = (esc & ((esc << 1) | (esc << 2) | skip)) |  // escapes overlap
                                  (esc & ~mode & ~dollar) |  // single-byte mode, no ESC $
                                  (ends & (pairs | dropped)) |
                                  (pairs & ~(pairs >> 1) & firsts & (kWindow >> 1)) |  // odd run
                                  (carry && (pairs & 1) == 0);  // ... and one cut at the last byte
    if (outside != 0) break;
    // Each byte as its part says.
    const __m256i half = _mm256_and_si256(_mm256_srli_epi16(_mm256_sub_epi8(x, one), 1), Splat(0x7F));
    __m256i first = _mm256_add_epi8(half, Splat(0x71));
    first = _mm256_add_epi8(first, _mm256_andnot_si256(windows::Between(half, 0, 0x2E), Splat(0x40)));
    const __m256i odd = _mm256_cmpeq_epi8(_mm256_and_si256(prev, one), one);
    const __m256i from = _mm256_blendv_epi8(Splat(0x02), Splat(0x60), odd);
    __m256i second = _mm256_add_epi8(x, _mm256_blendv_epi8(Splat(0x7D), Splat(0x1F), odd));
    second = _mm256_sub_epi8(second, _mm256_cmpeq_epi8(_mm256_max_epu8(x, from), x));
    __m256i value = _mm256_blendv_epi8(x, first, Spread(firsts));
    value = _mm256_blendv_epi8(value, second, Spread(seconds));
    const __m256i made_end = _mm256_or_si256(_mm256_cmpeq_epi8(value, Splat('\n')),
                                             _mm256_cmpeq_epi8(value, _mm256_setzero_si256()));
    if ((Bits(made_end) & pairs) != 0) return false;
    // The escapes out: eight bytes at a time, stored whole, kept ones first.
    const std::uint64_t keep = ~dropped & kWindow;
    unsigned char* const window_out = d;
    for (int lane = 0; lane < 2; ++lane) {
      const __m128i v = lane == 0 ? _mm256_castsi256_si128(value) : _mm256_extracti128_si256(value, 1);
      for (int part = 0; part < 2; ++part) {
        const unsigned eight = (keep >> (16 * lane + 8 * part)) & 0xFF;
        __m128i control = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompaction.index[eight]));
        if (part == 1) control = _mm_add_epi8(control, _mm_set1_epi8(8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(v, control));
        d += kCompaction.count[eight];
      }
    }
    // A LF in single-byte mode starts the next line there.
    const std::uint64_t line_ends = lf & ~mode & ~dropped & kWindow;
    const unsigned at = simd::Last(static_cast<std::uint32_t>(line_ends | 1));
    const bool new_line = line_ends != 0;
    line_in = new_line ? s + at + 1 : line_in;
    line_out = new_line ? window_out + simd::Count(static_cast<std::uint32_t>(keep & ((2ull << at) - 1)))
                        : line_out;
    dbl = (mode >> 34) & 1;
    carry = (firsts >> 31) & 1;
    skip = (dropped >> 32) & 3;
    last = x;
  }
  s = line_in;
  d = line_out;
  return true;
}

}  // namespace jis_windows
#endif

// kBlock: `in` is a run of whole lines; a CR or a LF that the line step would take into an
// escape sequence or a pair gives kNoBlock.
template <bool kBlock>
std::size_t JisToSjis(char* out, const char* in, std::size_t length, bool* direct) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  const unsigned char* const end = s + length;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* d = start;
  unsigned odd = 0;  // a converted character with a LF or a NUL in it
  for (;;) {
    // Single-byte mode. The output is never longer than what was read, so whole blocks fit.
    for (;;) {
      std::size_t n = CopyUntil(d, s, end, kEsc, 0, 0);
      s += n;
      d += n;
      unsigned char c = *s;
      if (c == kEsc && s[1] == '$' && s[2] != 0) {
        if (kBlock && LineEnd(s[2])) return kNoBlock;
        s += 3;
        break;
      }
      *d++ = c;
      if (c == 0) return *direct = odd == 0, d - 1 - start;
      ++s;
    }
    // Double-byte mode.
    for (;;) {
#if VELKO_SIMD
      while (end - s >= simd::kWidth) {
        V v = simd::Load(s);
        V zero = simd::Eq(v, 0);
        if (kBlock) zero = simd::Or(zero, simd::Or(simd::Eq(v, '\n'), simd::Eq(v, '\r')));
        unsigned pairs =
            LeadingPairs(~simd::Mask(simd::Or(zero, simd::Eq(v, kEsc))), simd::Mask(zero));
        V sjis = JisPairsToSjis(v);
        simd::Store(d, sjis);
        odd |= simd::Mask(simd::Or(simd::Eq(sjis, '\n'), simd::Eq(sjis, 0))) & Below(2 * pairs);
        s += 2 * pairs;
        d += 2 * pairs;
        if (pairs < kPairs) break;
      }
#endif
      unsigned char c = *s;
      if (kBlock && (LineEnd(c) || LineEnd(s[1]) || (c == kEsc && s[1] != 0 && LineEnd(s[2])))) {
        return kNoBlock;
      }
      if (c == kEsc) {
        if (s[1] == 0 || s[2] == 0) {
          *d = 0;
          return *direct = odd == 0, d - start;
        }
        s += 3;
        break;
      }
      if (c == 0) {
        *d = 0;
        return *direct = odd == 0, d - start;
      }
      if (s[1] == 0) {
        *d++ = c;
        *d = 0;
        return *direct = odd == 0, d - start;
      }
      JisCharToSjis(d, s);
      odd |= (d[0] == '\n') | (d[0] == 0) | (d[1] == '\n') | (d[1] == 0);
      d += 2;
      s += 2;
    }
  }
}

}  // namespace

std::size_t SjisToJisLine(char* out, const char* in, std::size_t length, bool* direct,
                          bool* kana) {
  return SjisToJis<false>(out, in, length, direct, kana);
}

std::size_t JisToSjisLine(char* out, const char* in, std::size_t length, bool* direct) {
  return JisToSjis<false>(out, in, length, direct);
}

// A block is written as it was made: a character that became a LF or a NUL sends it to the
// line step.
std::size_t SjisToJisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  bool direct = false, kana = false;  // as they are when a line needs its step
  *marks = BlockMarks();
  std::size_t n = SjisToJis<true>(out, in, length, &direct, &kana, marks);
  return direct ? n : kNoBlock;
}

// The AVX2 windows check the rules as they go and stop before a window they cannot take; what
// they leave (the line cut there, and the last bytes) goes through PlainLines and the block.
std::size_t SjisToJisLines(char* out, char* in, std::size_t length, bool windows_rules,
                           std::size_t limit, BlockTaken* taken) {
  *taken = BlockTaken();
  std::size_t from = 0;  // the lines before are taken
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
#if VELKO_SIMD && defined(__AVX2__)
  if (limit > 64) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
    windows::Lines lines{s, windows_rules, limit, 0, 0, d, 0};
    windows::State st;
    unsigned half = 0;
    KanaLines kana_lines(s, s + length, &taken->marks);
    const windows::Stop stop = windows::Convert<false>(
        s, s + length, d, st, half, [&](const unsigned char* p) { kana_lines.At(p); }, &lines);
    kana_lines.Forget(reinterpret_cast<const unsigned char*>(in) + lines.line_start);
    from = taken->read = lines.line_start;
    taken->lines = lines.lines;
    d = lines.line_out;
    if (stop != windows::Stop::kEnd) return static_cast<std::size_t>(d - reinterpret_cast<unsigned char*>(out));
  }
#endif
  unsigned long long count = 0;
  const std::size_t good = VELKO_ISA::PlainLines(in + from, length - from, windows_rules, limit, &count);
  if (good == 0) return static_cast<std::size_t>(d - reinterpret_cast<unsigned char*>(out));
  const char kept = in[from + good];
  in[from + good] = 0;
  BlockMarks marks;
  const std::size_t made =
      VELKO_ISA::SjisToJisBlock(reinterpret_cast<char*>(d), in + from, good, &marks);
  in[from + good] = kept;
  if (made == kNoBlock) {
    if (from > 0) return static_cast<std::size_t>(d - reinterpret_cast<unsigned char*>(out));
    taken->read = good;
    return kNoBlock;
  }
  if (marks.lines > 0) {
    if (taken->marks.lines == 0) taken->marks.first = taken->lines + marks.first;
    taken->marks.lines += marks.lines;
  }
  taken->read = from + good;
  taken->lines += count;
  return static_cast<std::size_t>(d - reinterpret_cast<unsigned char*>(out)) + made;
}

std::size_t SjisToJisKanaBlock(char* out, const char* in, std::size_t length, BlockMarks* marks,
                               Kana kana) {
  if (kana == Kana::k8bit) return VELKO_ISA::SjisToJisBlock(out, in, length, marks);
  *marks = BlockMarks();
  return kana == Kana::kFull ? SjisToJisKana<Kana::kFull>(out, in, length)
                             : SjisToJisKana<Kana::kEscI>(out, in, length);
}

std::size_t JisToSjisBlock(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  *marks = BlockMarks();
  bool direct = false;
  std::size_t made = 0;
#if VELKO_SIMD && defined(__AVX2__)
  const unsigned char* s = reinterpret_cast<const unsigned char*>(in);
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  if (!jis_windows::Convert(s, s + length, d)) return kNoBlock;
  made = d - reinterpret_cast<unsigned char*>(out);
  length -= s - reinterpret_cast<const unsigned char*>(in);
  in = reinterpret_cast<const char*>(s);
#endif
  std::size_t n = JisToSjis<true>(out + made, in, length, &direct);
  return direct ? made + n : kNoBlock;
}

}  // namespace VELKO_ISA
}  // namespace velko
