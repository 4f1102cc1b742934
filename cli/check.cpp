#include "check.h"

#include <cstring>
#include <memory>
#include <utility>

#include "app/command.h"
#include "console.h"
#include "console_host.h"
#include "families.h"
#include "fileops_native.h"
#include "ports/texts.h"
#include "text/survey.h"
#include "tree.h"

namespace velko {
namespace {

constexpr long long kNone = Findings::kNone;

const char* EncodingName(Charsets bit) {
  return bit == Bit(Charset::kAscii)      ? "ASCII"
         : bit == Bit(Charset::kJis)      ? "ISO-2022-JP"
         : bit == Bit(Charset::kUtf8)     ? "UTF-8"
         : bit == Bit(Charset::kShiftJis) ? "Shift_JIS"
         : bit == Bit(Charset::kEucJp)    ? "EUC-JP"
                                          : "binary";
}

}  // namespace

std::string Named(Charsets fits) {
  if ((fits & (fits - 1)) == 0) return EncodingName(fits);
  std::string name;
  for (Charset c : {Charset::kUtf8, Charset::kShiftJis, Charset::kEucJp}) {
    if (fits & Bit(c))
      name += std::string(name.empty() ? "ambiguous(" : "|") + EncodingName(Bit(c));
  }
  return name + ")";
}

bool Examine(FileOps& files, const std::string& path, Findings* f, unsigned long long* bytes) {
  std::unique_ptr<File> in =
      path == "-" ? StandardStream(0) : files.Open(path.c_str(), OpenMode::kRead);
  TextSurvey survey;
  if (!in || !survey.Prepare()) return false;
  unsigned long long length = 0;
  if (in->Length(&length)) survey.Expect(length);
  unsigned char buffer[64 * 1024];
  unsigned long long size = 0;
  for (long n; (n = in->Read(buffer, sizeof buffer)) != 0;) {
    if (n < 0) return false;
    survey.Add(buffer, static_cast<std::size_t>(n));
    size += static_cast<unsigned long long>(n);
  }
  in->Close();
  *f = survey.Finish();
  if (bytes) *bytes = size;
  return true;
}

namespace {

std::string Field(long long n) { return n == kNone ? "-" : std::to_string(n); }

std::string TsvLine(const std::string& file, const Findings& f) {
  const Census& c = f.census;
  const bool counted = f.invalid != kNone;
  auto count = [&](unsigned long long n) { return counted ? std::to_string(n) : "-"; };
  std::string line = file + "\t" + Named(f.fits);
  for (unsigned long long n : {c.lf, c.crlf, c.cr, c.ctrl_z}) line += "\t" + std::to_string(n);
  line += "\t" + Field(f.invalid);
  for (unsigned long long n : {c.kana, c.nec_row13, c.ibm, c.user, c.pc98, c.jis_ruled}) {
    line += "\t" + count(n);
  }
  for (long long n : {f.to_utf8_lost, f.to_sjis_lost, f.to_jis_lost, f.jis_vendor, f.sjis2jis_8bit,
                      f.nec2jis, f.jis2nec, f.to_euc_lost}) {
    line += "\t" + Field(n);
  }
  return line;
}

std::string HumanLine(const Findings& f) {
  const Census& c = f.census;
  std::string counts, effects;
  auto add = [](std::string* list, const std::string& item) {
    *list += (list->empty() ? "" : Tr(", ")) + item;  // a list's comma, as the language writes it
  };
  auto count = [&](unsigned long long n, const char* what) {
    if (n > 0) add(&counts, Say(what, {std::to_string(n)}));
  };
  auto counted = [&](unsigned long long n, const char* one, const char* many) {
    if (n > 0) add(&counts, SayN(one, many, n, {std::to_string(n)}));
  };
  count(c.lf, N("%s LF"));
  count(c.crlf, N("%s CR LF"));
  count(c.cr, N("%s CR"));
  count(c.ctrl_z, N("%s 0x1A"));
  if (f.invalid > 0) count(static_cast<unsigned long long>(f.invalid), N("%s invalid"));
  if (f.invalid != kNone) {
    count(c.kana, N("%s half-width kana"));
    count(c.nec_row13, N("%s NEC row 13"));
    counted(c.ibm, "%s IBM extension", "%s IBM extensions");
    count(c.user, N("%s user-defined"));
    counted(c.pc98, "%s PC-98 ruled line", "%s PC-98 ruled lines");
    counted(c.jis_ruled, "%s JIS ruled line", "%s JIS ruled lines");
  }
  auto effect = [&](long long n, const char* command, const char* none, const char* some) {
    if (n == 0 && none) add(&effects, Say(none, {command}));
    if (n > 0) add(&effects, Say(some, {command, std::to_string(n)}));
  };
  const char* keeps = N("%s keeps every character");
  const char* loses = N("%s loses %s");
  effect(f.to_utf8_lost,
         f.fits == Bit(Charset::kShiftJis) ? "sjis2utf8"
         : f.fits == Bit(Charset::kEucJp)  ? "eucjp2utf8"
                                           : "jis2utf8",
         keeps, loses);
  effect(f.to_sjis_lost, "utf82sjis", keeps, loses);
  effect(f.to_jis_lost, "utf82jis", keeps, loses);
  effect(f.jis_vendor, "utf82jis", nullptr, N("%s writes %s as codes of the vendor rows"));
  effect(f.to_euc_lost, "utf82eucjp", keeps, loses);
  if (f.to_jis_lost != kNone) {
    effect(static_cast<long long>(c.kana), "utf82jis", nullptr,
           N("%s makes %s half-width kana full-width"));
  }
  effect(f.sjis2jis_8bit, "sjis2jis", nullptr, N("%s leaves %s half-width kana 8-bit"));
  if (f.sjis2jis_8bit != kNone && c.ibm + c.user > 0) {
    add(&effects,
        SayN("%s writes %s code outside the JIS rows", "%s writes %s codes outside the JIS rows",
             c.ibm + c.user, {"sjis2jis", std::to_string(c.ibm + c.user)}));
  }
  effect(f.nec2jis, "nec2jis", nullptr, N("%s changes %s"));
  effect(f.jis2nec, "jis2nec", nullptr, N("%s changes %s"));
  if (f.fits == Bit(Charset::kAscii)) effects = Tr("no command changes it");
  std::string line = Named(f.fits);
  if (!counts.empty()) line += "; " + counts;
  if (!effects.empty()) line += "; " + effects;
  return line;
}

}  // namespace

int Check(const std::vector<std::string>& operands, bool tsv, bool recurse) {
  std::vector<std::string> files;
  int status = 0;
  for (const TreeEntry& entry : WalkTree(NativeFileOps(false), operands, recurse)) {
    if (entry.what == TreeEntry::kFile || (entry.operand && entry.what != TreeEntry::kFolder)) {
      files.push_back(entry.path);
    } else if (entry.what == TreeEntry::kPassedOver) {
      WriteText(stderr,
                Shown("velko-cli: " + entry.path + ": " + Say("passed over: %s", {Tr(entry.why)})) +
                    "\n");
    }
  }
  FileOps& ops = NativeFileOps(false);
  ConsoleHost host(false, [] { return std::string(); });
  if (tsv) {
    WriteText(stdout,
              "file\tencoding\tlf\tcrlf\tcr\tctrl_z\tinvalid\thalf_kana\tnec_row13\tibm_ext\t"
              "user_defined\tpc98_ruled\tjis_ruled\tto_utf8_lost\tto_sjis_lost\tto_jis_lost\t"
              "jis_vendor\tsjis2jis_8bit\tnec2jis_changes\tjis2nec_changes\tto_euc_lost\n");
  }
  for (const std::string& file : files) {
    host.Begin(file, true);
    const EntryKind kind = file == "-" ? EntryKind::kRegular : ops.Kind(file.c_str(), true);
    if (kind == EntryKind::kDirectory || kind == EntryKind::kOther) {
      host.Error(WindowText(kErrInputOpen, file) + ": " +
                 Tr(kind == EntryKind::kDirectory
                        ? N("it is a folder")
                        : N("it is not a file but a FIFO, a device or a socket")));
      status = 1;
      continue;
    }
    Findings findings;
    if (!Examine(ops, file, &findings)) {
      const int code = LastSystemError();
      host.Error(WindowText(ops.Exists(file.c_str()) ? kErrInputRead : kErrNoInput, file) + ": " +
                 SystemReason(code));
      status = 1;
      continue;
    }
    if (findings.doubt) status = 1;
    // A name's controls are shown escaped; the fields' tabs are tabs.
    WriteText(stdout, (tsv ? TsvLine(Shown(file), findings)
                           : Shown(file) + ": " + Shown(HumanLine(findings))) +
                          "\n");
  }
  return status;
}

namespace {

constexpr int kTsvKey = 300, kRecurseKey = 'r';

const Option kOptions[] = {
    {"tsv", kTsvKey, nullptr, nullptr, N("a header, then a line of tab-separated fields per FILE")},
    {"recursive", kRecurseKey, nullptr, nullptr,
     N("each FILE that is a folder: every file below it (links, hidden\nand version-control "
       "folders passed over and told)")},
};

int Run(const CliCommand&, const Parsed& parsed) {
  std::vector<std::string> files = parsed.operands;
  if (files.empty() && !IsTerminal(0)) files.push_back("-");
  if (files.empty()) return Usage(Tr("no FILE given"));
  return Check(files, parsed.Has(kTsvKey), parsed.Has(kRecurseKey));
}

}  // namespace

const Family kCheckFamily = {
    N("[--tsv] [-r] FILE..."),
    N("Names the encoding of each FILE by fixed byte rules (ASCII, UTF-8, Shift_JIS,\n"
      "ISO-2022-JP, EUC-JP, binary, or ambiguous(A|B) when the bytes fit several), counts what\n"
      "matters to the commands, and tells what each would lose or change. The exit status is 0\n"
      "when every FILE was named without doubt. FILE '-', or no FILE when standard input is not\n"
      "a terminal, reads standard input.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    Run,
    "  velko-cli check old.txt\n"
    "  velko-cli check --tsv archive/*.txt\n"
    "  velko-cli check -r old-disk | grep -v ': ASCII'\n"
    "  unzip -p old.zip | velko-cli check\n"};

}  // namespace velko
