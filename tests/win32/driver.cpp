// velko-wine-driver.exe: works velko.exe through its window as a person would and checks what
// it shows and what it writes. A console program, run by tests/wine_gui_test.sh under Wine.
//
//   velko-wine-driver.exe PATH\TO\velko.exe WORKDIR SHOTDIR
//
// One line per check, then "N passed, M failed"; exit code 0 only when nothing failed.
// Everything the program is asked to do goes in as posted messages (a sent one would block
// behind its modal boxes); every wait polls against a deadline. The Japanese literals below are
// UTF-8 here and Shift_JIS in the exe (-fexec-charset=CP932), so they compare as the bytes the
// program shows.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

// The first file dialog of a cold prefix takes seconds; nothing else comes near this.
constexpr DWORD kDeadline = 20000;
// How long "nothing appears" is watched.
constexpr DWORD kQuiet = 500;

int passed = 0;
int failed = 0;

// Bytes as a readable C-like string: printable ASCII as it is, the rest as \xNN.
std::string Show(const Bytes& bytes) {
  std::string out;
  char escaped[8];
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

bool Check(bool ok, const std::string& name, const std::string& detail = std::string()) {
  if (ok) {
    ++passed;
    std::printf("ok   %s\n", name.c_str());
  } else {
    ++failed;
    std::printf("FAIL %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

bool CheckBytes(const std::string& name, const Bytes& expected, const Bytes& actual) {
  return Check(expected == actual, name,
               "expected \"" + Show(expected) + "\", got \"" + Show(actual) + "\"");
}

bool CheckNumber(const std::string& name, long long expected, long long actual) {
  return Check(expected == actual, name,
               "expected " + std::to_string(expected) + ", got " + std::to_string(actual));
}

std::string HexNumber(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

// "8a bf 0d 0a" to its bytes: expected file contents read best as hex.
Bytes FromHex(const char* hex) {
  Bytes out;
  int high = -1;
  for (const char* p = hex; *p != 0; ++p) {
    int digit = -1;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    if (*p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      out += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  return out;
}

Bytes Base64(const Bytes& data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Bytes out;
  for (std::size_t i = 0; i < data.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < data.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD deadline_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= deadline_ms) return false;
    Sleep(10);
  }
}

// ---- files ----

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// The file's bytes, or a marker that no file content can equal.
Bytes ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<no such file>";
  Bytes bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The name as the directory holds it: a case-blind lookup finds the file, this tells its case.
Bytes NameOnDisk(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return "<no such file>";
  FindClose(search);
  return found.cFileName;
}

// ---- windows ----

std::string ClassOf(HWND window) {
  char name[256];
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? n : 0);
}

// The caption the system keeps; for another process's window no message is sent.
Bytes CaptionOf(HWND window) {
  char text[4096];
  int n = GetWindowTextA(window, text, sizeof text);
  return Bytes(text, n > 0 ? n : 0);
}

// A control's own text, asked of it (an edit field keeps its text to itself).
Bytes ControlText(HWND control) {
  char text[4096] = {};
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_NORMAL, kDeadline, &n)) {
    return "<no answer>";
  }
  return Bytes(text, n);
}

// WM_SETTEXT comes back at once, so sending it is safe even across processes.
bool SetControlText(HWND control, const Bytes& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kDeadline, &result) != 0 &&
         result != 0;
}

struct ChildSearch {
  int id;
  const char* class_name;  // null: any
  HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM param) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  if (search->class_name && lstrcmpiA(ClassOf(window).c_str(), search->class_name) != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// Any depth: the file dialog's name field sits inside ComboBoxEx32 and ComboBox.
HWND FindDescendant(HWND parent, int id, const char* class_name) {
  ChildSearch search = {id, class_name, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct DialogSearch {
  HWND owner;
  bool visible_only;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
  if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  if (search->visible_only && !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != "#32770") return TRUE;
  search->found = window;
  return FALSE;
}

// A message box or a file dialog of the main window.
HWND OwnedDialog(HWND owner, bool visible_only) {
  DialogSearch search = {owner, visible_only, nullptr};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

constexpr int kFileNameField = 0x47C;  // cmb13 of the Explorer-style file dialogs
constexpr int kFilterCombo = 0x470;    // cmb1

HWND FileNameField(HWND dialog) { return FindDescendant(dialog, kFileNameField, "Edit"); }

// Visible, and its caption set: a message box fills its text before it shows.
HWND WaitForDialog(HWND owner) {
  HWND dialog = nullptr;
  WaitFor(
      [&] {
        dialog = OwnedDialog(owner, true);
        return dialog != nullptr && GetWindowTextLengthA(dialog) > 0;
      },
      kDeadline);
  return dialog;
}

bool ButtonShown(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && IsWindowVisible(button);
}

// Presses one of a dialog's buttons and waits until the dialog is gone.
bool Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  return WaitFor([&] { return !IsWindow(dialog); }, kDeadline);
}

struct Box {
  HWND window = nullptr;
  bool is_file_dialog = false;
  Bytes caption;
  Bytes text;
  bool ok = false, cancel = false, yes = false, no = false;
};

Box ReadBox(HWND window) {
  Box box;
  box.window = window;
  if (!window) return box;
  box.is_file_dialog = FileNameField(window) != nullptr;
  box.caption = CaptionOf(window);
  char text[4096];
  UINT n = GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
  box.text = Bytes(text, n);
  box.ok = ButtonShown(window, IDOK);
  box.cancel = ButtonShown(window, IDCANCEL);
  box.yes = ButtonShown(window, IDYES);
  box.no = ButtonShown(window, IDNO);
  return box;
}

std::string Describe(const Box& box) {
  if (!box.window) return "nothing appeared";
  if (box.is_file_dialog) return "a file dialog \"" + Show(box.caption) + "\"";
  return "a box \"" + Show(box.caption) + "\": \"" + Show(box.text) + "\"";
}

// ---- screenshots ----

// The whole screen (Wine's virtual desktop) as the rows of a bottom-up 24-bit DIB.
bool CaptureScreen(int* width, int* height, Bytes* rows) {
  *width = GetSystemMetrics(SM_CXSCREEN);
  *height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = *height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  bool ok = dib && memory && bits;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, *width, *height, screen, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    const std::size_t stride = (static_cast<std::size_t>(*width) * 3 + 3) & ~std::size_t{3};
    rows->assign(static_cast<const char*>(bits), stride * *height);
    SelectObject(memory, old);
  }
  if (memory) DeleteDC(memory);
  if (dib) DeleteObject(dib);
  ReleaseDC(nullptr, screen);
  return ok;
}

template <typename T>
void Put(Bytes* out, T value) {
  for (std::size_t i = 0; i < sizeof value; ++i) {
    out->push_back(static_cast<char>((static_cast<unsigned long long>(value) >> (8 * i)) & 0xFF));
  }
}

// Waits until three captures in a row agree, so that a window still being drawn (or not yet
// flushed to the X server) is not caught half done, then writes SHOTDIR\name.bmp.
void Screenshot(const std::string& shot_dir, const std::string& name) {
  int width = 0, height = 0;
  Bytes previous, rows;
  int same_in_a_row = 0;
  bool stable = WaitFor(
      [&] {
        Sleep(40);  // the interval between two captures, not a wait for anything
        if (!CaptureScreen(&width, &height, &rows)) return false;
        same_in_a_row = rows == previous ? same_in_a_row + 1 : 0;
        previous.swap(rows);
        return same_in_a_row >= 2;
      },
      5000);
  Bytes file;
  file += "BM";
  Put<std::uint32_t>(&file, static_cast<std::uint32_t>(14 + 40 + previous.size()));
  Put<std::uint32_t>(&file, 0);
  Put<std::uint32_t>(&file, 14 + 40);
  Put<std::uint32_t>(&file, 40);
  Put<std::int32_t>(&file, width);
  Put<std::int32_t>(&file, height);
  Put<std::uint16_t>(&file, 1);
  Put<std::uint16_t>(&file, 24);
  Put<std::uint32_t>(&file, BI_RGB);
  Put<std::uint32_t>(&file, static_cast<std::uint32_t>(previous.size()));
  Put<std::int32_t>(&file, 2835);
  Put<std::int32_t>(&file, 2835);
  Put<std::uint32_t>(&file, 0);
  Put<std::uint32_t>(&file, 0);
  file += previous;
  bool written = !previous.empty() && WriteBytes(shot_dir + "\\" + name + ".bmp", file);
  std::printf("shot %s.bmp%s\n", name.c_str(),
              !written ? " NOT WRITTEN" : stable ? "" : " (screen never settled)");
  std::fflush(stdout);
}

// ---- the program ----

constexpr int BTN_NECTOJIS = 1001;
constexpr int BTN_JISTONEC = 1002;
constexpr int BTN_SANSYOU = 1003;
constexpr int BTN_QUIT = 1004;
constexpr int BTN_SJTOJIS = 1005;
constexpr int BTN_JISTOSJ = 1006;
constexpr int BTN_B64TEXT = 1007;
constexpr int BTN_B64BIN = 1008;

const char kCaptionMessage[] = "VELKO.EXE Message";
const char kCaptionError[] = "VELKO.EXE Error Message";
const char kCaptionQuestion[] = "VELKO.EXE";
const char kAskOverwrite[] =
    "上書きしてよろしいですか？\r\n　上書きなら　「はい」\r\n　追記なら　　「いいえ」\r\n"
    "　中止なら　　「キャンセル」\r\nをクリックして下さい。";

struct Velko {
  PROCESS_INFORMATION process = {};
  HWND main = nullptr;
  HWND edit = nullptr;

  ~Velko() {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 99);
      }
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
  }

  bool Start(const std::string& exe, const std::string& work_dir) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string line = "\"" + exe + "\"";
    std::vector<char> command(line.begin(), line.end());
    command.push_back(0);
    if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        work_dir.c_str(), &startup, &process)) {
      std::printf("CreateProcessA failed, error %lu\n", GetLastError());
      process = {};
      return false;
    }
    WaitFor(
        [&] {
          main = nullptr;
          EnumWindows(MatchMain, reinterpret_cast<LPARAM>(this));
          return main != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        kDeadline);
    if (!main) return false;
    // The field is the last window the start-up makes; once the thread answers after that,
    // the focus is set and the message loop runs.
    WaitFor([&] { return (edit = FindWindowExA(main, nullptr, "Edit", nullptr)) != nullptr; },
            kDeadline);
    WaitForInputIdle(process.hProcess, kDeadline);
    return edit != nullptr && Settled();
  }

  static BOOL CALLBACK MatchMain(HWND window, LPARAM param) {
    Velko* self = reinterpret_cast<Velko*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != self->process.dwProcessId || ClassOf(window) != "VELKO") return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    self->main = window;
    return FALSE;
  }

  // A round trip through the program's thread: when it comes back, the thread is in its
  // message loop or in the modal loop of a window that therefore already exists.
  bool Settled() const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, kDeadline, &result) != 0;
  }

  HWND Button(int id) const { return GetDlgItem(main, id); }

  void Click(int id) const { PostMessageA(Button(id), BM_CLICK, 0, 0); }

  // After a failed step: closes whatever the program still shows, so the next check starts
  // from the main window again.
  void Recover() const {
    for (int i = 0; i < 20; ++i) {
      HWND dialog = OwnedDialog(main, false);
      if (!dialog) return;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      if (WaitFor([&] { return !IsWindow(dialog); }, 2000)) continue;
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      if (WaitFor([&] { return !IsWindow(dialog); }, 2000)) continue;
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      WaitFor([&] { return !IsWindow(dialog); }, 2000);
    }
  }

  // After the last box of a command closed: nothing else of the program is open.
  bool NothingElseOpen() const { return Settled() && OwnedDialog(main, false) == nullptr; }

  bool WaitForExit(DWORD* code) const {
    if (WaitForSingleObject(process.hProcess, kDeadline) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process.hProcess, code) != 0;
  }
};

// ---- the checks ----

struct Context {
  std::string exe;
  std::string work;
  std::string shots;
  std::string Path(const char* name) const { return work + "\\" + name; }
};

struct ControlExpectation {
  int id;
  const char* label;
  int x, y, width, height;
};

const ControlExpectation kButtons[] = {
    {BTN_NECTOJIS, "NEC=>JIS 罫線", 10, 140, 160, 30},
    {BTN_JISTONEC, "JIS=>NEC 罫線", 180, 140, 160, 30},
    {BTN_SANSYOU, "参照", 280, 90, 60, 30},
    {BTN_QUIT, "QUIT", 280, 10, 60, 30},
    {BTN_SJTOJIS, "SJIS=>JIS ｺｰﾄﾞ", 10, 180, 160, 30},
    {BTN_JISTOSJ, "JIS=>SJIS ｺｰﾄﾞ", 180, 180, 160, 30},
    {BTN_B64TEXT, "*行中B64展開", 10, 220, 160, 30},
    {BTN_B64BIN, "*B64添付展開", 180, 220, 160, 30},
};

void CheckPlace(const std::string& name, HWND main, HWND control, int x, int y, int width,
                int height) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
  char actual[64];
  std::snprintf(actual, sizeof actual, "%ld,%ld %ldx%ld", r.left, r.top, r.right - r.left,
                r.bottom - r.top);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d,%d %dx%d", x, y, width, height);
  CheckBytes(name + " place and size", expected, actual);
}

int CountChildren(HWND parent) {
  int count = 0;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    ++count;
  }
  return count;
}

void CheckMainWindow(const Context& cx, const Velko& v) {
  CheckBytes("window class", "VELKO", ClassOf(v.main));
  CheckBytes("window caption", "VELKO 1.0.0", CaptionOf(v.main));
  const unsigned long style = static_cast<unsigned long>(GetWindowLongA(v.main, GWL_STYLE));
  const unsigned long required = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x00CA0000
  Check((style & required) == required, "window style has caption, system menu, minimize box",
        HexNumber(style));
  Check((style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) == 0,
        "window style has no sizing frame and no maximize box", HexNumber(style));
  const unsigned long ex_style = static_cast<unsigned long>(GetWindowLongA(v.main, GWL_EXSTYLE));
  Check((ex_style & WS_EX_DLGMODALFRAME) != 0, "window ex style has WS_EX_DLGMODALFRAME",
        HexNumber(ex_style));
  RECT client;
  GetClientRect(v.main, &client);
  CheckNumber("client width", 350, client.right - client.left);
  CheckNumber("client height", 270, client.bottom - client.top);
  // Wine answers only the class fields its server keeps (not icon or brush) for another
  // process's window; the screenshot shows those two.
  CheckNumber("class style", 0, static_cast<long long>(GetClassLongPtrA(v.main, GCL_STYLE)));
  Check(GetMenu(v.main) == nullptr, "no menu");
  CheckNumber("nine controls", 9, CountChildren(v.main));

  CheckBytes("field class", "Edit", ClassOf(v.edit));
  CheckNumber("field id", 0, GetDlgCtrlID(v.edit));
  CheckPlace("field", v.main, v.edit, 10, 50, 330, 30);
  Check(static_cast<unsigned long>(GetWindowLongA(v.edit, GWL_STYLE)) == 0x50000084,
        "field style WS_CHILD|WS_VISIBLE|ES_MULTILINE|ES_AUTOHSCROLL",
        HexNumber(static_cast<unsigned long>(GetWindowLongA(v.edit, GWL_STYLE))));
  const unsigned long edit_ex = static_cast<unsigned long>(GetWindowLongA(v.edit, GWL_EXSTYLE));
  Check((edit_ex & WS_EX_CLIENTEDGE) != 0, "field ex style has WS_EX_CLIENTEDGE",
        HexNumber(edit_ex));
  DWORD_PTR limit = 0;
  SendMessageTimeoutA(v.edit, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, kDeadline, &limit);
  CheckNumber("field text limit", 256, static_cast<long long>(limit));
  CheckBytes("field starts empty", "", ControlText(v.edit));

  for (const ControlExpectation& b : kButtons) {
    const std::string name = "button " + std::to_string(b.id);
    HWND button = v.Button(b.id);
    if (!Check(button != nullptr, name + " exists")) continue;
    CheckBytes(name + " class", "Button", ClassOf(button));
    CheckBytes(name + " label", b.label, ControlText(button));
    CheckPlace(name, v.main, button, b.x, b.y, b.width, b.height);
    const unsigned long button_style =
        static_cast<unsigned long>(GetWindowLongA(button, GWL_STYLE));
    Check(button_style == 0x50010001, name + " style WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_DEFPUSHBUTTON",
          HexNumber(button_style));
  }

  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  const DWORD thread = GetWindowThreadProcessId(v.main, nullptr);
  bool focused = WaitFor(
      [&] { return GetGUIThreadInfo(thread, &gui) && gui.hwndFocus == v.edit; }, 3000);
  Check(focused, "focus on the field",
        "focus on a \"" + ClassOf(gui.hwndFocus) + "\" with id " +
            std::to_string(gui.hwndFocus ? GetDlgCtrlID(gui.hwndFocus) : -1));
  Screenshot(cx.shots, "1-main-window");
}

// A WM_COMMAND that names no command: answered 0 at once, and no box follows.
void CheckIgnoredCommands(const Velko& v) {
  struct Ignored {
    const char* name;
    WPARAM wparam;
    LPARAM lparam;
  };
  const Ignored ignored[] = {
      {"command 0 from the field", MAKEWPARAM(0, EN_CHANGE), reinterpret_cast<LPARAM>(v.edit)},
      {"command 1009", MAKEWPARAM(1009, BN_CLICKED), 0},
  };
  for (const Ignored& c : ignored) {
    DWORD_PTR result = 99;
    bool answered = SendMessageTimeoutA(v.main, WM_COMMAND, c.wparam, c.lparam, SMTO_NORMAL,
                                        3000, &result) != 0;
    Check(answered && result == 0, std::string(c.name) + " gives 0",
          answered ? "got " + std::to_string(result) : "no answer");
    bool box = WaitFor([&] { return OwnedDialog(v.main, false) != nullptr; }, kQuiet);
    if (!Check(!box, std::string(c.name) + " shows nothing")) v.Recover();
  }
}

// Waits for the one box of a command, checks it and closes it with OK.
void ExpectOneBox(const Context& cx, const Velko& v, const std::string& name,
                  const char* caption, const Bytes& text, const char* shot) {
  Box box = ReadBox(WaitForDialog(v.main));
  if (!Check(box.window && !box.is_file_dialog, name + ": a box appears", Describe(box))) {
    v.Recover();
    return;
  }
  CheckBytes(name + ": caption", caption, box.caption);
  CheckBytes(name + ": text", text, box.text);
  Check(box.ok && !box.cancel && !box.yes && !box.no, name + ": OK button only");
  if (shot) Screenshot(cx.shots, shot);
  Check(Press(box.window, IDOK), name + ": box closes with OK");
  if (!Check(v.NothingElseOpen(), name + ": exactly one box",
             Describe(ReadBox(OwnedDialog(v.main, false))))) {
    v.Recover();
  }
}

struct Conversion {
  const char* name;
  int id;
  const char* file;
  const char* backup;
  const char* input;   // hex
  const char* output;  // hex; the frame writes CR LF line ends
  const char* done;
  const char* shot;
};

// Each one's BAK holds the input unchanged.
const Conversion kConversions[] = {
    {"NEC=>JIS ruled lines", BTN_NECTOJIS, "nec.txt", "nec.BAK",
     // a Shift_JIS line and one in JIS: ESC $ B ,$ ESC ( B is NEC 86 A2 in JIS
     "86 a2 86 ec 0a 1b 24 42 2c 24 1b 28 42 0d 0a",
     "84 9f 84 b4 0d 0a 1b 24 42 28 21 1b 28 4a 0d 0a", "ＮＥＣからＪＩＳ罫線への変換完了しました",
     nullptr},
    {"JIS=>NEC ruled lines", BTN_JISTONEC, "rule.txt", "rule.BAK", "84 9f 84 b4 0a",
     "86 a2 86 ed 0d 0a", "ＪＩＳからＮＥＣ罫線への変換完了しました", nullptr},
    {"SJIS=>JIS code", BTN_SJTOJIS, "漢字.txt", "漢字.BAK", "8a bf 8e 9a 0d 0a 61 82 a0 62 0a",
     "1b 24 42 34 41 3b 7a 1b 28 4a 0d 0a 61 1b 24 42 24 22 1b 28 4a 62 0d 0a",
     "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました", "2-message-box"},
    {"JIS=>SJIS code", BTN_JISTOSJ, "jis.txt", "jis.BAK", "1b 24 42 34 41 3b 7a 1b 28 42 0a",
     "8a bf 8e 9a 0d 0a", "ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました", nullptr},
    {"Base64 words in lines", BTN_B64TEXT, "words.txt", "words.BAK",
     // Subject: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?= CR LF
     // From: =?shift_jis?B?ir+Omg==?= <a@example.com> LF
     "53 75 62 6a 65 63 74 3a 20 3d 3f 49 53 4f 2d 32 30 32 32 2d 4a 50 3f 42 3f 47 79 52 43 4e "
     "45 45 37 65 68 73 6f 51 67 3d 3d 3f 3d 0d 0a 46 72 6f 6d 3a 20 3d 3f 73 68 69 66 74 5f 6a "
     "69 73 3f 42 3f 69 72 2b 4f 6d 67 3d 3d 3f 3d 20 3c 61 40 65 78 61 6d 70 6c 65 2e 63 6f 6d "
     "3e 0a",
     "53 75 62 6a 65 63 74 3a 20 1b 24 42 34 41 3b 7a 1b 28 42 0d 0a 46 72 6f 6d 3a 20 8a bf 8e "
     "9a 20 3c 61 40 65 78 61 6d 70 6c 65 2e 63 6f 6d 3e 0d 0a",
     "行中Ｂａｓｅ６４展開完了しました", nullptr},
};

void CheckConversions(const Context& cx, const Velko& v) {
  for (const Conversion& c : kConversions) {
    const std::string name = c.name;
    const std::string path = cx.Path(c.file);
    const std::string backup = cx.Path(c.backup);
    // A backup from before is replaced without a question.
    WriteBytes(backup, "stale backup");
    if (!Check(WriteBytes(path, FromHex(c.input)), name + ": input written")) continue;
    Check(SetControlText(v.edit, path), name + ": field set");
    v.Click(c.id);
    ExpectOneBox(cx, v, name, kCaptionMessage, c.done, c.shot);
    CheckBytes(name + ": converted file", FromHex(c.output), ReadBytes(path));
    CheckBytes(name + ": backup", FromHex(c.input), ReadBytes(backup));
    CheckBytes(name + ": field unchanged", path, ControlText(v.edit));
  }
}

void CheckErrors(const Context& cx, const Velko& v) {
  struct ErrorCase {
    std::string name;
    int id;
    WORD code;          // notification code the command arrives with; 0: BM_CLICK on the button
    bool typed;         // the field's text typed key by key, else set with WM_SETTEXT
    std::string input;  // what is set or typed
    std::string field;  // what the field then holds
    const char* shot;
  };
  const std::string missing = "missing.txt";
  const std::vector<ErrorCase> cases = {
      {"missing file, NEC=>JIS", BTN_NECTOJIS, 0, false, missing, missing, nullptr},
      {"missing file, JIS=>NEC", BTN_JISTONEC, 0, false, missing, missing, nullptr},
      {"missing file, SJIS=>JIS", BTN_SJTOJIS, 0, false, missing, missing, nullptr},
      {"missing file, JIS=>SJIS", BTN_JISTOSJ, 0, false, missing, missing, nullptr},
      {"missing file, Base64 words", BTN_B64TEXT, 0, false, missing, missing, nullptr},
      {"missing file, attachments", BTN_B64BIN, 0, false, missing, missing, "3-error-box"},
      {"empty field, SJIS=>JIS", BTN_SJTOJIS, 0, false, "", "", nullptr},
      {"empty field, attachments", BTN_B64BIN, 0, false, "", "", nullptr},
      {"line break in the field", BTN_JISTOSJ, 0, false, "a\r\nb", "a\r\nb", nullptr},
      // The field is multi-line but one line high and without ES_AUTOVSCROLL: the edit control
      // refuses a line that would not show, so a typed Enter adds nothing.
      {"Enter typed into the one-line field is refused", BTN_B64TEXT, 0, true, "a\rb", "ab",
       nullptr},
      {"typing stops at 256 bytes", BTN_NECTOJIS, 0, true, std::string(300, 'x'),
       std::string(256, 'x'), nullptr},
      {"blanks around the name", BTN_NECTOJIS, 0, false, " nec.txt ", " nec.txt ", nullptr},
      {"notification code in the high word", BTN_SJTOJIS, BN_DOUBLECLICKED, false, missing,
       missing, nullptr},
  };
  for (const ErrorCase& c : cases) {
    const std::string& name = c.name;
    if (c.typed) {
      Check(SetControlText(v.edit, ""), name + ": field emptied");
      // Posted like keystrokes; the button press posted after them is handled after them.
      for (char ch : c.input) {
        PostMessageA(v.edit, WM_CHAR, static_cast<unsigned char>(ch), 1);
      }
    } else {
      Check(SetControlText(v.edit, c.input), name + ": field set");
    }
    if (c.code == 0) {
      v.Click(c.id);
    } else {
      PostMessageA(v.main, WM_COMMAND, MAKEWPARAM(c.id, c.code),
                   reinterpret_cast<LPARAM>(v.Button(c.id)));
    }
    ExpectOneBox(cx, v, name, kCaptionError, "C'ant find input file. [" + c.field + "]\n",
                 c.shot);
    CheckBytes(name + ": field unchanged", c.field, ControlText(v.edit));
  }
  Check(!Exists(cx.Path("missing.txt")) && !Exists(cx.Path("missing.BAK")),
        "a missing file leaves nothing behind");
}

// ---- attachment extraction ----

Bytes ReportContent() {
  Bytes b;
  for (int i = 0; i < 100; ++i) b += static_cast<char>((i * 37 + 5) & 0xFF);
  return b;
}

const Bytes kDataContent = "ABCA";  // QUJD and QQ== lines
const char kDataNameSjis[] = "添付.bin";
const char kDataFileSjis[] = "添付.BIN";  // the second bytes of 添付 (59, 74) stay as they are

Bytes MailText() {
  const Bytes report = Base64(ReportContent());  // 136 characters: 76 and 60 per line
  const char* lines[] = {
      "From: sender@example.com",
      "To: receiver@example.com",
      "Subject: two attachments",
      "MIME-Version: 1.0",
      "Content-Type: multipart/mixed; boundary=\"BOUNDARY\"",
      "",
      "--BOUNDARY",
      "Content-Type: text/plain; charset=ISO-2022-JP",
      "",
      "See the attachments.",
      "",
      "--BOUNDARY",
      "Content-Type: application/pdf; name=\"report.pdf\"",
      "Content-Transfer-Encoding: base64",
      "Content-Disposition: attachment; filename=\"report.pdf\"",
      "",
      nullptr,  // the report's two body lines
      "",
      "--BOUNDARY",
      "Content-Type: application/octet-stream",
      // the name in JIS: 添付 is ESC $ B E : I U ESC ( B
      "Content-Disposition: attachment;\r\n filename=\"\x1b$BE:IU\x1b(B.bin\"",
      "Content-Transfer-Encoding: BASE64",
      "",
      "QUJD",
      "QQ==",
      "",
      "--BOUNDARY--",
  };
  Bytes mail;
  for (const char* line : lines) {
    if (line) {
      mail += line;
    } else {
      mail += report.substr(0, 76) + "\r\n" + report.substr(76);
    }
    mail += "\r\n";
  }
  return mail;
}

struct SaveStep {
  const char* proposed;
  const char* chosen;  // typed into the dialog, in WORKDIR; null: the dialog is cancelled
  int answer;          // to the overwrite question; 0: no question expected
};

struct ExtractionRun {
  const char* name;
  SaveStep steps[2];
  int report_copies;  // what the two files hold afterwards
  int data_copies;
};

const ExtractionRun kExtractionRuns[] = {
    {"extraction to new files",
     {{"report.pdf", "report.pdf", 0}, {kDataNameSjis, kDataNameSjis, 0}},
     1,
     1},
    {"extraction, Yes overwrites",
     {{"report.pdf", "report.pdf", IDYES}, {kDataNameSjis, kDataNameSjis, IDYES}},
     1,
     1},
    {"extraction, No appends",
     {{"report.pdf", "Report.pdf", IDNO}, {kDataNameSjis, kDataNameSjis, IDNO}},
     2,
     2},
    {"extraction, Cancel and a cancelled dialog skip",
     {{"report.pdf", "report.pdf", IDCANCEL}, {kDataNameSjis, nullptr, 0}},
     2,
     2},
};

Bytes Repeat(const Bytes& b, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out += b;
  return out;
}

// One save dialog of an extraction and, when expected, the overwrite question after it.
bool SaveStepDone(const Context& cx, const Velko& v, const std::string& name,
                  const SaveStep& step, const char* dialog_shot, const char* question_shot) {
  Box dialog = ReadBox(WaitForDialog(v.main));
  if (!Check(dialog.window && dialog.is_file_dialog, name + ": save dialog appears",
             Describe(dialog))) {
    return false;
  }
  HWND field = FileNameField(dialog.window);
  Bytes proposed;
  WaitFor([&] { return (proposed = ControlText(field)) == step.proposed; }, 3000);
  CheckBytes(name + ": proposed name", step.proposed, proposed);
  if (dialog_shot) Screenshot(cx.shots, dialog_shot);
  if (!step.chosen) {
    return Check(Press(dialog.window, IDCANCEL), name + ": save dialog cancelled");
  }
  Check(SetControlText(field, cx.Path(step.chosen)), name + ": path typed");
  if (!Check(Press(dialog.window, IDOK), name + ": save dialog closes with OK")) return false;
  if (!step.answer) return true;
  Box question = ReadBox(WaitForDialog(v.main));
  if (!Check(question.window && !question.is_file_dialog, name + ": overwrite question appears",
             Describe(question))) {
    return false;
  }
  CheckBytes(name + ": question caption", kCaptionQuestion, question.caption);
  CheckBytes(name + ": question text", kAskOverwrite, question.text);
  Check(question.yes && question.no && question.cancel && !question.ok,
        name + ": Yes, No and Cancel buttons");
  if (question_shot) Screenshot(cx.shots, question_shot);
  return Check(Press(question.window, step.answer), name + ": question answered");
}

void CheckExtraction(const Context& cx, const Velko& v) {
  const std::string mail = cx.Path("mail.eml");
  const Bytes mail_text = MailText();
  const std::string report = cx.Path("REPORT.PDF");
  const std::string data = cx.Path(kDataFileSjis);
  DeleteFileA(report.c_str());
  DeleteFileA(data.c_str());
  if (!Check(WriteBytes(mail, mail_text), "mail written")) return;
  bool first_dialog_shot = true;
  bool first_question_shot = true;
  for (const ExtractionRun& run : kExtractionRuns) {
    const std::string name = run.name;
    if (run.steps[0].answer == IDYES) {
      // Old content longer than the new, so that an overwrite without truncation would show.
      WriteBytes(report, Repeat("old report ", 20));
      WriteBytes(data, "old data");
    }
    Check(SetControlText(v.edit, mail), name + ": field set");
    v.Click(BTN_B64BIN);
    bool ok = true;
    for (int i = 0; i < 2 && ok; ++i) {
      const SaveStep& step = run.steps[i];
      const char* dialog_shot = first_dialog_shot ? "4-save-dialog" : nullptr;
      const char* question_shot = step.answer && first_question_shot ? "5-overwrite-question"
                                                                     : nullptr;
      ok = SaveStepDone(cx, v, name + " #" + std::to_string(i + 1), step, dialog_shot,
                        question_shot);
      first_dialog_shot = false;
      if (question_shot) first_question_shot = false;
    }
    if (!ok) {
      v.Recover();
      continue;
    }
    ExpectOneBox(cx, v, name, kCaptionMessage, "Ｂａｓｅ６４展開完了しました", nullptr);
    CheckBytes(name + ": REPORT.PDF", Repeat(ReportContent(), run.report_copies),
               ReadBytes(report));
    CheckBytes(name + ": " + Show(kDataFileSjis), Repeat(kDataContent, run.data_copies),
               ReadBytes(data));
  }
  // The chosen paths were upper-cased before the files were made.
  CheckBytes("attachment file name upper-cased", "REPORT.PDF", NameOnDisk(report));
  CheckBytes("Shift_JIS attachment name upper-cased around its characters", kDataFileSjis,
             NameOnDisk(data));
  CheckBytes("mail file unchanged", mail_text, ReadBytes(mail));
  Check(!Exists(cx.Path("mail.BAK")), "no backup of the mail file");
}

// ---- the file-open dialog ----

void CheckOpenDialog(const Context& cx, const Velko& v) {
  const std::string chosen = cx.Path("漢字.txt");  // left by the SJIS=>JIS check
  struct OpenCase {
    const char* name;
    const char* field;
    bool choose;
    const char* shot;
  };
  const OpenCase cases[] = {
      {"open dialog, a file chosen", "keep.txt", true, "6-open-dialog"},
      {"open dialog, cancelled", "keep.txt", false, nullptr},
  };
  for (const OpenCase& c : cases) {
    const std::string name = c.name;
    Check(SetControlText(v.edit, c.field), name + ": field set");
    v.Click(BTN_SANSYOU);
    Box dialog = ReadBox(WaitForDialog(v.main));
    if (!Check(dialog.window && dialog.is_file_dialog, name + ": dialog appears",
               Describe(dialog))) {
      v.Recover();
      continue;
    }
    HWND field = FileNameField(dialog.window);
    Bytes proposed;
    WaitFor([&] { return (proposed = ControlText(field)) == c.field; }, 3000);
    CheckBytes(name + ": proposes the field's name", c.field, proposed);
    HWND filter = FindDescendant(dialog.window, kFilterCombo, "ComboBox");
    CheckBytes(name + ": first filter selected", "テキスト&電子メイル ファイル(TXT,TEXT,EML)",
               filter ? ControlText(filter) : "<no filter list>");
    if (c.shot) Screenshot(cx.shots, c.shot);
    if (c.choose) {
      Check(SetControlText(field, chosen), name + ": path typed");
      Check(Press(dialog.window, IDOK), name + ": dialog closes with OK");
    } else {
      Check(Press(dialog.window, IDCANCEL), name + ": dialog closes with Cancel");
    }
    if (!Check(v.NothingElseOpen(), name + ": nothing else opens",
               Describe(ReadBox(OwnedDialog(v.main, false))))) {
      v.Recover();
    }
    CheckBytes(name + ": field afterwards", c.choose ? chosen : c.field, ControlText(v.edit));
  }
}

// ---- the way out ----

void CheckExit(const std::string& name, Velko& v) {
  DWORD code = 99;
  bool ended = v.WaitForExit(&code);
  Check(ended, name + ": the program ends");
  if (ended) CheckNumber(name + ": exit code", 0, code);
}

int Run(const Context& cx) {
  {
    Velko v;
    if (!Check(v.Start(cx.exe, cx.work), "velko.exe starts and shows its window")) return 1;
    CheckMainWindow(cx, v);
    CheckIgnoredCommands(v);
    CheckConversions(cx, v);
    CheckErrors(cx, v);
    CheckExtraction(cx, v);
    CheckOpenDialog(cx, v);
    v.Click(BTN_QUIT);
    CheckExit("QUIT", v);
  }
  {
    Velko v;
    if (Check(v.Start(cx.exe, cx.work), "velko.exe starts again")) {
      PostMessageA(v.main, WM_SYSCOMMAND, SC_CLOSE, 0);
      CheckExit("close box", v);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: velko-wine-driver.exe PATH\\TO\\velko.exe WORKDIR SHOTDIR\n");
    return 2;
  }
  Context cx{argv[1], argv[2], argv[3]};
  // Without code page 932 every Japanese comparison below fails; say so once instead.
  if (CheckNumber("ANSI code page", 932, GetACP())) Run(cx);
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
