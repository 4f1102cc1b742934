// velko-cli nec2jis, jis2nec, sjis2jis, jis2sjis: the window's line commands.
#include "app/command.h"
#include "families.h"
#include "line_commands.h"

namespace velko {
namespace {

constexpr int kKanaKey = 300;

const Option kOptions[] = {
    kOutputOption,
    kEolOption,
    kBackupOption,
    kKeepDateOption,
    kForceOption,
    {"kana", kKanaKey, "HOW", "8bit|esc-i|full",
     N("half-width kana into JIS: 8bit (as they are, as velko writes them;\nthe default), esc-i "
       "(ESC ( I) or full (full-width, which strict\ndecoders take)"),
     "sjis2jis"},
};

void Configure(const Parsed& parsed, LineRun& run) {
  const std::string kana = parsed.Get(kKanaKey, "8bit");
  run.kana = kana == "full" ? Kana::kFull : kana == "esc-i" ? Kana::kEscI : Kana::k8bit;
}

int Run(const CliCommand& command, const Parsed& parsed) {
  return ConvertFiles(command, parsed, Configure);
}

}  // namespace

const Family kConvertFamily = {
    N("[OPTION]... FILE..."),
    N("Rewrites FILE in place as the button of velko (the window) does and keeps its old content\n"
      "as FILE's name with the extension BAK. With FILE '-', or with no FILE when standard input\n"
      "is not a terminal, reads standard input and writes standard output. New content goes to a\n"
      "temporary file beside its file and takes its name when whole; a stopped run puts the\n"
      "original back, a file another run converts is refused. --eol=crlf writes byte for byte\n"
      "what the Windows program writes.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    Run,
    "  velko-cli sjis2jis mail.txt              # mail.txt in JIS, mail.BAK the original\n"
    "  velko-cli jis2sjis < in.txt > out.txt    # as a filter\n"
    "  velko-cli sjis2jis --kana=full -o mail.jis mail.txt\n"
    "  velko-cli nec2jis --backup=numbered old.txt\n"};

}  // namespace velko
