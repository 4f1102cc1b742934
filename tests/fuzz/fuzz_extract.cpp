// The extraction of an arbitrary mail read in short pieces: exactly one box, the last, and the
// mail never changes, even when its own name is chosen for an attachment.
#include <cstdint>

#include "command.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velko;
  test::TempDir dir;
  const std::string mail(reinterpret_cast<const char*>(data), size);
  test::WriteFile(dir.Path("MAIL"), mail);
  test::FaultyFileOps files;
  files.short_reads = static_cast<std::uint32_t>(size) | 1;
  test::ScriptedHost host;
  host.field = dir.Path("MAIL");
  for (int i = 0; i < 64; ++i) {
    host.choices.push_back(
        i % 5 == 4 ? "" : dir.Path(i % 5 == 3 ? "mail" : "o" + std::to_string(i % 2)));
    host.answers.push_back(static_cast<Answer>(i % 3));
  }
  Services sv{host, files};
  RunCommand(BTN_B64BIN, nullptr, sv);
  for (const test::Box& box : host.boxes) {
    if (box.question == (&box == &host.boxes.back())) std::abort();  // notices: one, the last
  }
  if (host.boxes.empty() || test::ReadFile(dir.Path("MAIL")) != mail) std::abort();
  return 0;
}
