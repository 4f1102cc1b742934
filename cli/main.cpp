// velko-cli: the window's commands on files, for scripts and batch work.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "console_host.h"
#include "fileops_native.h"

namespace {

struct CliCommand {
  const char* name;
  int id;
  const char* what;
};

const CliCommand kCliCommands[] = {
    {"nec2jis", velko::BTN_NECTOJIS, "NEC ruled-line characters to JIS ones, in place"},
    {"jis2nec", velko::BTN_JISTONEC, "JIS ruled-line characters to NEC ones, in place"},
    {"sjis2jis", velko::BTN_SJTOJIS, "Shift_JIS text to 7-bit JIS (ISO-2022-JP), in place"},
    {"jis2sjis", velko::BTN_JISTOSJ, "7-bit JIS (ISO-2022-JP) text to Shift_JIS, in place"},
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: velko-cli COMMAND FILE...\n"
      "\n"
      "Runs one of the window's commands on each FILE in turn, as if FILE had been typed\n"
      "into the file-name field. Commands:\n",
      out);
  for (const CliCommand& c : kCliCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.what);
  std::fputs(
      "\n"
      "Text commands keep the old content as FILE's name with the extension BAK (an old\n"
      "one is replaced). Every message box becomes one line \"CAPTION: TEXT\": notices on\n"
      "stdout, errors on stderr.\n"
      "Exit status: 0 no error, 1 an error was shown for some FILE, 2 usage error.\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintUsage(stdout);
    return 0;
  }
  const CliCommand* command = nullptr;
  if (argc >= 2) {
    for (const CliCommand& c : kCliCommands) {
      if (std::strcmp(argv[1], c.name) == 0) command = &c;
    }
  }
  if (command == nullptr || argc < 3) {
    if (argc >= 2 && command == nullptr) {
      std::fprintf(stderr, "velko-cli: unknown command '%s'\n", argv[1]);
    }
    PrintUsage(stderr);
    return 2;
  }

  velko::ConsoleHost host;
  velko::Services services{host, velko::NativeFileOps()};
  bool failed = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strlen(argv[i]) >= velko::kPathSize) {
      std::fprintf(stderr, "velko-cli: file name longer than %zu bytes, not converted: %s\n",
                   velko::kPathSize - 1, argv[i]);
      failed = true;
      continue;
    }
    host.SetArgument(argv[i]);
    host.ClearErrorShown();
    velko::RunCommand(command->id, nullptr, services);
    if (host.ErrorShown()) failed = true;
  }
  return failed ? 1 : 0;
}
