// velko-cli: the window's commands on files and on standard input, for scripts and batch work.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "attachments.h"
#include "command.h"
#include "console.h"
#include "console_host.h"
#include "extract.h"
#include "fileops_native.h"
#include "line_commands.h"
#include "undo.h"
#include "version.h"

namespace {

using velko::File;
using velko::OpenMode;
using CliCommand = velko::LineCommand;

const CliCommand kCliCommands[] = {
    {"nec2jis", velko::BTN_NECTOJIS, true, "NEC ruled-line characters to JIS ones"},
    {"jis2nec", velko::BTN_JISTONEC, true, "JIS ruled-line characters to NEC ones"},
    {"sjis2jis", velko::BTN_SJTOJIS, true, "Shift_JIS text to 7-bit JIS (ISO-2022-JP)"},
    {"jis2sjis", velko::BTN_JISTOSJ, false, "7-bit JIS (ISO-2022-JP) text to Shift_JIS"},
    {"b64text", velko::BTN_B64TEXT, false, "expands Base64 encoded words inside the lines"},
    {"b64bin", velko::BTN_B64BIN, false, "writes the Base64 attachments of mails to files"},
};

const char kHelp[] =
    "Usage: velko-cli COMMAND [OPTION]... FILE...\n"
    "       velko-cli --help | --version\n"
    "Runs one of the window's commands on each FILE. Commands:\n"
    "%s"
    "The line commands rewrite FILE in place and keep its old content as FILE's name with\n"
    "the extension BAK. With FILE '-', or with no FILE when standard input is no terminal,\n"
    "they read standard input and write standard output.\n"
    "  -o, --output=OUT       write the result of the one FILE to OUT; FILE stays as it is\n"
    "      --backup=CONTROL   simple: the old BAK is replaced (default); numbered: it is first\n"
    "                         kept as BAK.~N~, so no backup is ever removed\n"
    "      --force            convert input that looks like UTF-8 or EUC-JP (nec2jis, jis2nec,\n"
    "                         sjis2jis), JIS already (sjis2jis), Shift_JIS (jis2sjis)\n"
    "New content goes to a temporary file beside its file and takes its name when whole; a\n"
    "stopped run puts the original back, a file another run converts is refused.\n"
    "b64bin writes each attachment into DIR under the name its mail gives, upper-cased:\n"
    "      --dir=DIR          where the attachments go (default: the current folder)\n"
    "      --exists=WHAT      for a file that exists: ask (on a terminal, the default),\n"
    "                         overwrite, append, skip, or rename (REPORT(1).PDF)\n"
    "      --decode-names     name each part as a mail reader does (RFC 2231 filename*=,\n"
    "                         RFC 2047 words, unquoted names, the Content-Type's name=)\n"
    "      --list             one line per Base64 part: its name, its size, and whether the\n"
    "                         window extracts it; nothing is written\n"
    "A Base64 part left in the mail is told on stderr, with its line and why.\n"
    "  -q, --quiet            no notices, only errors\n"
    "  -h, --help             this help;  -V, --version  the version\n"
    "Messages: 'FILE: TEXT' on stdout, 'velko-cli: FILE: TEXT' on stderr, in the locale's\n"
    "encoding. Exit status: 0 no error, 1 an error for some FILE, 2 usage error.\n"
    "Examples:\n"
    "  velko-cli sjis2jis mail.txt              # mail.txt in JIS, mail.BAK the original\n"
    "  velko-cli jis2sjis < in.txt > out.txt    # as a filter\n"
    "  velko-cli b64bin --dir att --exists rename inbox/*.eml\n"
    "  velko-cli b64bin --list --decode-names inbox.eml\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "velko-cli: %s\nTry 'velko-cli --help'.\n", velko::Shown(problem).c_str());
  return 2;
}

// Output that never arrived (a full disk, a closed standard output) is a failure, whatever
// else went well.
int Finished(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("velko-cli: standard output: write error\n", stderr);
    return status == 0 ? 1 : status;
  }
  return status;
}

int Run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  velko::InitConsole();
  return Finished(Run(argc, argv));
}

namespace {

int Run(int argc, char** argv) {
  enum { kBackup = 256, kForce, kDir, kExists, kDecodeNames, kList };
  const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                             {"version", no_argument, nullptr, 'V'},
                             {"quiet", no_argument, nullptr, 'q'},
                             {"output", required_argument, nullptr, 'o'},
                             {"backup", required_argument, nullptr, kBackup},
                             {"force", no_argument, nullptr, kForce},
                             {"dir", required_argument, nullptr, kDir},
                             {"exists", required_argument, nullptr, kExists},
                             {"decode-names", no_argument, nullptr, kDecodeNames},
                             {"list", no_argument, nullptr, kList},
                             {nullptr, 0, nullptr, 0}};
  std::string output, dir, backup = "simple", exists;
  bool quiet = false, force = false, dir_given = false;
  velko::ExtractMode mode;
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":hVqo:", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'h': {
        std::string list;
        for (const CliCommand& cc : kCliCommands) {
          list += "  " + std::string(cc.name) + std::string(10 - std::strlen(cc.name), ' ') +
                  cc.what + "\n";
        }
        std::printf(kHelp, list.c_str());
        return 0;
      }
      case 'V': std::printf("velko-cli %s\n", VELKO_VERSION); return 0;
      case 'q': quiet = true; break;
      case 'o': output = optarg; break;
      case kBackup: backup = optarg; break;
      case kForce: force = true; break;
      case kDir: dir = optarg, dir_given = true; break;
      case kExists: exists = optarg; break;
      case kDecodeNames: mode.decode_names = true; break;
      case kList: mode.list = true; break;
      case ':': return Usage(std::string(argv[optind - 1]) + " needs a value");
      default: return Usage("unknown option '" + std::string(argv[optind - 1]) + "'");
    }
  }
  if (optind >= argc) return Usage("no command given");
  const CliCommand* command = nullptr;
  for (const CliCommand& c : kCliCommands) {
    if (std::strcmp(argv[optind], c.name) == 0) command = &c;
  }
  if (!command) return Usage("unknown command '" + std::string(argv[optind]) + "'");
  const bool b64bin = command->id == velko::BTN_B64BIN;
  std::vector<std::string> files(argv + optind + 1, argv + argc);
  const std::vector<std::string> policies = {"ask", "overwrite", "append", "skip", "rename"};
  std::size_t policy = 0;
  while (policy < policies.size() && !exists.empty() && policies[policy] != exists) ++policy;
  if (policy == policies.size())
    return Usage("--exists takes ask, overwrite, append, skip or rename");
  if (backup != "simple" && backup != "numbered") return Usage("--backup takes simple or numbered");
  if (b64bin && (!output.empty() || force || backup != "simple")) {
    return Usage("-o, --backup and --force are for the line commands");
  }
  if (!b64bin && (dir_given || !exists.empty() || mode.decode_names || mode.list)) {
    return Usage("--dir, --exists, --decode-names and --list are for b64bin");
  }
  if (dir_given && velko::NativeFileOps().Kind(dir.c_str(), true) != velko::EntryKind::kDirectory) {
    return Usage("--dir: no such folder: " + dir);
  }
  if (files.empty() && !velko::IsTerminal(0)) files.push_back("-");
  if (files.empty()) return Usage("no FILE given");
  if (!output.empty() && files.size() != 1) return Usage("-o takes one FILE");

  // Never writes through a link; puts every file back under its own name when stopped.
  velko::UndoOnStop ops(velko::NativeFileOps(false));
  velko::ConsoleHost host(quiet);
  velko::AttachmentFiles attachments(host, ops, dir_given ? dir : ".",
                                     static_cast<velko::ExistsPolicy>(policy), mode.decode_names);
  const velko::Services services{host, ops};
  const char* completion = velko::FindCommand(command->id)->completion;
  velko::LineRun run{*command, completion, host, ops, output, backup == "numbered", force};
  bool failed = false;
  for (const std::string& file : files) {
    // Standard output carries the converted text: no notices there.
    host.Begin(file, !(file == "-" && output.empty() && !b64bin));
    if (file.size() >= velko::kPathSize) {
      host.Error("file name longer than 511 bytes: not converted");
    } else if (file == "-" && b64bin) {
      std::unique_ptr<File> in = velko::StandardStream(0);
      velko::ExtractAttachmentsFrom(*in, "-", completion, nullptr, services, mode, &attachments);
    } else if (file == "-") {
      velko::ConvertStream(run, velko::StandardStream(0), file);
    } else if (!output.empty()) {
      velko::ConvertStream(run, ops.Open(file.c_str(), OpenMode::kRead), file);
    } else if (b64bin) {
      velko::ExtractAttachments(file.c_str(), completion, nullptr, services, mode, &attachments);
    } else {
      velko::ConvertFile(run, file);
    }
    failed |= host.ErrorShown();
    ops.Settle();
  }
  return failed ? 1 : 0;
}

}  // namespace
