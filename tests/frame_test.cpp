// The in-place frame on real files: results, backups, and every failure branch.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <string>
#include <vector>

#include "command.h"
#include "fileops_native.h"
#include "frame.h"
#include "support.h"
#include "texts.h"

namespace velko {
namespace {

using test::Box;
using test::FaultyFileOps;
using test::ReadFile;
using test::ScriptedHost;
using test::TempDir;
using test::WriteFile;

const std::string kError = "VELKO.EXE Error Message";
const std::string kMessage = "VELKO.EXE Message";

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

// Runs one command on `path` as the window would, returning the boxes shown.
std::vector<Box> RunOn(int id, const std::string& path, FileOps& files) {
  ScriptedHost host;
  host.field = path;
  Services sv{host, files};
  EXPECT_EQ(RunCommand(id, nullptr, sv), 1);
  return host.boxes;
}

struct ConvertCase {
  int id;
  std::string input;
  std::string output;
  const char* shows;
};

TEST(ConvertInPlace, ConvertsFilesAndKeepsTheBackup) {
  const std::string kanji = "\x8A\xBF\x8E\x9A";  // 漢字
  const std::string kanji_jis = "\x1B$B4A;z\x1B(J";
  const std::vector<ConvertCase> cases = {
      {BTN_SJTOJIS, "", "", "an empty file stays empty"},
      {BTN_SJTOJIS, kanji + "\r\n", kanji_jis + "\r\n", "a Shift_JIS line becomes JIS"},
      {BTN_SJTOJIS, "a\nb\r\nc", "a\r\nb\r\nc", "LF and CR LF come out as CR LF; no LF added"},
      {BTN_SJTOJIS, "a\rb\r\n", "a\rb\r\n", "a lone CR keeps its place"},
      {BTN_SJTOJIS, "ab\r\n\x1A" "cd\r\n", "ab\r\n", "0x1A starting a line ends the file"},
      {BTN_SJTOJIS, "ab\x1A" "cd\r\n", "abcd\r\n", "0x1A inside a line is dropped"},
      {BTN_SJTOJIS, std::string("ab\0cd\r\nef\r\n", 11), "abef\r\n",
       "a NUL ends what is written of its read"},
      {BTN_SJTOJIS, Repeat('a', 9998) + "\x8A\xBF\r\n", Repeat('a', 9998) + "\x8A\xBF\r\n",
       "a character cut by the read limit passes as two bytes"},
      {BTN_SJTOJIS, Repeat('a', 25000) + "\r\n", Repeat('a', 25000) + "\r\n",
       "pieces of a long line are written back to back"},
      {BTN_JISTOSJ, "\x1B$B0!\x1B(B\r\n\x1B$@4A\x1B(J\n", "\x88\x9F\r\n\x8A\xBF\r\n",
       "JIS lines become Shift_JIS"},
      {BTN_NECTOJIS, "\x86\xA2\x86\xA4 \x86\xAE\r\n", "\x84\x9F\x84\xA0 \x84\xA1\r\n",
       "NEC ruled lines become JIS ones"},
      {BTN_JISTONEC, "\x84\x9F\x84\xA0\r\n\x1B$B(!\x1B(B\r\n",
       "\x86\xA2\x86\xA4\r\n\x1B$B,$\x1B(J\r\n", "JIS ruled lines become NEC ones, JIS lines too"},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string target = dir.Path("mail.txt");
    WriteFile(target, c.input);
    std::vector<Box> boxes = RunOn(c.id, target, NativeFileOps());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kMessage);
    EXPECT_EQ(boxes[0].text, FindCommand(c.id)->completion);
    EXPECT_EQ(ReadFile(target), c.output);
    EXPECT_EQ(ReadFile(dir.Path("mail.BAK")), c.input);
  }
}

TEST(ConvertInPlace, ReplacesAnOldBackupAndWorksOnWhatTheLastRunLeft) {
  TempDir dir;
  const std::string target = dir.Path("notes.txt");
  WriteFile(target, "\x88\x9F\r\n");
  WriteFile(dir.Path("notes.BAK"), "old backup");
  RunOn(BTN_SJTOJIS, target, NativeFileOps());
  EXPECT_EQ(ReadFile(dir.Path("notes.BAK")), "\x88\x9F\r\n");
  std::vector<Box> boxes = RunOn(BTN_JISTOSJ, target, NativeFileOps());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kDoneJisToSjis);
  EXPECT_EQ(ReadFile(target), "\x88\x9F\r\n");
  EXPECT_EQ(ReadFile(dir.Path("notes.BAK")), "\x1B$B0!\x1B(J\r\n");
}

TEST(ConvertInPlace, RefusesATargetWhoseBackupWouldBeItself) {
  for (const char* name : {"mail.BAK", "mail.bak", "mail.Bak"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string target = dir.Path(name);
    WriteFile(target, "keep me\n");
    std::vector<Box> boxes = RunOn(BTN_SJTOJIS, target, NativeFileOps());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kError);
    EXPECT_EQ(boxes[0].text, "Backup name err. [" + target + "]\n");
    EXPECT_EQ(ReadFile(target), "keep me\n");
  }
}

TEST(ConvertInPlace, RefusesABackupNameThatWouldNotFit) {
  TempDir dir;
  // A directory part of 255 bytes and a 255-byte stem: the backup name needs 514 bytes.
  std::string folder = dir.dir();
  while (folder.size() < 254) {
    std::string part = Repeat('d', std::min<std::size_t>(100, 254 - folder.size() - 1));
    if (part.empty()) break;
    folder += "/" + part;
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  }
  ASSERT_EQ(folder.size() + 1, 255u);
  const std::string target = folder + "/" + Repeat('s', 255);
  WriteFile(target, "keep me\n");
  std::vector<Box> boxes = RunOn(BTN_SJTOJIS, target, NativeFileOps());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Backup name err. [" + target + "]\n");
  EXPECT_EQ(ReadFile(target), "keep me\n");
}

struct FaultCase {
  const char* shows;
  void (*arrange)(FaultyFileOps& ops, TempDir& dir);
  const char* format;  // the expected message, with T for the target and B for the backup
  bool target_has_original;
  bool backup_has_original;
  const char* target_after;  // expected content of the target when the original is elsewhere
};

std::string Expand(const std::string& format, const std::string& t, const std::string& b) {
  std::string out;
  for (char c : format) {
    if (c == 'T') out += t;
    else if (c == 'B') out += b;
    else out += c;
  }
  return out;
}

TEST(ConvertInPlace, EveryFailureShowsOneBoxAndKeepsTheOriginal) {
  const std::string original = "line one\r\n\x8A\xBF\x8E\x9A line two\r\n";
  const std::string converted = "line one\r\n\x1B$B4A;z\x1B(J line two\r\n";
  const std::vector<FaultCase> cases = {
      {"missing file", [](FaultyFileOps& ops, TempDir&) { ops.fail_exists = true; },
       "C'ant find input file. [T]\n", true, false, nullptr},
      {"old backup cannot be removed",
       [](FaultyFileOps& ops, TempDir& dir) {
         WriteFile(dir.Path("mail.BAK"), "old");
         ops.fail_remove = true;
       },
       "Remove err. [B]\n", true, false, nullptr},
      {"rename fails", [](FaultyFileOps& ops, TempDir&) { ops.fail_rename = true; },
       "Rename err. [T => B]\n", true, false, nullptr},
      {"backup cannot be opened", [](FaultyFileOps& ops, TempDir&) { ops.fail_open_read = true; },
       "Input file open err. [B]\n", false, true, "<missing>"},
      {"output cannot be created", [](FaultyFileOps& ops, TempDir&) { ops.fail_open_write = true; },
       "Output file open err. [T]\n", false, true, "<missing>"},
      {"a write fails part way", [](FaultyFileOps& ops, TempDir&) { ops.write_fail_after = 12; },
       "Output file wrute err. [T]\n", false, true, "line one\r\n\x1B$"},
      {"a read fails part way", [](FaultyFileOps& ops, TempDir&) { ops.read_fail_after = 12; },
       "Input file read err. [B]\n", false, true, nullptr},
      {"closing the output fails", [](FaultyFileOps& ops, TempDir&) { ops.fail_close_write = true; },
       "Output file wrute err. [T]\n", false, true, nullptr},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string target = dir.Path("mail.txt");
    const std::string backup = dir.Path("mail.BAK");
    WriteFile(target, original);
    FaultyFileOps ops(NativeFileOps());
    c.arrange(ops, dir);
    std::vector<Box> boxes = RunOn(BTN_SJTOJIS, target, ops);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kError);
    EXPECT_EQ(boxes[0].text, Expand(c.format, target, backup));
    if (c.target_has_original) {
      EXPECT_EQ(ReadFile(target), original);
    }
    if (c.backup_has_original) {
      EXPECT_EQ(ReadFile(backup), original);
    }
    if (c.target_after) {
      EXPECT_EQ(ReadFile(target), c.target_after);
    }
  }
}

TEST(ConvertInPlace, AFailedRemoveKeepsTheOldBackupAndAFailedRenameHasRemovedIt) {
  TempDir dir;
  WriteFile(dir.Path("mail.txt"), "x\n");
  WriteFile(dir.Path("mail.BAK"), "old");
  FaultyFileOps ops(NativeFileOps());
  ops.fail_remove = true;
  RunOn(BTN_SJTOJIS, dir.Path("mail.txt"), ops);
  EXPECT_EQ(ReadFile(dir.Path("mail.BAK")), "old");
  ops.fail_remove = false;
  ops.fail_rename = true;
  RunOn(BTN_SJTOJIS, dir.Path("mail.txt"), ops);
  EXPECT_EQ(ReadFile(dir.Path("mail.BAK")), "<missing>");
  EXPECT_EQ(ReadFile(dir.Path("mail.txt")), "x\n");
}

struct BackupNameCase {
  std::string path;
  PathStyle style;
  const char* backup;  // null: refused
};

TEST(MakeBackupPath, SplitsNamesAsThePlatformDoes) {
  const std::string stem255 = Repeat('s', 255);
  const std::string dir255 = Repeat('d', 254) + "/";
  const std::string stem256 = Repeat('s', 256);
  const std::string long_ok = dir255 + Repeat('s', 251);          // 254+1+251+4 = 510
  const std::string long_bad = dir255 + Repeat('s', 253) + ".t";  // 254+1+253+4 = 512
  const std::vector<BackupNameCase> cases = {
      {"C:\\mail\\inbox.txt", PathStyle::kWin32, "C:\\mail\\inbox.BAK"},
      {"inbox", PathStyle::kWin32, "inbox.BAK"},
      {"a.b.txt", PathStyle::kWin32, "a.b.BAK"},
      {"C:\\mail.old\\readme", PathStyle::kWin32, "C:\\mail.old\\readme.BAK"},
      {"C:\\mail\\.profile", PathStyle::kWin32, "C:\\mail\\.BAK"},
      {"C:x.txt", PathStyle::kWin32, "C:x.BAK"},
      {"d/e.f\\g", PathStyle::kWin32, "d/e.f\\g.BAK"},
      // 表 is 95 5C and ソ 83 5C: their second byte is no separator.
      {"\x95\x5C.txt", PathStyle::kWin32, "\x95\x5C.BAK"},
      {"C:\\\x83\x5C\\a", PathStyle::kWin32, "C:\\\x83\x5C\\a.BAK"},
      {"\x83\x5C", PathStyle::kWin32, "\x83\x5C.BAK"},
      // On POSIX, bytes are bytes: UTF-8 あ (E3 81 82) must not swallow the dot.
      {"\xE3\x81\x82.txt", PathStyle::kPosix, "\xE3\x81\x82.BAK"},
      {"\xE3\x81\x82.txt", PathStyle::kWin32, "\xE3\x81\x82.txt.BAK"},
      {"dir.old/readme", PathStyle::kPosix, "dir.old/readme.BAK"},
      {"a\\b.c\\d", PathStyle::kPosix, "a\\b.BAK"},
      {"C:x.txt", PathStyle::kPosix, "C:x.BAK"},
      {"/home/u/.profile", PathStyle::kPosix, "/home/u/.BAK"},
      {"", PathStyle::kPosix, ".BAK"},
      {stem256, PathStyle::kPosix, nullptr},
      {Repeat('d', 255) + "/a.txt", PathStyle::kPosix, nullptr},
      {long_bad, PathStyle::kPosix, nullptr},
  };
  for (const BackupNameCase& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 40));
    char out[kPathSize];
    bool ok = MakeBackupPath(out, c.path.c_str(), "BAK", c.style);
    if (c.backup == nullptr) {
      EXPECT_FALSE(ok);
      EXPECT_STREQ(out, "");
    } else {
      EXPECT_TRUE(ok);
      EXPECT_STREQ(out, c.backup);
    }
  }
  char out[kPathSize];
  EXPECT_TRUE(MakeBackupPath(out, stem255.c_str(), "BAK", PathStyle::kPosix));
  EXPECT_EQ(std::string(out), stem255 + ".BAK");
  EXPECT_TRUE(MakeBackupPath(out, long_ok.c_str(), "BAK", PathStyle::kPosix));
  EXPECT_EQ(std::string(out).size(), 510u);
  EXPECT_TRUE(MakeBackupPath(out, "a.txt", "", PathStyle::kPosix));
  EXPECT_STREQ(out, "a");
}

TEST(NativeFileOps, RenameNeverReplacesAndDirectoriesExistButDoNotOpen) {
  TempDir dir;
  FileOps& ops = NativeFileOps();
  WriteFile(dir.Path("a"), "A");
  WriteFile(dir.Path("b"), "B");
  EXPECT_FALSE(ops.RenameNoReplace(dir.Path("a").c_str(), dir.Path("b").c_str()));
  EXPECT_EQ(ReadFile(dir.Path("a")), "A");
  EXPECT_EQ(ReadFile(dir.Path("b")), "B");
  EXPECT_TRUE(ops.RenameNoReplace(dir.Path("a").c_str(), dir.Path("c").c_str()));
  EXPECT_EQ(ReadFile(dir.Path("c")), "A");
  EXPECT_FALSE(test::PathExists(dir.Path("a")));
  EXPECT_TRUE(ops.Exists(dir.dir().c_str()));
  EXPECT_EQ(ops.Open(dir.dir().c_str(), OpenMode::kRead), nullptr);
  EXPECT_FALSE(ops.Exists(dir.Path("none").c_str()));
}

// What the file system may hold under the two names: links, FIFOs, folders.
struct EntryCase {
  const char* shows;
  void (*arrange)(const char* target, const char* backup, const std::string& outside);
  const char* message;  // {T} the target, {B} the backup; null: converted
};

TEST(ConvertInPlace, LinksFoldersAndFifosNeverCostTheData) {
  const std::string original = "\x8A\xBF\r\n";
  const std::vector<EntryCase> cases = {
      {"a target linked to its own backup name",
       [](const char* t, const char* b, const std::string&) {
         ::rename(t, b), ::symlink("notes.BAK", t);
       },
       "Backup name err. [{T}]\n"},
      {"a target that is a hard link of its backup",
       [](const char* t, const char* b, const std::string&) { ::link(t, b); },
       "Backup name err. [{T}]\n"},
      {"a dangling link as old backup is replaced, not written through",
       [](const char*, const char* b, const std::string& out) {
         ::symlink((out + "/created").c_str(), b);
       },
       nullptr},
      {"a FIFO as target",
       [](const char* t, const char* b, const std::string&) { ::rename(t, b), ::mkfifo(t, 0600); },
       "Input file open err. [{T}]\n"},
      {"a folder as target",
       [](const char* t, const char* b, const std::string&) { ::rename(t, b), ::mkdir(t, 0700); },
       "Input file open err. [{T}]\n"},
      {"an empty folder as old backup",
       [](const char*, const char* b, const std::string&) { ::mkdir(b, 0700); },
       "Remove err. [{B}]\n"},
      {"a FIFO as old backup",
       [](const char*, const char* b, const std::string&) { ::mkfifo(b, 0600); },
       "Remove err. [{B}]\n"},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.shows);
    TempDir dir;
    const std::string target = dir.Path("notes.txt"), backup = dir.Path("notes.BAK");
    const std::string out = dir.Path("outside");
    ASSERT_EQ(::mkdir(out.c_str(), 0700), 0);
    WriteFile(target, original);
    c.arrange(target.c_str(), backup.c_str(), out);
    const auto before = std::filesystem::symlink_status(target).type();
    std::vector<Box> boxes = RunOn(BTN_SJTOJIS, target, NativeFileOps());
    ASSERT_EQ(boxes.size(), 1u);
    std::string expected = c.message ? c.message : kDoneSjisToJis;
    for (auto [key, path] : {std::pair{"{T}", target}, std::pair{"{B}", backup}}) {
      if (std::size_t at = expected.find(key); at != std::string::npos) {
        expected.replace(at, 3, path);
      }
    }
    EXPECT_EQ(boxes[0].text, expected);
    // The original bytes stay whole somewhere; a refused target stays what it was.
    EXPECT_TRUE(ReadFile(target) == original || ReadFile(backup) == original);
    if (c.message) {
      EXPECT_EQ(std::filesystem::symlink_status(target).type(), before);
    }
    EXPECT_TRUE(std::filesystem::is_empty(out));
  }
}

TEST(ConvertInPlace, TheNewFileKeepsModeAndOwner) {
  TempDir dir;
  const std::string target = dir.Path("secret.txt");
  WriteFile(target, "x\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(target.c_str(), 1234, 1235), 0);
  }
  ::umask(022);
  ASSERT_EQ(RunOn(BTN_SJTOJIS, target, NativeFileOps())[0].text, kDoneSjisToJis);
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 1235u);
  }
}

}  // namespace
}  // namespace velko
