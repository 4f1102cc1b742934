// A conversion to or from UTF-8 writes the same and tells the same places whatever the reads
// give at a time, and what it writes reads back with nothing lost: UTF-8 that is valid,
// Shift_JIS, JIS (7-bit unless 8-bit kana are asked for) and EUC-JP of characters only. Input:
// [mode] [chunk] then the text; the mode picks the direction and the options.
// The byte survey tells the same whatever the pieces; what it takes for Shift_JIS or UTF-8
// decodes with no bad sequence.
#include <array>
#include <cstdint>
#include <cstdlib>

#include "codec/detect.h"
#include "support.h"

namespace {

using namespace velko;

// All the byte survey tells.
std::array<unsigned, 7> Survey(const std::string& in, std::size_t chunk) {
  ByteSurvey s;
  test::InPieces(in, chunk, [&](const unsigned char* p, std::size_t n) { s.Add(p, n); });
  return {s.Fits(false), s.Fits(true),   s.Candidates(),      s.Open(),
          s.Nul(),       s.JisEscapes(), s.OnlyShiftJisLeft()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velko;
  if (size < 2) return 0;
  // The mode: the direction (bits 0-1, and bit 7 for those of EUC-JP), --map=jis, --pc98, the
  // kana and the byte order mark; the second byte: the reads' size, crlf and the stop at the
  // first unmapped.
  const unsigned mode = data[0];
  const std::size_t chunk = (data[1] & 0x3F) % 7 + 1;
  const std::string in(reinterpret_cast<const char*>(data) + 2, size - 2);
  static const Charset kFrom[] = {Charset::kShiftJis, Charset::kJis,   Charset::kUtf8,
                                  Charset::kUtf8,     Charset::kEucJp, Charset::kUtf8};
  static const Charset kTo[] = {Charset::kUtf8, Charset::kUtf8, Charset::kShiftJis,
                                Charset::kJis,  Charset::kUtf8, Charset::kEucJp};
  static const Kana kKana[] = {Kana::kFull, Kana::kEscI, Kana::k8bit, Kana::kFull};
  const unsigned way = mode & 128 ? 4 + (mode & 1) : mode & 3;
  const TranscodeOptions options{
      kFrom[way],           kTo[way],         (mode & 4) != 0,       (mode & 8) != 0,
      kKana[mode >> 4 & 3], (mode & 64) != 0, (data[1] & 0x80) != 0, (data[1] & 0x40) != 0};
  // Prepared once for each mode, and reused: every run starts afresh.
  static std::unique_ptr<Transcoding> prepared[256 * 4], readers[8];
  auto ready = [](std::unique_ptr<Transcoding>& t, const TranscodeOptions& o) -> Transcoding& {
    if (!t) {
      t = std::make_unique<Transcoding>(o);
      if (!t->Prepare()) std::abort();
    }
    return *t;
  };
  Transcoding& transcoding = ready(prepared[mode * 4 + (data[1] >> 6)], options);
  TranscodeReport whole, cut;
  const std::string out = test::Transcode(transcoding, in, 0, &whole);
  // What a stopped run wrote before it stopped is its caller's to throw away, and depends on
  // the reads; what it tells does not.
  const std::string pieces = test::Transcode(transcoding, in, chunk, &cut);
  if ((pieces != out && !options.stop_at_unmapped) || cut.unmapped != whole.unmapped ||
      cut.vendor != whole.vendor || cut.first_vendor_line != whole.first_vendor_line) {
    std::abort();
  }
  for (unsigned long long i = 0; i < whole.unmapped && i < TranscodeReport::kShown; ++i) {
    const Unmapped &a = whole.shown[i], &b = cut.shown[i];
    if (a.line != b.line || a.column != b.column || a.length != b.length) std::abort();
  }
  // Stopped at the first sequence without a mapping: nothing but that one told.
  if (options.stop_at_unmapped && whole.unmapped > 1) std::abort();
  // Read back: every byte written is a character.
  TranscodeReport back;
  const Charset written = options.to;
  test::Transcode(ready(readers[static_cast<int>(written)],
                        {written, written == Charset::kUtf8 ? Charset::kShiftJis : Charset::kUtf8}),
                  out, 0, &back);
  if (back.invalid != 0) std::abort();
  if (written == Charset::kJis && options.kana != Kana::k8bit) {
    for (unsigned char c : out) {
      if (c >= 0x80) std::abort();
    }
  }

  const auto all = Survey(in, in.size() + 1);
  if (Survey(in, chunk) != all || Survey(in, chunk * 5 + 3) != all) std::abort();
  for (Charset c : {Charset::kShiftJis, Charset::kUtf8}) {  // read as the read-back reads
    test::Transcode(ready(readers[static_cast<int>(c)],
                          {c, c == Charset::kUtf8 ? Charset::kShiftJis : Charset::kUtf8}),
                    in, 0, &back);
    if ((all[2] & Bit(c)) && back.invalid != 0) std::abort();
  }
  return 0;
}
