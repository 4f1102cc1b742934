// velko-wine-driver.exe VELKO_EXE WORKDIR SHOTDIR: checks what only velko.exe's window can show.
#include <windows.h>
// psapi.h and shlobj.h (DROPFILES) need the types of windows.h first.
#include <psapi.h>
#include <shlobj.h>

#include <cctype>
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
  const wchar_t* wide = nullptr;        // the field's text in Unicode, in the place of `field`
  std::vector<int> strokes = {};        // keys typed after `keys` (kShift: with Shift held)
  std::vector<std::wstring> drop = {};  // files dropped on the window after the strokes
  std::wstring shows = L"";             // the field's Unicode text afterwards, if not empty
};
constexpr int kShift = 0x10000, kClickField = 0x20000;  // kClickField: first, a click in the field
const wchar_t kAsGiven[] = L"";  // as `wide`: the field left as velko.exe shows it

Str shots;
HWND main_window, edit;
HANDLE velko;
std::wstring exe_path;
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

std::wstring WideText(HWND w) {
  wchar_t text[1024] = {};
  DWORD_PTR result = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &result);
  return text;
}

Str Escaped(const std::wstring& text) {  // ASCII as it is, the rest as \uXXXX: exact in the log
  Str out;
  for (wchar_t c : text) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
    out += c < 0x80 ? Str(1, static_cast<char>(c)) : Str(hex);
  }
  return out;
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

// velko.exe with `args` on its command line, as Explorer and "Open with" start it. The field
// comes last, then the message loop.
bool Start(const std::wstring& args = L"") {
  std::wstring line = L"\"" + exe_path + L"\" " + args;
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(exe_path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  velko = process.hProcess;
  return WaitFor([] {
    edit = FindWindowExA(main_window = FindWindowA("VELKO", nullptr), nullptr, "Edit", nullptr);
    return main_window && edit && Ask(main_window, WM_NULL) == 0;
  });
}

// Keys as the keyboard gives them, to the window in front: Tab, Shift+Tab, Enter, Escape.
void Type(const std::vector<int>& strokes) {
  for (int key : strokes) {
    if (key == kClickField) continue;
    std::vector<INPUT> in;
    auto add = [&](WORD vk, DWORD up) {
      INPUT i = {INPUT_KEYBOARD};
      i.ki.wVk = vk, i.ki.dwFlags = up;
      in.push_back(i);
    };
    if (key & kShift) add(VK_SHIFT, 0);
    add(static_cast<WORD>(key & 0xFFFF), 0), add(static_cast<WORD>(key & 0xFFFF), KEYEVENTF_KEYUP);
    if (key & kShift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    Ask(main_window, WM_NULL);  // taken in before the next
  }
}

// Whether the rectangle, in the main window's client pixels, is of one colour: nothing drawn.
bool Blank(RECT r) {
  MapWindowPoints(main_window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  HDC screen = GetDC(nullptr);
  const COLORREF first = GetPixel(screen, r.left, r.top);
  bool same = first != CLR_INVALID;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) same = same && GetPixel(screen, x, y) == first;
  ReleaseDC(nullptr, screen);
  return same;
}

// `record` copied into velko.exe's memory, for a message that hands over a pointer.
LPARAM Inject(const Str& record) {
  void* there = VirtualAllocEx(velko, nullptr, record.size(), MEM_COMMIT, PAGE_READWRITE);
  return there && WriteProcessMemory(velko, there, record.data(), record.size(), nullptr)
             ? reinterpret_cast<LPARAM>(there)
             : 0;
}

// A drop as the shell makes it: a DROPFILES record of wide names, handed over by WM_DROPFILES.
bool Drop(const std::vector<std::wstring>& files) {
  DROPFILES head = {sizeof head, {5, 5}, FALSE, TRUE};
  std::wstring names;
  for (const std::wstring& f : files) names += f + L'\0';
  names += L'\0';
  Str record(reinterpret_cast<char*>(&head), sizeof head);
  record.append(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(wchar_t));
  const LPARAM there = Inject(record);
  return there && PostMessageA(main_window, WM_DROPFILES, static_cast<WPARAM>(there), 0);
}

// velko.exe's main window as Seen shows it at `dpi`: the controls in Tab's order, `text` in the
// field, the focus on `focus` (0: the field). As made, all eight buttons are default buttons; once
// Tab has moved the focus, as in a dialog, `def` alone is (-1: none, while the field has it).
Str Main(int focus, const Str& text = "", int def = 0, int dpi = 96) {
  struct Control {
    int id, x, y, w, h;
    const char* label;
  };
  const Control controls[] = {{1004, 280, 10, 60, 30, "QUIT"},
                              {0, 10, 50, 330, 30, ""},
                              {1003, 280, 90, 60, 30, "参照"},
                              {1001, 10, 140, 160, 30, "NEC=>JIS 罫線"},
                              {1002, 180, 140, 160, 30, "JIS=>NEC 罫線"},
                              {1005, 10, 180, 160, 30, "SJIS=>JIS ｺｰﾄﾞ"},
                              {1006, 180, 180, 160, 30, "JIS=>SJIS ｺｰﾄﾞ"},
                              {1007, 10, 220, 160, 30, "*行中B64展開"},
                              {1008, 180, 220, 160, 30, "*B64添付展開"}};
  auto px = [dpi](int v) { return std::to_string(MulDiv(v, dpi, 96)); };
  Str s = "0,0 " + px(350) + "x" + px(270) + " 14CA0000 111 [VELKO 1.0.0]\n";
  for (const Control& c : controls)
    s += px(c.x) + "," + px(c.y) + " " + px(c.w) + "x" + px(c.h) +
         (!c.id ? " 50010084 200 [" + text
                : (!def || def == c.id ? " 50010001 0 [" : " 50010000 0 [") + Str(c.label)) +
         "]" + (c.id == focus ? " focus\n" : "\n");
  return s;
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
  if (r.wide == kAsGiven) {
  } else if (r.wide) {
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.wide), SMTO_NORMAL, 5000,
                        &result);
  } else {
    Ask(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.field.c_str()));
  }
  if (!r.strokes.empty() && r.strokes[0] == kClickField) {  // the caret where it was
    PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageA(edit, WM_LBUTTONUP, 0, 0);
  }
  for (char c : r.keys) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
  Type(r.strokes);
  if (!r.drop.empty()) Check(Drop(r.drop), name + ": dropped");
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
  if (!r.shows.empty()) Expect(name + " shows", Escaped(r.shows), Escaped(WideText(edit)));
  return Check(Ask(main_window, WM_NULL) == 0 && Top() == main_window, name + ": nothing else");
}

}  // namespace

int main(int argc, char** argv) {
  // Places in the screen's own pixels, whatever DPI velko.exe runs at.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
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
  auto wide = [](const char* text) {
    std::wstring w(MAX_PATH, L'\0');
    w.resize(MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], MAX_PATH) - 1);
    return w;
  };
  exe_path = wide(argv[1]);
  const std::wstring work = wide(argv[2]);
  // clang-format off
  const Str note = "+---|VELKO.EXE Message|", save = "名前を付けて保存|report.pdf|全ファイル(*.*)|";
  const Str error = "+---|VELKO.EXE Error Message|", missing = error + "C'ant find input file. [";
  const Str open = "開く|keep.txt|テキスト&電子メイル ファイル(TXT,TEXT,EML)|5";  // u is a folder
  const Str ask = "-+++|VELKO.EXE|上書きしてよろしいですか？\r\n　上書きなら　「はい」\r\n"
      "　追記なら　　「いいえ」\r\n　中止なら　　「キャンセル」\r\nをクリックして下さい。";
  const Want done = {note + "Ｂａｓｅ６４展開完了しました"}, saved = {save + "9"};
  const Str nec = note + "ＮＥＣからＪＩＳ罫線への変換完了しました";
  const Str sjis = note + "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました";
  const Row rows[] = {
    {"", "", 0, {{Main(0), 0, "1-main-window"}}},
    {"keep.txt", "", 1003, {{open, IDCANCEL, "4-open-dialog"}}, "keep.txt"},
    {"keep.txt", "", 1003, {{open}}, argv[2] + Str("\\keep.txt")},
    // Nothing in a.txt to convert: the box as ever, and no a.BAK (the dialogs list one less).
    {"a.txt", "", 1001, {{nec, IDOK, "2-box"}}},
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
    // Keys typed into the field: a path, then Tab moves on (参照, NEC=>JIS), and Enter presses
    // the button that has the focus; after the box the focus is where it was.
    {"", "a.txt", 0, {{nec, IDOK}, {Main(1001, "a.txt", 1001), 0, "7-tab-enter"}}, "a.txt", nullptr,
     {kClickField, VK_TAB, VK_TAB, VK_RETURN}},
    // In the field Enter runs no command and Escape closes nothing, as in the Linux window.
    {"a.txt", "", 0, {{Main(0, "a.txtb", 1001)}}, "", nullptr,
     {kClickField, VK_END, VK_RETURN, VK_ESCAPE, 'B'}},
    // Shift+Tab goes back (the field comes after QUIT); Tab comes to the field with all selected.
    {"a.txt", "", 0, {{Main(1004, "a.txt", 1004)}}, "", nullptr, {kClickField, kShift | VK_TAB}},
    {"a.txt", "", 0, {{Main(0, "c", -1)}}, "", nullptr, {VK_TAB, 'C'}},
    {"a.txt", "", 0, {{Main(1003, "a.txt", 1003)}}, "", nullptr, {kShift | VK_TAB, VK_TAB, VK_TAB}},
    // A drop puts its first file into the field, whatever was there, and the command takes it.
    {"a.txt", "", 1005, {{sjis}}, "u\\sp ace\\漢字 b.txt=10", nullptr, {},
     {work + L"\\u\\sp ace\\\u6F22\u5B57 b.txt", L"Z:\\second.txt"},
     work + L"\\u\\sp ace\\\u6F22\u5B57 b.txt"},
    {"a.txt", "", 1005, {{missing + argv[2] + "\\u\\?n?code.txt]\n", IDOK, "8-dropped"}},
     "u\\Unicode.txt=3", nullptr, {}, {work + L"\\u\\\u00DCn\u00EFcode.txt"},
     work + L"\\u\\\u00DCn\u00EFcode.txt"},
  };
  for (const char* name : {"a.txt", "c.text", "d.dat", "keep.txt"}) std::ofstream(name) << "a\n";
  CreateDirectoryA("u", nullptr);
  CreateDirectoryA("u\\sp ace", nullptr);  // in u, so that the dialogs list as many as ever
  for (const char* name : {"u\\sp ace\\漢字 b.txt", "u\\sp ace\\漢字 c.txt"})
    std::ofstream(name) << "漢字";
  std::ofstream("u\\Unicode.txt") << "a\n";
  std::ofstream("velko-a.BAK") << "漢字";  // converted, so that a backup is made
  std::ofstream("mail.eml") << "Content-Transfer-Encoding: base64\n"  // text mode: CR LF
                               "filename=\"report.pdf\"\n\nQUJD\n\n";
  // clang-format on
  Check(Start(), "velko.exe shows its window");
  HMODULE exe = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);  // its class icon:
  auto icon = static_cast<const BYTE*>(  // 16, 32, 48 and 256 (0) pixels, 32 bits each
      LockResource(LoadResource(exe, FindResourceA(exe, "VELKOICO", RT_GROUP_ICON))));
  auto image = [&](int i, int size) {  // an entry of the group: width, height, planes, bits
    const BYTE* e = icon + 6 + 14 * i;
    return e[0] == size % 256 && e[1] == size % 256 && e[4] == 1 && e[6] == 32;
  };
  Check(icon && icon[4] == 4 && image(0, 16) && image(1, 32) && image(2, 48) && image(3, 256),
        "VELKOICO");
  // Both programs carry the manifest: common controls 6, each monitor's DPI (the system's where
  // Windows knows no more), paths longer than MAX_PATH.
  const Str folder = Str(argv[1]).substr(0, Str(argv[1]).find_last_of('\\') + 1);
  for (const Str& program : {Str(argv[1]), folder + "velko-cli.exe"}) {
    HMODULE m = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    auto text = static_cast<const char*>(LockResource(LoadResource(m, found)));
    const Str xml = text ? Str(text, SizeofResource(m, found)) : "";
    auto element = [&](const Str& tag) {  // the text of the first <tag ...>text</tag>
      const std::size_t open = xml.find("<" + tag + " "), from = xml.find('>', open) + 1;
      return open == Str::npos ? "(none)" : xml.substr(from, xml.find("</" + tag, from) - from);
    };
    const std::size_t controls = xml.find("\"Microsoft.Windows.Common-Controls\"");
    Expect(program + " manifest", "6.0.0.0 6595b64144ccf1df|true|PerMonitorV2, System|true",
           (controls == Str::npos ? "" : xml.substr(xml.find("version=\"", controls) + 9, 7)) +
               " " + xml.substr(xml.find("publicKeyToken=\"", controls) + 16, 16) + "|" +
               element("dpiAware") + "|" + element("dpiAwareness") + "|" +
               element("longPathAware"));
    FreeLibrary(m);
  }
  // What the system made of it: velko.exe's buttons are those of common controls 6, its window
  // knows each monitor's DPI.
  HMODULE loaded[256];
  DWORD size = 0;
  Str comctl;
  EnumProcessModules(velko, loaded, sizeof loaded, &size);
  for (DWORD i = 0; i < size / sizeof(HMODULE) && i < 256; ++i) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameExW(velko, loaded[i], module, MAX_PATH);
    Str path = Escaped(module);
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (path.find("\\comctl32.dll") != Str::npos) comctl += path + " ";
  }
  Check(comctl.find("common-controls_6595b64144ccf1df_6.0.") != Str::npos,
        "common controls 6 loaded: " + comctl);
  Expect("DPI awareness", "2",
         std::to_string(
             GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(main_window))));
  for (const Row& r : rows)
    if (!Play(r, "row " + std::to_string(&r - rows + 1))) return 1;
  Check(Ask(main_window, WM_COMMAND, 0, LPARAM(edit)) == 0 && Top() == main_window, "id 0: 0");
  PostMessageA(GetDlgItem(main_window, 1004), BM_CLICK, 0, 0);
  Check(Ended(), "QUIT ends velko.exe with exit code 0");
  Check(Start() && PostMessageA(main_window, WM_SYSCOMMAND, SC_CLOSE, 0) && Ended(),
        "so does the close box");
  // velko.exe FILE, as "Open with" starts it: the field shows FILE (the first of the names; after
  // "--" whatever follows), and the commands work on it.
  const std::wstring given = work + L"\\u\\sp ace\\\u6F22\u5B57 c.txt";
  struct Launch {
    std::wstring args;
    Row row;
  } const launches[] = {
      {L"\"" + given + L"\" second.txt",
       {"",
        "",
        1005,
        {{sjis, IDOK, "9-argument"}},
        "u\\sp ace\\漢字 c.txt=10",
        kAsGiven,
        {},
        {},
        given}},
      {L"-- u\\\u00DCn\u00EFcode.txt",
       {"",
        "",
        1005,
        {{missing + "u\\?n?code.txt]\n"}},
        "u\\Unicode.txt=3",
        kAsGiven,
        {},
        {},
        L"u\\\u00DCn\u00EFcode.txt"}},
      {L"--", {"", "", 0, {{Main(0)}}, "", kAsGiven}},
      {L"-- --", {"", "", 0, {{Main(0, "--")}}, "", kAsGiven, {}, {}, L"--"}},
  };
  for (const Launch& l : launches) {
    const Str name = "velko.exe " + Escaped(l.args);
    // The field has its text before the loop answers, so Start has waited for it.
    if (Check(Start(l.args), name + " shows its window")) Play(l.row, name);
    // Minimized and restored, the window gives the field the focus again.
    for (WPARAM command : {SC_MINIMIZE, SC_RESTORE}) {
      if (l.row.button) break;
      PostMessageA(main_window, WM_SYSCOMMAND, command, 0);
      WaitFor([&] { return !IsIconic(main_window) == (command == SC_RESTORE); });
    }
    if (!l.row.button)
      Play({"", "", 0, {{Main(0, Escaped(l.row.shows))}}, "", kAsGiven}, name + ", restored");
    Check(PostMessageA(main_window, WM_SYSCOMMAND, SC_CLOSE, 0) && Ended(), name + " ends");
  }
  // At 144 dots per inch (150 %) the window is laid out to scale: Windows does not stretch a
  // program that knows the DPI.
  HKEY desktop = nullptr;
  RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop);
  for (DWORD dots : {144, 96}) {
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dots), 4);
    const Str name = "at " + std::to_string(dots) + " DPI";
    if (Check(Start(), name + ": the window"))
      Play({"", "", 0, {{Main(0, "", 0, dots), 0, dots == 144 ? "10-dpi-144" : nullptr}}}, name);
    // Moved to a monitor of 120 DPI, the window goes where Windows says and lays itself out.
    const RECT place = {40, 30, 41, 31};
    LPARAM there = 0;
    if (dots == 96 &&
        Check((there = Inject(Str(reinterpret_cast<const char*>(&place), 16))) &&
                  PostMessageA(main_window, WM_DPICHANGED, MAKEWPARAM(120, 120), there),
              "to 120 DPI")) {
      Play({"", "", 0, {{Main(0, "", 0, 120), 0, "11-dpi-120"}}}, "to 120 DPI");
      // Between the field and "↑ 変換ﾌｧｲﾙ名", where that label stood at 96 DPI: painted anew.
      Check(Blank({40, 101, 150, 111}), "to 120 DPI: nothing left of the old labels");
      RECT r = {};
      GetWindowRect(main_window, &r);
      Expect("to 120 DPI: its place", "40,30",
             std::to_string(r.left) + "," + std::to_string(r.top));
    }
    Check(PostMessageA(main_window, WM_SYSCOMMAND, SC_CLOSE, 0) && Ended(), name + ": ends");
  }
  RegCloseKey(desktop);
  std::printf("%d checks, %d failed\n", checks, failed);
  return failed != 0;
}
