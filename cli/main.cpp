// velko-cli: the window's commands on files and on standard input, for scripts and batch work.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "attachments.h"
#include "bytes.h"
#include "command.h"
#include "console.h"
#include "console_host.h"
#include "extract.h"
#include "fileops_native.h"
#include "texts.h"
#include "version.h"

namespace {

using velko::File;
using velko::OpenMode;

struct CliCommand {
  const char* name;
  int id;
  bool sjis_input;  // its input is Shift_JIS: a UTF-8 file is refused
  const char* what;
};

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
    "      --force            convert a file that looks like UTF-8 (nec2jis, jis2nec, sjis2jis)\n"
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
  std::fprintf(stderr, "velko-cli: %s\nTry 'velko-cli --help'.\n", problem.c_str());
  return 2;
}

// One of the window's texts with its files, as a line.
std::string Text(const char* format, const std::string& file, const std::string& other = "") {
  char line[3 * velko::kPathSize];
  std::snprintf(line, sizeof line, format, file.c_str(), other.c_str());
  std::string text = line;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Valid UTF-8 holding at least one multi-byte sequence: Shift_JIS is then unlikely. A sequence
// cut by the end of the sample counts as valid.
bool LooksLikeUtf8(const std::string& s) {
  bool multibyte = false;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = velko::Utf8Length(static_cast<unsigned char>(s[i]));
    if (n-- == 0) return false;
    for (std::size_t k = 1; k <= n && i + k < s.size(); ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    multibyte |= n > 0;
    i += n + 1;
  }
  return multibyte;
}

// A file whose first bytes were read ahead: they come first, then the rest.
class Replayed : public File {
 public:
  Replayed(std::string head, std::unique_ptr<File> rest)
      : head_(std::move(head)), rest_(std::move(rest)) {}
  long Read(void* buffer, std::size_t size) override {
    if (pos_ == head_.size()) return rest_->Read(buffer, size);
    std::size_t n = std::min(size, head_.size() - pos_);
    std::memcpy(buffer, head_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  bool Write(const void* data, std::size_t size) override { return rest_->Write(data, size); }
  bool Close() override { return rest_->Close(); }

 private:
  std::string head_;
  std::unique_ptr<File> rest_;
  std::size_t pos_ = 0;
};

// The first 64 KiB of `file`, read ahead; false after a read failure.
bool ReadHead(File& file, std::string* head) {
  head->resize(64 * 1024);
  std::size_t got = 0;
  for (long n = 1; n > 0 && got<head->size(); got += n> 0 ? n : 0) {
    n = file.Read(&(*head)[got], head->size() - got);
    if (n < 0) return false;
  }
  head->resize(got);
  return true;
}

struct Run {
  const CliCommand& command;
  const char* completion;
  velko::ConsoleHost& host;
  velko::FileOps& files;
  std::string output;  // -o
  bool numbered, force;
  std::set<std::string> backups;  // made in this run
};

// A line command from `in` to standard output or to OUT (written beside it, then put in its
// place, so that OUT is whole or as it was).
void ConvertStream(Run& run, std::unique_ptr<File> in, const std::string& name) {
  const velko::LineStep& step = *velko::LineStepFor(run.command.id);
  std::string head;
  if (!in) {
    return run.host.Error(
        Text(run.files.Exists(name.c_str()) ? velko::kErrInputOpen : velko::kErrNoInput, name));
  }
  if (!ReadHead(*in, &head)) return run.host.Error(Text(velko::kErrInputRead, name));
  if (run.command.sjis_input && !run.force && LooksLikeUtf8(head)) {
    return run.host.Error("looks like UTF-8, not Shift_JIS: not converted (--force converts it)");
  }
  Replayed input(std::move(head), std::move(in));
  std::unique_ptr<char[]> buffers = velko::LineBuffers(step);
  if (!buffers) return run.host.Error(velko::kErrMemory);
  const std::string& out = run.output;
  if (out.empty()) {
    std::unique_ptr<File> stdout_file = velko::StandardStream(1);
    if (velko::ConvertLines(input, *stdout_file, step, buffers.get()) !=
        velko::LinesResult::kDone) {
      run.host.Error("the conversion failed (a read or write error)");
    }
    return;
  }
  if (run.files.Exists(out.c_str()) &&
      run.files.Kind(out.c_str(), true) != velko::EntryKind::kRegular) {
    return run.host.Error(out + ": not a regular file: not written");
  }
  std::string temp;
  std::unique_ptr<File> file;
  for (int n = 0; !file && n < 100; ++n) {
    temp = out + ".velko-" + std::to_string(n);
    file = run.files.Open(temp.c_str(), OpenMode::kCreate);
  }
  if (!file) return run.host.Error(out + ": cannot be written beside (no free temporary name)");
  if (run.files.Exists(out.c_str())) run.files.CopyPermissions(out.c_str(), temp.c_str());
  velko::LinesResult r = velko::ConvertLines(input, *file, step, buffers.get());
  if (r != velko::LinesResult::kDone || !run.files.Replace(temp.c_str(), out.c_str())) {
    run.files.Remove(temp.c_str());
    return run.host.Error(r == velko::LinesResult::kReadError ? Text(velko::kErrInputRead, name)
                                                              : Text(velko::kErrOutputWrite, out));
  }
  run.host.Notice(out, run.completion);
}

// A line command in place, as the window runs it, after velko-cli's own checks.
void ConvertInPlace(Run& run, const std::string& file) {
  char backup[velko::kPathSize];
  if (!velko::MakeBackupPath(backup, file.c_str(), "BAK", run.files.Style())) backup[0] = 0;
  if (run.command.sjis_input && !run.force &&
      run.files.Kind(file.c_str(), true) == velko::EntryKind::kRegular) {
    std::string head;
    std::unique_ptr<File> in = run.files.Open(file.c_str(), OpenMode::kRead);
    if (in && ReadHead(*in, &head) && LooksLikeUtf8(head)) {
      return run.host.Error("looks like UTF-8, not Shift_JIS: not converted (--force converts it)");
    }
  }
  if (!run.numbered && run.backups.count(backup)) {
    return run.host.Error(std::string("its backup ") + backup +
                          " was made from another file in this run: not converted "
                          "(--backup=numbered keeps both)");
  }
  if (run.numbered && backup[0] && run.files.Exists(backup) &&
      !run.files.SameFile(backup, file.c_str())) {
    // The old backup is kept as BAK.~N~ with the first free N; the frame then finds none.
    std::string kept;
    for (int n = 1; kept.empty() || run.files.Exists(kept.c_str()); ++n) {
      kept = std::string(backup) + ".~" + std::to_string(n) + "~";
    }
    if (!run.files.RenameNoReplace(backup, kept.c_str())) {
      return run.host.Error(Text(velko::kErrRename, backup, kept));
    }
  }
  velko::Services services{run.host, run.files};
  const velko::LineStep& step = *velko::LineStepFor(run.command.id);
  if (velko::ConvertInPlace(file.c_str(), step, run.completion, nullptr, services) && backup[0]) {
    run.backups.insert(backup);
  }
}

}  // namespace

int main(int argc, char** argv) {
  velko::InitConsole();
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

  velko::FileOps& ops = velko::NativeFileOps(false);  // never writes through a link
  velko::ConsoleHost host(quiet);
  velko::AttachmentFiles attachments(host, ops, dir_given ? dir : ".",
                                     static_cast<velko::ExistsPolicy>(policy), mode.decode_names);
  const velko::Services services{host, ops};
  const char* completion = velko::FindCommand(command->id)->completion;
  Run run{*command, completion, host, ops, output, backup == "numbered", force, {}};
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
      ConvertStream(run, velko::StandardStream(0), file);
    } else if (!output.empty()) {
      ConvertStream(run, ops.Open(file.c_str(), OpenMode::kRead), file);
    } else if (b64bin) {
      velko::ExtractAttachments(file.c_str(), completion, nullptr, services, mode, &attachments);
    } else {
      ConvertInPlace(run, file);
    }
    failed |= host.ErrorShown();
  }
  return failed ? 1 : 0;
}
