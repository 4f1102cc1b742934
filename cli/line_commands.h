// velko-cli's five line commands: in place as the window runs them, as a filter, or into -o OUT,
// after the checks a console user is owed (what the input looks like, which files are one).
#ifndef VELKO_CLI_LINE_COMMANDS_H
#define VELKO_CLI_LINE_COMMANDS_H

#include <memory>
#include <string>
#include <vector>

#include "console_host.h"
#include "fileops.h"
#include "frame.h"

namespace velko {

struct LineCommand {
  const char* name;
  int id;
  bool sjis_input;  // its input is Shift_JIS
  const char* what;
};

struct LineRun {
  const LineCommand& command;
  const char* completion;
  ConsoleHost& host;
  FileOps& files;
  std::string output;  // -o
  bool numbered, force;
  TextRules rules;
  std::vector<std::string> backups = {};  // made in this run
};

// `in` (null: it could not be opened) to standard output, or to -o OUT, written beside OUT and
// put in its place whole.
void ConvertStream(LineRun& run, std::unique_ptr<File> in, const std::string& name);
// In place, as the window does it.
void ConvertFile(LineRun& run, const std::string& file);

}  // namespace velko

#endif
