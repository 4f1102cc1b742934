// The attachment extraction on real mail files: dialogs, questions, files written, failures.
#include "mail/extract.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "app/command.h"
#include "mail/mailnames.h"
#include "mail/mime.h"
#include "mail/transfer.h"
#include "support.h"  // the standard library's strings, vectors, files
#include "ports/texts.h"

namespace velko {
namespace {

using namespace test;
using Files = std::map<std::string, std::string>;
// clang-format off
const std::string kAsk = "上書きしてよろしいですか？\r\n\u3000上書きなら\u3000「はい」\r\n"
    "\u3000追記なら\u3000\u3000「いいえ」\r\n\u3000中止なら\u3000\u3000「キャンセル」\r\nをクリックして下さい。";
// clang-format on

// A part announced as Base64: its header lines, the blank line, then the body as it stands.
std::string Part(const std::string& header, const std::string& body) {
  return "Content-Transfer-Encoding: base64\r\n" + header + "\r\n\r\n" + body;
}
std::string Named(const std::string& name, const std::string& body) {
  return Part("Content-Disposition: attachment; filename=\"" + name + "\"", body);
}
std::string Repeat(const std::string& s, int n) { return n ? s + Repeat(s, n - 1) : ""; }
std::string Body(const std::string& b64) {  // 76 characters a line, then a blank one
  std::string out;
  for (std::size_t i = 0; i < b64.size(); i += 76) out += b64.substr(i, 76) + "\r\n";
  return out + "\r\n";
}

// What stands at B, or fails, before the command runs.
// clang-format off
enum Given { kNone, kNoExists, kNoRead, kReadAt10, kNoWrite, kWriteAt104, kNoClose, kReadAt400,
             kFolder, kLinkToMail, kDanglingLink, kFifo, kNoPermissions, kMode600 };

struct ExtractCase {
  const char* shows;
  std::string mail;
  std::vector<std::string> choose, proposed;  // names chosen in a scratch folder; "" cancels
  Files after, before = {};                   // the files there, the mail aside
  std::vector<Answer> answers = {};
  Given given = kNone;
  const char* error = nullptr;  // the final box, {} the mail or B; null: the completion notice
};

TEST(ExtractAttachments, WritesEveryAnnouncedAttachmentOrStopsWithOneErrorBox) {
  const std::string bin = Repeat(std::string("\0\xFF\0\x1A\r\n", 6), 25), abc = "ABC";
  const std::string big(24999, 'g'), big64 = Repeat("Z2dn", 8333), a(99, 'a'), b(150, 'b');
  std::string sjis(kPathSize - 212, 'x');
  for (int i = 0; i < 300; ++i) sjis += "\x82\xA0";
  const std::string three = Named("a", Body(Repeat("YWFh", 33))) +
                            Named("b", Body(Repeat("YmJi", 50))) + Named("c", "QUJD\r\n");
  const std::vector<std::string> abc3 = {"a", "b", "c"}, ab = {"a", "b"};
  const char *open = "Output file open err. [{}/B]\n", *wrute = "Output file wrute err. [{}/B]\n";
  const Files a_only = {{"A", a}}, a_dir = {{"A", a}, {"B", "<missing>"}};
  const std::vector<ExtractCase> cases = {
      {"two parts, in order, upper-cased; the mail read as bytes", "\x1A\r\n" + Named("a.pdf",
       Body(Repeat("AP8AGg0K", 25))) + Named("b", "QUI=\r\n\r\n"), {"a.pdf", "b"}, {"a.pdf", "b"},
       {{"A.PDF", bin}, {"B", "AB"}}},
      {"nothing announced", "filename=\"n\"\r\n\r\nQUJD\r\n", {}, {}, {}},
      {"no quoted name", Part("filename=n.pdf\r\nX: name=\"r\"; filename*=\"n\"", "QUJD\r\n"), {}, {}, {}},
      {"the encoding header only whole at line start", "filename=\"s\"\r\n Content-Transfer-Encoding:"
       " base64\r\nContent-Transfer-Encoding : base64\r\nContent-Transfer-Encoding:\r\n base64\r\n\r\n"
       "QUJD\r\n", {}, {}, {}},
      {"any case, name line first, LF only", "FileName=\"m\"\ncontent-transfer-encoding: BASE64\n\n"
       "QUJD\nQQ==\n\nQUJD\n", {"m"}, {"m"}, {{"M", "ABCA"}}},
      {"a JIS name in Shift_JIS, an encoded word as it is", Named("\x1B$B%F\x1B(B.txt", "QUJD\r\n\r\n")
       + Named("=?x?B?QQ==?=", "QUJD\r\n"), {"", ""}, {"\x83\x65.txt", "=?x?B?QQ==?="}, {}},
      {"bodies end at the next header, --, a lone LF, a blank; the line ending one is scanned",
       Named("x", "QUJD\r\nQ\r\nQUJD\r\n") + Named("y", "QUJD\r\n--b\r\n") + Named("z",
       "QUJD\r\n\nQUJD\r\n") + Named("w", "QU JD\r\n"), {"x", "y", "z", "w"}, {"x", "y", "z", "w"},
       {{"X", "ABCABC"}, {"Y", abc}, {"Z", abc}, {"W", ""}}},
      {"Yes overwrites, No appends, Cancel skips and forgets the name", Named("x", "QUJD\r\n\r\n") +
       Named("y", "QUJD\r\n\r\n") + Named("z", "QUJD\r\n\r\n") + Part("X: y", "QUJD\r\n"),
       {"x", "y", "z"}, {"x", "y", "z"}, {{"X", abc}, {"Y", "oABC"}, {"Z", "o"}},
       {{"X", "o"}, {"Y", "o"}, {"Z", "o"}}, {Answer::kYes, Answer::kNo, Answer::kCancel}},
      {"a cancelled dialog forgets the name; an extraction uses up the announcement",
       Named("x", "QUJD\r\n\r\n") + Part("X: y", "QUI=\r\n\r\n") + Named("y", "QUI=\r\n\r\n") +
       "filename=\"t\"\r\n\r\nQUJD\r\n", {"", "y"}, {"x", "y"}, {{"Y", "AB"}}},
      {"an announcement carries to a named part", Part("X: y", "\r\n") + "Content-Disposition: "
       "attachment; filename=\"n\"\r\n\r\nQUJD\r\nmore text\r\n", {"n"}, {"n"}, {{"N", abc}}},
      {"long lines, one without a line end", Named("x", big64 + "\r\nQUJ"), {"x"}, {"x"},
       {{"X", big + "AB"}}},
      {"a CR LF cut by the read limit", Named("x", big64.substr(0, 9996) + "QUJD\r\nQQ"),
       {"x"}, {"x"}, {{"X", big.substr(0, 7497) + abc + "A"}}},
      {"a group's last character in the file's last piece", Named("x", std::string(9998, 'A') +
       "\rQ"), {"x"}, {"x"}, {{"X", std::string(7498, '\0') + "\x04"}}},
      {"names cut to a path's size between characters", Named(sjis, "QUJD\r\n"), {"x"},
       {sjis.substr(0, kPathSize - 2)}, {{"X", abc}}},
      {"missing", three, {}, {}, {}, {}, {}, kNoExists, "C'ant find input file. [{}/MAIL]\n"},
      {"unreadable", three, {}, {}, {}, {}, {}, kNoRead, "Input file open err. [{}/MAIL]\n"},
      {"a read fails in the header", three, {}, {}, {}, {}, {}, kReadAt10, "Input file read err. [{}/MAIL]\n"},
      // A body that is not whole never stands under its name.
      {"a read fails in a body", three, abc3, ab, a_only, {}, {}, kReadAt400,
       "Input file read err. [{}/MAIL]\n"},
      {"output refused", three, abc3, ab, a_only, {}, {}, kNoWrite, open},
      {"a short write", three, abc3, ab, a_only, {}, {}, kWriteAt104, wrute},
      {"the close fails", three, abc3, ab, a_only, {}, {}, kNoClose, wrute},
      {"an old file's permissions that cannot be given", three, abc3, ab, {{"A", a}, {"B", "o"}},
       {{"B", "o"}}, {Answer::kYes}, kNoPermissions, "Permission copy err. [{}/B]\n"},
      {"an old file kept whole until the new one is", three, abc3, abc3, {{"A", a}, {"B", "o" + b},
       {"C", abc}}, {{"B", "o"}}, {Answer::kNo}, kMode600},
      {"a folder", three, abc3, ab, a_dir, {}, {Answer::kYes}, kFolder, open},
      {"a FIFO", three, abc3, ab, a_dir, {}, {Answer::kYes}, kFifo, open},
      {"a dangling link for velko-cli", three, abc3, ab, a_dir, {}, {Answer::kYes}, kDanglingLink, open},
      {"a link to the mail", three, abc3, ab, {{"A", a}, {"B", three}}, {}, {Answer::kYes}, kLinkToMail, open},
      {"the mail itself", three, {"a", "mail"}, ab, a_only, {}, {Answer::kYes}, kNone,
       "Output file open err. [{}/MAIL]\n"},
  };
  for (const ExtractCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string mail = dir.Path("MAIL"), second = dir.Path("B"), out = dir.Path("out");
    for (const auto& [name, bytes] : c.before) WriteFile(dir.Path(name), bytes);
    WriteFile(mail, c.mail);
    FaultyFileOps ops(c.given != kDanglingLink);  // velko-cli never writes through a link
    switch (c.given) {
      case kNone: break;
      case kNoExists: ops.fail_exists = true; break;
      case kNoRead: ops.fail_open_read = true; break;
      case kReadAt10: ops.read_fails_at = 10; break;
      case kReadAt400: ops.read_fails_at = 400; break;
      case kNoWrite: ops.fail_write_open = 2; break;
      case kWriteAt104: ops.write_fails_at = 104; break;
      case kNoClose: ops.fail_write_close = 2; break;
      case kFolder: ::mkdir(second.c_str(), 0700); break;
      case kLinkToMail: ASSERT_EQ(::symlink(mail.c_str(), second.c_str()), 0); break;
      case kDanglingLink: ASSERT_EQ(::symlink((out + "/c").c_str(), second.c_str()), 0); break;
      case kFifo: ::mkfifo(second.c_str(), 0600); break;
      case kNoPermissions: ops.fail_permissions = true; break;
      case kMode600: ::chmod(second.c_str(), 0600); break;
    }
    // clang-format on
    ::mkdir(out.c_str(), 0700);
    ScriptedHost host;
    for (const std::string& name : c.choose)
      host.choices.push_back(name.empty() ? "" : dir.Path(name));
    host.answers.assign(c.answers.begin(), c.answers.end());
    Services sv{host, ops};
    EXPECT_EQ(ExtractAttachments(mail.c_str(), kDoneB64Bin, nullptr, sv), !c.error);
    EXPECT_EQ(ops.open, 0);
    Files files;
    for (const auto& e : std::filesystem::directory_iterator(dir.dir)) {
      files[e.path().filename()] = ReadFile(e.path());
    }
    EXPECT_EQ(files["MAIL"], c.mail);
    files.erase("MAIL"), files.erase("out");
    EXPECT_EQ(files, c.after);
    EXPECT_EQ(host.proposed, c.proposed);
    EXPECT_TRUE(std::filesystem::is_empty(out));
    struct stat st;
    if (c.given == kMode600 && ::stat(second.c_str(), &st) == 0) {
      EXPECT_EQ(st.st_mode & 0777, 0600u);  // what the file was given, not the folder's default
    }
    std::string last = c.error ? c.error : "Ｂａｓｅ６４展開完了しました";
    if (std::size_t at = last.find("{}"); at != std::string::npos) last.replace(at, 2, dir.dir);
    ASSERT_EQ(host.boxes.size(), 1 + c.answers.size());
    for (const Box& box : host.boxes) {
      const bool final = &box == &host.boxes.back();
      EXPECT_EQ(box.text, final ? last : kAsk);
      EXPECT_EQ(box.kind, !final    ? BoxKind::kQuestion
                          : c.error ? BoxKind::kError
                                    : BoxKind::kMessage);
    }
  }
}

// The transfer decoders against Python's binascii (a2b_base64 with email's padding, a2b_qp,
// a2b_uu) where the comment names no other rule, fed in pieces of every size.
TEST(TransferDecoders, DecodeTheSameWhateverThePieces) {
  enum Kind { kB64, kQp, kUu };
  const struct {
    Kind kind;
    std::string in, out;
    unsigned long long skipped;
    bool lone;
  } cases[] = {
      {kB64, "QUJD\r\nREVG\n", "ABCDEF", 0, false},
      {kB64, "QU\nJD\r\nQQ", "ABCA", 0, false},      // groups across lines, one left unpadded
      {kB64, "QUJ D\tQ Q==", "ABCA", 0, false},      // blanks inside are nothing
      {kB64, "QUJD\rQQ==", "ABCA", 0, false},        // a lone CR is a line's end like any
      {kB64, "Q=UJD", "ABC", 0, false},              // '=' one character into a group: nothing
      {kB64, "QU*JD", "ABC", 1, false},              // other bytes passed over, counted
      {kB64, "QUJDQ", "ABC", 0, true},               // six bits make no byte
      {kB64, "QQ==\nQUI=\nQUJD", "AABABC", 0, false},  // the window's rule: padded texts in turn
      {kB64, std::string(3000, 'A') + "QUJD", std::string(2250, '\0') + "ABC", 0, false},
      {kQp, "a=41b=\r\nc\r\n", "aAbc\r\n", 0, false},
      {kQp, "=e9\n=zz a=", "\xE9\n=zz a", 0, false},
      {kQp, "x  \r\ny\t\n= \r\nz", "x\r\ny\nz", 0, false},  // RFC 2045 6.7: transport blanks go
      {kQp, "==41\r", "=A\r", 0, false},  // Python: "=41", taking "==" for one '='
      {kUu, "#86)C\n`\nend\nmore\n", "abc", 0, false},
      {kUu, "+:&5L;&\\@=V]R;&0 \n end \n", "hello world", 0, false},
      {kUu, "$86)C\n", std::string("abc\0", 4), 0, false},  // a character it lacks counts as 0
  };
  struct Collect {
    static bool Take(void* out, const unsigned char* bytes, std::size_t n) {
      static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(bytes), n);
      return true;
    }
  };
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= c.in.size(); ++piece) {
      SCOPED_TRACE(c.in + " in pieces of " + std::to_string(piece));
      std::string out;
      Base64Stream base64;
      QuotedPrintable qp;
      Uudecode uu;
      for (std::size_t at = 0; at < c.in.size(); at += piece) {
        const std::size_t n = std::min(piece, c.in.size() - at);
        const char* p = c.in.data() + at;
        if (c.kind == kB64) base64.Feed(p, n, Collect::Take, &out);
        if (c.kind == kQp) qp.Feed(p, n, Collect::Take, &out);
        if (c.kind == kUu) uu.Feed(p, n, Collect::Take, &out);
      }
      base64.Finish(Collect::Take, &out), qp.Finish(Collect::Take, &out), uu.Finish(Collect::Take, &out);
      EXPECT_EQ(out, c.out);
      const TransferNotes& notes = c.kind == kB64 ? base64.notes() : c.kind == kQp ? qp.notes() : uu.notes();
      EXPECT_EQ(notes.bytes, c.out.size());
      EXPECT_EQ(notes.skipped, c.skipped);
      EXPECT_EQ(notes.lone, c.lone);
    }
  }
}

// Another run takes the chosen name while the part is written: the sink's next name, or the
// part whole under its temporary name and the failure told.
TEST(PartFile, ANameTakenMeanwhileGoesToTheSinksNextOne) {
  struct Sink : PartSink {
    std::string dir, failed;
    bool renames = true;
    bool Choose(const velko::Part&, char* path) override {
      return std::strcpy(path, (dir + "/x").c_str()), true;
    }
    Answer Exists(const velko::Part&, char*) override { return Answer::kCancel; }
    bool Taken(const velko::Part&, char* path) override {
      return renames && std::strcpy(path, (dir + "/x(1)").c_str());
    }
    void Skipped(const velko::Part&, SkipReason) override {}
    void Listed(const velko::Part&, const velko::Body&) override {}
    void Written(const velko::Part&, const char*, bool, const velko::Body&) override {}
    void Failed(const velko::Part&, const char* format, const char*, const char*) override { failed = format; }
  };
  for (const bool renames : {true, false}) {
    TempDir dir;
    FaultyFileOps ops;
    ops.taken = dir.Path("x");
    ScriptedHost host;
    Services sv{host, ops, TextRules::kBytes, false};
    Sink sink;
    sink.dir = dir.dir, sink.renames = renames;
    MemoryFile mail("Content-Type: a/b\nContent-Transfer-Encoding: base64\n\nQUJD\n", 0);
    unsigned long messages;
    ExtractArchive(mail, "m", sv, ArchiveMode(), sink, &messages);
    EXPECT_EQ(ReadFile(dir.Path("x")), "another run's");
    EXPECT_EQ(renames ? ReadFile(dir.Path("x(1)")) : sink.failed, renames ? "ABC" : kErrRename);
  }
}

TEST(DecodePartName, NamesAsAMailReaderDoes) {
  // clang-format off
  const struct { const char* header; NameForm form; const char* name; } cases[] = {
      {"Content-Disposition: attachment; filename*=UTF-8''%E5%A0%B1%E5%91%8A.pdf; filename=\"x\"", NameForm::kRfc2231, "報告.pdf"},
      {"Content-Disposition: attachment;\r\n filename*0*=ISO-2022-JP''%1B%24B%4A%73;\r\n\tfilename*1*=%39%70%1B%28B;\r\n"
       " filename*2=\".t\\\"x\"", NameForm::kRfc2231, "報告.t\"x"},
      {"Content-Type: a/b; name*=shift_jis'ja'%95%F1%8D%90", NameForm::kRfc2231, "報告"},
      {"Content-Disposition: attachment; filename=\"=?ISO-2022-JP?B?GyRCSnM5cBsoQg==?= =?utf-8?q?=E5=91=8A_x?=.pdf\"",
       NameForm::kEncoded, "報告告 x.pdf"},
      {"Content-Disposition: attachment; filename=\"=?Shift_JIS?B?lfE=?=a =?EUC-JP?B?ufD/?=\"", NameForm::kEncoded, "報a 告_"},
      {"content-disposition: inline; FileName=report.pdf ; size=3", NameForm::kUnquoted, "report.pdf"},
      {"Content-Type: a/b; x=\"; name=no\"; name=\"=?ISO-8859-1?Q?caf=E9?=\"", NameForm::kContentType, "caf\xC3\xA9"},
      {"Content-Disposition: attachment; filename=\"\x1B$BJs9p\x1B(B\"", NameForm::kQuoted, "報告"},
      {"Content-Disposition: attachment; filename=\"\"\r\nContent-Type: a/b", NameForm::kNone, ""},
      {"X-Disposition: a; filename=\"x\"\r\nContent-Type: a/b; filename=\"y\"", NameForm::kNone, ""},
      {"Content-Disposition: attachment; filename=\"=?EUC-JP?B?jqE=?=x\"", NameForm::kEncoded, "\uFF61x"},
      {"Content-Disposition: attachment; filename=\"ab\\", NameForm::kQuoted, "ab\\"},
      // A NUL ends the name, and says so: "invoice.sh" is not what the mail names.
      {"Content-Disposition: a; filename*=utf-8''invoice.sh%00.pdf", NameForm::kRfc2231, "invoice.sh"},
  };
  // clang-format on
  for (const auto& c : cases) {
    PartHeader header{{}, 0};
    for (const char* line = c.header; *line != 0;) {
      const char* end = std::strchr(line, '\n');
      std::string one = end ? std::string(line, end + 1) : line;
      AddHeaderLine(header, one.c_str());
      line += one.size();
    }
    char name[kPathSize];
    std::vector<char> work(kNameWork, 'Z');  // what a part before left there counts for nothing
    bool nul = false;
    EXPECT_EQ(DecodePartName(header, NativeFileOps(), name, work.data(), &nul), c.form) << c.header;
    EXPECT_STREQ(name, c.name) << c.header;
    EXPECT_EQ(nul, std::strstr(c.header, "%00") != nullptr) << c.header;
  }
  // Too long for a path: cut to whole characters of one to four bytes, the extension kept.
  for (auto [code, bytes] :
       {std::pair{"a", 1}, {"%C3%A9", 2}, {"%E3%81%82", 3}, {"%F0%9F%98%80", 4}}) {
    const int keep = static_cast<int>(kPathSize - 1 - 4) / bytes;  // whole characters, ".txt"
    std::string encoded, decoded;
    for (int i = 0; i < static_cast<int>(kPathSize + 100) / bytes; ++i) encoded += code;
    for (int i = 0; i < keep; ++i)
      decoded += bytes == 1 ? "a" : bytes == 2 ? "\u00E9" : bytes == 3 ? "\u3042" : "\U0001F600";
    PartHeader h{{}, 0};
    AddHeaderLine(h, ("Content-Disposition: a; filename*=UTF-8''" + encoded + ".txt\n").c_str());
    char name[kPathSize];
    std::vector<char> work(kNameWork);
    bool nul;
    DecodePartName(h, NativeFileOps(), name, work.data(), &nul);
    EXPECT_EQ(name, decoded + ".txt") << code;
  }
  // The window's upper-casing: a Shift_JIS second byte is never a letter; after it, letters are.
  char path[kPathSize] =
      "d:\\\x95\x61\x95\xF1"
      "a.txt";
  UpperCaseChosenPath(path, PathStyle::kWin32);
  EXPECT_STREQ(path,
               "D:\\\x95\x61\x95\xF1"
               "A.TXT");
  PartHeader cte{{}, 0};
  for (const char* line : {"--b\n", "Content-Transfer-Encoding:\n", "\tBase64 \n"})
    AddHeaderLine(cte, line);
  EXPECT_TRUE(AnnouncesBase64(cte));
}

}  // namespace
}  // namespace velko
