// The line steps and the decoder beside the reference ones on exact-size copies; the in-place frame
// through RunCommand on real files: what it writes, its one box, where the original is after any
// failure or link.
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/command.h"
#include "codec/base64.h"
#include "codec/detect.h"
#include "codec/kernels.h"
#include "ports/texts.h"
#include "support.h"  // the line steps, the file operations, the standard library's strings

namespace velko {
namespace {

using namespace test;

TEST(LineSteps, Vectors) {
  const struct {
    Op op;
    std::string in, want;
  } vectors[] = {
      // clang-format off
      {kToJis, "\x8A\xBF\x8E\x9A\n", "\x1B$B4A;z\x1B(J\n"},  // 漢字: a run closed before the LF
      {kToJis, "a\x8A\xBF" "b\x8E\x9A", "a\x1B$B4A\x1B(J" "b\x1B$B;z\x1B(J"},  // a run each
      {kToJis, "\x81\x40\x9F\xFC\xE0\x40\xFC\xFC", "\x1B$B!!^~_!\x98~\x1B(J"},  // lead bounds
      {kToJis, "\x80\xA0\xB1\xDF\xFD\xFF\x1B$B0!", "\x80\xA0\xB1\xDF\xFD\xFF\x1B$B0!"},  // singles
      {kToJis, "\x82\x0A", "\x1B$B#\xEB\x1B(J"},            // a LF after a lead byte is its trail
      {kToJis, "\x88\x88\x9F", "\x1B$B/h\x1B(J\x9F"},       // a trail is never a lead
      {kToJis, "\x88\x9F\x88", "\x1B$B0!\x1B(J\x88"},       // a lead byte cut off goes as it is
      {kToSjis, "\x1B$@0!\x1B(J\x1B$A0!\x1B(I0!\n", "\x88\x9F\x88\x9F" "0!\n"},  // ESC $ x opens, ESC closes
      {kToSjis, "a\x1B(Bb\x1B(J\x88\x1B$B]!^~_!", "a\x1B(Bb\x1B(J\x88\x9F\x40\x9F\xFC\xE0\x40"},  // rows 5D-5F
      {kToSjis, "\x1B$B\x1B$B0!\x1B(B", "0!\x1B(B"},        // a second ESC $ B ends the run
      {kToSjis, "\x1B$B0\x1B(B0!", "\x88\x99\x84\xC0\x88\x9F"},  // an ESC second in a pair
      {kToSjis, "\x1B$B0!4\n", "\x88\x9F\x8A\x88"},         // an unclosed run takes the LF
      {kToSjis, "\x1B$B0!4", "\x88\x9F" "4"},               // an odd byte left is copied
      {kToSjis, "a\x1B$", "a\x1B$"},                        // ESC $ at the end is copied
      {kToSjis, "\x1B$B0!\x1B(", "\x88\x9F"},               // an ESC cut off in a run
      {kToSjis, "\x1B$B0\x82x\n", "\x88"},                   // a pair whose second byte is 0
      {kToSjis, "\x1B$B0\x82\x1B(", "\x88"},                  // ... then an ESC cut off
      {kToSjis, "\x1B$B0\x82" "4", "\x88"},                    // ... then a byte left alone
      {kToSjis, "\x1B$B\xA0!x\n", ""},                       // and one whose first is
      {kNecStep, "\x86\xA2\x86\xA4\x86\xAE\n", "\x84\x9F\x84\xA0\x84\xA1\n"},  // ─│┌
      {kJisStep, "\x84\x9F\x84\xA0\x84\xA1\n", "\x86\xA2\x86\xA4\x86\xAE\n"},  // and back
      {kNecStep, "\x86\xA6\x86\xEC\x86\xB9\x86\xC4\x86\xD4", "\x84\x9F\x84\xB4\x84\xAF\x84\xB0\x84\xB1"},
      {kJisStep, "\x84\x9F\x84\xB4\x84\xAF\x84\xBE", "\x86\xA2\x86\xED\x86\xB9\x86\xE4"},  // first wins
      {kNecStep, "\x84\x9F\x83\x86\xA2\x88\x9F\xB1" "a\x86", "\x84\x9F\x83\x86\xA2\x88\x9F\xB1" "a\x86"},
      {kNecStep, "\x1B$B,$\x1B(B\n", "\x1B$B(!\x1B(J\n"},   // a JIS line goes through Shift_JIS
      {kJisStep, "\x1B$@0!\x1B(B\n", "\x1B$B0!\x1B(J\n"},   // and is re-encoded
      {kNecStep, "\x86\xA2$,\n", "\x84\x9F$,\n"},           // no ESC $: taken as Shift_JIS
      {kNecStep, "\x1B$B1f_!\x1B(B\n", "\x1B$B1f_!\x1B(J\n"},  // 89 86 E0 40: 86 E0 is no code
      {kNecStep, "\x88\x89\x86\xA2", "\x88\x89\x84\x9F"},  // two lead-range bytes: one character
      {kNecStep, "\x1B$B/i,$\x1B(B\x01" "z\n", "\x1B$B/i(!\x1B(J\x01" "z\n"},  // and in JIS (88 89 86 A2)
      {kToSjis, "\x1B$B0!0!0!0!0!0!0\x82" "0!0!", "\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88"},  // a NUL mid-block
      {kDecode, "QUI=QQ==QUJD", "ABAABC"},                  // padding does not end decoding
      {kDecode, "A=BCAB=C====", std::string("\0\0B\0\x10\x02\0", 7)},  // only '=' at the end counts
      {kDecode, "A*AAAZaz09+/", std::string("\x0F\xF0\0\x01\x96\xB3\xD3\xDF\xBF", 9)},  // 255 outside
      {kDecode, "QUJDQUI", "ABCAB"}, {kDecode, "QQ", "A"}, {kDecode, "Q", ""},  // short groups
      {kB64Text, "S: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=\n", "S: \x1B$B4A;z\x1B(B\n"},
      {kB64Text, "=?shift_jis?B?ir+Omg==?= =?iso-2022-jp?b?QUI=?=", "\x8A\xBF\x8E\x9A AB"},
      {kB64Text, "x=?ISO-2022-JP?B?" "?=y=?ISO-2022-JP?B?=?=z", "xyz"},  // '=' after the prefix
      {kB64Text, "a=?ISO-2022-JP?B?QQBC?=b", "aAb"},        // a decoded NUL ends the word
      {kB64Text, "=?UTF-8?B?QQ==?==?ISO-2022-JP?Q?A?==?ISO-2022-JP?B?QQ",
       "=?UTF-8?B?QQ==?==?ISO-2022-JP?Q?A?==?ISO-2022-JP?B?QQ"},  // others; unclosed
      // clang-format on
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.in);
    // As written, and four times over: long enough for the sixteen-byte paths.
    for (int times : {1, 4}) {
      std::string in;
      for (int i = 0; i < times; ++i) in += v.in;
      const Converted c = Convert(v.op, in);
      if (times == 1) {
        EXPECT_EQ(c.text, v.want);
      }
      if (v.op == kToJis) {  // marked: half-width kana written as 8-bit bytes, outside the runs
        bool kana = false, run = false;
        for (std::size_t i = 0; i < c.text.size(); ++i) {
          const unsigned char b = c.text[i];
          if (b == 0x1B) run = c.text[i + 1] == '$', i += 2;
          kana |= !run && b >= 0xA1 && b <= 0xDF;
        }
        EXPECT_EQ(c.marked, kana);
      }
      EXPECT_TRUE(c.agrees) << "the reference procedure gives another result";
      EXPECT_TRUE(c.in_bounds) << "a buffer overrun";
      EXPECT_TRUE(c.direct_holds) << "a direct result with a NUL or an inner LF";
    }
  }
  // The span: the alphabet and '=', up to the first byte outside, every 16-byte place included.
  for (auto [text, span] : {std::pair{"", 0},
                            {"=AZaz09+/", 9},
                            {"Q=\r\n", 2},
                            {"A-_B\x80", 1},
                            {"@", 0},
                            {"[", 0},
                            {"`", 0},
                            {"{", 0},
                            {":", 0},
                            {",", 0},
                            {".", 0}}) {
    for (std::size_t at = 0; at < 40; at += 13) {
      const std::string t = std::string(at, 'Q') + text;
      EXPECT_EQ(Base64Span(t.c_str(), t.size()), at + span) << at << text;
    }
  }
}

TEST(LineSteps, TheRuledLineTableHoldsEveryNecCodeOnceAndTheJisCodesInOrder) {
  std::vector<int> seen(0x100);
  for (std::size_t i = 0; i < kRuledLineEntries; ++i) {
    const unsigned char *nec = &RuledLineTable.nec[2 * i], *jis = &RuledLineTable.jis[2 * i];
    ++seen[nec[0] == 0x86 ? nec[1] : 0];
    EXPECT_TRUE(jis[0] == 0x84 && (i < 32 ? jis[1] == 0x9F + i : jis[1] >= 0x9F && jis[1] <= 0xBE));
  }
  for (int code = 0xA2; code <= 0xED; ++code) EXPECT_EQ(seen[code], code == 0xB9 ? 2 : 1) << code;
  EXPECT_EQ(RuledLineTable.nec[154] | RuledLineTable.jis[154], 0);  // each column ends in zero
}

// clang-format off
// What stands on disk, or fails, before the command runs.
enum Given { kNone, kOldBackup, kNoExists, kNoRemove, kNoRename, kNoRead, kNoWrite, kWriteAt12,
             kReadAt12, kNoClose, kLinkToBackup, kHardLink, kDanglingBackup, kFifo, kFolder,
             kFolderBackup, kFifoBackup, kLocked, kNoPermissions, kNoFinalRename, kNoOwner,
             kOldBackups, kTwin };

void Arrange(Given given, FaultyFileOps& ops, const char* t, const char* b, const std::string& out,
             std::unique_ptr<File>* hold) {
  switch (given) {
    case kNone: break;
    case kOldBackup: WriteFile(b, "o"); break;
    case kNoExists: ops.fail_exists = true; break;
    case kNoRemove: ops.fail_remove = 1, WriteFile(b, "o"); break;
    case kNoRename: ops.fail_rename = 1, WriteFile(b, "o"); break;
    case kNoFinalRename: ops.fail_rename = 2; break;
    case kLocked: NativeFileOps().Lock(t, hold); break;  // another run converts it now
    case kNoPermissions: ops.fail_permissions = true; break;
    case kNoRead: ops.fail_open_read = true; break;
    case kNoWrite: ops.fail_write_open = 1, WriteFile(b, "o"); break;  // no room, no inode
    case kNoOwner: ops.fail_owner = true; break;
    case kOldBackups: WriteFile(b, "o"), WriteFile(std::string(b) + ".~2~", "2"); break;
    case kWriteAt12: ops.write_fails_at = 12; break;
    case kReadAt12: ops.read_fails_at = 12; break;
    case kNoClose: ops.fail_write_close = 1; break;
    case kLinkToBackup: ASSERT_EQ(::rename(t, b) | ::symlink(b, t), 0); break;
    case kHardLink: ASSERT_EQ(::link(t, b), 0); break;
    case kTwin: ASSERT_EQ(::link(t, (out + "/twin").c_str()), 0); break;
    case kDanglingBackup: ASSERT_EQ(::symlink((out + "/created").c_str(), b), 0); break;
    case kFifo: ::rename(t, b), ::mkfifo(t, 0600); break;
    case kFolder: ::rename(t, b), ::mkdir(t, 0700); break;
    case kFolderBackup: ::mkdir(b, 0700); break;
    case kFifoBackup: ::mkfifo(b, 0600); break;
  }
}

TEST(ConvertInPlace, OneBoxAndTheOriginalKeptWhateverHappens) {
  const std::string big = "a\r\n" + std::string(300000, 'a');  // a write fails mid-run
  const std::string two = "line one\r\n\x8A\xBF two\r\n", no = "<missing>";
  const std::string lf_nul = "\x82)" + std::string(20, 'x') + "\n\x82\x1F" + std::string(20, 'y') + "\nz";
  const std::string one = "line one\r\n\x1B$B4A\x1B(J two\r\n";  // `two` converted
  const struct {
    Given given;
    std::string input, target_after, backup_after;  // "<missing>": no file there
    const char* message;  // {T} the target, {B} the backup; null: the completion notice
    int id = BTN_SJTOJIS;
    const char* name = "notes.txt";
    TextRules rules = TextRules::kWindows;
    BackupMode mode = BackupMode::kSimple;
    std::string numbered = "<missing>";  // notes.BAK.~3~ after
  } cases[] = {
      {kNone, "\x8A\xBF\nb", "\x1B$B4A\x1B(J\r\nb", "\x8A\xBF\nb", nullptr},
      // A converted pair that gives a LF or a NUL: written by the general rule.
      {kNone, lf_nul, "\x1B$B#\r\n\x1B(J" + std::string(20, 'x') + "\r\n\x1B$B#z", lf_nul, nullptr},
      {kNone, "\x86\xA2\n", "\x84\x9F\r\n", "\x86\xA2\n", nullptr, BTN_NECTOJIS},
      {kNone, "\x84\x9F\n", "\x86\xA2\r\n", "\x84\x9F\n", nullptr, BTN_JISTONEC},
      {kNone, "\x1B$B0!\x1B(B", "\x88\x9F", "\x1B$B0!\x1B(B", nullptr, BTN_JISTOSJ},
      {kNone, "=?shift_jis?B?QUI=?=", "AB", "=?shift_jis?B?QUI=?=", nullptr, BTN_B64TEXT},
      // A result that is the input changes nothing: the old backup stays.
      {kOldBackup, "x", "x", "o", nullptr},
      {kOldBackup, two, one, two, nullptr},
      {kOldBackups, two, one, two, nullptr, BTN_SJTOJIS, "notes.txt", TextRules::kWindows,
       BackupMode::kNumbered, "o"},
      {kOldBackup, two, one, "o", nullptr, BTN_SJTOJIS, "notes.txt", TextRules::kWindows,
       BackupMode::kNone},
      // A file of bytes: CR, 0x1A and a last line without LF stay as they are.
      {kNone, "a\r\nb\x1A\x8A\xBF\n\x1A", "a\r\nb\x1A\x1B$B4A\x1B(J\n\x1A", "a\r\nb\x1A\x8A\xBF\n\x1A", nullptr,
       BTN_SJTOJIS, "notes.txt", TextRules::kBytes},
      {kNoExists, two, two, no, "C'ant find input file. [{T}]\n"},
      // Nothing is removed or renamed before the new content is whole.
      {kNoRemove, two, two, "o", "Remove err. [{B}]\n"},
      {kNoRename, two, two, no, "Rename err. [{T} => {B}]\n"},
      {kNoRead, two, two, no, "Input file open err. [{T}]\n"},
      {kNoWrite, two, two, "o", "Output file open err. [{T}]\n"},
      {kWriteAt12, big, big, no, "Output file wrute err. [{T}]\n"},
      {kReadAt12, two, two, no, "Input file read err. [{T}]\n"},
      {kNoClose, two, two, no, "Output file wrute err. [{T}]\n"},
      {kNoFinalRename, two, no, two, "Rename err. [{tmp} => {T}]\n"},  // the whole result kept
      {kLocked, two, two, no, "File busy err. [{T}]\n"},
      {kNoPermissions, two, two, no, "Permission copy err. [{T}]\n"},
      {kNoOwner, two, two, no, "Owner err. [{T}]\n"},
      {kNone, "x", "x", no, "Backup name err. [{T}]\n", BTN_SJTOJIS, "mail.bAk"},
      {kLinkToBackup, "x", "x", "x", "Backup name err. [{T}]\n"},
      {kHardLink, "x", "x", "x", "Backup name err. [{T}]\n"},
      {kTwin, two, two, no, "Hard link err. [{T}]\n"},  // not parted from its other name
      {kDanglingBackup, two, one, two, nullptr},
      {kFifo, "x", no, "x", "Input file open err. [{T}]\n"},
      {kFolder, "x", no, "x", "Input file open err. [{T}]\n"},
      {kFolderBackup, two, two, no, "Remove err. [{B}]\n"},
      {kFifoBackup, two, two, no, "Remove err. [{B}]\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "given " << c.given);
    TempDir dir;
    const std::string target = dir.Path(c.name), backup = dir.Path("notes.BAK");
    const std::string out = dir.Path("outside");
    WriteFile(target, c.input);
    // The converted file keeps mode, owner and group (the owner where we may give it).
    const bool root = ::geteuid() == 0;
    ::umask(022);
    ASSERT_EQ(::mkdir(out.c_str(), 0700), 0);
    ASSERT_EQ(root ? ::chown(target.c_str(), 12, 34) : 0, 0);  // which clears set-id bits
    ASSERT_EQ(::chmod(target.c_str(), 06750), 0);
    FaultyFileOps ops;
    std::unique_ptr<File> hold;
    Arrange(c.given, ops, target.c_str(), backup.c_str(), out, &hold);
    ScriptedHost host;
    host.field = target;
    Services sv{host, ops, c.rules};
    const char* done = FindCommand(c.id)->completion;
    LineConversion conversion(*LineStepFor(c.id), c.rules);
    InPlaceReport report;
    EXPECT_EQ(
        ConvertInPlace(target.c_str(), conversion, done, nullptr, sv, InPlace{c.mode}, &report),
        !c.message);
    // Where the original is after a failure in the last rename, for a console to say.
    EXPECT_EQ(report.fault.kept, c.given == kNoFinalRename ? backup : "");
    const std::string numbered = backup + ".~3~";
    EXPECT_EQ(ReadFile(numbered), c.numbered);
    // Nothing else is left in the folder, but the whole result when it could not be named.
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.dir)) {
      if (e.path() != target && e.path() != backup && e.path() != out && e.path() != numbered &&
          e.path() != backup + ".~2~") {
        left.push_back(e.path());
      }
    }
    ASSERT_EQ(left.size(), c.given == kNoFinalRename ? 1u : 0u);
    const std::string temp = left.empty() ? "" : left[0];
    EXPECT_EQ(ReadFile(temp), left.empty() ? no : one);
    std::string want = c.message ? c.message : done;
    for (auto [key, path] :
         {std::pair<std::string, std::string>{"{T}", target}, {"{B}", backup}, {"{tmp}", temp}}) {
      if (std::size_t at = want.find(key); at != std::string::npos)
        want.replace(at, key.size(), path);
    }
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(ops.open, 0);
    EXPECT_EQ(host.boxes[0].text, want);
    EXPECT_EQ(host.boxes[0].kind, c.message ? BoxKind::kError : BoxKind::kMessage);
    EXPECT_EQ(ReadFile(target), c.target_after);
    EXPECT_EQ(ReadFile(backup), c.backup_after);
    EXPECT_EQ(ReadFile(out + "/twin"), c.given == kTwin ? two : no);  // and nothing else there
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), c.given == kTwin);
    struct stat st;
    if (c.message || ::stat(target.c_str(), &st) != 0) continue;
    EXPECT_EQ(st.st_mode & 07777, 06750u);
    if (root) {
      EXPECT_EQ(st.st_uid, 12u);
      EXPECT_EQ(st.st_gid, 34u);
    }
  }
  // A conversion that stops: no box, nothing moved, nothing left behind.
  TempDir dir;
  const std::string target = dir.Path("s.txt"), backup = dir.Path("s.BAK");
  WriteFile(target, "a\n\x85\x40");
  WriteFile(backup, "o");
  Transcoding stopping(
      {Charset::kShiftJis, Charset::kUtf8, false, false, Kana::kFull, false, false, true});
  FaultyFileOps ops;
  ScriptedHost host;
  Services sv{host, ops, TextRules::kBytes};
  EXPECT_FALSE(ConvertInPlace(target.c_str(), stopping, "done", nullptr, sv));
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(ReadFile(target), "a\n\x85\x40");
  EXPECT_EQ(ReadFile(backup), "o");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir), {}), 2);
}

TEST(FollowLinks, ReachesTheFileRelativeToEachLinksFolder) {
  TempDir dir;
  const std::string d = dir.dir + "/";
  ASSERT_EQ(::mkdir((d + "sub").c_str(), 0700) | ::mkdir((d + "far").c_str(), 0700), 0);
  const struct {
    const char* link;
    const char* to;  // what the link holds; "" makes no link
  } links[] = {{"sub/one", "two"},
               {"sub/two", "../far/end"},
               {"sub/abs", "@far/end"},
               {"sub/loop", "loop"},
               {"far/end", ""}};
  for (const auto& l : links) {
    const std::string to = l.to[0] == '@' ? d + (l.to + 1) : l.to;
    if (l.to[0] == 0) {
      WriteFile(d + l.link, "x");
    } else {
      ASSERT_EQ(::symlink(to.c_str(), (d + l.link).c_str()), 0);
    }
  }
  const struct {
    const char* path;
    const char* file;  // "@": the folder's path before it; null: none
  } cases[] = {{"far/end", "@far/end"},        {"sub/two", "@sub/../far/end"},
               {"sub/one", "@sub/../far/end"}, {"sub/abs", "@far/end"},
               {"sub/loop", nullptr},          {"sub/none", "@sub/none"}};
  for (const auto& c : cases) {
    char out[kPathSize];
    const bool ok = FollowLinks(NativeFileOps(), (d + c.path).c_str(), out);
    EXPECT_EQ(ok, c.file != nullptr) << c.path;
    EXPECT_EQ(ok ? std::string(out) : "", c.file ? d + (c.file + 1) : "") << c.path;
  }
}

TEST(NumberedBackupName, OneAboveTheHighestNumberThere) {
  const struct {
    std::vector<const char*> there;
    const char* kept;
  } cases[] = {
      {{}, "a.BAK.~1~"},
      {{"a.BAK.~1~", "a.BAK.~9~", "a.BAK.~10~"}, "a.BAK.~11~"},
      // Not numbered backups of a.BAK: none of these counts.
      {{"a.BAK.~7", "a.BAK~7~", "b.BAK.~7~", "a.BAK.~7x~", "a.BAK.~~", "xa.BAK.~7~"}, "a.BAK.~1~"}};
  for (const auto& c : cases) {
    TempDir dir;
    for (const char* name : c.there) WriteFile(dir.Path(name), "");
    char out[kPathSize];
    ASSERT_TRUE(NumberedBackupName(NativeFileOps(), dir.Path("a.BAK").c_str(), out));
    EXPECT_EQ(out, dir.Path(c.kept));
  }
  // A name that just fits the path buffer, and one a byte longer.
  char out[kPathSize];
  const std::string fits = "/none/" + std::string(kPathSize - 1 - 6 - 4, 'a');
  EXPECT_TRUE(NumberedBackupName(NativeFileOps(), fits.c_str(), out));
  EXPECT_EQ(std::strlen(out), kPathSize - 1);
  EXPECT_FALSE(NumberedBackupName(NativeFileOps(), (fits + "a").c_str(), out));
}

TEST(MakeBackupPath, SplitsNamesAsThePlatformDoes) {
  const PathStyle W = PathStyle::kWin32, X = PathStyle::kPosix;
  const std::string d300 = std::string(300, 'd') + "/";
  const struct {
    std::string path;
    PathStyle style;
    const char* backup;  // null: refused; "*": taken
  } cases[] = {
      // clang-format off
      {"C:\\mail\\inbox.txt", W, "C:\\mail\\inbox.BAK"}, {"a.b", W, "a.BAK"}, {"C:x.txt", W, "C:x.BAK"},
      {"C:\\mail.old\\readme", W, "C:\\mail.old\\readme.BAK"}, {"C:\\m\\.profile", W, "C:\\m\\.BAK"},
      {"d/e.f\\g", W, "d/e.f\\g.BAK"}, {"\x95\x5C.txt", W, "\x95\x5C.BAK"},  // 表: 5C is no separator
      {"C:\\\x83\x5C\\a", W, "C:\\\x83\x5C\\a.BAK"}, {"C:\\" + std::string(253, 'd') + "\\a", W, "*"},
      {"\xE3\x81\x82.txt", X, "\xE3\x81\x82.BAK"}, {"a\\b.c\\d", X, "a\\b.BAK"}, {"", X, ".BAK"},
      // Elsewhere only a name has a limit: the backup's 255 bytes, and the whole path's.
      {std::string(251, 's'), X, "*"}, {std::string(252, 's'), X, nullptr}, {d300 + "a", X, "*"},
      {std::string(kPathSize - 7, 'd') + "/a", X, "*"}, {std::string(kPathSize - 6, 'd') + "/a", X, nullptr},
      // clang-format on
  };
  for (const auto& c : cases) {
    char out[kPathSize];
    bool ok = MakeBackupPath(out, c.path.c_str(), "BAK", c.style);
    EXPECT_EQ(ok, c.backup != nullptr) << c.path;
    EXPECT_STREQ(out, !ok ? "" : c.backup[0] == '*' ? out : c.backup) << c.path;
  }
}

TEST(RunCommand, DispatchesTheEightAndNothingElse) {
  ScriptedHost host;
  Services sv{host, NativeFileOps()};
  for (int id : {0, 1000, 1009, 0x10000}) EXPECT_EQ(RunCommand(id, nullptr, sv), 0) << id;
  host.no_field_text = true;  // then a text too long for TargetPath: no name at all either way
  EXPECT_EQ(RunCommand(0x03000000 | BTN_SJTOJIS, nullptr, sv), 1);  // the high bits do not count
  host.no_field_text = false, host.field = std::string(kPathSize, 'x'),
  host.choices = {"", "new.txt"};
  RunCommand(BTN_JISTOSJ, nullptr, sv);
  host.field = "old.txt";
  for (int id : {BTN_SANSYOU, BTN_SANSYOU, BTN_QUIT}) RunCommand(id, nullptr, sv);
  EXPECT_EQ(host.field, "new.txt");  // the second browse chose it; the first was cancelled
  EXPECT_STREQ(TargetPath, "new.txt");
  EXPECT_EQ(host.proposed, (std::vector<std::string>{"old.txt", "old.txt"}));
  EXPECT_STREQ(CompletionText, kDoneJisToSjis);  // kept after its command
  EXPECT_EQ(host.closes, 1);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, "C'ant find input file. []\n");
  EXPECT_EQ(host.boxes[1].text, host.boxes[0].text);
}

// Whatever the reads give at a time, a conversion writes the same and tells the same places:
// sequences, escapes, a byte order mark, a joined kana and a CR LF cut between reads.
// Whole lines at once give what the lines one by one give, on every kernel set: the bytes, and
// which lines the step marks, across reads of any size.
TEST(ConvertLines, BlocksAsTheLinesOneByOne) {
  const std::string kana = "\xB1\x82\xA0", lines = std::string(40, 'a') +
                                                   "\x82\xA0"
                                                   "b\r\n";
  std::vector<std::string> texts = {
      lines + kana + "\r\n" + lines + "x" + kana + kana + "\r\n" + lines + kana,
      lines + "\x82\r\n" + lines + kana + "\n" + lines + "\x1B$\r\n" + kana + "\r\n",
      lines + "\x1B$B0!\x1B(B\r\n\x1B$B0!\r\n" + lines + "\x1B$B\x1B\r\n0!\n" + lines,
      lines + "\x1A" + lines + std::string(1, '\0') + kana + "\r\n" + kana + "\r" + lines,
      // A LF without CR right after a line the step took; a lead byte before CR LF at the end
      // of a long run.
      lines + std::string("x\0y\r\n\n", 6) + lines + lines + std::string(40, 'a') +
          "\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x88\x9F\x82\r"
          "\n" +
          lines,
      // A line the block begins and cannot end (a NUL, a LF without CR far into it), kana first.
      lines + "\xB1" + std::string(70, 'b') + std::string(1, '\0') + "\r\n" + lines + "\xB1" +
          std::string(70, 'c') + "\n" + lines,
      "\xB1\r\n" + kana + "\r\n\xB1\r\n" + lines + "\xB1",
      lines + "\x86\xA2\x84\x9F\x86\x86\xA2\r\n\x84\xA0\x86\r\n" + lines +
          "\x86\xA2\x1B$B\x26!\r\n",
      std::string(12000, 'y') + kana + "\n" + lines + "\x89\x29\r\n" + lines + "\x1B$B!)\r\n",
      // Encoded words: one that decodes to a LF, to a zero byte, to a CR; unclosed; no prefix.
      lines + "=?ISO-2022-JP?B?GyRCJCIbKEI=?= x =?shift_jis?B?gqA=?=\r\n" + lines +
          "a =?SHIFT_JIS?B?YQpi?=\r\n=?shift_jis?B?YQBi?=c\n" + lines +
          "=?iso-2022-jp?B?QQ0=?=\r\n" + "=?shift_jis?B?QQ\r\n=?x?= =?=\r\n" + lines,
  };
  // JIS runs of every length at every place of a window; then escapes the line step reads
  // its own way (ESC ( B in single-byte mode, a run of an odd length, a pair that becomes a LF).
  std::string jis;
  for (int k = 0; k < 40; ++k) {
    jis += std::string(k % 17, 'a') + "\x1B$B" + std::string(2 * (k * 5 % 23 + 1), "0!"[k % 2]) +
           (k % 3 ? "\x1B(J" : "\x1B(B") + std::string(k % 5, 'b') + (k % 4 ? "\r\n" : "\n");
  }
  const std::string odd_jis[] = {"\x1B(Bab\x1B(Bcd\x1B$B0!\x1B(B\r\n", "c\x1B$B0!0\x1B(B\r\n",
                                 "\x1B$B!\xEA\x1B(B\r\n", "\x1B$\x1B$B0!\x1B$Bab\x1B(Bcd\r\n",
                                 "\x1B$B0!\x1B(\r\n"};
  for (const std::string& odd : odd_jis) texts.push_back(jis + odd + jis);
  texts.push_back(std::string(28, 'a') + "\x1B$B$\x1B$B!!\x1B$B!!\x1B(B\r\n" +
                  jis);  // a pair's ESC, 32 bytes in
  // Half-width kana at every place of a window, with and without the marks they join, beside
  // double-byte runs, a trail byte in the kana's range, and long runs of both.
  std::string kanas;
  for (int k = 0; k < 48; ++k) {
    kanas += std::string(k % 29, 'a') + (k % 3 ? "\x8A\xBF" : "") +
             "\xB6\xDE\xCA\xDF\xB3\xDE\xB1\xDE\xDF" + std::string(k % 7, '\xCE') +
             (k % 2 ? "\x82\xB1\xCA" : "b\xDE") + (k % 4 ? "\r\n" : "\xB1\n");
  }
  texts.push_back(kanas + std::string(70, '\xB1') + "\r\n" + std::string(70, 'x') + kanas);
  for (const LineStep* step :
       {LineStepFor(BTN_SJTOJIS), LineStepFor(BTN_JISTOSJ), LineStepFor(BTN_NECTOJIS),
        LineStepFor(BTN_JISTONEC), LineStepFor(BTN_B64TEXT), &SjisToJisKanaStep(Kana::kFull),
        &SjisToJisKanaStep(Kana::kEscI)}) {
    LineStep by_lines = *step;
    by_lines.block = nullptr;
    by_lines.lines = nullptr;
    for (Isa isa : kIsas) {
      if (!UseKernels(isa)) continue;
      for (TextRules rules : {TextRules::kWindows, TextRules::kBytes}) {
        for (const std::string& text : texts) {
          for (std::size_t chunk : {0, 7, 64}) {
            SCOPED_TRACE(testing::Message() << step->work_size << " " << static_cast<int>(isa)
                                            << " " << static_cast<int>(rules) << " " << chunk);
            Losses want_losses, losses;
            MemoryFile in(text, chunk), out("", 0), want_in(text, 0), want("", 0);
            auto buffers = LineBuffers(by_lines);
            ASSERT_EQ(ConvertLines(want_in, want, by_lines, buffers.get(), rules, &want_losses),
                      LinesResult::kDone);
            ASSERT_EQ(ConvertLines(in, out, *step, buffers.get(), rules, &losses),
                      LinesResult::kDone);
            EXPECT_EQ(out.data, want.data);
            EXPECT_EQ(losses.marked, want_losses.marked);
            EXPECT_EQ(losses.first_marked_line, want_losses.first_marked_line);
          }
        }
      }
    }
  }
  for (Isa isa : kIsas) UseKernels(isa);  // the widest again, for the tests after
}

// Each byte the encodings tell apart, after a text one or none of the double-byte charsets
// fits and plain ASCII, at every place of a vector; fed whole and in pieces of every size.
TEST(ByteSurvey, TellsTheEncodingsWhateverThePiecesAndWhereverTheByte) {
  using namespace std::string_literals;
  const Charsets ascii = Bit(Charset::kAscii), jis = Bit(Charset::kJis), utf8 = Bit(Charset::kUtf8),
                 sjis = Bit(Charset::kShiftJis), euc = Bit(Charset::kEucJp);
  const std::string units[] = {"", "\x88\x9F abc\x82\xA0\xB1\x8A\xBF defgh\xEA\xA4",
                               "\xB0\xA1\xE0\xFE abc\xA4\xA2\x8E\xB1 defgh\xF4\xA6",
                               "\xC2\xA0\xE3\x81\x82 abc\xE4\xBA\x9C defgh"};
  enum { kNul = 1, kEsc = 2, kOnly = 4 };  // Nul(), JisEscapes(), OnlyShiftJisLeft()
  // After units[k] (nothing, Shift_JIS, EUC-JP, UTF-8 the others refuse), the tail: what fits.
  const std::tuple<int, std::string, Charsets, Charsets, int> vectors[] = {
      {0, "", ascii, ascii, 0},
      {0, "\x1B$B0!\x1B(B", jis, jis, kEsc},
      {0, "\x1B$B0!\x1B(B\xB1", jis, jis, kEsc},  // half-width kana as 8-bit bytes in JIS
      {0, "a\0b"s, kBinary, kBinary, kNul},
      {0, "\x7F\x01\xE3\x81\x82\x7F", utf8, utf8, 0},  // one sequence; Shift_JIS 82 7F
      {0, "\x82\xA0\x8A\xBF", sjis, sjis, kOnly},
      {0, "\xA4\xA2\xA4\xFE", euc, kBinary, 0},  // 0x247E: no character
      {0, "\xB1\xB2", sjis | euc, sjis | euc, 0},
      {0, "\xE3\x81\x82\xE3\x81\x84", utf8, utf8 | sjis, 0},  // Shift_JIS E3 81, 82 E3, 81 84
      {0, "\x80", kBinary, kBinary, kOnly},
      {0, "\x1B$B" + std::string(40, '!') + "\x1B(B", jis, jis, kEsc},  // plain bytes inside
      {0, "\x82" + std::string(40, 'A'), sjis, kBinary, kOnly},         // 0x8241: no character
      {1, "", sjis, sjis, kOnly},
      {1, "\0"s, kBinary, kBinary, kNul | kOnly},
      {1, "\x1B$B0!\x1B(B", sjis, sjis, kEsc | kOnly},
      {1, "\x85\x40", sjis, kBinary, kOnly},  // a pair of the right form, no character
      {1, "\x88\x20", kBinary, kBinary, kOnly},
      {1, "\x82\x1B$B", kBinary, kBinary, kEsc | kOnly},  // an ESC as a trail byte
      {2, "", euc, euc, 0},
      {2, "\xA9\xA1", euc, kBinary, 0},  // row 9: no character
      {2, "\xA4\x20", kBinary, kBinary, kOnly},
      {2, "\x8E\xB1\x8F\xB0\xA1", euc, euc, 0},
      {2, "\xA4\0"s, kBinary, kBinary, kNul | kOnly},
      {3, "", utf8, utf8, 0},
      {3, "\0"s, kBinary, kBinary, kNul},
      {3, "\x1B$B0!\x1B(B", utf8, utf8, kEsc},
      {3, "\xE3\x81z", kBinary, kBinary, kOnly},
  };
  for (const auto& [k, tail, fits, candidates, flags] : vectors) {
    for (std::size_t before = 0; before < 80; before += 7) {
      const std::string text = units[k] + units[k] + units[k] + std::string(before, 'x') + tail +
                               std::string(before % 40, 'y');
      SCOPED_TRACE(testing::Message() << k << " " << before << " " << tail);
      for (std::size_t piece = 1; piece <= text.size() + 1; ++piece) {
        ByteSurvey s;
        test::InPieces(text, piece, [&](const unsigned char* p, std::size_t n) { s.Add(p, n); });
        ASSERT_EQ(s.Fits(false), fits) << piece;
        ASSERT_EQ(s.Candidates(), candidates) << piece;
        ASSERT_EQ(s.Nul() * kNul | s.JisEscapes() * kEsc | s.OnlyShiftJisLeft() * kOnly, flags);
      }
    }
  }
}

// The length told first changes no finding, in any pieces: a charset the byte rules refuse
// named at one bad sequence in 100 bytes, not past it; JIS with more bad escapes than that.
TEST(TextSurvey, FindsTheSameWhenTheLengthIsToldFirst) {
  // A text of good and bad (one malformed sequence) pieces, and what check makes of it.
  const std::tuple<const char*, const char*, int, Charsets> vectors[] = {
      {"\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1 abc\r\n", "\xFF", 20, Bit(Charset::kUtf8)},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1 abc\r\n", "\xFF", 21, kBinary},
      {"\x93\xFA\x96\x7B\xB1\x87\x40 abc\r\n", "\x88 ", 20, Bit(Charset::kShiftJis)},
      {"\x93\xFA\x96\x7B\xB1\x87\x40 abc\r\n", "\x88 ", 21, kBinary},
      {"\xE0\xFE\xA4\xA2\x8E\xB1 abc\n", "\xA4 ", 20, Bit(Charset::kEucJp)},
      {"\xE0\xFE\xA4\xA2\x8E\xB1 abc\n", "\xA4 ", 21, kBinary},
      {"\x1B$B0!\x1B(B abc\n", "\x1B*", 50, Bit(Charset::kJis)},
  };
  for (const auto& [good, bad, bads, fits] : vectors) {
    std::string text;
    for (int k = 0; k < bads; ++k) text += std::string(good) + bad;
    while (text.size() + std::strlen(good) <= 2000) text += good;
    text.resize(2000, 'z');
    SCOPED_TRACE(testing::Message() << good << " " << bads);
    const Findings f = test::Surveyed(text, text.size(), false);
    EXPECT_EQ(f.fits, fits);
    EXPECT_EQ(f.doubt, fits != kBinary && fits != Bit(Charset::kJis));
    EXPECT_EQ(f.invalid, fits == kBinary ? Findings::kNone : bads);
    for (std::size_t piece = 1; piece <= text.size() + 1; ++piece) {
      ASSERT_EQ(test::Shown(test::Surveyed(text, piece, false)), test::Shown(f)) << piece;
      ASSERT_EQ(test::Shown(test::Surveyed(text, piece, true)), test::Shown(f)) << piece;
    }
  }
}

TEST(DecodeBase64Lines, TakesTheLinesOfBase64AloneAndStopsBeforeAnyOther) {
  using namespace std::string_literals;
  struct Vector {
    std::string text;
    std::size_t max_line, taken, whole;  // taken, and taken when lines must be whole groups
    std::string bytes;
    unsigned long long lines, lone;
  };
  constexpr std::size_t kAny = ~std::size_t{0};
  const Vector vectors[] = {
      {"QUJD\r\nREVG\n-", kAny, 11, 11, "ABCDEF", 2, 0},
      {"QQ==\nQUI=\nQUJD\n", kAny, 15, 15, "AABABC", 3, 0},
      {"QQ==QUJD\nQ\nQU\nQUJ\n", kAny, 18, 0, "AABCAAB", 4, 1},  // padding inside; short groups
      {"QUJD \n", kAny, 0, 0, "", 0, 0},                         // a space is no Base64
      {"QUJD\n\nQUJD\n", kAny, 5, 5, "ABC", 1, 0},               // a blank line
      {"QUJD\n\r\n", kAny, 5, 5, "ABC", 1, 0},
      {"QUJD", kAny, 0, 0, "", 0, 0},  // no line end, or half of one
      {"QUJD\r", kAny, 0, 0, "", 0, 0},
      {"QUJD\rQUJD\n", kAny, 0, 0, "", 0, 0},
      {"QU\0D\n"s, kAny, 0, 0, "", 0, 0},
      {"QUJD\r\nQUJDQUJD\n", 6, 6, 6, "ABC", 1, 0},  // at most max_line bytes with the end
      {"QUJD\r\nQUJDQUJD\n", 5, 0, 0, "", 0, 0},
      {"QUJD\nQ=JD\n", kAny, 10, 5,
       "ABC@\x02"
       "C",
       2, 0},  // '=' inside a group
      {"QUI=\nQQ=\n", kAny, 9, 5, "ABA", 2, 0},
  };
  // Each also after a line long enough for the wide paths, ending at another place of a window.
  const std::string quad = "QUJD";
  std::string prefixes[][2] = {{"", ""}, {"", ""}, {"", ""}};
  for (int i = 0; i < 8; ++i) prefixes[1][0] += quad, prefixes[1][1] += "ABC";
  for (int i = 0; i < 14; ++i) prefixes[2][0] += quad, prefixes[2][1] += "ABC";
  prefixes[1][0] += "\n";
  prefixes[2][0] += "QQ\r\n", prefixes[2][1] += "A";
  for (Isa isa : kIsas) {
    if (!UseKernels(isa)) continue;
    for (const Vector& v : vectors) {
      for (const auto& prefix : prefixes) {
        for (const bool whole : {false, true}) {
          if (!prefix[0].empty() && v.max_line != kAny) continue;
          if (whole && &prefix == &prefixes[2]) continue;  // its line's last group is short
          const std::string text = prefix[0] + v.text;
          SCOPED_TRACE(testing::Message() << static_cast<int>(isa) << " " << text);
          std::vector<unsigned char> out(text.size());  // the room the contract names, no more
          Base64Lines run;
          const std::size_t taken =
              DecodeBase64Lines(out.data(), text.data(), text.size(), v.max_line, whole, &run);
          EXPECT_EQ(taken, prefix[0].size() + (whole ? v.whole : v.taken));
          if (whole) continue;
          EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(run.written)),
                    prefix[1] + v.bytes);
          EXPECT_EQ(run.lines, v.lines + !prefix[0].empty());
          EXPECT_EQ(run.lone, v.lone);
        }
      }
    }
  }
  for (Isa isa : kIsas) UseKernels(isa);
}

TEST(Transcoding, SameWhateverTheReadsGive) {
  using F = Charset;
  const struct {
    TranscodeOptions options;
    std::string in, want;
    unsigned long long unmapped, line, column;  // of the first
  } vectors[] = {
      // clang-format off
      {{F::kShiftJis, F::kUtf8}, "a\x82\xA0" "b\x86\xA2\xB1\xFD", "aあb─ｱ\uF8F1", 0, 0, 0},
      {{F::kShiftJis, F::kUtf8}, "x\n\x85\x40\x85\xA0\x82", "x\n\uFFFD@\uFFFD\uFFFD", 3, 2, 1},
      {{F::kShiftJis, F::kUtf8, true}, "\x81\x60\x81\xCA", "\u301C\u00AC", 0, 0, 0},
      {{F::kJis, F::kUtf8}, "\x1B$B0!\x1B(B0!\x1B(I1\x1B$@0\n0\x0E" "1\x0F" "1", "亜0!ｱ\uFFFD\n0ｱ1", 1, 1, 18},
      {{F::kJis, F::kUtf8}, "\x1B$(B0!\x1B&@\x1B$B0!\x1B(J\\\x1B(Q\x1B", "亜亜\\\uFFFD(Q\uFFFD", 2, 1, 19},
      {{F::kUtf8, F::kShiftJis}, "\xEF\xBB\xBF\xEF\xBB\xBF" "a\xE3\x81\x82\xC0\xE3\x81", "?a\x82\xA0??", 3, 1, 4},
      {{F::kUtf8, F::kShiftJis}, "\xEF\xBB", "?", 1, 1, 1},
      {{F::kUtf8, F::kShiftJis, false, true}, "\xE2\x94\x80\xE2\x95\x8B\xEE\x80\x80", "\x86\xA2\x86\xED\xF0\x40", 0, 0, 0},
      {{F::kUtf8, F::kShiftJis}, "\xE2\x94\x80\xE2\x94\x84\xEF\xBD\x9E\xE3\x80\x9C", "\x84\x9F\x86\xA6\x81\x60\x81\x60", 0, 0, 0},
      {{F::kUtf8, F::kJis}, "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A\xEF\xBE\x9F\xEF\xBE\x9E" "a\x1B", "\x1B$B%,%Q!+\x1B(Ba?", 1, 1, 17},
      {{F::kUtf8, F::kJis, false, false, Kana::kEscI}, "\xEF\xBD\xB1\xE4\xBA\x9C\xEF\xBD\xB1\n", "\x1B(I1\x1B$B0!\x1B(I1\x1B(B\n", 0, 0, 0},
      {{F::kUtf8, F::kJis}, "\xE2\x91\xA0\xC2\xA5", "\x1B$B-!\x1B(B?", 1, 1, 4},
      // A kana waits for what follows it: a line end read with it comes after the place told.
      {{F::kUtf8, F::kJis}, "\xEF\xBD\xB1\x0F\nx", "\x1B$B%\"\x1B(B?\nx", 1, 1, 4},
      {{F::kShiftJis, F::kUtf8, false, false, Kana::kFull, true, true}, "a\nb\r\nc\r", "\xEF\xBB\xBF" "a\r\nb\r\nc\r", 0, 0, 0},
      {{F::kEucJp, F::kUtf8}, "a\xA4\xA2\n\x8F\xA2x\x8E\xB1", "aあ\n\uFFFDxｱ", 1, 2, 1},
      // JIS X 0212 for what code page 932 lacks; an IBM extension as its NEC-selected copy.
      {{F::kUtf8, F::kEucJp}, "\xE4\xBA\x9C\xE2\x82\xAC\xC2\xA6\xEF\xBF\xA4\xE2\x94\x84", "\xB0\xA1?\x8F\xA2\xC3\xFC\xFC\xAC\xA8", 1, 1, 4},
      // Stopped at the first: nothing more told.
      {{F::kShiftJis, F::kUtf8, false, false, Kana::kFull, false, false, true}, "a\n\x85\x40\x85\x40", "", 1, 2, 1},
      // clang-format on
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.in);
    for (std::size_t chunk : {0, 1, 2, 3, 5}) {
      TranscodeReport report;
      const std::string out = test::Transcode(v.options, v.in, chunk, &report);
      // What a stopped run wrote before it stopped is its caller's to throw away.
      if (!v.options.stop_at_unmapped) {
        EXPECT_EQ(out, v.want) << chunk;
      }
      EXPECT_EQ(report.unmapped, v.unmapped);
      if (v.unmapped > 0) {
        EXPECT_EQ(report.shown[0].line, v.line);
        EXPECT_EQ(report.shown[0].column, v.column);
      }
    }
  }
  // Far past the first block: the place of a byte without a character, counted across blocks.
  std::string text, want;
  for (int i = 0; i < 3000; ++i) text += std::string(49 * 2, 'x').replace(0, 2, "\x82\xA0") + "\n";
  text.insert(200001, "\x80\xFF");
  TranscodeReport report;
  const std::string out = test::Transcode({F::kShiftJis, F::kUtf8}, text, 0, &report);
  EXPECT_EQ(report.unmapped, 0u);
  text.replace(200001, 2, "\xA0\x85");
  test::Transcode({F::kShiftJis, F::kUtf8}, text, 0, &report);
  ASSERT_EQ(report.unmapped, 1u);
  EXPECT_EQ(report.shown[0].line, 200001 / 99 + 1);
  EXPECT_EQ(report.shown[0].column, 200001 % 99 + 2);  // the 0xA0 before it is a character
  EXPECT_EQ(report.invalid, 1u);
  // Told up to the limit, counted past it.
  std::string leads;
  for (int i = 0; i < 100; ++i) leads += "\x85\n";
  test::Transcode({F::kShiftJis, F::kUtf8}, leads, 0, &report);
  EXPECT_EQ(report.unmapped, 100u);
  EXPECT_EQ(report.shown[TranscodeReport::kShown - 1].line, TranscodeReport::kShown + 0u);
}

}  // namespace
}  // namespace velko
