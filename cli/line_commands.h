// velko-cli's commands that rewrite a text: the window's five line commands and the four
// between Shift_JIS or JIS and UTF-8. In place as the window runs them, as a filter, or into
// -o OUT, after the checks a console user is owed (what the input looks like, which files are
// one), with what the conversion could not keep told on stderr.
#ifndef VELKO_CLI_LINE_COMMANDS_H
#define VELKO_CLI_LINE_COMMANDS_H

#include <memory>
#include <string>
#include <vector>

#include "console_host.h"
#include "ports/fileops.h"
#include "text/frame.h"
#include "codec/jis.h"
#include "text/transcode.h"

namespace velko {

// velko-cli's own commands, beside the window's buttons.
constexpr int kSjisToUtf8 = 2001;
constexpr int kUtf8ToSjis = 2002;
constexpr int kJisToUtf8 = 2003;
constexpr int kUtf8ToJis = 2004;
constexpr int kCheck = 2005;

struct LineCommand {
  const char* name;
  int id;
  bool sjis_input;  // its input is Shift_JIS
  const char* what;
};
bool IsTranscoding(int id);

struct LineRun {
  const LineCommand& command;
  const char* completion;
  ConsoleHost& host;
  FileOps& files;
  std::string output;  // -o
  bool numbered, force;
  TextRules rules;
  Kana kana = Kana::k8bit;          // sjis2jis
  TranscodeOptions transcode = {};  // the four to and from UTF-8
  bool fail_unmapped = false;       // nothing written when anything has no mapping
  bool decode_headers = false;      // b64text --decode
  Form header_to = Form::kShiftJis;  // and its --to
  std::vector<std::string> backups = {};  // made in this run
};

// `in` (null: it could not be opened) to standard output, or to -o OUT, written beside OUT and
// put in its place whole.
void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name);
// In place, as the window does it.
void ConvertFile(LineRun& run, const std::string& file);

}  // namespace velko

#endif
