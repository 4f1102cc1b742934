// The in-place frame on an arbitrary file read in short pieces of random size, with a read,
// write or close failure at a random point: the output must be what a plain byte-at-a-time
// reader gives for the same line step (or, after a failure, a beginning of it), a failure must
// never be reported as success, and the backup must always hold the whole original.
//
// Input: [command] [seed] [seed] [fault] then the file's bytes.
#include <cstdint>
#include <memory>
#include <string>

#include "b64text.h"
#include "command.h"
#include "fuzz_support.h"
#include "jis.h"
#include "ruled.h"
#include "texts.h"

namespace {

using namespace velko;

// The text-mode rules one byte at a time: CR LF is LF, a 0x1A ends the read (and the file when
// it comes first), at most 9999 bytes a read; each piece through the step, LF written as CR LF.
std::string Reference(int id, const std::string& in) {
  std::unique_ptr<char[]> line(new char[MAXCHRS]), work(new char[3 * MAXCHRS]);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t n = 0;
    bool end = false;
    while (n < kReadLimit - 1 && pos < in.size()) {
      char c = in[pos++];
      if (c == '\x1A') {
        end = n == 0;
        break;
      }
      if (c == '\r' && pos < in.size() && in[pos] == '\n') c = in[pos++];
      line[n++] = c;
      if (c == '\n') break;
    }
    if (end || n == 0) return out;
    line[n] = 0;
    const char* text = line.get();
    switch (id) {
      case BTN_NECTOJIS:
        RuledLineStep(line.get(), work.get(), NecToJisRuledLines);
        break;
      case BTN_JISTONEC:
        RuledLineStep(line.get(), work.get(), JisToNecRuledLines);
        break;
      case BTN_SJTOJIS:
        SjisToJisLine(work.get(), line.get());
        text = work.get();
        break;
      case BTN_JISTOSJ:
        JisToSjisLine(work.get(), line.get());
        text = work.get();
        break;
      default:
        B64TextStep(line.get(), work.get());
        break;
    }
    for (; *text != 0; ++text) out += *text == '\n' ? std::string("\r\n") : std::string(1, *text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const int kIds[] = {BTN_NECTOJIS, BTN_JISTONEC, BTN_SJTOJIS, BTN_JISTOSJ, BTN_B64TEXT};
  const int id = kIds[data[0] % 5];
  const std::string original(reinterpret_cast<const char*>(data) + 4, size - 4);
  fuzz::MemoryFiles files;
  files.files["F.TXT"] = original;
  files.seed = data[1] | data[2] << 8;
  const std::size_t at = (data[3] >> 2) * (original.size() + 1) / 63;  // 0 to the whole size
  switch (data[3] & 3) {
    case 1:
      files.read_fails_at = at;
      break;
    case 2:
      files.write_fails_at = at;
      break;
    case 3:
      files.close_fails = true;
      break;
  }
  fuzz::RoteHost host("F.TXT");
  Services sv{host, files};
  fuzz::Require(RunCommand(id, nullptr, sv) == 1 && host.boxes == 1);
  fuzz::Require(files.files["F.BAK"] == original);
  const std::string expected = Reference(id, original);
  const std::string& written = files.files["F.TXT"];
  if (host.caption == kCaptionMessage) {
    fuzz::Require(!files.failed && written == expected);
  } else {
    fuzz::Require(files.failed && host.caption == kCaptionError);
    fuzz::Require(expected.compare(0, written.size(), written) == 0);
  }
  return 0;
}
