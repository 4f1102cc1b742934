#include "options.h"

#include <getopt.h>

#include <cstring>

#include "codec/kernels.h"
#include "console.h"
#include "console_host.h"
#include "version.h"

namespace velko {
namespace {

const Option kCommon[] = {
    {"quiet", kQuietKey, nullptr, nullptr, N("no notices, only errors")},
    {"help", kHelpKey, nullptr, nullptr, N("this help")},
    {"version", kVersionKey, nullptr, nullptr, N("the version")},
};

// "  -o, --output=OUT       " and the help's lines, each after the first as far in.
std::string OptionLines(const Option& option, const std::string& help) {
  std::string head = option.key < 256 ? std::string("  -") + static_cast<char>(option.key) + ", "
                                      : std::string("      ");
  head += std::string("--") + option.name;
  if (option.value) head += std::string("=") + option.value;
  constexpr std::size_t kColumn = 25;
  head += head.size() < kColumn ? std::string(kColumn - head.size(), ' ') : "  ";
  std::string text = head;
  for (std::size_t from = 0; from < help.size();) {
    std::size_t end = help.find('\n', from);
    if (end == std::string::npos) end = help.size();
    if (from > 0) text += std::string(kColumn, ' ');
    text += help.substr(from, end - from) + "\n";
    from = end + 1;
  }
  return text;
}

// "a, b, c" from "a|b|c".
std::string ChoiceList(const char* choices) {
  std::string list = choices;
  for (std::size_t at; (at = list.find('|')) != std::string::npos;) list.replace(at, 1, ", ");
  return list;
}

}  // namespace

std::size_t ChoiceIndex(const char* list, const std::string& value) {
  std::size_t index = 0;
  for (const char* p = list; p && *p; ++index) {
    const char* end = std::strchr(p, '|');
    const std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    if (value.size() == n && value.compare(0, n, p, n) == 0) return index;
    p = end ? end + 1 : p + n;
  }
  return static_cast<std::size_t>(-1);
}

bool OptionFor(const Option& option, const CliCommand& command) {
  return !option.only || ChoiceIndex(option.only, command.name) != static_cast<std::size_t>(-1);
}

const Option* FindOption(const Family& family, int key) {
  for (std::size_t i = 0; i < family.option_count; ++i) {
    if (family.options[i].key == key) return &family.options[i];
  }
  return nullptr;
}

int Usage(const std::string& problem) {
  WriteText(stderr,
            "velko-cli: " + Shown(problem) + "\n" + Tr("Try 'velko-cli --help'.") + "\n");
  return 2;
}

int PrintVersion() {
  // The kernels in use, for bug reports: VELKO_ISA chooses others.
  WriteText(stdout, std::string("velko-cli ") + VELKO_VERSION + "\nLicense: " VELKO_LICENSE
                                                               "\nkernels: " +
                        ActiveKernels().name + "\n");
  return 0;
}

std::string CommandHelp(const CliCommand& command) {
  const Family& family = *command.family;
  const std::string eol = PlatformTextRules() == TextRules::kWindows ? "crlf" : "keep";
  std::string text = Say("Usage: velko-cli %s %s", {command.name, Tr(family.usage)}) + "\n" +
                     Tr(command.what) + "\n" + Say(family.about, {eol}) + Tr("Options:") + "\n";
  for (std::size_t i = 0; i < family.option_count; ++i) {
    const Option& option = family.options[i];
    if (OptionFor(option, command)) text += OptionLines(option, Say(option.help, {eol}));
  }
  for (const Option& option : kCommon) text += OptionLines(option, Tr(option.help));
  if (family.examples && *family.examples) text += Tr("Examples:") + std::string("\n") + family.examples;
  return text;
}

int ParseOptions(const CliCommand& command, const std::vector<std::string>& args, Parsed* parsed) {
  const Family& family = *command.family;
  std::vector<option> table;
  std::string letters = ":";
  auto add = [&](const Option& o) {
    table.push_back({o.name, o.value ? required_argument : no_argument, nullptr, o.key});
    if (o.key < 256) letters += std::string(1, static_cast<char>(o.key)) + (o.value ? ":" : "");
  };
  for (std::size_t i = 0; i < family.option_count; ++i) add(family.options[i]);
  for (const Option& o : kCommon) add(o);
  table.push_back({nullptr, 0, nullptr, 0});
  // getopt reads from argv[1] on: the command's name stands before the rest.
  std::vector<std::string> words = args;
  words.insert(words.begin(), command.name);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());
  opterr = 0;
  optind = 1;
  for (int c; (c = getopt_long(argc, argv.data(), letters.c_str(), table.data(), nullptr)) != -1;) {
    if (c == kHelpKey) {
      WriteText(stdout, CommandHelp(command));
      return 0;
    }
    if (c == kVersionKey) return PrintVersion();
    if (c == ':') return Usage(Say("%s needs a value", {argv[optind - 1]}));
    const Option* known = FindOption(family, c);
    if (c == kQuietKey) {
      parsed->given[c] = "";
    } else if (c == '?' || !known) {  // the option as typed: a letter of a cluster, or the whole
      return Usage(Say("unknown option '%s'", {optopt ? std::string("-") + static_cast<char>(optopt)
                                                      : std::string(argv[optind - 1])}));
    } else {
      const std::string value = optarg ? optarg : "";
      if (!OptionFor(*known, command)) {
        return Usage(Say("--%s is for %s", {known->name, ChoiceList(known->only)}));
      }
      if (known->choices && ChoiceIndex(known->choices, value) == static_cast<std::size_t>(-1)) {
        return Usage(Say("--%s takes one of: %s", {known->name, ChoiceList(known->choices)}));
      }
      parsed->given[c] = value;
    }
  }
  // getopt_long moved the options before the rest in `argv`, not in `words`.
  parsed->operands.assign(argv.begin() + optind, argv.begin() + argc);
  return -1;
}

}  // namespace velko
