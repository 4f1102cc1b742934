// velko-cli b64bin: the attachments of mails, mailboxes, Maildirs and folders of them, to files.
#include "attachments.h"
#include "families.h"
#include "fileops_native.h"
#include "mailbox.h"
#include "undo.h"

namespace velko {
namespace {

constexpr int kDirKey = 300, kExistsKey = 301, kNamesKey = 302, kDecodeNamesKey = 303,
              kListKey = 304, kEncodingsKey = 305, kManifestKey = 306;
// In ExistsPolicy's order.
constexpr char kPolicies[] = "ask|overwrite|append|skip|rename";

const Option kOptions[] = {
    {"dir", kDirKey, "DIR", nullptr,
     N("where the attachments go (default: the current folder; made\nwhen missing)")},
    {"exists", kExistsKey, "WHAT", kPolicies,
     N("for a file that exists: ask (on a terminal), overwrite, append,\nskip, or rename "
       "(report(1).pdf); by default rename in an mbox, a\nMaildir or a folder, else ask")},
    {"names", kNamesKey, "HOW", "decoded|raw",
     N("decoded (the default): each part named as a mail reader names it\n(RFC 2231 filename*=, "
       "RFC 2047 words, unquoted names, the\nContent-Type's name=), its case kept; raw: as "
       "velko names it\n(a quoted filename= only, upper-cased)")},
    {"decode-names", kDecodeNamesKey, nullptr, nullptr, N("the same as --names=decoded")},
    {"list", kListKey, nullptr, nullptr,
     N("one line per attachment: its name, its size, and whether\n--names=raw extracts it too; "
       "nothing is written")},
    {"encodings", kEncodingsKey, "WHICH", "all|base64",
     N("all (the default), or base64: velko's choice")},
    {"manifest", kManifestKey, "FILE", nullptr,
     N("one tab-separated row per part: mail, message, date, subject,\nfrom, part, type, "
       "encoding, name, path, size, SHA-256, status, why;\nwritten whole at the end, or when the "
       "run is stopped")},
};

int Run(const CliCommand& command, const Parsed& parsed) {
  std::vector<std::string> files = parsed.operands;
  const bool decoded = parsed.Get(kNamesKey, "decoded") == "decoded" || parsed.Has(kDecodeNamesKey);
  if (!decoded && parsed.Get(kEncodingsKey) == "all") {
    return Usage(Tr("--names=raw reads a mail as velko does, its Base64 parts only"));
  }
  if (files.empty() && !IsTerminal(0)) files.push_back("-");
  if (files.empty()) return Usage(Tr("no FILE given"));
  const std::string dir = parsed.Get(kDirKey);
  // Never writes through a link; puts every file back under its own name when stopped.
  UndoOnStop ops(NativeFileOps(false));
  ConsoleHost host(parsed.Has(kQuietKey), [&ops] { return ops.TakeReason(); });
  if (parsed.Has(kDirKey) && !ops.MakeFolder(dir.c_str())) {
    host.Begin(dir, false);
    host.Error(Tr("the folder for --dir cannot be made") + host.Reason());
    return 1;
  }
  const auto policy = parsed.Has(kExistsKey)
                          ? static_cast<ExistsPolicy>(ChoiceIndex(kPolicies, parsed.Get(kExistsKey)))
                          : ExistsPolicy::kDefault;
  AttachmentFiles attachments(host, ops, parsed.Has(kDirKey) ? dir : ".", policy, decoded);
  // Raw names are the window's: upper-cased; decoded ones keep the case the mail gave.
  const Services services{host, ops, PlatformTextRules(), !decoded};
  const std::string done = Tr(command.done);
  MailRun mail{host,
               ops,
               attachments,
               services,
               dir,
               decoded,
               parsed.Has(kListKey),
               parsed.Get(kEncodingsKey) == "base64" || !decoded,
               parsed.Get(kManifestKey),
               done.c_str()};
  return ExtractMails(files, mail);
}

}  // namespace

const Family kB64BinFamily = {
    N("[OPTION]... FILE..."),
    N("Reads each FILE as a mail or an mbox (\"From \" lines), a Maildir (cur/, new/) or a folder\n"
      "of them, read recursively, and writes each attachment into DIR under the name its mail\n"
      "gives, whatever its transfer encoding (base64, quoted-printable, uuencode, 7bit, 8bit,\n"
      "binary); a part without a name is named FILE-MESSAGE-PART.EXT. One line per FILE counts\n"
      "the parts saved, skipped and failed; the exit status is 1 unless every part was saved or\n"
      "skipped by the user's choice. A Base64 part left in the mail is told on stderr, with its\n"
      "line and why. --names=raw writes byte for byte what the Windows program writes.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    Run,
    "  velko-cli b64bin --dir att --exists rename inbox.eml\n"
    "  velko-cli b64bin --dir att --exists rename --manifest att.tsv ~/Mail/inbox.mbox\n"
    "  velko-cli b64bin --list Maildir\n"};

}  // namespace velko
