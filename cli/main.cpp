// velko-cli: the window's commands on files and on standard input, for scripts and batch work.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "attachments.h"
#include "check.h"
#include "app/command.h"
#include "console.h"
#include "console_host.h"
#include "mail/extract.h"
#include "fileops_native.h"
#include "codec/kernels.h"
#include "line_commands.h"
#include "mailbox.h"
#include "ports/texts.h"
#include "undo.h"
#include "version.h"

namespace {

using velko::File;
using velko::OpenMode;
using velko::Say;
using velko::Tr;

struct CliCommand {
  velko::LineCommand line;
  const char* done;  // the notice of success, in English (the window's own text in Japanese)
};

const CliCommand kCliCommands[] = {
    {{"nec2jis", velko::BTN_NECTOJIS, true, velko::N("NEC ruled-line characters to JIS ones")},
     velko::N("NEC ruled lines converted to JIS ones")},
    {{"jis2nec", velko::BTN_JISTONEC, true, velko::N("JIS ruled-line characters to NEC ones")},
     velko::N("JIS ruled lines converted to NEC ones")},
    {{"sjis2jis", velko::BTN_SJTOJIS, true, velko::N("Shift_JIS text to 7-bit JIS (ISO-2022-JP)")},
     velko::N("converted from Shift_JIS to JIS")},
    {{"jis2sjis", velko::BTN_JISTOSJ, false, velko::N("7-bit JIS (ISO-2022-JP) text to Shift_JIS")},
     velko::N("converted from JIS to Shift_JIS")},
    {{"sjis2utf8", velko::kSjisToUtf8, true, velko::N("Shift_JIS (code page 932) text to UTF-8")},
     velko::N("converted from Shift_JIS to UTF-8")},
    {{"utf82sjis", velko::kUtf8ToSjis, false, velko::N("UTF-8 text to Shift_JIS (code page 932)")},
     velko::N("converted from UTF-8 to Shift_JIS")},
    {{"jis2utf8", velko::kJisToUtf8, false, velko::N("7-bit JIS (ISO-2022-JP) text to UTF-8")},
     velko::N("converted from JIS to UTF-8")},
    {{"utf82jis", velko::kUtf8ToJis, false, velko::N("UTF-8 text to 7-bit JIS (ISO-2022-JP)")},
     velko::N("converted from UTF-8 to JIS")},
    {{"check", velko::kCheck, false,
      velko::N("names the encoding of each FILE and what each command would change")},
     ""},
    {{"b64text", velko::BTN_B64TEXT, false,
      velko::N("expands Base64 encoded words inside the lines")},
     velko::N("encoded words expanded")},
    {{"b64bin", velko::BTN_B64BIN, false,
      velko::N("writes the Base64 attachments of mails to files")},
     velko::N("attachments extracted")},
};

const char* const kHelp = velko::N(
    "Usage: velko-cli COMMAND [OPTION]... FILE...\n"
    "       velko-cli check [--tsv] FILE...\n"
    "       velko-cli --help | --version\n"
    "Runs one of the commands on each FILE. Commands:\n"
    "%sThe line commands and the four to and from UTF-8 rewrite FILE in place and keep its old\n"
    "content as FILE's name with the extension BAK. With FILE '-', or with no FILE when standard\n"
    "input is no terminal, they read standard input and write standard output.\n"
    "  -o, --output=OUT       write the result of the one FILE to OUT ('-': standard output);\n"
    "                         FILE stays as it is\n"
    "      --eol=RULES        keep: a line runs to its LF and every byte stays as it is;\n"
    "                         crlf: the Windows text rules (CR LF read as LF, a 0x1A ends the\n"
    "                         text, LF written as CR LF). Default: %s. The four to and from\n"
    "                         UTF-8 keep line ends as they are; with crlf, a lone LF is CR LF\n"
    "      --backup=CONTROL   simple: the old BAK is replaced (default); numbered: it is first\n"
    "                         kept as BAK.~N~, so no backup is ever removed\n"
    "      --force            convert input that looks like another encoding than the\n"
    "                         command's, or like its result already\n"
    "New content goes to a temporary file beside its file and takes its name when whole; a\n"
    "stopped run puts the original back, a file another run converts is refused.\n"
    "sjis2utf8, utf82sjis, jis2utf8 and utf82jis read code page 932 as Windows does (NEC row\n"
    "13, the IBM extensions, user-defined codes as U+E000-U+E757, half-width kana as\n"
    "U+FF61-U+FF9F) and the PC-98 ruled lines 0x86A2-0x86ED as U+2500-U+254B in order. Where\n"
    "several codes read as one character, the way back is Windows' choice: a JIS row before\n"
    "NEC row 13 before the IBM extensions before their NEC-selected copies. A character or a\n"
    "byte sequence without a mapping is told on stderr with its line and column (columns count\n"
    "bytes from 1) and written as U+FFFD, or '?' into Shift_JIS and JIS; the exit status is 1.\n"
    "jis2utf8 reads ESC $ @, ESC $ B, ESC ( B, ESC ( J (as ASCII), ESC ( I, SO/SI and 8-bit\n"
    "kana; utf82jis writes ESC $ B and ESC ( B only, and tells characters it writes as codes\n"
    "of the vendor rows, which strict decoders refuse. A byte order mark at the start of UTF-8\n"
    "is dropped.\n"
    "      --map=jis          read 0x8160 0x8161 0x817C 0x8191 0x8192 0x81CA as JIS X 0208\n"
    "                         does (U+301C U+2016 U+2212 U+00A2 U+00A3 U+00AC), not as Windows\n"
    "                         (U+FF5E U+2225 U+FF0D U+FFE0 U+FFE1 U+FFE2); either maps back\n"
    "      --pc98             utf82sjis, utf82jis: U+2500-U+254B all as PC-98 codes (default:\n"
    "                         the JIS row-8 code where there is one)\n"
    "      --kana=HOW         half-width kana into JIS: full (full-width, which strict decoders\n"
    "                         take; utf82jis' default), esc-i (ESC ( I) or 8bit (sjis2jis' default)\n"
    "      --bom              sjis2utf8, jis2utf8: begin the text with a byte order mark\n"
    "      --unmapped=WHAT    replace (the default) or fail: write nothing when anything has no\n"
    "                         mapping\n"
    "check names the encoding of each FILE by fixed byte rules (ASCII, UTF-8, Shift_JIS,\n"
    "ISO-2022-JP, EUC-JP, binary, or ambiguous(A|B) when the bytes fit several), counts what\n"
    "matters to the commands, and tells what each would lose or change; --tsv writes a header\n"
    "and a line of tab-separated fields per FILE. Its exit status is 0 when every FILE was\n"
    "named without doubt.\n"
    "b64text --decode writes the encoded words of every line decoded, adjacent ones joined and\n"
    "a header's folded lines unfolded, as a mail reader shows them:\n"
    "      --to=CHARSET       sjis (the default), jis or utf-8\n"
    "b64bin reads each FILE as a mail or an mbox (\"From \" lines), a Maildir (cur/, new/) or a\n"
    "folder of them, read recursively, and writes each attachment into DIR under the name its\n"
    "mail gives, whatever its transfer encoding (base64, quoted-printable, uuencode, 7bit,\n"
    "8bit, binary); a part without a name is named FILE-MESSAGE-PART.EXT. One line per FILE\n"
    "counts the parts saved, skipped and failed; the exit status is 1 unless every part was\n"
    "saved or skipped by the user's choice:\n"
    "      --dir=DIR          where the attachments go (default: the current folder; made\n"
    "                         when missing)\n"
    "      --exists=WHAT      for a file that exists: ask (on a terminal, the default),\n"
    "                         overwrite, append, skip, or rename (report(1).pdf)\n"
    "      --names=HOW        decoded (the default): each part named as a mail reader names it\n"
    "                         (RFC 2231 filename*=, RFC 2047 words, unquoted names, the\n"
    "                         Content-Type's name=), its case kept; raw: as the window names it\n"
    "                         (a quoted filename= only, upper-cased); --decode-names is decoded\n"
    "      --list             one line per attachment: its name, its size, and whether the\n"
    "                         window extracts it; nothing is written\n"
    "      --encodings=WHICH  all (the default), or base64: the window's choice\n"
    "      --manifest=FILE    one tab-separated row per part: mail, message, date, subject,\n"
    "                         from, part, type, encoding, name, path, size, SHA-256, status, why;\n"
    "                         written whole at the end, or when the run is stopped\n"
    "A Base64 part left in the mail is told on stderr, with its line and why.\n"
    "--eol=crlf --names=raw write byte for byte what the Windows program writes.\n"
    "  -q, --quiet            no notices, only errors\n"
    "  -h, --help             this help;  -V, --version  the version\n"
    "Messages: 'FILE: TEXT' on stdout, 'velko-cli: FILE: TEXT' on stderr, in the locale's\n"
    "language and encoding. Exit status: 0 no error, 1 an error for some FILE, 2 usage error.\n"
    "Examples:\n"
    "  velko-cli sjis2jis mail.txt              # mail.txt in JIS, mail.BAK the original\n"
    "  velko-cli jis2sjis < in.txt > out.txt    # as a filter\n"
    "  velko-cli sjis2utf8 -o memo-utf8.txt memo.txt\n"
    "  velko-cli utf82sjis --pc98 --unmapped=fail table.txt\n"
    "  velko-cli jis2utf8 < mail.txt | less\n"
    "  velko-cli utf82jis --kana=esc-i -o mail.jis notes.txt\n"
    "  velko-cli check --tsv archive/*.txt\n"
    "  velko-cli b64bin --dir att --exists rename --manifest att.tsv ~/Mail/inbox.mbox\n"
    "  velko-cli b64bin --list Maildir\n"
    "  velko-cli b64text --decode --to=utf-8 < headers.txt\n");

int Usage(const std::string& problem) {
  velko::WriteText(
      stderr, "velko-cli: " + velko::Shown(problem) + "\n" + Tr("Try 'velko-cli --help'.") + "\n");
  return 2;
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

int Run(std::vector<std::string> args);

}  // namespace

int main(int argc, char** argv) { return Finished(Run(velko::InitConsole(argc, argv))); }

namespace {

int Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(args.size());
  enum {
    kBackup = 256,
    kForce,
    kDir,
    kExists,
    kDecodeNames,
    kNames,
    kEol,
    kList,
    kMap,
    kPc98,
    kKana,
    kBom,
    kUnmapped,
    kTsv,
    kEncodings,
    kManifest,
    kDecode,
    kTo
  };
  const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                             {"version", no_argument, nullptr, 'V'},
                             {"quiet", no_argument, nullptr, 'q'},
                             {"output", required_argument, nullptr, 'o'},
                             {"backup", required_argument, nullptr, kBackup},
                             {"force", no_argument, nullptr, kForce},
                             {"dir", required_argument, nullptr, kDir},
                             {"exists", required_argument, nullptr, kExists},
                             {"decode-names", no_argument, nullptr, kDecodeNames},
                             {"names", required_argument, nullptr, kNames},
                             {"eol", required_argument, nullptr, kEol},
                             {"list", no_argument, nullptr, kList},
                             {"map", required_argument, nullptr, kMap},
                             {"pc98", no_argument, nullptr, kPc98},
                             {"kana", required_argument, nullptr, kKana},
                             {"bom", no_argument, nullptr, kBom},
                             {"unmapped", required_argument, nullptr, kUnmapped},
                             {"tsv", no_argument, nullptr, kTsv},
                             {"encodings", required_argument, nullptr, kEncodings},
                             {"manifest", required_argument, nullptr, kManifest},
                             {"decode", no_argument, nullptr, kDecode},
                             {"to", required_argument, nullptr, kTo},
                             {nullptr, 0, nullptr, 0}};
  const bool windows_rules = velko::PlatformTextRules() == velko::TextRules::kWindows;
  std::string output, dir, backup = "simple", exists, names = "decoded";
  std::string eol = windows_rules ? "crlf" : "keep";
  std::string map, kana, unmapped, encodings, manifest, to;
  bool quiet = false, force = false, dir_given = false, names_given = false, eol_given = false;
  bool pc98 = false, bom = false, tsv = false, list = false, decode = false;
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv.data(), ":hVqo:", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'h': {
        std::string list;
        for (const CliCommand& cc : kCliCommands) {
          const char* name = cc.line.name;
          list += "  " + std::string(name) + std::string(10 - std::strlen(name), ' ') +
                  Tr(cc.line.what) + "\n";
        }
        velko::WriteText(stdout, Say(kHelp, {list, windows_rules ? "crlf" : "keep"}));
        return 0;
      }
      case 'V':
        // The kernels in use, for bug reports: VELKO_ISA chooses others.
        velko::WriteText(stdout, std::string("velko-cli ") + VELKO_VERSION +
                                     "\nLicense: " VELKO_LICENSE "\nkernels: " +
                                     velko::ActiveKernels().name + "\n");
        return 0;
      case 'q': quiet = true; break;
      case 'o': output = optarg; break;
      case kBackup: backup = optarg; break;
      case kForce: force = true; break;
      case kDir: dir = optarg, dir_given = true; break;
      case kExists: exists = optarg; break;
      case kDecodeNames: names = "decoded", names_given = true; break;
      case kNames: names = optarg, names_given = true; break;
      case kEol: eol = optarg, eol_given = true; break;
      case kList: list = true; break;
      case kMap: map = optarg; break;
      case kPc98: pc98 = true; break;
      case kKana: kana = optarg; break;
      case kBom: bom = true; break;
      case kUnmapped: unmapped = optarg; break;
      case kTsv: tsv = true; break;
      case kEncodings: encodings = optarg; break;
      case kManifest: manifest = optarg; break;
      case kDecode: decode = true; break;
      case kTo: to = optarg; break;
      case ':': return Usage(Say("%s needs a value", {argv[optind - 1]}));
      default:  // the option as typed: a letter of a cluster, or the whole long one
        return Usage(
            Say("unknown option '%s'",
                {optopt ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1]}));
    }
  }
  if (optind >= argc) return Usage(Tr("no command given"));
  const CliCommand* command = nullptr;
  for (const CliCommand& c : kCliCommands) {
    if (std::strcmp(argv[optind], c.line.name) == 0) command = &c;
  }
  if (!command) return Usage(Say("unknown command '%s'", {argv[optind]}));
  const int id = command->line.id;
  const bool b64bin = id == velko::BTN_B64BIN, check = id == velko::kCheck;
  const bool transcoding = velko::IsTranscoding(id);
  // getopt_long moved the options before the rest in `argv`, not in `args`.
  std::vector<std::string> files(argv.begin() + optind + 1, argv.begin() + argc);
  const std::vector<std::string> policies = {"ask", "overwrite", "append", "skip", "rename"};
  std::size_t policy = 0;
  while (policy < policies.size() && !exists.empty() && policies[policy] != exists) ++policy;
  if (policy == policies.size()) {
    return Usage(Tr("--exists takes ask, overwrite, append, skip or rename"));
  }
  if (backup != "simple" && backup != "numbered")
    return Usage(Tr("--backup takes simple or numbered"));
  if (names != "decoded" && names != "raw") return Usage(Tr("--names takes decoded or raw"));
  if (eol != "keep" && eol != "crlf") return Usage(Tr("--eol takes keep or crlf"));
  if ((b64bin || check) && (!output.empty() || force || backup != "simple" || eol_given)) {
    return Usage(Tr("-o, --backup, --eol and --force are for the line commands"));
  }
  if (!b64bin && (dir_given || !exists.empty() || names_given || list || !encodings.empty() ||
                  !manifest.empty())) {
    return Usage(Tr("--dir, --exists, --names, --list, --encodings and --manifest are for b64bin"));
  }
  if (!encodings.empty() && encodings != "all" && encodings != "base64") {
    return Usage(Tr("--encodings takes all or base64"));
  }
  if (names == "raw" && encodings == "all") {
    return Usage(Tr("--names=raw reads a mail as the window does, its Base64 parts only"));
  }
  if ((decode || !to.empty()) && id != velko::BTN_B64TEXT) {
    return Usage(Tr("--decode and --to are for b64text"));
  }
  if (!to.empty() && (!decode || (to != "sjis" && to != "jis" && to != "utf-8"))) {
    return Usage(Tr("--to takes sjis, jis or utf-8, with --decode"));
  }
  if (tsv && !check) return Usage(Tr("--tsv is for check"));
  if (!map.empty() && map != "jis" && map != "windows") {
    return Usage(Tr("--map takes jis or windows"));
  }
  if (!map.empty() && id != velko::kSjisToUtf8 && id != velko::kJisToUtf8) {
    return Usage(Tr("--map is for sjis2utf8 and jis2utf8"));
  }
  if ((pc98 && id != velko::kUtf8ToSjis && id != velko::kUtf8ToJis)) {
    return Usage(Tr("--pc98 is for utf82sjis and utf82jis"));
  }
  if (!kana.empty() && kana != "full" && kana != "esc-i" && kana != "8bit") {
    return Usage(Tr("--kana takes full, esc-i or 8bit"));
  }
  if (!kana.empty() && id != velko::kUtf8ToJis && id != velko::BTN_SJTOJIS) {
    return Usage(Tr("--kana is for utf82jis and sjis2jis"));
  }
  if (bom && id != velko::kSjisToUtf8 && id != velko::kJisToUtf8) {
    return Usage(Tr("--bom is for sjis2utf8 and jis2utf8"));
  }
  if (!unmapped.empty() && unmapped != "replace" && unmapped != "fail") {
    return Usage(Tr("--unmapped takes replace or fail"));
  }
  if (!unmapped.empty() && !transcoding) {
    return Usage(Tr("--unmapped is for sjis2utf8, utf82sjis, jis2utf8 and utf82jis"));
  }
  if (files.empty() && !velko::IsTerminal(0) && !check) files.push_back("-");
  if (files.empty()) return Usage(Tr("no FILE given"));
  if (check) return velko::Check(files, tsv);
  if (!output.empty() && files.size() != 1) return Usage(Tr("-o takes one FILE"));
  const bool decoded = names == "decoded";

  // Never writes through a link; puts every file back under its own name when stopped.
  velko::UndoOnStop ops(velko::NativeFileOps(false));
  velko::ConsoleHost host(quiet, [&ops] { return ops.TakeReason(); });
  if (dir_given && !ops.MakeFolder(dir.c_str())) {
    host.Begin(dir, false);
    host.Error(Tr("the folder for --dir cannot be made") + host.Reason());
    return 1;
  }
  velko::AttachmentFiles attachments(host, ops, dir_given ? dir : ".",
                                     static_cast<velko::ExistsPolicy>(policy), decoded);
  const velko::TextRules rules =
      eol == "crlf" ? velko::TextRules::kWindows : velko::TextRules::kBytes;
  // Raw names are the window's: upper-cased; decoded ones keep the case the mail gave.
  const velko::Services services{host, ops, rules, !decoded};
  const std::string done = Tr(command->done);
  velko::LineRun run{command->line,        done.c_str(), host, ops, output == "-" ? "" : output,
                     backup == "numbered", force,        rules};
  run.kana = kana == "full"    ? velko::Kana::kFull
             : kana == "esc-i" ? velko::Kana::kEscI
             : kana == "8bit" || id == velko::BTN_SJTOJIS ? velko::Kana::k8bit
                                                          : velko::Kana::kFull;
  run.transcode.from = id == velko::kSjisToUtf8  ? velko::Form::kShiftJis
                       : id == velko::kJisToUtf8 ? velko::Form::kJis
                                                 : velko::Form::kUtf8;
  run.transcode.to = id == velko::kUtf8ToSjis  ? velko::Form::kShiftJis
                     : id == velko::kUtf8ToJis ? velko::Form::kJis
                                               : velko::Form::kUtf8;
  run.transcode.jis_readings = map == "jis";
  run.transcode.pc98 = pc98;
  run.transcode.kana = run.kana;
  run.transcode.bom = bom;
  // These keep line ends as they are unless asked, wherever they run.
  run.transcode.crlf = eol_given && eol == "crlf";
  run.fail_unmapped = unmapped == "fail";
  run.decode_headers = decode;
  run.header_to = to == "jis"     ? velko::Form::kJis
                  : to == "utf-8" ? velko::Form::kUtf8
                                  : velko::Form::kShiftJis;
  if (b64bin) {
    velko::MailRun mail{host,    ops,  attachments, services, dir_given ? dir : "",
                        decoded, list, encodings == "base64" || !decoded, manifest, done.c_str()};
    return velko::ExtractMails(files, mail);
  }
  bool failed = false;
  for (const std::string& file : files) {
    // Standard output carries the converted text: no notices there.
    const bool to_stdout = !b64bin && run.output.empty() && (file == "-" || output == "-");
    host.Begin(file, !to_stdout);
    if (file.size() >= velko::kPathSize) {
      host.Error(Say("file name longer than %s bytes: not converted",
                     {std::to_string(velko::kPathSize - 1)}));
    } else if (file == "-") {
      velko::ConvertStream(run, velko::StandardStream(0), file);
    } else if (!output.empty()) {
      velko::ConvertStream(run, ops.Open(file.c_str(), OpenMode::kRead), file);
    } else {
      velko::ConvertFile(run, file);
    }
    failed |= host.ErrorShown();
    ops.Settle();
  }
  return failed ? 1 : 0;
}

}  // namespace
