// The in-place frame on any file read in short pieces, a read, write or close failing at a random
// point: the output is the reference reader's pieces through the reference step, the file as it
// was after a failure, no failure passes for success, and the backup holds the whole original
// (none when the result is the input).
// Reader and writer also run on their own at a small buffer and limit.
// The frame runs under either text rules, with the kernels of any instruction set.
// Input: [command] [seed] [seed] [fault] then the file's bytes. Bit 4 of the command byte: byte
// rules; bit 5: the bytes mapped onto lead bytes, escapes and line ends; bits 6-7: the kernels.
#include <cstdint>

#include "app/command.h"
#include "codec/kernels.h"
#include "support.h"
#include "text/textio.h"
#include "ports/texts.h"

using namespace velko;
using namespace velko::test;

std::string Crlf(const std::string& text) {  // as written: up to a NUL, each LF as CR LF
  std::string out;
  for (char c : text.substr(0, text.find('\0'))) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int ids[] = {BTN_NECTOJIS, BTN_JISTONEC, BTN_SJTOJIS, BTN_JISTOSJ, BTN_B64TEXT};
  const Op ops[] = {kNecStep, kJisStep, kToJis, kToSjis, kB64Text};
  std::string original(reinterpret_cast<const char*>(data) + 4, size - 4);
  static const char kAlphabet[] = "\x86\xA2\x88\x9F\xE0\x40\x81\xB1\x1B$B(J\r\n\r\nAb)\x1F";
  if (data[0] & 32) {
    for (char& c : original) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
  }
  const bool windows = (data[0] & 16) == 0;
  if (!UseKernels(kIsas[(data[0] >> 6) % 3])) return 0;
  std::string expected;
  for (const std::string& piece : reference::Reads(original, windows)) {
    const std::string line = piece.substr(0, piece.find('\0'));
    const Converted c = Convert(ops[data[0] % 5], line);
    if (!c.agrees || !c.in_bounds || !c.direct_holds) std::abort();
    for (char b : c.text) expected += b == '\n' && windows ? "\r\n" : std::string(1, b);
  }
  TempDir dir;
  WriteFile(dir.Path("F.TXT"), original);
  FaultyFileOps files;
  files.short_reads = data[1] | data[2] << 8;
  const std::size_t at = (data[3] >> 2) * (original.size() + 1) / 63;  // 0 to the whole size
  if ((data[3] & 3) == 1) files.read_fails_at = at;
  if ((data[3] & 3) == 2) files.write_fails_at = at;
  if ((data[3] & 3) == 3) files.fail_write_close = 1;
  ScriptedHost host;
  host.field = dir.Path("F.TXT");
  Services sv{host, files, windows ? TextRules::kWindows : TextRules::kBytes};
  RunCommand(ids[data[0] % 5], nullptr, sv);
  const std::string written = ReadFile(dir.Path("F.TXT"));
  const bool done = host.boxes.size() == 1 && host.boxes[0].kind == BoxKind::kMessage;
  std::size_t entries = 0;  // no file is left behind but the target and its backup
  for (const auto& e : std::filesystem::directory_iterator(dir.dir)) entries += e.exists();
  // A read that fails only past a 0x1A that ended the text (looking for text after it) leaves
  // the conversion whole: either outcome is right there, as long as a success is the right one.
  const std::size_t text_end = windows ? original.find('\x1a') : std::string::npos;
  const bool past_end = text_end != std::string::npos && (data[3] & 3) == 1 && at > text_end;
  const bool changed = done && expected != original;
  if (host.boxes.size() != 1 || ReadFile(dir.Path("F.BAK")) != (changed ? original : "<missing>") ||
      (done == files.failed && !(done && past_end)) ||
      written != (done ? expected : original) || entries != 1u + changed) {
    std::abort();
  }
  const std::size_t area_size = 2 + data[1] % 64, limit = 2 + data[2] % 16;
  const bool text = data[0] & 8;
  WriteFile(dir.Path("F.BAK"), original);
  std::unique_ptr<File> in = NativeFileOps().Open(dir.Path("F.BAK").c_str(), OpenMode::kRead);
  std::unique_ptr<File> out = NativeFileOps().Open(dir.Path("OUT").c_str(), OpenMode::kWrite);
  std::vector<char> area(area_size), copy(limit), out_area(area_size / 2);
  LineReader reader(*in, text, area.data(), area_size);
  OutStream writer(*out, out_area.data(), area_size / 2);
  std::vector<std::string> pieces;
  std::string crlf;
  char* line = copy.data();
  for (std::size_t n = 0;
       (pieces.size() % 3 && text
            ? reader.ReadLineInPlace(copy.data(), limit, &line, &n)
            : reader.ReadLine(line = copy.data(), limit, &n)) == ReadResult::kLine;) {
    pieces.emplace_back(line, n);
    writer.PutText(line, n);
    crlf += Crlf(pieces.back());
  }
  if (pieces != reference::Reads(original, text, limit) ||
      !writer.Write(original.data(), original.size()) || !writer.Flush() || !out->Close() ||
      ReadFile(dir.Path("OUT")) != crlf + original) {
    std::abort();
  }
  return 0;
}
