// velko-cli sjis2utf8, utf82sjis, jis2utf8, utf82jis, eucjp2utf8, utf82eucjp: legacy text to
// and from UTF-8, nothing lost unsaid.
#include "families.h"
#include "line_commands.h"

namespace velko {
namespace {

constexpr int kMapKey = 300, kPc98Key = 301, kKanaKey = 302, kBomKey = 303, kUnmappedKey = 304;

const Option kOptions[] = {
    kOutputOption,
    {"eol", kEolKey, "RULES", "keep|crlf",
     N("keep: line ends stay as they are (the default); crlf: a lone LF\nis written as CR LF")},
    kBackupOption,
    kKeepDateOption,
    kForceOption,
    {"map", kMapKey, "READING", "jis|windows",
     N("jis: read 0x8160 0x8161 0x817C 0x8191 0x8192 0x81CA as JIS X 0208\ndoes (U+301C U+2016 "
       "U+2212 U+00A2 U+00A3 U+00AC), not as Windows\n(U+FF5E U+2225 U+FF0D U+FFE0 U+FFE1 "
       "U+FFE2); either maps back"),
     "sjis2utf8|jis2utf8|eucjp2utf8"},
    {"pc98", kPc98Key, nullptr, nullptr,
     N("U+2500-U+254B all as PC-98 codes (default: the JIS row-8 code\nwhere there is one)"),
     "utf82sjis|utf82jis|utf82eucjp"},
    {"kana", kKanaKey, "HOW", "full|esc-i|8bit",
     N("half-width kana into JIS: full (full-width, which strict decoders\ntake; the default), "
       "esc-i (ESC ( I) or 8bit"),
     "utf82jis"},
    {"bom", kBomKey, nullptr, nullptr, N("begin the text with a byte order mark"),
     "sjis2utf8|jis2utf8|eucjp2utf8"},
    {"unmapped", kUnmappedKey, "WHAT", "replace|fail",
     N("replace (the default) or fail: stop at the first sequence without a\nmapping and write "
       "nothing")},
};

void Configure(const Parsed& parsed, LineRun& run) {
  const int id = run.command.id;
  const std::string kana = parsed.Get(kKanaKey, "full");
  run.kana = kana == "esc-i" ? Kana::kEscI : kana == "8bit" ? Kana::k8bit : Kana::kFull;
  const Charset legacy = id == kSjisToUtf8 || id == kUtf8ToSjis ? Charset::kShiftJis
                         : id == kJisToUtf8 || id == kUtf8ToJis ? Charset::kJis
                                                                : Charset::kEucJp;
  const bool to_utf8 = id == kSjisToUtf8 || id == kJisToUtf8 || id == kEucJpToUtf8;
  run.transcode.from = to_utf8 ? legacy : Charset::kUtf8;
  run.transcode.to = to_utf8 ? Charset::kUtf8 : legacy;
  run.transcode.jis_readings = parsed.Get(kMapKey) == "jis";
  run.transcode.pc98 = parsed.Has(kPc98Key);
  run.transcode.kana = run.kana;
  run.transcode.bom = parsed.Has(kBomKey);
  // These keep line ends as they are unless asked, wherever they run.
  run.transcode.crlf = parsed.Get(kEolKey) == "crlf";
  run.fail_unmapped = parsed.Get(kUnmappedKey) == "fail";
  run.transcode.stop_at_unmapped = run.fail_unmapped;
}

int Run(const CliCommand& command, const Parsed& parsed) {
  return ConvertFiles(command, parsed, Configure);
}

}  // namespace

const Family kTranscodeFamily = {
    N("[OPTION]... FILE..."),
    N("Rewrites FILE in place and keeps its old content as FILE's name with the extension BAK;\n"
      "with FILE '-', or with no FILE when standard input is not a terminal, reads standard\n"
      "input and writes standard output. Code page 932 is read as Windows reads it (NEC row 13, "
      "the\n"
      "IBM extensions, user-defined codes as U+E000-U+E757, half-width kana as U+FF61-U+FF9F)\n"
      "and the PC-98 ruled lines 0x86A2-0x86ED as U+2500-U+254B in order. Where several codes\n"
      "read as one character, the way back is Windows' choice: a JIS row before NEC row 13\n"
      "before the IBM extensions before their NEC-selected copies. A character or a byte\n"
      "sequence without a mapping is told on stderr with its line and column (columns count\n"
      "bytes from 1) and written as U+FFFD, or '?' into the others; the exit status is 1.\n"
      "jis2utf8 reads ESC $ @, ESC $ B, ESC ( B, ESC ( J (as ASCII), ESC ( I, SO/SI and 8-bit\n"
      "kana; utf82jis writes ESC $ B and ESC ( B only, and tells characters it writes as codes\n"
      "of the vendor rows, which strict decoders refuse. EUC-JP is JIS X 0208 with the cells of\n"
      "code page 932 (as Windows and browsers read it), half-width kana after 0x8E and JIS X\n"
      "0212 after 0x8F; utf82eucjp writes an IBM extension as its NEC-selected copy, JIS X 0212\n"
      "only for what JIS X 0208 lacks, and no user-defined code. A byte order mark at the start\n"
      "of UTF-8 is dropped.\n"),
    kOptions,
    sizeof kOptions / sizeof kOptions[0],
    Run,
    "  velko-cli sjis2utf8 -o memo-utf8.txt memo.txt\n"
    "  velko-cli utf82sjis --pc98 --unmapped=fail table.txt\n"
    "  velko-cli jis2utf8 < mail.txt | less\n"
    "  velko-cli eucjp2utf8 -o notes-utf8.txt notes.euc\n"
    "  velko-cli utf82jis --kana=esc-i -o mail.jis notes.txt\n"};

}  // namespace velko
