// velko-cli: the window's commands on files and on standard input, for scripts and batch work.
// This file finds the command; each family of commands lives in a file of its own.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command.h"
#include "console.h"
#include "families.h"
#include "options.h"

namespace velko {

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> commands = {
      {"nec2jis", BTN_NECTOJIS, true, N("NEC ruled-line characters to JIS ones"),
       N("NEC ruled lines converted to JIS ones"), &kConvertFamily},
      {"jis2nec", BTN_JISTONEC, true, N("JIS ruled-line characters to NEC ones"),
       N("JIS ruled lines converted to NEC ones"), &kConvertFamily},
      {"sjis2jis", BTN_SJTOJIS, true, N("Shift_JIS text to 7-bit JIS (ISO-2022-JP)"),
       N("converted from Shift_JIS to JIS"), &kConvertFamily},
      {"jis2sjis", BTN_JISTOSJ, false, N("7-bit JIS (ISO-2022-JP) text to Shift_JIS"),
       N("converted from JIS to Shift_JIS"), &kConvertFamily},
      {"sjis2utf8", kSjisToUtf8, true, N("Shift_JIS (code page 932) text to UTF-8"),
       N("converted from Shift_JIS to UTF-8"), &kTranscodeFamily},
      {"utf82sjis", kUtf8ToSjis, false, N("UTF-8 text to Shift_JIS (code page 932)"),
       N("converted from UTF-8 to Shift_JIS"), &kTranscodeFamily},
      {"jis2utf8", kJisToUtf8, false, N("7-bit JIS (ISO-2022-JP) text to UTF-8"),
       N("converted from JIS to UTF-8"), &kTranscodeFamily},
      {"utf82jis", kUtf8ToJis, false, N("UTF-8 text to 7-bit JIS (ISO-2022-JP)"),
       N("converted from UTF-8 to JIS"), &kTranscodeFamily},
      {"eucjp2utf8", kEucJpToUtf8, false, N("EUC-JP text to UTF-8"),
       N("converted from EUC-JP to UTF-8"), &kTranscodeFamily},
      {"utf82eucjp", kUtf8ToEucJp, false, N("UTF-8 text to EUC-JP"),
       N("converted from UTF-8 to EUC-JP"), &kTranscodeFamily},
      {"toutf8", kToUtf8, false, N("every legacy text of the files and folders named into UTF-8"),
       "", &kToUtf8Family},
      {"check", kCheck, false,
       N("names the encoding of each FILE and what each command would change"), "", &kCheckFamily},
      {"b64text", BTN_B64TEXT, false, N("expands Base64 encoded words inside the lines"),
       N("encoded words expanded"), &kB64TextFamily},
      {"b64bin", BTN_B64BIN, false, N("writes the attachments of mails to files"),
       N("attachments extracted"), &kB64BinFamily},
  };
  return commands;
}

const CliCommand* FindCliCommand(const std::string& name) {
  for (const CliCommand& command : CliCommands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace velko

namespace {

using velko::Say;
using velko::Tr;

const char* const kOverview = velko::N(
    "Usage: velko-cli COMMAND [OPTION]... FILE...\n"
    "       velko-cli help [COMMAND] | --help | --version\n"
    "Converts Japanese text and mail files: Shift_JIS (code page 932), 7-bit JIS\n"
    "(ISO-2022-JP), EUC-JP and UTF-8: the commands of velko, the VELKO window, and more.\n"
    "Commands:\n"
    "%s"
    "'velko-cli help COMMAND' (or 'velko-cli COMMAND --help') tells a command's options.\n"
    "The commands that rewrite a text do it in place and keep its old content as FILE's name\n"
    "with the extension BAK; with FILE '-', or with no FILE when standard input is not a\n"
    "terminal, they read standard input and write standard output.\n"
    "Messages: 'FILE: TEXT' on stdout, 'velko-cli: FILE: TEXT' on stderr, in the locale's\n"
    "language and encoding. Exit status: 0 no error, 1 an error for some FILE, 2 usage error.\n");

const char* const kExamples =
    "  velko-cli toutf8 -r --dry-run old-disk      # what each file is and would become\n"
    "  velko-cli toutf8 -r old-disk                # all of it in UTF-8, every original as BAK\n"
    "  velko-cli sjis2jis mail.txt              # mail.txt in JIS, mail.BAK the original\n"
    "  velko-cli jis2sjis < in.txt > out.txt    # as a filter\n"
    "  velko-cli sjis2utf8 -o memo-utf8.txt memo.txt\n"
    "  velko-cli check --tsv archive/*.txt\n"
    "  velko-cli b64bin --dir att --exists rename --manifest att.tsv ~/Mail/inbox.mbox\n"
    "  velko-cli b64text --decode --to=utf-8 < headers.txt\n";

int Overview() {
  std::string list;
  for (const velko::CliCommand& command : velko::CliCommands()) {
    const std::string name = command.name;
    list += "  " + name + std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') +
            Tr(command.what) + "\n";
  }
  velko::WriteText(stdout, Say(kOverview, {list}) + Tr("Examples:") + "\n" + kExamples);
  return 0;
}

// Output that never arrived (a full disk, a closed standard output) is a failure, whatever
// else went well.
int Finished(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    velko::WriteText(stderr, Say("velko-cli: standard output: write error") + "\n");
    return status == 0 ? 1 : status;
  }
  return status;
}

int Run(const std::vector<std::string>& args) {
  // Options may stand before the command: they go after it, where its table reads them.
  std::size_t at = 1;
  while (at < args.size() && args[at].size() > 1 && args[at][0] == '-' && args[at] != "--") {
    if (args[at] == "-h" || args[at] == "--help") return Overview();
    if (args[at] == "-V" || args[at] == "--version") return velko::PrintVersion();
    ++at;
  }
  if (at > 1 && at < args.size() && velko::FindCliCommand(args[at])) {
    std::vector<std::string> moved(args);
    moved.erase(moved.begin() + at);
    moved.insert(moved.begin() + 1, args[at]);
    return Run(moved);
  }
  if (at >= args.size()) return velko::Usage(Tr("no command given"));
  if (args[at] == "help") {
    if (at + 1 >= args.size()) return Overview();
    const velko::CliCommand* command = velko::FindCliCommand(args[at + 1]);
    if (!command) return velko::Usage(Say("unknown command '%s'", {args[at + 1]}));
    velko::WriteText(stdout, velko::CommandHelp(*command));
    return 0;
  }
  const velko::CliCommand* command = velko::FindCliCommand(args[at]);
  if (!command) return velko::Usage(Say("unknown command '%s'", {args[at]}));
  velko::Parsed parsed;
  const std::vector<std::string> rest(args.begin() + at + 1, args.end());
  const int status = velko::ParseOptions(*command, rest, &parsed);
  if (status >= 0) return status;
  return command->family->run(*command, parsed);
}

}  // namespace

int main(int argc, char** argv) { return Finished(Run(velko::InitConsole(argc, argv))); }
