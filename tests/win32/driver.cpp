// velko-wine-driver.exe VELKO_EXE WORKDIR SHOTDIR: checks what only velko.exe's window can show.
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Str = std::string;

struct Want {  // a window of velko.exe, what it shows, the button that closes it
  Str seen;
  int press = IDOK;
  const char* shot = nullptr;
};
struct Row {  // the field is set, characters are posted to it, a button is clicked (0: none)
  Str field, keys;
  int button;
  std::vector<Want> wants;
  Str after = "";  // the field's text afterwards, or a file's "NAME=size" (NAME as on disk)
  const wchar_t* wide = nullptr;  // the field's text in Unicode, in the place of `field`
};

Str shots;
HWND main_window, edit;
HANDLE velko;
int checks, failed;

bool Expect(const Str& what, const Str& want, const Str& got) {
  ++checks, failed += want != got;
  if (want != got)
    std::printf("FAIL %s\n  want [%s]\n  got  [%s]\n", what.c_str(), want.c_str(), got.c_str());
  return want == got;
}
bool Check(bool ok, const Str& what) { return Expect(what, "yes", ok ? "yes" : "no"); }

template <typename F>
bool WaitFor(F done, DWORD ms = 20000) {  // a cold prefix's first file dialog takes seconds
  for (DWORD start = GetTickCount(); !done(); Sleep(10))
    if (GetTickCount() - start > ms) return false;
  return true;
}

LRESULT Ask(HWND w, UINT message, WPARAM wp = 0, LPARAM lp = 0) {  // -1: no answer
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(w, message, wp, lp, SMTO_NORMAL, 5000, &result) ? result : -1;
}

HWND Top() { return GetLastActivePopup(main_window); }  // a box or file dialog, else the window

Str Text(HWND w) {
  char text[1024] = {};
  Ask(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// The main window: client area, then controls in the order made: place, styles, text, focus. A
// box: buttons OK Yes No Cancel shown|caption|text. A file dialog: caption|cmb13|cmb1|files.
Str Seen(HWND box) {
  Str s;
  if (HWND view = FindWindowExA(box, nullptr, "SHELLDLL_DefView", nullptr))
    return Text(box) + "|" + Text(GetDlgItem(box, 0x47C)) + "|" + Text(GetDlgItem(box, 0x470)) +
           "|" + std::to_string(Ask(GetWindow(view, GW_CHILD), 0x1004));  // LVM_GETITEMCOUNT
  if (box == main_window) {
    GUITHREADINFO gui = {sizeof gui};
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gui);
    WINDOWINFO i = {sizeof i};
    for (HWND w = box; GetWindowInfo(w, &i); w = GetWindow(w, w == box ? GW_CHILD : GW_HWNDNEXT)) {
      RECT r = w == box ? i.rcClient : i.rcWindow;
      MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
      char line[512];
      std::snprintf(line, sizeof line, "%ld,%ld %ldx%ld %lX %lX [%s]%s\n", r.left, r.top,
                    r.right - r.left, r.bottom - r.top, i.dwStyle, i.dwExStyle, Text(w).c_str(),
                    w == gui.hwndFocus ? " focus" : "");
      s += line;
    }
    return s;
  }
  for (int b : {IDOK, IDYES, IDNO, IDCANCEL}) s += IsWindowVisible(GetDlgItem(box, b)) ? '+' : '-';
  return s + "|" + Text(box) + "|" + Text(GetDlgItem(box, 0xFFFF));
}

bool Start(const char* exe) {  // the field comes last, then the message loop
  velko = reinterpret_cast<HANDLE>(_spawnl(_P_NOWAIT, exe, exe, nullptr));
  return WaitFor([] {
    edit = FindWindowExA(main_window = FindWindowA("VELKO", nullptr), nullptr, "Edit", nullptr);
    return main_window && edit && Ask(main_window, WM_NULL) == 0;
  });
}

bool Ended() {  // with exit code 0
  DWORD code = 1;
  return !WaitForSingleObject(velko, 20000) && GetExitCodeProcess(velko, &code) && !code;
}

// The screen as a 24-bit BMP once it has not changed for 250 ms: nothing is half drawn.
void Shot(const char* name) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  BITMAPINFOHEADER info = {sizeof info, w, h, 1, 24};
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  SelectObject(memory, bitmap);
  Str last, now((w * 3 + 3) / 4 * 4 * h, 0);
  DWORD since = 0;
  WaitFor([&] {
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GetDIBits(memory, bitmap, 0, h, &now[0], reinterpret_cast<BITMAPINFO*>(&info), 0);
    if (now != last) last = now, since = GetTickCount();
    return GetTickCount() - since > 250;
  });
  BITMAPFILEHEADER head = {0x4D42, DWORD(54 + now.size()), 0, 0, 54};
  std::ofstream out(shots + "\\" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<char*>(&head), 14).write(reinterpret_cast<char*>(&info), 40) << now;
  DeleteDC(memory), DeleteObject(bitmap), ReleaseDC(nullptr, screen);
}

// Requests are posted: a sent one would block behind a modal box. A file dialog is confirmed with
// the name that it proposes.
bool Play(const Row& r, const Str& name) {
  DWORD_PTR result = 0;
  if (r.wide) {
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.wide), SMTO_NORMAL, 5000,
                        &result);
  } else {
    Ask(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.field.c_str()));
  }
  for (char c : r.keys) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
  if (r.button) PostMessageA(GetDlgItem(main_window, r.button), BM_CLICK, 0, 0);
  for (const Want& w : r.wants) {
    HWND box = main_window;
    WaitFor([&] { return Seen(box = Top()) == w.seen; });
    if (!Expect(name, w.seen, Seen(box)) && box == main_window) return false;
    if (w.shot) Shot(w.shot);
    if (box == main_window) continue;
    PostMessageA(box, WM_COMMAND, w.press, 0);
    WaitFor([&] { return !IsWindow(box); });  // or the next window or row will not be seen
  }
  WIN32_FIND_DATAA f = {};
  FindClose(FindFirstFileA(r.after.substr(0, r.after.find('=')).c_str(), &f));
  const Str folder = r.after.substr(0, r.after.find_last_of('\\') + 1);  // "" or "u\\"
  const Str file = folder + f.cFileName + ("=" + std::to_string(f.nFileSizeLow));
  if (!r.after.empty())
    Expect(name + " afterwards", r.after, r.after.find('=') == Str::npos ? Text(edit) : file);
  return Check(Ask(main_window, WM_NULL) == 0 && Top() == main_window, name + ": nothing else");
}

}  // namespace

int main(int argc, char** argv) {
  // --short FILE: the short (8.3) name Windows gives FILE, which names it too.
  if (argc == 3 && std::string(argv[1]) == "--short") {
    char name[MAX_PATH];
    const DWORD n = GetShortPathNameA(argv[2], name, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    const char* slash = std::strrchr(name, '\\');
    std::printf("%s\n", slash ? slash + 1 : name);
    return 0;
  }
  if (argc != 4 || !SetCurrentDirectoryA(argv[2])) return 2;
  shots = argv[3];
  // clang-format off
  const Str note = "+---|VELKO.EXE Message|", save = "名前を付けて保存|report.pdf|全ファイル(*.*)|";
  const Str error = "+---|VELKO.EXE Error Message|", missing = error + "C'ant find input file. [";
  const Str open = "開く|keep.txt|テキスト&電子メイル ファイル(TXT,TEXT,EML)|5";  // u is a folder
  const Str ask = "-+++|VELKO.EXE|上書きしてよろしいですか？\r\n　上書きなら　「はい」\r\n"
      "　追記なら　　「いいえ」\r\n　中止なら　　「キャンセル」\r\nをクリックして下さい。";
  const Want done = {note + "Ｂａｓｅ６４展開完了しました"}, saved = {save + "9"};
  const Row rows[] = {
    {"", "", 0, {{"0,0 350x270 14CA0000 101 [VELKO 1.0.0]\n"
        "10,140 160x30 50010001 0 [NEC=>JIS 罫線]\n180,140 160x30 50010001 0 [JIS=>NEC 罫線]\n"
        "280,90 60x30 50010001 0 [参照]\n280,10 60x30 50010001 0 [QUIT]\n"
        "10,180 160x30 50010001 0 [SJIS=>JIS ｺｰﾄﾞ]\n180,180 160x30 50010001 0 [JIS=>SJIS ｺｰﾄﾞ]\n"
        "10,220 160x30 50010001 0 [*行中B64展開]\n180,220 160x30 50010001 0 [*B64添付展開]\n"
        "10,50 330x30 50000084 200 [] focus\n", 0, "1-main-window"}}},
    {"keep.txt", "", 1003, {{open, IDCANCEL, "4-open-dialog"}}, "keep.txt"},
    {"keep.txt", "", 1003, {{open}}, argv[2] + Str("\\keep.txt")},
    // Nothing in a.txt to convert: the box as ever, and no a.BAK (the dialogs list one less).
    {"a.txt", "", 1001, {{note + "ＮＥＣからＪＩＳ罫線への変換完了しました", IDOK, "2-box"}}},
    {"a.txt", "", 1002, {{note + "ＪＩＳからＮＥＣ罫線への変換完了しました"}}},
    {"a.txt", "", 1006, {{note + "ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました"}}},
    {"a.txt", "", 1007, {{note + "行中Ｂａｓｅ６４展開完了しました"}}},
    // Windows drops a trailing blank or dot: "x.BAK " is x.BAK; "x.BAK." has the backup x.BAK.BAK.
    {"velko-a.BAK ", "", 1005, {{error + "Backup name err. [velko-a.BAK ]\n"}}, "velko-a.BAK=4"},
    {"velko-a.BAK.", "", 1005,
     {{note + "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました"}}, "velko-a.BAK.BAK=4"},
    // A name code page 932 cannot hold is no best-fitted neighbour's: Unicode.txt is left alone.
    {"", "", 1005, {{missing + "u\\?n?code.txt]\n"}}, "u\\Unicode.txt=3", L"u\\\u00DCn\u00EFcode.txt"},
    // A line break set reaches the command; a typed Enter is refused and typing stops at 256.
    {"a\r\nb", "", 1006, {{missing + "a\r\nb]\n", IDOK, "3-error-box"}}},
    {"", "a\r" + Str(300, 'x'), 1001, {{missing + "a" + Str(255, 'x') + "]\n"}}},
    {"mail.eml", "", 1008, {{save + "8", IDOK, "5-save-dialog"}, done}, "REPORT.PDF=3"},
    {"mail.eml", "", 1008, {saved, {ask, IDNO, "6-question"}, done}, "REPORT.PDF=6"},
    {"mail.eml", "", 1008, {saved, {ask, IDCANCEL}, done}, "REPORT.PDF=6"},
    {"mail.eml", "", 1008, {saved, {ask, IDYES}, done}, "REPORT.PDF=3"},
  };
  for (const char* name : {"a.txt", "c.text", "d.dat", "keep.txt"}) std::ofstream(name) << "a\n";
  CreateDirectoryA("u", nullptr);
  std::ofstream("u\\Unicode.txt") << "a\n";
  std::ofstream("velko-a.BAK") << "漢字";  // converted, so that a backup is made
  std::ofstream("mail.eml") << "Content-Transfer-Encoding: base64\n"  // text mode: CR LF
                               "filename=\"report.pdf\"\n\nQUJD\n\n";
  // clang-format on
  Check(Start(argv[1]), "velko.exe shows its window");
  HMODULE exe = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);  // its class icon:
  auto icon = static_cast<const BYTE*>(  // 16, 32, 48 and 256 (0) pixels, 32 bits each
      LockResource(LoadResource(exe, FindResourceA(exe, "VELKOICO", RT_GROUP_ICON))));
  auto image = [&](int i, int size) {  // an entry of the group: width, height, planes, bits
    const BYTE* e = icon + 6 + 14 * i;
    return e[0] == size % 256 && e[1] == size % 256 && e[4] == 1 && e[6] == 32;
  };
  Check(icon && icon[4] == 4 && image(0, 16) && image(1, 32) && image(2, 48) && image(3, 256),
        "VELKOICO");
  for (const Row& r : rows)
    if (!Play(r, "row " + std::to_string(&r - rows + 1))) return 1;
  Check(Ask(main_window, WM_COMMAND, 0, LPARAM(edit)) == 0 && Top() == main_window, "id 0: 0");
  PostMessageA(GetDlgItem(main_window, 1004), BM_CLICK, 0, 0);
  Check(Ended(), "QUIT ends velko.exe with exit code 0");
  Check(Start(argv[1]) && PostMessageA(main_window, WM_SYSCOMMAND, SC_CLOSE, 0) && Ended(),
        "so does the close box");
  std::printf("%d checks, %d failed\n", checks, failed);
  return failed != 0;
}
