// velko-cli b64text: the window's in-line expansion of Base64 encoded words, and --decode, which
// decodes every encoded word as a mail reader shows it.
#include "families.h"
#include "line_commands.h"

namespace velko {
namespace {

constexpr int kDecodeKey = 300, kToKey = 301;

const Option kOptions[] = {
    kOutputOption,
    kEolOption,
    kBackupOption,
    kKeepDateOption,
    kForceOption,
    {"decode", kDecodeKey, nullptr, nullptr,
     N("decode the encoded words of every line, adjacent ones joined and\na header's folded lines "
       "unfolded, as a mail reader shows them")},
    {"to", kToKey, "CHARSET", "sjis|jis|utf-8",
     N("with --decode: the words in sjis (the default), jis or utf-8")},
};

void Configure(const Parsed& parsed, LineRun& run) {
  const std::string to = parsed.Get(kToKey, "sjis");
  run.decode_headers = parsed.Has(kDecodeKey);
  run.header_to = to == "jis" ? Charset::kJis : to == "utf-8" ? Charset::kUtf8 : Charset::kShiftJis;
}

int Run(const CliCommand& command, const Parsed& parsed) {
  if (parsed.Has(kToKey) && !parsed.Has(kDecodeKey)) return Usage(Tr("--to is for --decode"));
  return ConvertFiles(command, parsed, Configure);
}

}  // namespace

const Family kB64TextFamily = {
    N("[OPTION]... FILE..."),
    N("Expands the encoded words that begin with =?ISO-2022-JP?B? or =?shift_jis?B? as the\n"
      "button of velko (the window) does, in place, keeping the old content as FILE's name with\n"
      "the extension BAK; with FILE '-', or with no FILE when standard input is not a terminal,\n"
      "reads standard input and writes standard output.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    Run,
    "  velko-cli b64text mail.txt\n"
    "  velko-cli b64text --decode --to=utf-8 < headers.txt\n"};

}  // namespace velko
