#include "text/survey.h"

#include <cstring>
#include <new>

#include "codec/jis.h"
#include "text/frame.h"
#include "velko/utf8.h"

namespace velko {
namespace {

constexpr std::size_t kPiece = 64 * 1024;  // what the coders take at a time
// Room for what any coder makes of a piece and of what it kept from the one before.
constexpr std::size_t kScratch = 4 * (kPiece + 16) + 16;

// A coder fed piece by piece into scratch room, counting what it tells.
struct Counted {
  unsigned long long malformed = 0, unmappable = 0;
  // Past this many malformed sequences its charset can no longer be named: fed no more.
  unsigned long long enough = ~0ull;
  unsigned long long all() const { return malformed + unmappable; }
  bool done() const { return malformed > enough; }
  template <typename Call>
  void Feed(const unsigned char* s, std::size_t n, bool last, Call&& call, CensusTaker* census) {
    while (!done()) {
      const CodecResult r = call(s, n, last);
      if (census) census->Add(scratch, r.written);
      s += r.read;
      n -= r.read;
      if (r.status == CodecStatus::kInputEmpty) return;
      malformed += r.status == CodecStatus::kMalformed;
      unmappable += r.status == CodecStatus::kUnmappable;
    }
  }
  unsigned char* scratch = nullptr;
};

}  // namespace

struct TextSurvey::Coders {
  Decoder sjis{Charset::kShiftJis}, jis{Charset::kJis}, euc{Charset::kEucJp};
  Encoder to_sjis{Charset::kShiftJis}, to_jis{Charset::kJis}, to_euc{Charset::kEucJp};
  Counted from_sjis, from_jis, from_euc, into_sjis, into_jis, into_euc;
  CensusTaker utf8_census{true}, jis_census{true}, euc_census{true, true};
  std::unique_ptr<unsigned char[]> scratch;
  // UTF-8 is read after a byte order mark at its start, as the commands read it.
  unsigned char head[3];
  std::size_t head_length = 0;
  bool head_seen = false;
  // The window's jis2sjis, a line (or a read's 9,999 bytes) at a time.
  char line[kReadLimit], made[kReadLimit];
  std::size_t line_length = 0;

  void Utf8(const unsigned char* s, std::size_t n, bool last) {
    if (into_sjis.done()) return;
    into_sjis.Feed(
        s, n, last,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return to_sjis.EncodeFromUtf8(p, k, scratch.get(), kScratch, l);
        },
        &utf8_census);
    into_jis.Feed(
        s, n, last,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return to_jis.EncodeFromUtf8(p, k, scratch.get(), kScratch, l);
        },
        nullptr);
    into_euc.Feed(
        s, n, last,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return to_euc.EncodeFromUtf8(p, k, scratch.get(), kScratch, l);
        },
        nullptr);
  }
  void JisLine() {
    line[line_length] = 0;
    bool direct;
    JisToSjisLine(made, line, line_length, &direct);
    // Written up to a NUL among the converted characters, as the frame writes a line.
    jis_census.Add(reinterpret_cast<const unsigned char*>(made), std::strlen(made));
    line_length = 0;
  }
};

TextSurvey::TextSurvey() = default;
TextSurvey::~TextSurvey() = default;

bool TextSurvey::Prepare() {
  coders_.reset(new (std::nothrow) Coders());
  if (!coders_) return false;
  Coders& c = *coders_;
  c.scratch.reset(new (std::nothrow) unsigned char[kScratch]);
  for (Counted* k :
       {&c.from_sjis, &c.from_jis, &c.from_euc, &c.into_sjis, &c.into_jis, &c.into_euc}) {
    k->scratch = c.scratch.get();
  }
  return c.scratch != nullptr;
}

void TextSurvey::Add(const unsigned char* bytes, std::size_t length) {
  survey_.Add(bytes, length);
  Coders& c = *coders_;
  // A charset the byte rules have ruled out is named only by the trials of Finish, and not
  // with more than one bad sequence in a hundred bytes: past that its counts tell nothing.
  const Charsets open = survey_.Open();
  const unsigned long long enough = expected_ / 100;
  if (!(open & Bit(Charset::kUtf8))) c.into_sjis.enough = enough;
  if (!(open & Bit(Charset::kShiftJis))) c.from_sjis.enough = enough;
  if (!(open & Bit(Charset::kEucJp))) c.from_euc.enough = enough;
  if (!(open & Bit(Charset::kJis))) c.from_jis.enough = enough;
  ends_.Add(bytes, length);
  if (!c.from_sjis.done()) as_sjis_.Add(bytes, length);
  if (!c.from_euc.done()) c.euc_census.Add(bytes, length);
  nul_ = nul_ || std::memchr(bytes, 0, length) != nullptr;
  size_ += length;
  for (std::size_t at = 0; at < length; at += kPiece) {
    const unsigned char* s = bytes + at;
    const std::size_t n = length - at < kPiece ? length - at : kPiece;
    unsigned char* const out = c.scratch.get();
    c.from_sjis.Feed(
        s, n, false,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return c.sjis.DecodeToUtf8(p, k, out, kScratch, l);
        },
        nullptr);
    c.from_jis.Feed(
        s, n, false,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return c.jis.DecodeToUtf8(p, k, out, kScratch, l);
        },
        nullptr);
    c.from_euc.Feed(
        s, n, false,
        [&](const unsigned char* p, std::size_t k, bool l) {
          return c.euc.DecodeToUtf8(p, k, out, kScratch, l);
        },
        nullptr);
    std::size_t skip = 0;
    while (!c.head_seen && skip < n) {
      c.head[c.head_length++] = s[skip++];
      if (c.head_length == 3 || c.head[c.head_length - 1] != kUtf8Bom[c.head_length - 1]) {
        c.head_seen = true;
        if (std::memcmp(c.head, kUtf8Bom, 3) != 0) c.Utf8(c.head, c.head_length, false);
      }
    }
    c.Utf8(s + skip, n - skip, false);
    if (c.from_jis.done()) continue;
    for (std::size_t i = 0; i < n; ++i) {
      c.line[c.line_length++] = static_cast<char>(s[i]);
      if (s[i] == '\n' || c.line_length == kReadLimit - 1) c.JisLine();
    }
  }
}

Findings TextSurvey::Finish() {
  Coders& c = *coders_;
  // The sequences the text ends inside.
  c.from_sjis.Feed(
      nullptr, 0, true,
      [&](const unsigned char* p, std::size_t k, bool l) {
        return c.sjis.DecodeToUtf8(p, k, c.scratch.get(), kScratch, l);
      },
      nullptr);
  c.from_jis.Feed(
      nullptr, 0, true,
      [&](const unsigned char* p, std::size_t k, bool l) {
        return c.jis.DecodeToUtf8(p, k, c.scratch.get(), kScratch, l);
      },
      nullptr);
  c.from_euc.Feed(
      nullptr, 0, true,
      [&](const unsigned char* p, std::size_t k, bool l) {
        return c.euc.DecodeToUtf8(p, k, c.scratch.get(), kScratch, l);
      },
      nullptr);
  if (!c.head_seen) c.Utf8(c.head, c.head_length, false);  // too short for a byte order mark
  c.Utf8(nullptr, 0, true);
  if (c.line_length > 0) c.JisLine();

  Findings f;
  f.census = ends_.Taken();
  Charsets fits = survey_.Candidates();
  if (fits == kBinary && !nul_) {
    // Text with a few bytes its charset has no place for: named by the fewest of them, if
    // they are at most one in a hundred bytes, but not without doubt. JIS escapes speak for
    // JIS.
    unsigned long long fewest = static_cast<unsigned long long>(-1);
    const struct {
      Charset charset;
      unsigned long long bad;
    } trials[] = {{Charset::kJis, c.from_jis.malformed},
                  {Charset::kShiftJis, c.from_sjis.malformed},
                  {Charset::kEucJp, c.from_euc.malformed},
                  {Charset::kUtf8, c.into_sjis.malformed}};
    for (const auto& t : trials) {
      if (t.charset == Charset::kJis && !survey_.JisEscapes()) continue;
      if (t.bad < fewest) fewest = t.bad, fits = Bit(t.charset);
    }
    if (fewest * 100 > size_) fits = kBinary;
    f.doubt = fits != kBinary;
  }
  f.fits = fits;
  if ((fits & (fits - 1)) != 0) {
    f.doubt = true;
    return f;
  }
  auto count = [](unsigned long long n) { return static_cast<long long>(n); };
  if (fits == Bit(Charset::kAscii)) {
    f.invalid = 0;
  } else if (fits == Bit(Charset::kShiftJis)) {
    f.census = as_sjis_.Taken();
    f.invalid = f.to_utf8_lost = count(c.from_sjis.malformed);
    f.sjis2jis_8bit = count(f.census.kana);
    f.nec2jis = count(f.census.pc98);
    f.jis2nec = count(f.census.jis_ruled);
  } else if (fits == Bit(Charset::kEucJp)) {
    f.census = c.euc_census.Taken();
    f.invalid = f.to_utf8_lost = count(c.from_euc.malformed);
  } else if (fits == Bit(Charset::kUtf8)) {
    // Counted as the Shift_JIS it becomes.
    f.census = c.utf8_census.Taken();
    f.invalid = count(c.into_sjis.malformed);
    f.to_sjis_lost = count(c.into_sjis.all());
    f.to_jis_lost = count(c.into_jis.all());
    f.to_euc_lost = count(c.into_euc.all());
    f.jis_vendor = count(c.to_jis.VendorCodes());
  } else if (fits == Bit(Charset::kJis)) {
    // Counted as the window's jis2sjis writes it.
    f.census = c.jis_census.Taken();
    f.invalid = f.to_utf8_lost = count(c.from_jis.malformed);
  }
  return f;
}

}  // namespace velko
