// Every text the program shows. Written here once in UTF-8; the Win32 build compiles them to
// Shift_JIS (-fexec-charset=CP932), so they must stay plain narrow literals.
#ifndef VELKO_CONV_PORTS_TEXTS_H
#define VELKO_CONV_PORTS_TEXTS_H

#include "ports/failure.h"

namespace velko {

inline constexpr char kCaptionMessage[] = "VELKO.EXE Message";
inline constexpr char kCaptionError[] = "VELKO.EXE Error Message";
inline constexpr char kCaptionQuestion[] = "VELKO.EXE";

// printf formats; the spelling is the program's own and is kept byte for byte.
inline constexpr char kErrNoInput[] = "C'ant find input file. [%s]\n";
inline constexpr char kErrRemove[] = "Remove err. [%s]\n";
inline constexpr char kErrRename[] = "Rename err. [%s => %s]\n";
inline constexpr char kErrInputOpen[] = "Input file open err. [%s]\n";
inline constexpr char kErrInputRead[] = "Input file read err. [%s]\n";
inline constexpr char kErrOutputOpen[] = "Output file open err. [%s]\n";
inline constexpr char kErrOutputWrite[] = "Output file wrute err. [%s]\n";
// A target that is itself a backup, or whose backup name would not fit.
inline constexpr char kErrBackupName[] = "Backup name err. [%s]\n";
// A file another run is converting now.
inline constexpr char kErrBusy[] = "File busy err. [%s]\n";
// A file whose access control list or extended attributes the new file could not be given.
inline constexpr char kErrPermissions[] = "Permission copy err. [%s]\n";
// A file with other hard links, which a new file under one name would part from the rest.
inline constexpr char kErrHardLinks[] = "Hard link err. [%s]\n";
// A file whose owner or group the new file could not be given.
inline constexpr char kErrOwner[] = "Owner err. [%s]\n";
inline constexpr char kErrMemory[] = "MemoryErr!";

// The text each failure is shown with.
constexpr const char* FailureText(Failure failure) {
  switch (failure) {
    case Failure::kNone: return "";
    case Failure::kNoInput: return kErrNoInput;
    case Failure::kRemove: return kErrRemove;
    case Failure::kRename: return kErrRename;
    case Failure::kInputOpen: return kErrInputOpen;
    case Failure::kInputRead: return kErrInputRead;
    case Failure::kOutputOpen: return kErrOutputOpen;
    case Failure::kOutputWrite: return kErrOutputWrite;
    case Failure::kBackupName: return kErrBackupName;
    case Failure::kBusy: return kErrBusy;
    case Failure::kPermissions: return kErrPermissions;
    case Failure::kOwner: return kErrOwner;
    case Failure::kHardLinks: return kErrHardLinks;
    case Failure::kMemory: return kErrMemory;
  }
  return "";
}

inline constexpr char kDoneNecToJis[] = "ＮＥＣからＪＩＳ罫線への変換完了しました";
inline constexpr char kDoneJisToNec[] = "ＪＩＳからＮＥＣ罫線への変換完了しました";
inline constexpr char kDoneSjisToJis[] = "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました";
inline constexpr char kDoneJisToSjis[] = "ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました";
inline constexpr char kDoneB64Text[] = "行中Ｂａｓｅ６４展開完了しました";
inline constexpr char kDoneB64Bin[] = "Ｂａｓｅ６４展開完了しました";

// The one question: may an existing attachment file be overwritten? Five lines, CR LF between
// them; every blank is an ideographic space.
inline constexpr char kAskOverwrite[] =
    "上書きしてよろしいですか？\r\n"
    "　上書きなら　「はい」\r\n"
    "　追記なら　　「いいえ」\r\n"
    "　中止なら　　「キャンセル」\r\n"
    "をクリックして下さい。";

inline constexpr char kLabelNecToJis[] = "NEC=>JIS 罫線";
inline constexpr char kLabelJisToNec[] = "JIS=>NEC 罫線";
inline constexpr char kLabelSansyou[] = "参照";
inline constexpr char kLabelQuit[] = "QUIT";
inline constexpr char kLabelSjisToJis[] = "SJIS=>JIS ｺｰﾄﾞ";
inline constexpr char kLabelJisToSjis[] = "JIS=>SJIS ｺｰﾄﾞ";
inline constexpr char kLabelB64Text[] = "*行中B64展開";
inline constexpr char kLabelB64Bin[] = "*B64添付展開";

}  // namespace velko

#endif
