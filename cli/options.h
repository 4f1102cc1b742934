// velko-cli's commands, each family with its own table of options: the one table gives getopt its
// options, the help its lines and the shells their completions.
#ifndef VELKO_CLI_OPTIONS_H
#define VELKO_CLI_OPTIONS_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace velko {

struct Option {
  const char* name;     // the long name
  int key;              // its letter, or a number from 256 for a long name alone
  const char* value;    // what it takes ("OUT"), null when it takes nothing
  const char* choices;  // the values it takes, '|' between them ("keep|crlf"); null: any
  const char* help;     // English (N), a line break where a line of the help ends
  const char* only = nullptr;  // the commands of the family it is for, '|' between; null: all
};

// What the command line gave: the last value of each option, and the operands in their order.
struct Parsed {
  std::map<int, std::string> given;
  std::vector<std::string> operands;
  bool Has(int key) const { return given.count(key) > 0; }
  std::string Get(int key, const std::string& otherwise = "") const {
    const auto it = given.find(key);
    return it == given.end() ? otherwise : it->second;
  }
};

struct CliCommand;

// A family of commands: one file of cli/ each, one options table each.
struct Family {
  const char* usage;  // after "velko-cli COMMAND ": "[OPTION]... FILE..."
  const char* about;  // English (N): what the family's commands do, for their help
  const Option* options;
  std::size_t option_count;
  // Runs `command` with what was parsed; the exit status.
  int (*run)(const CliCommand& command, const Parsed& parsed);
  // The examples of the family's help, one a line (not translated).
  const char* examples;
};

struct CliCommand {
  const char* name;
  int id;            // the window's button, or one of velko-cli's own
  bool sjis_input;   // what it reads is Shift_JIS
  const char* what;  // English (N): one line for the list of commands
  const char* done;  // English (N): the notice of success ("" for none)
  const Family* family;
};

// Every command, in the order the help lists them.
const std::vector<CliCommand>& CliCommands();
const CliCommand* FindCliCommand(const std::string& name);

// Options every command takes.
constexpr int kHelpKey = 'h', kQuietKey = 'q', kVersionKey = 'V';

// Parses `args` (what follows the command's name) by the family's table and the common options.
// -1 to go on; else the exit status, what was asked (help, version) or the usage error told.
int ParseOptions(const CliCommand& command, const std::vector<std::string>& args, Parsed* parsed);

// A command's help: usage, what it does, its options, examples.
std::string CommandHelp(const CliCommand& command);
// A usage error: its line and the pointer to the help on stderr; 2.
int Usage(const std::string& problem);
// The version, the licence and the kernels in use.
int PrintVersion();

// The place of `value` among the '|'-separated `list`, or -1.
std::size_t ChoiceIndex(const char* list, const std::string& value);
// The option is one `command` takes.
bool OptionFor(const Option& option, const CliCommand& command);
const Option* FindOption(const Family& family, int key);

}  // namespace velko

#endif
