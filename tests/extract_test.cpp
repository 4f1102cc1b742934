// Attachment extraction on real mail files: dialogs, questions, files written, every failure.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "command.h"
#include "extract.h"
#include "fileops_native.h"
#include "support.h"

namespace velko {
namespace {

using test::Box;
using test::FaultyFileOps;
using test::ReadFile;
using test::ScriptedHost;
using test::TempDir;
using test::WriteFile;

// Written out here rather than taken from texts.h, so a slip there shows.
const std::string kDone = "Ｂａｓｅ６４展開完了しました";
// Every blank in it is an ideographic space, spelled out so that none slips in as ASCII.
const std::string kAsk =
    "上書きしてよろしいですか？\r\n"
    "\u3000上書きなら\u3000「はい」\r\n"
    "\u3000追記なら\u3000\u3000「いいえ」\r\n"
    "\u3000中止なら\u3000\u3000「キャンセル」\r\n"
    "をクリックして下さい。";

std::string Encode(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// Every byte value turns up, NUL, CR, LF and 0x1A among them: binary must stay binary.
std::string Bytes(std::size_t n, unsigned seed) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 37 + seed) & 0xFF);
  return s;
}

// Body lines of 76 characters (57 bytes), each with CR LF.
std::string Body(const std::string& bytes) {
  std::string b64 = Encode(bytes), out;
  for (std::size_t i = 0; i < b64.size(); i += 76) out += b64.substr(i, 76) + "\r\n";
  return out;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

const std::string kHead = Lines({"From: a@example.com", "Subject: files", "MIME-Version: 1.0",
                                 "Content-Type: multipart/mixed; boundary=\"b\"", "", "--b",
                                 "Content-Type: text/plain", "", "Hello.", ""});
const std::string kTail = "--b--\r\n";

std::string Part(const std::string& name, const std::string& bytes) {
  return Lines({"--b", "Content-Type: application/octet-stream",
                "Content-Transfer-Encoding: base64",
                "Content-Disposition: attachment; filename=\"" + name + "\"", ""}) +
         Body(bytes) + "\r\n";
}

// A part announced as Base64 with `header` added, then `body` as it stands.
std::string Raw(const std::string& header, const std::string& body) {
  return Lines({"Content-Transfer-Encoding: base64", header, ""}) + body;
}

std::map<std::string, std::string> FilesIn(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.dir())) {
    std::string name = e.path().filename().string();
    if (name != "mail.eml") files[name] = e.is_directory() ? "<dir>" : ReadFile(e.path());
  }
  return files;
}

// The command as the window runs it; returns the one notice it must end with.
Box RunB64Bin(ScriptedHost& host, FileOps& ops, const std::string& mail) {
  host.field = mail;
  Services sv{host, ops};
  CompletionText = nullptr;
  EXPECT_EQ(RunCommand(BTN_B64BIN, nullptr, sv), 1);
  EXPECT_EQ(CompletionText ? std::string(CompletionText) : "<unset>", kDone);
  std::vector<Box> notices;
  for (const Box& b : host.boxes) {
    if (b.question) {
      EXPECT_EQ(b.caption, "VELKO.EXE");
      EXPECT_EQ(b.text, kAsk);
    } else {
      notices.push_back(b);
    }
  }
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_FALSE(host.boxes.empty() || host.boxes.back().question);
  return notices.empty() ? Box{} : notices.back();
}

std::size_t Questions(const ScriptedHost& host) {
  std::size_t n = 0;
  for (const Box& b : host.boxes) n += b.question;
  return n;
}

struct ExtractCase {
  const char* shows;
  std::string mail;
  std::vector<std::string> choose;    // names chosen in the scratch folder; "" cancels
  std::vector<std::string> proposed;  // what the dialogs proposed, in order
  std::map<std::string, std::string> after;  // every file there afterwards, mail aside
  std::map<std::string, std::string> before = {};
  std::vector<Answer> answers = {};
};

TEST(ExtractAttachments, WritesEveryAttachmentTheMailAnnounces) {
  const std::string pdf = Bytes(57 * 2 + 10, 1), two = Bytes(40, 2), big = Bytes(3000, 3);
  const std::string huge = Bytes(22500, 4), cut = Bytes(7498, 5);
  const std::string b64_cut = Encode(cut).substr(0, 9998);  // its "==" dropped
  std::string sjis_name(1, 'x');
  for (int i = 0; i < 300; ++i) sjis_name += "\x82\xA0";  // あ: 601 bytes in all
  const std::string abc = "ABC";
  const std::vector<ExtractCase> cases = {
      {"one part: 57 bytes a line, created upper-cased", kHead + Part("report.pdf", pdf) + kTail,
       {"report.pdf"}, {"report.pdf"}, {{"REPORT.PDF", pdf}}},
      {"two parts: two dialogs in order",
       kHead + Part("a.txt", two) + Part("b.bin", pdf) + kTail, {"a.txt", "b.bin"},
       {"a.txt", "b.bin"}, {{"A.TXT", two}, {"B.BIN", pdf}}},
      {"no Base64 part", kHead + Lines({"--b", "Content-Disposition: attachment; filename=\"t\"",
                                        "", "QUJD"}) + kTail, {}, {}, {}},
      {"Base64 parts without a quoted name", kHead + Raw("Content-Type: image/png", Body(two)) +
       kTail, {}, {}, {}},
      {"Filename= mixed case, mid-line", Raw("X: a; fIlEnAmE=\"m\"", "QUJD\r\n\r\n"), {"m"},
       {"m"}, {{"M", abc}}},
      {"the quotes are those after FILENAME=", Raw("X: a; x=\"y\"; filename=\"real.txt\"",
       "QUJD\r\n"), {"r"}, {"real.txt"}, {{"R", abc}}},
      {"a mail with LF line ends", "Content-Transfer-Encoding: base64\nfilename=\"u\"\n\n"
       "QUJD\nQUI=\n\nQUJD\n", {"u"}, {"u"}, {{"U", "ABCAB"}}},
      {"encoding header in lower case", Lines({"filename=\"l\"", "content-transfer-encoding: "
       "BASE64", ""}) + "QUJD\r\n", {"l"}, {"l"}, {{"L", abc}}},
      {"a blank at line start is no encoding header", Lines({"filename=\"s\"",
       " Content-Transfer-Encoding: base64", ""}) + "QUJD\r\n", {}, {}, {}},
      {"a blank before the colon neither", Lines({"filename=\"s\"",
       "Content-Transfer-Encoding : base64", ""}) + "QUJD\r\n", {}, {}, {}},
      {"base64 on a continuation line does not count", Lines({"filename=\"s\"",
       "Content-Transfer-Encoding:", " base64", ""}) + "QUJD\r\n", {}, {}, {}},
      {"a FILENAME= line never announces", Lines({"Content-Transfer-Encoding: base64; "
       "filename=\"s\"", ""}) + "QUJD\r\n", {}, {}, {}},
      {"filename= without quotes", Raw("filename=report.pdf", "QUJD\r\n"), {}, {}, {}},
      {"empty quotes replace an earlier name", Lines({"filename=\"a\""}) +
       Raw("filename=\"\"", "QUJD\r\n"), {}, {}, {}},
      {"name= is no file name", Raw("Content-Type: a/b; name=\"r.pdf\"", "QUJD\r\n"), {}, {},
       {}},
      {"filename*= is none either", Raw("X: a; filename*=\"r.pdf\"", "QUJD\r\n"), {}, {}, {}},
      {"folded continuation line", Raw("Content-Disposition: attachment;\r\n\tfilename=\"f\"",
       "QUJD\r\n"), {"f"}, {"f"}, {{"F", abc}}},
      {"encoding after the name", Lines({"filename=\"e\"", "Content-Transfer-Encoding: base64",
       ""}) + "QUJD\r\n", {"e"}, {"e"}, {{"E", abc}}},
      {"a name in JIS is proposed in Shift_JIS", Raw("filename=\"\x1B$B%F%9%H\x1B(B.txt\"",
       "QUJD\r\n"), {"j"}, {"\x83\x65\x83\x58\x83\x67.txt"}, {{"J", abc}}},
      {"an encoded word is proposed undecoded", Raw("filename=\"=?ISO-2022-JP?B?GyRCNEE7ehsoQg"
       "==?=\"", "QUJD\r\n"), {"w"}, {"=?ISO-2022-JP?B?GyRCNEE7ehsoQg==?="}, {{"W", abc}}},
      {"ends at a blank CR LF line", Raw("filename=\"x\"", "QUJD\r\n\r\nQUJD\r\n"), {"x"},
       {"x"}, {{"X", abc}}},
      {"ends at a lone LF", Raw("filename=\"x\"", "QUJD\r\n\nQUJD\r\n"), {"x"}, {"x"},
       {{"X", abc}}},
      {"ends at a -- line", Raw("filename=\"x\"", "QUJD\r\n--b\r\nQUJD\r\n"), {"x"}, {"x"},
       {{"X", abc}}},
      {"ends at a line holding a blank", Raw("filename=\"x\"", "QUJD\r\nQU JD\r\nQUJD\r\n"),
       {"x"}, {"x"}, {{"X", abc}}},
      {"the line ending a body is scanned", Raw("filename=\"x\"", "QUJD\r\n") +
       Lines({"filename=\"y\"", "Content-Transfer-Encoding: base64", "", "QUI="}), {"x", "y"},
       {"x", "y"}, {{"X", abc}, {"Y", "AB"}}},
      {"a line decoding to nothing does not end it", Raw("filename=\"x\"", "QUJD\r\nQ\r\nQUJD\r\n"),
       {"x"}, {"x"}, {{"X", abc + abc}}},
      {"empty body gives an empty file", Raw("filename=\"x\"", "\r\nQUJD\r\n"), {"x"}, {"x"},
       {{"X", ""}}},
      {"empty body appended leaves the file", Raw("filename=\"x\"", "\r\nQUJD\r\n"), {"x"},
       {"x"}, {{"X", "old"}}, {{"X", "old"}}, {Answer::kNo}},
      {"QQ== adds one byte", Raw("filename=\"x\"", "QUJD\r\nQQ==\r\n\r\n"), {"x"}, {"x"},
       {{"X", "ABCA"}}},
      {"Yes overwrites", Raw("filename=\"x\"", "QUJD\r\n"), {"x"}, {"x"}, {{"X", abc}},
       {{"X", "old content"}}, {Answer::kYes}},
      {"No appends", Raw("filename=\"x\"", "QUJD\r\n"), {"x"}, {"x"}, {{"X", "old" + abc}},
       {{"X", "old"}}, {Answer::kNo}},
      {"Cancel leaves it, then the body is only scanned",
       Raw("filename=\"x\"", "QUJD\r\n") + Raw("filename=\"y\"", "QUI=\r\n"), {"x", "y"},
       {"x", "y"}, {{"X", "old"}, {"Y", "AB"}}, {{"X", "old"}}, {Answer::kCancel}},
      {"Cancel forgets the name", Raw("filename=\"x\"", "QUJD\r\n\r\n") +
       Raw("X: no name", "QUI=\r\n"), {"x", "y"}, {"x"}, {{"X", "old"}}, {{"X", "old"}},
       {Answer::kCancel}},
      {"so does a cancelled dialog", Raw("filename=\"x\"", "QUJD\r\n\r\n") +
       Raw("X: no name", "QUI=\r\n"), {"", "y"}, {"x"}, {}},
      {"an extraction uses up the announcement", kHead + Part("a.txt", two) +
       Lines({"--b", "Content-Disposition: attachment; filename=\"t.txt\"", "", "QUJD"}) +
       kTail, {"a.txt", "t.txt"}, {"a.txt"}, {{"A.TXT", two}}},
      {"cancelling the first dialog still offers the second",
       kHead + Part("a.txt", two) + Part("b.bin", pdf) + kTail, {"", "b.bin"},
       {"a.txt", "b.bin"}, {{"B.BIN", pdf}}},
      {"an announcement carries to a named part in another encoding",
       kHead + Raw("Content-Type: image/png", "\r\n") +
       Lines({"--b", "Content-Transfer-Encoding: 7bit", "Content-Disposition: attachment; "
              "filename=\"n.txt\"", "", "QUJD", "QUJD", "Hello there", "QUJD"}) + kTail,
       {"n.txt"}, {"n.txt"}, {{"N.TXT", abc + abc}}},
      {"a name from an earlier part carries over",
       Lines({"filename=\"early\"", "", "text"}) + Raw("X: y", "QUJD\r\n"), {"z"}, {"early"},
       {{"Z", abc}}},
      {"a line over the decoded area is decoded whole",
       Raw("filename=\"x\"", Encode(big) + "\r\n\r\n"), {"x"}, {"x"}, {{"X", big}}},
      {"a 30000-character line crosses the read limit",
       Raw("filename=\"x\"", Encode(huge) + "\r\n\r\n"), {"x"}, {"x"}, {{"X", huge}}},
      {"the same line as the last of the file, no line end",
       Raw("filename=\"x\"", Encode(huge)), {"x"}, {"x"}, {{"X", huge}}},
      {"a CR LF split by the read limit", Raw("filename=\"x\"", b64_cut + "\r\nQUJD\r\n"),
       {"x"}, {"x"}, {{"X", cut + abc}}},
      {"lone-LF body lines decode whole", Raw("filename=\"x\"", "QUJD\nQUJD\n\nQUJD\n"), {"x"},
       {"x"}, {{"X", abc + abc}}},
      {"a short last group without line end", Raw("filename=\"x\"", "QUJD\r\nQUJ"), {"x"},
       {"x"}, {{"X", "ABCAB"}}},
      {"two characters give one byte", Raw("filename=\"x\"", "QUJDQQ"), {"x"}, {"x"},
       {{"X", "ABCA"}}},
      {"a 600-byte name is cut at 511", Raw("filename=\"" + std::string(600, 'n') + "\"",
       "QUJD\r\n"), {"x"}, {std::string(511, 'n')}, {{"X", abc}}},
      {"a long name is cut between characters", Raw("filename=\"" + sjis_name + "\"",
       "QUJD\r\n"), {"x"}, {sjis_name.substr(0, 511)}, {{"X", abc}}},
      {"nor does it cut a character in half", Raw("filename=\"y" + sjis_name + "\"",
       "QUJD\r\n"), {"x"}, {("y" + sjis_name).substr(0, 510)}, {{"X", abc}}},
  };
  for (const ExtractCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string mail = dir.Path("mail.eml");
    WriteFile(mail, c.mail);
    for (const auto& [name, bytes] : c.before) WriteFile(dir.Path(name), bytes);
    ScriptedHost host;
    for (const std::string& name : c.choose) {
      host.save_choices.push_back(name.empty() ? "" : dir.Path(name));
    }
    host.answers.assign(c.answers.begin(), c.answers.end());
    Box done = RunB64Bin(host, NativeFileOps(), mail);
    EXPECT_EQ(done.caption, "VELKO.EXE Message");
    EXPECT_EQ(done.text, kDone);
    EXPECT_EQ(host.proposed_save, c.proposed);
    EXPECT_EQ(Questions(host), c.answers.size());
    EXPECT_EQ(FilesIn(dir), c.after);
    EXPECT_EQ(ReadFile(mail), c.mail);
  }
}

struct FaultCase {
  const char* shows;
  int arm_at;  // output file from which `arm` is in force; 0 from the start
  std::function<void(FaultyFileOps&)> arm;
  const char* message;  // M stands for the mail's path, B for the second file's
  std::map<std::string, std::string> before;
  std::vector<Answer> answers;
  std::size_t dialogs;
  std::map<std::string, std::string> after;
};

// Switches the faults on when the arm_at-th output file is opened.
class ArmedOps : public FileOps {
 public:
  ArmedOps(FaultyFileOps& inner, const FaultCase& c) : inner_(inner), c_(c) {
    if (c.arm_at == 0) c.arm(inner_);
  }
  PathStyle Style() const override { return inner_.Style(); }
  bool Exists(const char* path) override { return inner_.Exists(path); }
  EntryKind Kind(const char* path, bool follow) override { return inner_.Kind(path, follow); }
  bool SameFile(const char* a, const char* b) override { return inner_.SameFile(a, b); }
  void CopyPermissions(const char* f, const char* t) override { inner_.CopyPermissions(f, t); }
  bool Remove(const char* path) override { return inner_.Remove(path); }
  bool RenameNoReplace(const char* f, const char* t) override {
    return inner_.RenameNoReplace(f, t);
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    if (mode != OpenMode::kRead && ++outputs_ == c_.arm_at) c_.arm(inner_);
    return inner_.Open(path, mode);
  }

 private:
  FaultyFileOps& inner_;
  const FaultCase& c_;
  int outputs_ = 0;
};

std::string Expand(const std::string& format, const std::string& m, const std::string& b) {
  std::string out;
  for (char c : format) out += c == 'M' ? m : c == 'B' ? b : std::string(1, c);
  return out;
}

TEST(ExtractAttachments, EveryFailureEndsWithOneErrorBoxAndKeepsWhatWasWritten) {
  const std::string a = Bytes(100, 6), b = Bytes(150, 7);
  const std::string mail =
      kHead + Part("a.bin", a) + Part("b.bin", b) + Part("c.bin", Bytes(9, 8)) + kTail;
  const long second_part = static_cast<long>(mail.find("--b", mail.find("a.bin")));
  const long second_body = static_cast<long>(mail.find("\r\n\r\n", second_part)) + 4;
  const std::map<std::string, std::string> only_a = {{"A.BIN", a}};
  auto with_b = [&](const std::string& bytes) {
    return std::map<std::string, std::string>{{"A.BIN", a}, {"B.BIN", bytes}};
  };
  const std::vector<FaultCase> cases = {
      {"input missing", 0, [](FaultyFileOps& o) { o.fail_exists = true; },
       "C'ant find input file. [M]\n", {}, {}, 0, {}},
      {"input cannot be opened", 0, [](FaultyFileOps& o) { o.fail_open_read = true; },
       "Input file open err. [M]\n", {}, {}, 0, {}},
      {"output cannot be created", 2, [](FaultyFileOps& o) { o.fail_open_write = true; },
       "Output file open err. [B]\n", {}, {}, 2, only_a},
      {"output cannot be opened after Yes", 2, [](FaultyFileOps& o) { o.fail_open_write = true; },
       "Output file open err. [B]\n", {{"B.BIN", "old"}}, {Answer::kYes}, 2, with_b("old")},
      {"output cannot be opened after No", 2, [](FaultyFileOps& o) { o.fail_open_write = true; },
       "Output file open err. [B]\n", {{"B.BIN", "old"}}, {Answer::kNo}, 2, with_b("old")},
      {"a folder of that name, Yes", -1, [](FaultyFileOps&) {}, "Output file open err. [B]\n",
       {{"B.BIN", "<dir>"}}, {Answer::kYes}, 2, with_b("<dir>")},
      {"a folder of that name, No", -1, [](FaultyFileOps&) {}, "Output file open err. [B]\n",
       {{"B.BIN", "<dir>"}}, {Answer::kNo}, 2, with_b("<dir>")},
      {"a short write", 2, [](FaultyFileOps& o) { o.write_fail_after = 5; },
       "Output file wrute err. [B]\n", {}, {}, 2, with_b(b.substr(0, 5))},
      {"closing the output fails", 2, [](FaultyFileOps& o) { o.fail_close_write = true; },
       "Output file wrute err. [B]\n", {}, {}, 2, with_b(b)},
      {"a read fails inside a body", 0,
       [&](FaultyFileOps& o) { o.read_fail_after = second_body + 78 + 10; },
       "Input file read err. [M]\n", {}, {}, 2, with_b(b.substr(0, 57))},
      {"a read fails between parts", 0,
       [&](FaultyFileOps& o) { o.read_fail_after = second_part + 5; },
       "Input file read err. [M]\n", {}, {}, 1, only_a},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string path = dir.Path("mail.eml");
    WriteFile(path, mail);
    for (const auto& [name, bytes] : c.before) {
      if (bytes == "<dir>") {
        ASSERT_EQ(::mkdir(dir.Path(name).c_str(), 0700), 0);
      } else {
        WriteFile(dir.Path(name), bytes);
      }
    }
    FaultyFileOps faulty(NativeFileOps());
    ArmedOps ops(faulty, c);
    ScriptedHost host;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
      host.save_choices.push_back(dir.Path(name));
    }
    host.answers.assign(c.answers.begin(), c.answers.end());
    Box error = RunB64Bin(host, ops, path);
    EXPECT_EQ(error.caption, "VELKO.EXE Error Message");
    EXPECT_EQ(error.text, Expand(c.message, path, dir.Path("B.BIN")));
    EXPECT_EQ(host.proposed_save.size(), c.dialogs);
    EXPECT_EQ(Questions(host), c.answers.size());
    EXPECT_EQ(FilesIn(dir), c.after);
    EXPECT_EQ(ReadFile(path), mail);
  }
}

TEST(ExtractAttachments, AMailThatIsNotThereIsNamed) {
  TempDir dir;
  ScriptedHost host;
  Box error = RunB64Bin(host, NativeFileOps(), dir.Path("missing.eml"));
  EXPECT_EQ(error.caption, "VELKO.EXE Error Message");
  EXPECT_EQ(error.text, "C'ant find input file. [" + dir.Path("missing.eml") + "]\n");
  EXPECT_TRUE(host.proposed_save.empty());
}

struct EntryCase {
  const char* shows;
  const char* chosen;  // in the mail's folder, whose mail is MAIL.EML
  void (*arrange)(const std::string& path, const std::string& outside);
  bool write_through_links;
  Answer answer;
  bool refused;  // else the completion notice, nothing written
};

TEST(ExtractAttachments, NeverWritesTheMailALinkOrAFifo) {
  const std::vector<EntryCase> cases = {
      {"the mail's own name, Yes", "mail.eml", [](const std::string&, const std::string&) {},
       true, Answer::kYes, true},
      {"the mail's own name, No", "mail.eml", [](const std::string&, const std::string&) {},
       true, Answer::kNo, true},
      {"a link to the mail", "l",
       [](const std::string& p, const std::string&) { ASSERT_EQ(::symlink("MAIL.EML", p.c_str()), 0); },
       true, Answer::kYes, true},
      {"a dangling link in velko-cli's folder, Yes", "r",
       [](const std::string& p, const std::string& o) { ASSERT_EQ(::symlink((o + "/c").c_str(), p.c_str()), 0); },
       false, Answer::kYes, true},
      {"a dangling link, skipped", "r",
       [](const std::string& p, const std::string& o) { ASSERT_EQ(::symlink((o + "/c").c_str(), p.c_str()), 0); },
       false, Answer::kCancel, false},
      {"a FIFO, Yes", "f", [](const std::string& p, const std::string&) { ::mkfifo(p.c_str(), 0600); },
       true, Answer::kYes, true},
  };
  const std::string mail = Raw("filename=\"x\"", "QUJD\r\n");
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string path = dir.Path("MAIL.EML"), outside = dir.Path("outside");
    const std::string chosen = dir.Path(c.chosen);
    std::string upper = c.chosen;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    ASSERT_EQ(::mkdir(outside.c_str(), 0700), 0);
    WriteFile(path, mail);
    c.arrange(dir.Path(upper), outside);
    ScriptedHost host;
    host.save_choices.push_back(chosen);
    host.answers.push_back(c.answer);
    Box box = RunB64Bin(host, NativeFileOps(c.write_through_links), path);
    EXPECT_EQ(Questions(host), 1u);
    EXPECT_EQ(box.text, c.refused ? "Output file open err. [" + dir.Path(upper) + "]\n" : kDone);
    EXPECT_EQ(ReadFile(path), mail);
    EXPECT_TRUE(std::filesystem::is_empty(outside));
  }
}

struct UpperCase {
  const char* path;
  PathStyle style;
  const char* upper;
};

TEST(UpperCaseChosenPath, UpperCasesWhatThePlatformLets) {
  const std::vector<UpperCase> cases = {
      {"/tmp/dir/report.pdf", PathStyle::kPosix, "/tmp/dir/REPORT.PDF"},
      {"report.pdf", PathStyle::kPosix, "REPORT.PDF"},
      {"a/b/", PathStyle::kPosix, "a/b/"},
      {"dir\\a.b", PathStyle::kPosix, "DIR\\A.B"},  // '\' is a plain byte here
      {"c:\\mail\\report.pdf", PathStyle::kWin32, "C:\\MAIL\\REPORT.PDF"},
      {"d:/x/y.z", PathStyle::kWin32, "D:/X/Y.Z"},
      {"\x83\x65st.txt", PathStyle::kWin32, "\x83\x65ST.TXT"},  // テ keeps its second byte
      {"a\x82\x61" "b", PathStyle::kWin32, "A\x82\x61" "B"},  // ａ likewise
      {"ab\x83", PathStyle::kWin32, "AB\x83"},              // a lead byte with nothing after
      {"\x83\x65", PathStyle::kPosix, "\x83\x45"},  // POSIX names are plain bytes
      {"", PathStyle::kWin32, ""},
  };
  for (const UpperCase& c : cases) {
    SCOPED_TRACE(c.path);
    char path[kPathSize];
    std::strcpy(path, c.path);
    UpperCaseChosenPath(path, c.style);
    EXPECT_STREQ(path, c.upper);
  }
}

// Random mails under the sanitizers: whatever the bytes, one final box and no stray access.
TEST(ExtractAttachments, RandomMailsEndWithOneBox) {
  std::mt19937 rng(20240611);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> fixed = {
      "Content-Transfer-Encoding: base64", "content-transfer-encoding: BASE64 filename=\"z\"",
      "Content-Disposition: attachment; filename=\"r.bin\"", "filename=\"\"", "filename=\"",
      "--b", "", "QQ==", "=", "filename=\"\x1B$B%F\x1B(B\"", "filename=\"\x1B$B\"", "\x1B$B%"};
  const std::string ends[] = {"\r\n", "\n", "\r", ""};
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    std::string mail;
    for (std::size_t lines = pick(40); lines > 0; --lines) {
      std::string line;
      switch (pick(8)) {
        case 0: case 1: case 2: line = fixed[pick(fixed.size())]; break;
        case 3: line = ""; break;
        case 4: case 5: line = Encode(Bytes(pick(pick(8) == 0 ? 12000 : 120), round)); break;
        case 6: line = Encode(Bytes(pick(60), round)).substr(0, pick(80)); break;
        default:
          for (std::size_t n = pick(pick(10) == 0 ? 11000 : 90); n > 0; --n) {
            line += static_cast<char>(rng());
          }
      }
      mail += line + ends[pick(8) == 0 ? pick(4) : 0];
    }
    TempDir dir;
    const std::string path = dir.Path("mail.eml");
    WriteFile(path, mail);
    WriteFile(dir.Path("O0"), "old");  // so that the question comes up too
    ScriptedHost host;
    for (int i = 0; i < 40; ++i) {
      host.save_choices.push_back(pick(6) == 0 ? "" : dir.Path("o" + std::to_string(pick(4))));
      host.answers.push_back(static_cast<Answer>(pick(3)));
    }
    Box done = RunB64Bin(host, NativeFileOps(), path);
    EXPECT_EQ(done.text, kDone);
    EXPECT_EQ(ReadFile(path), mail);
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace velko
