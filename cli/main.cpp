// velko-cli: the window's commands on files, for scripts and batch work.
#include <sys/stat.h>

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
    {"b64text", velko::BTN_B64TEXT, "expands Base64 encoded words inside the lines, in place"},
    {"b64bin", velko::BTN_B64BIN, "writes the Base64 attachments of mail files to files"},
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: velko-cli COMMAND FILE...\n"
      "       velko-cli b64bin [--dir DIR] [--exists ask|overwrite|append|skip] MAIL...\n"
      "\n"
      "Runs one of the window's commands on each FILE in turn, as if FILE had been typed\n"
      "into the file-name field. Commands:\n",
      out);
  for (const CliCommand& c : kCliCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.what);
  std::fputs(
      "\n"
      "In-place commands keep the old content as FILE's name with the extension BAK (an\n"
      "old one is replaced). Every message box becomes one line \"CAPTION: TEXT\": notices\n"
      "on stdout, errors on stderr.\n"
      "\n"
      "b64bin saves each attachment in DIR (default: the current directory) under the\n"
      "base name its mail gives, upper-cased; names that would leave DIR are reduced to\n"
      "their last part, unusable ones skipped. Each file written is reported on stdout\n"
      "(\"saved PATH (N bytes)\" or \"appended PATH (N bytes)\"). --exists answers the\n"
      "question for a file that exists: overwrite, append, skip, or ask (the default)\n"
      "on the terminal; with no terminal to ask, the attachment is skipped.\n"
      "\n"
      "Exit status: 0 no error, 1 an error was shown for some FILE, 2 usage error.\n",
      out);
}

int UsageError(const char* format, const char* arg) {
  std::fprintf(stderr, "velko-cli: ");
  std::fprintf(stderr, format, arg);
  std::fputs("\n", stderr);
  PrintUsage(stderr);
  return 2;
}

bool ParseExists(const char* word, velko::ExistsPolicy* policy) {
  struct {
    const char* name;
    velko::ExistsPolicy policy;
  } const kPolicies[] = {
      {"ask", velko::ExistsPolicy::kAsk},
      {"overwrite", velko::ExistsPolicy::kOverwrite},
      {"append", velko::ExistsPolicy::kAppend},
      {"skip", velko::ExistsPolicy::kSkip},
  };
  for (const auto& p : kPolicies) {
    if (std::strcmp(word, p.name) == 0) {
      *policy = p.policy;
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc < 2) return UsageError("%s", "no command given");
  const CliCommand* command = nullptr;
  for (const CliCommand& c : kCliCommands) {
    if (std::strcmp(argv[1], c.name) == 0) command = &c;
  }
  if (command == nullptr) return UsageError("unknown command '%s'", argv[1]);

  std::string dir = ".";
  velko::ExistsPolicy policy = velko::ExistsPolicy::kAsk;
  int first = 2;
  while (first < argc && command->id == velko::BTN_B64BIN && argv[first][0] == '-' &&
         argv[first][1] == '-' && argv[first][2] != 0) {
    std::string option = argv[first];
    std::string value;
    std::size_t eq = option.find('=');
    if (eq != std::string::npos) {
      value = option.substr(eq + 1);
      option.erase(eq);
      ++first;
    } else {
      if (first + 1 >= argc) return UsageError("%s needs a value", option.c_str());
      value = argv[first + 1];
      first += 2;
    }
    if (option == "--dir") {
      struct stat st;
      if (::stat(value.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return UsageError("--dir: no such folder: %s", value.c_str());
      }
      dir = value;
    } else if (option == "--exists") {
      if (!ParseExists(value.c_str(), &policy)) {
        return UsageError("--exists takes ask, overwrite, append or skip, not '%s'", value.c_str());
      }
    } else {
      return UsageError("unknown option '%s'", option.c_str());
    }
  }
  if (first < argc && std::strcmp(argv[first], "--") == 0) ++first;
  if (first >= argc) return UsageError("%s: no file given", command->name);

  velko::ConsoleHost host;
  host.SetExtraction(dir, policy);
  velko::Services services{host, velko::NativeFileOps(false)};  // never through a link
  bool failed = false;
  for (int i = first; i < argc; ++i) {
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
