// Every line step and the decoder, with the kernels of every instruction set this CPU runs,
// beside the reference procedure and the scalar kernels on the same line, byte for byte, on
// buffers of exactly the size each contract names, so that a sixteen-byte load or store
// past them shows under the sanitizers. The same text as whole lines goes through the block
// forms, in exactly the room they are given, against the scalar line kernels line by line.
// Input: [mode] then the line; an odd mode maps each byte onto a small alphabet of lead
// bytes, ruled lines, escapes, encoded-word and Base64 characters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/jis.h"
#include "codec/kernels.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velko::test;
  static const char kAlphabet[] =
      "\x86\xA2\x86\xB9\x84\x9F\x84\xBE\x88\x9F\xE0\x40\xFC\x81\xA0\x7F\x80"
      "\x1B$B(J=?BbIiSs_-/+AZaz09 \r\n\t";
  if (size < 1) return 0;
  std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    for (char& c : line) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
  }
  static const bool told = [] {
    const char* names[] = {"scalar", "SSE2", "AVX2"};
    for (velko::Isa isa : velko::kIsas) {
      std::fprintf(stderr, "fuzz_fast: %s kernels %s\n", names[static_cast<int>(isa)],
                   velko::KernelsFor(isa) ? "compared"
                                          : "skipped: not in this build or not run by this CPU");
    }
    return true;
  }();
  (void)told;
  // Whole lines (no NUL, a LF last): each block form gives the scalar lines one after the
  // other, or hands the block back.
  std::string block = line.substr(0, line.find('\0'));
  if (block.empty() || block.back() != '\n') block += '\n';
  const velko::Kernels& scalar_kernels = *velko::KernelsFor(velko::Isa::kScalar);
  // To JIS with half-width kana as they are, as full-width characters, in ESC ( I runs; to
  // Shift_JIS.
  enum Form { k8bit, kFull, kEscI, kToShiftJis };
  for (Form form : {k8bit, kFull, kEscI, kToShiftJis}) {
    const bool to_jis = form != kToShiftJis;
    const velko::Kana how = form == kFull ? velko::Kana::kFull : velko::Kana::kEscI;
    const std::size_t ratio = form == k8bit ? 3 : form == kToShiftJis ? 1 : 8;
    std::string want;
    bool direct = true, kana = false;
    for (std::size_t at = 0; at < block.size();) {
      std::size_t end = block.find('\n', at) + 1;
      std::string one = block.substr(at, end - at);
      std::vector<char> out(8 * one.size() + 4);
      bool d = true, k = false;
      std::size_t n =
          form == k8bit ? scalar_kernels.sjis_to_jis_line(out.data(), one.c_str(), one.size(), &d, &k)
          : to_jis      ? velko::SjisToJisKanaLine(out.data(), one.c_str(), one.size(), &d, how)
                        : scalar_kernels.jis_to_sjis_line(out.data(), one.c_str(), one.size(), &d);
      want.append(out.data(), n);
      direct = direct && d;
      kana = kana || k;
      at = end;
    }
    for (velko::Isa isa : velko::kIsas) {
      const velko::Kernels* k = velko::KernelsFor(isa);
      if (!k) continue;
      std::vector<char> in(block.begin(), block.end());
      in.push_back('\0');
      std::vector<char> out(ratio * block.size() + 4);  // the frame's room, no more
      velko::BlockMarks marks;
      std::size_t n =
          form == k8bit ? k->sjis_to_jis_block(out.data(), in.data(), block.size(), &marks)
          : to_jis      ? k->sjis_to_jis_kana_block(out.data(), in.data(), block.size(), &marks, how)
                        : k->jis_to_sjis_block(out.data(), in.data(), block.size(), &marks);
      if (n == velko::kNoBlock) continue;
      if (!direct || std::string(out.data(), n) != want || (marks.lines > 0) != (form == k8bit && kana)) {
        std::abort();
      }
    }
  }
  // The text as lines of Base64: each set's one pass in exactly its room against the lines
  // taken one by one with the reference span and decoder.
  const std::size_t max_line = data[0] >> 4 ? data[0] >> 2 : ~std::size_t{0};
  const bool whole_groups = data[0] & 2;  // lines of whole groups, padding only at their end
  std::string want_bytes;
  velko::Base64Lines want_run;
  std::size_t want_taken = 0;
  while (want_taken < line.size()) {
    const std::string rest = line.substr(want_taken);  // the span stops at a NUL too
    const std::size_t last = want_taken + velko::reference::Base64Span(rest.c_str());
    const std::size_t end = last + (last < line.size() && line[last] == '\r');
    if (last == want_taken || end >= line.size() || line[end] != '\n' ||
        end + 1 - want_taken > max_line) {
      break;
    }
    const std::string text = line.substr(want_taken, last - want_taken);
    const std::size_t pad = text.find('=');
    if (whole_groups && (text.size() % 4 != 0 || (pad != std::string::npos &&
                         (text.find_first_not_of('=', pad) != std::string::npos || text.size() - pad > 2)))) {
      break;
    }
    std::vector<unsigned char> bytes(line.size() + 1);
    const std::size_t n = velko::reference::DecodeBase64(
        bytes.data(), line.substr(want_taken, last - want_taken).c_str());
    want_bytes.append(bytes.begin(), bytes.begin() + static_cast<long>(n));
    want_run.lone += (last - want_taken) % 4 == 1;
    ++want_run.lines;
    want_taken = end + 1;
  }
  for (velko::Isa isa : velko::kIsas) {
    const velko::Kernels* k = velko::KernelsFor(isa);
    if (!k || line.empty()) continue;
    std::vector<unsigned char> out(line.size());
    velko::Base64Lines run;
    const std::size_t taken = k->decode_base64_lines(out.data(), line.data(), line.size(), max_line,
                                                       whole_groups, &run);
    if (taken != want_taken || run.lines != want_run.lines || run.lone != want_run.lone ||
        std::string(out.begin(), out.begin() + static_cast<long>(run.written)) != want_bytes) {
      std::abort();
    }
  }
  // The run of whole lines a block may take, under both text rules, against the lines one by
  // one: each ended by its LF, shorter than the limit, without a NUL; under the Windows rules
  // also without 0x1A, its LF after a CR.
  const std::size_t limit = data[0] & 2 ? 10000 : 2 + data[0] % 61;
  for (bool windows : {false, true}) {
    std::size_t want_good = 0;
    unsigned long long want_lines = 0;
    for (std::size_t start = 0, lf; (lf = line.find('\n', start)) != std::string::npos; start = lf + 1) {
      const std::string one = line.substr(start, lf + 1 - start);
      if (one.size() >= limit || one.find('\0') != std::string::npos ||
          (windows && (one.find('\x1A') != std::string::npos || lf == start || line[lf - 1] != '\r'))) {
        break;
      }
      want_good = lf + 1;
      ++want_lines;
    }
    for (velko::Isa isa : velko::kIsas) {
      const velko::Kernels* k = velko::KernelsFor(isa);
      if (!k) continue;
      const std::vector<char> text(line.begin(), line.end());  // exactly its bytes
      unsigned long long lines = 0;
      if (k->plain_lines(text.data(), text.size(), windows, limit, &lines) != want_good ||
          lines != want_lines) {
        std::abort();
      }
    }
  }
  // Shift_JIS to JIS over lines as read: what it takes is whole lines the rules leave alone,
  // written as the scalar line kernel writes each, with their count and the lines marked;
  // the text as it was after.
  for (bool windows : {false, true}) {
    const std::size_t last_lf = line.rfind('\n');
    if (last_lf == std::string::npos) break;
    const std::string raw = line.substr(0, last_lf + 1);
    unsigned long long plain_lines = 0;
    const std::size_t plain = scalar_kernels.plain_lines(raw.data(), raw.size(), windows, limit, &plain_lines);
    for (velko::Isa isa : velko::kIsas) {
      const velko::Kernels* k = velko::KernelsFor(isa);
      if (!k) continue;
      std::vector<char> in(raw.begin(), raw.end());
      in.push_back('\0');
      std::vector<char> out(3 * raw.size() + 4);
      velko::BlockTaken taken;
      const std::size_t n = k->sjis_to_jis_lines(out.data(), in.data(), raw.size(), windows, limit, &taken);
      if (std::string(in.data(), raw.size()) != raw || in.back() != '\0' || taken.read > plain) std::abort();
      if (n == velko::kNoBlock) continue;
      std::string want;
      unsigned long long lines = 0, marked = 0, first = 0;
      bool direct = true;
      for (std::size_t at = 0; at < taken.read; ++lines) {
        const std::size_t end = raw.find('\n', at) + 1;
        const std::string one = raw.substr(at, end - at);
        std::vector<char> one_out(3 * one.size() + 4);
        bool d = true, kana = false;
        want.append(one_out.data(), scalar_kernels.sjis_to_jis_line(one_out.data(), one.c_str(), one.size(), &d, &kana));
        if (kana && marked++ == 0) first = lines;
        direct = direct && d;
        at = end;
      }
      if (!direct || std::string(out.data(), n) != want || taken.lines != lines || taken.marks.lines != marked ||
          (marked > 0 && taken.marks.first != first)) {
        std::abort();
      }
    }
  }
  constexpr Op kOps[] = {kToJis, kToSjis, kNecStep, kJisStep, kB64Text, kDecode};
  std::string scalar[std::size(kOps)];
  for (velko::Isa isa : velko::kIsas) {
    if (!velko::UseKernels(isa)) continue;
    for (std::size_t i = 0; i < std::size(kOps); ++i) {
      const Converted c = Convert(kOps[i], line);
      if (!c.agrees || !c.in_bounds || !c.direct_holds) std::abort();
      if (isa == velko::Isa::kScalar) scalar[i] = c.text;
      if (c.text != scalar[i]) std::abort();
    }
  }
  return 0;
}
