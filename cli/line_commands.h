// velko-cli's commands that rewrite a text: the window's five line commands and the four
// between Shift_JIS or JIS and UTF-8. In place as the window runs them, as a filter, or into
// -o OUT, after the checks a console user is owed (what the input looks like, which files are
// one), with what the conversion could not keep told on stderr.
#ifndef VELKO_CLI_LINE_COMMANDS_H
#define VELKO_CLI_LINE_COMMANDS_H

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "codec/jis.h"
#include "console.h"
#include "console_host.h"
#include "families.h"
#include "options.h"
#include "ports/fileops.h"
#include "text/frame.h"
#include "text/transcode.h"

namespace velko {

// Files by what they are; one that is no file is in no set.
struct FileIdSet {
  std::set<std::pair<unsigned long long, unsigned long long>> ids;
  void insert(const FileId& id) {
    if (id.known) ids.insert({id.volume, id.index});
  }
  std::size_t count(const FileId& id) const {
    return id.known ? ids.count({id.volume, id.index}) : 0;
  }
};

// The options every command that rewrites a text takes.
constexpr int kBackupKey = 256, kForceKey = 257, kEolKey = 258, kKeepDateKey = 259,
              kOutputKey = 'o';
inline constexpr Option kOutputOption = {
    "output", kOutputKey, "OUT", nullptr,
    N("write the result of the one FILE to OUT ('-': standard output);\nFILE stays as it is")};
inline constexpr Option kEolOption = {
    "eol", kEolKey, "RULES", "keep|crlf",
    N("keep: a line runs to its LF and every byte stays as it is;\ncrlf: the Windows text rules "
      "(CR LF read as LF, a 0x1A ends the\ntext, LF written as CR LF). Default: %s")};
inline constexpr Option kBackupOption = {
    "backup", kBackupKey, "CONTROL", "numbered|simple|none",
    N("numbered: an older BAK is first kept as BAK.~N~, so no backup is\never removed "
      "(default); simple: it is replaced, as velko does;\nnone: no BAK is kept")};
inline constexpr Option kKeepDateOption = {
    "keep-date", kKeepDateKey, nullptr, nullptr,
    N("the result keeps the modification time of FILE (in place and\nwith -o)")};
inline constexpr Option kForceOption = {
    "force", kForceKey, nullptr, nullptr,
    N("convert input that looks like another encoding than the\ncommand's, or like its result "
      "already")};

struct LineRun {
  const CliCommand& command;
  const char* completion;
  ConsoleHost& host;
  FileOps& files;
  std::string output;  // -o
  BackupMode backup;
  bool force;
  TextRules rules;
  Kana kana = Kana::k8bit;                 // sjis2jis
  TranscodeOptions transcode = {};         // the four to and from UTF-8
  bool fail_unmapped = false;              // nothing written when anything has no mapping
  bool decode_headers = false;             // b64text --decode
  Charset header_to = Charset::kShiftJis;  // and its --to
  bool keep_date = false;
  FileIdSet backups = {};  // made in this run
};

// `in` (null: it could not be opened, for the reason `open_error`) to standard output, or to
// -o OUT: a file is written beside it (through a link: beside the file it leads to) and put in
// its place whole; a device, a FIFO or a terminal is written into as it stands.
void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name,
                   int open_error = 0);
// In place, as the window does it.
void ConvertFile(LineRun& run, const std::string& file);

// What has no mapping, each where it is, up to the report's limit, a line each, and how many
// more there are.
std::vector<std::string> UnmappedLines(const TranscodeReport& report, Charset to);

// A command that rewrites texts, on the files `parsed` names: the common options read, then
// `configure` sets the family's own; the exit status.
int ConvertFiles(const CliCommand& command, const Parsed& parsed,
                 void (*configure)(const Parsed& parsed, LineRun& run));

}  // namespace velko

#endif
