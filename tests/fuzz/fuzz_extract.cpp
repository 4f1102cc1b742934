// The attachment extraction on an arbitrary mail held in memory, read in short pieces: it must
// end with exactly one box whatever the mail holds, and never change the mail, even when the
// user chooses the mail's own name for an attachment.
#include <cstdint>
#include <string>

#include "command.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velko;
  fuzz::MemoryFiles files;
  const std::string mail(reinterpret_cast<const char*>(data), size);
  files.files["MAIL"] = mail;
  files.seed = static_cast<std::uint32_t>(size);
  fuzz::RoteHost host("MAIL", {"out1", "out2", "", "mail"});
  Services sv{host, files};
  fuzz::Require(RunCommand(BTN_B64BIN, nullptr, sv) == 1 && host.boxes == 1);
  fuzz::Require(files.files["MAIL"] == mail);
  return 0;
}
